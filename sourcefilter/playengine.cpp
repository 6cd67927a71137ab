#include "playengine.h"

#include "pictures.h"
#include "ratetable.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

namespace hexmoor {

using korvid::kFastForward;
using korvid::kPlay;
using korvid::kPreviousPicture;
using korvid::kRewind;
using korvid::kStop;
using Status = CPacketReader::Status;

namespace {

std::uint64_t pack8(const std::uint8_t* b) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | b[i];
    return v;
}

std::uint64_t pack4x16(const std::uint16_t* w) {
    return std::uint64_t(w[0]) | (std::uint64_t(w[1]) << 16) | (std::uint64_t(w[2]) << 32) |
           (std::uint64_t(w[3]) << 48);
}

bool isBackward(std::uint8_t mode) { return mode == kRewind || mode == kPreviousPicture; }

}  // namespace

std::int64_t frameDurationFor(int fps) {
    if (fps <= 0) fps = 30;
    if (30 % fps == 0) return std::int64_t(30 / fps) * 333667;
    return 10000000 / fps;
}

int frameRateForHeader(std::uint32_t rateIndex, std::uint8_t videoType) {
    if (rateIndex >= 0x7fffffff) return 30;
    const auto entry = korvid::LookupRateNumber(int(rateIndex) + 1, videoType);
    return entry ? entry->picturesPerSecond : 30;
}

std::array<std::uint8_t, 8> SharedState::timeStampBytes() const {
    std::array<std::uint8_t, 8> b{};
    std::uint64_t v = timeStamp.load();
    for (auto& x : b) {
        x = std::uint8_t(v);
        v >>= 8;
    }
    return b;
}

std::array<std::uint16_t, 4> SharedState::latitude() const {
    const std::uint64_t v = gpsLatitude.load();
    return {std::uint16_t(v), std::uint16_t(v >> 16), std::uint16_t(v >> 32), std::uint16_t(v >> 48)};
}

std::array<std::uint16_t, 4> SharedState::longitude() const {
    const std::uint64_t v = gpsLongitude.load();
    return {std::uint16_t(v), std::uint16_t(v >> 16), std::uint16_t(v >> 32), std::uint16_t(v >> 48)};
}

CPlayEngine::CPlayEngine() : file_(qmr3::kMaxPayload) {}

CPlayEngine::~CPlayEngine() {
    stopReader();
    wakeAll();
}

bool CPlayEngine::init() {
    if (!video_.init() || !audio_.init() || !parser_.init()) return false;
    held_.reset(new (std::nothrow) std::uint8_t[qmr3::kMaxPayload]);
    group_.reset(new (std::nothrow) std::uint8_t[qmr3::kMaxPayload]);
    stored_.reset(new (std::nothrow) std::uint8_t[qmr3::kMaxPayload]);
    starts_.reset(new (std::nothrow) std::size_t[kMaxPictures]);
    return held_ && group_ && stored_ && starts_;
}

int CPlayEngine::openFile(const char* path) {
    std::lock_guard<std::mutex> lock(engineMutex_);
    if (running_) return -1;
    if (thread_.joinable()) thread_.join();
    std::lock_guard<std::mutex> fl(fileMutex_);
    file_.close();
    path_.clear();
    noMapCount_ = 0;
    if (!path || !file_.open(path)) return -1;
    path_ = path;
    return 0;
}

std::string CPlayEngine::path() const {
    std::lock_guard<std::mutex> fl(fileMutex_);
    return path_;
}

bool CPlayEngine::readFileHeader(qmr3::Qmr3FileHeader& out) const {
    std::lock_guard<std::mutex> fl(fileMutex_);
    return file_.isOpen() && file_.readFileHeader(out);
}

void CPlayEngine::setVideoInfo(int frameRate, int width, int height, bool gopMode) {
    std::lock_guard<std::mutex> lock(formatMutex_);
    if (frameRate <= 0 || frameRate > 30) frameRate = 30;
    format_.set = true;
    format_.fps = frameRate;
    format_.width = width;
    format_.height = height;
    format_.gopMode = gopMode;
    format_.frameDuration = frameDurationFor(frameRate);
}

VideoFormat CPlayEngine::videoFormat() const {
    std::lock_guard<std::mutex> lock(formatMutex_);
    return format_;
}

void CPlayEngine::setStartPos(std::int32_t gop) {
    audio_.dropHead();
    audio_.renew();
    startGop_ = std::max<std::int32_t>(0, gop);
    jumpPending_ = true;
    poke();
}

