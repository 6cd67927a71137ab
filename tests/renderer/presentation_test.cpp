// What reaches the presentation target when numbered pictures are fed
// through appsrc ! pexarosink with the group hand-shake of the source.
#include "pexaroharness.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace pexarotest;
using namespace std::chrono_literals;
using korvid::PlayMode;

namespace {

class Presentation : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadPexaroPlugin()); }
};

std::vector<std::uint32_t> Range(std::uint32_t first, std::uint32_t last) {
    std::vector<std::uint32_t> v;
    for (std::uint32_t f = first; f <= last; ++f) v.push_back(f);
    return v;
}

std::vector<std::uint32_t> Concat(std::initializer_list<std::vector<std::uint32_t>> parts) {
    std::vector<std::uint32_t> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

std::vector<std::uint32_t> Without(std::vector<std::uint32_t> v, std::initializer_list<std::uint32_t> drop) {
    for (auto d : drop) v.erase(std::remove(v.begin(), v.end(), d), v.end());
    return v;
}

std::vector<std::uint32_t> Reversed(std::vector<std::uint32_t> v) {
    std::reverse(v.begin(), v.end());
    return v;
}

// The first feed groups for a group that must answer a resync request: all
// of it but its last picture goes in at once and waits in the write set (no
// swap is pending, so the resync keeps it); the last picture, with the
// group end, is the answer to the request. After a resync request the
// render thread presents nothing until the new group is in, and gives up
// after seven idle turns (about 100 ms), emptying the write side; a single
// picture answers well within that however loaded the machine is, where a
// whole group might not.
// The group the play asked for last comes in whole, as the source sends it,
// however late: read for the old direction, the rewind drops it and asks
// for its own. The first given group answers that request.
std::vector<std::vector<PictureSpec>> AfterTheGroupInFlight(std::vector<std::vector<PictureSpec>> groups) {
    groups.insert(groups.begin(), Group(900, 15));
    return groups;
}

// Plays groups 0..14 and 100..114 to their end at 1x, so the render thread
// stands at the end of the second group with nothing pending (or, after
// HoldAt(30), is held presenting 114, having read the last picture).
void PlayTwoGroups(PexaroPipeline& p, std::vector<int> secondIntra = {0}) {
    p.control()->SetPlayMode(korvid::kPlay);
    p.StartFeeding({Group(0, 15), Group(100, 15, secondIntra)});
    ASSERT_TRUE(p.target().WaitForCount(30)) << Describe(p.target().Frames());
    ASSERT_TRUE(p.WaitFeedingDone());
    ASSERT_EQ(p.target().Frames(), Concat({Range(0, 14), Range(100, 114)}));
}

}  // namespace

TEST_F(Presentation, AtOneTimesEveryPictureOfEachGroupIsPresentedOnceInOrder) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    const std::vector<std::vector<PictureSpec>> groups = {Group(0, 15), Group(100, 15, {0, 7}),
                                                          Group(200, 10), Group(300, 15)};
    p.StartFeeding(groups);
    const auto expected = FramesOf(groups);
    ASSERT_TRUE(p.target().WaitForCount(expected.size())) << Describe(p.target().Frames());
    EXPECT_TRUE(p.WaitFeedingDone());
    EXPECT_EQ(p.target().Frames(), expected);
    EXPECT_TRUE(p.target().QuietFor(300ms));
    EXPECT_EQ(p.target().Count(), expected.size());
    EXPECT_FALSE(p.HadError());
}

TEST_F(Presentation, PictureIndexWordIsTheReadPositionOfThePresentedPicture) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.StartFeeding({Group(0, 15), Group(100, 12)});
    ASSERT_TRUE(p.target().WaitForCount(27)) << Describe(p.target().Frames());
    const auto log = p.target().Log();
    for (size_t i = 0; i < log.size(); ++i) {
        // Forwards the position has moved past the picture.
        EXPECT_EQ(log[i].pictureIndex, static_cast<int>(log[i].frame % 100) + 1) << "frame " << log[i].frame;
    }
}

