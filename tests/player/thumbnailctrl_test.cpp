// The info, list and calendar panel: what each page shows for a catalogue,
// the filter buttons of the main window, mouse choices, and pictures made by
// ffmpeg for a generated recorder folder.
#include "framegrabber.h"
#include "generator.h"
#include "demowindow.h"
#include "korvidappdlg.h"
#include "playertest.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "tempdirs.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"

#include <QDateTime>
#include <QFileDialog>
#include <QMessageBox>
#include <QSettings>
#include <QSignalSpy>

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

using testrec::at;

namespace {

struct Rec {
    const char* name;
    qmr3::Qmr3TimeStamp start;
    qmr3::Qmr3TimeStamp end;
    std::uint8_t summary;
};

// Cheap hand-made recordings: two pictures, at the start and at the end.
void writeRec(const testrec::TempDir& dir, const Rec& r) {
    std::vector<testrec::Frame> frames(2);
    frames[0].time = r.start;
    frames[1].time = r.end;
    testrec::Options o;
    o.eventSummary = r.summary;
    o.width = 352;
    o.height = 240;
    o.lengthSeconds = std::uint32_t(testrec::seconds(r.end) - testrec::seconds(r.start) + 2);
    testrec::writeRecording(dir.file(r.name), frames, o);
}

struct Catalogue {
    testrec::TempDir dir;
    CVideoLibrary lib;
    explicit Catalogue(const std::vector<Rec>& recs) {
        for (const Rec& r : recs) writeRec(dir, r);
        lib.scanFolder(dir.path());
    }
};

std::unique_ptr<CThumbnailCtrl> panelFor(CVideoLibrary& lib, int rows) {
    auto p = std::make_unique<CThumbnailCtrl>(lib);
    p->grabber()->grabber().setFfmpegPath("");  // hand-made pictures do not decode
    p->resize(CThumbnailCtrl::kWidth, rows * CThumbnailCtrl::kRowHeight + CThumbnailCtrl::kBarHeight);
    p->resetForOpen();
    return p;
}

int indexOf(const CVideoLibrary& lib, const std::string& name) {
    for (int i = 0; i < lib.fileCount(); ++i)
        if (lib.fileName(i) == name) return i;
    return -1;
}

const std::vector<Rec> kFour = {
    {"a.qmr3", at(2026, 11, 28, 9, 0, 0), at(2026, 11, 28, 9, 10, 5), 0x01},
    {"m.qmr3", at(2026, 11, 29, 9, 0, 0), at(2026, 11, 29, 9, 2, 0), 0x04},
    {"e.qmr3", at(2026, 11, 30, 9, 0, 0), at(2026, 11, 30, 9, 1, 0), 0x02 | 0x08},
    {"none.qmr3", at(2026, 11, 27, 9, 0, 0), at(2026, 11, 27, 9, 1, 0), 0x00},
};

}  // namespace

TEST(PanelList, NewestFirstWithTexts) {
    Catalogue c(kFour);
    auto p = panelFor(c.lib, 6);
    const auto& shown = p->shownFiles();
    ASSERT_EQ(shown.size(), 3u);  // a summary of 0 is never listed
    for (std::size_t k = 1; k < shown.size(); ++k)
        EXPECT_GT(c.lib.startTime(shown[k - 1]), c.lib.startTime(shown[k]));
    EXPECT_EQ(c.lib.fileName(shown[0]), "e.qmr3");
    const QStringList t = p->rowTexts(indexOf(c.lib, "a.qmr3"));
    ASSERT_EQ(t.size(), 5);
    EXPECT_EQ(t[0], "2026-11-28");
    EXPECT_EQ(t[1], "09:00:00");
    const int len = c.lib.length(indexOf(c.lib, "a.qmr3"));
    EXPECT_EQ(t[2], QString::asprintf("(%2dm %2ds)", len / 60, len % 60));
    EXPECT_EQ(t[3], "352 x 240 (30FPS)");
    EXPECT_EQ(t[4], "a.qmr3");
    EXPECT_EQ(p->pageBarText(), "  1 /   1");
}

