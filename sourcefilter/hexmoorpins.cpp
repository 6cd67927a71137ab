#include "hexmoorpins.h"

#include "picturemeta.h"

#include <algorithm>
#include <cstring>
#include <thread>

#define GST_CAT_DEFAULT hexmoor_debug

namespace hexmoor {

using namespace std::chrono;

namespace {

// The 32 extra wave-format bytes of the recorder's ADPCM: samples per block,
// coefficient count and the seven coefficient pairs.
const std::int16_t kAdpcmExtra[16] = {500, 7, 256, 0, 512, -256, 0, 0, 192, 64, 240, 0, 460, -208, 392, -232};

}  // namespace

GstCaps* videoCapsFor(const VideoFormat& f) {
    if (!f.set || f.width <= 0 || f.height <= 0) return nullptr;
    int num = f.fps, den = 1;
    if (f.fps > 0 && 30 % f.fps == 0) {
        num = 30000;
        den = 1001 * (30 / f.fps);
    }
    return gst_caps_new_simple("video/x-h264", "stream-format", G_TYPE_STRING, "byte-stream", "alignment",
                               G_TYPE_STRING, "au", "width", G_TYPE_INT, f.width, "height", G_TYPE_INT,
                               f.height, "framerate", GST_TYPE_FRACTION, num, den, nullptr);
}

GstCaps* audioCapsFor(std::uint8_t kind) {
    if (kind == 1) {
        std::uint8_t extra[32];
        for (int i = 0; i < 16; ++i) {
            extra[2 * i] = std::uint8_t(std::uint16_t(kAdpcmExtra[i]) & 0xFF);
            extra[2 * i + 1] = std::uint8_t(std::uint16_t(kAdpcmExtra[i]) >> 8);
        }
        GstBuffer* codecData = gst_buffer_new_memdup(extra, sizeof extra);
        GstCaps* caps = gst_caps_new_simple(
            "audio/x-adpcm", "layout", G_TYPE_STRING, "microsoft", "rate", G_TYPE_INT, 8000, "channels",
            G_TYPE_INT, 2, "block_align", G_TYPE_INT, 512, "codec_data", GST_TYPE_BUFFER, codecData, nullptr);
        gst_buffer_unref(codecData);
        return caps;
    }
    return gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "U8", "layout", G_TYPE_STRING,
                               "interleaved", "rate", G_TYPE_INT, 8000, "channels", G_TYPE_INT, 1, nullptr);
}

// ------------------------------------------------------------------ common

CHexmoorPin::CHexmoorPin(GstElement* element, GstPad* pad, CPlayEngine& engine,
                         const std::atomic<bool>& stopping)
    : element_(element), pad_(pad), engine_(engine), stopping_(stopping) {}

bool CHexmoorPin::start(unsigned groupId) {
    groupId_ = groupId;
    eventsSent_ = false;
    finished_ = false;
    reset();
    return gst_pad_start_task(pad_, taskThunk, this, nullptr);
}

void CHexmoorPin::stop() {
    engine_.wakeAll();
    gst_pad_stop_task(pad_);
}

bool CHexmoorPin::pushStartEvents(const char* streamName) {
    gchar* id = gst_pad_create_stream_id(pad_, element_, streamName);
    GstEvent* ev = gst_event_new_stream_start(id);
    g_free(id);
    gst_event_set_group_id(ev, groupId_);
    gst_pad_push_event(pad_, ev);
    GstCaps* caps = currentCaps();
    if (!caps) {
        GST_ELEMENT_ERROR(element_, CORE, NEGOTIATION, ("No %s format was set.", streamName),
                          ("SetVideoInfo must be called before playback starts"));
        return false;
    }
    gst_pad_push_event(pad_, gst_event_new_caps(caps));
    gst_caps_unref(caps);
    GstSegment segment;
    gst_segment_init(&segment, GST_FORMAT_TIME);
    gst_pad_push_event(pad_, gst_event_new_segment(&segment));
    eventsSent_ = true;
    return true;
}

