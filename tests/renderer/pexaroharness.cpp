#include "pexaroharness.h"

#include "h264writer.h"
#include "picturemeta.h"

#include <gst/app/gstappsrc.h>

#include <cstring>

namespace pexarotest {

using namespace std::chrono;

bool LoadPexaroPlugin() {
    static const bool loaded = [] {
        GError* error = nullptr;
        GstPlugin* plugin = gst_plugin_load_file(PEXARO_PLUGIN_PATH, &error);
        if (!plugin) {
            g_printerr("cannot load %s: %s\n", PEXARO_PLUGIN_PATH, error ? error->message : "?");
            g_clear_error(&error);
            return false;
        }
        gst_object_unref(plugin);
        return true;
    }();
    return loaded;
}

QImage NumberedPicture(QSize size, std::uint32_t frame) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(96, 96, 96));
    const int y0 = (size.height() / 16 - 1) * 16;
    for (int k = 0; k < size.width() / 16 && k < 32; ++k) {
        const QRgb colour = (frame >> k) & 1 ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
        for (int y = y0; y < y0 + 16; ++y) {
            auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = k * 16; x < k * 16 + 16; ++x) line[x] = colour;
        }
    }
    return picture;
}

std::uint32_t ReadNumber(const QImage& picture) {
    if (picture.isNull() || picture.depth() != 32) return kUnreadable;
    // Green channel of BGRx.
    const auto n = qmr3::readFrameNumber(picture.constBits() + 1, static_cast<int>(picture.bytesPerLine()),
                                         picture.width(), picture.height(), 4);
    return n ? *n : kUnreadable;
}

int CountPixels(const QImage& picture, const QRect& area, const std::function<bool(int, int, int)>& test) {
    int n = 0;
    const QRect r = area.intersected(picture.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb c = picture.pixel(x, y);
            if (test(qRed(c), qGreen(c), qBlue(c))) ++n;
        }
    return n;
}

bool HasBlue(const QImage& picture, const QRect& area) {
    return CountPixels(picture, area, [](int r, int g, int b) { return b > 160 && r < 80 && g < 80; }) > 0;
}

bool HasRed(const QImage& picture, const QRect& area) {
    return CountPixels(picture, area, [](int r, int g, int b) { return r > 160 && g < 90 && b < 90; }) > 0;
}

// ------------------------------------------------------------------ target

void RecordingTarget::SetWindowSize(QSize size) {
    std::lock_guard<std::mutex> lock(lock_);
    window_ = size;
}

QSize RecordingTarget::WindowSize() {
    std::lock_guard<std::mutex> lock(lock_);
    return window_;
}

void RecordingTarget::Present(const QImage& picture, const QRect& source, const QRect& destination) {
    Presented p{ReadNumber(picture), pictureIndex_ ? pictureIndex_->load() : -1, picture, source, destination,
                steady_clock::now()};
    {
        std::lock_guard<std::mutex> lock(lock_);
        log_.push_back(std::move(p));
        if (!noHolds_ && holdAt_ != 0 && log_.size() == holdAt_) held_ = true;
    }
    changed_.notify_all();
    if (afterPresent_) afterPresent_();
    std::unique_lock<std::mutex> lock(lock_);
    // Bounded, so that a test that forgets to release fails instead of hanging.
    changed_.wait_for(lock, seconds(30), [this] { return !held_ || noHolds_; });
    held_ = false;
}

void RecordingTarget::HoldAt(size_t count) {
    std::lock_guard<std::mutex> lock(lock_);
    holdAt_ = count;
}

void RecordingTarget::Release() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        held_ = false;
    }
    changed_.notify_all();
}

void RecordingTarget::ReleaseForGood() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        noHolds_ = true;
        held_ = false;
    }
    changed_.notify_all();
}

std::vector<Presented> RecordingTarget::Log() const {
    std::lock_guard<std::mutex> lock(lock_);
    return log_;
}

std::vector<std::uint32_t> RecordingTarget::Frames() const {
    std::lock_guard<std::mutex> lock(lock_);
    std::vector<std::uint32_t> frames;
    for (const auto& p : log_) frames.push_back(p.frame);
    return frames;
}

size_t RecordingTarget::Count() const {
    std::lock_guard<std::mutex> lock(lock_);
    return log_.size();
}

