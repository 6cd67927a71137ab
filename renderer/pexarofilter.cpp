#include "pexarofilter.h"

#include "intervals.h"
#include "pexarodebug.h"
#include "picturemeta.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

using namespace pexaro;
using korvid::PlayMode;

namespace {

constexpr int kExhaustedLimit = 7;
constexpr int kInFlightLimit = 50;  // idle turns of 20 ms
constexpr int kLongWaitSliceMs = 50;
constexpr int kMaxGridCells = 64 * 64;

std::int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::chrono::steady_clock::time_point AtMs(std::int64_t ms) {
    return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
}

// A higher priority where the system allows it; a refusal is fine.
void RaiseThreadPriority() {
    const auto tid = static_cast<id_t>(syscall(SYS_gettid));
    (void)setpriority(PRIO_PROCESS, tid, -10);
}

QString FromC(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

}  // namespace

CPexaroFilter::CPexaroFilter(GstElement* element) : element_(element) {
    gst_video_info_init(&info_);
    pin_ = std::make_unique<CPexaroInputPin>(this, element);
}

CPexaroFilter::~CPexaroFilter() { StopRenderThread(); }

// ---------------------------------------------------------------- intake

GstFlowReturn CPexaroFilter::Receive(GstBuffer* buffer) {
    std::lock_guard<std::mutex> lock(lock_);
    if (pm_.mode == korvid::kStop) return GST_FLOW_OK;
    if (auto* enable = deliveryEnable_.load(); enable && enable->load() == 0) return GST_FLOW_OK;

    const KorvidPictureMeta* meta = korvid_picture_meta_get(buffer);
    syncAnswer_ = meta ? (meta->intra ? 0 : 1) : kSyncUnknown;
    if (dropCount_ > 0) {
        --dropCount_;
        GST_LOG_OBJECT(element_, "picture after a group end dropped");
        return GST_FLOW_OK;
    }
    if (!haveInfo_) return GST_FLOW_NOT_NEGOTIATED;
    arrived_ = true;

    if (display_) {
        if (GroupSlot* slot = groups_.NextFreeWrite()) {
            if (CopyPicture(buffer, slot->image)) {
                slot->syncAnswer = syncAnswer_;
                ApplyIntakeOverlays(slot->image);
                GST_LOG_OBJECT(element_, "picture %d of the write set taken in, sync answer %d",
                               groups_.writeCount(), syncAnswer_);
            } else {
                groups_.UndoWrite();
                GST_WARNING_OBJECT(element_, "picture could not be mapped; dropped");
            }
        } else {
            GST_DEBUG_OBJECT(element_, "write set full: picture dropped, swap pending");
        }
    }

    bool groupEnd = false;
    if (auto* flag = groupEnd_.load()) groupEnd = flag->load() == 1;
    else groupEnd = meta && meta->group_end;  // no viewer: the source's own mark
    if (groupEnd) {
        groupInFlight_ = false;
        dropCount_ = 2;
        if (groups_.ready()) {
            groups_.setSwapPending(true);
            GST_DEBUG_OBJECT(element_, "group end: %d pictures wait for the read set to finish",
                             groups_.writeCount());
        } else {
            groups_.Swap(false);
            pm_.request = false;
            GST_DEBUG_OBJECT(element_, "group end: %d pictures swapped in at once; next group requested",
                             groups_.readCount());
            RequestNextGroup();
        }
        // A render thread idling for want of a set sees this one at once.
        WakeRenderThread();
    }
    return GST_FLOW_OK;
}

bool CPexaroFilter::CopyPicture(GstBuffer* buffer, QImage& into) {
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info_, buffer, GST_MAP_READ)) return false;
    const int w = GST_VIDEO_FRAME_WIDTH(&frame);
    const int h = GST_VIDEO_FRAME_HEIGHT(&frame);
    if (into.size() != QSize(w, h) || into.format() != QImage::Format_RGB32)
        into = QImage(w, h, QImage::Format_RGB32);
    bool ok = !into.isNull();
    if (ok) {
        const auto* src = static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0));
        const int stride = GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0);
        const size_t rowBytes = static_cast<size_t>(w) * 4;
        if (static_cast<size_t>(stride) == rowBytes && static_cast<size_t>(into.bytesPerLine()) == rowBytes) {
            std::memcpy(into.bits(), src, rowBytes * h);
        } else {
            for (int y = 0; y < h; ++y)
                std::memcpy(into.scanLine(y), src + static_cast<size_t>(y) * stride, rowBytes);
        }
    }
    gst_video_frame_unmap(&frame);
    return ok;
}

