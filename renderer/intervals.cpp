#include "intervals.h"

#include <cmath>

namespace pexaro {

std::optional<int> IntervalFromRate(double picturesPerSecond) {
    if (!(picturesPerSecond > 0)) return std::nullopt;
    const double ms = 1000.0 / picturesPerSecond;
    if (ms > 1e9) return std::nullopt;
    // 1000 / 0.2 must give 5000, not 4999.
    return static_cast<int>(std::floor(ms + 1e-6));
}

std::optional<RatePacing> PacingForRateCode(int rateCode, int videoType) {
    const auto rate = korvid::LookupRateCode(rateCode, videoType);
    if (!rate) return std::nullopt;
    const auto interval = IntervalFromRate(rate->picturesPerSecond);
    if (!interval) return std::nullopt;
    return RatePacing{*rate, *interval};
}

int IntervalForSkipRate(int baseMs, int skipRate, bool slow) {
    switch (skipRate) {
    case 1: return baseMs;
    case 2: return baseMs / 2;
    case 4: return slow ? baseMs / 4 : baseMs * 2;
    case 8: return slow ? baseMs / 8 : baseMs;
    case 16: return slow ? baseMs / 16 : baseMs / 2;
    case 32: return slow ? baseMs / 32 : baseMs / 2;
    default: return baseMs;
    }
}

}  // namespace pexaro
