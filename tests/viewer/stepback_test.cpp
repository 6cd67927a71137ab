// Stepping back and slow rewind show every picture, the groups' first ones
// included, observed through the frame numbers of the presented pictures.
#include "viewerfixture.h"

#include <gtest/gtest.h>

#include <string>

using namespace vwtest;

namespace {

std::vector<long> Countdown(long from, long to) {
    std::vector<long> v;
    for (long f = from; f >= to; --f) v.push_back(f);
    return v;
}

}  // namespace

TEST(StepBack, EachPressShowsThePictureJustBeforeAcrossGroupStarts) {
    Viewer v;
    const auto path = v.write("steps.qmr3", recording(10, 10, 20));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 44; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    ASSERT_GE(held, 44);
    // Back over the group starts 40, 30 and 20, one press at a time.
    const long last = held - 26;
    std::vector<long> seen;
    for (long want = held - 1; want >= last; --want) {
        const std::size_t mark = v.presented();
        v.ctl.SeekToPrevFrame();
        ASSERT_TRUE(v.waitFrame([&](long f) { return f == want; }, 10s))
            << "pressed from " << want + 1 << ": " << Show(v.framesFrom(mark));
        const long now = Settle(v, 300ms);
        EXPECT_EQ(now, want) << Show(v.framesFrom(mark));
        seen.push_back(now);
    }
    EXPECT_EQ(seen, Countdown(held - 1, last));
}

TEST(StepBack, APressMidGroupPresentsOnlyThePictureBefore) {
    Viewer v;
    const auto path = v.write("stepmid.qmr3", recording(10, 10, 10));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 24; }));
    v.ctl.SeekToPause();
    long held = Settle(v);
    // Forward to the middle of a group, so the picture before is in the set on screen.
    while (held % 10 != 5) {
        v.ctl.SeekToNextFrame();
        ASSERT_TRUE(v.waitFrame([&](long f) { return f == held + 1; }, 10s));
        held = Settle(v, 300ms);
    }
    for (long want = held - 1; want >= held - 3; --want) {
        const std::size_t mark = v.presented();
        v.ctl.SeekToPrevFrame();
        ASSERT_TRUE(v.waitFrame([&](long f) { return f == want; }, 10s)) << Show(v.framesFrom(mark));
        Settle(v, 300ms);
        // The picture on screen is not presented again on the way.
        EXPECT_EQ(v.framesFrom(mark), std::vector<long>{want});
    }
}

class SlowRewind : public ::testing::TestWithParam<short> {};

TEST_P(SlowRewind, ShowsEveryPictureDownToTheStart) {
    const short rate = GetParam();
    Viewer v;
    const auto path = v.write("rewind.qmr3", recording(10, 10, 20));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 45; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    const std::size_t mark = v.presented();
    v.ctl.SeekToRew(rate);
    ASSERT_EQ(v.ctl.GetSkipRate(), rate);
    ASSERT_TRUE(v.waitFrame([](long f) { return f == 0; }, 30s)) << Show(v.framesFrom(mark));
    Settle(v);
    // Every picture once, from the one before the paused one (which is not
    // shown again as the rewind starts) down to 0.
    EXPECT_EQ(Distinct(v.framesFrom(mark)), Countdown(held - 1, 0)) << held;
}

INSTANTIATE_TEST_SUITE_P(OneAndTwoTimes, SlowRewind, ::testing::Values(short(1), short(2)));