TEST(PanelList, PagesAndPageBar) {
    std::vector<Rec> ten;
    static std::vector<std::string> names;
    names.clear();
    for (int k = 0; k < 10; ++k) names.push_back("r" + std::to_string(k) + ".qmr3");
    for (int k = 0; k < 10; ++k)
        ten.push_back({names[std::size_t(k)].c_str(), at(2026, 11, 1 + k, 8, 0, 0),
                       at(2026, 11, 1 + k, 8, 5, 0), 0x04});
    Catalogue c(ten);
    auto p = panelFor(c.lib, 4);
    EXPECT_EQ(p->rows(), 4);
    EXPECT_EQ(p->pageBarText(), "  1 /   3");
    const int bar = p->height() - CThumbnailCtrl::kBarHeight + 10;
    // Previous on the first page goes to the last.
    playertest::press(p.get(), {10, bar});
    playertest::release(p.get(), {10, bar});
    EXPECT_EQ(p->listPageNumber(), 2);
    EXPECT_EQ(p->pageBarText(), "  3 /   3");
    // Next after the last goes back to the first.
    playertest::press(p.get(), {260, bar});
    playertest::release(p.get(), {260, bar});
    EXPECT_EQ(p->listPageNumber(), 0);
    // Hover over the track names the page under the pointer and its last file.
    playertest::moveTo(p.get(), {30 + 213 / 2, bar}, false);
    const int last = p->shownFiles()[7];
    EXPECT_EQ(p->pageBarText(),
              QString::asprintf(
                  "%3d / %3d (%s)", 2, 3,
                  qPrintable(
                      QDateTime::fromSecsSinceEpoch(c.lib.startTime(last)).toString("yyyy-MM-dd HH:mm:ss"))));
    // A press on the track jumps there.
    playertest::press(p.get(), {240, bar});
    EXPECT_EQ(p->listPageNumber(), 2);
}

TEST(PanelList, ChoosingARowAndTheMarkArea) {
    Catalogue c(kFour);
    auto p = panelFor(c.lib, 6);
    QSignalSpy chosen(p.get(), &CThumbnailCtrl::fileChosen);
    const int second = p->shownFiles()[1];
    playertest::press(p.get(), {150, 78 + 30});
    playertest::release(p.get(), {150, 78 + 30});
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), second);
    EXPECT_EQ(p->selectedFile(), second);
    // The mark area flips the backup mark and chooses nothing.
    playertest::press(p.get(), {6, 30});
    playertest::release(p.get(), {6, 30});
    EXPECT_EQ(chosen.count(), 1);
    EXPECT_EQ(c.lib.marked(p->shownFiles()[0]), 1);
    playertest::press(p.get(), {6, 30});
    playertest::release(p.get(), {6, 30});
    EXPECT_EQ(c.lib.marked(p->shownFiles()[0]), 0);
    // A release on another row chooses nothing.
    playertest::press(p.get(), {150, 30});
    playertest::release(p.get(), {150, 78 + 30});
    EXPECT_EQ(chosen.count(), 1);
}

TEST(PanelFilter, KindsSelectTheirFiles) {
    Catalogue c(kFour);
    auto p = panelFor(c.lib, 6);
    auto names = [&] {
        std::set<std::string> s;
        for (int i : p->shownFiles()) s.insert(c.lib.fileName(i));
        return s;
    };
    p->setFilterBit(0x01, false);
    EXPECT_EQ(names(), (std::set<std::string>{"m.qmr3", "e.qmr3"}));
    p->setFilterBit(0x04, false);
    EXPECT_EQ(names(), (std::set<std::string>{"e.qmr3"}));
    p->setFilterBit(0x02, false);
    EXPECT_EQ(names(), (std::set<std::string>{"e.qmr3"}));  // still has T
    p->setFilterBit(0x08, false);
    EXPECT_TRUE(names().empty());
    EXPECT_EQ(p->pageBarText(), "0 / 0");
    p->setFilterBit(0x01, true);
    EXPECT_EQ(names(), (std::set<std::string>{"a.qmr3"}));
}