void CPexaroFilter::ApplyIntakeOverlays(QImage& picture) {
    if (!display_) return;
    korvid::SharedByte* mark = eventMark_.load();
    const EventStep ev =
        eventOverlay_.OnPicture(osdItems_, mark != nullptr, mark ? mark->load() : 0, osdShown_);
    if (ev.clearSurface) display_->ClearOsdSurface();
    if (ev.drawLabel && osdItems_[kLabelItem].enabled) display_->DrawOsdItem(osdItems_[kLabelItem]);
    if (ev.blend) display_->BlendOsd(picture);

    korvid::SharedWord* word = gridWord_.load();
    if (!word) return;
    const GridStep grid = gridOverlay_.OnPicture(static_cast<std::uint8_t>(word->load() & 0xff), gridShown_);
    if (grid.redraw) {
        // Shared by every renderer in the process, as the cells accumulate.
        static std::atomic<int> redrawCounter{0};
        if (++redrawCounter > 10) {
            redrawCounter = 0;
            display_->ClearGridSurface();
        }
        std::vector<bool> flagged(cells_.size(), false);
        if (korvid::SharedByte* cells = gridCells_.load())
            for (size_t k = 0; k < cells_.size(); ++k) flagged[k] = cells[k].load() != 0;
        display_->DrawGridCells(cells_, flagged);
    }
    if (grid.blend) display_->BlendGrid(picture);
}

void CPexaroFilter::SetMediaType(const GstVideoInfo& info) {
    std::lock_guard<std::mutex> lock(lock_);
    info_ = info;
    haveInfo_ = true;
    pictureSize_ = QSize(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
    if (display_) display_->SetPictureSize(pictureSize_);
    RebuildCells();
}

void CPexaroFilter::RequestNextGroup() {
    groupInFlight_ = true;
    requestReverse_ = pm_.reverse;
    turnResync_ = false;
    if (korvid::Event* ev = frameRequest_.load()) ev->set();
}

int CPexaroFilter::SharedSkipRate() const {
    korvid::SharedWord* rate = skipRate_.load();
    return rate ? rate->load() : 1;
}

void CPexaroFilter::OnStateChange(GstStateChange transition) {
    switch (transition) {
    case GST_STATE_CHANGE_NULL_TO_READY: {
        bool haveDisplay;
        {
            std::lock_guard<std::mutex> lock(lock_);
            haveDisplay = display_ != nullptr;
        }
        if (haveDisplay) StartRenderThread();
        break;
    }
    case GST_STATE_CHANGE_PAUSED_TO_READY: {
        // A restarted stream begins with fresh groups.
        std::lock_guard<std::mutex> lock(lock_);
        groups_.Reset();
        dropCount_ = 0;
        groupInFlight_ = true;  // the first group comes unasked
        requestReverse_ = pm_.reverse;
        turnResync_ = false;
        break;
    }
    case GST_STATE_CHANGE_READY_TO_NULL: StopRenderThread(); break;
    default: break;
    }
}

// ---------------------------------------------------------- render thread

bool CPexaroFilter::MustEnd() const { return quit_.load() || stopMode_.load(); }

void CPexaroFilter::WakeRenderThread() {
    {
        std::lock_guard<std::mutex> lock(wakeLock_);
        ++wakes_;
    }
    wakeCv_.notify_all();
}

void CPexaroFilter::IdleFor(int ms, std::uint64_t seen) {
    std::unique_lock<std::mutex> lock(wakeLock_);
    wakeCv_.wait_for(lock, std::chrono::milliseconds(std::max(ms, 0)),
                     [&] { return MustEnd() || wakes_.load() != seen; });
}

bool CPexaroFilter::SleepUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(wakeLock_);
    wakeCv_.wait_until(lock, deadline, [this] { return MustEnd(); });
    return !MustEnd();
}

bool CPexaroFilter::SleepFor(int ms) {
    return SleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(ms, 0)));
}