void CPlayEngine::setMagic(std::uint8_t code1, std::uint8_t code2, std::uint8_t code3) {
    // Only between runs: the parser belongs to the reader thread while it runs.
    std::lock_guard<std::mutex> lock(engineMutex_);
    if (!running_) parser_.setMagic(code1, code2, code3);
    pendingMagic_ = {code1, code2, code3};
}

void CPlayEngine::requestMode(std::uint8_t mode, std::int32_t skipRate) {
    if (mode == kStop) {
        opt.requestedMode = kStop;
        poke();
        return;
    }
    if (mode == kPlay || mode == kFastForward || mode == korvid::kNextPicture) direction_ = 0;
    else if (isBackward(mode)) direction_ = 1;
    // Net change against the direction the reader works in now.
    opt.dirChangeRequested = direction_.load() != latchedDirection_.load() ? 1 : 0;
    const bool high = opt.highSpeed;
    const bool newFast = (mode == kFastForward || mode == kRewind) && skipRate > 2 && !high;
    const std::uint8_t cur = opt.currentMode;
    const std::int32_t curSpeed = opt.speed;
    const bool curFast = (cur == kFastForward || cur == kRewind) && curSpeed > 2 && !high;
    opt.leavingFastRequested = (!newFast && curFast) ? (curSpeed == 32 ? 2 : 1) : 0;
    opt.requestedMode = mode;
}

void CPlayEngine::resumeReading() {
    const bool parkedFull = opt.parked && video_.count() > 16;
    if (!parkedFull) opt.resetRequest = true;
    opt.parked = false;
    {
        std::lock_guard<std::mutex> lock(hs_);
        if (awaiting_) {
            released_ = true;
            awaiting_ = false;
        }
    }
    hsCv_.notify_all();
}

void CPlayEngine::poke() {
    {
        std::lock_guard<std::mutex> lock(idleMutex_);
        ++pokes_;
    }
    idleCv_.notify_all();
}

void CPlayEngine::videoTaken() {
    {
        std::lock_guard<std::mutex> lock(idleMutex_);
        ++takes_;
    }
    idleCv_.notify_all();
}

void CPlayEngine::beginGroupEnd() {
    std::lock_guard<std::mutex> lock(hs_);
    awaiting_ = true;
    released_ = false;
}

void CPlayEngine::cancelGroupEnd() {
    std::lock_guard<std::mutex> lock(hs_);
    awaiting_ = false;
    released_ = false;
}

void CPlayEngine::latchRequest() {
    korvid::SharedWord* rate = opt.skipRate;
    opt.speed = rate ? rate->load() : 1;
    opt.currentMode = opt.requestedMode.load();
    opt.dirChangeCurrent = opt.dirChangeRequested.exchange(0);
    opt.leavingFastCurrent = opt.leavingFastRequested.exchange(0);
    latchedDirection_ = direction_.load();
    if (korvid::SharedByte* g = opt.groupEnd) g->store(0);
    // Only now may the parked reader go on: it reads in the mode just latched.
    poke();
}

void CPlayEngine::wakeAll() {
    hsCv_.notify_all();
    poke();
    video_.dataEvent().set();
    audio_.dataEvent().set();
}

void CPlayEngine::applyPictureFacts(const EntryInfo& e) {
    state.timeStamp = pack8(e.timeStamp);
    state.gpsLatitude = pack4x16(e.gpsLatitude);
    state.gpsLongitude = pack4x16(e.gpsLongitude);
    if (korvid::SharedByte* mark = opt.eventMark) mark->store((e.flags & qmr3::kFlagEventMarkMask) ? 1 : 0);
    korvid::SharedWord* flag = opt.motionFlag;
    korvid::SharedByte* map = opt.motionMap;
    if (e.hasMap) {
        noMapCount_ = 0;
        if (opt.motionMapOn && flag && map) {
            std::uint8_t cells[qmr3::kMotionCells];
            qmr3::unpackMotionMap(e.motionMap, cells);
            for (std::size_t i = 0; i < qmr3::kMotionCells; ++i) map[i].store(cells[i]);
            flag->store(1);
        }
    } else if (++noMapCount_ >= 20) {
        noMapCount_ = 20;
        if (opt.motionMapOn && flag && map) {
            for (std::size_t i = 0; i < qmr3::kMotionCells; ++i) map[i].store(0);
            flag->store(0);
        }
    }
    if (opt.frameIndexOn && e.hasIndex) state.frameIndex = e.frameIndex;
}

void CPlayEngine::clearSharedState() {
    state.timeStamp = 0;
    state.gpsLatitude = 0;
    state.gpsLongitude = 0;
    for (auto& a : state.axis) a = 0;
    state.speedValue = 0;
    state.frameIndex = 0;
}

