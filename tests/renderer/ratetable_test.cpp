#include "ratetable.h"

#include <gtest/gtest.h>

using namespace pexaro;

TEST(RateTable, EveryCodeOfBothFamilies) {
    const struct {
        int type, code;
        double f;
        int pictures, ms;
        bool slow;
        int interval;
    } rows[] = {
        {0, 1, 30, 30, 1000, false, 33},    {0, 2, 15, 15, 1000, false, 66},      {0, 3, 10, 10, 1000, false, 100},
        {0, 5, 6, 6, 1000, false, 166},     {0, 10, 3, 3, 1000, false, 333},      {0, 30, 1, 1, 1000, true, 1000},
        {0, 60, 0.5, 1, 2000, true, 2000},  {0, 150, 0.2, 1, 5000, true, 5000},   {0, 300, 0.1, 1, 10000, true, 10000},
        {1, 1, 25, 25, 1000, false, 40},    {1, 2, 12.5, 25, 2000, false, 80},    {1, 3, 8, 8, 1000, false, 125},
        {1, 4, 6, 6, 1000, false, 166},     {1, 5, 5, 5, 1000, false, 200},       {1, 8, 3, 3, 1000, false, 333},
        {1, 25, 1, 1, 1000, true, 1000},    {1, 50, 0.5, 1, 2000, true, 2000},    {1, 125, 0.2, 1, 5000, true, 5000},
        {1, 250, 0.1, 1, 10000, true, 10000},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " code " << r.code);
        const auto e = LookupRateCode(r.code, r.type);
        ASSERT_TRUE(e);
        EXPECT_DOUBLE_EQ(e->picturesPerSecond, r.f);
        EXPECT_EQ(e->blockPictures, r.pictures);
        EXPECT_EQ(e->blockMs, r.ms);
        EXPECT_EQ(e->slow, r.slow);
        EXPECT_EQ(IntervalFromRate(e->picturesPerSecond), r.interval);
    }
}

TEST(RateTable, UnlistedCodesAndRatesGiveNothing) {
    EXPECT_FALSE(LookupRateCode(8, 0));  // the viewer sends it; the current rate stays
    EXPECT_FALSE(LookupRateCode(1, 2));
    EXPECT_FALSE(IntervalFromRate(0));
    EXPECT_FALSE(IntervalFromRate(-5));
}

TEST(RateTable, IntervalBySkipRate) {
    const int rates[] = {1, 2, 4, 8, 16, 32, 3};
    const int normal[] = {33, 16, 66, 33, 16, 16, 33};
    const int slow[] = {2000, 1000, 500, 250, 125, 62, 2000};
    for (size_t i = 0; i < std::size(rates); ++i) {
        EXPECT_EQ(IntervalForSkipRate(33, rates[i], false), normal[i]) << rates[i];
        EXPECT_EQ(IntervalForSkipRate(2000, rates[i], true), slow[i]) << rates[i];
    }
}