bool RecordingTarget::WaitUntil(const std::function<bool(const std::vector<Presented>&)>& done,
                                milliseconds timeout) {
    std::unique_lock<std::mutex> lock(lock_);
    return changed_.wait_for(lock, timeout, [&] { return done(log_); });
}

bool RecordingTarget::WaitForCount(size_t count, milliseconds timeout) {
    return WaitUntil([count](const std::vector<Presented>& log) { return log.size() >= count; }, timeout);
}

bool RecordingTarget::QuietFor(milliseconds window) {
    std::unique_lock<std::mutex> lock(lock_);
    const size_t before = log_.size();
    return !changed_.wait_for(lock, window, [&] { return log_.size() != before; });
}

// ------------------------------------------------------------------- groups

std::vector<PictureSpec> Group(std::uint32_t firstFrame, int count, std::vector<int> intraAt, bool fillers) {
    std::vector<PictureSpec> group;
    for (int i = 0; i < count; ++i) {
        PictureSpec s;
        s.frame = firstFrame + static_cast<std::uint32_t>(i);
        for (int k : intraAt) s.intra = s.intra || k == i;
        s.groupEnd = i == count - 1;
        group.push_back(s);
    }
    if (fillers) {
        // What the source sends right after a group end; the renderer drops both.
        for (int i = 0; i < 2; ++i) {
            PictureSpec s;
            s.frame = kFillerBase + firstFrame % 1000 + static_cast<std::uint32_t>(i);
            s.intra = true;
            group.push_back(s);
        }
    }
    return group;
}

std::string Describe(const std::vector<std::uint32_t>& frames) {
    std::string s;
    for (auto f : frames)
        s += (s.empty() ? "" : " ") + (f == kUnreadable ? std::string("?") : std::to_string(f));
    return s;
}

std::vector<std::uint32_t> FramesOf(const std::vector<std::vector<PictureSpec>>& groups, bool onlyIntra,
                                    bool onlyPredicted) {
    std::vector<std::uint32_t> frames;
    for (const auto& g : groups)
        for (const auto& s : g) {
            if (s.frame >= kFillerBase) continue;
            if (onlyIntra && !s.intra) continue;
            if (onlyPredicted && s.intra) continue;
            frames.push_back(s.frame);
        }
    return frames;
}

// ----------------------------------------------------------------- pipeline

PexaroPipeline::PexaroPipeline(QSize pictureSize, bool setWindow)
    : size_(pictureSize), target_(&words_.pictureIndex) {
    target_.SetWindowSize(pictureSize);
    target_.SetAfterPresent([this] { GateRenderThread(); });
    words_.deliveryEnable = 1;
    words_.skipRate = 1;
    pipeline_ = gst_pipeline_new(nullptr);
    appsrc_ = gst_element_factory_make("appsrc", nullptr);
    sink_ = gst_element_factory_make("pexarosink", nullptr);
    if (!pipeline_ || !appsrc_ || !sink_) return;
    GstCaps* caps = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGRx", "width", G_TYPE_INT,
                                        size_.width(), "height", G_TYPE_INT, size_.height(), "framerate",
                                        GST_TYPE_FRACTION, 30, 1, nullptr);
    g_object_set(appsrc_, "caps", caps, "format", GST_FORMAT_TIME, "max-bytes", guint64(1) << 30, "block",
                 FALSE, nullptr);
    gst_caps_unref(caps);
    gst_bin_add_many(GST_BIN(pipeline_), appsrc_, sink_, nullptr);
    gst_element_link_pads(appsrc_, "src", sink_, "In");
    GstPad* src = gst_element_get_static_pad(appsrc_, "src");
    gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER, &PexaroPipeline::OnBuffer, this, nullptr);
    gst_object_unref(src);
    g_object_get(sink_, "control", &control_, nullptr);
    if (control_) Configure(1, 0, setWindow);
    gst_element_set_state(pipeline_, GST_STATE_PLAYING);
}

PexaroPipeline::~PexaroPipeline() {
    Shutdown();
    if (pipeline_) gst_object_unref(pipeline_);
}