std::string CPlayEngine::readEndText() const {
    std::lock_guard<std::mutex> lock(endTextMutex_);
    return endText_;
}

// ---------------------------------------------------------------- thread

bool CPlayEngine::startReader(bool handshake) {
    std::lock_guard<std::mutex> lock(engineMutex_);
    if (running_) return true;
    if (thread_.joinable()) thread_.join();
    if (!file_.isOpen()) return false;
    handshake_ = handshake;
    readEnd_ = ReadEnd::None;
    {
        std::lock_guard<std::mutex> tl(endTextMutex_);
        endText_.clear();
    }
    opt.endOfFile = false;
    opt.parked = false;
    opt.resetRequest = false;
    opt.waiting = false;
    opt.resumeMarker = false;
    // Playback starts in the requested mode.
    korvid::SharedWord* rate = opt.skipRate;
    opt.speed = rate ? rate->load() : 1;
    opt.currentMode = opt.requestedMode.load();
    opt.dirChangeRequested = 0;
    opt.dirChangeCurrent = 0;
    opt.leavingFastRequested = 0;
    opt.leavingFastCurrent = 0;
    latchedDirection_ = direction_.load();
    cancelGroupEnd();
    parser_.setMagic(pendingMagic_[0], pendingMagic_[1], pendingMagic_[2]);
    runFlag_ = true;
    running_ = true;
    try {
        thread_ = std::thread([this] { readerMain(); });
    } catch (...) {
        running_ = false;
        runFlag_ = false;
        return false;
    }
    return true;
}

void CPlayEngine::stopReader() {
    std::lock_guard<std::mutex> lock(engineMutex_);
    runFlag_ = false;
    poke();
    if (thread_.joinable()) thread_.join();
    running_ = false;
}

void CPlayEngine::readerMain() {
    // The file is this thread's alone while it runs: opening another is refused meanwhile.
    CPacketReader rd(file_);
    rd_ = &rd;
    trailer_ = false;
    singleGop_ = opt.fileKind == 1;
    parsing_ = opt.parsingDelivery;
    gopMode_ = videoFormat().gopMode;
    parser_.reset();
    fresh_ = true;
    placed_ = false;
    opened_ = false;
    atEnd_ = false;
    parkedPasses_ = 0;
    hasHeld_ = false;
    picsSinceIntra_ = 0;
    haveLimit_ = false;

    if (!rd.load()) {
        finish(ReadEnd::NoRecording, "not a recording: the file header cannot be read");
    } else {
        trailer_ = rd.hasTrailer();
        jumpPending_ = false;
        burstNext_ = handshake_;
        const long start = singleGop_ ? 0 : long(startGop_.load());
        if (!positionAt(start, true)) {
            finish(ReadEnd::EndOfData);
        } else {
            while (runFlag_) {
                if (dispatch() == Pass::End) break;
            }
        }
    }
    rd_ = nullptr;
    running_ = false;
    video_.dataEvent().set();
    audio_.dataEvent().set();
}

CPlayEngine::Pass CPlayEngine::finish(ReadEnd why, const std::string& text) {
    {
        std::lock_guard<std::mutex> lock(endTextMutex_);
        endText_ = text;
    }
    readEnd_ = why;
    opt.endOfFile = true;
    video_.dataEvent().set();
    audio_.dataEvent().set();
    return Pass::End;
}

CPlayEngine::Pass CPlayEngine::failRead(Status st, std::uint64_t offset) {
    switch (st) {
    case Status::BadMagic:
        return finish(ReadEnd::Corrupt,
                      "corrupt packet at offset " + std::to_string(offset) + ": bad packet magic");
    case Status::IoError: return finish(ReadEnd::IoError, "read error at offset " + std::to_string(offset));
    default:
        // End marker, end of the file, or a file cut short inside a packet.
        return finish(ReadEnd::EndOfData);
    }
}

CPlayEngine::Pass CPlayEngine::dispatch() {
    passPokes_ = pokes_.load();
    passTakes_ = takes_.load();
    if (!handshake_) return straightPass();
    const bool back = isBackward(opt.currentMode);
    if (gopMode_) return back ? gopBackwardPass() : gopForwardPass();
    return back ? backwardPass() : forwardPass();
}

bool CPlayEngine::stopNow() const {
    return !runFlag_ || opt.currentMode == kStop || opt.requestedMode == kStop;
}

bool CPlayEngine::fastMode(int direction) const {
    const std::uint8_t mode = opt.currentMode;
    const bool rightMode = direction > 0 ? mode == kFastForward : mode == kRewind;
    return rightMode && opt.speed > 2 && !opt.highSpeed;
}