TEST(PanelCalendar, ARecordingOverMidnightIsOnBothDays) {
    Catalogue c({{"late.qmr3", at(2026, 11, 28, 23, 50, 0), at(2026, 11, 29, 0, 20, 0), 0x04},
                 {"noon.qmr3", at(2026, 11, 28, 12, 10, 0), at(2026, 11, 28, 12, 40, 0), 0x01}});
    auto p = panelFor(c.lib, 10);
    p->setPage(CThumbnailCtrl::CalendarPage);
    const int late = indexOf(c.lib, "late.qmr3");
    const std::int64_t first = testrec::seconds(at(2026, 11, 28, 23, 30, 0));
    p->refresh(-1, first);
    EXPECT_EQ(p->slotFlags()[47], 1);
    EXPECT_EQ(p->slotEvents()[47], 0x04);
    EXPECT_EQ(p->slotFlags()[24], 1);
    EXPECT_EQ(p->slotFlags()[25], 1);
    EXPECT_EQ(p->slotEvents()[24], 0x01);
    EXPECT_EQ(p->slotFlags()[0], 0);
    EXPECT_EQ(p->calendarItems(), std::vector<int>{late});

    p->refresh(-1, testrec::seconds(at(2026, 11, 29, 0, 0, 0)));
    EXPECT_EQ(p->slotFlags()[0], 1);
    EXPECT_EQ(p->slotFlags()[47], 0);
    EXPECT_EQ(p->calendarItems(), std::vector<int>{late});

    // Choosing slot 24 of the first day by mouse lists the noon recording.
    p->refresh(-1, first);
    const QPoint slot24(167 + 10, 162 + 5);
    EXPECT_EQ(p->calendarHitCode(slot24), 224);
    playertest::press(p.get(), slot24);
    playertest::release(p.get(), slot24);
    EXPECT_EQ(p->calendarItems(), std::vector<int>{indexOf(c.lib, "noon.qmr3")});
    // An unflagged slot is no target.
    EXPECT_EQ(p->calendarHitCode({37 + 10, 162 + 5}), 0);
    // A day of the grid moves the date.
    const QDate d(2026, 11, 1);
    const int idx = d.dayOfWeek() % 7 + 29 - 1;  // the 29th
    const QPoint day29(7 + idx % 7 * 37 + 5, 33 + idx / 7 * 18 + 5);
    EXPECT_EQ(p->calendarHitCode(day29), 129);
    playertest::press(p.get(), day29);
    playertest::release(p.get(), day29);
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(p->calendarDate()).date(), QDate(2026, 11, 29));
    // Items are chosen through the calendar as in the list.
    p->refresh(-1, testrec::seconds(at(2026, 11, 29, 0, 0, 0)));
    QSignalSpy chosen(p.get(), &CThumbnailCtrl::fileChosen);
    const QPoint item(150, CThumbnailCtrl::kCalendarItemsTop + 30);
    EXPECT_EQ(p->calendarHitCode(item), 1001);
    playertest::press(p.get(), item);
    playertest::release(p.get(), item);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toInt(), late);
}

TEST(PanelCalendar, MonthMoves) {
    Catalogue c(kFour);
    auto p = panelFor(c.lib, 10);
    p->setPage(CThumbnailCtrl::CalendarPage);
    p->refresh(-1, testrec::seconds(at(2026, 12, 15, 10, 30, 0)));
    playertest::press(p.get(), {20, 10});
    playertest::release(p.get(), {20, 10});
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(p->calendarDate()),
              QDateTime(QDate(2026, 11, 15), QTime(10, 30)));
    p->refresh(-1, testrec::seconds(at(2026, 12, 15, 10, 30, 0)));
    playertest::press(p.get(), {240, 10});
    playertest::release(p.get(), {240, 10});
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(p->calendarDate()), QDateTime(QDate(2027, 1, 15), QTime(10, 30)));
    // 31 January plus a month carries into March.
    p->refresh(-1, testrec::seconds(at(2027, 1, 31, 8, 0, 0)));
    playertest::press(p.get(), {240, 10});
    playertest::release(p.get(), {240, 10});
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(p->calendarDate()).date(), QDate(2027, 3, 3));
}

