// Latency of the viewer's commands and smoothness of rewind, on a realistic
// 704x480 30 fps recording with groups of 15 whose pictures also carry their
// frame number (qmr3gen --numbered), so every presented picture is known:
// open to first picture, slider seek (position, then play, as the player
// does), one step forward, one step back at a group start and mid-group, the
// first picture of rewind (median of 20 each, against one frame interval),
// and the pictures per second and the spread of their intervals at 1x rewind.
#include "benchutil.h"
#include "generator.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "qmr3reader.h"
#include "testrecordings.h"

#include <QApplication>

#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

class Viewer {
public:
    Viewer() {
        ctl.resize(704, 480);
        ctl.show();
        QObject::connect(
            &ctl, &CLumacastCtrl::PicturePresented, &ctl,
            [this](const QImage& picture) {
                const auto at = Clock::now();
                const long f = testrec::frameOf(picture);
                std::lock_guard<std::mutex> lock(m_);
                shown_.push_back({at, f});
                cv_.notify_all();
            },
            Qt::DirectConnection);
    }
    ~Viewer() { ctl.StopService(); }

    bool open(const std::string& path) {
        qmr3::Qmr3Reader r;
        qmr3::Qmr3FileHeader h;
        if (!r.open(path) || !r.readFileHeader(h)) return false;
        ctl.SetProductID(h.productId);
        ctl.SetVideoType(h.videoType);
        ctl.SetVideoInfo(short(h.frameRate), short(h.width), short(h.height), h.gopMode, 0);
        ctl.SetStartPos(0);
        ctl.SetHeaderOption(h.headerOption);
        if (ctl.StartService(QString::fromStdString(path)) != 0) return false;
        ctl.SeekToPlay();
        return true;
    }
    std::size_t count() const {
        std::lock_guard<std::mutex> lock(m_);
        return shown_.size();
    }
    long last() const {
        std::lock_guard<std::mutex> lock(m_);
        return shown_.empty() ? -1 : shown_.back().second;
    }
    // Seconds from `since` to the first presentation after `mark` that
    // matches; -1 when none did before the deadline.
    double waitFor(std::size_t mark, Clock::time_point since, const std::function<bool(long)>& match,
                   std::chrono::milliseconds deadline = 5s) {
        const auto end = Clock::now() + deadline;
        std::size_t next = mark;
        for (;;) {
            QApplication::processEvents();
            std::unique_lock<std::mutex> lock(m_);
            for (; next < shown_.size(); ++next)
                if (match(shown_[next].second))
                    return std::chrono::duration<double>(shown_[next].first - since).count();
            if (Clock::now() >= end) return -1;
            cv_.wait_for(lock, 2ms);
        }
    }
    // No new presentation for `quiet`; returns the picture on screen.
    long settle(std::chrono::milliseconds quiet = 200ms) {
        std::size_t n = count();
        auto since = Clock::now();
        const auto end = since + 10s;
        while (Clock::now() < end) {
            QApplication::processEvents();
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait_for(lock, 5ms);
            }
            if (count() != n) {
                n = count();
                since = Clock::now();
            } else if (Clock::now() - since >= quiet) {
                break;
            }
        }
        return last();
    }
    // Each new picture after `mark` with the time it was first shown.
    std::vector<std::pair<Clock::time_point, long>> changesFrom(std::size_t mark) const {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<std::pair<Clock::time_point, long>> out;
        for (std::size_t i = mark; i < shown_.size(); ++i)
            if (out.empty() || out.back().second != shown_[i].second) out.push_back(shown_[i]);
        return out;
    }
    // Steps forward until the picture on screen satisfies `at`.
    bool stepTo(const std::function<bool(long)>& at) {
        for (int i = 0; i < 20 && !at(last()); ++i) {
            const long from = last();
            const std::size_t mark = count();
            // Timed from before the command: the picture may be on screen before it returns.
            const auto t = Clock::now();
            ctl.SeekToNextFrame();
            if (waitFor(
                    mark, t, [&](long f) { return f == from + 1; }, 3s) < 0) {
                if (std::getenv("VIEWER_BENCH_DEBUG")) {
                    std::printf("step forward from %ld:", from);
                    for (const auto& c : changesFrom(mark)) std::printf(" %ld", c.second);
                    std::printf("\n");
                }
                return false;
            }
            settle(100ms);
        }
        return at(last());
    }

    CLumacastCtrl ctl;

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::pair<Clock::time_point, long>> shown_;
};