void CPlayEngine::idle(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool CPlayEngine::sendsGroupsForReverseReading() const {
    const std::uint8_t mode = opt.currentMode;
    return mode == kPreviousPicture || (mode == kRewind && !fastMode(-1));
}

// A poke since the pass began ends the wait: whatever the pass waited for may
// have come already. Parked, only a latched request or a jump is worth a
// look; pictures taken from the queue only matter to a reader waiting for room.
void CPlayEngine::idleUnlessPoked(int ms, bool forRoom) {
    std::unique_lock<std::mutex> lock(idleMutex_);
    idleCv_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        return pokes_.load() != passPokes_ || (forRoom && takes_.load() != passTakes_) || !runFlag_;
    });
}

// Stop, a pending jump, the fast handler, a reset request and the parked
// state, as every trick-play handler starts; true when the pass ends there.
bool CPlayEngine::handlerPrologue(int direction, int parkedMs, Pass& result) {
    result = Pass::Continue;
    if (stopNow()) {
        idle(10);
        return true;
    }
    if (takeJump(result)) return true;
    if (fastMode(direction)) {
        result = fastPass(direction);
        return true;
    }
    if (opt.resetRequest.exchange(false)) opt.parked = false;
    if (opt.parked) {
        idleUnlessPoked(parkedMs, false);
        return true;
    }
    return false;
}

// How far the reader is from the pictures on screen when a fast mode ends:
// 18 GOPs less the renderer's position (twice both after 32x).
long CPlayEngine::leavingFastGops(std::uint8_t leaving) const {
    const int idx = pictureIndex();
    return std::max(0, leaving == 2 ? 36 - 2 * idx : 18 - idx);
}

int CPlayEngine::pictureIndex() const {
    korvid::SharedWord* w = opt.pictureIndex;
    return w ? std::max(0, int(w->load())) : 0;
}

bool CPlayEngine::positionAt(long gop, bool fresh) {
    if (rd_->gopCount() == 0 && gop == 0) {
        // No usable GOP table: read from the first packet.
        rd_->seek(qmr3::kFileHeaderSize);
    } else if (!rd_->gotoGop(gop)) {
        return false;
    }
    posGop_ = gop;
    if (fresh) {
        fresh_ = true;
        opened_ = false;
    }
    return true;
}

void CPlayEngine::moveClamped(long delta) {
    const long count = long(rd_->gopCount());
    if (count == 0) return;
    positionAt(std::clamp(posGop_ + delta, 0L, count - 1), false);
}

bool CPlayEngine::takeJump(Pass& result) {
    if (!jumpPending_.exchange(false)) return false;
    dropHeld();
    atEnd_ = false;
    burstNext_ = handshake_;
    const bool reading = !fresh_;
    const long target = singleGop_ ? 0 : long(startGop_.load());
    if (!positionAt(target, true)) {
        result = finish(ReadEnd::EndOfData);
        return true;
    }
    // A jump while reading places the reader where it is asked to: a turn or
    // the end of a fast mode latched with the request that follows it no
    // longer moves it.
    if (reading) placed_ = true;
    return false;
}

Status CPlayEngine::obtain(Pkt& out) {
    CPacketReader::Packet p;
    const Status st = rd_->readNext(p);
    out.offset = p.offset;
    if (st != Status::Ok) return st;
    if (!parsing_) {
        out.header = p.header;
        out.payload = p.payload;
        out.length = p.payloadLength;
        return st;
    }
    // Parsing path: the header bytes and then the payload go through the
    // packet parser, which hands back the reassembled packet.
    std::uint8_t headerBytes[qmr3::kPacketHeaderSize];
    p.header.serialize(headerBytes);
    bool got = false;
    auto take = [&](const qmr3::Qmr3PacketHeader& h, const std::uint8_t* d, std::uint32_t n) {
        out.header = h;
        out.payload = d;
        out.length = n;
        got = true;
    };
    if (parser_.push(headerBytes, sizeof headerBytes, take) == CPacketParser::Result::BadMagic)
        return Status::BadMagic;
    if (parser_.push(p.payload, p.payloadLength, take) == CPacketParser::Result::BadMagic)
        return Status::BadMagic;
    return got ? Status::Ok : Status::IoError;
}

