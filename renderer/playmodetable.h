// How a play-mode request changes the renderer's direction and its
// flush/resync/step flags.
#pragma once

#include <cstdint>

namespace pexaro {

struct PlayModeState {
    std::uint8_t mode = 1;  // starts paused
    int reverse = 0;
    int previousReverse = 0;
    int skipRateCopy = 0;
    bool resync = false;
    bool flush = false;
    bool request = false;
    bool stepPending = false;
    int currentInterval = 64;
};

// `requested` is the caller's value (only its low byte counts);
// `sharedSkipRate` the skip-rate word now; `baseInterval` in ms.
void ApplyPlayModeChange(PlayModeState& s, int requested, int sharedSkipRate, int baseInterval);

}  // namespace pexaro