// The list and the calendar share one page bar but page different things: the
// calendar's buttons page the chosen half hour's items and wrap around, its
// track does nothing, and neither page moves the other's page.
TEST(PanelCalendar, PageBarPagesTheItemsOfTheHalfHour) {
    std::vector<Rec> recs;
    static std::vector<std::string> names;
    names.clear();
    for (int k = 0; k < 11; ++k) names.push_back("c" + std::to_string(k) + ".qmr3");
    // Three in 10:00 to 10:30 of the 28th, eight on other days.
    for (int k = 0; k < 3; ++k)
        recs.push_back({names[std::size_t(k)].c_str(), at(2026, 11, 28, 10, k * 10, 0),
                        at(2026, 11, 28, 10, k * 10 + 5, 0), 0x04});
    for (int k = 3; k < 11; ++k)
        recs.push_back(
            {names[std::size_t(k)].c_str(), at(2026, 11, k, 8, 0, 0), at(2026, 11, k, 8, 5, 0), 0x04});
    Catalogue c(recs);
    auto p = panelFor(c.lib, 7);  // one calendar item per page
    ASSERT_EQ(p->calendarItemsPerPage(), 1);
    ASSERT_EQ(p->pageCount(), 2);
    const int bar = p->height() - CThumbnailCtrl::kBarHeight + 10;
    auto click = [&](QPoint at) {
        playertest::press(p.get(), at);
        playertest::release(p.get(), at);
    };
    click({260, bar});
    ASSERT_EQ(p->listPageNumber(), 1);

    p->setPage(CThumbnailCtrl::CalendarPage);
    p->refresh(-1, testrec::seconds(at(2026, 11, 28, 10, 0, 0)));
    const std::vector<int> items = p->calendarItems();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(p->pageBarText(), "1 / 3");
    EXPECT_EQ(p->calendarPageItems(), std::vector<int>{items[0]});
    // Previous on the first item page goes to the last, next after the last to the first.
    click({10, bar});
    EXPECT_EQ(p->pageBarText(), "3 / 3");
    EXPECT_EQ(p->calendarPageItems(), std::vector<int>{items[2]});
    click({260, bar});
    EXPECT_EQ(p->pageBarText(), "1 / 3");
    click({260, bar});
    EXPECT_EQ(p->pageBarText(), "2 / 3");
    // The track is no target here: hovering names no time, a press jumps nowhere.
    playertest::moveTo(p.get(), {30 + 5, bar}, false);
    EXPECT_EQ(p->pageBarText(), "2 / 3");
    click({30 + 5, bar});
    EXPECT_EQ(p->calendarItemPage(), 1);
    // A slot chosen anew shows its first item page, chosen again the next.
    const QPoint slot20(37 + 10, 162 + 10 * 24 + 5);
    ASSERT_EQ(p->calendarHitCode(slot20), 220);
    click(slot20);
    EXPECT_EQ(p->pageBarText(), "1 / 3");
    click(slot20);
    EXPECT_EQ(p->pageBarText(), "2 / 3");
    // The mark area of an item flips the backup mark and chooses nothing.
    QSignalSpy chosen(p.get(), &CThumbnailCtrl::fileChosen);
    click({6, CThumbnailCtrl::kCalendarItemsTop + 30});
    EXPECT_EQ(c.lib.marked(items[1]), 1);
    EXPECT_EQ(chosen.count(), 0);

    p->setPage(CThumbnailCtrl::ListPage);
    EXPECT_EQ(p->listPageNumber(), 1);
    EXPECT_EQ(p->pageBarText(), "  2 /   2");
}

