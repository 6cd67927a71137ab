#include "hexmoorfilter.h"

#include "h264paramsets.h"

#include <new>

namespace hexmoor {

using korvid::kHexmoorOutOfMemory;

CHexmoorFilter::CHexmoorFilter(GstElement* element, GstPad* videoPad, GstPad* audioPad)
    : element_(element), videoPad_(videoPad), audioPad_(audioPad) {}

CHexmoorFilter::~CHexmoorFilter() {
    stopping_ = true;
    if (CPlayEngine* e = engine()) {
        e->wakeAll();
        e->stopReader();
    }
    videoPin_.reset();
    audioPin_.reset();
}

std::int32_t CHexmoorFilter::CreateStreams(std::int16_t kind) {
    std::lock_guard<std::mutex> lock(createMutex_);
    if (!engine()) {
        try {
            auto engine = std::make_unique<CPlayEngine>();
            if (!engine->init()) return kHexmoorOutOfMemory;
            videoPin_ = std::make_unique<CHexmoorVideoPin>(element_, videoPad_, *engine, stopping_);
            audioPin_ = std::make_unique<CHexmoorAudioPin>(element_, audioPad_, *engine, stopping_);
            engineOwner_ = std::move(engine);
        } catch (const std::bad_alloc&) {
            videoPin_.reset();
            audioPin_.reset();
            return kHexmoorOutOfMemory;
        }
        engine_ = engineOwner_.get();
    }
    engine()->opt.kind = kind;
    videoPin_->setFamily(qmr3::familyForKind(std::uint16_t(kind)));
    return 0;
}

std::int32_t CHexmoorFilter::SetVideoInfo(std::uint8_t frameRate, std::int16_t width, std::int16_t height,
                                          std::uint8_t gopMode) {
    CPlayEngine* e = engine();
    if (!e || width <= 0 || height <= 0) return -1;
    e->setVideoInfo(frameRate, width, height, gopMode != 0);
    return 0;
}

std::int32_t CHexmoorFilter::GetWaitTimeout(std::int32_t* ms) {
    CPlayEngine* e = engine();
    if (ms) *ms = e ? e->opt.waitTimeoutMs.load() : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::SetWaitTimeout(std::int32_t ms) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.waitTimeoutMs = std::max(1, ms);  // a zero wait would spin
    return 0;
}

std::int32_t CHexmoorFilter::GetAudioWaitTimeout(std::int32_t* ms) {
    CPlayEngine* e = engine();
    if (ms) *ms = e ? e->opt.audioWaitTimeoutMs.load() : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::SetAudioWaitTimeout(std::int32_t ms) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.audioWaitTimeoutMs = std::max(1, ms);
    return 0;
}

std::int32_t CHexmoorFilter::SetStreamOption(std::int32_t value) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.streamOption = value;
    return 0;
}

std::int32_t CHexmoorFilter::SetNoPacing(std::int32_t on) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.noPacing = on != 0;
    return 0;
}

std::int32_t CHexmoorFilter::GetVideoQueueCount(std::int32_t* count) {
    CPlayEngine* e = engine();
    if (count) *count = e ? e->videoQueue().count() : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::GetAudioQueueCount(std::int32_t* count) {
    CPlayEngine* e = engine();
    if (count) *count = e ? e->audioQueue().count() : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::FlushQueues() {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->videoQueue().clear();
    e->audioQueue().clear();
    return 0;
}

std::int32_t CHexmoorFilter::SetMediaStopEvent(korvid::Event* event) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.mediaStopEvent = event;
    return 0;
}

std::int32_t CHexmoorFilter::SetAudioType(std::uint8_t kind) {
    if (!audioPin_ || !engine()) return -1;
    if (kind == 0 || kind == 1) audioPin_->setKind(kind);
    return 0;
}

std::int32_t CHexmoorFilter::OpenFile(const char* path) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    return e->openFile(path);
}

std::int32_t CHexmoorFilter::SetOptionWord2(std::int32_t value) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.optionWord2 = value;
    return 0;
}

std::int32_t CHexmoorFilter::SetParsingDelivery(std::int32_t on) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.parsingDelivery = on != 0;
    return 0;
}

std::int32_t CHexmoorFilter::SetMotionMapTarget(korvid::SharedWord* motionFlag, korvid::SharedByte* map) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.motionMap = map;
    e->opt.motionFlag = motionFlag;
    return 0;
}

std::int32_t CHexmoorFilter::ClearMotionMapTarget() {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.motionFlag = nullptr;
    e->opt.motionMap = nullptr;
    return 0;
}

std::int32_t CHexmoorFilter::EnableMotionMap() {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.motionMapOn = true;
    return 0;
}

std::int32_t CHexmoorFilter::DisableMotionMap() {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.motionMapOn = false;
    return 0;
}

