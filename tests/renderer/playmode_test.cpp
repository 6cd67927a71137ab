#include "playmodetable.h"

#include "sharedwords.h"

#include <gtest/gtest.h>

using namespace pexaro;
using namespace korvid;

namespace {

struct Row {
    std::uint8_t mode;  // before the change
    int reverse;
    int skipCopy;  // skip-rate copy before the change
    int requested;
    bool resync, flush, request, step;
    int reverseAfter;
    std::uint8_t modeAfter;
};

// The change table, row by row and its conditions one at a time.
const Row kRows[] = {
    // play
    {kPause, 0, 1, kPlay, false, false, false, false, 0, kPlay},
    {kRewind, 1, 1, kPlay, true, false, true, false, 0, kPlay},
    {kFastForward, 0, 4, kPlay, true, true, true, false, 0, kPlay},
    {kRewind, 1, 8, kPlay, true, true, true, false, 0, kPlay},
    {kPause, 0, 4, kPlay, false, true, true, false, 0, kPlay},
    {kFastForward, 0, 2, kPlay, false, false, false, false, 0, kPlay},
    // pause, stop
    {kPlay, 1, 8, kPause, false, false, false, false, 1, kPause},
    {kPlay, 0, 1, kStop, false, false, true, false, 0, kStop},
    // fast forward
    {kPlay, 0, 2, kFastForward, true, false, true, false, 0, kFastForward},
    {kPlay, 1, 1, kFastForward, true, false, true, false, 0, kFastForward},
    {kFastForward, 0, 4, kFastForward, true, false, true, false, 0, kFastForward},
    {kRewind, 1, 8, kFastForward, true, true, true, false, 0, kFastForward},
    {kPlay, 0, 1, kFastForward, false, false, true, false, 0, kFastForward},
    // rewind
    {kPlay, 0, 1, kRewind, true, false, true, false, 1, kRewind},
    {kRewind, 1, 1, kRewind, false, false, true, false, 1, kRewind},
    {kRewind, 1, 2, kRewind, true, false, true, false, 1, kRewind},
    {kRewind, 1, 4, kRewind, true, true, true, false, 1, kRewind},
    // next and previous picture
    {kPause, 0, 1, kNextPicture, false, false, true, true, 0, kNextPicture},
    {kPreviousPicture, 1, 1, kNextPicture, true, false, true, true, 0, kNextPicture},
    {kFastForward, 0, 8, kNextPicture, true, true, true, true, 0, kNextPicture},
    {kPause, 0, 1, kPreviousPicture, true, false, true, true, 1, kPreviousPicture},
    {kPreviousPicture, 1, 1, kPreviousPicture, false, false, true, true, 1, kPreviousPicture},
    {kPause, 1, 8, kPreviousPicture, false, true, true, true, 1, kPreviousPicture},
    // unknown modes keep everything but direction history and skip rate
    {kFastForward, 1, 1, 7, false, false, false, false, 1, kFastForward},
};

}  // namespace

TEST(PlayModeTable, EveryRowOfTheChangeTable) {
    for (size_t i = 0; i < std::size(kRows); ++i) {
        const Row& r = kRows[i];
        SCOPED_TRACE(i);
        PlayModeState s;
        s.mode = r.mode;
        s.reverse = r.reverse;
        s.skipRateCopy = r.skipCopy;
        s.currentInterval = 20;
        ApplyPlayModeChange(s, r.requested, 16, 33);
        EXPECT_EQ(s.resync, r.resync);
        EXPECT_EQ(s.flush, r.flush);
        EXPECT_EQ(s.request, r.request);
        EXPECT_EQ(s.stepPending, r.step);
        EXPECT_EQ(s.reverse, r.reverseAfter);
        EXPECT_EQ(s.mode, r.modeAfter);
        EXPECT_EQ(s.previousReverse, r.reverse);
        EXPECT_EQ(s.skipRateCopy, 16);
        // Play, stop and the steps restart from the base interval.
        const bool resetsInterval = r.requested == kPlay || r.requested == kStop ||
                                    r.requested == kNextPicture || r.requested == kPreviousPicture;
        EXPECT_EQ(s.currentInterval, resetsInterval ? 33 : 20);
    }
}

TEST(PlayModeTable, OnlyTheLowByteOfTheRequestCounts) {
    PlayModeState s;
    ApplyPlayModeChange(s, 0x103, 1, 33);
    EXPECT_EQ(s.mode, kFastForward);
}
