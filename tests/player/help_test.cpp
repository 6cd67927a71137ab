// The help book: help.ini lines good and bad, the contents and the page
// slices they show, moving through them, and the help around playback.
#include "generator.h"
#include "helpbook.h"
#include "helpctrl.h"
#include "helpdlg.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "playertest.h"
#include "setup.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QShortcut>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>

using playertest::waitUntil;

namespace {

// Row r of a test page has the colour (r % 256, r / 256, 77).
QImage numberedPage() {
    QImage page(720, 960, QImage::Format_RGB32);
    for (int r = 0; r < page.height(); ++r)
        for (int x = 0; x < page.width(); ++x) page.setPixel(x, r, qRgb(r % 256, r / 256, 77));
    return page;
}
int rowOf(QRgb c) { return qBlue(c) == 77 ? qRed(c) + 256 * qGreen(c) : -1; }

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QMessageBox* openMessageBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

}  // namespace

TEST(HelpIni, GoodLinesAreReadAndBadOnesSkippedWithTheirReason) {
    const HelpBook book = parseHelpIni(
        "\xEF\xBB\xBF"
        "CHAPTER|Playback\r\n"
        "SECTION|Opening a file|page03.png| 300 |\t200 \r\n"
        "\n"
        "SECTION|Three fields|page03.png\n"
        "SECTION|Four|page03.png|10\n"
        "SECTION|No image||0|100\n"
        "SECTION|Words|page03.png|ten|100\n"
        "SECTION|Six|page03.png|0|100|x\n"
        "SECTION|Negative|page03.png|-5|100\n"
        "NOTE|Any other kind|p.png|0|50\n"
        "|\n");
    ASSERT_EQ(book.items.size(), 4u);
    EXPECT_EQ(book.items[0].kind, "CHAPTER");
    EXPECT_EQ(book.items[0].title, "Playback");
    EXPECT_FALSE(book.items[0].selectable);
    EXPECT_TRUE(book.items[0].image.isEmpty());
    const HELPITEM& s = book.items[1];
    EXPECT_EQ(s.title, "Opening a file");
    EXPECT_EQ(s.image, "page03.png");
    EXPECT_EQ(s.offset, 300);
    EXPECT_EQ(s.height, 200);
    EXPECT_TRUE(s.selectable);
    EXPECT_EQ(book.items[2].kind, "NOTE");
    EXPECT_TRUE(book.items[3].kind.isEmpty());
    ASSERT_EQ(book.problems.size(), 6) << book.problems.join('\n').toStdString();
    EXPECT_TRUE(book.problems[0].startsWith("line 4: too few")) << book.problems[0].toStdString();
    EXPECT_TRUE(book.problems[2].contains("no page image"));
    EXPECT_TRUE(book.problems[3].contains("whole numbers"));
    EXPECT_TRUE(book.problems[5].startsWith("line 9:"));

    // Shift-JIS when the text is not UTF-8; garbage never stops the reading.
    QStringEncoder sjis("Shift_JIS");
    if (sjis.isValid()) {
        const QByteArray bytes =
            sjis.encode(QStringLiteral("CHAPTER|再生\nSECTION|ファイルを開く|p.png|0|100\n"));
        const HelpBook jp = parseHelpIni(bytes);
        ASSERT_EQ(jp.items.size(), 2u);
        EXPECT_EQ(jp.items[1].title, QStringLiteral("ファイルを開く"));
    }
    QByteArray noise;
    for (int i = 0; i < 4096; ++i) noise.append(char((i * 7919) % 251));
    EXPECT_NO_FATAL_FAILURE(parseHelpIni(noise));
    EXPECT_EQ(helpFolderFor("/opt/k", true), "/opt/k/Helps/jp/");
}