void CPlayEngine::videoFacts(const Pkt& pk, EntryInfo& info, const std::uint8_t*& data,
                             std::uint32_t& length) const {
    info = EntryInfo{};
    info.stream = qmr3::kStreamVideo;
    info.flags = pk.header.flags;
    pk.header.time.serialize(info.timeStamp);
    std::copy(pk.header.gpsLatitude.begin(), pk.header.gpsLatitude.end(), info.gpsLatitude);
    std::copy(pk.header.gpsLongitude.begin(), pk.header.gpsLongitude.end(), info.gpsLongitude);
    info.fileOffset = pk.offset;
    data = pk.payload;
    length = pk.length;
    if (pk.header.hasMotionMap()) {
        if (length < qmr3::kMotionMapBytes) {
            length = 0;  // announced map missing: no picture in it
        } else {
            std::memcpy(info.motionMap, data, qmr3::kMotionMapBytes);
            info.hasMap = true;
            data += qmr3::kMotionMapBytes;
            length -= std::uint32_t(qmr3::kMotionMapBytes);
        }
    }
    if (trailer_ && length >= qmr3::kFrameIndexTrailerSize) {
        info.frameIndex = qmr3::getU32(data + length - qmr3::kFrameIndexTrailerSize);
        info.hasIndex = true;
        length -= std::uint32_t(qmr3::kFrameIndexTrailerSize);
    }
    info.intra = qmr3::isIntraPicture(data, length, 0);
}

void CPlayEngine::queueAudio(const Pkt& pk) {
    // Sound belongs to normal play only; anything read in other modes is stale.
    const bool play = !handshake_ || (opt.currentMode == kPlay && opt.requestedMode == kPlay);
    if (!play) return;
    EntryInfo info;
    info.stream = qmr3::kStreamAudio;
    info.flags = pk.header.flags;
    pk.header.time.serialize(info.timeStamp);
    info.fileOffset = pk.offset;
    audio_.put(info, pk.payload, pk.length);
}

void CPlayEngine::queueVideo(const EntryInfo& info, const std::uint8_t* data, std::uint32_t length) {
    if (length == 0) return;
    if (burstNext_) {
        // Until this group is in, nothing is on screen to pace against.
        burstNext_ = false;
        EntryInfo first = info;
        first.burst = true;
        video_.put(first, data, length);
        return;
    }
    video_.put(info, data, length);
}

void CPlayEngine::hold(const EntryInfo& info, const std::uint8_t* data, std::uint32_t length) {
    flushHeld(GroupMark::None, true);
    heldInfo_ = info;
    heldLength_ = length;
    if (length) std::memcpy(held_.get(), data, length);
    hasHeld_ = true;
}

void CPlayEngine::flushHeld(GroupMark mark, bool keepMark) {
    if (!hasHeld_) return;
    if (!keepMark) heldInfo_.mark = mark;
    queueVideo(heldInfo_, held_.get(), heldLength_);
    hasHeld_ = false;
}

void CPlayEngine::startPutRule(const EntryInfo& info) {
    picsSinceIntra_ = 0;
    haveLimit_ = info.hasIndex;
    indexLimit_ = info.frameIndex + 8;
}

bool CPlayEngine::putRuleAllows(const EntryInfo& info) {
    ++picsSinceIntra_;
    if (picsSinceIntra_ <= 15 || info.intra) return true;
    if (info.hasIndex && haveLimit_) return info.frameIndex <= indexLimit_;
    return false;
}

// Standalone use: every packet once, in file order, no hand-shake.
CPlayEngine::Pass CPlayEngine::straightPass() {
    if (stopNow()) {
        idle(10);
        return Pass::Continue;
    }
    Pass jumped;
    if (takeJump(jumped)) return jumped;
    if (video_.count() > 60 || audio_.count() > 400) {
        idle(5);
        return Pass::Continue;
    }
    Pkt pk;
    const Status st = obtain(pk);
    if (st == Status::Oversized) return Pass::Continue;
    if (st != Status::Ok) return failRead(st, pk.offset);
    if (pk.header.stream == qmr3::kStreamAudio) {
        queueAudio(pk);
        return Pass::Continue;
    }
    if (pk.header.stream != qmr3::kStreamVideo) return Pass::Continue;
    EntryInfo info;
    const std::uint8_t* data;
    std::uint32_t length;
    videoFacts(pk, info, data, length);
    if (!opened_ && !info.intra) return Pass::Continue;  // a decoder needs an intra picture first
    opened_ = true;
    if (!gopMode_) {
        queueVideo(info, data, length);
        return Pass::Continue;
    }
    const std::size_t n = splitPictures(data, length, starts_.get(), kMaxPictures);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t end = i + 1 < n ? starts_[i + 1] : length;
        EntryInfo pic = info;
        pic.frameIndex = info.frameIndex + std::uint32_t(i);
        pic.intra = qmr3::isIntraPicture(data + starts_[i], end - starts_[i], 0);
        queueVideo(pic, data + starts_[i], std::uint32_t(end - starts_[i]));
    }
    return Pass::Continue;
}