void CPexaroFilter::StartRenderThread() {
    std::lock_guard<std::mutex> threadLock(threadLock_);
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!threadEnded_ || pm_.mode == korvid::kStop || !display_) return;
        threadEnded_ = false;
    }
    if (thread_.joinable()) thread_.join();  // an earlier thread that already left its loop
    quit_ = false;
    thread_ = std::thread(&CPexaroFilter::RenderLoop, this);
}

void CPexaroFilter::StopRenderThread() {
    std::lock_guard<std::mutex> threadLock(threadLock_);
    quit_ = true;
    WakeRenderThread();
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> lock(lock_);
    threadEnded_ = true;
}

void CPexaroFilter::PresentCurrent() {
    CPexaroDisplay* display;
    std::optional<QRect> zoom, band;
    {
        std::lock_guard<std::mutex> lock(lock_);
        display = display_.get();
        zoom = zoom_;
        band = band_;
    }
    if (display) display->PresentComposition(zoom, band);
}

// One turn of the render thread: a picture picked from the read set, shown
// or passed over, and paced against the one before.
void CPexaroFilter::RenderLoop() {
    RaiseThreadPriority();
    RenderClock clock;
    clock.due = clock.blockStart = NowMs();
    {
        std::lock_guard<std::mutex> lock(lock_);
        startInterval_ = pm_.currentInterval;
        GST_DEBUG_OBJECT(element_, "render thread runs, interval %d ms", startInterval_);
    }

    for (;;) {
        Turn turn;
        {
            std::unique_lock<std::mutex> lock(lock_);
            turn.wakes = wakes_.load();
            if (pm_.mode == korvid::kStop || quit_) {
                threadEnded_ = true;  // decided under the lock, so a new play mode restarts us
                break;
            }
            if (!groups_.ready()) {
                if (!PickEarlyPicture(turn, clock)) {
                    lock.unlock();
                    clock.idle = true;
                    IdleFor(10, turn.wakes);
                    continue;
                }
                clock.early = turn.picture;
            } else {
                PickByMode(turn, clock);
                // The picture shown before its group was in is not shown twice:
                // it is the first one read once the set is in. Later reads of
                // its slot hold other pictures.
                const bool again = turn.picture && turn.picture == clock.early;
                clock.early = nullptr;
                const bool shown = !again && ComposeUnlessSkipped(turn);
                if (AtReadSetEdge(turn, clock) == Edge::StartOver) continue;
                AdaptBlockRate(turn.mode, clock);
                if (turn.picture && !shown) continue;
                if (HoldsBack(turn, clock, lock)) continue;
            }
            if (turn.picture) {
                pm_.stepPending = false;
                turn.zoom = zoom_;
                turn.band = band_;
                turn.display = display_.get();
            }
            turn.interval = pm_.currentInterval;
            turn.startInterval = startInterval_;
        }

        if (!turn.picture) {
            clock.idle = true;
            IdleFor(20, turn.wakes);
            ++clock.pictures;
            continue;
        }
        Present(turn, clock);
        Pace(turn, clock);
        ++clock.pictures;
    }
    GST_DEBUG_OBJECT(element_, "render thread ends");
}

// Lock held. Opening: nothing has been shown yet and no set is in, but the
// first picture of the group coming in is there. It is shown now rather than
// when the whole group has been decoded; the read set later passes it over.
bool CPexaroFilter::PickEarlyPicture(Turn& turn, const RenderClock& clock) {
    if (!clock.firstPresent || clock.early || pm_.mode != korvid::kPlay || !display_) return false;
    GroupSlot* first = groups_.FirstWritten();
    if (!first) return false;
    turn.mode = pm_.mode;
    turn.picture = first;
    display_->SetComposition(first->image);
    // Where the read position will be once the set is in and this picture read.
    if (korvid::SharedWord* index = pictureIndex_.load()) index->store(1);
    GST_DEBUG_OBJECT(element_, "first picture shown before its group is in");
    return true;
}

