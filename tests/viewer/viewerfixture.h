// A viewer control on screen (offscreen platform) that records the frame
// number of every picture the renderer presents to it and every OnMediaStop.
#pragma once

#include "generator.h"
#include "lumacastctrl.h"
#include "testrecordings.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace vwtest {

using namespace std::chrono_literals;

using testrec::recording;

class Viewer {
public:
    Viewer();
    ~Viewer();

    CLumacastCtrl ctl;

    // Writes a recording into the fixture's folder; empty path on failure.
    std::string write(const std::string& name, const qmr3::GenOptions& options);
    // The player's calls from the file header, then StartService and SeekToPlay.
    std::int32_t open(const std::string& path);

    std::vector<long> frames() const;  // every presentation, -1 when unreadable
    // When each frame number was first presented, in order of presentation.
    std::vector<std::pair<long, std::chrono::steady_clock::time_point>> firstShown() const;
    std::size_t presented() const;
    int mediaStops() const;
    long last() const;  // -1 before any picture

    // Waits, processing the GUI events, until done() holds or the deadline passes.
    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline = 20s);
    bool waitFrame(const std::function<bool(long)>& match, std::chrono::milliseconds deadline = 20s);
    bool waitMediaStop(std::chrono::milliseconds deadline = 30s);
    // Every presentation from index `from` on.
    std::vector<long> framesFrom(std::size_t from) const;

    testrec::TempDir dir;

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<long> frames_;
    std::vector<std::chrono::steady_clock::time_point> times_;
    int mediaStops_ = 0;
};

// Waits until nothing new was presented for `quiet`; the last frame then.
long Settle(Viewer& v, std::chrono::milliseconds quiet = 600ms);
// "3 2 1 " for failure messages.
std::string Show(const std::vector<long>& frames);

long FrameOf(const QImage& picture);
// 1 1 2 2 3 -> 1 2 3
std::vector<long> Distinct(const std::vector<long>& v);
std::vector<long> UpTo(long n);

}  // namespace vwtest