CPlayEngine::Pass CPlayEngine::forwardPass() {
    Pass early;
    if (handlerPrologue(+1, 33, early)) return early;
    if (video_.count() > 1) {
        idleUnlessPoked(10, true);
        return Pass::Continue;
    }
    // The last group went out whole and the next one forwards is asked for.
    if (atEnd_) return finish(ReadEnd::EndOfData);
    const std::uint8_t leaving = opt.leavingFastCurrent.exchange(0);
    const std::uint8_t turned = opt.dirChangeCurrent.exchange(0);
    if (placed_) {
        placed_ = false;
    } else if (leaving) {
        // The reader ran ahead of the pictures on screen while fast.
        const long n = leavingFastGops(leaving);
        moveClamped(turned ? n : -n);
    } else if (turned) {
        if (!positionAt(posGop_ + 1, false)) return finish(ReadEnd::EndOfData);
    }
    fresh_ = false;
    return groupPass(false);
}

CPlayEngine::Pass CPlayEngine::backwardPass() {
    Pass early;
    if (handlerPrologue(-1, 33, early)) return early;
    if (video_.count() > 1) {
        idleUnlessPoked(10, true);
        return Pass::Continue;
    }
    turnAtEnd();
    const std::uint8_t leaving = opt.leavingFastCurrent.exchange(0);
    const std::uint8_t turned = opt.dirChangeCurrent.exchange(0);
    if (leaving && !placed_) {
        // Fast rewind leaves the reader behind the screen, fast forward ahead of it.
        const long n = leavingFastGops(leaving);
        moveClamped(turned ? -n : n);
    }
    // Reading a group forward moves one group on, hence two back per pass.
    // On turning round the renderer holds the group on screen and one more
    // read ahead of it; it drops the latter and reads the former backwards
    // itself, so the next group it needs is the one before the screen's.
    const long step = fresh_ ? 0 : (turned ? 3 : 2);
    const long target = posGop_ - step;
    if (target < 0 || !positionAt(target, false)) return finish(ReadEnd::EndOfData);
    fresh_ = false;
    placed_ = false;
    const Pass r = groupPass(true);
    // Count by the table, whatever the group's end looked like, so each pass goes one further back.
    posGop_ = target + 1;
    if (r == Pass::Continue && std::size_t(posGop_) < rd_->gopCount()) rd_->gotoGop(posGop_);
    return r;
}

// One group in file order: its first intra picture opens it, its last picture
// carries the group end, and the next intra picture follows twice for the
// renderer to drop; the reader then parks at that picture until the next
// group is asked for.
CPlayEngine::Pass CPlayEngine::groupPass(bool readingBackwards) {
    bool opened = false;
    for (;;) {
        if (stopNow()) {
            dropHeld();
            return Pass::Continue;
        }
        Pkt pk;
        const Status st = obtain(pk);
        if (st == Status::Oversized) continue;
        if (st != Status::Ok) {
            flushHeld(GroupMark::Mark);
            if (readingBackwards && (st == Status::End || st == Status::Truncated)) {
                // The last group of the file, met while going backwards.
                opt.parked = opened;
                return Pass::Continue;
            }
            if (opened && (st == Status::End || st == Status::Truncated)) {
                // The last group, met while going forwards. The end is only
                // reported when the next group forwards is asked for: a turn
                // latched at this group end still reads backwards from here.
                opt.parked = true;
                atEnd_ = true;
                posGop_ = long(rd_->gopCount());
                return Pass::Continue;
            }
            return failRead(st, pk.offset);
        }
        if (pk.header.stream == qmr3::kStreamAudio) {
            queueAudio(pk);
            continue;
        }
        if (pk.header.stream != qmr3::kStreamVideo) continue;
        EntryInfo info;
        const std::uint8_t* data;
        std::uint32_t length;
        videoFacts(pk, info, data, length);
        if (!opened) {
            if (!info.intra) continue;
            opened = true;
            const long g = rd_->gopAt(pk.offset);
            if (g >= 0) posGop_ = g;
            info.mark = GroupMark::Arm;
            startPutRule(info);
            hold(info, data, length);
            if (!readingBackwards) {
                openerInfo_ = info;
                openerLength_ = length;
                if (length) std::memcpy(stored_.get(), data, length);
            }
            continue;
        }
        if (info.intra) {
            // Parked first: the request that the group end triggers must find it set.
            opt.parked = true;
            // The group's own last picture carries the end, so a decoder without
            // output delay hands the renderer exactly [intra .. last picture].
            flushHeld(GroupMark::Mark);
            // Both copies are dropped by the renderer: neither takes a pacing
            // slot, which the group's first picture takes when it is read
            // again (forwards) or an earlier group's is (backwards).
            info.mark = GroupMark::None;
            info.repeat = true;
            queueVideo(info, data, length);
            info.mark = GroupMark::Reset;
            info.repeat = true;
            queueVideo(info, data, length);
            rd_->seek(pk.offset);
            const long g = rd_->gopAt(pk.offset);
            posGop_ = g >= 0 ? g : posGop_ + 1;
            return Pass::Continue;
        }
        // A packet without picture bytes could not carry the group end.
        if (length == 0 || !putRuleAllows(info)) continue;
        hold(info, data, length);
    }
}

