#include "overlaystate.h"

#include <gtest/gtest.h>

using namespace pexaro;

namespace {

std::array<OsdItem, kOsdItems> ItemsWithLabel() {
    std::array<OsdItem, kOsdItems> items;
    items[kLabelItem].text = "ALARM";
    items[kLabelItem].enabled = true;
    return items;
}

}  // namespace

TEST(EventLabel, CountdownCoversTheEventPictureAndFourteenMore) {
    auto items = ItemsWithLabel();
    EventOverlay overlay;
    EventStep first = overlay.OnPicture(items, true, 0x01, true);
    EXPECT_TRUE(first.clearSurface);
    EXPECT_TRUE(first.drawLabel);
    EXPECT_TRUE(first.blend);
    int blended = 1;
    for (int i = 0; i < 20; ++i) blended += overlay.OnPicture(items, true, 0, true).blend ? 1 : 0;
    EXPECT_EQ(blended, 15);
    EXPECT_FALSE(items[kLabelItem].enabled);  // disabled once the countdown ran out
    // A further mark starts it again; the same mark keeps the surface.
    overlay.OnPicture(items, true, 0x01, true);
    for (int i = 0; i < 10; ++i) overlay.OnPicture(items, true, 0, true);
    EventStep again = overlay.OnPicture(items, true, 0x01, true);
    EXPECT_FALSE(again.clearSurface);
    EXPECT_EQ(overlay.countdown(), kEventCountdown);
}

TEST(EventLabel, NothingWithoutAMarkOrWhenHidden) {
    auto items = ItemsWithLabel();
    EventOverlay overlay;
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(overlay.OnPicture(items, true, 0, true).blend);
    EventStep hidden = overlay.OnPicture(items, true, 0x02, false);
    EXPECT_FALSE(hidden.blend);
    EXPECT_EQ(overlay.countdown(), 0);
    // No pointer: the byte is not looked at.
    EventOverlay noPointer;
    EXPECT_FALSE(noPointer.OnPicture(items, false, 0x01, true).blend);
}

TEST(EventLabel, MarkWithoutLowBitsStillStartsTheCountdownAndClearsItems7To9) {
    auto items = ItemsWithLabel();
    items[7].enabled = items[8].enabled = items[9].enabled = true;
    EventOverlay overlay;
    EventStep step = overlay.OnPicture(items, true, 0x10, true);
    EXPECT_TRUE(step.clearSurface);
    EXPECT_TRUE(step.drawLabel);
    EXPECT_TRUE(step.blend);
    EXPECT_TRUE(items[kLabelItem].enabled);
    EXPECT_FALSE(items[7].enabled || items[8].enabled || items[9].enabled);
}

TEST(MotionGrid, BlendedIntoTheTriggeringPictureAndSixteenMore) {
    GridOverlay grid;
    GridStep first = grid.OnPicture(1, true);
    EXPECT_TRUE(first.redraw);
    EXPECT_TRUE(first.blend);
    int blended = 1;
    for (int i = 0; i < 30; ++i) blended += grid.OnPicture(0, true).blend ? 1 : 0;
    EXPECT_EQ(blended, 17);
}

TEST(MotionGrid, HiddenGridStopsBlendingAtOnce) {
    GridOverlay grid;
    grid.OnPicture(1, true);
    grid.OnPicture(0, true);
    EXPECT_FALSE(grid.OnPicture(0, false).blend);
    EXPECT_TRUE(grid.on());
}

TEST(MotionGrid, CellsOf4By5On704x480Are140x120) {
    const auto cells = ComputeCells(704, 480, 4, 5);
    ASSERT_EQ(cells.size(), 20u);
    EXPECT_EQ(cells[0], QRect(0, 0, 140, 120));
    EXPECT_EQ(cells[6], QRect(140, 120, 140, 120));  // row 1, column 1
    EXPECT_EQ(cells[19], QRect(560, 360, 140, 120));
    // The rightmost four columns are never covered.
    EXPECT_EQ(HitTestCells(cells, 699, 100), 4);
    EXPECT_EQ(HitTestCells(cells, 700, 100), -1);
    EXPECT_EQ(HitTestCells(cells, 703, 479), -1);
}

TEST(MotionGrid, HitTestEdgesAreLeftTopInclusiveRightBottomExclusive) {
    const auto cells = ComputeCells(kHitTestWidth, kHitTestHeight, 4, 5);  // 70 x 60
    EXPECT_EQ(HitTestCells(cells, 0, 0), 0);
    EXPECT_EQ(HitTestCells(cells, 69, 59), 0);
    EXPECT_EQ(HitTestCells(cells, 70, 59), 1);
    EXPECT_EQ(HitTestCells(cells, 69, 60), 5);
    EXPECT_EQ(HitTestCells(cells, 349, 239), 19);
    EXPECT_EQ(HitTestCells(cells, 350, 0), -1);
    EXPECT_EQ(HitTestCells(cells, -1, 10), -1);
    EXPECT_EQ(HitTestCells({}, 10, 10), -1);
    EXPECT_TRUE(ComputeCells(704, 480, 0, 5).empty());
}
