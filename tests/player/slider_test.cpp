#include "playertest.h"
#include "testrecordings.h"
#include "videolibrary.h"
#include "videoplayslider.h"
#include "xsliderctrl.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QMessageBox>
#include <QSignalSpy>

#include <gtest/gtest.h>

using playertest::moveTo;
using playertest::press;
using playertest::release;

namespace {

const qint64 kStart = QDateTime(QDate(2010, 3, 15), QTime(8, 45, 0)).toSecsSinceEpoch();

class PlaySlider : public ::testing::Test {
protected:
    void show(int seconds, int width = 600) {
        slider.resize(width, 30);
        slider.setRange(0, seconds);
        slider.setRecordingData(0, QStringLiteral("r.qmr3"), kStart, {}, {});
    }
    CVideoPlaySlider slider;
};

std::vector<int> tickMinutes(const CVideoPlaySlider::Timeline& t, double perMinute) {
    std::vector<int> out;
    for (const auto& k : t.ticks) out.push_back(int(std::lround((k.x - 13) / perMinute)));
    return out;
}

}  // namespace

TEST_F(PlaySlider, WithoutARecordingOnlyTheBackgroundIsDrawn) {
    slider.resize(600, 30);
    slider.setRange(0, 240);
    slider.setRecordingData(-1, QStringLiteral("x"), kStart, {{kStart, kStart + 10}}, {{kStart, 0, 0x11, 0}});
    const auto t = slider.timeline();
    EXPECT_TRUE(t.ticks.empty());
    EXPECT_TRUE(t.labels.empty());
    EXPECT_TRUE(t.clips.empty());
    EXPECT_TRUE(t.events.empty());
    EXPECT_TRUE(slider.recordingName().isEmpty());
    // No thumb either: the thumb's place looks like the rest of the track.
    slider.setValue(120);
    const QImage shot = slider.grab().toImage();
    const int x = slider.xForPosition(120);
    EXPECT_EQ(shot.pixelColor(x, 20), shot.pixelColor(x + 40, 20));
}

TEST_F(PlaySlider, FourMinutesShowFiveTicksAndOneLabel) {
    show(240, 526);  // 500 usable pixels: 125 per minute
    const auto t = slider.timeline();
    EXPECT_EQ(tickMinutes(t, 125), (std::vector<int>{0, 1, 2, 3, 4}));
    ASSERT_EQ(t.ticks.size(), 5u);
    EXPECT_EQ(t.ticks[0].length, 10);
    EXPECT_EQ(t.ticks[1].length, 5);
    ASSERT_EQ(t.labels.size(), 1u);
    EXPECT_EQ(t.labels[0].text, QStringLiteral("08:45:00"));
    EXPECT_EQ(t.labels[0].rect, QRect(13, 20, 35, 10));
}

TEST_F(PlaySlider, TwelveMinutesLabelMinutesZeroFiveAndTen) {
    show(720, 626);  // 600 usable pixels: 50 per minute
    const auto t = slider.timeline();
    EXPECT_EQ(t.ticks.size(), 13u);
    ASSERT_EQ(t.labels.size(), 3u);
    EXPECT_EQ(t.labels[0].text, QStringLiteral("08:45:00"));
    EXPECT_EQ(t.labels[1].text, QStringLiteral("08:50:00"));
    EXPECT_EQ(t.labels[2].text, QStringLiteral("08:55:00"));
    // Each label is drawn whole inside its box, whatever font the system has.
    const QFontMetrics metrics(t.labelFont);
    for (const auto& l : t.labels)
        EXPECT_LE(metrics.horizontalAdvance(l.text), l.rect.width()) << l.text.toStdString();
    EXPECT_GE(t.labelFont.pixelSize(), 6);
    EXPECT_EQ(t.ticks[10].length, 10);
    EXPECT_EQ(t.ticks[11].length, 5);
}

TEST_F(PlaySlider, LabelAtTheRightEndIsShiftedToEndAtTheEdge) {
    show(600, 526);  // minute 10 falls at x = 513
    const auto t = slider.timeline();
    ASSERT_EQ(t.labels.size(), 3u);
    EXPECT_EQ(t.labels[2].rect, QRect(526 - 35, 20, 35, 10));
    EXPECT_EQ(t.labels[1].rect.left(), 13 + 250);
}