// Lock held. The next picture of the read set by play mode; `backward` is the
// direction of a later swap.
void CPexaroFilter::PickByMode(Turn& turn, RenderClock& clock) {
    turn.mode = pm_.mode;
    const int rsr = renderSkipRate_;
    auto flushTo = [&](CGroupBuffer::ReadResult result) {
        turn.read = result;
        pm_.resync = true;
        pm_.flush = false;
        GST_DEBUG_OBJECT(element_, "mode %d: rest of the read set dropped, fresh group to follow", turn.mode);
    };
    switch (turn.mode) {
    case korvid::kPlay:
    case korvid::kFastForward:
        if (pm_.flush) {
            flushTo(groups_.ReadForwardToEnd());
        } else {
            turn.read = groups_.ReadOnward(false, &turn.picture);
            if (turn.picture && turn.mode == korvid::kFastForward && rsr > 1)
                turn.speedText = QStringLiteral("%1X Search").arg(rsr);
        }
        break;
    case korvid::kRewind:
        // Slow rewind reads each group backwards; fast rewind gets its groups
        // already in reverse order and reads them forwards.
        turn.backward = rsr < 3;
        if (!pm_.flush) {
            turn.read = groups_.ReadOnward(turn.backward, &turn.picture);
            if (turn.picture) turn.speedText = QStringLiteral("-%1X Search").arg(rsr);
        } else {
            flushTo(turn.backward ? groups_.ReadForwardToEnd() : groups_.ReadBackwardToStart());
        }
        break;
    case korvid::kNextPicture:
    case korvid::kPreviousPicture:
        if (!pm_.stepPending) break;
        turn.backward = turn.mode == korvid::kPreviousPicture;
        if (!pm_.flush) {
            turn.read = groups_.ReadOnward(turn.backward, &turn.picture);
        } else {
            flushTo(turn.backward ? groups_.ReadBackwardToStart() : groups_.ReadForwardToEnd());
            clock.hold = 4;
        }
        break;
    default: break;
    }
    GST_LOG_OBJECT(element_, "mode %d, skip rate %d: read result %d, position %d of %d%s", turn.mode, rsr,
                   int(turn.read), groups_.readPosition(), groups_.readCount(),
                   turn.picture ? "" : ", no picture");
}

// Fast rewind shows the groups' sync pictures only: the source sends one
// picture per group then, and anything else in the set is left over from
// before. Every other mode shows every picture, the groups' first included.
bool CPexaroFilter::ShowsPicture(std::uint8_t mode, int renderSkipRate, int syncAnswer) const {
    if (slowMode_ || syncAnswer == kSyncUnknown) return true;
    const bool fastRewind = mode == korvid::kRewind && renderSkipRate > 2;
    return !fastRewind || syncAnswer == 0;
}

// Lock held. Copies the picked picture into the composition and publishes its
// position, unless the sync-answer rule passes it over; true when copied.
bool CPexaroFilter::ComposeUnlessSkipped(Turn& turn) {
    if (!turn.picture) return false;
    if (!turn.speedText.isEmpty()) CPexaroDisplay::DrawSpeedText(turn.picture->image, turn.speedText);
    if (!ShowsPicture(turn.mode, renderSkipRate_, turn.picture->syncAnswer)) {
        GST_DEBUG_OBJECT(element_, "position %d passed over: no sync point in fast rewind",
                         groups_.readPosition());
        return false;
    }
    if (display_) display_->SetComposition(turn.picture->image);
    if (korvid::SharedWord* index = pictureIndex_.load()) index->store(groups_.readPosition());
    return true;
}

