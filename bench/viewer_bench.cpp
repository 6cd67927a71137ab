// Latency of the viewer's commands and smoothness of rewind, on a realistic
// 704x480 30 fps recording with groups of 15: open to first picture, seek,
// one step forward, one step back (at a group start and mid-group), the
// first picture of rewind (median of 20 each, against one frame interval),
// and pictures per second with the spread of their intervals at 1x rewind.
#include "benchutil.h"
#include "generator.h"
#include "lumacastctrl.h"
#include "qmr3reader.h"
#include "testrecordings.h"

#include <QApplication>
#include <QImage>

#include <cmath>
#include <cstdlib>
#include <condition_variable>
#include <functional>
#include <mutex>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

class Bench {
public:
    Bench() {
        ctl.resize(704, 480);
        ctl.show();
        QObject::connect(
            &ctl, &CLumacastCtrl::PicturePresented, &ctl,
            [this](const QImage& picture) {
                std::lock_guard<std::mutex> lock(m_);
                shown_.push_back({Clock::now(), picture});
                cv_.notify_all();
            },
            Qt::DirectConnection);
    }
    ~Bench() { ctl.StopService(); }

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
    // Seconds from `since` to the first picture after `mark` that differs
    // from the one on screen before it; -1 when none came in time.
    double waitNew(std::size_t mark, Clock::time_point since, std::chrono::milliseconds deadline = 10s) {
        QImage before;
        {
            std::lock_guard<std::mutex> lock(m_);
            if (mark > 0 && mark <= shown_.size()) before = shown_[mark - 1].second;
        }
        const auto end = Clock::now() + deadline;
        std::size_t next = mark;
        for (;;) {
            QApplication::processEvents();
            {
                std::unique_lock<std::mutex> lock(m_);
                for (; next < shown_.size(); ++next)
                    if (before.isNull() || shown_[next].second != before)
                        return std::chrono::duration<double>(shown_[next].first - since).count();
                if (Clock::now() >= end) return -1;
                cv_.wait_for(lock, 2ms);
            }
        }
    }
    // Lets the screen settle: no new presentation for `quiet`.
    void settle(std::chrono::milliseconds quiet = 250ms) {
        std::size_t n = count();
        auto since = Clock::now();
        const auto end = since + 10s;
        while (Clock::now() < end) {
            QApplication::processEvents();
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait_for(lock, 10ms);
            if (shown_.size() != n) {
                n = shown_.size();
                since = Clock::now();
            } else if (Clock::now() - since >= quiet) {
                return;
            }
        }
    }
    std::vector<Clock::time_point> timesFrom(std::size_t mark) const {
        std::lock_guard<std::mutex> lock(m_);
        std::vector<Clock::time_point> t;
        for (std::size_t i = mark; i < shown_.size(); ++i)
            if (i == mark || shown_[i].second != shown_[i - 1].second) t.push_back(shown_[i].first);
        return t;
    }
    void pump(std::chrono::milliseconds d) {
        const auto end = Clock::now() + d;
        while (Clock::now() < end) {
            QApplication::processEvents();
            std::unique_lock<std::mutex> lock(m_);
            cv_.wait_for(lock, 5ms);
        }
    }
    long frameIndex() { return long(ctl.GetFrameIndex()); }

    CLumacastCtrl ctl;

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::pair<Clock::time_point, QImage>> shown_;
};