void CHexmoorPin::pushEos() {
    if (!finished_) gst_pad_push_event(pad_, gst_event_new_eos());
    finished_ = true;
}

bool CHexmoorPin::stopRequested() const {
    return engine_.opt.requestedMode == korvid::kStop || engine_.opt.currentMode == korvid::kStop;
}

bool CHexmoorPin::waitEvent(korvid::Event& ev, int ms) {
    const auto deadline = steady_clock::now() + milliseconds(std::max(1, ms));
    for (;;) {
        if (shuttingDown() || stopRequested()) return false;
        const auto now = steady_clock::now();
        if (now >= deadline) return false;
        const auto slice = std::min<steady_clock::duration>(deadline - now, milliseconds(50));
        if (ev.wait(duration_cast<milliseconds>(slice) + milliseconds(1))) return true;
    }
}

void CHexmoorPin::sleepFor(nanoseconds d) {
    const auto deadline = steady_clock::now() + d;
    while (!shuttingDown() && !stopRequested()) {
        const auto now = steady_clock::now();
        if (now >= deadline) return;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(deadline - now, milliseconds(20)));
    }
}

GstBuffer* CHexmoorPin::makeBuffer(GstBufferPool*& pool, std::size_t poolSize, const std::uint8_t* data,
                                   std::uint32_t length) {
    GstBuffer* buffer = nullptr;
    if (!pool && poolSize > 0) {
        pool = gst_buffer_pool_new();
        GstStructure* config = gst_buffer_pool_get_config(pool);
        gst_buffer_pool_config_set_params(config, nullptr, guint(poolSize), 3, 0);
        if (!gst_buffer_pool_set_config(pool, config) || !gst_buffer_pool_set_active(pool, TRUE)) {
            gst_object_unref(pool);
            pool = nullptr;
        }
    }
    if (pool && length <= poolSize && gst_buffer_pool_acquire_buffer(pool, &buffer, nullptr) == GST_FLOW_OK) {
        gst_buffer_set_size(buffer, length);
    } else {
        buffer = gst_buffer_new_allocate(nullptr, length, nullptr);
    }
    if (buffer && length) gst_buffer_fill(buffer, 0, data, length);
    return buffer;
}

void CHexmoorPin::freePool(GstBufferPool*& pool) {
    if (!pool) return;
    gst_buffer_pool_set_active(pool, FALSE);
    gst_object_unref(pool);
    pool = nullptr;
}

// ------------------------------------------------------------------- video

CHexmoorVideoPin::CHexmoorVideoPin(GstElement* element, GstPad* pad, CPlayEngine& engine,
                                   const std::atomic<bool>& stopping)
    : CHexmoorPin(element, pad, engine, stopping) {}

CHexmoorVideoPin::~CHexmoorVideoPin() { freePool(pool_); }

GstCaps* CHexmoorVideoPin::currentCaps() const { return videoCapsFor(engine_.videoFormat()); }

void CHexmoorVideoPin::reset() {
    parameterSetsSent_ = false;
    firstPicture_ = true;
    nextPts_ = 0;
    frameCounter_ = 0;
    restartPacing_ = true;
    burst_ = false;
    emptyWaits_ = 0;
    const VideoFormat f = engine_.videoFormat();
    frameDuration_ = f.frameDuration;
    const std::size_t size = std::size_t(std::max(0, f.width)) * std::size_t(std::max(0, f.height)) * 3;
    if (size != poolSize_) freePool(pool_);
    poolSize_ = std::max<std::size_t>(size, 65536);
}

bool CHexmoorVideoPin::pushParameterSets() {
    parameterSetsSent_ = true;
    const VideoFormat f = engine_.videoFormat();
    auto sets = qmr3::parameterSetsFor(family_, f.width, f.height);
    if (!sets) {
        GST_ELEMENT_WARNING(element_, STREAM, FORMAT,
                            ("No H.264 parameter sets for %dx%d pictures.", f.width, f.height),
                            ("the decoder gets the pictures without them"));
        return true;
    }
    GstBuffer* buffer = gst_buffer_new_memdup(sets->data(), sets->size());
    GST_BUFFER_PTS(buffer) = 0;
    GST_BUFFER_DTS(buffer) = 0;
    GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    korvid_picture_meta_add(buffer, TRUE, 0, 0, FALSE);
    const GstFlowReturn ret = gst_pad_push(pad_, buffer);
    if (ret != GST_FLOW_OK) {
        handleFlow(ret);
        return false;
    }
    return true;
}

