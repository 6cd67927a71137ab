// The element's two output pads. Each pushes from its own pad task: the
// video pad takes pictures from the engine's video queue, paces them, marks
// group ends and waits for the next group request; the audio pad takes the
// 125 ms audio packets.
#pragma once

#include "h264paramsets.h"
#include "playengine.h"

#include <gst/gst.h>

#include <atomic>
#include <chrono>
#include <cstdint>

GST_DEBUG_CATEGORY_EXTERN(hexmoor_debug);

namespace hexmoor {

GstCaps* videoCapsFor(const VideoFormat& format);
// PCM (kind 0) or Microsoft ADPCM (kind 1).
GstCaps* audioCapsFor(std::uint8_t kind);

class CHexmoorPin {
public:
    CHexmoorPin(GstElement* element, GstPad* pad, CPlayEngine& engine, const std::atomic<bool>& stopping);
    virtual ~CHexmoorPin() = default;
    CHexmoorPin(const CHexmoorPin&) = delete;
    CHexmoorPin& operator=(const CHexmoorPin&) = delete;

    bool start(unsigned groupId);
    void stop();
    virtual GstCaps* currentCaps() const = 0;

protected:
    virtual void reset() = 0;
    virtual void loop() = 0;
    // stream-start, caps and segment; false (with an error posted) when there are no caps.
    bool pushStartEvents(const char* streamName);
    void pushEos();
    bool stopRequested() const;
    bool shuttingDown() const { return stopping_.load(); }
    // Waits on ev for up to ms, in short slices so that shutdown and stop are noticed.
    bool waitEvent(korvid::Event& ev, int ms);
    void sleepFor(std::chrono::nanoseconds d);
    GstBuffer* makeBuffer(GstBufferPool*& pool, std::size_t poolSize, const std::uint8_t* data,
                          std::uint32_t length);
    static void freePool(GstBufferPool*& pool);

    GstElement* element_;
    GstPad* pad_;
    CPlayEngine& engine_;
    const std::atomic<bool>& stopping_;
    unsigned groupId_ = 0;
    bool eventsSent_ = false;
    bool finished_ = false;

private:
    static void taskThunk(gpointer self) { static_cast<CHexmoorPin*>(self)->loop(); }
};

class CHexmoorVideoPin final : public CHexmoorPin {
public:
    CHexmoorVideoPin(GstElement* element, GstPad* pad, CPlayEngine& engine,
                     const std::atomic<bool>& stopping);
    ~CHexmoorVideoPin() override;

    void setFamily(qmr3::ParamSetFamily family) { family_ = family; }
    void setHighSpeed(bool on) { highSpeed_ = on; }
    // Pacing starts again from the next picture (the pipeline starts running).
    void restartPacing() { restartPacing_ = true; }
    GstCaps* currentCaps() const override;

private:
    void reset() override;
    void loop() override;
    bool pushParameterSets();
    void deliver(GstBuffer* buffer, const EntryInfo& info);
    void pace();
    void endOfMedia();
    void handleFlow(GstFlowReturn ret);

    std::atomic<qmr3::ParamSetFamily> family_{qmr3::ParamSetFamily::B};
    std::atomic<bool> highSpeed_{false};
    std::atomic<bool> restartPacing_{true};
    bool burst_ = false;  // delivering the first group after a start or a jump
    bool parameterSetsSent_ = false;
    bool firstPicture_ = true;
    GstClockTime nextPts_ = 0;
    std::int64_t frameDuration_ = 333667;
    std::uint64_t frameCounter_ = 0;
    std::chrono::steady_clock::time_point firstFrameTick_;
    int emptyWaits_ = 0;
    GstBufferPool* pool_ = nullptr;
    std::size_t poolSize_ = 0;
};

class CHexmoorAudioPin final : public CHexmoorPin {
public:
    CHexmoorAudioPin(GstElement* element, GstPad* pad, CPlayEngine& engine,
                     const std::atomic<bool>& stopping);
    ~CHexmoorAudioPin() override;

    void setKind(std::uint8_t kind) { kind_ = kind; }
    std::uint8_t kind() const { return kind_; }
    GstCaps* currentCaps() const override;

    static constexpr GstClockTime kPacketDuration = 125 * GST_MSECOND;

private:
    void reset() override;
    void loop() override;
    bool held() const;
    void pushGap();

    std::atomic<std::uint8_t> kind_{0};
    bool firstFrameWaited_ = false;
    bool discont_ = true;
    bool discard_ = false;
    bool wasHeld_ = false;
    GstClockTime nextPts_ = 0;
    std::uint64_t samples_ = 0;
    bool havePushed_ = false;
    std::chrono::steady_clock::time_point lastPush_;
    GstBufferPool* pool_ = nullptr;
};

}  // namespace hexmoor
