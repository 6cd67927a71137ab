// The control interface: calls before and after SetWindow, and what the
// presentation target is told for stretch, centring, crop, shrink, zoom and
// the rubber band.
#include "pexaroharness.h"

#include <gtest/gtest.h>

using namespace pexarotest;
using namespace std::chrono_literals;

namespace {

class Control : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(LoadPexaroPlugin()); }
};

// Plays one group to its end and pauses; the composition then holds frame 14.
void ShowOneGroup(PexaroPipeline& p) {
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.Push(Group(0, 15));
    ASSERT_TRUE(p.target().WaitForCount(15));
    p.control()->SetPlayMode(korvid::kPause);
    p.target().QuietFor(50ms);
}

Presented RepaintAndTake(PexaroPipeline& p) {
    const size_t before = p.target().Count();
    EXPECT_EQ(p.control()->Repaint(), 0);
    EXPECT_TRUE(p.target().WaitForCount(before + 1));
    return p.target().Log().back();
}

}  // namespace

TEST_F(Control, DisplayMethodsFailBeforeSetWindowAndChangeNothing) {
    PexaroPipeline p(QSize(352, 240), false);
    IPexaroControl* c = p.control();
    ASSERT_NE(c, nullptr);
    int result = 7;
    EXPECT_EQ(c->SetStretch(0), -1);
    EXPECT_EQ(c->ShowMDArea(), -1);
    EXPECT_EQ(c->HideMDArea(), -1);
    EXPECT_EQ(c->ShowMDAreaForHitTest(), -1);
    EXPECT_EQ(c->EndMDAreaHitTest(), -1);
    EXPECT_EQ(c->SetMDArea(&p.words().motionFlag, 4, 5, p.words().motionMap, p.words().motionMap), -1);
    EXPECT_EQ(c->ClearMDArea(), -1);
    EXPECT_EQ(c->HitTestMDArea(&result, 1, 1), -1);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(c->SetTemporaryFlag1(1), -1);
    EXPECT_EQ(c->Repaint(), -1);
    EXPECT_EQ(c->SnapShot("/tmp/never-written.jpg"), -1);
    EXPECT_EQ(c->SnapShotRawData("/tmp/never-written.raw"), -1);
    EXPECT_EQ(c->SetWindow(nullptr), -1);
    // These need no display.
    EXPECT_EQ(c->ShowOSD(), 0);
    EXPECT_EQ(c->Reserved19(), 0);
    EXPECT_EQ(c->Reserved28(1), 0);
    EXPECT_EQ(c->Reserved29(1), 0);
    EXPECT_EQ(c->Reserved30(1), 0);

    // Stretch is still on once the window is there.
    p.target().SetWindowSize(QSize(500, 400));
    EXPECT_EQ(c->SetWindow(&p.target()), 0);
    ShowOneGroup(p);
    EXPECT_EQ(p.target().Log().back().destination, QRect(0, 0, 500, 400));
}

TEST_F(Control, StretchOffCentresThePictureAtItsOwnSize) {
    PexaroPipeline p;
    p.target().SetWindowSize(QSize(500, 400));
    ShowOneGroup(p);
    const Presented stretched = p.target().Log().back();
    EXPECT_EQ(stretched.source, QRect(0, 0, 352, 240));
    EXPECT_EQ(stretched.destination, QRect(0, 0, 500, 400));
    EXPECT_EQ(stretched.frame, 14u);

    const size_t before = p.target().Count();
    EXPECT_EQ(p.control()->SetStretch(0), 0);
    // SetStretch shows the cleared composition.
    ASSERT_TRUE(p.target().WaitForCount(before + 1));
    EXPECT_EQ(CountPixels(p.target().Log().back().picture, QRect(0, 0, 352, 240),
                          [](int r, int g, int b) { return r || g || b; }),
              0);
    const Presented centred = RepaintAndTake(p);
    EXPECT_EQ(centred.destination, QRect(74, 80, 352, 240));
    EXPECT_EQ(centred.source, QRect(0, 0, 352, 240));
}

TEST_F(Control, SmallWindowGetsAPictureShrunkIntoASurfaceRoundedTo16) {
    PexaroPipeline p;
    p.target().SetWindowSize(QSize(170, 110));
    p.control()->SetFrameRate(100);
    p.control()->SetPlayMode(korvid::kPlay);
    p.Push(Group(1, 15));  // frames 1..15; the last one, 15, has its low four bits set
    ASSERT_TRUE(p.target().WaitForCount(15));
    const Presented last = p.target().Log().back();
    EXPECT_EQ(last.picture.size(), QSize(352, 240));  // the shrink surface
    EXPECT_EQ(last.source, QRect(0, 0, 170, 110));
    EXPECT_EQ(last.destination, QRect(0, 0, 170, 110));
    // The scaled number blocks: 16-pixel blocks became about 7.7 pixels.
    const QImage shown = last.picture.copy(last.source);
    const int y = 104;
    for (int k = 0; k < 4; ++k) EXPECT_GT(qGreen(shown.pixel(k * 170 / 22 + 3, y)), 160) << "block " << k;
    EXPECT_LT(qGreen(shown.pixel(4 * 170 / 22 + 3, y)), 80);
}

