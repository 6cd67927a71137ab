// The play engine: the open recording, the options block that the control
// interface fills, the shared playback state, the two packet queues and the
// reader thread that walks the recording group by group in the direction
// and at the speed of the play mode. It knows nothing of GStreamer; the
// element's pads take packets from its queues.
#pragma once

#include "event.h"
#include "packetparser.h"
#include "packetqueue.h"
#include "packetreader.h"
#include "qmr3reader.h"
#include "sharedwords.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace hexmoor {

// Why the reader stopped reading by itself.
enum class ReadEnd {
    None,
    EndOfData,    // end of the data, the GOP table or the file (also a file cut short)
    Corrupt,      // a packet with a bad magic
    NoRecording,  // no whole file header
    IoError,
};

struct VideoFormat {
    bool set = false;
    int fps = 30;
    int width = 0;
    int height = 0;
    bool gopMode = false;
    std::int64_t frameDuration = 333667;  // 100 ns units
};

// Fields filled by the control interface and read by the reader thread and
// the pads. Each is a single atomic word: no lock is needed.
struct Options {
    std::atomic<std::int32_t> waitTimeoutMs{200};
    std::atomic<std::int32_t> audioWaitTimeoutMs{500};
    std::atomic<bool> noPacing{false};
    std::atomic<korvid::Event*> mediaStopEvent{nullptr};
    std::atomic<korvid::Event*> firstFrameEvent{nullptr};
    std::atomic<korvid::SharedWord*> skipRate{nullptr};
    std::atomic<korvid::SharedWord*> pictureIndex{nullptr};
    std::atomic<korvid::SharedWord*> deliveryEnable{nullptr};  // kept, never read through
    std::atomic<korvid::SharedByte*> groupEnd{nullptr};
    std::atomic<korvid::SharedByte*> eventMark{nullptr};
    std::atomic<korvid::SharedWord*> motionFlag{nullptr};
    std::atomic<korvid::SharedByte*> motionMap{nullptr};

    std::atomic<std::uint8_t> requestedMode{korvid::kPlay};
    std::atomic<std::uint8_t> currentMode{korvid::kPlay};
    std::atomic<std::int32_t> speed{1};
    std::atomic<std::uint8_t> dirChangeRequested{0}, dirChangeCurrent{0};
    std::atomic<std::uint8_t> leavingFastRequested{0}, leavingFastCurrent{0};
    std::atomic<bool> parked{false};
    std::atomic<bool> resetRequest{false};
    std::atomic<bool> waiting{false};       // the video pad waits for the next group request
    std::atomic<bool> resumeMarker{false};  // set after each wake-up
    std::atomic<bool> endOfFile{false};
    std::atomic<bool> forcedWait{false};
    std::atomic<bool> highSpeed{false};
    std::atomic<std::int32_t> highSpeedFactor{0};
    std::atomic<bool> fourTimes{false};
    std::atomic<std::int16_t> kind{0};
    std::atomic<std::int16_t> fileKind{0};
    std::atomic<bool> parsingDelivery{false};
    std::atomic<bool> motionMapOn{false};
    std::atomic<bool> frameIndexOn{false};
    // Stored for the viewer, not interpreted.
    std::atomic<std::int32_t> streamOption{0}, optionWord2{0}, optionWord6a{0};
    std::atomic<std::int16_t> optionWord6b{0}, optionWord5{0}, optionWord7{0};
};

// What the getters report: facts of the picture delivered last.
struct SharedState {
    std::atomic<std::uint64_t> timeStamp{0};  // packet header bytes 12..19, little-endian
    std::atomic<std::uint64_t> gpsLatitude{0};
    std::atomic<std::uint64_t> gpsLongitude{0};
    std::atomic<std::int32_t> axis[3] = {};
    std::atomic<std::int32_t> speedValue{0};
    std::atomic<std::uint32_t> frameIndex{0};

    std::array<std::uint8_t, 8> timeStampBytes() const;
    std::array<std::uint16_t, 4> latitude() const;
    std::array<std::uint16_t, 4> longitude() const;
};

