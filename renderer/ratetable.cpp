#include "ratetable.h"

#include <cmath>

namespace pexaro {

namespace {

struct Row {
    int type;
    int code;
    RateEntry entry;
};

constexpr Row kRows[] = {
    {0, 1, {30, 30, 1000, false}},   {0, 2, {15, 15, 1000, false}},  {0, 3, {10, 10, 1000, false}},
    {0, 5, {6, 6, 1000, false}},     {0, 10, {3, 3, 1000, false}},   {0, 30, {1, 1, 1000, true}},
    {0, 60, {0.5, 1, 2000, true}},   {0, 150, {0.2, 1, 5000, true}}, {0, 300, {0.1, 1, 10000, true}},
    {1, 1, {25, 25, 1000, false}},   {1, 2, {12.5, 25, 2000, false}}, {1, 3, {8, 8, 1000, false}},
    {1, 4, {6, 6, 1000, false}},     {1, 5, {5, 5, 1000, false}},    {1, 8, {3, 3, 1000, false}},
    {1, 25, {1, 1, 1000, true}},     {1, 50, {0.5, 1, 2000, true}},  {1, 125, {0.2, 1, 5000, true}},
    {1, 250, {0.1, 1, 10000, true}},
};

}  // namespace

std::optional<RateEntry> LookupRateCode(int rateCode, int videoType) {
    for (const Row& row : kRows)
        if (row.type == videoType && row.code == rateCode) return row.entry;
    return std::nullopt;
}

std::optional<int> IntervalFromRate(double picturesPerSecond) {
    if (!(picturesPerSecond > 0)) return std::nullopt;
    const double ms = 1000.0 / picturesPerSecond;
    if (ms > 1e9) return std::nullopt;
    // 1000 / 0.2 must give 5000, not 4999.
    return static_cast<int>(std::floor(ms + 1e-6));
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
