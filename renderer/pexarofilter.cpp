#include "pexarofilter.h"

#include "picturemeta.h"
#include "ratetable.h"

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
        return GST_FLOW_OK;
    }
    if (!haveInfo_) return GST_FLOW_NOT_NEGOTIATED;
    arrived_ = true;

    if (display_) {
        if (GroupSlot* slot = groups_.NextFreeWrite()) {
            if (CopyPicture(buffer, slot->image)) {
                slot->syncAnswer = syncAnswer_;
                ApplyIntakeOverlays(slot->image);
            } else {
                groups_.UndoWrite();
            }
        }
    }

    bool groupEnd = false;
    if (auto* flag = groupEnd_.load()) groupEnd = flag->load() == 1;
    else groupEnd = meta && meta->group_end;  // no viewer: the source's own mark
    if (groupEnd) {
        dropCount_ = 2;
        if (groups_.ready()) {
            groups_.setSwapPending(true);
        } else {
            groups_.Swap(false);
            pm_.request = false;
            RequestNextGroup();
        }
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
        for (int y = 0; y < h; ++y) std::memcpy(into.scanLine(y), src + static_cast<size_t>(y) * stride, rowBytes);
    }
    gst_video_frame_unmap(&frame);
    return ok;
}

void CPexaroFilter::ApplyIntakeOverlays(QImage& picture) {
    if (!display_) return;
    korvid::SharedByte* mark = eventMark_.load();
    const EventStep ev = eventOverlay_.OnPicture(osdItems_, mark != nullptr, mark ? mark->load() : 0, osdShown_);
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
        break;
    }
    case GST_STATE_CHANGE_READY_TO_NULL:
        StopRenderThread();
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------- render thread

bool CPexaroFilter::MustEnd() const { return quit_.load() || stopMode_.load(); }