TEST(HelpCtrl, ContentsShowTheirPageSlicesAndMoveWithMouseKeysAndWheel) {
    QTemporaryDir dir;
    ASSERT_TRUE(numberedPage().save(dir.filePath("page1.png")));
    QByteArray ini =
        "CHAPTER|Start\n"
        "SECTION|Slice|page1.png|300|200\n"
        "SECTION|Top|page1.png|10|100\n"
        "SECTION|Lost|nothere.png|0|100\n"
        "CHAPTER|More\n";
    for (int i = 0; i < 40; ++i) ini += "SECTION|Item " + QByteArray::number(i) + "|page1.png|0|50\n";
    writeFile(dir.filePath("help.ini"), ini);

    CHelpCtrl ctrl(dir.path());
    ctrl.resize(905, 560);
    ctrl.show();
    ASSERT_TRUE(ctrl.bookOpened());
    ASSERT_EQ(ctrl.items().size(), 45u);
    ASSERT_EQ(ctrl.problems().size(), 1);
    EXPECT_TRUE(ctrl.problems()[0].contains("nothere.png"));
    EXPECT_EQ(ctrl.shownItem(), 1);

    // Offset 300, height 200: rows 290 to 499 between y 10 and 219, nothing below.
    const QImage& s = ctrl.surface();
    EXPECT_EQ(rowOf(s.pixel(400, 10)), 290);
    EXPECT_EQ(rowOf(s.pixel(400, 219)), 499);
    EXPECT_EQ(s.pixel(400, 221), qRgb(255, 255, 255));
    EXPECT_EQ(s.pixel(400, 9), qRgb(255, 255, 255));
    EXPECT_EQ(s.pixel(184, 100), qRgb(255, 255, 255)) << "the page starts at x 185";
    EXPECT_EQ(s.pixel(100, 500), qRgb(0xE6, 0xE6, 0xE6));
    EXPECT_EQ(s.pixel(100, 30), qRgb(0xFF, 0xFF, 0xC8)) << "the shown row is marked";
    // More contents below the view, none above.
    EXPECT_EQ(s.pixel(176, 555), qRgb(120, 120, 120));
    EXPECT_EQ(s.pixel(176, 6), qRgb(0xE6, 0xE6, 0xE6));

    // A heading row is never a target; a section row is.
    EXPECT_EQ(ctrl.targetAt(QPoint(50, 10)), CHelpCtrl::None);
    EXPECT_EQ(ctrl.targetAt(QPoint(50, 50)), 2);
    EXPECT_EQ(ctrl.targetAt(QPoint(177, 50)), CHelpCtrl::None);
    playertest::moveTo(&ctrl, QPoint(50, 10), false);
    EXPECT_EQ(ctrl.hoveredTarget(), CHelpCtrl::None);
    playertest::press(&ctrl, QPoint(50, 50));
    playertest::release(&ctrl, QPoint(50, 50));
    EXPECT_EQ(ctrl.shownItem(), 2);
    EXPECT_EQ(rowOf(ctrl.surface().pixel(400, 20)), 10);
    EXPECT_EQ(ctrl.surface().pixel(400, 130), qRgb(255, 255, 255));
    // Pressed on one target and released on another does nothing.
    playertest::press(&ctrl, QPoint(50, 50));
    playertest::release(&ctrl, QPoint(50, 70));
    EXPECT_EQ(ctrl.shownItem(), 2);

    // The page's lower half goes on, the upper half back; a missing picture
    // leaves its page empty.
    playertest::moveTo(&ctrl, QPoint(600, 500), false);
    EXPECT_EQ(ctrl.hoveredTarget(), CHelpCtrl::Next);
    playertest::press(&ctrl, QPoint(600, 500));
    playertest::release(&ctrl, QPoint(600, 500));
    EXPECT_EQ(ctrl.shownItem(), 3);
    EXPECT_EQ(ctrl.surface().pixel(400, 50), qRgb(255, 255, 255));
    playertest::press(&ctrl, QPoint(600, 100));
    playertest::release(&ctrl, QPoint(600, 100));
    EXPECT_EQ(ctrl.shownItem(), 2);

    // Wrapping both ways; the list follows the shown row past the view's end.
    ctrl.showItem(1);
    ctrl.showPrevious();
    EXPECT_EQ(ctrl.shownItem(), 44);
    EXPECT_GT(ctrl.listTop(), 0);
    EXPECT_LT(44 - ctrl.listTop(), ctrl.visibleRows());
    EXPECT_EQ(ctrl.targetAt(QPoint(50, (44 - ctrl.listTop()) * 20 + 5)), 44);
    EXPECT_EQ(ctrl.surface().pixel(176, 6), qRgb(120, 120, 120)) << "more above";
    EXPECT_EQ(ctrl.surface().pixel(176, 555), qRgb(0xE6, 0xE6, 0xE6)) << "nothing below";
    ctrl.showNext();
    EXPECT_EQ(ctrl.shownItem(), 1);
    EXPECT_EQ(ctrl.listTop(), 0);

    // Keys and the wheel.
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::NoModifier);
    QCoreApplication::sendEvent(&ctrl, &end);
    EXPECT_EQ(ctrl.shownItem(), 44);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(&ctrl, &down);
    EXPECT_EQ(ctrl.shownItem(), 1);
    QWheelEvent overList(QPointF(50, 100), QPointF(50, 100), QPoint(), QPoint(0, -240), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&ctrl, &overList);
    EXPECT_EQ(ctrl.listTop(), 6);
    EXPECT_EQ(ctrl.shownItem(), 1);
    QWheelEvent overPage(QPointF(500, 100), QPointF(500, 100), QPoint(), QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&ctrl, &overPage);
    EXPECT_EQ(ctrl.shownItem(), 2);
}