TEST_F(Control, ZoomRectangleIsPresentedAsTheSourceUntilCleared) {
    PexaroPipeline p;
    ShowOneGroup(p);
    EXPECT_EQ(p.control()->IsZoomed(), 0);
    EXPECT_EQ(p.control()->SetZoomRect(10, 20, 130, 200), 0);  // top, left, bottom, right
    EXPECT_EQ(p.control()->IsZoomed(), 1);
    Presented zoomed = RepaintAndTake(p);
    EXPECT_EQ(zoomed.source, QRect(20, 10, 180, 120));
    EXPECT_EQ(zoomed.destination, QRect(0, 0, 352, 240));
    EXPECT_EQ(p.control()->SetZoomRect(0, 0, 0, 0), 0);
    EXPECT_EQ(p.control()->IsZoomed(), 0);
    EXPECT_EQ(RepaintAndTake(p).source, QRect(0, 0, 352, 240));
    // A rectangle entirely outside the picture is no zoom.
    p.control()->SetZoomRect(1000, 1000, 1100, 1100);
    EXPECT_EQ(p.control()->IsZoomed(), 0);
}

TEST_F(Control, RubberBandIsDrawnOverThePresentedCopyOnly) {
    PexaroPipeline p;
    ShowOneGroup(p);
    EXPECT_EQ(p.control()->SetBandRect(20, 30, 100, 150), 0);
    const Presented banded = RepaintAndTake(p);
    EXPECT_EQ(banded.source, QRect(0, 0, 352, 240));
    EXPECT_TRUE(HasBlue(banded.picture, QRect(28, 40, 5, 20)));    // left edge
    EXPECT_FALSE(HasBlue(banded.picture, QRect(60, 40, 40, 20)));  // inside stays see-through
    EXPECT_EQ(p.control()->SetBandRect(0, 0, 0, 0), 0);
    const Presented plain = RepaintAndTake(p);
    EXPECT_FALSE(HasBlue(plain.picture, QRect(28, 40, 5, 20)));
    EXPECT_EQ(plain.frame, 14u);
}

TEST_F(Control, CropShows704x480WithoutThirtyEightColumnsEachSide) {
    PexaroPipeline p(QSize(704, 480));
    ShowOneGroup(p);
    EXPECT_EQ(p.control()->SetTemporaryFlag1(0x100), 0);  // low byte 0: no crop
    EXPECT_EQ(RepaintAndTake(p).source, QRect(0, 0, 704, 480));
    EXPECT_EQ(p.control()->SetTemporaryFlag1(1), 0);
    const Presented cropped = RepaintAndTake(p);
    EXPECT_EQ(cropped.source, QRect(38, 0, 628, 480));
    EXPECT_EQ(cropped.destination, QRect(0, 0, 704, 480));
}

TEST_F(Control, HitTestUsesCellsOfA352x240Area) {
    PexaroPipeline p;
    auto& w = p.words();
    korvid::SharedByte hits[20] = {};
    IPexaroControl* c = p.control();
    EXPECT_EQ(c->SetMDArea(&w.motionFlag, 0, 5, w.motionMap, hits), -1);
    ASSERT_EQ(c->SetMDArea(&w.motionFlag, 4, 5, w.motionMap, hits), 0);
    int r = 0;
    EXPECT_EQ(c->HitTestMDArea(&r, 10, 10), 0);
    EXPECT_EQ(r, -1);  // no hit-test cells yet
    ASSERT_EQ(c->ShowMDAreaForHitTest(), 0);
    const struct {
        int x, y, cell;
    } probes[] = {{0, 0, 0},      {69, 59, 0},   {70, 59, 1}, {69, 60, 5},
                  {349, 239, 19}, {350, 10, -1}, {-3, 4, -1}};
    for (const auto& probe : probes) {
        EXPECT_EQ(c->HitTestMDArea(&r, probe.x, probe.y), 0);
        EXPECT_EQ(r, probe.cell) << probe.x << "," << probe.y;
    }
    EXPECT_EQ(c->HitTestMDArea(nullptr, 1, 1), -1);
    EXPECT_EQ(c->EndMDAreaHitTest(), 0);
    EXPECT_EQ(c->ClearMDArea(), 0);
    EXPECT_EQ(c->HitTestMDArea(&r, 10, 10), 0);
    EXPECT_EQ(r, -1);
}

TEST_F(Control, OutOfRangeArgumentsAreRefused) {
    PexaroPipeline p;
    IPexaroControl* c = p.control();
    EXPECT_EQ(c->AddOSD(10, "x", 0, 0, 0, "Arial", 12, 0, 0, 0), -1);
    EXPECT_EQ(c->AddOSD(-1, "x", 0, 0, 0, "Arial", 12, 0, 0, 0), -1);
    EXPECT_EQ(c->RemoveOSD(10), -1);
    EXPECT_EQ(c->AddOSD(3, nullptr, 0, 0, 0, nullptr, 12, 0, 0, 0), 0);
    EXPECT_EQ(c->RemoveOSD(3), 0);
    EXPECT_EQ(c->SetFrameRate(0), -1);
    EXPECT_EQ(c->SetFrameRate(-30), -1);
    EXPECT_EQ(c->SetRateCode(7, 0), 0);  // unlisted: accepted, rate kept
    EXPECT_EQ(c->SetPlayMode(200), 0);
    EXPECT_EQ(c->SnapShot(nullptr), -1);
    // Still presenting normally.
    c->SetRateCode(1, 0);
    c->SetFrameRate(100);
    c->SetPlayMode(korvid::kPlay);
    p.Push(Group(0, 15));
    ASSERT_TRUE(p.target().WaitForCount(15));
}
