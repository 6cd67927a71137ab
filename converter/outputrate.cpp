#include "outputrate.h"

namespace vantrex {

namespace {

struct Row {
    std::uint32_t code;
    OutputRate thirty;  // num 0: the code itself
    OutputRate twentyFive;
};

constexpr Row kRows[] = {
    {1, {30, 1}, {25, 1}}, {2, {15, 1}, {25, 2}},   {3, {10, 1}, {8, 1}},    {4, {6, 1}, {6, 1}},
    {5, {6, 1}, {5, 1}},   {8, {0, 1}, {3, 1}},     {10, {3, 1}, {3, 1}},    {25, {1, 1}, {1, 1}},
    {30, {1, 1}, {1, 1}},  {50, {1, 2}, {1, 2}},    {60, {1, 2}, {1, 2}},    {125, {1, 5}, {1, 5}},
    {150, {1, 5}, {1, 5}}, {250, {1, 10}, {1, 10}}, {300, {1, 10}, {1, 10}},
};

}  // namespace

OutputRate outputRateFor(std::uint32_t rateCode, std::uint32_t height) {
    const bool family25 = height == 144 || height == 288 || height == 576;
    for (const Row& r : kRows) {
        if (r.code != rateCode) continue;
        const OutputRate& o = family25 ? r.twentyFive : r.thirty;
        if (o.num) return o;
        break;
    }
    // Codes outside the table are pictures per second; nonsense falls back to the family's full rate.
    if (rateCode >= 1 && rateCode <= 60) return {int(rateCode), 1};
    return family25 ? OutputRate{25, 1} : OutputRate{30, 1};
}

}  // namespace vantrex