TEST_F(PlaySlider, PressAtTenIsTheStartAndAtWidthMinusTenTheEnd) {
    show(240, 500);
    int pauses = 0;
    slider.setPauseHandler([&] { ++pauses; });
    QSignalSpy commands(&slider, &CVideoPlaySlider::commandSent);
    slider.setValue(100);
    press(&slider, {10, 15});
    EXPECT_EQ(slider.value(), 0);
    EXPECT_TRUE(slider.isTracking());
    release(&slider, {10, 15});
    EXPECT_EQ(pauses, 1) << "the pending pause comes before the seek command";
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands.at(0).at(0).toInt(), CVideoPlaySlider::kCommandId);
    press(&slider, {490, 15});
    EXPECT_EQ(slider.value(), 240);
    release(&slider, {490, 15});
    EXPECT_EQ(commands.count(), 2);
    EXPECT_EQ(slider.positionForX(250), 120);
    EXPECT_EQ(slider.positionForX(-50), 0);
    EXPECT_EQ(slider.positionForX(900), 240);
}

TEST_F(PlaySlider, PressStopsThePositionTimerAndPausesAfterTheSettlingTime) {
    show(240, 500);
    QTimer positionTimer;
    positionTimer.start(500);
    slider.setPositionTimer(&positionTimer);
    int pauses = 0;
    slider.setPauseHandler([&] { ++pauses; });
    press(&slider, {100, 15});
    EXPECT_FALSE(positionTimer.isActive());
    EXPECT_EQ(pauses, 0);
    EXPECT_TRUE(playertest::waitUntil([&] { return pauses == 1; }, 3000));
    EXPECT_TRUE(slider.wasPressed());
    release(&slider, {100, 15});
    EXPECT_EQ(pauses, 1);
}

TEST_F(PlaySlider, NoPauseInPreviewMode) {
    show(240, 500);
    int pauses = 0;
    slider.setPauseHandler([&] { ++pauses; });
    slider.setPreviewModeQuery([] { return true; });
    press(&slider, {100, 15});
    release(&slider, {100, 15});
    EXPECT_EQ(pauses, 0);
    EXPECT_TRUE(slider.wasPressed());
}

TEST_F(PlaySlider, DraggingShowsTheTimeUnderTheThumb) {
    show(240, 500);
    press(&slider, {10, 15});
    moveTo(&slider, {250, 15});
    EXPECT_EQ(slider.value(), 120);
    EXPECT_EQ(slider.timeLabelText(), QStringLiteral("2010/03/15 08:47:00"));
    release(&slider, {250, 15});
}

TEST_F(PlaySlider, ClipsAreBandsAndAClipEndingBeforeItStartsIsLeftOut) {
    slider.resize(526, 30);
    slider.setRange(0, 500);
    slider.setRecordingData(0, QStringLiteral("r"), kStart,
                            {{kStart + 10, kStart + 60}, {kStart + 200, kStart + 100}}, {});
    const auto t = slider.timeline();
    ASSERT_EQ(t.clips.size(), 1u);
    EXPECT_EQ(t.clips[0].x1, 10 + 15);
    EXPECT_EQ(t.clips[0].x2, 60 + 15);
}

TEST_F(PlaySlider, BothFlagsGiveBothTriangles) {
    slider.resize(526, 30);
    slider.setRange(0, 500);
    slider.setRecordingData(
        0, QStringLiteral("r"), kStart, {},
        {{kStart + 100, 0, 0x11, 0}, {kStart + 200, 0, 0x10, 0}, {kStart + 300, 0, 0x04, 0}});
    const auto t = slider.timeline();
    ASSERT_EQ(t.events.size(), 3u);
    EXPECT_EQ(t.events[0].triangle, QPolygon({QPoint(115, 9), QPoint(113, 4), QPoint(117, 4)}));
    EXPECT_EQ(t.events[0].colour, QColor(0x50, 0x96, 0x0A));
    EXPECT_EQ(t.events[1].triangle, QPolygon({QPoint(115, 18), QPoint(113, 23), QPoint(117, 23)}));
    EXPECT_EQ(t.events[1].colour, QColor(0xF0, 0x96, 0x08));
    EXPECT_EQ(t.events[2].triangle.boundingRect().top(), 4);
}

TEST_F(PlaySlider, HighlightAndExportMarks) {
    show(500, 526);
    slider.setHighlightRange(100, 200);
    const auto t = slider.timeline();
    ASSERT_TRUE(t.hasHighlight);
    EXPECT_EQ(t.highlight.x1, 115);
    EXPECT_EQ(t.highlight.x2, 215);
    slider.setStartMark(50);
    slider.setEndMark(900);
    EXPECT_EQ(slider.startMark(), 50);
    EXPECT_EQ(slider.endMark(), 500) << "kept inside the range";
    slider.moveStartMark(-60);
    EXPECT_EQ(slider.startMark(), 0);
    slider.clearMarks();
    EXPECT_EQ(slider.startMark(), -1);
    EXPECT_EQ(slider.endMark(), -1);
}

