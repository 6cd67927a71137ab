// A morning of recordings the recorder cut a second apart, in the language of
// the test program: the day timeline of the calendar, and playback going on
// across a file boundary. Pictured when KORVID_PANEL_SHOTS names a folder.
#include "generator.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "playertest.h"
#include "skinedit.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"

#include <QDateTime>
#include <QWheelEvent>

#include <gtest/gtest.h>

namespace {

qmr3::GenOptions cut(int hour, int minute, int second, int seconds, std::vector<qmr3::EventSpec> events,
                     std::vector<qmr3::SecondRange> motion = {}) {
    qmr3::GenOptions o;
    o.width = 704;
    o.height = 480;
    o.fps = 10;
    o.gop = 10;
    o.seconds = seconds;
    o.year = 2026;
    o.month = 12;
    o.day = 1;
    o.hour = hour;
    o.minute = minute;
    o.second = second;
    o.events = std::move(events);
    o.motion = std::move(motion);
    return o;
}

}  // namespace

TEST(PlayOnShots, DayTimelineAndPlaybackAcrossAFileBoundary) {
    testrec::TempDir dir;
    // 08:10:00 to 08:12:59 and on from 08:13:00; motion at 08:40; an emergency at 15:00.
    ASSERT_TRUE(qmr3::generateRecording(dir.file("0810a.qmr3"),
                                        cut(8, 10, 0, 180, {{{20, 40}, 0x01}, {{150, 170}, 0x01}}))
                    .ok);
    ASSERT_TRUE(
        qmr3::generateRecording(dir.file("0813.qmr3"), cut(8, 13, 0, 240, {}, {{10, 60}, {200, 230}})).ok);
    ASSERT_TRUE(qmr3::generateRecording(dir.file("0840.qmr3"), cut(8, 40, 0, 300, {}, {{30, 200}})).ok);
    ASSERT_TRUE(qmr3::generateRecording(dir.file("1500.qmr3"), cut(15, 0, 0, 200, {{{0, 199}, 0x03}})).ok);
    CVideoLibrary library;
    CKorvidAppDlg w(library, playertest::binDir(), QStringLiteral("1.0"), nullptr);
    w.resize(1280, 960);
    w.show();
    w.openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(library.fileCount(), 4);
    w.onCommand(IDC_TAB_CALENDAR);
    CThumbnailCtrl* panel = w.thumbnailCtrl();
    CPanelDayTimeline* strip = panel->dayTimeline();
    ASSERT_TRUE(playertest::waitUntil([&] { return strip->isVisible(); }));
    EXPECT_EQ(strip->bands().size(), 4u);

    int carried = -1;
    QObject::connect(w.playback(), &CPlaybackController::carriedOn, &w, [&](int f) { carried = f; });
    int first = -1;
    for (int i = 0; i < library.fileCount(); ++i)
        if (library.fileName(i) == "0810a.qmr3") first = i;
    // Four seconds before the cut.
    w.playback()->playFromOffset(first, 176);
    ASSERT_TRUE(w.isPlaying());
    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    const QString language = QString::fromLatin1(KORVID_TEST_LOCALE).left(2);
    // A second into the recording that followed on.
    ASSERT_TRUE(playertest::waitUntil([&] { return carried >= 0; }, 15000));
    ASSERT_TRUE(playertest::waitUntil(
        [&] { return w.playTimeField()->text().startsWith(QStringLiteral("2026/12/01 08:13:01")); }, 10000))
        << w.playTimeField()->text().toStdString();
    EXPECT_EQ(library.fileName(carried), "0813.qmr3");
    EXPECT_EQ(strip->playbackTime(), QDateTime(QDate(2026, 12, 1), QTime(8, 13, 1)).toSecsSinceEpoch());
    if (!shots.isEmpty()) w.grab().save(shots + "/playon-boundary-" + language + ".png");

    // The morning zoomed in to an hour around the recordings.
    const int x = strip->xForTime(QDateTime(QDate(2026, 12, 1), QTime(8, 30)).toSecsSinceEpoch());
    for (int k = 0; k < 4; ++k) {
        QWheelEvent wheel(QPointF(x, 30), strip->mapToGlobal(QPointF(x, 30)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(strip, &wheel);
    }
    EXPECT_EQ(strip->viewSpan(), CPanelDayTimeline::kClosest * 3 / 2);
    if (!shots.isEmpty()) {
        w.grab().save(shots + "/day-timeline-" + language + ".png");
        strip->grab().scaled(strip->size() * 2).save(shots + "/day-timeline-strip-" + language + ".png");
    }
}
