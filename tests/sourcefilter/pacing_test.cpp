// Which groups the video pad holds to the recording's rate. At one picture a
// second a paced group of five takes four seconds, so a group that comes in
// whole long before that went out unpaced, and one still incomplete after a
// second and a half is paced.
#include "harness.h"

#include <gtest/gtest.h>

using namespace hxtest;
using namespace std::chrono;

namespace {

Config slowPaced(const std::string& path) {
    Config s;
    s.path = path;
    s.fps = 1;
    s.noPacing = false;
    s.answer = false;
    return s;
}

}  // namespace

TEST(Pacing, TheFirstGroupGoesOutAtOnceAndTheNextAtTheRecordingsRate) {
    testrec::TempDir dir;
    Harness h(slowPaced(writeRecording(dir, "slow.qmr3", smallRecording(1, 5, 15))));
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1, seconds(3)));
    EXPECT_EQ(h.frames(), upTo(5));
    h.setAnswering(true);
    h.resumeNow();
    EXPECT_FALSE(h.waitGroupEnds(2, milliseconds(1500)));
    ASSERT_TRUE(h.waitGroupEnds(2, seconds(20)));
    EXPECT_EQ(groupEndFrames(h.pictures()), (std::vector<long>{4, 9}));
    EXPECT_TRUE(h.stopWithin(seconds(5)));
}

TEST(Pacing, TheGroupAJumpLandsOnGoesOutAtOnce) {
    testrec::TempDir dir;
    Harness h(slowPaced(writeRecording(dir, "jump.qmr3", smallRecording(1, 5, 30))));
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1, seconds(3)));
    h.control()->SetStartPos(4);
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2, seconds(3)));
    EXPECT_EQ(groupEndFrames(h.pictures()), (std::vector<long>{4, 24}));
    EXPECT_EQ(rendererView(h.pictures()), (std::vector<long>{0, 1, 2, 3, 4, 20, 21, 22, 23, 24}));
    EXPECT_TRUE(h.stopWithin(seconds(5)));
}

TEST(Pacing, SingleStepsGetTheirGroupsAtOnce) {
    testrec::TempDir dir;
    const std::string path = writeRecording(dir, "steps.qmr3", smallRecording(1, 5, 15));
    for (std::uint8_t mode : {korvid::kNextPicture, korvid::kPreviousPicture}) {
        Config s = slowPaced(path);
        s.mode = mode;
        s.answer = true;
        s.startGop = mode == korvid::kNextPicture ? 0 : 2;
        Harness h(s);
        ASSERT_TRUE(h.start());
        // Three groups: paced, the two after the first would take eight seconds.
        ASSERT_TRUE(h.waitGroupEnds(3, seconds(4))) << int(mode);
        EXPECT_TRUE(h.stopWithin(seconds(5)));
    }
}

TEST(Pacing, PlayAfterAStepIsPacedAgain) {
    testrec::TempDir dir;
    Config s = slowPaced(writeRecording(dir, "again.qmr3", smallRecording(1, 5, 20)));
    s.mode = korvid::kNextPicture;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1, seconds(3)));
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2, seconds(3)));
    // Latched at the next group end: the group after it plays at the recording's rate.
    h.control()->SetPlayMode(korvid::kPlay);
    h.setAnswering(true);
    h.resumeNow();
    EXPECT_FALSE(h.waitGroupEnds(3, milliseconds(1500)));
    ASSERT_TRUE(h.waitGroupEnds(3, seconds(20)));
    EXPECT_EQ(groupEndFrames(h.pictures()), (std::vector<long>{4, 9, 14}));
    EXPECT_TRUE(h.stopWithin(seconds(5)));
}
