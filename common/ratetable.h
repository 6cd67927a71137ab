// The recorder's frame-rate tables, each fact in one row.
//
// A recording's header holds a rate index (offset 4) and a video type (the
// family: 0 = 30 pictures per second, 1 = 25). The viewer turns the rate
// number (rate index + 1) into the whole pictures per second the source
// paces at and the rate code it hands to the renderer; the renderer turns the
// rate code into its picture rate, its rate-adaptation block and slow mode.
#pragma once

#include <optional>
#include <vector>

namespace korvid {

struct RateNumberEntry {
    int picturesPerSecond;  // whole pictures per second, what the source paces at
    int rateCode;           // what the renderer is given
};

// Nothing for numbers the recorder does not define and for unknown families.
std::optional<RateNumberEntry> LookupRateNumber(int rateNumber, int videoType);

struct RateCodeEntry {
    double picturesPerSecond;
    int blockPictures;  // pictures per rate-adaptation block
    int blockMs;        // duration of one block
    bool slow;          // one picture per second or slower
};

// Nothing for codes the recorder does not define and for unknown families.
std::optional<RateCodeEntry> LookupRateCode(int rateCode, int videoType);

// The smallest header rate index whose rate number paces at `picturesPerSecond`;
// nothing when the family has no such rate.
std::optional<int> RateIndexForPicturesPerSecond(int picturesPerSecond, int videoType);

// Every rate number the recorder defines, in increasing order.
std::vector<int> RateNumbers();

}  // namespace korvid
