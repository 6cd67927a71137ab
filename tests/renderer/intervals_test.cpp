#include "intervals.h"

#include <gtest/gtest.h>

using namespace pexaro;

TEST(Intervals, RatesOfZeroOrLessAndUnknownCodesGiveNothing) {
    EXPECT_FALSE(IntervalFromRate(0));
    EXPECT_FALSE(IntervalFromRate(-5));
    EXPECT_FALSE(PacingForRateCode(7, 0));
    EXPECT_FALSE(PacingForRateCode(1, 2));
    // Truncated, and exact where the rate divides a second evenly.
    EXPECT_EQ(IntervalFromRate(30), 33);
    EXPECT_EQ(IntervalFromRate(0.2), 5000);
}

TEST(Intervals, IntervalBySkipRate) {
    const int rates[] = {1, 2, 4, 8, 16, 32, 3};
    const int normal[] = {33, 16, 66, 33, 16, 16, 33};
    const int slow[] = {2000, 1000, 500, 250, 125, 62, 2000};
    for (size_t i = 0; i < std::size(rates); ++i) {
        EXPECT_EQ(IntervalForSkipRate(33, rates[i], false), normal[i]) << rates[i];
        EXPECT_EQ(IntervalForSkipRate(2000, rates[i], true), slow[i]) << rates[i];
    }
}