void CPexaroFilter::WakeRenderThread() {
    { std::lock_guard<std::mutex> lock(wakeLock_); }
    wakeCv_.notify_all();
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

void CPexaroFilter::RenderLoop() {
    RaiseThreadPriority();
    std::int64_t due = NowMs();  // when the last picture was due
    std::int64_t blockStart = due;
    int j = 0;
    int hold = 0;
    int exhausted = 0;
    bool firstPresent = true;
    bool firstBlock = true;
    {
        std::lock_guard<std::mutex> lock(lock_);
        startInterval_ = pm_.currentInterval;
    }

    for (;;) {
        GroupSlot* picture = nullptr;
        CPexaroDisplay* display = nullptr;
        std::optional<QRect> zoom, band;
        int interval = 0, startInterval = 0;
        {
            std::unique_lock<std::mutex> lock(lock_);
            if (pm_.mode == korvid::kStop || quit_) {
                threadEnded_ = true;  // decided under the lock, so a new play mode restarts us
                break;
            }
            if (!groups_.ready()) {
                lock.unlock();
                SleepFor(10);
                continue;
            }
            display = display_.get();

            // Next picture by play mode; `backward` is the direction of a later swap.
            const std::uint8_t mode = pm_.mode;
            const int rsr = renderSkipRate_;
            bool backward = false;
            CGroupBuffer::ReadResult rr = CGroupBuffer::kReadNone;
            QString speedText;
            switch (mode) {
            case korvid::kPlay:
            case korvid::kFastForward:
                if (pm_.flush) {
                    rr = groups_.ReadForwardToEnd();
                    pm_.resync = true;
                    pm_.flush = false;
                } else {
                    rr = groups_.ReadForward(&picture);
                    if (picture && mode == korvid::kFastForward && rsr > 1)
                        speedText = QStringLiteral("%1X Search").arg(rsr);
                }
                break;
            case korvid::kRewind:
                if (!pm_.flush) {
                    if (rsr < 3) {
                        backward = true;
                        rr = groups_.ReadBackward(&picture);
                    } else {
                        rr = groups_.ReadForward(&picture);
                    }
                    if (picture) speedText = QStringLiteral("-%1X Search").arg(rsr);
                } else {
                    if (rsr < 3) {
                        backward = true;
                        rr = groups_.ReadForwardToEnd();
                    } else {
                        rr = groups_.ReadBackwardToStart();
                    }
                    pm_.resync = true;
                    pm_.flush = false;
                }
                break;
            case korvid::kNextPicture:
            case korvid::kPreviousPicture:
                if (pm_.stepPending) {
                    backward = mode == korvid::kPreviousPicture;
                    if (!pm_.flush) {
                        rr = backward ? groups_.ReadBackward(&picture) : groups_.ReadForward(&picture);
                    } else {
                        rr = backward ? groups_.ReadBackwardToStart() : groups_.ReadForwardToEnd();
                        pm_.resync = true;
                        pm_.flush = false;
                        hold = 4;
                    }
                }
                break;
            default:
                break;
            }

            // Into the composition, unless the sync answer rules the picture out.
            bool copied = false;
            if (picture) {
                if (!speedText.isEmpty()) CPexaroDisplay::DrawSpeedText(picture->image, speedText);
                const int answer = picture->syncAnswer;
                bool skip = false;
                if (!slowMode_ && answer != kSyncUnknown) {
                    if (mode == korvid::kRewind && (rsr == 1 || rsr == 2)) skip = answer != 1;
                    else if (mode == korvid::kPreviousPicture) skip = answer != 1;
                    else if (mode == korvid::kRewind && (rsr == 4 || rsr == 8 || rsr == 16 || rsr == 32))
                        skip = answer != 0;
                }
                if (!skip) {
                    if (display) display->SetComposition(picture->image);
                    if (korvid::SharedWord* index = pictureIndex_.load()) index->store(groups_.readPosition());
                    copied = true;
                }
            }

            // End or start of the read set: resync, swap or count the misses.
            if (rr == CGroupBuffer::kReadEnd || rr == CGroupBuffer::kReadStart) {
                if (pm_.resync) {
                    if (groups_.swapPending()) {
                        groups_.setSwapPending(false);
                        groups_.EmptyWrite();
                    }
                    pm_.request = false;
                    RequestNextGroup();
                    pm_.resync = false;
                    continue;
                }
                if (groups_.swapPending()) {
                    // The new set is read at the rate it was sent for, so the
                    // direction follows that rate, not the one just finished.
                    renderSkipRate_ = SharedSkipRate();
                    if (mode == korvid::kRewind) backward = renderSkipRate_ < 3;
                    groups_.Swap(backward);
                    pm_.currentInterval = IntervalForSkipRate(baseInterval_, renderSkipRate_, slowMode_);
                    pm_.request = false;
                    RequestNextGroup();
                    exhausted = 0;
                } else if (arrived_.exchange(false)) {
                    exhausted = 0;  // a slowly paced set is still coming in
                } else if (++exhausted >= kExhaustedLimit) {
                    groups_.setSwapPending(false);
                    groups_.EmptyWrite();
                    pm_.request = false;
                    RequestNextGroup();
                    pm_.resync = false;
                    exhausted = 0;
                }
            }

            // Rate adaptation by blocks.
            if (mode == korvid::kPlay && frameRate_ > 1 && j >= blockPictures_) {
                const std::int64_t t = NowMs();
                if (!firstBlock) {
                    std::int64_t k = 2 * static_cast<std::int64_t>(blockMs_) - (t - blockStart);
                    if (k > blockMs_ + 500 || k < 0) k = blockMs_;
                    int ci = static_cast<int>(k / std::max(blockPictures_, 1));
                    if (ci < 0) ci = startInterval_;
                    pm_.currentInterval = std::clamp(ci, startInterval_ - 2, startInterval_ + 2);
                }
                firstBlock = false;
                j = 0;
                blockStart = t;
            }

            if (picture && !copied) continue;
            if (hold > 0) {
                if (picture) {
                    --hold;
                    continue;
                }
                lock.unlock();
                SleepFor(20);
                ++j;
                continue;
            }
            if (picture) {
                pm_.stepPending = false;
                zoom = zoom_;
                band = band_;
            }
            interval = pm_.currentInterval;
            startInterval = startInterval_;
        }

        if (!picture) {
            SleepFor(20);
            ++j;
            continue;
        }

        if (display) display->PresentComposition(zoom, band);
        if (firstPresent) {
            firstPresent = false;
            if (korvid::Event* ev = firstFrame_.load()) ev->set();
            j = 0;
            blockStart = NowMs();
        }

        // Pacing against the due time of the previous picture.
        const std::int64_t t = NowMs();
        const std::int64_t elapsed = t - due;
        if (elapsed < interval) {
            const std::int64_t wait = interval - elapsed;
            if (wait <= 1000) {
                SleepUntil(AtMs(due + interval));
                due += interval;
            } else {
                // Slow rates: show zoom and band changes while waiting.
                const std::int64_t end = t + wait;
                for (;;) {
                    const std::int64_t left = end - NowMs();
                    if (left <= 0 || !SleepFor(static_cast<int>(std::min<std::int64_t>(left, kLongWaitSliceMs)))) break;
                    PresentCurrent();
                    std::lock_guard<std::mutex> lock(lock_);
                    if (pm_.request) break;
                }
                due = NowMs();
            }
        } else if (elapsed - interval >= interval) {
            SleepFor(startInterval);
            due = NowMs();
        } else {
            due = t;
        }
        ++j;
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
    cells_ = pictureSize_.isEmpty() ? std::vector<QRect>{}
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
    return 0;
}

int CPexaroFilter::SetPlayMode(int mode) {
    bool restart = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        ApplyPlayModeChange(pm_, mode, SharedSkipRate(), baseInterval_);
        stopMode_ = pm_.mode == korvid::kStop;
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
    const auto entry = LookupRateCode(rateCode, videoType);
    if (!entry) return 0;
    const auto interval = IntervalFromRate(entry->picturesPerSecond);
    std::lock_guard<std::mutex> lock(lock_);
    frameRate_ = entry->picturesPerSecond;
    baseInterval_ = pm_.currentInterval = startInterval_ = *interval;
    blockPictures_ = entry->blockPictures;
    blockMs_ = entry->blockMs;
    slowMode_ = entry->slow;
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
