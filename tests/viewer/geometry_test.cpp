// Rules without a pipeline: zoom-drag rectangle, volume, rate tables, layout.
#include "viewergeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using lumacast::Box;

TEST(ZoomDrag, WiderDragSetsHeightFromAspect) {
    // 352 x 240: a drag 88 wide and 10 high becomes 88 x 60.
    EXPECT_EQ(lumacast::ZoomDragBox(100, 100, 188, 110, 352, 240, 353, 241), (Box{100, 100, 188, 160}));
}

TEST(ZoomDrag, TallerDragSetsWidthFromAspect) {
    EXPECT_EQ(lumacast::ZoomDragBox(100, 100, 110, 160, 352, 240, 353, 241), (Box{100, 100, 188, 160}));
}

TEST(ZoomDrag, UpAndLeftIsNormalised) {
    EXPECT_EQ(lumacast::ZoomDragBox(188, 160, 100, 150, 352, 240, 353, 241), (Box{100, 100, 188, 160}));
}

TEST(ZoomDrag, ClampedHeightShortensTheWidth) {
    // 200 wide would need 136 high below y=200; only 41 are left to the limit 241.
    const Box b = lumacast::ZoomDragBox(100, 200, 300, 205, 352, 240, 353, 241);
    EXPECT_EQ(b.bottom, 241);
    EXPECT_EQ(b.top, 200);
    EXPECT_EQ(b.left, 100);
    EXPECT_EQ(b.right, 100 + int(41.0 * 352 / 240));
}

TEST(ZoomDrag, ClampedWidthAtTheLeftEdgeShortensTheHeight) {
    const Box b = lumacast::ZoomDragBox(30, 100, 25, 200, 352, 240, 353, 241);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.right, 30);
    EXPECT_EQ(b.bottom, 100 + int(30.0 * 240 / 352));
}

TEST(ZoomDrag, KeepsTheAspectRatioForAnyUnclampedDrag) {
    for (int dx = 22; dx < 150; dx += 17)
        for (int dy = 20; dy < 100; dy += 13) {
            const Box b = lumacast::ZoomDragBox(100, 60, 100 + dx, 60 + dy, 352, 240, 353, 241);
            const double ratio = double(b.right - b.left) / (b.bottom - b.top);
            if (b.bottom < 241 && b.right < 353) {
                EXPECT_NEAR(ratio, 352.0 / 240, 0.1)
                    << dx << "," << dy << ": " << b.left << " " << b.top << " " << b.right << " " << b.bottom;
            }
        }
}

TEST(Volume, HundredthsOfDecibelToFactor) {
    EXPECT_DOUBLE_EQ(lumacast::VolumeFactor(0), 1.0);
    EXPECT_DOUBLE_EQ(lumacast::VolumeFactor(-10000), 0.0);
    EXPECT_NEAR(lumacast::VolumeFactor(-2000), 0.1, 1e-12);
    EXPECT_NEAR(lumacast::VolumeFactor(-600), 0.501187, 1e-6);
    EXPECT_NEAR(lumacast::VolumeFactor(-9999), std::pow(10.0, -9999.0 / 2000), 1e-15);
}

TEST(RateSteps, ForwardAndRewind) {
    std::vector<int> ff, rew;
    for (int r = 1, i = 0; i < 6; ++i) ff.push_back(r = lumacast::NextForwardRate(r));
    for (int r = 1, i = 0; i < 6; ++i) rew.push_back(r = lumacast::NextRewindRate(r));
    EXPECT_EQ(ff, (std::vector<int>{2, 4, 8, 16, 1, 2}));
    EXPECT_EQ(rew, (std::vector<int>{2, 4, 8, 16, 2, 4}));
    EXPECT_EQ(lumacast::NextForwardRate(32), 2);
    EXPECT_EQ(lumacast::NextRewindRate(32), 32);
    EXPECT_EQ(lumacast::NextForwardRate(3), 3);
}

TEST(BackgroundPlacement, SmallPictureKeepsItsSizeCentred) {
    EXPECT_EQ(lumacast::BackgroundPlacement(100, 50, 301, 200), (Box{100, 75, 200, 125}));
}

TEST(BackgroundPlacement, LargePictureIsFittedCentred) {
    // Wide picture: full width, centred vertically.
    EXPECT_EQ(lumacast::BackgroundPlacement(800, 200, 400, 300), (Box{0, 100, 400, 200}));
    // Tall picture: full height, centred horizontally.
    EXPECT_EQ(lumacast::BackgroundPlacement(200, 800, 400, 300), (Box{162, 0, 237, 300}));
}