TEST_F(Presentation, GroupOfMoreThanFifteenDropsTheSixteenthAndLater) {
    PexaroPipeline p;
    p.control()->SetFrameRate(50);
    p.control()->SetPlayMode(korvid::kPlay);
    // The first group is swapped in by the intake, the third by the render
    // thread; the feeding's lockstep has each group in before the one
    // before it ends.
    p.StartFeeding({Group(0, 20), Group(100, 15), Group(200, 18), Group(300, 15)});
    const auto expected = Concat({Range(0, 14), Range(100, 114), Range(200, 214), Range(300, 314)});
    ASSERT_TRUE(p.target().WaitForCount(expected.size())) << Describe(p.target().Frames());
    EXPECT_TRUE(p.WaitFeedingDone());
    EXPECT_EQ(p.target().Frames(), expected);
    EXPECT_TRUE(p.target().QuietFor(200ms));
}

TEST_F(Presentation, TheTwoPicturesAfterAGroupEndAreDropped) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    // No fillers: the next group's first two pictures are the ones dropped.
    p.StartFeeding({Group(0, 15, {0}, false), Group(100, 15, {0}, false), Group(200, 15)});
    const auto expected = Concat({Range(0, 14), Range(102, 114), Range(202, 214)});
    ASSERT_TRUE(p.target().WaitForCount(expected.size())) << Describe(p.target().Frames());
    EXPECT_EQ(p.target().Frames(), expected);
    EXPECT_TRUE(p.target().QuietFor(200ms));
}

TEST_F(Presentation, PicturesTakenInWhileDeliveryIsDisabledAreDropped) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    auto a = Group(0, 15);
    a[3].deliver = a[4].deliver = false;
    p.StartFeeding({a, Group(100, 15)});
    const auto expected = Concat({Without(Range(0, 14), {3, 4}), Range(100, 114)});
    ASSERT_TRUE(p.target().WaitForCount(expected.size())) << Describe(p.target().Frames());
    EXPECT_EQ(p.target().Frames(), expected);
}

class RewindSlow : public Presentation, public ::testing::WithParamInterface<int> {};

TEST_P(RewindSlow, ShowsEveryPictureInReverse) {
    const int rate = GetParam();
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    // The rewind begins while the render thread presents the last played
    // picture, so it starts from a known turn.
    p.target().HoldAt(30);
    PlayTwoGroups(p);

    p.words().skipRate = rate;
    p.control()->SetPlayMode(korvid::kRewind);
    p.control()->Sync();
    p.frameRequest().reset();
    p.target().Release();
    // The set on screen is rewound to its start while the group the play
    // asked for is still on its way: a request now would reach a source
    // that is reading, so none is made until that group is in.
    ASSERT_TRUE(p.target().WaitForCount(44)) << Describe(p.target().Frames());
    EXPECT_FALSE(p.frameRequest().isSet());
    p.StartFeeding(AfterTheGroupInFlight({Group(200, 15, {0}), Group(300, 15, {0, 6})}));
    // The current group backwards from the picture before the one on screen
    // (114 is not shown again), then each later one, sync pictures (the
    // groups' first, and 306) included.
    const auto expected =
        Concat({Reversed(Range(100, 113)), Reversed(Range(200, 214)), Reversed(Range(300, 314))});
    ASSERT_TRUE(p.target().WaitForCount(30 + expected.size())) << Describe(p.target().Frames());
    EXPECT_TRUE(p.WaitFeedingDone());
    auto log = p.target().Log();
    std::vector<std::uint32_t> rewound;
    for (size_t i = 30; i < log.size(); ++i) {
        rewound.push_back(log[i].frame);
        // Backwards the position stands on the picture.
        EXPECT_EQ(log[i].pictureIndex, static_cast<int>(log[i].frame % 100));
    }
    EXPECT_EQ(rewound, expected);
    EXPECT_TRUE(p.target().QuietFor(200ms));
    EXPECT_EQ(p.target().Count(), 30 + expected.size());
}

INSTANTIATE_TEST_SUITE_P(OneAndTwoTimes, RewindSlow, ::testing::Values(1, 2));

class RewindFast : public Presentation, public ::testing::WithParamInterface<int> {};