TEST(HelpCtrl, WithoutSelectableLinesOrWithoutABookNothingIsShown) {
    QTemporaryDir dir;
    writeFile(dir.filePath("help.ini"), "CHAPTER|Only\nCHAPTER|Headings\n");
    CHelpCtrl ctrl(dir.path());
    ctrl.resize(905, 560);
    ctrl.show();
    EXPECT_EQ(ctrl.shownItem(), -1);
    ctrl.showNext();
    ctrl.showPrevious();
    EXPECT_EQ(ctrl.shownItem(), -1);
    EXPECT_EQ(ctrl.surface().pixel(500, 100), qRgb(255, 255, 255));

    // No help.ini: the dialog opens empty and says so.
    QTemporaryDir empty;
    CHelpDlg dlg(nullptr, empty.path());
    EXPECT_FALSE(dlg.helpCtrl()->bookOpened());
    EXPECT_TRUE(dlg.helpCtrl()->items().empty());
    dlg.open();
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(&dlg) != nullptr; }));
    EXPECT_EQ(openMessageBox(&dlg)->text(), "help.ini file can't be opened");
    openMessageBox(&dlg)->done(QMessageBox::Ok);
    dlg.closeButton()->click();
    EXPECT_FALSE(dlg.isVisible());
}

TEST(HelpWindow, F1OpensTheBuiltBookAndPlaybackGoesOnAfterIt) {
    testrec::TempDir rec;
    qmr3::GenOptions o;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 30;
    ASSERT_TRUE(qmr3::generateRecording(rec.file("help.qmr3"), o).ok);
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, playertest::binDir(), QStringLiteral("1.0.0.0"), &setup);
    win.show();
    ASSERT_TRUE(waitUntil([&] { return win.isVisible(); }));
    win.openRecordings(QString::fromStdString(rec.path()));
    win.playChosenFile(0);
    ASSERT_TRUE(waitUntil([&] { return win.playSlider()->value() >= 3; }, 15000));

    QShortcut* f1 = nullptr;
    for (QShortcut* s : win.findChildren<QShortcut*>())
        if (s->key() == QKeySequence(Qt::Key_F1)) f1 = s;
    ASSERT_NE(f1, nullptr);
    emit f1->activated();
    ASSERT_TRUE(waitUntil([&] { return win.helpDialog() && win.helpDialog()->isVisible(); }));
    EXPECT_TRUE(win.resumePending());
    EXPECT_FALSE(win.isPlaying());
    const int at = win.startOffset();
    EXPECT_GE(at, 3);
    // The generated book: chapters and sections, every one with its page.
    CHelpCtrl* ctrl = win.helpDialog()->helpCtrl();
    EXPECT_TRUE(ctrl->problems().isEmpty()) << ctrl->problems().join('\n').toStdString();
    EXPECT_GE(ctrl->items().size(), 20u);
    EXPECT_GE(ctrl->shownItem(), 0);
    int inked = 0;
    for (int y = 10; y < 200; ++y)
        for (int x = 185; x < 905; ++x) inked += qGray(ctrl->surface().pixel(x, y)) < 128;
    EXPECT_GT(inked, 500) << "the first page has text";
    EXPECT_EQ(openMessageBox(win.helpDialog()), nullptr);

    win.helpDialog()->closeButton()->click();
    ASSERT_TRUE(waitUntil([&] { return !win.helpDialog(); }));
    EXPECT_TRUE(win.isPlaying());
    ASSERT_TRUE(waitUntil([&] { return win.playSlider()->value() > at; }, 15000));

    // Without a help folder the user is told where it was looked for, and playback goes on.
    QTemporaryDir nowhere;
    qputenv("KORVID_HELP_ROOT", nowhere.path().toLocal8Bit());
    win.onCommand(IDC_HELP);
    qunsetenv("KORVID_HELP_ROOT");
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(&win) != nullptr; }));
    EXPECT_TRUE(openMessageBox(&win)->text().contains(nowhere.path() + "/Helps/en"));
    EXPECT_EQ(win.helpDialog(), nullptr);
    EXPECT_TRUE(win.isPlaying());
    openMessageBox(&win)->done(QMessageBox::Ok);
}