// Lock held. At the end (or start) of the read set: answer a pending resync,
// swap in the next set, or count the turns without one and give up on it.
// The set's last picture, read together with its edge, is still shown.
CPexaroFilter::Edge CPexaroFilter::AtReadSetEdge(Turn& turn, RenderClock& clock) {
    if (turn.read != CGroupBuffer::kReadEnd && turn.read != CGroupBuffer::kReadStart) return Edge::Go;
    if (pm_.resync) {
        if (groupInFlight_ && !groups_.swapPending()) {
            // The group asked for last is still on its way and the source only
            // waits for a request at its end: asked now, the request would
            // find it reading and be lost. It is let in whole, then dropped.
            if (arrived_.exchange(false) || GroupComingIn()) clock.exhausted = 0;
            if (++clock.exhausted < kInFlightLimit) return Edge::Go;
            GST_DEBUG_OBJECT(element_, "group asked for did not come in %d turns", kInFlightLimit);
        }
        clock.exhausted = 0;
        groups_.setSwapPending(false);
        groups_.EmptyWrite();
        pm_.request = false;
        pm_.resync = false;
        GST_DEBUG_OBJECT(element_, "read set done: pending group dropped, fresh group requested");
        RequestNextGroup();
        return turn.picture ? Edge::Go : Edge::StartOver;
    }
    if (groups_.swapPending()) {
        // The new set is read at the rate it was sent for, so the direction
        // follows that rate, not the one just finished.
        renderSkipRate_ = SharedSkipRate();
        if (turn.mode == korvid::kRewind) turn.backward = renderSkipRate_ < 3;
        groups_.Swap(turn.backward);
        pm_.currentInterval = IntervalForSkipRate(baseInterval_, renderSkipRate_, slowMode_);
        pm_.request = false;
        GST_DEBUG_OBJECT(element_,
                         "swap: %d pictures read %s at skip rate %d, interval %d ms; next group requested",
                         groups_.readCount(), turn.backward ? "backwards" : "forwards", renderSkipRate_,
                         pm_.currentInterval);
        RequestNextGroup();
        clock.exhausted = 0;
        // A turn that only found the edge goes straight on to the new set.
        if (!turn.picture) return Edge::StartOver;
    } else if (arrived_.exchange(false) || GroupComingIn()) {
        clock.exhausted = 0;  // a slowly paced set is still coming in
    } else if (++clock.exhausted >= kExhaustedLimit) {
        groups_.setSwapPending(false);
        groups_.EmptyWrite();
        pm_.request = false;
        pm_.resync = false;
        clock.exhausted = 0;
        GST_DEBUG_OBJECT(element_, "no group came in %d turns: write side emptied, group requested again",
                         kExhaustedLimit);
        RequestNextGroup();
    }
    return Edge::Go;
}

// Lock held. The write set has begun and the source is not waiting at a
// group end: the rest of the group follows at the source's pace, which at
// slow rates leaves far more idle turns between pictures than the give-up
// allows. Only a group end that never reached the intake (the source waits
// while the set stays incomplete) is given up on.
bool CPexaroFilter::GroupComingIn() const {
    if (groups_.writeCount() == 0) return false;
    korvid::SharedByte* flag = groupEnd_.load();
    return !flag || flag->load() != 1;
}

// Lock held. In play, each block of pictures moves the interval so that the
// block takes its nominal time, within 2 ms of the starting interval.
void CPexaroFilter::AdaptBlockRate(std::uint8_t mode, RenderClock& clock) {
    if (mode != korvid::kPlay || frameRate_ <= 1 || clock.pictures < blockPictures_) return;
    const std::int64_t t = NowMs();
    if (!clock.firstBlock) {
        const std::int64_t took = t - clock.blockStart;
        std::int64_t k = 2 * static_cast<std::int64_t>(blockMs_) - took;
        if (k > blockMs_ + 500 || k < 0) k = blockMs_;
        int ci = static_cast<int>(k / std::max(blockPictures_, 1));
        if (ci < 0) ci = startInterval_;
        pm_.currentInterval = std::clamp(ci, startInterval_ - 2, startInterval_ + 2);
        GST_DEBUG_OBJECT(element_, "block of %d pictures took %lld ms (nominal %d): interval %d ms",
                         blockPictures_, static_cast<long long>(took), blockMs_, pm_.currentInterval);
    }
    clock.firstBlock = false;
    clock.pictures = 0;
    clock.blockStart = t;
}

// Lock held (released while sleeping). After a step that dropped the rest of
// a set, the first pictures of the fresh group are taken without showing
// them; true when this turn ends here.
bool CPexaroFilter::HoldsBack(const Turn& turn, RenderClock& clock, std::unique_lock<std::mutex>& lock) {
    if (clock.hold <= 0) return false;
    if (turn.picture) {
        --clock.hold;
        GST_DEBUG_OBJECT(element_, "position %d held back after a step, %d to go", groups_.readPosition(),
                         clock.hold);
        return true;
    }
    lock.unlock();
    clock.idle = true;
    IdleFor(20, turn.wakes);
    ++clock.pictures;
    return true;
}

// Lock not held. Shows the composition; the first picture of the thread's
// life sets the first-frame event and restarts the block timing.
void CPexaroFilter::Present(const Turn& turn, RenderClock& clock) {
    if (turn.display) turn.display->PresentComposition(turn.zoom, turn.band);
    GST_DEBUG_OBJECT(element_, "presented in mode %d%s%s", turn.mode, turn.zoom ? ", zoomed" : "",
                     turn.band ? ", with band" : "");
    if (!clock.firstPresent) return;
    clock.firstPresent = false;
    if (korvid::Event* ev = firstFrame_.load()) ev->set();
    clock.pictures = 0;
    clock.blockStart = NowMs();
}