TEST_P(RewindFast, ShowsOnlySyncPictures) {
    const int rate = GetParam();
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.target().HoldAt(30);
    PlayTwoGroups(p);

    // Rewind at 1x first, then the viewer's change to the fast rate.
    p.control()->SetPlayMode(korvid::kRewind);
    p.control()->Sync();
    p.frameRequest().reset();
    // 200 has no sync picture, so at 1x it is rewound down to its first
    // picture. The fast rate is taken at the swap made there, so from the
    // next group (300) on the groups are read forwards, showing their sync
    // pictures only (the source sends them already in reverse order).
    auto groups = AfterTheGroupInFlight({Group(200, 15, {})});
    groups.push_back(Group(300, 15, {0, 5, 10}));
    groups.push_back(Group(400, 15, {0, 5, 10}));
    groups.push_back(Group(500, 15, {0, 3, 9, 14}));
    p.target().HoldAt(45);  // 214, the first picture of the group that follows the rewind's request
    p.StartFeeding(groups);
    p.target().Release();
    ASSERT_TRUE(p.target().WaitForCount(45)) << Describe(p.target().Frames());
    EXPECT_EQ(p.target().Log().back().frame, 214u);
    p.words().skipRate = rate;
    p.control()->SetPlayMode(korvid::kRewind);
    p.control()->Sync();
    p.target().Release();

    const auto expected = Concat({Reversed(Range(100, 113)),
                                  Reversed(Range(200, 214)),
                                  {300, 305, 310, 400, 405, 410, 500, 503, 509, 514}});
    ASSERT_TRUE(p.target().WaitForCount(30 + expected.size())) << Describe(p.target().Frames());
    EXPECT_TRUE(p.WaitFeedingDone());
    ASSERT_TRUE(p.target().QuietFor(300ms));
    auto log = p.target().Log();
    std::vector<std::uint32_t> rewound;
    for (size_t i = 30; i < log.size(); ++i) rewound.push_back(log[i].frame);
    EXPECT_EQ(rewound, expected);
    // Every rewound picture carries the speed text; the played ones do not.
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(HasRed(log[i].picture, QRect(10, 10, 120, 24)), i >= 30) << "picture " << log[i].frame;
}

INSTANTIATE_TEST_SUITE_P(FourTimesAndAbove, RewindFast, ::testing::Values(4, 8, 16));

TEST_F(Presentation, RewindShowsPicturesWithoutASyncAnswerToo) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    auto a = Group(0, 15);
    auto b = Group(100, 15);
    for (auto& s : b) s.withMeta = false;
    p.StartFeeding({a, b});
    ASSERT_TRUE(p.target().WaitForCount(30));
    p.control()->SetPlayMode(korvid::kRewind);
    // All of them backwards from the one before the picture on screen, the
    // first one with the start of the set.
    ASSERT_TRUE(p.target().WaitForCount(44)) << Describe(p.target().Frames());
    EXPECT_TRUE(p.target().QuietFor(200ms));
    auto frames = p.target().Frames();
    EXPECT_EQ(std::vector<std::uint32_t>(frames.begin() + 30, frames.end()), Reversed(Range(100, 113)));
}

TEST_F(Presentation, FastForwardShowsEveryPictureWithTheSpeedText) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.words().skipRate = 2;
    p.control()->SetPlayMode(korvid::kFastForward);
    p.control()->Sync();
    const std::vector<std::vector<PictureSpec>> groups = {Group(0, 15), Group(100, 15), Group(200, 15)};
    p.StartFeeding(groups);
    ASSERT_TRUE(p.target().WaitForCount(45)) << Describe(p.target().Frames());
    EXPECT_TRUE(p.WaitFeedingDone());
    const auto log = p.target().Log();
    EXPECT_EQ(p.target().Frames(), FramesOf(groups));
    // The render skip rate is taken at the first swap of the render thread.
    for (const auto& e : log) EXPECT_EQ(HasRed(e.picture, QRect(10, 10, 120, 24)), e.frame >= 100) << e.frame;
}