std::int32_t CHexmoorFilter::SetEventMarkTarget(korvid::SharedByte* mark) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.eventMark = mark;
    return 0;
}

std::int32_t CHexmoorFilter::SetPlayMode(std::uint8_t mode) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    korvid::SharedWord* rateWord = e->opt.skipRate;
    const std::int32_t rate = rateWord ? rateWord->load() : 1;
    if (mode > korvid::kPreviousPicture) {
        lastRate_ = rate;
        return 0;
    }
    CPacketQueue& audio = e->audioQueue();
    if (mode == korvid::kPlay && mode_ != korvid::kPlay) {
        // Sound read before the change is stale.
        audio.dropHead();
        audio.clear();
    }
    if (mode == korvid::kFastForward || mode == korvid::kRewind) e->opt.fourTimes = rate == 4;
    e->requestMode(mode, rate);
    if (mode == korvid::kStop) e->resumeReading();
    // The audio queue's data event is the audio-ready event: set, the audio pad looks again.
    if (mode == korvid::kPlay || mode == korvid::kStop) audio.dataEvent().set();
    else audio.dataEvent().reset();
    previousMode_ = mode_;
    mode_ = mode;
    lastRate_ = rate;
    return 0;
}

std::int32_t CHexmoorFilter::SetOptionWord4(korvid::SharedWord* deliveryEnable) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.deliveryEnable = deliveryEnable;
    return 0;
}

std::int32_t CHexmoorFilter::SetSkipRateSource(korvid::SharedWord* skipRate) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.skipRate = skipRate;
    return 0;
}

std::int32_t CHexmoorFilter::SetStartPos(std::int32_t gop) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->setStartPos(gop);
    return 0;
}

std::int32_t CHexmoorFilter::SetGroupEndTarget(korvid::SharedByte* groupEnd) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.groupEnd = groupEnd;
    return 0;
}

std::int32_t CHexmoorFilter::ResumeReading() {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->resumeReading();
    return 0;
}

std::int32_t CHexmoorFilter::SetPictureIndexSource(korvid::SharedWord* pictureIndex) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.pictureIndex = pictureIndex;
    return 0;
}

std::int32_t CHexmoorFilter::GetCurrTime(std::uint16_t* year, std::uint16_t* month, std::uint16_t* day,
                                         std::uint16_t* hour, std::uint16_t* minute, std::uint16_t* second) {
    auto put = [](std::uint16_t* p, int v) {
        if (p) *p = std::uint16_t(v);
    };
    CPlayEngine* e = engine();
    if (!e) {
        for (auto* p : {year, month, day, hour, minute, second}) put(p, 0);
        return 1;
    }
    const auto b = e->state.timeStampBytes();
    const qmr3::Qmr3TimeStamp t = qmr3::Qmr3TimeStamp::parse(b.data());
    int y = t.fullYear();
    if (y < 1970 || y > 2030) y = 2008;
    put(year, y);
    put(month, (t.month == 0 || t.month > 12) ? 1 : t.month);
    put(day, (t.day == 0 || t.day > 31) ? 1 : t.day);
    put(hour, t.hour);
    put(minute, t.minute);
    put(second, t.second);
    return 0;
}

std::int32_t CHexmoorFilter::SetOptionWord6(std::int32_t a, std::int16_t b) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.optionWord6a = a;
    e->opt.optionWord6b = b;
    return 0;
}

std::int32_t CHexmoorFilter::SetOptionWord5(std::int16_t value) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.optionWord5 = value;
    return 0;
}

std::int32_t CHexmoorFilter::SetPacketHeaderMagicCode(std::uint8_t code1, std::uint8_t code2,
                                                      std::uint8_t code3) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->setMagic(code1, code2, code3);
    return 0;
}

std::int32_t CHexmoorFilter::SetOptionWord7(std::int16_t value) {
    temporary_ = value;
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.optionWord7 = value;
    return 0;
}

std::int32_t CHexmoorFilter::EnableFrameIndex() {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.frameIndexOn = true;
    return 0;
}

std::int32_t CHexmoorFilter::SetHighSpeed(std::int32_t rate, std::int32_t system) {
    CPlayEngine* e = engine();
    if (!e || !videoPin_) return -1;
    if (system != 0 && system != 1) return 0;
    switch (rate) {
    case 25:
    case 30:
    case 50:
    case 60:
    case 125:
    case 150:
    case 250:
    case 300: break;
    default: return 0;
    }
    const std::int32_t base = system == 0 ? 30 : 25;
    e->opt.highSpeedFactor = 1000 * rate / base;
    e->opt.highSpeed = true;
    videoPin_->setHighSpeed(true);
    return 0;
}