class CPlayEngine {
public:
    CPlayEngine();
    ~CPlayEngine();
    CPlayEngine(const CPlayEngine&) = delete;
    CPlayEngine& operator=(const CPlayEngine&) = delete;

    // Queues and buffers; false when memory is short.
    bool init();

    Options opt;
    SharedState state;
    CPacketQueue& videoQueue() { return video_; }
    CPacketQueue& audioQueue() { return audio_; }

    // 0, or -1 while the reader runs or when the file cannot be opened (no
    // file is held then).
    int openFile(const char* path);
    bool fileOpen() const { return file_.isOpen(); }
    std::string path() const;
    // The recording's file header, read from the open file.
    bool readFileHeader(qmr3::Qmr3FileHeader& out) const;

    void setVideoInfo(int frameRate, int width, int height, bool gopMode);
    VideoFormat videoFormat() const;

    void setStartPos(std::int32_t gop);
    void setMagic(std::uint8_t code1, std::uint8_t code2, std::uint8_t code3);
    // The engine's part of a play-mode change: requested mode, direction and
    // the markers the reader uses to reposition at the next group end.
    void requestMode(std::uint8_t mode, std::int32_t skipRate);
    void resumeReading();
    // Ends an idle pass of the reader early: a latched request, a jump or a
    // stop gives it something to do now.
    void poke();
    // The video pad took a picture: room in the queue for a reader waiting for it.
    void videoTaken();

    // Reader thread. With handshake the reader parks after each group until
    // resumeReading(); without it, it reads the recording forward once.
    bool startReader(bool handshake);
    void stopReader();
    bool readerRunning() const { return running_.load(); }
    bool handshake() const { return handshake_.load(); }
    ReadEnd readEnd() const { return readEnd_.load(); }
    std::string readEndText() const;

    // Group hand-shake with the video pad.
    void beginGroupEnd();
    // Blocks until resumeReading() answers the group end, or stop() turns true.
    template <typename Stop>
    bool waitGroupEnd(Stop&& stop) {
        std::unique_lock<std::mutex> lock(hs_);
        while (!released_) {
            if (stop()) {
                awaiting_ = false;
                return false;
            }
            hsCv_.wait_for(lock, std::chrono::milliseconds(20));
        }
        released_ = false;
        return true;
    }
    void cancelGroupEnd();
    // Takes over the requested mode, speed and markers after a group end.
    void latchRequest();
    // Wakes every wait of the pads (shutdown).
    void wakeAll();
    // The groups now being sent are read backwards by the renderer, which
    // then needs each one whole before it can show any of it.
    bool sendsGroupsForReverseReading() const;

    // Facts of a picture about to be delivered: time stamp, GPS words, event
    // mark, motion map and frame index go into the viewer's words and the
    // shared state.
    void applyPictureFacts(const EntryInfo& info);
    void clearSharedState();

private:
    enum class Pass { Continue, End };
    struct Pkt {
        std::uint64_t offset = 0;
        qmr3::Qmr3PacketHeader header;
        const std::uint8_t* payload = nullptr;
        std::uint32_t length = 0;
    };

    void readerMain();
    Pass dispatch();
    Pass straightPass();
    Pass forwardPass();
    Pass backwardPass();
    Pass gopForwardPass();
    Pass gopBackwardPass();
    Pass fastPass(int direction);
    Pass groupPass(bool readingBackwards);
    Pass deliverGroup(const Pkt& pk);
    void turnAtEnd();

    bool stopNow() const;
    bool fastMode(int direction) const;
    void idle(int ms);
    void idleUnlessPoked(int ms, bool forRoom);
    bool takeJump(Pass& result);
    bool handlerPrologue(int direction, int parkedMs, Pass& result);
    long leavingFastGops(std::uint8_t leaving) const;
    bool positionAt(long gop, bool fresh);
    void moveClamped(long delta);
    int pictureIndex() const;
    Pass finish(ReadEnd why, const std::string& text = {});
    Pass failRead(CPacketReader::Status st, std::uint64_t offset);