void report(const std::string& figure, const std::vector<double>& seconds, double interval, bool goalMet,
            const std::string& goal) {
    const double ms = bench::median(seconds) * 1000;
    bench::result(figure, bench::fmt(ms, " ms"), bench::fmt(interval * 1000, " ms"),
                  bench::fmt(ms / (interval * 1000), "", 2), goal, goalMet);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (qEnvironmentVariableIsEmpty("KORVID_AUDIO_SINK")) qputenv("KORVID_AUDIO_SINK", "fakesink");
    QApplication app(argc, argv);
    testrec::TempDir dir;
    qmr3::GenOptions o;
    o.from = "testsrc2";
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
    const int kRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    std::vector<double> openT, seekT, forwardT, backStartT, backMidT, rewindT;
    for (int run = 0; run < kRuns; ++run) {
        Bench b;
        auto t = Clock::now();
        if (!b.open(path)) {
            std::fprintf(stderr, "viewer_bench: cannot open\n");
            return 1;
        }
        openT.push_back(b.waitNew(0, t));
        b.pump(500ms);
        b.ctl.SeekToPause();
        b.settle();

        // Slider seek to a group well away from here: its first picture.
        const std::size_t group = (std::size_t(run) * 7 + 40) % (index.size() - 2) + 1;
        std::size_t mark = b.count();
        t = Clock::now();
        b.ctl.SetSpecificPos(qint32(index[group]));
        seekT.push_back(b.waitNew(mark, t));
        b.settle();

        // One step forward from the group start, on to mid-group, one step back.
        for (int i = 0; i < 7; ++i) {
            mark = b.count();
            t = Clock::now();
            b.ctl.SeekToNextFrame();
            const double s = b.waitNew(mark, t, 3s);
            if (i == 0) forwardT.push_back(s);
            b.settle(150ms);
        }
        mark = b.count();
        t = Clock::now();
        b.ctl.SeekToPrevFrame();
        backMidT.push_back(b.waitNew(mark, t, 3s));
        b.settle(150ms);

        // Back over a group start: from the first picture of the next group.
        mark = b.count();
        b.ctl.SetSpecificPos(qint32(index[group + 1]));
        b.waitNew(mark, Clock::now(), 3s);
        b.settle();
        mark = b.count();
        t = Clock::now();
        b.ctl.SeekToPrevFrame();
        backStartT.push_back(b.waitNew(mark, t, 3s));
        b.settle(150ms);

        mark = b.count();
        t = Clock::now();
        b.ctl.SeekToRew(1);
        rewindT.push_back(b.waitNew(mark, t, 3s));
        if (run == 0) {
            // Rewind at 1x for a while: pictures per second and their spacing.
            b.pump(6s);
            const auto times = b.timesFrom(mark);
            std::vector<double> gaps;
            for (std::size_t i = 11; i < times.size(); ++i)
                gaps.push_back(std::chrono::duration<double>(times[i] - times[i - 1]).count());
            double mean = 0, var = 0;
            for (double g : gaps) mean += g;
            mean /= std::max<std::size_t>(1, gaps.size());
            for (double g : gaps) var += (g - mean) * (g - mean);
            const double spread = std::sqrt(var / std::max<std::size_t>(1, gaps.size())) * 1000;
            const double rate = mean > 0 ? 1 / mean : 0;
            std::printf("rewind 1x: %zu intervals, %.1f pictures/s, spread (sd) %.2f ms\n", gaps.size(), rate,
                        spread);
            bench::result("Rewind at 1x, pictures/s", bench::fmt(rate, "/s"), bench::fmt(o.fps, "/s", 0),
                          bench::fmt(rate / o.fps, "", 2), ">= 1.0 (the recording's rate)",
                          rate >= o.fps * 0.98);
            bench::result("Rewind at 1x, spread of intervals (sd)", bench::fmt(spread, " ms", 2), "-", "-",
                          "< 2 ms", spread < 2);
        }
    }
    for (auto* v : {&openT, &seekT, &forwardT, &backStartT, &backMidT, &rewindT})
        for (double s : *v)
            if (s < 0) std::fprintf(stderr, "viewer_bench: a command showed no new picture in time\n");
    std::printf("latency, median of %d (704x480, 30 fps, groups of 15):\n", kRuns);
    const double fwd = bench::median(forwardT);
    report("Open to first picture", openT, interval, bench::median(openT) <= interval, "<= 1 frame interval");
    report("Slider seek to picture", seekT, interval, bench::median(seekT) <= interval,
           "<= 1 frame interval");
    report("One step forward", forwardT, interval, fwd <= interval, "<= 1 frame interval");
    report("One step back at a group start", backStartT, interval,
           bench::median(backStartT) <= interval && bench::median(backStartT) <= fwd * 1.5,
           "<= 1 frame interval, as fast as forward");
    report("One step back mid-group", backMidT, interval,
           bench::median(backMidT) <= interval && bench::median(backMidT) <= fwd * 1.5,
           "<= 1 frame interval, as fast as forward");
    report("First picture of rewind", rewindT, interval, bench::median(rewindT) <= interval,
           "<= 1 frame interval");
    return 0;
}