TEST(PanelInfo, Totals) {
    Catalogue c(kFour);
    auto p = panelFor(c.lib, 6);
    std::uint64_t bytes = 0;
    int seconds = 0;
    for (int i = 0; i < c.lib.fileCount(); ++i) {
        bytes += c.lib.fileSize(i);
        seconds += c.lib.length(i);
    }
    const QStringList l = p->infoLines();
    ASSERT_EQ(l.size(), 12);
    EXPECT_EQ(l[0], "File Information");
    EXPECT_EQ(l[1], "- Total Number of Files : 4 pcs");  // the summary-0 file counts here
    EXPECT_EQ(l[2], QString("- Total Memory Size : %1 MB").arg(bytes / 1048576));
    EXPECT_EQ(l[3], QString::asprintf("- Total Recording Time : %d:%02d:%02d", seconds / 3600,
                                      seconds / 60 % 60, seconds % 60));
    // From 27 Nov 09:00:00 to 30 Nov 09:01:00.
    EXPECT_EQ(l[4], "- Total Recording Period : 3day(s) 0:01:00");
    EXPECT_EQ(l[5], "- Start Time : 2026/11/27 09:00:00");
    EXPECT_EQ(l[6], "- Finish Time : 2026/11/30 09:01:00");
    EXPECT_EQ(l[7], "Event Information (File Count)");
    EXPECT_EQ(l[8], "- Event A : 1 pcs");
    EXPECT_EQ(l[9], "- Event M : 1 pcs");
    EXPECT_EQ(l[10], "- Event E : 1 pcs");
    EXPECT_EQ(l[11], "- Event T : 1 pcs");
}

// The main window hosts the panel: open a generated folder, pictures appear,
// the tab and filter buttons drive it.
TEST(PanelInWindow, OpenFolderListsWithPicturesAndButtonsDriveIt) {
    testrec::TempDir dir;
    for (int k = 0; k < 3; ++k) {
        qmr3::GenOptions o;
        o.seconds = 3;
        o.fps = 10;
        o.gop = 10;
        o.productId = k == 1 ? 0x00 : 0x41;
        o.hour = 8 + k;
        o.events = k == 2 ? std::vector<qmr3::EventSpec>{{{0, 1}, 0x01}} : std::vector<qmr3::EventSpec>{};
        o.timeEvent = true;
        char name[64];
        std::snprintf(name, sizeof name, "20261201_%02d0000.qmr3", o.hour);
        ASSERT_TRUE(qmr3::generateRecording(dir.file(name), o).ok);
    }
    CVideoLibrary library;
    CKorvidAppDlg w(library, playertest::binDir(), QStringLiteral("1.0"), nullptr);
    w.show();
    CThumbnailCtrl* p = w.thumbnailCtrl();
    ASSERT_TRUE(p);
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->width(), CThumbnailCtrl::kWidth);
    QStringList texts;
    QObject::connect(w.playTimeField(), &QLineEdit::textChanged, [&](const QString& t) { texts << t; });
    w.openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(p->shownFiles().size(), 3u);
    // The catalogue's progress and the pictures' progress go to the play-time field.
    EXPECT_TRUE(texts.contains("Read Video List...")) << texts.join('|').toStdString();
    EXPECT_TRUE(std::any_of(texts.begin(), texts.end(),
                            [](const QString& t) { return t.startsWith("Preparing Pictures"); }));
    const CVideoLibrary& lib = w.library();
    EXPECT_EQ(lib.fileName(p->shownFiles()[0]), "20261201_100000.qmr3");
    ASSERT_TRUE(playertest::waitUntil(
        [&] {
            for (int f : p->shownFiles())
                if (!p->hasPicture(f)) return false;
            return true;
        },
        60000));
    EXPECT_TRUE(playertest::waitUntil([&] { return w.playTimeField()->text().isEmpty(); }, 5000));

    // Filter A off: the recording with only the time kind... all three have T.
    w.onCommand(IDC_FILTER_T);
    EXPECT_TRUE(w.button(IDC_FILTER_T)->active());
    ASSERT_EQ(p->shownFiles().size(), 1u);
    EXPECT_EQ(lib.fileName(p->shownFiles()[0]), "20261201_100000.qmr3");
    w.onCommand(IDC_FILTER_A);
    EXPECT_TRUE(p->shownFiles().empty());
    w.onCommand(IDC_FILTER_T);
    EXPECT_EQ(p->shownFiles().size(), 3u);

    w.onCommand(IDC_TAB_CALENDAR);
    EXPECT_EQ(p->page(), CThumbnailCtrl::CalendarPage);
    EXPECT_FALSE(w.button(IDC_TAB_CALENDAR)->active());
    EXPECT_TRUE(w.button(IDC_TAB_LIST)->active());
    w.onCommand(IDC_TAB_INFO);
    EXPECT_EQ(p->page(), CThumbnailCtrl::InfoPage);

    // A choice in the panel reaches the window's slot.
    w.onCommand(IDC_TAB_LIST);
    playertest::press(p, {150, 30});
    playertest::release(p, {150, 30});
    EXPECT_EQ(w.currentFileIndex(), p->shownFiles()[0]);

    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    if (!shots.isEmpty()) {
        w.grab().save(shots + "/window-list.png");
        p->refresh(-1, lib.startTime(p->shownFiles()[0]));
        w.onCommand(IDC_TAB_CALENDAR);
        w.grab().save(shots + "/window-calendar.png");
        w.onCommand(IDC_TAB_INFO);
        p->grab().save(shots + "/panel-info.png");
    }
}

