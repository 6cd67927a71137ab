// Pictures per second through hexmoorsrc ! avdec_h264 ! videoconvert !
// pexarosink, set up as the viewer sets them up, with the source's pacing
// off, against `ffmpeg -threads 1` decoding the same pictures, on a
// realistic 704x480 recording.
#include "benchutil.h"
#include "generator.h"
#include "testrecordings.h"

#include <gst/gst.h>

#include <cstdio>

namespace {

// Wall seconds from PLAYING to end of stream, and the pictures the sink took.
double runPipeline(const std::string& path, int& pictures) {
    const std::string description = "hexmoorsrc name=src pacing=false location=\"" + path +
                                    "\" src.video ! avdec_h264 std-compliance=normal max-threads=1 ! "
                                    "videoconvert ! video/x-raw,format=BGRx ! pexarosink name=sink";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline) {
        std::fprintf(stderr, "decode_bench: %s\n", error ? error->message : "no pipeline");
        return -1;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad* pad = gst_element_get_static_pad(sink, "In");
    guint64 count = 0;
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer n) {
            ++*static_cast<guint64*>(n);
            return GST_PAD_PROBE_OK;
        },
        &count, nullptr);
    const auto start = std::chrono::steady_clock::now();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg = gst_bus_timed_pop_filtered(bus, 300 * GST_SECOND,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const double seconds = bench::secondsSince(start);
    const bool ok = msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS;
    if (msg) gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pad);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    pictures = int(count);
    return ok ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    for (const char* file : {HEXMOOR_PLUGIN_FILE, PEXARO_PLUGIN_FILE}) {
        GError* error = nullptr;
        GstPlugin* plugin = gst_plugin_load_file(file, &error);
        if (!plugin) {
            std::fprintf(stderr, "decode_bench: %s\n", error ? error->message : file);
            return 1;
        }
        gst_object_unref(plugin);
    }
    testrec::TempDir dir;
    qmr3::GenOptions o;
    o.from = "mandelbrot";
    o.width = 704;
    o.height = 480;
    o.fps = 30;
    o.gop = 15;
    o.seconds = 20;
    o.kbps = 1500;
    const std::string path = dir.file("decode.qmr3");
    const auto made = qmr3::generateRecording(path, o);
    if (!made.ok) {
        std::fprintf(stderr, "decode_bench: %s\n", made.error.c_str());
        return 1;
    }
    const std::string stream = dir.file("decode.h264");
    const int pictures = bench::extractStream(path, stream);
    std::vector<double> korvid, ffmpeg;
    for (int run = 0; run < 5; ++run) {
        int shown = 0;
        const double k = runPipeline(path, shown);
        const double f = bench::runProgram(
            {"ffmpeg", "-nostdin", "-threads", "1", "-f", "h264", "-i", stream, "-f", "null", "-"});
        if (k <= 0 || f <= 0 || shown < pictures) {
            std::fprintf(stderr, "decode_bench: run %d failed (%d of %d pictures)\n", run, shown, pictures);
            return 1;
        }
        korvid.push_back(pictures / k);
        ffmpeg.push_back(pictures / f);
    }
    const double k = bench::median(korvid), f = bench::median(ffmpeg);
    std::printf(
        "decode: %d pictures of 704x480 (mandelbrot, x264 at 1.5 Mbit/s); median of 5: korvid %.1f/s, "
        "ffmpeg %.1f/s\n",
        pictures, k, f);
    bench::result("Decode pipeline, pictures/s (704x480, pacing off)", bench::fmt(k, "/s"),
                  bench::fmt(f, "/s"), bench::fmt(k / f, "", 2), ">= 0.8", k / f >= 0.8);
    return 0;
}
