// Trick play through the hand-shake: fast forward and fast rewind batches,
// rewind group by group, frame steps, jumps during playback, leaving a fast
// mode, and the high-speed case.
#include "harness.h"

#include <gtest/gtest.h>

using namespace hxtest;
using namespace std::chrono;

namespace {

// Fast modes: the first picture of up to nine GOPs (every second GOP at 32),
// the last of them twice more; at the end of the table the last one delivered
// closes the batch.
std::vector<long> fastOrder(long gops, long gop, long step, long first) {
    std::vector<long> v;
    long pos = first;
    bool fresh = true;
    for (;;) {
        std::vector<long> batch;
        for (int i = 0; i < 9; ++i) {
            const long g = fresh ? pos : pos + step;
            fresh = false;
            if (g < 0 || g >= gops) {
                v.insert(v.end(), batch.begin(), batch.end());
                return v;
            }
            pos = g;
            batch.push_back(g * gop);
        }
        v.insert(v.end(), batch.begin(), batch.end());
        v.push_back(batch.back());
        v.push_back(batch.back());
    }
}

// Rewind: GOP k read forward for k = first, first-1, ..., 0.
std::vector<long> rewindOrder(long pictures, long gop, long first) {
    std::vector<long> v;
    for (long g = first; g >= 0; --g) {
        for (long f = g * gop; f < std::min(pictures, (g + 1) * gop); ++f) v.push_back(f);
        if ((g + 1) * gop < pictures) {
            v.push_back((g + 1) * gop);
            v.push_back((g + 1) * gop);
        }
    }
    return v;
}

struct FastCase {
    int speed;
    long step;
};

void PrintTo(const FastCase& c, std::ostream* os) { *os << "x" << c.speed; }

class FastForward : public ::testing::TestWithParam<FastCase> {};

}  // namespace

TEST_P(FastForward, DeliversTheFirstPictureOfEachGop) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "ff.qmr3", smallRecording(10, 2, 8));  // 40 GOPs of 2
    s.mode = korvid::kFastForward;
    s.skipRate = GetParam().speed;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    const auto expected = fastOrder(40, 2, GetParam().step, 0);
    EXPECT_EQ(h.frames(), expected);
    for (const Picture& p : h.pictures()) EXPECT_TRUE(p.intra) << p.frame;
    // Each batch ends at the first extra copy of its last picture.
    const auto ends = groupEndFrames(h.pictures());
    ASSERT_FALSE(ends.empty());
    EXPECT_EQ(ends.back(), expected.back());
}

INSTANTIATE_TEST_SUITE_P(Speeds, FastForward,
                         ::testing::Values(FastCase{4, 1}, FastCase{8, 1}, FastCase{16, 1}, FastCase{32, 2}),
                         [](const auto& info) { return "x" + std::to_string(info.param.speed); });

TEST(FastRewind, DeliversGopsBackwardsToTheStart) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "fr.qmr3", smallRecording(10, 2, 8));
    s.mode = korvid::kRewind;
    s.skipRate = 4;
    s.startGop = 30;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    EXPECT_EQ(h.frames(), fastOrder(40, 2, -1, 30));
}

TEST(FastRewind, SkipsEverySecondGopAt32) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "fr32.qmr3", smallRecording(10, 2, 8));
    s.mode = korvid::kRewind;
    s.skipRate = 32;
    s.startGop = 39;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), fastOrder(40, 2, -2, 39));
}

TEST(Rewind, DeliversTheGopsFromTheCurrentOneBackwards) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "rew.qmr3", smallRecording(10, 5, 4));
    s.mode = korvid::kRewind;
    s.startGop = 6;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    EXPECT_EQ(h.frames(), rewindOrder(40, 5, 6));
    std::vector<long> openers;
    for (const auto& pass : passes(h.pictures())) openers.push_back(pass.front());
    EXPECT_EQ(openers, (std::vector<long>{30, 25, 20, 15, 10, 5, 0}));
}

TEST(Rewind, GroupsForReadingBackwardsAreNotHeldToTheRecordingsRate) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "rewpaced.qmr3", smallRecording(10, 5, 4));  // 8 GOPs
    s.fps = 1;  // paced, three groups of five would take a quarter of a minute
    s.noPacing = false;
    s.mode = korvid::kRewind;
    s.startGop = 6;
    Harness h(s);
    ASSERT_TRUE(h.start());
    // The renderer shows such a group only once all of it is in, and paces
    // its pictures itself.
    ASSERT_TRUE(h.waitGroupEnds(3, seconds(8))) << h.groupEnds();
    const auto expected = rewindOrder(40, 5, 6);
    const auto frames = h.frames();
    ASSERT_GE(frames.size(), 15u);
    EXPECT_EQ(std::vector<long>(frames.begin(), frames.begin() + 15),
              (std::vector<long>(expected.begin(), expected.begin() + 15)));
    EXPECT_TRUE(h.stopWithin(seconds(5)));
}

TEST(Rewind, TurnsBackDuringPlay) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "turn.qmr3", smallRecording(10, 5, 6));  // 12 GOPs
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2));
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(3));
    // The request takes effect at the group end the pad is waiting at.
    h.control()->SetPlayMode(korvid::kRewind);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    std::vector<long> openers;
    for (const auto& pass : passes(h.pictures())) openers.push_back(pass.front());
    // Forward up to GOP 2 (the renderer shows GOP 1 with GOP 2 read ahead).
    // Turning round, the renderer reads GOP 1 backwards itself and needs GOP 0.
    EXPECT_EQ(openers, (std::vector<long>{0, 5, 10, 0}));
}

