// Soak run of the viewer control: a long random sequence of the commands a
// host gives (open, play, pause, winding at every speed, steps both ways,
// seeks, close) over normal, GOP-mode, damaged and silent recordings, offscreen
// with the sound going to fakesink. A watchdog thread ends the run if any
// command does not return; afterwards every command must have returned within
// a second, the thread count must be back where it started after each close,
// and resident memory may not have grown by 20 MB or more.
//
// Usage: korvid_soak COMMANDS SEED [FOLDER]   (KORVID_SOAK_TRACE=1: a line per command)
// Exit status 0 when every check held; the seed is printed on every failure so
// the same sequence can be replayed.
#include "generator.h"
#include "lumacastctrl.h"
#include "qmr3format.h"
#include "testrecordings.h"

#include <QApplication>
#include <QFile>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;  // shadow memory and quarantine make the resident size meaningless
#else
constexpr bool kSanitized = false;
#endif

constexpr auto kCommandLimit = 1s;
constexpr auto kHangLimit = 20s;
constexpr long kGrowthLimitKb = 20 * 1024;

unsigned long long seed = 0;

long statusField(const char* name) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(name) + ":";
    while (std::getline(in, line))
        if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
    return -1;
}
// Threads of our own and of the pipelines, without GLib's idle pool workers
// named "pool-...".
std::vector<std::string> threadNames() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::ifstream in(task.path() / "comm");
        std::string name;
        std::getline(in, name);
        if (in && name.rfind("pool", 0) != 0) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}
std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}
long threadCount() { return long(threadNames().size()); }
long residentKb() { return statusField("VmRSS"); }
// Resident memory once the allocator has handed back what it only keeps
// cached: the free pages of the per-thread arenas of threads that came and
// went are not growth of the program.
long settledResidentKb() {
    malloc_trim(0);
    return residentKb();
}

[[noreturn]] void fail(const std::string& what) {
    std::fflush(stdout);
    std::fprintf(stderr, "soak: FAILED (seed %llu): %s\n", seed, what.c_str());
    std::fflush(stderr);
    std::_Exit(1);
}

// Ends the process when a command has been running for too long: a hung call
// never returns to report itself.
class Watchdog {
public:
    Watchdog() : thread_([this] { run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_);
            quit_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void begin(const std::string& what) {
        std::lock_guard<std::mutex> lock(m_);
        what_ = what;
        since_ = Clock::now();
        busy_ = true;
    }
    void end() {
        std::lock_guard<std::mutex> lock(m_);
        busy_ = false;
    }

private:
    void run() {
        std::unique_lock<std::mutex> lock(m_);
        while (!quit_) {
            cv_.wait_for(lock, 200ms);
            if (busy_ && Clock::now() - since_ > kHangLimit) fail("hung in " + what_);
        }
    }
    std::mutex m_;
    std::condition_variable cv_;
    std::string what_;
    Clock::time_point since_;
    bool busy_ = false;
    bool quit_ = false;
    std::thread thread_;
};

struct Recording {
    std::string name;
    std::string path;
};

std::vector<Recording> makeRecordings(const std::string& folder) {
    std::vector<std::pair<std::string, qmr3::GenOptions>> kinds;
    kinds.emplace_back("normal", testrec::recording(15, 15, 12, qmr3::AudioKind::Pcm));
    kinds.emplace_back("adpcm", testrec::recording(10, 10, 10, qmr3::AudioKind::Adpcm));
    kinds.emplace_back("silent", testrec::recording(30, 15, 6, qmr3::AudioKind::None));
    qmr3::GenOptions gop = testrec::recording(10, 5, 10, qmr3::AudioKind::Pcm);
    gop.gopMode = true;
    gop.motion = {{2, 6}};
    gop.gps = true;
    kinds.emplace_back("gopmode", gop);
    qmr3::GenOptions cut = testrec::recording(10, 10, 10, qmr3::AudioKind::Pcm);
    cut.damage = {{qmr3::DamageKind::CutShort, 60}};
    kinds.emplace_back("cutshort", cut);
    qmr3::GenOptions bad = testrec::recording(10, 10, 10, qmr3::AudioKind::Adpcm);
    bad.damage = {{qmr3::DamageKind::BadMagic, 40}, {qmr3::DamageKind::EmptyPicture, 70}};
    kinds.emplace_back("badpackets", bad);
    qmr3::GenOptions index = testrec::recording(10, 10, 8, qmr3::AudioKind::None);
    index.damage = {{qmr3::DamageKind::IndexOutside, 0}};
    kinds.emplace_back("indexoutside", index);
    std::vector<Recording> out;
    for (auto& [name, o] : kinds) {
        const std::string path = folder + "/" + name + ".qmr3";
        const qmr3::GenResult r = qmr3::generateRecording(path, o);
        if (!r.ok) fail("cannot write " + path + ": " + r.error);
        out.push_back({name, path});
    }
    return out;
}

class Soak {
public:
    explicit Soak(std::vector<Recording> recordings) : recordings_(std::move(recordings)), random_(seed) {
        ctl_.resize(352, 240);
        ctl_.show();
        QObject::connect(&ctl_, &CLumacastCtrl::OnMediaStop, &ctl_, [this] { ++mediaStops_; });
        QObject::connect(
            &ctl_, &CLumacastCtrl::PicturePresented, &ctl_, [this](const QImage&) { ++pictures_; },
            Qt::DirectConnection);
    }

