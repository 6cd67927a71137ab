// Recorder frame-rate codes, the pacing block of each, and the picture
// interval by skip rate.
#pragma once

#include <optional>

namespace pexaro {

struct RateEntry {
    double picturesPerSecond;
    int blockPictures;  // pictures per rate-adaptation block
    int blockMs;        // duration of one block
    bool slow;          // one picture per second or slower
};

// Nothing for codes the recorder does not define.
std::optional<RateEntry> LookupRateCode(int rateCode, int videoType);

// 1000 / rate, truncated; rates of 0 or less give nothing.
std::optional<int> IntervalFromRate(double picturesPerSecond);

// Interval used after a group swap, from the base interval and the render
// skip rate; unlisted skip rates keep the base.
int IntervalForSkipRate(int baseMs, int skipRate, bool slow);

}  // namespace pexaro
