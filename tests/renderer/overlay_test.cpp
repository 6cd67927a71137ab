// Event label and motion grid burnt into the pictures as they are taken in.
#include "pexaroharness.h"

#include <gtest/gtest.h>

#include <set>

using namespace pexarotest;
using namespace std::chrono_literals;

namespace {

class Overlays : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadPexaroPlugin()); }
};

const QRect kLabelArea(195, 145, 150, 45);

std::set<std::uint32_t> FramesWith(const std::vector<Presented>& log,
                                   const std::function<bool(const QImage&)>& test) {
    std::set<std::uint32_t> frames;
    for (const auto& e : log)
        if (test(e.picture)) frames.insert(e.frame);
    return frames;
}

std::set<std::uint32_t> Frames(std::initializer_list<std::pair<std::uint32_t, std::uint32_t>> ranges) {
    std::set<std::uint32_t> s;
    for (auto [a, b] : ranges)
        for (auto f = a; f <= b; ++f) s.insert(f);
    return s;
}

void PlayAB(PexaroPipeline& p, std::vector<PictureSpec> a) {
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.StartFeeding({std::move(a), Group(100, 15)});
    ASSERT_TRUE(p.target().WaitForCount(30));
}

}  // namespace

TEST_F(Overlays, EventLabelStaysInTheEventPictureAndFourteenMore) {
    PexaroPipeline p;
    ASSERT_EQ(p.control()->AddOSD(6, "ALARM", 200, 150, 0, "Arial", 24, 255, 255, 0), 0);
    ASSERT_EQ(p.control()->ShowOSD(), 0);
    auto a = Group(0, 15);
    a[3].eventMark = 0x01;
    PlayAB(p, a);
    const auto labelled =
        FramesWith(p.target().Log(), [](const QImage& i) { return HasBlue(i, kLabelArea); });
    EXPECT_EQ(labelled, Frames({{3, 14}, {100, 102}}));
}

TEST_F(Overlays, MarkWithoutEventBitsStillShowsTheLabel) {
    PexaroPipeline p;
    p.control()->AddOSD(6, "EVENT", 200, 150, 0, "Arial", 24, 255, 255, 0);
    p.control()->ShowOSD();
    auto a = Group(0, 15);
    a[10].eventMark = 0x10;
    PlayAB(p, a);
    const auto labelled =
        FramesWith(p.target().Log(), [](const QImage& i) { return HasBlue(i, kLabelArea); });
    EXPECT_EQ(labelled, Frames({{10, 14}, {100, 109}}));
}

TEST_F(Overlays, NoLabelWithoutAMarkOrWhileHidden) {
    PexaroPipeline p;
    p.control()->AddOSD(6, "ALARM", 200, 150, 0, "Arial", 24, 255, 255, 0);
    p.control()->HideOSD();
    auto a = Group(0, 15);
    a[3].eventMark = 0x01;
    PlayAB(p, a);
    EXPECT_TRUE(FramesWith(p.target().Log(), [](const QImage& i) { return HasBlue(i, kLabelArea); }).empty());

    PexaroPipeline q;
    q.control()->AddOSD(6, "ALARM", 200, 150, 0, "Arial", 24, 255, 255, 0);
    q.control()->ShowOSD();
    PlayAB(q, Group(0, 15));
    EXPECT_TRUE(FramesWith(q.target().Log(), [](const QImage& i) { return HasBlue(i, kLabelArea); }).empty());
}

TEST_F(Overlays, OnlyItemSixIsDrawn) {
    PexaroPipeline p;
    p.control()->AddOSD(7, "OTHER", 200, 150, 0, "Arial", 24, 0, 0, 255);
    p.control()->ShowOSD();
    auto a = Group(0, 15);
    a[3].eventMark = 0x02;
    PlayAB(p, a);
    EXPECT_TRUE(FramesWith(p.target().Log(), [](const QImage& i) { return HasBlue(i, kLabelArea); }).empty());
}

TEST_F(Overlays, MotionGridIsBlendedIntoTheTriggeringPictureAndSixteenMore) {
    PexaroPipeline p;
    auto& w = p.words();
    korvid::SharedByte hits[20] = {};
    ASSERT_EQ(p.control()->SetMDArea(&w.motionFlag, 4, 5, w.motionMap, hits), 0);  // cells of 70 x 60
    w.motionMap[0] = 1;
    ASSERT_EQ(p.control()->ShowMDArea(), 0);
    auto a = Group(0, 15);
    a[2].gridWord = 1;
    PlayAB(p, a);
    const auto log = p.target().Log();
    const auto withGrid = FramesWith(log, [](const QImage& i) { return HasRed(i, QRect(66, 20, 8, 20)); });
    EXPECT_EQ(withGrid, Frames({{2, 14}, {100, 103}}));
    // A cell without its flag is not drawn.
    EXPECT_TRUE(FramesWith(log, [](const QImage& i) { return HasRed(i, QRect(136, 80, 8, 20)); }).empty());
}

TEST_F(Overlays, HiddenGridIsNotBlended) {
    PexaroPipeline p;
    auto& w = p.words();
    korvid::SharedByte hits[20] = {};
    ASSERT_EQ(p.control()->SetMDArea(&w.motionFlag, 4, 5, w.motionMap, hits), 0);
    w.motionMap[0] = 1;
    ASSERT_EQ(p.control()->HideMDArea(), 0);
    auto a = Group(0, 15);
    a[2].gridWord = 1;
    PlayAB(p, a);
    EXPECT_TRUE(FramesWith(p.target().Log(), [](const QImage& i) {
                    return HasRed(i, QRect(66, 20, 8, 20));
                }).empty());
}