    // Every recording played, wound both ways and closed once first, so that
    // what the process keeps for its life (GStreamer's plugins, clock and
    // thread pools, the decoder's tables, the allocator's per-thread arenas)
    // is in the baseline.
    void warmUp() {
        for (std::size_t i = 0; i < recordings_.size(); ++i) {
            open(i);
            pump(300ms);
            call("warm-up wind", [&] { ctl_.SeekToFF(16); });
            pump(200ms);
            call("warm-up wind", [&] { ctl_.SeekToRew(16); });
            pump(200ms);
            close();
        }
        pump(200ms);
        startThreads_ = threadNames();
        threads_ = long(startThreads_.size());
        resident_ = settledResidentKb();
    }

    void run(int commands) {
        const auto start = Clock::now();
        long worstMs = 0;
        std::string worst;
        for (int i = 0; i < commands; ++i) {
            const std::string what = step(i);
            const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(lastCall_).count());
            if (ms > worstMs) {
                worstMs = ms;
                worst = what;
            }
            if (trace_)
                std::printf("%4d %-20s %5ld ms  threads %ld  resident %ld KB  heap %zu KB\n", i, what.c_str(),
                            ms, threadCount(), residentKb(), mallinfo2().uordblks / 1024);
            if (lastCall_ > kCommandLimit)
                fail("command " + std::to_string(i) + " (" + what + ") took " + std::to_string(ms) + " ms");
            // Dwell a while, as a user would between commands, with the GUI running.
            pump(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 250)(random_)));
        }
        close();
        pump(200ms);
        checkThreads("the end");
        const long grown = settledResidentKb() - resident_;
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf(
            "soak: seed %llu, %d commands in %.1f s, %ld opens, %ld pictures, %d media stops, "
            "slowest command %ld ms (%s), threads %ld, resident memory grew by %ld KB%s\n",
            seed, commands, seconds, opens_, pictures_.load(), mediaStops_, worstMs, worst.c_str(), threads_,
            grown, kSanitized ? " (not checked under a sanitizer)" : "");
        if (!kSanitized && grown >= kGrowthLimitKb)
            fail("resident memory grew by " + std::to_string(grown) + " KB");
    }