// Lock not held. Waits out the interval since the previous picture was due;
// waits longer than a second re-present the picture so zoom and band changes
// show, and end early on a request.
void CPexaroFilter::Pace(const Turn& turn, RenderClock& clock) {
    const std::int64_t t = NowMs();
    if (clock.idle) {
        // The time spent without a picture is no lateness to catch up on: a
        // set that came in after the screen ran dry would otherwise flash
        // its first picture by.
        clock.idle = false;
        clock.due = t;
    }
    const std::int64_t elapsed = t - clock.due;
    const int interval = turn.interval;
    if (elapsed < interval) {
        const std::int64_t wait = interval - elapsed;
        GST_DEBUG_OBJECT(element_, "pacing: %lld ms to the next picture (interval %d)",
                         static_cast<long long>(wait), interval);
        if (wait <= 1000) {
            SleepUntil(AtMs(clock.due + interval));
            clock.due += interval;
            return;
        }
        const std::int64_t end = t + wait;
        for (;;) {
            const std::int64_t left = end - NowMs();
            if (left <= 0 || !SleepFor(static_cast<int>(std::min<std::int64_t>(left, kLongWaitSliceMs))))
                break;
            PresentCurrent();
            std::lock_guard<std::mutex> lock(lock_);
            if (pm_.request) {
                GST_DEBUG_OBJECT(element_, "pacing: long wait broken by a request");
                break;
            }
        }
        clock.due = NowMs();
    } else if (elapsed - interval >= interval) {
        GST_DEBUG_OBJECT(element_, "pacing: %lld ms late, a start interval's rest instead",
                         static_cast<long long>(elapsed - interval));
        SleepFor(turn.startInterval);
        clock.due = NowMs();
    } else {
        clock.due = t;
    }
}

// ------------------------------------------------------------ control

int CPexaroFilter::ShowOSD() {
    std::lock_guard<std::mutex> lock(lock_);
    osdShown_ = true;
    return 0;
}

int CPexaroFilter::HideOSD() {
    std::lock_guard<std::mutex> lock(lock_);
    osdShown_ = false;
    return 0;
}

int CPexaroFilter::AddOSD(int index, const char* text, int x, int y, int align, const char* fontName,
                          int fontHeight, int r, int g, int b) {
    if (index < 0 || index >= kOsdItems) return -1;
    std::lock_guard<std::mutex> lock(lock_);
    OsdItem& item = osdItems_[index];
    item.text = FromC(text);
    item.fontName = FromC(fontName);
    item.fontHeight = fontHeight;
    item.x = x;
    item.y = y;
    item.align = align & 0xff;
    item.r = r;
    item.g = g;
    item.b = b;
    item.enabled = true;
    return 0;
}

int CPexaroFilter::RemoveOSD(int index) {
    if (index < 0 || index >= kOsdItems) return -1;
    std::lock_guard<std::mutex> lock(lock_);
    osdItems_[index] = OsdItem{};
    return 0;
}

int CPexaroFilter::SetWindow(IPexaroPresentationTarget* window) {
    if (!window) return -1;
    CPexaroDisplay* display;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!display_) {
            display_ = std::make_unique<CPexaroDisplay>();
            if (haveInfo_) display_->SetPictureSize(pictureSize_);
        }
        display = display_.get();
    }
    display->SetTarget(window);
    StartRenderThread();
    return 0;
}

int CPexaroFilter::SetStretch(int stretch) {
    CPexaroDisplay* display;
    {
        std::lock_guard<std::mutex> lock(lock_);
        display = display_.get();
    }
    if (!display) return -1;
    display->ClearComposition();
    display->PresentPlain();
    display->SetStretch(stretch != 0);
    return 0;
}

int CPexaroFilter::ShowMDArea() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_) return -1;
    gridShown_ = true;
    hitTestMode_ = false;
    return 0;
}

int CPexaroFilter::HideMDArea() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_) return -1;
    gridShown_ = false;
    return 0;
}

int CPexaroFilter::ShowMDAreaForHitTest() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_) return -1;
    gridShown_ = true;
    hitTestMode_ = true;
    hitCells_ = ComputeCells(kHitTestWidth, kHitTestHeight, gridRows_, gridCols_);
    return 0;
}