void CHexmoorVideoPin::pace() {
    const auto now = steady_clock::now();
    if (restartPacing_.exchange(false)) {
        frameCounter_ = 0;
        firstFrameTick_ = now;
    }
    const auto target = firstFrameTick_ + nanoseconds(std::int64_t(frameCounter_) * frameDuration_ * 100);
    ++frameCounter_;
    if (now < target) sleepFor(target - now);
}

void CHexmoorVideoPin::loop() {
    if (finished_) {
        gst_pad_pause_task(pad_);
        return;
    }
    if (!eventsSent_ && !pushStartEvents("video")) {
        endOfMedia();
        return;
    }
    if (stopRequested()) {
        // Stop is honoured at once; it is no end of media.
        pushEos();
        gst_pad_pause_task(pad_);
        return;
    }
    CPacketQueue& queue = engine_.videoQueue();
    queue.dataEvent().reset();
    EntryInfo info;
    GstBuffer* buffer = nullptr;
    const bool got = queue.take([&](const EntryInfo& i, const std::uint8_t* data, std::uint32_t length) {
        info = i;
        buffer = makeBuffer(pool_, poolSize_, data, length);
    });
    if (!got) {
        if (engine_.opt.endOfFile && queue.count() == 0) {
            endOfMedia();
            return;
        }
        const int timeout = engine_.opt.waitTimeoutMs;
        if (!waitEvent(queue.dataEvent(), timeout) && !shuttingDown() && ++emptyWaits_ >= 300 &&
            !engine_.readerRunning() && !engine_.opt.endOfFile) {
            GST_ELEMENT_ERROR(element_, STREAM, FAILED, ("No pictures arrive from the recording."),
                              ("the reader stopped without reaching the end"));
            endOfMedia();
        }
        return;
    }
    emptyWaits_ = 0;
    engine_.videoTaken();
    if (!buffer) return;
    // The parameter sets go first, just before the first picture: without
    // pictures the decoder gets nothing at all.
    if (!parameterSetsSent_ && !pushParameterSets()) {
        gst_buffer_unref(buffer);
        return;
    }
    deliver(buffer, info);
}