void report(const std::string& figure, std::vector<double> seconds, double interval, double limit,
            const std::string& goal) {
    const std::size_t failed =
        std::size_t(std::count_if(seconds.begin(), seconds.end(), [](double s) { return s < 0; }));
    seconds.erase(std::remove_if(seconds.begin(), seconds.end(), [](double s) { return s < 0; }),
                  seconds.end());
    const double ms = bench::median(seconds) * 1000;
    std::string figureText = figure;
    if (failed) figureText += " (" + std::to_string(failed) + " of the runs showed nothing in time)";
    bench::result(figureText, seconds.empty() ? "-" : bench::fmt(ms, " ms"),
                  bench::fmt(interval * 1000, " ms"),
                  seconds.empty() ? "-" : bench::fmt(ms / (interval * 1000), "", 2), goal,
                  !seconds.empty() && failed == 0 && ms <= limit * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("KORVID_AUDIO_SINK")) qputenv("KORVID_AUDIO_SINK", "fakesink");
    // The offscreen platform cannot raise a window; its warning for every
    // viewer opened would bury the figures.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& message) {
        if (!message.contains(QLatin1String("does not support raise()")))
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    testrec::TempDir dir;
    qmr3::GenOptions o;
    o.from = "testsrc2";
    o.numbered = true;
    o.width = 704;
    o.height = 480;
    o.fps = 30;
    o.gop = 15;
    o.seconds = 60;
    o.kbps = 1500;
    o.productId = 0x41;
    const std::string path = dir.file("latency.qmr3");
    const auto made = qmr3::generateRecording(path, o);
    if (!made.ok) {
        std::fprintf(stderr, "viewer_bench: %s\n", made.error.c_str());
        return 1;
    }
    qmr3::Qmr3Reader reader;
    qmr3::Qmr3FileHeader header;
    reader.open(path);
    reader.readFileHeader(header);
    const auto index = reader.readGopIndex(header);
    const double interval = 1.0 / o.fps;
    const long gop = o.gop;

    std::vector<double> openT, seekT, forwardT, backStartT, backMidT, rewindT;
    for (int run = 0; run < runs; ++run) {
        Viewer v;
        auto t = Clock::now();
        if (!v.open(path)) {
            std::fprintf(stderr, "viewer_bench: cannot open the recording\n");
            return 1;
        }
        openT.push_back(v.waitFor(0, t, [](long f) { return f >= 0; }));
        v.waitFor(
            0, t, [](long f) { return f >= 40; }, 10s);
        v.ctl.SeekToPause();
        long held = v.settle();

        std::size_t mark = v.count();
        t = Clock::now();
        v.ctl.SeekToNextFrame();
        forwardT.push_back(v.waitFor(mark, t, [&](long f) { return f == held + 1; }));
        v.settle(100ms);

        if (v.stepTo([&](long f) { return f % gop == 7; })) {
            held = v.last();
            mark = v.count();
            t = Clock::now();
            v.ctl.SeekToPrevFrame();
            backMidT.push_back(v.waitFor(mark, t, [&](long f) { return f == held - 1; }));
            if (std::getenv("VIEWER_BENCH_DEBUG")) {
                std::printf("back mid-group from %ld:", held);
                for (const auto& c : v.changesFrom(mark)) std::printf(" %ld", c.second);
                std::printf("\n");
            }
            v.settle(100ms);
        } else {
            backMidT.push_back(-1);
        }
        if (v.stepTo([&](long f) { return f % gop == 0; })) {
            held = v.last();
            mark = v.count();
            t = Clock::now();
            v.ctl.SeekToPrevFrame();
            backStartT.push_back(v.waitFor(mark, t, [&](long f) { return f == held - 1; }));
            if (std::getenv("VIEWER_BENCH_DEBUG")) {
                std::printf("back from %ld:", held);
                for (const auto& c : v.changesFrom(mark)) std::printf(" %ld", c.second);
                std::printf("\n");
            }
            v.settle(100ms);
        } else {
            backStartT.push_back(-1);
        }

        // Slider seek: a group well away, then play from it.
        const std::size_t group = (std::size_t(run) * 7 + 60) % (index.size() - 4) + 2;
        const long first = long(group) * gop;
        mark = v.count();
        t = Clock::now();
        v.ctl.SetSpecificPos(qint32(group));  // a position of the GOP table, as the slider gives
        v.ctl.SeekToPlay();
        seekT.push_back(v.waitFor(mark, t, [&](long f) { return f >= first && f < first + gop; }));
        v.waitFor(
            mark, t, [&](long f) { return f >= first + 20; }, 5s);
        v.ctl.SeekToPause();
        held = v.settle();

        mark = v.count();
        t = Clock::now();
        v.ctl.SeekToRew(1);
        rewindT.push_back(v.waitFor(mark, t, [&](long f) { return f >= 0 && f < held; }));
        if (run == 0) {
            // Rewind at 1x for four seconds: pictures per second and their spacing.
            v.waitFor(
                mark, t, [&](long f) { return f >= 0 && f <= held - 4 * o.fps; }, 8s);
            const auto changes = v.changesFrom(mark);
            std::vector<double> gaps;
            for (std::size_t i = 2; i < changes.size(); ++i)
                gaps.push_back(
                    std::chrono::duration<double>(changes[i].first - changes[i - 1].first).count());
            double mean = 0, var = 0;
            for (double g : gaps) mean += g;
            mean /= double(std::max<std::size_t>(1, gaps.size()));
            for (double g : gaps) var += (g - mean) * (g - mean);
            const double spread = std::sqrt(var / double(std::max<std::size_t>(1, gaps.size()))) * 1000;
            const double rate = mean > 0 ? 1 / mean : 0;
            std::printf("rewind 1x from picture %ld: %zu intervals, %.1f pictures/s, spread (sd) %.2f ms\n",
                        held, gaps.size(), rate, spread);
            bench::result("Rewind at 1x, pictures/s", bench::fmt(rate, "/s"), bench::fmt(o.fps, "/s", 0),
                          bench::fmt(rate / o.fps, "", 2), "the recording's rate", rate >= o.fps * 0.98);
            bench::result("Rewind at 1x, spread of intervals (sd)", bench::fmt(spread, " ms", 2), "-", "-",
                          "< 2 ms", gaps.size() > 10 && spread < 2);
        }
    }
    std::printf("latency, median of %d runs (704x480, 30 pictures/s, groups of 15)\n", runs);
    const double forward = bench::median(forwardT);
    report("Open to first picture", openT, interval, interval, "<= 1 frame interval");
    report("Slider seek to picture (position, then play)", seekT, interval, interval, "<= 1 frame interval");
    report("One step forward", forwardT, interval, interval, "<= 1 frame interval");
    report("One step back at a group start", backStartT, interval, std::min(interval, forward * 1.5),
           "<= 1 frame interval, as fast as forward");
    report("One step back mid-group", backMidT, interval, std::min(interval, forward * 1.5),
           "<= 1 frame interval, as fast as forward");
    report("First picture of rewind", rewindT, interval, interval, "<= 1 frame interval");
    return 0;
}
