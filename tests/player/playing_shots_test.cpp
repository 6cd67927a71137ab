// The demo recorder folder playing in the main window, in the language of the
// test program; pictured on the list and the calendar when KORVID_PANEL_SHOTS
// names a folder for the pictures.
#include "generator.h"
#include "demowindow.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "playertest.h"
#include "skinedit.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"

#include <QDateTime>

#include <algorithm>

#include <gtest/gtest.h>

TEST(PlayingWindow, ListAndCalendarWhilePlaying) {
    playertest::DemoWindow demo;
    ASSERT_TRUE(demo.written) << demo.error;
    CKorvidAppDlg& w = demo.w;
    CThumbnailCtrl* p = w.thumbnailCtrl();
    const CVideoLibrary& lib = w.library();
    ASSERT_FALSE(p->shownFiles().empty());

    // The newest listed recording, chosen with a click on its row.
    const int file = p->shownFiles()[0];
    const QPoint row(CThumbnailCtrl::kWidth / 2, CThumbnailCtrl::kRowHeight / 2);
    playertest::press(p, row);
    playertest::release(p, row);
    ASSERT_TRUE(w.isPlaying());
    EXPECT_EQ(p->selectedFile(), file);
    // A few seconds in, with the list's pictures made: read from the picture's
    // number, or for realistic pictures from the time field.
    const auto secondsIn = [&] {
        const QDateTime t =
            QDateTime::fromString(w.playTimeField()->text().left(19), QStringLiteral("yyyy/MM/dd hh:mm:ss"));
        return t.isValid() ? t.toSecsSinceEpoch() - lib.startTime(file) : -1;
    };
    ASSERT_TRUE(playertest::waitUntil(
        [&] {
            const bool along =
                demo.realistic ? secondsIn() >= 3 : testrec::frameOf(w.viewer()->CurrentPicture()) >= 30;
            return along && p->picturesPending() == 0;
        },
        120000))
        << w.playTimeField()->text().toStdString();
    const QString day =
        QDateTime::fromSecsSinceEpoch(lib.startTime(file)).toString(QStringLiteral("yyyy/MM/dd"));
    ASSERT_TRUE(playertest::waitUntil([&] { return w.playTimeField()->text().startsWith(day); }, 5000))
        << w.playTimeField()->text().toStdString();

    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    const QString language = QString::fromLatin1(KORVID_TEST_LOCALE).left(2);
    if (!shots.isEmpty()) w.grab().save(shots + "/playing-list-" + language + ".png");
    w.onCommand(IDC_TAB_CALENDAR);
    // The calendar opens on the day of the newest recording and lists it.
    const auto items = p->calendarItems();
    EXPECT_NE(std::find(items.begin(), items.end(), file), items.end());
    EXPECT_TRUE(w.isPlaying());
    if (!shots.isEmpty()) w.grab().save(shots + "/playing-calendar-" + language + ".png");
}