std::int32_t CHexmoorFilter::Get3DimensionValue(std::int32_t* x, std::int32_t* y, std::int32_t* z) {
    CPlayEngine* e = engine();
    std::int32_t* out[3] = {x, y, z};
    for (int i = 0; i < 3; ++i)
        if (out[i]) *out[i] = e ? e->state.axis[i].load() : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::GetGpsInformation(std::uint16_t latitude[4], std::uint16_t longitude[4]) {
    CPlayEngine* e = engine();
    const std::array<std::uint16_t, 4> zero{};
    const auto lat = e ? e->state.latitude() : zero;
    const auto lon = e ? e->state.longitude() : zero;
    for (int i = 0; i < 4; ++i) {
        if (latitude) latitude[i] = lat[std::size_t(i)];
        if (longitude) longitude[i] = lon[std::size_t(i)];
    }
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::GetSpeedInformation(std::int32_t* speed) {
    CPlayEngine* e = engine();
    if (speed) *speed = e ? e->state.speedValue.load() : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::GetFrameIndex(std::int32_t* frameIndex) {
    CPlayEngine* e = engine();
    if (frameIndex) *frameIndex = (e && e->opt.frameIndexOn) ? std::int32_t(e->state.frameIndex.load()) : 0;
    return e ? 0 : 1;
}

std::int32_t CHexmoorFilter::SetKindOfFile(std::int16_t kind) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.fileKind = kind;
    return 0;
}

std::int32_t CHexmoorFilter::SetFirstFrameEvent(korvid::Event* event) {
    CPlayEngine* e = engine();
    if (!e) return -1;
    e->opt.firstFrameEvent = event;
    return 0;
}

// ------------------------------------------------------------ element side

bool CHexmoorFilter::configureFromFile(const char* location, std::string& error) {
    if (CreateStreams(0x40) != 0) {
        error = "out of memory";
        return false;
    }
    if (OpenFile(location) != 0) {
        error = std::string("cannot open ") + location;
        return false;
    }
    qmr3::Qmr3FileHeader h;
    if (!engine()->readFileHeader(h)) {
        error = std::string(location) + " is no recording: the file header cannot be read";
        return false;
    }
    // The viewer's choices: parameter-set family from the product id, rate from its table.
    const std::uint8_t selector = h.productId & 3;
    const std::int16_t kind = selector == 0 ? 0x40 : selector == 1 ? 0x41 : std::int16_t(h.headerOption);
    CreateStreams(kind);
    const std::uint32_t w = h.width & 0xFFFF, ht = h.height & 0xFFFF;
    if (w == 0 || ht == 0 || w > 0x7FFF || ht > 0x7FFF) {
        error =
            "the recording's picture size " + std::to_string(w) + "x" + std::to_string(ht) + " is not usable";
        return false;
    }
    SetVideoInfo(std::uint8_t(frameRateForHeader(h.frameRate, h.videoType)), std::int16_t(w),
                 std::int16_t(ht), h.gopMode);
    SetAudioType(h.audioKind == qmr3::kAudioKindAdpcm ? 1 : 0);
    return true;
}

void CHexmoorFilter::openIfNoFile(const char* path) {
    if (CPlayEngine* e = engine(); e && !e->fileOpen()) e->openFile(path);
}

bool CHexmoorFilter::readyToStart(std::string& error) const {
    CPlayEngine* e = engine();
    if (!e) {
        error = "no streams: set location or call CreateStreams";
        return false;
    }
    if (!e->fileOpen()) {
        error = "no recording is open";
        return false;
    }
    if (!e->videoFormat().set) {
        error = "no video format: SetVideoInfo was not called";
        return false;
    }
    return true;
}

void CHexmoorFilter::setStopping(bool on) {
    stopping_ = on;
    if (on) {
        if (CPlayEngine* e = engine()) e->wakeAll();
    } else {
        groupId_ = gst_util_group_id_next();
    }
}

bool CHexmoorFilter::activateVideo(bool active) {
    CPlayEngine* e = engine();
    if (!e || !videoPin_) return !active;
    if (active) {
        // Without a group-end byte to hand over there is nobody to answer group
        // ends: the recording is then read forward once.
        const bool handshake = e->opt.groupEnd.load() != nullptr;
        if (!e->startReader(handshake)) return false;
        return videoPin_->start(groupId_);
    }
    stopping_ = true;
    videoPin_->stop();
    e->stopReader();
    return true;
}

bool CHexmoorFilter::activateAudio(bool active) {
    if (!engine() || !audioPin_) return !active;
    if (active) return audioPin_->start(groupId_);
    stopping_ = true;
    audioPin_->stop();
    return true;
}

void CHexmoorFilter::pipelineRunning() {
    if (videoPin_) videoPin_->restartPacing();
}

GstCaps* CHexmoorFilter::padCaps(GstPad* pad) const {
    if (pad == videoPad_ && videoPin_) return videoPin_->currentCaps();
    if (pad == audioPad_ && audioPin_) return audioPin_->currentCaps();
    return nullptr;
}

}  // namespace hexmoor
