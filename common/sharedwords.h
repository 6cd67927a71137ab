// Play-mode codes and the words that the source and the renderer share. The
// viewer owns the words and hands out pointers; each word is written by one
// side and read by the other, so each is an atomic of its own.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvid {

enum PlayMode : std::uint8_t {
    kPlay = 0,
    kPause = 1,
    kStop = 2,
    kFastForward = 3,
    kRewind = 4,
    kNextPicture = 5,
    kPreviousPicture = 6,
};

using SharedByte = std::atomic<std::uint8_t>;
using SharedWord = std::atomic<std::int32_t>;

constexpr int kMotionMapCells = 256;

struct SharedWords {
    SharedByte groupEnd{0};        // the source sets 1 with the last picture of a group
    SharedWord deliveryEnable{0};  // the renderer takes pictures only while non-zero
    SharedWord skipRate{1};        // 1, 2, 4, 8, 16 (32 accepted)
    SharedWord pictureIndex{0};    // read position of the picture shown
    SharedByte eventMark{0};       // low nibble of the current picture's flags
    SharedWord motionFlag{0};
    std::atomic<std::uint8_t> motionMap[kMotionMapCells] = {};
};

}  // namespace korvid