void CHexmoorVideoPin::deliver(GstBuffer* buffer, const EntryInfo& info) {
    GST_BUFFER_PTS(buffer) = nextPts_;
    GST_BUFFER_DTS(buffer) = nextPts_;
    GST_BUFFER_DURATION(buffer) = GstClockTime(frameDuration_) * 100;
    nextPts_ += GstClockTime(frameDuration_) * 100;
    if (!info.intra) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DELTA_UNIT);
    if (firstPicture_) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    firstPicture_ = false;
    korvid_picture_meta_add(buffer, info.intra, info.frameIndex, info.flags, info.mark == GroupMark::Mark);

    // The first group after a start or a jump goes out as fast as it is
    // taken: the renderer shows nothing before it has a whole group, and
    // paces the pictures itself. Pacing counts from the next group on, which
    // then arrives while this one is on screen.
    if (info.burst) burst_ = true;
    // A single step shows one picture per command: the group it needs is
    // wanted at once, not at the recording's rate.
    const std::uint8_t mode = engine_.opt.currentMode;
    const bool stepping = mode == korvid::kNextPicture || mode == korvid::kPreviousPicture;
    // Before the pipeline runs the sinks hold the pictures anyway (preroll).
    // A group sent to be read backwards is shown only once it is all in and
    // the renderer paces its pictures itself: pacing it here would only
    // make the renderer wait for it at every group. After pictures sent
    // unpaced, pacing counts afresh from the next paced one.
    const bool unpaced = burst_ || stepping || engine_.sendsGroupsForReverseReading();
    if (!engine_.opt.noPacing && !info.repeat && GST_STATE(element_) == GST_STATE_PLAYING) {
        if (unpaced) restartPacing_ = true;
        else pace();
    }
    if (burst_ && info.mark == GroupMark::Mark) burst_ = false;

    // The viewer's words describe the picture in flight: set just before the push,
    // the renderer reads them as it takes this picture.
    korvid::SharedByte* groupEnd = engine_.opt.groupEnd;
    const bool markEnd = info.mark == GroupMark::Mark && engine_.handshake() && groupEnd;
    if (markEnd) {
        engine_.beginGroupEnd();
        groupEnd->store(1);
    }
    engine_.applyPictureFacts(info);
    GST_LOG_OBJECT(pad_, "picture %u intra %d mark %d repeat %d", info.frameIndex, info.intra, int(info.mark),
                   info.repeat);
    const GstFlowReturn ret = gst_pad_push(pad_, buffer);
    if (ret != GST_FLOW_OK) {
        GST_DEBUG_OBJECT(pad_, "push: %s", gst_flow_get_name(ret));
        if (markEnd) engine_.cancelGroupEnd();
        handleFlow(ret);
        return;
    }
    if (!markEnd) return;
    const bool wait =
        engine_.opt.requestedMode != korvid::kStop && (groupEnd->load() == 1 || engine_.opt.forcedWait);
    if (!wait) {
        engine_.cancelGroupEnd();
        return;
    }
    GST_DEBUG_OBJECT(pad_, "group end at picture %u: waiting", info.frameIndex);
    engine_.opt.waiting = true;
    const bool released = engine_.waitGroupEnd([this] { return shuttingDown(); });
    engine_.opt.waiting = false;
    if (!released) return;
    engine_.opt.resumeMarker = true;
    engine_.latchRequest();
}

void CHexmoorVideoPin::endOfMedia() {
    if (finished_) return;
    GST_DEBUG_OBJECT(pad_, "end of media (%d)", int(engine_.readEnd()));
    switch (engine_.readEnd()) {
    case ReadEnd::Corrupt:
        GST_ELEMENT_ERROR(element_, STREAM, DECODE, ("The recording is damaged."),
                          ("%s", engine_.readEndText().c_str()));
        break;
    case ReadEnd::NoRecording:
        GST_ELEMENT_ERROR(element_, STREAM, WRONG_TYPE, ("The file is not a recording."),
                          ("%s", engine_.readEndText().c_str()));
        break;
    case ReadEnd::IoError:
        GST_ELEMENT_ERROR(element_, RESOURCE, READ, ("The recording cannot be read."),
                          ("%s", engine_.readEndText().c_str()));
        break;
    default: break;
    }
    // The viewer hears of the end first: pushing the end downstream may wait for it.
    engine_.clearSharedState();
    if (korvid::Event* ev = engine_.opt.mediaStopEvent) ev->set();
    pushEos();
    gst_pad_pause_task(pad_);
}

void CHexmoorVideoPin::handleFlow(GstFlowReturn ret) {
    if (ret == GST_FLOW_FLUSHING || shuttingDown()) {
        gst_pad_pause_task(pad_);
        return;
    }
    if (ret != GST_FLOW_EOS) GST_ELEMENT_FLOW_ERROR(element_, ret);
    endOfMedia();
}

// ------------------------------------------------------------------- audio

CHexmoorAudioPin::CHexmoorAudioPin(GstElement* element, GstPad* pad, CPlayEngine& engine,
                                   const std::atomic<bool>& stopping)
    : CHexmoorPin(element, pad, engine, stopping) {}

CHexmoorAudioPin::~CHexmoorAudioPin() { freePool(pool_); }

GstCaps* CHexmoorAudioPin::currentCaps() const { return audioCapsFor(kind_); }

void CHexmoorAudioPin::reset() {
    firstFrameWaited_ = false;
    discont_ = true;
    discard_ = false;
    wasHeld_ = false;
    nextPts_ = 0;
    samples_ = 0;
    havePushed_ = false;
}

