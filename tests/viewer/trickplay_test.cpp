// Pause, single steps, fast forward, rewind, jumps and snapshots, observed
// through the frame numbers of the presented pictures.
#include "viewerfixture.h"

#include <QFile>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vwtest;

namespace {

struct Trick : ::testing::Test {
    Viewer v;
    void Open(int seconds) {
        const auto path = v.write("trick.qmr3", recording(10, 10, seconds));
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(v.open(path), 0);
    }
};

}  // namespace

TEST_F(Trick, PauseHoldsThePictureAndPlayGoesOn) {
    Open(4);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 5; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    ASSERT_GE(held, 5);
    ASSERT_LT(held, 39);
    // Held for a while: nothing else comes.
    const std::size_t mark = v.presented();
    v.waitFor([] { return false; }, 800ms);
    for (long f : v.framesFrom(mark)) EXPECT_EQ(f, held);
    // The widget shows the held picture.
    EXPECT_EQ(FrameOf(v.ctl.grab().toImage().convertToFormat(QImage::Format_RGB32)), held);
    v.ctl.SeekToPlay();
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 39; }, 10s));
    EXPECT_EQ(Distinct(v.frames()), UpTo(40));
}

TEST_F(Trick, NextAndPreviousMoveOnePicture) {
    Open(10);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 3; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    ASSERT_GE(held, 3);
    v.ctl.SeekToNextFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held + 1; }, 10s));
    v.ctl.SeekToNextFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held + 2; }, 10s));
    EXPECT_EQ(v.ctl.GetSkipRate(), 1);
    // Backwards, one picture a step, also the first step after forward ones.
    std::size_t mark = v.presented();
    v.ctl.SeekToPrevFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held + 1; }, 10s)) << Show(v.frames());
    v.ctl.SeekToPrevFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held; }, 10s)) << Show(v.frames());
    mark = v.presented();
    v.ctl.SeekToPrevFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held - 1; }, 10s)) << Show(v.frames());
    for (long f : v.framesFrom(mark)) EXPECT_EQ(f, held - 1);
    // Steps never jump by more than one picture.
    const auto shown = Distinct(v.frames());
    const auto at = std::find(shown.begin(), shown.end(), held);
    for (auto it = at; it != shown.end() && it + 1 != shown.end(); ++it)
        EXPECT_LE(std::abs(*(it + 1) - *it), 1);
}

TEST_F(Trick, StepBackFromPauseGoesBackOnePictureAPress) {
    Open(10);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 34; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    const std::size_t mark = v.presented();
    v.ctl.SeekToPrevFrame();
    const long back = held - 1;
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == back; }, 10s))
        << held << ": " << Show(v.framesFrom(mark));
    // Quick presses, as a held-down key gives, may merge but never jump.
    for (int i = 0; i < 3; ++i) v.ctl.SeekToPrevFrame();
    const long after = Settle(v);
    EXPECT_LE(after, back - 1);
    EXPECT_GE(after, back - 4);
    // One by one, a group's first picture included.
    const auto shown = Distinct(v.framesFrom(mark));
    for (std::size_t i = 1; i < shown.size(); ++i) EXPECT_EQ(shown[i - 1] - shown[i], 1) << Show(shown);
}

TEST_F(Trick, StepBackAfterAStepForwardAtAGroupStart) {
    Open(10);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 29; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    v.ctl.SeekToNextFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held + 1; }, 10s));
    const std::size_t mark = v.presented();
    v.ctl.SeekToPrevFrame();
    EXPECT_TRUE(v.waitFrame([&](long f) { return f == held; }, 10s))
        << held << ": " << Show(v.framesFrom(mark));
    for (long f : v.framesFrom(mark)) EXPECT_LE(f, held + 1) << held << ": " << Show(v.framesFrom(mark));
}

TEST_F(Trick, FastForwardShowsFirstPicturesOfLaterGroups) {
    Open(30);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 12; }));
    const std::size_t mark = v.presented();
    v.ctl.SeekToFF(4);
    EXPECT_EQ(v.ctl.GetSkipRate(), 4);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 60; }, 20s));
    // The group in progress ends; from the next group on only group starts.
    const auto after = v.framesFrom(mark);
    const auto jump = std::find_if(after.begin(), after.end(), [](long f) { return f >= 30; });
    ASSERT_NE(jump, after.end());
    EXPECT_TRUE(std::is_sorted(after.begin(), after.end()));
    for (auto it = jump; it != after.end(); ++it) EXPECT_EQ(*it % 10, 0) << *it;
    // Faster than play: far fewer presentations than pictures passed.
    EXPECT_LT(std::size_t(after.end() - jump), std::size_t(after.back() - 30) / 2 + 2);
}

TEST_F(Trick, SixteenTimesShowsEachGroupStartOnce) {
    Open(40);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 12; }));
    const std::size_t mark = v.presented();
    v.ctl.SeekToFF(16);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 250; }, 20s));
    const auto after = v.framesFrom(mark);
    const auto jump = std::find_if(after.begin(), after.end(), [](long f) { return f >= 30; });
    ASSERT_NE(jump, after.end());
    // No batch's last picture comes twice.
    for (auto it = jump + 1; it != after.end(); ++it) EXPECT_LT(*(it - 1), *it) << Show(after);
}