TEST_F(Presentation, PausePresentsNothingNewAndPlayGoesOnWhereItStopped) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    const std::vector<std::vector<PictureSpec>> groups = {Group(0, 15), Group(100, 15), Group(200, 15),
                                                          Group(300, 15)};
    // Paused while the 20th picture is being presented.
    p.target().HoldAt(20);
    p.StartFeeding(groups);
    ASSERT_TRUE(p.target().WaitForCount(20)) << Describe(p.target().Frames());
    p.control()->SetPlayMode(korvid::kPause);
    p.target().Release();
    EXPECT_TRUE(p.target().QuietFor(400ms));
    EXPECT_EQ(p.target().Frames(), Concat({Range(0, 14), Range(100, 104)}));

    p.control()->SetPlayMode(korvid::kPlay);
    const auto expected = FramesOf(groups);
    ASSERT_TRUE(p.target().WaitForCount(expected.size())) << Describe(p.target().Frames());
    EXPECT_EQ(p.target().Frames(), expected);
}

TEST_F(Presentation, PreviousAndNextPictureShowExactlyOnePicturePerRequest) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    PlayTwoGroups(p, {0, 12});
    p.control()->SetPlayMode(korvid::kPause);
    EXPECT_TRUE(p.target().QuietFor(100ms));

    // Backwards from the end: one earlier picture a step, the sync picture
    // 112 among them; turning round shows no picture twice.
    const std::vector<std::uint32_t> back = {113, 112, 111, 110, 109};
    for (size_t i = 0; i < back.size(); ++i) {
        p.control()->SetPlayMode(korvid::kPreviousPicture);
        ASSERT_TRUE(p.target().WaitForCount(31 + i)) << "step " << i;
        EXPECT_EQ(p.target().Log().back().frame, back[i]);
    }
    const std::vector<std::uint32_t> forward = {110, 111, 112};
    for (size_t i = 0; i < forward.size(); ++i) {
        p.control()->SetPlayMode(korvid::kNextPicture);
        ASSERT_TRUE(p.target().WaitForCount(36 + i)) << "step " << i;
        EXPECT_EQ(p.target().Log().back().frame, forward[i]);
    }
    EXPECT_TRUE(p.target().QuietFor(300ms));
    EXPECT_EQ(p.target().Count(), 38u);
}

TEST_F(Presentation, FrameRequestAtGroupEndOnlyWhileNoReadSetIsInUse) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    // Paused: the render thread reads nothing.
    p.Push(Group(0, 15));
    ASSERT_TRUE(p.Drain());
    EXPECT_TRUE(p.frameRequest().wait(2s));  // the intake swapped at once
    p.frameRequest().reset();
    p.Push(Group(100, 15));
    ASSERT_TRUE(p.Drain());
    EXPECT_FALSE(p.frameRequest().isSet());  // swap pending: the read set is still in use
    EXPECT_EQ(p.target().Count(), 0u);
    EXPECT_FALSE(p.firstFrame().isSet());

    p.control()->SetPlayMode(korvid::kPlay);
    ASSERT_TRUE(p.frameRequest().wait(5s));  // when the render thread swaps
    EXPECT_GE(p.target().Count(), 14u);
    ASSERT_TRUE(p.target().WaitForCount(30));
    EXPECT_EQ(p.target().Frames(), Concat({Range(0, 14), Range(100, 114)}));
}

TEST_F(Presentation, FirstFrameEventIsSetOnceAfterTheFirstPresentation) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    EXPECT_FALSE(p.firstFrame().isSet());
    p.StartFeeding({Group(0, 15), Group(100, 15)});
    ASSERT_TRUE(p.firstFrame().wait(5s));
    EXPECT_GE(p.target().Count(), 1u);
    ASSERT_TRUE(p.target().WaitForCount(30));
    EXPECT_FALSE(p.firstFrame().isSet());
}

TEST_F(Presentation, OpeningShowsTheFirstPictureBeforeItsGroupIsInAndNotTwice) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    const auto group = Group(0, 15);
    p.Push(std::vector<PictureSpec>(group.begin(), group.begin() + 5));
    ASSERT_TRUE(p.Drain());
    ASSERT_TRUE(p.target().WaitForCount(1)) << Describe(p.target().Frames());
    EXPECT_TRUE(p.firstFrame().isSet());
    // Nothing more until the group is in.
    EXPECT_TRUE(p.target().QuietFor(200ms));
    const auto early = p.target().Log();
    ASSERT_EQ(early.size(), 1u);
    EXPECT_EQ(early[0].frame, 0u);
    EXPECT_EQ(early[0].pictureIndex, 1);  // the read position once the set is in
    p.Push(std::vector<PictureSpec>(group.begin() + 5, group.end()));
    ASSERT_TRUE(p.target().WaitForCount(15)) << Describe(p.target().Frames());
    EXPECT_TRUE(p.target().QuietFor(200ms));
    EXPECT_EQ(p.target().Frames(), Range(0, 14));
}

