#include "presentgeometry.h"

#include <gtest/gtest.h>

using namespace pexaro;

TEST(Geometry, StretchFillsTheWindowWithTheWholePicture) {
    const auto plan = PlanPresentation(QSize(704, 480), QSize(1000, 800), true, false, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->source, QRect(0, 0, 704, 480));
    EXPECT_EQ(plan->destination, QRect(0, 0, 1000, 800));
    EXPECT_FALSE(plan->shrink);
}

TEST(Geometry, StretchOffCentresThePictureAtItsOwnSize) {
    const auto plan = PlanPresentation(QSize(704, 480), QSize(1000, 800), false, false, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->source, QRect(0, 0, 704, 480));
    EXPECT_EQ(plan->destination, QRect(148, 160, 704, 480));
    EXPECT_FALSE(plan->shrink);
}

TEST(Geometry, CropCutsThirtyEightColumnsEachSideOf704x480) {
    const auto plan = PlanPresentation(QSize(704, 480), QSize(800, 600), false, true, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->source, QRect(38, 0, 628, 480));
    EXPECT_EQ(plan->source.left() + plan->source.width(), 666);
    EXPECT_EQ(plan->destination, QRect(0, 0, 800, 600));  // the whole window even with stretch off
}

TEST(Geometry, CropLeavesOtherSizesAlone) {
    const auto plan = PlanPresentation(QSize(704, 576), QSize(800, 600), true, true, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->source, QRect(0, 0, 704, 576));
}

TEST(Geometry, SmallWindowGoesThroughTheShrinkPath) {
    auto plan = PlanPresentation(QSize(704, 480), QSize(400, 600), true, false, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->shrink);  // narrower
    plan = PlanPresentation(QSize(704, 480), QSize(800, 300), true, false, std::nullopt);
    ASSERT_TRUE(plan);
    EXPECT_TRUE(plan->shrink);  // lower
}

TEST(Geometry, ZoomRectangleBecomesTheSource) {
    const QRect zoom(100, 50, 352, 240);
    const auto plan = PlanPresentation(QSize(704, 480), QSize(704, 480), true, true, zoom);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->source, zoom);
    EXPECT_EQ(plan->destination, QRect(0, 0, 704, 480));
}

TEST(Geometry, EmptyWindowOrPicturePresentsNothing) {
    EXPECT_FALSE(PlanPresentation(QSize(704, 480), QSize(0, 0), true, false, std::nullopt));
    EXPECT_FALSE(PlanPresentation(QSize(), QSize(640, 480), true, false, std::nullopt));
}

TEST(Geometry, ShrinkSurfaceIsRoundedUpTo16AndGrowsOnlyWhenTooSmall) {
    EXPECT_EQ(InitialShrinkSurface(QSize(700, 470)), QSize(704, 480));
    EXPECT_EQ(InitialShrinkSurface(QSize(352, 240)), QSize(352, 240));
    EXPECT_EQ(GrowShrinkSurface(QSize(352, 240), QSize(300, 200)), QSize(352, 240));
    EXPECT_EQ(GrowShrinkSurface(QSize(352, 240), QSize(353, 200)), QSize(368, 208));
    EXPECT_EQ(GrowShrinkSurface(QSize(352, 240), QSize(300, 241)), QSize(304, 256));
    EXPECT_EQ(GrowShrinkSurface(QSize(0, 0), QSize(1, 1)), QSize(16, 16));
}