void PexaroPipeline::Configure(int rateCode, int videoType, bool setWindow) {
    control_->SetRateCode(rateCode, videoType);
    control_->SetFrameRequestEvent(&frameRequest_);
    control_->SetGroupEndPointer(&words_.groupEnd);
    control_->SetFirstFrameEvent(&firstFrame_);
    control_->SetDeliveryEnablePointer(&words_.deliveryEnable);
    control_->SetSkipRatePointer(&words_.skipRate);
    control_->SetPictureIndexPointer(&words_.pictureIndex);
    control_->SetGopMode(0);
    if (setWindow) control_->SetWindow(&target_);
    control_->SetEventMarkPointer(&words_.eventMark);
}

GstPadProbeReturn PexaroPipeline::OnBuffer(GstPad*, GstPadProbeInfo* info, gpointer data) {
    // Runs on the streaming thread right before the renderer takes the
    // buffer in: set the shared words the way the source does for it.
    auto* self = static_cast<PexaroPipeline*>(data);
    GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    const std::uint64_t seq = GST_BUFFER_OFFSET(buffer);
    PictureSpec spec;
    std::optional<FeedMark> mark;
    {
        std::lock_guard<std::mutex> lock(self->specsLock_);
        auto it = self->specs_.find(seq);
        if (it != self->specs_.end()) {
            spec = it->second;
            self->specs_.erase(it);
        }
        auto m = self->marks_.find(seq);
        if (m != self->marks_.end()) {
            mark = m->second;
            self->marks_.erase(m);
        }
    }
    if (self->stopFeeding_ && seq >= self->feedFirst_ && seq < self->feedEnd_) {
        self->taken_ = seq + 1;
        return GST_PAD_PROBE_DROP;  // a feed given up: nothing more of it
    }
    self->words_.deliveryEnable = spec.deliver ? 1 : 0;
    self->words_.groupEnd = spec.groupEnd ? 1 : 0;
    self->words_.eventMark = spec.eventMark;
    self->words_.motionFlag = spec.gridWord;
    self->taken_ = seq + 1;
    if (mark) self->OnFeedMark(*mark);
    return GST_PAD_PROBE_OK;
}

GstBuffer* PexaroPipeline::MakeBuffer(const PictureSpec& spec, std::uint64_t seq) const {
    const QImage picture = NumberedPicture(size_, spec.frame);
    const gsize bytes = static_cast<gsize>(size_.width()) * size_.height() * 4;
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, bytes, nullptr);
    GstMapInfo map;
    gst_buffer_map(buffer, &map, GST_MAP_WRITE);
    for (int y = 0; y < size_.height(); ++y)
        std::memcpy(map.data + static_cast<size_t>(y) * size_.width() * 4, picture.constScanLine(y),
                    static_cast<size_t>(size_.width()) * 4);
    gst_buffer_unmap(buffer, &map);
    if (spec.withMeta) korvid_picture_meta_add(buffer, spec.intra, spec.frame, spec.eventMark, spec.groupEnd);
    GST_BUFFER_OFFSET(buffer) = seq;
    GST_BUFFER_PTS(buffer) = seq * GST_SECOND / 30;
    GST_BUFFER_DURATION(buffer) = GST_SECOND / 30;
    return buffer;
}

std::uint64_t PexaroPipeline::Enqueue(const PictureSpec& spec, std::optional<FeedMark> mark) {
    std::uint64_t seq;
    {
        std::lock_guard<std::mutex> lock(specsLock_);
        seq = pushed_++;
    }
    GstBuffer* buffer = MakeBuffer(spec, seq);
    {
        // Registered after the picture is written: the probe takes this lock
        // before the renderer reads the picture, so the hand-off through
        // appsrc's queue (GLib locks, invisible to ThreadSanitizer) is
        // ordered by a lock it sees. Without it every row read is a race
        // report to suppress, and the reports slow a long run to a stall.
        std::lock_guard<std::mutex> lock(specsLock_);
        specs_[seq] = spec;
        if (mark) marks_[seq] = *mark;
    }
    gst_app_src_push_buffer(GST_APP_SRC(appsrc_), buffer);
    return seq;
}

void PexaroPipeline::Push(const PictureSpec& spec) { Enqueue(spec); }

void PexaroPipeline::Push(const std::vector<PictureSpec>& specs) {
    for (const auto& s : specs) Push(s);
}