private:
    template <typename F>
    void call(const std::string& what, F&& f) {
        watchdog_.begin(what);
        const auto t0 = Clock::now();
        f();
        lastCall_ = Clock::now() - t0;
        watchdog_.end();
    }

    void pump(std::chrono::milliseconds span) {
        const auto end = Clock::now() + span;
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            std::this_thread::sleep_for(5ms);
        } while (Clock::now() < end);
    }

    // The thread count may lag a joined thread by a moment; it has to get back.
    // Fewer than at the start is no leak: GStreamer's streaming threads run
    // on GLib's shared pool, whose idle workers (still named after the task
    // that ran last, "source:audio" say) are retired on GLib's own schedule.
    void checkThreads(const std::string& when) {
        const auto end = Clock::now() + 2s;
        long now = threadCount();
        while (now > threads_ && Clock::now() < end) {
            pump(20ms);
            now = threadCount();
        }
        if (now > threads_)
            fail(std::to_string(now) + " threads after " + when + " (" + joined(threadNames()) + "), " +
                 std::to_string(threads_) + " at the start (" + joined(startThreads_) + ")");
    }

    // The calls the player makes from the file header, then StartService and play.
    void open(std::size_t which) {
        const Recording& r = recordings_[which];
        call("open " + r.name, [&] {
            QFile f(QString::fromStdString(r.path));
            QByteArray raw;
            if (f.open(QIODevice::ReadOnly)) raw = f.read(qmr3::kFileHeaderSize);
            if (raw.size() != int(qmr3::kFileHeaderSize)) fail("cannot read " + r.path);
            const auto h =
                qmr3::Qmr3FileHeader::parse(reinterpret_cast<const std::uint8_t*>(raw.constData()));
            if (ctl_.HasPipeline()) ctl_.StopService();
            ctl_.SetProductID(h.productId);
            ctl_.SetVideoType(h.videoType);
            ctl_.SetVideoInfo(short(h.frameRate), short(h.width), short(h.height), h.gopMode, 0);
            if (h.audioKind == 0xFF) ctl_.SetADPCMTypeAudio();
            ctl_.SetStartPos(std::uniform_int_distribution<int>(0, 3)(random_) == 0 ? int(h.indexCount / 2)
                                                                                    : 0);
            ctl_.SetHeaderOption(h.headerOption);
            if (ctl_.StartService(QString::fromStdString(r.path)) == 0) {
                ctl_.SetMDArea(12, 16);
                ctl_.ShowMDArea();
                ctl_.SeekToPlay();
                positions_ = int(h.indexCount);
                ++opens_;
            } else {
                positions_ = 0;
            }
        });
    }

    void close() {
        call("close", [&] { ctl_.StopService(); });
        positions_ = 0;
    }

    std::string step(int i) {
        const int kind = std::uniform_int_distribution<int>(0, 99)(random_);
        static const short kRates[] = {0, 1, 2, 4, 8, 16};
        const short rate = kRates[std::uniform_int_distribution<int>(0, 5)(random_)];
        std::string what;
        if (kind < 8 || !ctl_.HasPipeline()) {
            const std::size_t which =
                std::uniform_int_distribution<std::size_t>(0, recordings_.size() - 1)(random_);
            open(which);
            what = "open " + recordings_[which].name;
        } else if (kind < 12) {
            close();
            checkThreads("close at command " + std::to_string(i));
            what = "close";
        } else if (kind < 24) {
            call("play", [&] { ctl_.SeekToPlay(); });
            what = "play";
        } else if (kind < 34) {
            call("pause", [&] { ctl_.SeekToPause(); });
            what = "pause";
        } else if (kind < 46) {
            what = "fast forward " + std::to_string(rate);
            call(what, [&] { ctl_.SeekToFF(rate); });
        } else if (kind < 58) {
            what = "rewind " + std::to_string(rate);
            call(what, [&] { ctl_.SeekToRew(rate); });
        } else if (kind < 70) {
            call("step forward", [&] { ctl_.SeekToNextFrame(); });
            what = "step forward";
        } else if (kind < 82) {
            call("step back", [&] { ctl_.SeekToPrevFrame(); });
            what = "step back";
        } else if (kind < 94) {
            // A slider seek: a position of the index (or just past it), then play.
            const int target = std::uniform_int_distribution<int>(0, std::max(0, positions_))(random_);
            what = "seek " + std::to_string(target);
            call(what, [&] {
                ctl_.SetSpecificPos(target);
                ctl_.SeekToPlay();
            });
        } else {
            call("still", [&] {
                short y, mo, d, h, mi, s;
                ctl_.GetCurrTime(&y, &mo, &d, &h, &mi, &s);
                ctl_.GetFrameIndex();
                ctl_.CurrentPicture();
            });
            what = "still";
        }
        return what;
    }

    std::vector<Recording> recordings_;
    std::mt19937_64 random_;
    CLumacastCtrl ctl_;
    Watchdog watchdog_;
    Clock::duration lastCall_{};
    const bool trace_ = !qEnvironmentVariableIsEmpty("KORVID_SOAK_TRACE");  // one line per command
    int positions_ = 0;
    long threads_ = 0;
    std::vector<std::string> startThreads_;
    long resident_ = 0;
    long opens_ = 0;
    int mediaStops_ = 0;
    std::atomic<long> pictures_{0};
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s COMMANDS SEED [FOLDER]\n", argv[0]);
        return 2;
    }
    const int commands = std::atoi(argv[1]);
    seed = std::strtoull(argv[2], nullptr, 10);
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    if (qgetenv("KORVID_AUDIO_SINK").isEmpty()) qputenv("KORVID_AUDIO_SINK", "fakesink");
    QApplication app(argc, argv);

    std::string folder = argc > 3 ? argv[3] : std::string();
    bool own = false;
    if (folder.empty()) {
        std::string pattern = std::filesystem::temp_directory_path().string() + "/korvid-soak-XXXXXX";
        if (!mkdtemp(pattern.data())) fail("cannot make a scratch folder");
        folder = pattern;
        own = true;
    }
    {
        Soak soak(makeRecordings(folder));
        soak.warmUp();
        soak.run(commands);
    }
    if (own) std::filesystem::remove_all(folder);
    return 0;
}
