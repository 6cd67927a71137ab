// CHexmoorFilter: the element's C++ side. It implements the control
// interface, owns the play engine and the two pins once CreateStreams has
// made them, and carries the element's state changes to them.
#pragma once

#include "hexmoorcontrol.h"
#include "hexmoorpins.h"
#include "playengine.h"

#include <gst/gst.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

namespace hexmoor {

class CHexmoorFilter final : public korvid::IHexmoorControl {
public:
    CHexmoorFilter(GstElement* element, GstPad* videoPad, GstPad* audioPad);
    ~CHexmoorFilter();

    // ---- IHexmoorControl
    std::int32_t SetVideoInfo(std::uint8_t frameRate, std::int16_t width, std::int16_t height,
                              std::uint8_t gopMode) override;
    std::int32_t GetWaitTimeout(std::int32_t* milliseconds) override;
    std::int32_t SetWaitTimeout(std::int32_t milliseconds) override;
    std::int32_t GetAudioWaitTimeout(std::int32_t* milliseconds) override;
    std::int32_t SetAudioWaitTimeout(std::int32_t milliseconds) override;
    std::int32_t ReservedMethod1() override { return 0; }
    std::int32_t SetStreamOption(std::int32_t value) override;
    std::int32_t SetNoPacing(std::int32_t on) override;
    std::int32_t GetVideoQueueCount(std::int32_t* count) override;
    std::int32_t GetAudioQueueCount(std::int32_t* count) override;
    std::int32_t FlushQueues() override;
    std::int32_t SetMediaStopEvent(korvid::Event* event) override;
    std::int32_t SetAudioType(std::uint8_t kind) override;
    std::int32_t OpenFile(const char* path) override;
    std::int32_t ReservedMethod2() override { return 0; }
    std::int32_t ReservedMethod3() override { return 0; }
    std::int32_t SetOptionWord2(std::int32_t value) override;
    std::int32_t SetParsingDelivery(std::int32_t on) override;
    std::int32_t SetMotionMapTarget(korvid::SharedWord* motionFlag, korvid::SharedByte* map) override;
    std::int32_t ClearMotionMapTarget() override;
    std::int32_t EnableMotionMap() override;
    std::int32_t DisableMotionMap() override;
    std::int32_t SetEventMarkTarget(korvid::SharedByte* mark) override;
    std::int32_t SetPlayMode(std::uint8_t mode) override;
    std::int32_t SetOptionWord4(korvid::SharedWord* deliveryEnable) override;
    std::int32_t SetSkipRateSource(korvid::SharedWord* skipRate) override;
    std::int32_t SetStartPos(std::int32_t gop) override;
    std::int32_t SetGroupEndTarget(korvid::SharedByte* groupEnd) override;
    std::int32_t ResumeReading() override;
    std::int32_t SetPictureIndexSource(korvid::SharedWord* pictureIndex) override;
    std::int32_t GetCurrTime(std::uint16_t* year, std::uint16_t* month, std::uint16_t* day,
                             std::uint16_t* hour, std::uint16_t* minute, std::uint16_t* second) override;
    std::int32_t SetOptionWord6(std::int32_t a, std::int16_t b) override;
    std::int32_t SetOptionWord5(std::int16_t value) override;
    std::int32_t SetPacketHeaderMagicCode(std::uint8_t code1, std::uint8_t code2,
                                          std::uint8_t code3) override;
    std::int32_t SetOptionWord7(std::int16_t value) override;
    std::int32_t EnableFrameIndex() override;
    std::int32_t SetHighSpeed(std::int32_t rate, std::int32_t system) override;
    std::int32_t Get3DimensionValue(std::int32_t* x, std::int32_t* y, std::int32_t* z) override;
    std::int32_t GetGpsInformation(std::uint16_t latitude[4], std::uint16_t longitude[4]) override;
    std::int32_t CreateStreams(std::int16_t kind) override;
    std::int32_t GetSpeedInformation(std::int32_t* speed) override;
    std::int32_t GetFrameIndex(std::int32_t* frameIndex) override;
    std::int32_t SetKindOfFile(std::int16_t kind) override;
    std::int32_t SetFirstFrameEvent(korvid::Event* event) override;

    // ---- element side
    // Standalone use: configures everything from the recording's header, as
    // the viewer would. False with a message when that is impossible.
    bool configureFromFile(const char* location, std::string& error);
    // Whether playback can start; false with a message if not.
    bool readyToStart(std::string& error) const;
    bool hasStreams() const { return engine() != nullptr; }
    void openIfNoFile(const char* path);
    void setStopping(bool on);
    bool activateVideo(bool active);
    bool activateAudio(bool active);
    void pipelineRunning();
    GstCaps* padCaps(GstPad* pad) const;

private:
    CPlayEngine* engine() const { return engine_.load(); }

    GstElement* element_;
    GstPad* videoPad_;
    GstPad* audioPad_;
    std::mutex createMutex_;
    std::unique_ptr<CPlayEngine> engineOwner_;
    std::atomic<CPlayEngine*> engine_{nullptr};
    std::unique_ptr<CHexmoorVideoPin> videoPin_;
    std::unique_ptr<CHexmoorAudioPin> audioPin_;
    std::atomic<bool> stopping_{false};
    unsigned groupId_ = 0;

    std::uint8_t mode_ = korvid::kPlay;
    std::uint8_t previousMode_ = korvid::kPlay;
    std::int32_t lastRate_ = 1;
    std::int16_t temporary_ = 0;  // option word 7, kept here as well
};

}  // namespace hexmoor