    CPacketReader::Status obtain(Pkt& out);
    // Fills info from a video packet and returns its picture bytes (motion
    // map and frame-index trailer taken off).
    void videoFacts(const Pkt& pk, EntryInfo& info, const std::uint8_t*& data, std::uint32_t& length) const;
    void queueAudio(const Pkt& pk);
    void queueVideo(const EntryInfo& info, const std::uint8_t* data, std::uint32_t length);
    void hold(const EntryInfo& info, const std::uint8_t* data, std::uint32_t length);
    void flushHeld(GroupMark mark, bool keepMark = false);
    void dropHeld() { hasHeld_ = false; }
    void startPutRule(const EntryInfo& info);
    bool putRuleAllows(const EntryInfo& info);
    // First picture of the next video packet in file order, read ahead.
    bool readAhead(EntryInfo& info, std::uint32_t& length, std::uint64_t& offset);

    qmr3::Qmr3Reader file_;
    std::string path_;
    mutable std::mutex fileMutex_;
    CPacketQueue video_;
    CPacketQueue audio_;
    CPacketParser parser_;
    std::array<std::uint8_t, 3> pendingMagic_{qmr3::kPacketMagic[0], qmr3::kPacketMagic[1],
                                              qmr3::kPacketMagic[2]};

    mutable std::mutex formatMutex_;
    VideoFormat format_;

    std::mutex engineMutex_;  // starting and stopping the reader
    std::thread thread_;
    std::atomic<bool> runFlag_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> handshake_{true};
    std::atomic<ReadEnd> readEnd_{ReadEnd::None};
    mutable std::mutex endTextMutex_;
    std::string endText_;

    std::atomic<std::int32_t> startGop_{0};
    std::atomic<bool> jumpPending_{false};
    std::atomic<std::uint8_t> direction_{0};  // 0 forward, 1 backward
    std::atomic<std::uint8_t> latchedDirection_{0};

    std::mutex idleMutex_;
    std::condition_variable idleCv_;
    std::atomic<std::uint64_t> pokes_{0};
    std::atomic<std::uint64_t> takes_{0};

    std::mutex hs_;
    std::condition_variable hsCv_;
    bool awaiting_ = false;
    bool released_ = false;

    int noMapCount_ = 0;  // pad thread only

    // Reader thread only.
    CPacketReader* rd_ = nullptr;
    bool trailer_ = false;
    bool singleGop_ = false;
    bool parsing_ = false;
    bool gopMode_ = false;
    long posGop_ = 0;       // the GOP the reader is positioned at
    bool fresh_ = true;     // nothing read since the start or a jump
    bool placed_ = false;   // a jump came while reading: the next pass reads where it put the reader
    bool opened_ = false;   // straight reading has met its first intra picture
    bool atEnd_ = false;    // reading forwards met the end after a whole group: ends unless it turns
    EntryInfo openerInfo_;  // the intra picture that opened the group read forwards last
    std::uint32_t openerLength_ = 0;
    int parkedPasses_ = 0;
    int picsSinceIntra_ = 0;
    bool haveLimit_ = false;
    std::uint32_t indexLimit_ = 0;
    std::unique_ptr<std::uint8_t[]> held_;
    EntryInfo heldInfo_;
    std::uint32_t heldLength_ = 0;
    bool hasHeld_ = false;
    std::unique_ptr<std::uint8_t[]> group_;
    std::unique_ptr<std::uint8_t[]> stored_;
    static constexpr std::size_t kMaxPictures = 4096;
    std::unique_ptr<std::size_t[]> starts_;

    // Reader thread only: the next picture queued opens the first group after
    // a start or a jump; pokes and pictures taken when the current pass began.
    bool burstNext_ = false;
    std::uint64_t passPokes_ = 0;
    std::uint64_t passTakes_ = 0;
};

// Frame duration in 100 ns units for a picture rate: the 29.97 family keeps
// its NTSC duration, other rates their exact one.
std::int64_t frameDurationFor(int fps);

// The pictures per second the viewer would pace a header's rate index (offset
// 4) and video type at; 30 where the recorder defines no such rate.
int frameRateForHeader(std::uint32_t rateIndex, std::uint8_t videoType);

}  // namespace hexmoor