namespace {

// A picture the renderer drops unseen (delivery disabled while it is taken
// in); its arrival at the probe shows that everything before it is in.
PictureSpec Marker() {
    PictureSpec marker;
    marker.frame = kFillerBase + 999;
    marker.deliver = false;
    return marker;
}

}  // namespace

bool PexaroPipeline::Drain(milliseconds timeout) {
    const std::uint64_t target = Enqueue(Marker()) + 1;
    const auto deadline = steady_clock::now() + timeout;
    while (taken_.load() < target) {
        if (steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(milliseconds(2));
    }
    return true;
}

void PexaroPipeline::StartFeeding(std::vector<std::vector<PictureSpec>> groups, bool lockstep) {
    {
        std::lock_guard<std::mutex> lock(feedLock_);
        feedActive_ = !groups.empty();
        lockstep_ = lockstep;
        takingIn_ = true;  // the first group goes in without a request
        feedGroups_ = groups.size();
        groupsIn_ = 0;
        feedTimedOut_ = false;
        gateTimedOut_ = false;
    }
    {
        std::lock_guard<std::mutex> lock(specsLock_);
        feedFirst_ = pushed_;
        feedEnd_ = ~std::uint64_t(0);
    }
    for (size_t g = 0; g < groups.size(); ++g) {
        for (const auto& spec : groups[g]) Enqueue(spec);
        // After each group a mark: the group is in, and the next one waits
        // for a request.
        Enqueue(Marker(), FeedMark{g + 1});
    }
    std::lock_guard<std::mutex> lock(specsLock_);
    feedEnd_ = pushed_;
}

void PexaroPipeline::OnFeedMark(const FeedMark& mark) {
    // Streaming thread: the group before the mark is in.
    {
        std::lock_guard<std::mutex> lock(feedLock_);
        groupsIn_ = mark.completes;
        takingIn_ = false;
        if (groupsIn_ >= feedGroups_) feedActive_ = false;
    }
    feedChanged_.notify_all();
    if (mark.completes >= feedGroups_) return;
    // The source goes on only when the renderer asks for the next group.
    const auto deadline = steady_clock::now() + seconds(10);
    while (!stopFeeding_) {
        if (frameRequest_.wait(milliseconds(20))) {
            // Taken under the feeding lock, so the render thread sees either
            // the request or the group on its way, never neither.
            std::lock_guard<std::mutex> lock(feedLock_);
            frameRequest_.reset();
            takingIn_ = true;
            return;
        }
        if (steady_clock::now() > deadline) {
            feedTimedOut_ = true;
            stopFeeding_ = true;
        }
    }
    feedChanged_.notify_all();
}

void PexaroPipeline::GateRenderThread() {
    // Render thread, inside Present.
    std::unique_lock<std::mutex> lock(feedLock_);
    if (!lockstep_) return;
    const auto deadline = steady_clock::now() + seconds(10);
    const auto mayGoOn = [this] {
        return stopFeeding_ || !feedActive_ || (!takingIn_ && !frameRequest_.isSet());
    };
    while (!mayGoOn()) {
        if (steady_clock::now() > deadline) {
            gateTimedOut_ = true;
            return;
        }
        feedChanged_.wait_for(lock, milliseconds(20));
    }
}

bool PexaroPipeline::WaitFeedingDone(milliseconds timeout) {
    std::unique_lock<std::mutex> lock(feedLock_);
    const bool done =
        feedChanged_.wait_for(lock, timeout, [this] { return !feedActive_ || stopFeeding_.load(); });
    return done && !feedActive_ && !feedTimedOut_ && !gateTimedOut_;
}

milliseconds PexaroPipeline::Shutdown() {
    if (shutDown_) return milliseconds(0);
    shutDown_ = true;
    stopFeeding_ = true;
    feedChanged_.notify_all();
    target_.ReleaseForGood();
    if (!pipeline_) return milliseconds(0);
    const auto start = steady_clock::now();
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    return duration_cast<milliseconds>(steady_clock::now() - start);
}

bool PexaroPipeline::HadError() {
    if (!pipeline_) return true;
    GstBus* bus = gst_element_get_bus(pipeline_);
    GstMessage* msg = gst_bus_pop_filtered(bus, GST_MESSAGE_ERROR);
    gst_object_unref(bus);
    if (!msg) return false;
    gst_message_unref(msg);
    return true;
}

}  // namespace pexarotest