// Turning back at the end of the file: the group end sent there had no next
// intra picture behind it, so the two copies the renderer drops after a group
// end are sent now, made of the last group's own intra picture.
void CPlayEngine::turnAtEnd() {
    if (!atEnd_) return;
    atEnd_ = false;
    EntryInfo copy = openerInfo_;
    copy.repeat = true;
    copy.mark = GroupMark::None;
    queueVideo(copy, stored_.get(), openerLength_);
    copy.mark = GroupMark::Reset;
    queueVideo(copy, stored_.get(), openerLength_);
}

// Fast forward and fast rewind: the first picture of up to nine GOPs, the
// last of them carrying the batch end and then sent twice more to be dropped.
CPlayEngine::Pass CPlayEngine::fastPass(int direction) {
    if (direction < 0) turnAtEnd();
    opt.leavingFastCurrent = 0;
    opt.dirChangeCurrent = 0;
    if (opt.resetRequest.exchange(false)) {
        opt.parked = false;
        parkedPasses_ = 0;
    }
    if (opt.parked) {
        if (++parkedPasses_ < 16) {
            idle(33);
            return Pass::Continue;
        }
        opt.parked = false;
        parkedPasses_ = 0;
    }
    const int queued = video_.count();
    if (queued > 16) {
        opt.parked = true;
        return Pass::Continue;
    }
    if (queued >= 2) {
        idle(10);
        return Pass::Continue;
    }
    const long step = opt.speed == 32 ? 2 : 1;
    int delivered = 0;
    for (int i = 0; i < 9; ++i) {
        if (stopNow()) {
            dropHeld();
            return Pass::Continue;
        }
        const long g = fresh_ ? posGop_ : posGop_ + direction * step;
        fresh_ = false;
        if (g < 0 || std::size_t(g) >= rd_->gopCount()) {
            flushHeld(GroupMark::Mark);
            return finish(ReadEnd::EndOfData);
        }
        rd_->gotoGop(g);
        posGop_ = g;
        Pkt pk;
        const Status st = obtain(pk);
        if (st == Status::Oversized) continue;
        if (st != Status::Ok) {
            flushHeld(GroupMark::Mark);
            return failRead(st, pk.offset);
        }
        if (pk.header.stream != qmr3::kStreamVideo) continue;  // an entry that is no picture
        EntryInfo info;
        const std::uint8_t* data;
        std::uint32_t length;
        videoFacts(pk, info, data, length);
        if (gopMode_) {
            // Only the group's intra picture.
            std::size_t two[2];
            if (splitPictures(data, length, two, 2) == 2) length = std::uint32_t(two[1]);
            info.intra = qmr3::isIntraPicture(data, length, 0);
        }
        if (length == 0) continue;  // a damaged packet without a picture
        info.mark = delivered == 0 ? GroupMark::Arm : GroupMark::None;
        hold(info, data, length);
        ++delivered;
    }
    rd_->gotoGop(posGop_);
    if (!hasHeld_) return Pass::Continue;
    opt.parked = true;
    EntryInfo last = heldInfo_;
    flushHeld(GroupMark::Mark);
    last.repeat = true;
    last.mark = GroupMark::None;
    queueVideo(last, held_.get(), heldLength_);
    last.mark = GroupMark::Reset;
    queueVideo(last, held_.get(), heldLength_);
    return Pass::Continue;
}

CPlayEngine::Pass CPlayEngine::gopForwardPass() {
    Pass early;
    if (handlerPrologue(+1, 10, early)) return early;
    const int queued = video_.count();
    if (queued >= 2) {
        if (queued >= 11) opt.parked = true;
        else idleUnlessPoked(10, true);
        return Pass::Continue;
    }
    const std::uint8_t leaving = opt.leavingFastCurrent.exchange(0);
    const std::uint8_t turned = opt.dirChangeCurrent.exchange(0);
    if (leaving) {
        const long n = leavingFastGops(leaving);
        moveClamped(turned ? n : -n);
    } else if (turned) {
        if (!positionAt(posGop_ + 2, false)) return finish(ReadEnd::EndOfData);
    }
    fresh_ = false;
    Pkt pk;
    const Status st = obtain(pk);
    if (st == Status::Oversized) return Pass::Continue;
    if (st != Status::Ok) return failRead(st, pk.offset);
    if (pk.header.stream == qmr3::kStreamAudio) {
        queueAudio(pk);
        return Pass::Continue;
    }
    if (pk.header.stream != qmr3::kStreamVideo) return Pass::Continue;
    const long g = rd_->gopAt(pk.offset);
    posGop_ = (g >= 0 ? g : posGop_) + 1;
    return deliverGroup(pk);
}

