// Benchmark, not a test: how closely the video pad's pacing follows the
// recording's picture rate. Plays a recording through the viewer's hand-shake
// with pacing on and reports the pictures per second delivered against the
// nominal rate measured in the same run (ratio 1.00 is exact).
#include "harness.h"

#include <gst/gst.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    GError* error = nullptr;
    GstPlugin* plugin = gst_plugin_load_file(HEXMOOR_PLUGIN_FILE, &error);
    if (!plugin) {
        std::fprintf(stderr, "cannot load %s\n", HEXMOOR_PLUGIN_FILE);
        return 1;
    }
    gst_object_unref(plugin);
    testrec::TempDir dir;
    for (int fps : {30, 15, 10}) {
        hxtest::Config s;
        s.path = hxtest::writeRecording(dir, "bench.qmr3", hxtest::smallRecording(fps, fps / 2, 4));
        s.fps = fps;
        s.noPacing = false;
        hxtest::Harness h(s);
        // The first group goes out unpaced (nothing is on screen yet): timed from its end.
        if (!h.start() || !h.waitGroupEnds(1)) return 1;
        const auto begin = std::chrono::steady_clock::now();
        const std::size_t first = h.pictures().size();
        if (!h.waitEos(std::chrono::seconds(60))) return 1;
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        // Repeats of a group-end picture are not paced: count what the renderer keeps.
        const std::size_t shown = hxtest::rendererView(h.pictures()).size() - first;
        const double rate = double(shown) / seconds;
        const double nominal = 10000000.0 / double(30 / fps * 333667);
        std::printf("%2d fps: %.2f pictures/s delivered, nominal %.2f, ratio %.3f\n", fps, rate, nominal,
                    rate / nominal);
    }
    return 0;
}
