// Drives `appsrc ! pexarosink` the way the source and the viewer would:
// numbered BGRx pictures with their sync answers, the group-end byte, the
// frame-request hand-shake, and a presentation target that records what it
// is given.
#pragma once

#include "pexarocontrol.h"

#include <gst/gst.h>

#include <QImage>
#include <QRect>
#include <QSize>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pexarotest {

constexpr std::uint32_t kUnreadable = 0xffffffffu;

// Loads the built plugin once; false when it cannot be loaded.
bool LoadPexaroPlugin();

// A grey picture whose bottom row of 16 x 16 blocks carries `frame` in binary.
QImage NumberedPicture(QSize size, std::uint32_t frame);
std::uint32_t ReadNumber(const QImage& picture);

// Pixels in `area` that satisfy `test` (r, g, b).
int CountPixels(const QImage& picture, const QRect& area, const std::function<bool(int, int, int)>& test);
bool HasBlue(const QImage& picture, const QRect& area);  // the event label's colour
bool HasRed(const QImage& picture, const QRect& area);   // speed text and grid

struct Presented {
    std::uint32_t frame;
    int pictureIndex;  // the picture-index word when it was presented
    QImage picture;
    QRect source;
    QRect destination;
    std::chrono::steady_clock::time_point when;
};

class RecordingTarget : public IPexaroPresentationTarget {
public:
    explicit RecordingTarget(korvid::SharedWord* pictureIndex) : pictureIndex_(pictureIndex) {}
    void SetWindowSize(QSize size);
    QSize WindowSize() override;
    void Present(const QImage& picture, const QRect& source, const QRect& destination) override;

    std::vector<Presented> Log() const;
    std::vector<std::uint32_t> Frames() const;
    size_t Count() const;
    // Waits until the log satisfies `done`; false at the deadline.
    bool WaitUntil(const std::function<bool(const std::vector<Presented>&)>& done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
    bool WaitForCount(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // True when nothing new is presented during `window`.
    bool QuietFor(std::chrono::milliseconds window);

    // The presentation that makes the log `count` long keeps the presenting
    // thread (the render thread) inside Present until Release(): the test
    // then changes modes at a well-defined picture. Once the log holds that
    // picture the thread is already held.
    void HoldAt(size_t count);
    void Release();
    // Releases and ignores every further hold (shut-down).
    void ReleaseForGood();
    // Runs inside every Present after the picture is logged (the pipeline's
    // feeding gate); set before presenting starts.
    void SetAfterPresent(std::function<void()> hook) { afterPresent_ = std::move(hook); }

private:
    korvid::SharedWord* pictureIndex_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    QSize window_;
    std::vector<Presented> log_;
    size_t holdAt_ = 0;
    bool held_ = false;
    bool noHolds_ = false;
    std::function<void()> afterPresent_;
};

struct PictureSpec {
    std::uint32_t frame = 0;
    bool intra = false;
    bool groupEnd = false;
    std::uint8_t eventMark = 0;
    std::int32_t gridWord = 0;
    bool withMeta = true;
    bool deliver = true;  // delivery-enable word while this one is taken in
};

// A group as the source delivers it: intra pictures at the given positions,
// the last one carries the group end, then two pictures the renderer drops.
std::vector<PictureSpec> Group(std::uint32_t firstFrame, int count, std::vector<int> intraAt = {0},
                               bool fillers = true);
constexpr std::uint32_t kFillerBase = 4000;

class PexaroPipeline {
public:
    explicit PexaroPipeline(QSize pictureSize = QSize(352, 240), bool setWindow = true);
    ~PexaroPipeline();

    IPexaroControl* control() const { return control_; }
    korvid::SharedWords& words() { return words_; }
    // Manual-reset, so the feeding can see a request without taking it;
    // whoever answers a request resets it.
    korvid::Event& frameRequest() { return frameRequest_; }
    korvid::Event& firstFrame() { return firstFrame_; }
    RecordingTarget& target() { return target_; }
    QSize pictureSize() const { return size_; }

    // Viewer's call order after connecting.
    void Configure(int rateCode = 1, int videoType = 0, bool setWindow = true);

    void Push(const PictureSpec& spec);
    void Push(const std::vector<PictureSpec>& specs);
    // Waits until the streaming thread has taken in everything pushed so far.
    bool Drain(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // Feeds groups the way the source answers the renderer: the first group
    // at once, each later one only after a frame request that comes once the
    // previous group has been taken in completely. Everything is pushed now;
    // the streaming thread itself waits for the request in front of each
    // later group, so it answers without delay.
    //
    // With `lockstep` the presentation target also keeps the render thread
    // in Present while a request is unanswered or the requested group is
    // still being taken in. The render thread asks for the next group when
    // it swaps, before it presents the picture of that turn, so it can never
    // run out of pictures because the streaming thread was slow: which
    // pictures are shown no longer depends on the machine's load. (After a
    // resync request the render thread presents nothing until the new group
    // is in; there the renderer's own give-up time of seven idle turns bounds
    // the answer, which the streaming thread meets with a whole group in a
    // few milliseconds.)
    void StartFeeding(std::vector<std::vector<PictureSpec>> groups, bool lockstep = true);
    // Waits until every group has been taken in; false at the deadline or
    // when a request never came.
    bool WaitFeedingDone(std::chrono::milliseconds timeout = std::chrono::seconds(20));
    bool feedTimedOut() const { return feedTimedOut_; }

    // Sets the pipeline to NULL; returns how long that took.
    std::chrono::milliseconds Shutdown();
    bool HadError();

private:
    struct FeedMark {
        size_t completes;  // number of feed groups taken in once this mark is reached
    };

    static GstPadProbeReturn OnBuffer(GstPad* pad, GstPadProbeInfo* info, gpointer self);
    GstBuffer* MakeBuffer(const PictureSpec& spec, std::uint64_t seq) const;
    std::uint64_t Enqueue(const PictureSpec& spec, std::optional<FeedMark> mark = std::nullopt);
    void OnFeedMark(const FeedMark& mark);
    void GateRenderThread();

    QSize size_;
    korvid::SharedWords words_;
    korvid::Event frameRequest_{true};
    korvid::Event firstFrame_;
    RecordingTarget target_;
    GstElement* pipeline_ = nullptr;
    GstElement* appsrc_ = nullptr;
    GstElement* sink_ = nullptr;
    IPexaroControl* control_ = nullptr;

    std::mutex specsLock_;
    std::map<std::uint64_t, PictureSpec> specs_;
    std::map<std::uint64_t, FeedMark> marks_;
    std::uint64_t pushed_ = 0;
    std::atomic<std::uint64_t> taken_{0};

    // Feeding state, guarded by feedLock_.
    std::mutex feedLock_;
    std::condition_variable feedChanged_;
    bool feedActive_ = false;  // groups left to take in
    bool lockstep_ = false;
    bool takingIn_ = false;  // a group is on its way into the renderer
    size_t feedGroups_ = 0;
    size_t groupsIn_ = 0;
    std::atomic<std::uint64_t> feedFirst_{0}, feedEnd_{0};  // buffer numbers of the feed
    std::atomic<bool> stopFeeding_{false};
    std::atomic<bool> feedTimedOut_{false};
    std::atomic<bool> gateTimedOut_{false};
    bool shutDown_ = false;
};

std::string Describe(const std::vector<std::uint32_t>& frames);

// Frames of `groups` (without fillers), in feeding order.
std::vector<std::uint32_t> FramesOf(const std::vector<std::vector<PictureSpec>>& groups,
                                    bool onlyIntra = false, bool onlyPredicted = false);

}  // namespace pexarotest
