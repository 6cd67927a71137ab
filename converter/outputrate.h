// The picture rate of an exported clip, from the header's rate index and the
// picture height.
#pragma once

#include <cstdint>

namespace vantrex {

struct OutputRate {
    int num = 30;  // pictures per `den` seconds
    int den = 1;
    double fps() const { return double(num) / den; }
};

// rateCode is the header's rate index plus one; heights 144, 288 and 576
// use the 25-based rates, all others the 30-based ones.
OutputRate outputRateFor(std::uint32_t rateCode, std::uint32_t height);

}  // namespace vantrex