TEST_F(Presentation, PausedOpeningShowsNothingBeforeItsGroupIsIn) {
    PexaroPipeline p;
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPause);
    const auto group = Group(0, 15);
    p.Push(std::vector<PictureSpec>(group.begin(), group.begin() + 5));
    ASSERT_TRUE(p.Drain());
    EXPECT_TRUE(p.target().QuietFor(200ms));
    EXPECT_EQ(p.target().Count(), 0u);
}

TEST_F(Presentation, SyncBreaksTheLongWaitOfSlowRates) {
    PexaroPipeline p;
    p.control()->SetRateCode(300, 0);  // one picture every 10 s
    p.control()->SetPlayMode(korvid::kPlay);
    p.Push(Group(0, 5));
    ASSERT_TRUE(p.Drain());
    ASSERT_TRUE(p.target().WaitForCount(1, 5s));
    p.words().groupEnd = 1;
    p.control()->Sync();
    EXPECT_TRUE(p.target().WaitForCount(2, 3s));
}

TEST_F(Presentation, StopEndsTheRenderThreadAndPlayStartsItAgain) {
    PexaroPipeline p;
    p.control()->SetFrameRate(30);
    p.control()->SetPlayMode(korvid::kPlay);
    const std::vector<std::vector<PictureSpec>> groups = {Group(0, 15), Group(100, 15), Group(200, 15)};
    // Stopped while the third picture is being presented: inside the first
    // group, with the second one in and the third not yet asked for.
    p.target().HoldAt(3);
    p.StartFeeding(groups);
    ASSERT_TRUE(p.target().WaitForCount(3)) << Describe(p.target().Frames());
    p.control()->SetPlayMode(korvid::kStop);
    p.target().Release();
    EXPECT_TRUE(p.target().QuietFor(300ms));
    EXPECT_EQ(p.target().Frames(), Range(0, 2));
    p.control()->SetPlayMode(korvid::kPlay);
    ASSERT_TRUE(p.target().WaitForCount(45)) << Describe(p.target().Frames());
    EXPECT_EQ(p.target().Frames(), FramesOf(groups));
    EXPECT_TRUE(p.WaitFeedingDone());
}

TEST_F(Presentation, PicturesLargerThan704x576Work) {
    PexaroPipeline p(QSize(1280, 720));
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.StartFeeding({Group(0, 15), Group(100, 15)});
    ASSERT_TRUE(p.target().WaitForCount(30)) << Describe(p.target().Frames());
    EXPECT_EQ(p.target().Frames(), Concat({Range(0, 14), Range(100, 114)}));
    EXPECT_EQ(p.target().Log().back().picture.size(), QSize(1280, 720));
}

class Destruction : public Presentation, public ::testing::WithParamInterface<int> {};

TEST_P(Destruction, PipelineToNullEndsTheRenderThreadInBoundedTime) {
    const int mode = GetParam();
    PexaroPipeline p;
    if (mode == 100) p.control()->SetRateCode(300, 0);  // slow mode: 10 s waits
    else p.control()->SetFrameRate(30);
    p.control()->SetPlayMode(korvid::kPlay);
    p.StartFeeding({Group(0, 15), Group(100, 15), Group(200, 15)});
    ASSERT_TRUE(p.target().WaitForCount(mode == 100 ? 1 : 2, 5s));
    if (mode != 100) {
        p.words().skipRate = 4;
        p.control()->SetPlayMode(mode);
    }
    const auto took = p.Shutdown();
    EXPECT_LT(took.count(), 2000) << "mode " << mode;
}

// 100 stands for slow play.
INSTANTIATE_TEST_SUITE_P(EveryMode, Destruction, ::testing::Values(0, 1, 2, 3, 4, 5, 6, 100));