CPlayEngine::Pass CPlayEngine::gopBackwardPass() {
    Pass early;
    if (handlerPrologue(-1, 33, early)) return early;
    if (video_.count() >= 2) {
        idleUnlessPoked(10, true);
        return Pass::Continue;
    }
    const std::uint8_t leaving = opt.leavingFastCurrent.exchange(0);
    const std::uint8_t turned = opt.dirChangeCurrent.exchange(0);
    long step = 2;  // the position is one past the group read last
    if (leaving) {
        const long n = leavingFastGops(leaving);
        moveClamped(turned ? -n : n);
    } else if (turned) {
        step = 3;
    }
    if (fresh_) step = 0;
    fresh_ = false;
    const long target = posGop_ - step;
    if (target < 0 || !positionAt(target, false)) return finish(ReadEnd::EndOfData);
    Pkt pk;
    const Status st = obtain(pk);
    if (st == Status::Oversized) {
        posGop_ = target + 1;
        return Pass::Continue;
    }
    if (st != Status::Ok) return failRead(st, pk.offset);
    posGop_ = target + 1;
    if (pk.header.stream != qmr3::kStreamVideo) return Pass::Continue;
    return deliverGroup(pk);
}

bool CPlayEngine::readAhead(EntryInfo& info, std::uint32_t& length, std::uint64_t& offset) {
    const std::uint64_t back = rd_->position();
    bool found = false;
    for (;;) {
        Pkt pk;
        const Status st = obtain(pk);
        if (st == Status::Oversized) continue;
        if (st != Status::Ok) break;
        if (pk.header.stream != qmr3::kStreamVideo) continue;
        const std::uint8_t* data;
        std::uint32_t n;
        videoFacts(pk, info, data, n);
        if (n == 0) continue;  // no picture in it: the group after it follows
        std::size_t two[2];
        if (splitPictures(data, n, two, 2) == 2) n = std::uint32_t(two[1]);
        std::memcpy(stored_.get(), data, n);
        length = n;
        offset = pk.offset;
        found = true;
        break;
    }
    parser_.reset();
    rd_->seek(back);
    return found;
}

// A group-mode packet: its pictures one by one, the last carrying the group
// end, then the next group's intra picture twice for the renderer to drop.
CPlayEngine::Pass CPlayEngine::deliverGroup(const Pkt& pk) {
    EntryInfo info;
    const std::uint8_t* data;
    std::uint32_t length;
    videoFacts(pk, info, data, length);
    // An empty payload has no buffer behind it at all.
    if (length) std::memcpy(group_.get(), data, length);
    const std::size_t n = splitPictures(group_.get(), length, starts_.get(), kMaxPictures);
    // A damaged packet without pictures: nothing would end its group, so the
    // renderer would never ask for the next one. The group is left out.
    if (n == 0) return Pass::Continue;
    EntryInfo next;
    std::uint32_t nextLength = 0;
    std::uint64_t nextOffset = 0;
    const bool haveNext = readAhead(next, nextLength, nextOffset);
    opt.parked = true;
    for (std::size_t i = 0; i < n; ++i) {
        if (stopNow()) return Pass::Continue;
        const std::size_t end = i + 1 < n ? starts_[i + 1] : length;
        EntryInfo pic = info;
        pic.frameIndex = info.frameIndex + std::uint32_t(i);
        pic.intra = qmr3::isIntraPicture(group_.get() + starts_[i], end - starts_[i], 0);
        pic.mark = i == 0 ? GroupMark::Arm : GroupMark::None;
        if (i + 1 == n) pic.mark = GroupMark::Mark;
        queueVideo(pic, group_.get() + starts_[i], std::uint32_t(end - starts_[i]));
    }
    if (haveNext) {
        next.mark = GroupMark::None;
        next.repeat = true;
        queueVideo(next, stored_.get(), nextLength);
        next.mark = GroupMark::Reset;
        next.repeat = true;
        queueVideo(next, stored_.get(), nextLength);
    }
    return Pass::Continue;
}

}  // namespace hexmoor