// Open Folder and Open Files ask with dialogs; a choice opens the recordings,
// remembers the folder and empties the picture cache first.
TEST(PanelInWindow, OpenDialogsOpenTheChosenRecordings) {
    Catalogue c(kFour);
    CVideoLibrary library;
    CKorvidAppDlg w(library, playertest::binDir(), QStringLiteral("1.0"), nullptr);
    w.show();
    const std::string stale = qmr3::thumbnailDir() + "110x72-old.bmp";
    testrec::writeBytes(stale, {1, 2, 3});

    w.onCommand(IDC_OPEN_DIR);
    QFileDialog* dlg = nullptr;
    ASSERT_TRUE(playertest::waitUntil([&] { return (dlg = w.findChild<QFileDialog*>()) != nullptr; }));
    EXPECT_EQ(dlg->windowTitle(), "Please choose a folder");
    EXPECT_EQ(dlg->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(w.button(IDC_OPEN_DIR)->active());
    emit dlg->fileSelected(QString::fromStdString(c.dir.path()));
    dlg->close();
    EXPECT_EQ(w.thumbnailCtrl()->shownFiles().size(), 3u);
    EXPECT_EQ(QSettings().value("dirName/strPath").toString(), QString::fromStdString(c.dir.path()));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(stale)));
    ASSERT_TRUE(playertest::waitUntil([&] { return w.findChild<QFileDialog*>() == nullptr; }));

    w.onCommand(IDC_OPEN_FILE);
    ASSERT_TRUE(playertest::waitUntil([&] { return (dlg = w.findChild<QFileDialog*>()) != nullptr; }));
    EXPECT_EQ(dlg->windowTitle(), "QMR3 Video File");
    EXPECT_EQ(dlg->fileMode(), QFileDialog::ExistingFiles);
    EXPECT_EQ(dlg->nameFilters(), QStringList{"QMR3 Files (*.qmr3)"});
    emit dlg->filesSelected(
        {QString::fromStdString(c.dir.file("a.qmr3")), QString::fromStdString(c.dir.file("m.qmr3"))});
    dlg->close();
    EXPECT_EQ(w.library().fileCount(), 2);
    EXPECT_EQ(w.thumbnailCtrl()->shownFiles().size(), 2u);
    EXPECT_EQ(w.thumbnailCtrl()->filterMask(), 15);
}