TEST_F(PlaySlider, ThumbIsAPentagonAtThePosition) {
    show(500, 526);
    slider.setValue(250);
    EXPECT_EQ(slider.thumbPolygon(), QPolygon({QPoint(264, 12), QPoint(261, 17), QPoint(261, 22),
                                               QPoint(267, 22), QPoint(267, 17)}));
    const QImage shot = slider.grab().toImage();
    EXPECT_EQ(shot.pixelColor(264, 19), QColor(0x66, 0xCC, 0xFF));
}

TEST_F(PlaySlider, AnEmptyRangeDrawsNoTimeLine) {
    show(0, 526);
    EXPECT_TRUE(slider.timeline().ticks.empty());
    EXPECT_EQ(slider.positionForX(300), 0);
    slider.grab();  // and paints without trouble
}

TEST(PlaySliderLibrary, TakesTheRecordingFromTheCatalogue) {
    using namespace testrec;
    TempDir dir;
    const auto t0 = at(2010, 3, 15, 8, 45, 0);
    std::vector<Frame> frames = steadyFrames(t0, 120);
    frames[30].flags = 0x11;
    writeRecording(dir.file("a.qmr3"), frames, {.lengthSeconds = 120});
    CVideoLibrary lib;
    ASSERT_EQ(lib.scan(dir.path()), 1);
    ASSERT_EQ(lib.readVideoInfo(0), 1);
    CVideoPlaySlider slider;
    slider.setLibrary(&lib);
    slider.resize(266, 30);
    slider.setRange(0, 120);
    slider.setRecording(0);
    EXPECT_EQ(slider.recordingName(), QStringLiteral("a.qmr3"));
    EXPECT_EQ(slider.recordingStart(), seconds(t0));
    const auto t = slider.timeline();
    EXPECT_EQ(t.clips.size(), lib.clips().size());
    ASSERT_EQ(t.events.size(), 2u);  // one event with both flags
    EXPECT_EQ(t.ticks.size(), 3u);
    slider.setRecording(-1);
    EXPECT_TRUE(slider.recordingName().isEmpty());
    EXPECT_TRUE(slider.timeline().ticks.empty());
}

TEST(VolumeSlider, DrawsItsBackgroundAndAFlatThumb) {
    CXSliderCtrl s;
    s.resize(96, 24);
    s.setRange(0, 10);
    s.setValue(5);
    QPixmap bg(96, 24);
    bg.fill(QColor(1, 2, 3));
    s.setBackground(bg);
    const QImage shot = s.grab().toImage();
    const QRect thumb = s.thumbRect();
    ASSERT_FALSE(thumb.isEmpty());
    EXPECT_EQ(shot.pixelColor(thumb.center()), QColor(0x73, 0x73, 0x73));
    const int away = thumb.right() + 10 < 96 ? thumb.right() + 10 : thumb.left() - 10;
    EXPECT_EQ(shot.pixelColor(away, 2), QColor(1, 2, 3));
    s.setValue(10);
    EXPECT_GT(s.thumbRect().center().x(), thumb.center().x());
}

// A drag ends without a release when the slider is disabled or hidden, or a
// dialog blocks its window; the late release then seeks nowhere.
TEST(PlaySliderDrag, TrackingEndsWhenTheSliderIsDisabledHiddenOrBlocked) {
    QWidget top;
    top.resize(640, 100);
    auto* s = new CVideoPlaySlider(&top);
    s->setGeometry(10, 10, 600, 30);
    s->setRange(0, 240);
    s->setEnabled(true);
    top.show();
    QSignalSpy commands(s, &CVideoPlaySlider::commandSent);

    press(s, {300, 15});
    ASSERT_TRUE(s->isTracking());
    s->setEnabled(false);
    EXPECT_FALSE(s->isTracking());
    release(s, {300, 15});
    s->setEnabled(true);

    press(s, {300, 15});
    ASSERT_TRUE(s->isTracking());
    s->hide();
    EXPECT_FALSE(s->isTracking());
    s->show();

    press(s, {300, 15});
    ASSERT_TRUE(s->isTracking());
    QMessageBox box(QMessageBox::Information, QStringLiteral("Korvid"), QStringLiteral("x"), QMessageBox::Ok,
                    &top);
    box.open();
    EXPECT_TRUE(playertest::waitUntil([&] { return !s->isTracking(); }, 3000));
    box.done(QMessageBox::Ok);
    release(s, {300, 15});
    EXPECT_EQ(commands.count(), 0);

    // A drag that is not cut short still ends in a seek.
    press(s, {300, 15});
    release(s, {300, 15});
    EXPECT_FALSE(s->isTracking());
    EXPECT_EQ(commands.count(), 1);
}