int CPexaroFilter::EndMDAreaHitTest() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_) return -1;
    hitTestMode_ = false;
    return 0;
}

int CPexaroFilter::SetMDArea(korvid::SharedWord* gridWord, int rows, int cols, korvid::SharedByte* cells,
                             korvid::SharedByte* hitCells) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_) return -1;
    if (rows <= 0 || cols <= 0 || rows * cols > kMaxGridCells) return -1;
    gridRows_ = rows;
    gridCols_ = cols;
    gridWord_ = gridWord;
    gridCells_ = cells;
    gridHitCells_ = hitCells;
    hitCells_.clear();
    RebuildCells();
    return 0;
}

void CPexaroFilter::RebuildCells() {
    cells_ = pictureSize_.isEmpty()
                 ? std::vector<QRect>{}
                 : ComputeCells(pictureSize_.width(), pictureSize_.height(), gridRows_, gridCols_);
}

int CPexaroFilter::ClearMDArea() {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_) return -1;
    cells_.clear();
    hitCells_.clear();
    gridRows_ = gridCols_ = 0;
    gridWord_ = nullptr;
    gridCells_ = nullptr;
    gridHitCells_ = nullptr;
    return 0;
}

int CPexaroFilter::HitTestMDArea(int* result, int x, int y) {
    std::lock_guard<std::mutex> lock(lock_);
    if (!display_ || !result) return -1;
    *result = HitTestCells(hitCells_, x, y);
    return 0;
}

int CPexaroFilter::SnapShot(const char* fileName) {
    CPexaroDisplay* display;
    {
        std::lock_guard<std::mutex> lock(lock_);
        display = display_.get();
    }
    if (!display || !fileName) return -1;
    return display->SnapShotJpeg(FromC(fileName)) ? 0 : -1;
}

int CPexaroFilter::SnapShotRawData(const char* fileName) {
    CPexaroDisplay* display;
    {
        std::lock_guard<std::mutex> lock(lock_);
        display = display_.get();
    }
    if (!display || !fileName) return -1;
    return display->SnapShotRaw(FromC(fileName)) ? 0 : -1;
}

int CPexaroFilter::Repaint() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!display_) return -1;
    }
    PresentCurrent();
    return 0;
}

int CPexaroFilter::SetEventMarkPointer(korvid::SharedByte* eventMark) {
    eventMark_ = eventMark;
    return 0;
}

int CPexaroFilter::Reserved19() { return 0; }

int CPexaroFilter::SetFrameRate(int picturesPerSecond) {
    const auto interval = IntervalFromRate(picturesPerSecond);
    if (!interval) return -1;  // a rate of 0 would divide by zero
    std::lock_guard<std::mutex> lock(lock_);
    frameRate_ = picturesPerSecond;
    baseInterval_ = pm_.currentInterval = startInterval_ = *interval;
    GST_DEBUG_OBJECT(element_, "frame rate %d: interval %d ms", picturesPerSecond, baseInterval_);
    return 0;
}

int CPexaroFilter::SetPlayMode(int mode) {
    bool restart = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        const bool resyncBefore = pm_.resync;
        const bool fastBefore =
            (pm_.mode == korvid::kFastForward || pm_.mode == korvid::kRewind) && pm_.skipRateCopy > 2;
        ApplyPlayModeChange(pm_, mode, SharedSkipRate(), baseInterval_);
        const int m = mode & 0xff;
        const bool plainTurn =
            (m == korvid::kPlay || m == korvid::kNextPicture || m == korvid::kPreviousPicture) &&
            !pm_.flush && !fastBefore;
        if (pm_.resync && !resyncBefore) turnResync_ = plainTurn;
        else if (!plainTurn) turnResync_ = false;
        if (pm_.resync && turnResync_ && pm_.reverse == requestReverse_) {
            // Turned and turned back before any group was asked for: the group
            // coming in was read for this direction after all (the source nets
            // the turns out too), so it is kept.
            pm_.resync = false;
            turnResync_ = false;
            GST_DEBUG_OBJECT(element_, "turned back before a new group: pending group kept");
        }
        stopMode_ = pm_.mode == korvid::kStop;
        GST_DEBUG_OBJECT(element_, "play mode %d at skip rate %d: %s, resync %d, flush %d, step %d", pm_.mode,
                         pm_.skipRateCopy, pm_.reverse ? "backwards" : "forwards", pm_.resync, pm_.flush,
                         pm_.stepPending);
        restart = !stopMode_ && threadEnded_ && display_ && !quit_;
    }
    WakeRenderThread();
    if (restart) StartRenderThread();
    return 0;
}

