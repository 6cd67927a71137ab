// Stepping forward from a paused picture shows the next picture at every
// press, over group boundaries too, and a seek after stepping back plays the
// group asked for; observed through the frame numbers.
#include "viewerfixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vwtest;

TEST(StepForward, EachPressShowsTheNextPictureAcrossGroupBoundaries) {
    Viewer v;
    const auto path = v.write("forward.qmr3", recording(30, 15, 20));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 40; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    ASSERT_GE(held, 40);
    // A step back first, as a reviewer looking around a moment does.
    std::size_t mark = v.presented();
    v.ctl.SeekToPrevFrame();
    ASSERT_TRUE(v.waitFrame([&](long f) { return f == held - 1; }, 10s)) << Show(v.framesFrom(mark));
    ASSERT_EQ(Settle(v, 300ms), held - 1);
    // Over two group starts, one press at a time, then back over the first of them.
    const long until = (held / 15 + 2) * 15 + 2;
    std::vector<long> seen;
    for (long want = held; want <= until; ++want) {
        mark = v.presented();
        v.ctl.SeekToNextFrame();
        ASSERT_TRUE(v.waitFrame([&](long f) { return f == want; }, 10s))
            << "pressed at " << want - 1 << ": " << Show(v.framesFrom(mark));
        const long now = Settle(v, 300ms);
        EXPECT_EQ(now, want) << Show(v.framesFrom(mark));
        seen.push_back(now);
    }
    EXPECT_EQ(seen.size(), std::size_t(until - held + 1));
    const long groupStart = until - 2;
    for (long want = until - 1; want >= groupStart - 1; --want) {
        mark = v.presented();
        v.ctl.SeekToPrevFrame();
        ASSERT_TRUE(v.waitFrame([&](long f) { return f == want; }, 10s))
            << "pressed back at " << want + 1 << ": " << Show(v.framesFrom(mark));
        EXPECT_EQ(Settle(v, 300ms), want) << Show(v.framesFrom(mark));
    }
}

TEST(StepForward, ASeekAfterAStepBackAtAGroupStartPlaysFromTheGroupAskedFor) {
    Viewer v;
    const auto path = v.write("seek.qmr3", recording(30, 15, 20));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 40; }));
    v.ctl.SeekToPause();
    long held = Settle(v, 300ms);
    while (held % 15 != 0) {
        v.ctl.SeekToNextFrame();
        ASSERT_TRUE(v.waitFrame([&](long f) { return f == held + 1; }, 10s)) << held;
        held = Settle(v, 100ms);
    }
    // Back over the group start: the group before is read, and the one before that follows.
    v.ctl.SeekToPrevFrame();
    ASSERT_TRUE(v.waitFrame([&](long f) { return f == held - 1; }, 10s));
    Settle(v, 100ms);
    // The slider's seek, as the player makes it: position, then play.
    const std::size_t mark = v.presented();
    ASSERT_TRUE(v.ctl.SetSpecificPos(30));
    v.ctl.SeekToPlay();
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 470; }, 10s)) << Show(v.framesFrom(mark));
    const auto after = Distinct(v.framesFrom(mark));
    // Nothing read for the step back comes on screen, and the asked-for group is played whole.
    const auto first = std::find_if(after.begin(), after.end(), [&](long f) { return f != held - 1; });
    ASSERT_NE(first, after.end());
    EXPECT_EQ(*first, 450) << Show(after);
    for (auto it = first + 1; it != after.end(); ++it) EXPECT_EQ(*it, *(it - 1) + 1) << Show(after);
}
