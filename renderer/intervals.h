// The renderer's picture interval: from a picture rate, from the recorder's
// rate code, and by skip rate after a group swap.
#pragma once

#include "ratetable.h"

#include <optional>

namespace pexaro {

// 1000 / rate, truncated; rates of 0 or less give nothing.
std::optional<int> IntervalFromRate(double picturesPerSecond);

// What SetRateCode takes over: the code's rate, block and slow mode, and the
// base interval that follows from the rate.
struct RatePacing {
    korvid::RateCodeEntry rate;
    int baseIntervalMs;
};
// Nothing for codes the recorder does not define.
std::optional<RatePacing> PacingForRateCode(int rateCode, int videoType);

// Interval used after a group swap, from the base interval and the render
// skip rate; unlisted skip rates keep the base.
int IntervalForSkipRate(int baseMs, int skipRate, bool slow);

}  // namespace pexaro