int CPexaroFilter::SetDeliveryEnablePointer(korvid::SharedWord* word) {
    deliveryEnable_ = word;
    return 0;
}

int CPexaroFilter::SetSkipRatePointer(korvid::SharedWord* word) {
    skipRate_ = word;
    return 0;
}

int CPexaroFilter::SetGroupEndPointer(korvid::SharedByte* flag) {
    groupEnd_ = flag;
    return 0;
}

int CPexaroFilter::SetFrameRequestEvent(korvid::Event* event) {
    frameRequest_ = event;
    return 0;
}

int CPexaroFilter::SetPictureIndexPointer(korvid::SharedWord* word) {
    pictureIndex_ = word;
    return 0;
}

int CPexaroFilter::SetTemporaryFlag1(int flag) {
    CPexaroDisplay* display;
    {
        std::lock_guard<std::mutex> lock(lock_);
        display = display_.get();
    }
    if (!display) return -1;
    if (flag & 0xff) display->SetCrop();
    return 0;
}

int CPexaroFilter::Reserved28(int) { return 0; }
int CPexaroFilter::Reserved29(int) { return 0; }
int CPexaroFilter::Reserved30(int) { return 0; }

int CPexaroFilter::SetGopMode(int isGopMode) {
    std::lock_guard<std::mutex> lock(lock_);
    gopMode_ = isGopMode;
    return 0;
}

std::optional<QRect> CPexaroFilter::PictureRect(int top, int left, int bottom, int right) const {
    QRect r = QRect(left, top, right - left, bottom - top).normalized();
    if (!pictureSize_.isEmpty()) r = r.intersected(QRect(QPoint(0, 0), pictureSize_));
    if (r.isEmpty()) return std::nullopt;
    return r;
}

int CPexaroFilter::SetZoomRect(int top, int left, int bottom, int right) {
    std::lock_guard<std::mutex> lock(lock_);
    if (top == 0 && left == 0 && bottom == 0 && right == 0) zoom_.reset();
    else zoom_ = PictureRect(top, left, bottom, right);
    return 0;
}

int CPexaroFilter::SetBandRect(int top, int left, int bottom, int right) {
    std::lock_guard<std::mutex> lock(lock_);
    if (top == 0 && left == 0 && bottom == 0 && right == 0) band_.reset();
    else band_ = PictureRect(top, left, bottom, right);
    return 0;
}

int CPexaroFilter::IsZoomed() {
    std::lock_guard<std::mutex> lock(lock_);
    return zoom_ ? 1 : 0;
}

int CPexaroFilter::SetRateCode(int rateCode, int videoType) {
    // Codes the recorder does not define keep the current rate.
    const auto pacing = PacingForRateCode(rateCode, videoType);
    if (!pacing) {
        GST_DEBUG_OBJECT(element_, "rate code %d of family %d unknown: rate kept", rateCode, videoType);
        return 0;
    }
    GST_DEBUG_OBJECT(element_, "rate code %d of family %d: interval %d ms, blocks of %d pictures in %d ms%s",
                     rateCode, videoType, pacing->baseIntervalMs, pacing->rate.blockPictures,
                     pacing->rate.blockMs, pacing->rate.slow ? ", slow" : "");
    std::lock_guard<std::mutex> lock(lock_);
    frameRate_ = pacing->rate.picturesPerSecond;
    baseInterval_ = pm_.currentInterval = startInterval_ = pacing->baseIntervalMs;
    blockPictures_ = pacing->rate.blockPictures;
    blockMs_ = pacing->rate.blockMs;
    slowMode_ = pacing->rate.slow;
    return 0;
}

int CPexaroFilter::Sync() {
    korvid::SharedByte* flag = groupEnd_.load();
    std::lock_guard<std::mutex> lock(lock_);
    pm_.request = flag && flag->load() == 1;
    return 0;
}

int CPexaroFilter::SetFirstFrameEvent(korvid::Event* event) {
    firstFrame_ = event;
    return 0;
}
