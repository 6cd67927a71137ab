// Control interface of the hexmoorsrc element. A program that drives the
// element (the viewer) needs only this header: it takes the implementation
// from the element's read-only "control" pointer property,
//
//     korvid::IHexmoorControl* ctl = nullptr;
//     g_object_get(element, "control", &ctl, NULL);
//
// and keeps the element alive (holds a reference) while it uses the pointer.
// Results: 0 for success; -1 when the streaming objects do not exist yet
// (CreateStreams not called); getters then fill zeros and return 1.
// Pointers and events handed in belong to the caller, who keeps them alive
// while the element exists; the element never frees them.
#pragma once

#include "event.h"
#include "sharedwords.h"

#include <cstdint>

namespace korvid {

// CreateStreams' failure result (out of memory).
constexpr std::int32_t kHexmoorOutOfMemory = std::int32_t(0x8007000E);

class IHexmoorControl {
public:
    // Frame rate 0 or above 30 counts as 30. Width and height must be positive.
    virtual std::int32_t SetVideoInfo(std::uint8_t frameRate, std::int16_t width, std::int16_t height,
                                      std::uint8_t gopMode) = 0;
    virtual std::int32_t GetWaitTimeout(std::int32_t* milliseconds) = 0;  // 200 until set
    virtual std::int32_t SetWaitTimeout(std::int32_t milliseconds) = 0;
    virtual std::int32_t GetAudioWaitTimeout(std::int32_t* milliseconds) = 0;  // 500 until set
    virtual std::int32_t SetAudioWaitTimeout(std::int32_t milliseconds) = 0;
    virtual std::int32_t ReservedMethod1() = 0;
    virtual std::int32_t SetStreamOption(std::int32_t value) = 0;
    virtual std::int32_t SetNoPacing(std::int32_t on) = 0;
    virtual std::int32_t GetVideoQueueCount(std::int32_t* count) = 0;
    virtual std::int32_t GetAudioQueueCount(std::int32_t* count) = 0;
    virtual std::int32_t FlushQueues() = 0;
    // Set once playback of the file has ended and every picture was delivered.
    virtual std::int32_t SetMediaStopEvent(Event* event) = 0;
    virtual std::int32_t SetAudioType(std::uint8_t kind) = 0;  // 0 PCM, 1 Microsoft ADPCM
    virtual std::int32_t OpenFile(const char* path) = 0;
    virtual std::int32_t ReservedMethod2() = 0;
    virtual std::int32_t ReservedMethod3() = 0;
    virtual std::int32_t SetOptionWord2(std::int32_t value) = 0;
    virtual std::int32_t SetParsingDelivery(std::int32_t on) = 0;
    // The element writes 256 cell bytes (0 or 1) into map and sets *motionFlag to 1.
    virtual std::int32_t SetMotionMapTarget(SharedWord* motionFlag, SharedByte* map) = 0;
    virtual std::int32_t ClearMotionMapTarget() = 0;
    virtual std::int32_t EnableMotionMap() = 0;
    virtual std::int32_t DisableMotionMap() = 0;
    virtual std::int32_t SetEventMarkTarget(SharedByte* mark) = 0;
    virtual std::int32_t SetPlayMode(std::uint8_t mode) = 0;              // korvid::PlayMode
    virtual std::int32_t SetOptionWord4(SharedWord* deliveryEnable) = 0;  // kept, never read through
    virtual std::int32_t SetSkipRateSource(SharedWord* skipRate) = 0;
    virtual std::int32_t SetStartPos(std::int32_t gop) = 0;
    virtual std::int32_t SetGroupEndTarget(SharedByte* groupEnd) = 0;
    virtual std::int32_t ResumeReading() = 0;
    virtual std::int32_t SetPictureIndexSource(SharedWord* pictureIndex) = 0;
    virtual std::int32_t GetCurrTime(std::uint16_t* year, std::uint16_t* month, std::uint16_t* day,
                                     std::uint16_t* hour, std::uint16_t* minute, std::uint16_t* second) = 0;
    virtual std::int32_t SetOptionWord6(std::int32_t a, std::int16_t b) = 0;
    virtual std::int32_t SetOptionWord5(std::int16_t value) = 0;
    virtual std::int32_t SetPacketHeaderMagicCode(std::uint8_t code1, std::uint8_t code2,
                                                  std::uint8_t code3) = 0;
    virtual std::int32_t SetOptionWord7(std::int16_t value) = 0;
    virtual std::int32_t EnableFrameIndex() = 0;
    virtual std::int32_t SetHighSpeed(std::int32_t rate, std::int32_t system) = 0;
    virtual std::int32_t Get3DimensionValue(std::int32_t* x, std::int32_t* y, std::int32_t* z) = 0;
    virtual std::int32_t GetGpsInformation(std::uint16_t latitude[4], std::uint16_t longitude[4]) = 0;
    virtual std::int32_t CreateStreams(std::int16_t kind) = 0;  // 0 or kHexmoorOutOfMemory
    virtual std::int32_t GetSpeedInformation(std::int32_t* speed) = 0;
    virtual std::int32_t GetFrameIndex(std::int32_t* frameIndex) = 0;
    virtual std::int32_t SetKindOfFile(std::int16_t kind) = 0;
    virtual std::int32_t SetFirstFrameEvent(Event* event) = 0;

protected:
    ~IHexmoorControl() = default;  // owned by the element, never deleted through this interface
};

}  // namespace korvid