TEST_F(Trick, RewindGoesBackwardsInTime) {
    Open(30);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 85; }, 20s));
    const std::size_t mark = v.presented();
    v.ctl.SeekToRew(4);
    EXPECT_EQ(v.ctl.GetSkipRate(), 4);
    // The pictures of the group on screen are shown backwards first.
    ASSERT_TRUE(v.waitFor([&] { return v.presented() >= mark + 3; }, 20s)) << Show(v.framesFrom(mark));
    const auto after = v.framesFrom(mark);
    const auto firstThree = std::vector<long>(after.begin(), after.begin() + 3);
    EXPECT_TRUE(std::is_sorted(firstThree.begin(), firstThree.end(), std::greater<long>())) << Show(after);
    EXPECT_LT(after[2], after[0]);
}

TEST_F(Trick, RewindCrossesIntoEarlierGroups) {
    Open(30);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 85; }, 20s));
    const long from = v.last();
    const std::size_t mark = v.presented();
    v.ctl.SeekToRew(4);
    ASSERT_TRUE(v.waitFrame([&](long f) { return f >= 0 && f <= from - 40; }, 20s))
        << Show(v.framesFrom(mark));
    const auto after = v.framesFrom(mark);
    // Once well behind the starting point, the pictures only go back.
    const auto behind = std::find_if(after.begin(), after.end(), [&](long f) { return f < from - 10; });
    ASSERT_NE(behind, after.end());
    EXPECT_TRUE(std::is_sorted(behind, after.end(), std::greater<long>())) << Show(after);
}

TEST_F(Trick, RateSequencesWhilePlaying) {
    Open(30);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 2; }));
    std::vector<int> ff, rew;
    for (int i = 0; i < 6; ++i) {
        v.ctl.SeekToFF(0);
        ff.push_back(v.ctl.GetSkipRate());
    }
    EXPECT_EQ(ff, (std::vector<int>{2, 4, 8, 16, 1, 2}));
    for (int i = 0; i < 5; ++i) {
        v.ctl.SeekToRew(0);
        rew.push_back(v.ctl.GetSkipRate());
    }
    EXPECT_EQ(rew, (std::vector<int>{2, 4, 8, 16, 2}));
    v.ctl.SeekToFF(0);  // after reverse play, forward starts again at 2
    EXPECT_EQ(v.ctl.GetSkipRate(), 2);
    v.ctl.SeekToRew(0);  // and reverse after forward too
    EXPECT_EQ(v.ctl.GetSkipRate(), 2);
    v.ctl.SeekToPlay();
    EXPECT_EQ(v.ctl.GetSkipRate(), 1);
    // Still alive: play goes on presenting.
    const std::size_t mark = v.presented();
    EXPECT_TRUE(v.waitFor([&] { return v.presented() > mark + 3; }, 20s));
}

TEST_F(Trick, SetSpecificPosLandsOnTheGroupAskedFor) {
    Open(30);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 3; }));
    const std::size_t mark = v.presented();
    ASSERT_TRUE(v.ctl.SetSpecificPos(20));
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 203; }, 20s));
    const auto after = v.framesFrom(mark);
    // The groups already read end; then the jump, with nothing in between.
    for (long f : after) EXPECT_TRUE(f < 40 || (f >= 200 && f < 210 + 10)) << f;
    const auto landed = std::find_if(after.begin(), after.end(), [](long f) { return f >= 200; });
    ASSERT_NE(landed, after.end());
    EXPECT_LE(*landed, 202);
    EXPECT_TRUE(std::is_sorted(landed, after.end()));
}

TEST_F(Trick, SnapShotWritesThePictureOnScreen) {
    Open(10);
    ASSERT_TRUE(v.waitFrame([](long f) { return f >= 4; }));
    v.ctl.SeekToPause();
    const long held = Settle(v);
    const std::string jpg = v.dir.file("shot.jpg");
    ASSERT_EQ(v.ctl.SnapShot(QString::fromStdString(jpg)), 0);
    QImage shot(QString::fromStdString(jpg));
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(FrameOf(shot.convertToFormat(QImage::Format_RGB32)), held);

    const std::string raw = v.dir.file("shot.raw");
    ASSERT_EQ(v.ctl.SnapShotRawData(QString::fromStdString(raw)), 0);
    const auto bytes = testrec::readBytes(raw);
    ASSERT_EQ(bytes.size(), 6u + 352u * 240u * 4u);
    EXPECT_EQ(bytes[0] | bytes[1] << 8, 352);
    EXPECT_EQ(bytes[2] | bytes[3] << 8, 240);
    EXPECT_EQ(bytes[4], 4);
    const QImage rawImage(bytes.data() + 6, 352, 240, 352 * 4, QImage::Format_RGB32);
    EXPECT_EQ(FrameOf(rawImage), held);

    // A folder that does not exist: reported, not claimed as done.
    EXPECT_EQ(v.ctl.SnapShot(QString::fromStdString(v.dir.file("none/shot.jpg"))), -1);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(v.dir.file("none/shot.jpg"))));
}