void CHexmoorAudioPin::pushGap() {
    if (shuttingDown() || discard_) return;
    gst_pad_push_event(pad_, gst_event_new_gap(nextPts_, 0));
}

bool CHexmoorAudioPin::held() const {
    if (!engine_.handshake()) return false;
    return engine_.opt.requestedMode != korvid::kPlay || engine_.opt.currentMode != korvid::kPlay;
}

void CHexmoorAudioPin::loop() {
    if (finished_) {
        gst_pad_pause_task(pad_);
        return;
    }
    if (!eventsSent_) {
        if (!pushStartEvents("audio")) {
            pushEos();
            gst_pad_pause_task(pad_);
            return;
        }
        // Sound may come late or never: a gap lets the sound sink preroll meanwhile.
        pushGap();
    }
    if (stopRequested()) {
        pushEos();
        gst_pad_pause_task(pad_);
        return;
    }
    CPacketQueue& queue = engine_.audioQueue();
    if (!firstFrameWaited_) {
        // Sound starts with the first picture on screen.
        firstFrameWaited_ = true;
        if (korvid::Event* first = engine_.opt.firstFrameEvent) waitEvent(*first, 10000);
        return;
    }
    if (held()) {
        wasHeld_ = true;
        queue.dataEvent().reset();
        if (!waitEvent(queue.dataEvent(), engine_.opt.audioWaitTimeoutMs)) pushGap();
        return;
    }
    bool resumed = false;
    if (wasHeld_) {
        wasHeld_ = false;
        discont_ = true;
        resumed = true;
    }
    queue.dataEvent().reset();
    GstBuffer* buffer = nullptr;
    const bool got = queue.take([&](const EntryInfo&, const std::uint8_t* data, std::uint32_t length) {
        buffer = makeBuffer(pool_, 4096, data, length);
    });
    if (!got) {
        if (engine_.opt.endOfFile && queue.count() == 0) {
            pushEos();
            gst_pad_pause_task(pad_);
            return;
        }
        if (!waitEvent(queue.dataEvent(), engine_.opt.audioWaitTimeoutMs)) pushGap();
        return;
    }
    if (!buffer) return;
    if (discard_) {
        gst_buffer_unref(buffer);
        return;
    }
    if (resumed && GST_STATE(element_) == GST_STATE_PLAYING) {
        // After a hold the sound goes on at the pipeline's present time, not where it stopped.
        const GstClockTime now = gst_element_get_current_running_time(element_);
        if (GST_CLOCK_TIME_IS_VALID(now) && now > nextPts_) nextPts_ = now;
    }
    GST_BUFFER_PTS(buffer) = nextPts_;
    GST_BUFFER_DTS(buffer) = nextPts_;
    GST_BUFFER_DURATION(buffer) = kPacketDuration;
    GST_BUFFER_OFFSET(buffer) = samples_;
    GST_BUFFER_OFFSET_END(buffer) = samples_ + 1000;
    if (discont_) GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
    discont_ = false;
    nextPts_ += kPacketDuration;
    samples_ += 1000;

    if (havePushed_) {
        const auto since = steady_clock::now() - lastPush_;
        if (since < milliseconds(60)) sleepFor((milliseconds(60) - since) / 2);
    }
    const GstFlowReturn ret = gst_pad_push(pad_, buffer);
    lastPush_ = steady_clock::now();
    havePushed_ = true;
    if (ret == GST_FLOW_OK) return;
    if (ret == GST_FLOW_FLUSHING || shuttingDown()) {
        gst_pad_pause_task(pad_);
        return;
    }
    // No sound path, or it gave up: the queue is still drained so the reader never stalls.
    if (ret != GST_FLOW_NOT_LINKED && ret != GST_FLOW_EOS)
        GST_ELEMENT_WARNING(element_, STREAM, FAILED, ("Sound cannot be played."),
                            ("flow %s", gst_flow_get_name(ret)));
    discard_ = true;
}

}  // namespace hexmoor