// The demo recorder folder in the window, pictured on every page when
// KORVID_PANEL_SHOTS names a folder for the pictures.
TEST(PanelInWindow, DemoFolderPages) {
    playertest::DemoWindow demo;
    ASSERT_TRUE(demo.written) << demo.error;
    CKorvidAppDlg& w = demo.w;
    CThumbnailCtrl* p = w.thumbnailCtrl();
    const CVideoLibrary& lib = w.library();
    ASSERT_EQ(lib.fileCount(), 13);
    // Every listed recording that is not damaged gets its picture.
    const int rows = p->rows();
    ASSERT_GT(rows, 0);
    ASSERT_TRUE(playertest::waitUntil(
        [&] {
            for (int k = 0; k < rows && k < int(p->shownFiles().size()); ++k) {
                const int f = p->shownFiles()[std::size_t(k)];
                if (!lib.damaged(f) && !p->hasPicture(f)) return false;
            }
            return p->picturesPending() == 0;
        },
        120000));
    // The damaged recording is listed only with the Alarm filter on.
    int damaged = -1;
    for (int i = 0; i < lib.fileCount(); ++i)
        if (lib.damaged(i)) damaged = i;
    ASSERT_GE(damaged, 0);
    auto listed = [&](int f) {
        return std::find(p->shownFiles().begin(), p->shownFiles().end(), f) != p->shownFiles().end();
    };
    EXPECT_TRUE(listed(damaged));
    w.onCommand(IDC_FILTER_A);
    EXPECT_FALSE(listed(damaged));
    w.onCommand(IDC_FILTER_A);

    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    if (!shots.isEmpty()) w.grab().save(shots + "/demo-list.png");
    w.onCommand(IDC_TAB_CALENDAR);
    // The calendar opened on the newest listed recording, which it lists.
    EXPECT_EQ(p->calendarDate(), lib.startTime(p->shownFiles()[0]));
    EXPECT_EQ(p->calendarItems(), std::vector<int>{p->shownFiles()[0]});
    if (!shots.isEmpty()) w.grab().save(shots + "/demo-calendar.png");
    w.onCommand(IDC_TAB_INFO);
    const QStringList info = p->infoLines();
    EXPECT_EQ(info[1], "- Total Number of Files : 13 pcs");
    // The damaged recording has no times and does not stretch the period.
    EXPECT_EQ(info[5], "- Start Time : 2026/11/28 07:58:10");
    EXPECT_TRUE(info[4].startsWith("- Total Recording Period : 2day(s) ")) << info[4].toStdString();
    if (!shots.isEmpty()) w.grab().save(shots + "/demo-info.png");
}

// Without ffmpeg, where grabs need it, the window says so once and the list
// stays usable without pictures.
TEST(PanelInWindow, MissingFfmpegIsSaidOnce) {
    playertest::ToolGrabs tool;
    testrec::TempDir dir;
    for (int k = 0; k < 3; ++k) {
        qmr3::GenOptions o;
        o.seconds = 2;
        o.hour = 8 + k;
        o.timeEvent = true;
        ASSERT_TRUE(qmr3::generateRecording(dir.file("r" + std::to_string(k) + ".qmr3"), o).ok);
    }
    CVideoLibrary library;
    CKorvidAppDlg w(library, playertest::binDir(), QStringLiteral("1.0"), nullptr);
    w.show();
    CThumbnailCtrl* p = w.thumbnailCtrl();
    p->grabber()->grabber().setFfmpegPath("");
    w.openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(p->shownFiles().size(), 3u);
    auto boxes = [&] {
        int n = 0;
        for (QMessageBox* b : w.findChildren<QMessageBox*>())
            if (b->isVisible() && b->text().contains("ffmpeg")) ++n;
        return n;
    };
    ASSERT_TRUE(playertest::waitUntil([&] { return p->picturesPending() == 0 && boxes() > 0; }, 30000));
    EXPECT_EQ(boxes(), 1);
    for (int f : p->shownFiles()) EXPECT_FALSE(p->hasPicture(f));
    EXPECT_TRUE(w.playTimeField()->text().isEmpty());
    // Later refreshes say nothing more.
    w.onCommand(IDC_FILTER_T);
    w.onCommand(IDC_FILTER_T);
    ASSERT_TRUE(playertest::waitUntil([&] { return p->picturesPending() == 0; }, 30000));
    EXPECT_EQ(boxes(), 1);
}