// Rewind asked for while the pad waits at the end of the file's last group,
// read forwards: the reader turns there instead of ending the recording.
TEST(Rewind, TurnsAtTheLastGroupOfTheFile) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "end.qmr3", smallRecording(10, 5, 3));  // 6 GOPs
    s.startGop = 4;
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2));
    // The last picture of the file closed the second group; nothing has ended yet.
    EXPECT_EQ(groupEndFrames(h.pictures()), (std::vector<long>{24, 29}));
    EXPECT_EQ(h.mediaStops(), 0);
    EXPECT_FALSE(h.eos());
    h.control()->SetPlayMode(korvid::kRewind);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    std::vector<long> openers;
    for (const auto& pass : passes(h.pictures())) openers.push_back(pass.front());
    // GOP 4 is on screen with GOP 5 read ahead: the next one needed is GOP 3.
    EXPECT_EQ(openers, (std::vector<long>{20, 25, 15, 10, 5, 0}));
    EXPECT_EQ(h.mediaStops(), 1);
    EXPECT_TRUE(h.errors().empty());
}

TEST(FrameStep, StepsDeliverGroupsInTheirDirection) {
    testrec::TempDir dir;
    const std::string path = writeRecording(dir, "step.qmr3", smallRecording(10, 5, 3));
    for (std::uint8_t mode : {korvid::kNextPicture, korvid::kPreviousPicture}) {
        Config s;
        s.path = path;
        s.mode = mode;
        s.startGop = mode == korvid::kNextPicture ? 0 : 4;
        Harness h(s);
        ASSERT_TRUE(h.start());
        ASSERT_TRUE(h.waitEos());
        EXPECT_EQ(h.frames(), mode == korvid::kNextPicture ? playOrder(30, 5) : rewindOrder(30, 5, 4));
    }
}

TEST(FrameStep, StepsForwardFromPause) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "pause.qmr3", smallRecording(10, 5, 3));
    s.mode = korvid::kPause;
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    // The pad waits at the group's last picture.
    EXPECT_EQ(h.frames(), (std::vector<long>{0, 1, 2, 3, 4}));
    h.control()->SetPlayMode(korvid::kNextPicture);
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2));
    EXPECT_EQ(h.frames(), (std::vector<long>{0, 1, 2, 3, 4, 5, 5, 5, 6, 7, 8, 9}));
}

TEST(Jump, StartPosDuringPlaybackJumpsToThatGop) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "jump.qmr3", smallRecording(10, 5, 4));
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    EXPECT_EQ(h.control()->SetStartPos(6), 0);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    std::vector<long> expected = {0, 1, 2, 3, 4, 5};
    for (long f = 30; f < 40; ++f) expected.push_back(f);
    EXPECT_EQ(distinctRuns(h.frames()), expected);
}

TEST(Jump, FileKindOneJumpsToGopZero) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "jump0.qmr3", smallRecording(10, 5, 3));
    s.fileKind = 1;
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2));
    h.control()->SetStartPos(4);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    auto frames = distinctRuns(h.frames());
    // 0..10, then back to GOP 0 and on to the end.
    std::vector<long> expected = upTo(11);
    for (long f = 0; f < 30; ++f) expected.push_back(f);
    EXPECT_EQ(frames, expected);
}

TEST(LeavingFast, PlayResumesBehindTheLastFastPicture) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "leave.qmr3", smallRecording(10, 2, 8));
    s.mode = korvid::kFastForward;
    s.skipRate = 4;
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    h.resumeNow();
    ASSERT_TRUE(h.waitGroupEnds(2));
    h.words.skipRate = 1;
    h.control()->SetPlayMode(korvid::kPlay);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    const auto frames = h.frames();
    // Two fast batches, then play from an earlier GOP through to the end.
    const auto fast = fastOrder(40, 2, 1, 0);
    const std::vector<long> twoBatches(fast.begin(), fast.begin() + 22);
    ASSERT_GE(frames.size(), 22u);
    EXPECT_EQ(std::vector<long>(frames.begin(), frames.begin() + 22), twoBatches);
    const long lastFast = twoBatches.back();
    ASSERT_GT(frames.size(), 23u);
    const long resume = frames[22];
    EXPECT_LT(resume, lastFast);
    EXPECT_EQ(resume % 2, 0);
    EXPECT_EQ(std::vector<long>(frames.begin() + 22, frames.end()), playOrder(80, 2, resume / 2));
}

TEST(HighSpeed, FastForwardReadsEveryPicture) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "hs.qmr3", smallRecording(10, 5, 3));
    s.mode = korvid::kFastForward;
    s.skipRate = 4;
    s.rateCode = 30;  // a slow recording's rate code: the high-speed case
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), playOrder(30, 5));
}

TEST(HighSpeed, UnlistedRateLeavesFastForwardAsIs) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "nohs.qmr3", smallRecording(10, 5, 6));
    s.mode = korvid::kFastForward;
    s.skipRate = 4;
    s.rateCode = 100;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), fastOrder(12, 5, 1, 0));
}

TEST(GopMode, FastForwardShowsEachGroupsIntraPicture) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 2, 8);
    o.gopMode = true;
    Config s;
    s.path = writeRecording(dir, "gopff.qmr3", o);
    s.gopMode = true;
    s.mode = korvid::kFastForward;
    s.skipRate = 8;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), fastOrder(40, 2, 1, 0));
}

TEST(GopMode, RewindDeliversGroupsBackwards) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.gopMode = true;
    Config s;
    s.path = writeRecording(dir, "goprew.qmr3", o);
    s.gopMode = true;
    s.mode = korvid::kRewind;
    s.startGop = 6;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    EXPECT_EQ(h.frames(), rewindOrder(40, 5, 6));
}
