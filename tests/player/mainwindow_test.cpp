#include "backupdlg.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "playertest.h"
#include "setup.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "skinkeys.h"
#include "thumbnailctrl.h"
#include "tempdirs.h"
#include "testrecordings.h"
#include "videolibrary.h"
#include "videoplayslider.h"
#include "xsliderctrl.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>

using playertest::binDir;
using playertest::waitUntil;

namespace {

QMessageBox* openMessageBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

void closeMessageBoxes(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>()) b->done(QMessageBox::Ok);
}

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        win = std::make_unique<CKorvidAppDlg>(library, binDir(), QStringLiteral("1.0.0.0"), &setup);
        win->show();
        ASSERT_TRUE(waitUntil([&] { return win->isVisible(); }));
    }
    void TearDown() override {
        if (win) closeMessageBoxes(win.get());
    }
    // The command shows one message box with text; once it is answered the
    // command's button (when it has one) is up again.
    void expectCommandSays(int id, const QString& text) {
        win->onCommand(id);
        QMessageBox* box = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; })) << id;
        EXPECT_EQ(box->text(), text) << id;
        box->done(QMessageBox::Ok);
        ASSERT_TRUE(waitUntil([&] { return openMessageBox(win.get()) == nullptr; }));
        if (CSkinButton* b = win->button(id)) EXPECT_TRUE(b->active()) << id;
    }
    CSkinButton* buttonByKey(const char* key) const {
        for (CSkinButton* b : win->buttonsInCreationOrder())
            if (b->objectName() == QLatin1String(key)) return b;
        return nullptr;
    }
    void clickButton(const char* key) {
        CSkinButton* b = buttonByKey(key);
        ASSERT_NE(b, nullptr) << key;
        ASSERT_TRUE(b->isVisible()) << key;
        playertest::press(b, b->rect().center());
        playertest::release(b, b->rect().center());
    }
    QRect expected(const QString& name) const {
        for (const CtrlRect& r : win->skin().records())
            if (r.name == name)
                return CSkin::place(r, win->width() + 2, win->height() + 2, win->skin().designSize());
        return QRect();
    }
    CSetup setup;
    CVideoLibrary library;
    std::unique_ptr<CKorvidAppDlg> win;
};

}  // namespace

// Every button, clicked with the mouse while nothing plays, leads to what
// its command does (the transport buttons are clicked while playing, in the
// playback tests).
TEST_F(MainWindow, EveryButtonClickedReachesItsCommand) {
    using namespace skinkey;
    auto says = [&](const char* key, const QString& text) {
        SCOPED_TRACE(key);
        clickButton(key);
        QMessageBox* box = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
        EXPECT_EQ(box->text(), text);
        box->done(QMessageBox::No);
        ASSERT_TRUE(waitUntil([&] { return openMessageBox(win.get()) == nullptr; }));
        EXPECT_TRUE(win->isVisible());
    };
    const QString notOpened = QStringLiteral("Video is not opened.");
    says(m_btnMainExit, QStringLiteral("Do you want to exit?"));
    says(m_btnMainFileRecovery,
         QStringLiteral("In order to restore index file,\nplease open the target folder first."));
    says(m_btnMainChangeRatio, QStringLiteral("Available only while playing video"));
    for (const char* key : {m_btnAVIExport_A, m_btnAVIExport_B, m_btnAVIExport, m_btnJPEGExport})
        says(key, notOpened);
    says(m_btnNavPreview, QStringLiteral("No video selected"));

    clickButton(m_btnMainBackup);
    ASSERT_TRUE(waitUntil([&] { return win->backupDialog() && win->backupDialog()->isVisible(); }));
    win->backupDialog()->close();
    ASSERT_TRUE(waitUntil([&] { return win->backupDialog() == nullptr; }));

    clickButton(m_btnMainHelp);
    ASSERT_TRUE(waitUntil([&] { return win->helpDialog() && win->helpDialog()->isVisible(); }));
    win->helpDialog()->reject();
    ASSERT_TRUE(waitUntil([&] { return win->helpDialog() == nullptr; }));

    clickButton(m_btnMainSetup);
    CSetupDialog* setupDlg = nullptr;
    ASSERT_TRUE(
        waitUntil([&] { return (setupDlg = win->findChild<CSetupDialog*>()) && setupDlg->isVisible(); }));
    setupDlg->reject();
    ASSERT_TRUE(waitUntil([&] { return win->findChild<CSetupDialog*>() == nullptr; }));

    for (const auto& [key, mode] : {std::pair{m_btnMainOpenDir, QFileDialog::Directory},
                                    std::pair{m_btnMainOpenFile, QFileDialog::ExistingFiles}}) {
        clickButton(key);
        QFileDialog* dlg = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (dlg = win->findChild<QFileDialog*>()) != nullptr; })) << key;
        EXPECT_EQ(dlg->fileMode(), mode) << key;
        dlg->close();
        ASSERT_TRUE(waitUntil([&] { return win->findChild<QFileDialog*>() == nullptr; }));
    }

    CThumbnailCtrl* panel = win->thumbnailCtrl();
    clickButton(m_btnMainTabCalendar);
    EXPECT_EQ(panel->page(), CThumbnailCtrl::CalendarPage);
    clickButton(m_btnMainTabInfo);
    EXPECT_EQ(panel->page(), CThumbnailCtrl::InfoPage);
    clickButton(m_btnMainTabList);
    EXPECT_EQ(panel->page(), CThumbnailCtrl::ListPage);
    const std::pair<const char*, int> filters[] = {
        {m_btnFilterA, 0x01}, {m_btnFilterE, 0x02}, {m_btnFilterM, 0x04}, {m_btnFilterT, 0x08}};
    for (const auto& [key, bit] : filters) {
        clickButton(key);
        EXPECT_EQ(panel->filterMask(), 15 & ~bit) << key;
        clickButton(key);
        EXPECT_EQ(panel->filterMask(), 15) << key;
    }

    clickButton(m_btnMainMax);
    EXPECT_TRUE(win->isMaximisedState());
    clickButton(m_btnMainMax);
    EXPECT_FALSE(win->isMaximisedState());
    clickButton(m_btnMainMin);
    EXPECT_TRUE(waitUntil([&] { return win->isMinimized(); }));
}

TEST_F(MainWindow, ImageModesFollowTheStateKinds) {
    EXPECT_EQ(win->button(IDC_EXIT)->mode(), 2);
    EXPECT_FALSE(win->button(IDC_EXIT)->hasImages2());
    EXPECT_EQ(win->button(IDC_PLAY)->mode(), 2);
    EXPECT_TRUE(win->button(IDC_PLAY)->hasImages2());
    EXPECT_EQ(win->button(IDC_FILTER_A)->mode(), 3);
    EXPECT_TRUE(win->button(IDC_FILTER_A)->hasImages2());
    // Filters start on (state 0), the list page is the chosen tab.
    EXPECT_FALSE(win->button(IDC_FILTER_T)->active());
    EXPECT_FALSE(win->button(IDC_TAB_LIST)->active());
    EXPECT_TRUE(win->button(IDC_TAB_INFO)->active());
}

// Hovering a button shows its tooltip, in the window's language; the page
// tabs have none.
TEST_F(MainWindow, HoveredButtonsShowEnglishTooltips) {
    using namespace skinkey;
    EXPECT_EQ(win->templatePicturePath(), QDir(binDir()).filePath(QStringLiteral("templates-en.gif")));
    auto hover = [&](const char* key) {
        CSkinButton* b = buttonByKey(key);
        if (!b) return QStringLiteral("(no button)");
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, b->rect().center(), b->mapToGlobal(b->rect().center()));
        QCoreApplication::sendEvent(b, &help);
        // A widget without a tooltip passes the event on unanswered.
        return help.isAccepted() && QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const std::pair<const char*, const char*> tips[] = {{m_btnNavPlay, "Play"},
                                                        {m_btnMainOpenDir, "Open Folder"},
                                                        {m_btnMainBackup, "Backup Files"},
                                                        {m_btnFilterE, "Filter E(Emergency)"},
                                                        {m_btnMainMax, "Maximize"},
                                                        {m_btnNavFrameBack, "Frame Back"},
                                                        {m_btnMainFileRecovery, "Recover Index File"},
                                                        {m_btnJPEGExport, "Export Still Image"}};
    for (const auto& [key, text] : tips) EXPECT_EQ(hover(key), QLatin1String(text)) << key;
    EXPECT_TRUE(hover(m_btnMainTabCalendar).isEmpty());
    // Every other button but the tabs has one too.
    for (CSkinButton* b : win->buttonsInCreationOrder()) {
        const bool tab = b->objectName().startsWith(QLatin1String("m_btnMainTab"));
        EXPECT_NE(hover(b->objectName().toLatin1().constData()).isEmpty(), !tab)
            << b->objectName().toStdString();
    }
    QToolTip::hideText();
}

TEST_F(MainWindow, StartsAtTheDesignSizeWhichIsTheMinimum) {
    EXPECT_EQ(win->size(), win->skin().designSize());
    EXPECT_EQ(win->minimumSize(), win->skin().designSize());
    win->resize(200, 200);
    EXPECT_EQ(win->size(), win->skin().designSize());
}

TEST_F(MainWindow, EveryRecordIsPlacedOnEveryResize) {
    for (QSize size : {QSize(1100, 720), QSize(1400, 900), QSize(1234, 777)}) {
        win->resize(size);
        SCOPED_TRACE(size.width());
        for (CSkinButton* b : win->buttonsInCreationOrder())
            EXPECT_EQ(b->geometry(), expected(b->objectName())) << b->objectName().toStdString();
        EXPECT_EQ(win->playSlider()->geometry(), expected(QStringLiteral("m_sldPlaySlider")));
        EXPECT_EQ(win->volumeSlider()->geometry(), expected(QStringLiteral("m_sldNavAudio")));
        EXPECT_EQ(win->playTimeField()->geometry(), expected(QStringLiteral("m_edtNavPlaytime")));
        EXPECT_EQ(win->videoArea(), expected(QStringLiteral("m_Korvid")));
        EXPECT_EQ(win->composedBackground().size(), size + QSize(2, 2));
    }
    // The exit button keeps its distance from the right edge.
    EXPECT_EQ(win->width() + 2 - win->button(IDC_EXIT)->x(), 74);
}

TEST_F(MainWindow, ViewerIsHiddenWhileNothingPlays) {
    ASSERT_NE(win->viewer(), nullptr);
    EXPECT_FALSE(win->viewer()->isVisible());
    EXPECT_EQ(win->displayMode(), 0);
    EXPECT_FALSE(win->videoArea().isEmpty());
}

TEST_F(MainWindow, ViewerPaintsItsBackgroundWithoutARecording) {
    QWidget* viewer = win->viewer();
    EXPECT_EQ(viewer->objectName(), QStringLiteral("m_Korvid"));
    viewer->resize(40, 30);
    EXPECT_EQ(viewer->grab().toImage().pixelColor(20, 15), QColor(102, 101, 101));
}

TEST_F(MainWindow, KeyboardShortcutsReachTheCommands) {
    win->activateWindow();
    const auto shortcuts = win->findChildren<QShortcut*>();
    QStringList keys;
    for (QShortcut* s : shortcuts) keys << s->key().toString();
    EXPECT_TRUE(keys.contains(QStringLiteral("Ctrl+Q")));
    EXPECT_TRUE(keys.contains(QStringLiteral("Ctrl+O")));
    EXPECT_TRUE(keys.contains(QStringLiteral("F1")));
    for (QShortcut* s : shortcuts)
        if (s->key().toString() == QStringLiteral("Ctrl+Q")) s->activated();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
    EXPECT_EQ(box->text(), QStringLiteral("Do you want to exit?"));
}

TEST_F(MainWindow, RoundedOutlineOfThreeRectangles) {
    const QRegion r = win->windowShape();
    const int W = win->width() + 2;
    const int H = win->height() + 2;
    EXPECT_FALSE(r.contains(QPoint(0, 0)));
    EXPECT_TRUE(r.contains(QPoint(7, 7)));
    EXPECT_FALSE(r.contains(QPoint(W - 1, 0)));
    EXPECT_TRUE(r.contains(QPoint(W - 8, 300)));
    EXPECT_FALSE(r.contains(QPoint(0, H - 1)));
    EXPECT_FALSE(r.contains(QPoint(W - 1, H - 1)));
    EXPECT_TRUE(r.contains(QPoint(W / 2, H / 2)));
    EXPECT_TRUE(r.contains(QPoint(450, H - 5)));
}

TEST_F(MainWindow, BackgroundIsComposedFromTheNineTiles) {
    const QImage bg = win->composedBackground().toImage();
    const QImage tl = win->skin().bitmap(QStringLiteral("m_pbmBG11")).toImage();
    const QImage br = win->skin().bitmap(QStringLiteral("m_pbmBG33")).toImage();
    EXPECT_EQ(bg.pixelColor(30, 20), tl.pixelColor(30, 20));
    EXPECT_EQ(bg.pixelColor(bg.width() - br.width() + 5, bg.height() - 5), br.pixelColor(5, br.height() - 5));
    EXPECT_EQ(bg.pixelColor(bg.width() - 200, 300), QColor(8, 8, 8)) << "the body is filled with RGB 8, 8, 8";
    // The version is written into the centre picture.
    const QImage centre = win->skin().bitmap(QStringLiteral("m_pbmBG22")).toImage();
    const QPoint at((bg.width() - centre.width() - 300) / 2, (bg.height() - centre.height() - 60) / 2);
    bool differs = false;
    for (int x = 135; x < 200; ++x)
        for (int y = 63; y < 76; ++y)
            if (bg.pixelColor(at + QPoint(x, y)) != centre.pixelColor(x, y)) differs = true;
    EXPECT_TRUE(differs);
    EXPECT_EQ(win->versionText(), QStringLiteral("1.0.0.0"));
}

TEST_F(MainWindow, MaximiseToggleSwapsTooltipAndRestores) {
    const QRect before = win->geometry();
    win->onCommand(IDC_MAXIMIZE);
    EXPECT_TRUE(win->isMaximisedState());
    EXPECT_EQ(win->button(IDC_MAXIMIZE)->toolTip(), QStringLiteral("Back to Original Size"));
    EXPECT_EQ(win->button(IDC_MAXIMIZE)->currentImage(), CSkinButton::Image::Set2Normal);
    const QRect screen = win->screen()->geometry();
    EXPECT_EQ(win->size(), (screen.size() + QSize(1, 1)).expandedTo(win->minimumSize()));
    win->onCommand(IDC_MAXIMIZE);
    EXPECT_FALSE(win->isMaximisedState());
    EXPECT_EQ(win->geometry(), before);
    EXPECT_EQ(win->button(IDC_MAXIMIZE)->toolTip(), QStringLiteral("Maximize"));
    EXPECT_EQ(win->button(IDC_MAXIMIZE)->currentImage(), CSkinButton::Image::Set1Normal);
}

TEST_F(MainWindow, MinimiseAndComeBackWhenAskedForward) {
    win->onCommand(IDC_MINIMIZE);
    EXPECT_TRUE(waitUntil([&] { return win->isMinimized(); }));
    win->bringToFront();
    EXPECT_TRUE(waitUntil([&] { return !win->isMinimized() && win->isVisible(); }));
}

TEST_F(MainWindow, DoubleClickNearTheTopTogglesMaximised) {
    playertest::sendMouse(win.get(), QEvent::MouseButtonDblClick, {600, 100});
    EXPECT_FALSE(win->isMaximisedState());
    playertest::sendMouse(win.get(), QEvent::MouseButtonDblClick, {600, 20});
    EXPECT_TRUE(win->isMaximisedState());
    playertest::sendMouse(win.get(), QEvent::MouseButtonDblClick, {600, 20});
    EXPECT_FALSE(win->isMaximisedState());
}

TEST_F(MainWindow, DraggingTheBackgroundMovesAndSnaps) {
    win->move(300, 200);
    const QPoint grab(600, 300);
    playertest::press(win.get(), grab);
    // A target 10 pixels from the screen's left edge snaps to 0.
    QMouseEvent move(QEvent::MouseMove, QPointF(grab), QPointF(QPoint(10, 250) + grab), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(win.get(), &move);
    EXPECT_EQ(win->pos(), QPoint(0, 250));
    QMouseEvent move2(QEvent::MouseMove, QPointF(grab), QPointF(QPoint(120, 130) + grab), Qt::NoButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(win.get(), &move2);
    EXPECT_EQ(win->pos(), QPoint(120, 130));
    playertest::release(win.get(), grab);
    QMouseEvent after(QEvent::MouseMove, QPointF(grab), QPointF(QPoint(500, 500) + grab), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(win.get(), &after);
    EXPECT_EQ(win->pos(), QPoint(120, 130)) << "the release ends the drag";
}

TEST_F(MainWindow, BottomRightCornerResizes) {
    const QSize before = win->size();
    const QPoint corner(win->width() - 5, win->height() - 5);
    playertest::press(win.get(), corner);
    const QPoint global = win->mapToGlobal(corner);
    QMouseEvent move(QEvent::MouseMove, QPointF(corner + QPoint(80, 40)), QPointF(global + QPoint(80, 40)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(win.get(), &move);
    playertest::release(win.get(), corner + QPoint(80, 40));
    EXPECT_EQ(win->size(), before + QSize(80, 40));
    EXPECT_EQ(win->composedBackground().size(), before + QSize(82, 42));
}

TEST_F(MainWindow, EnterAndEscapeAreSwallowed) {
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(win.get(), &e);
        EXPECT_TRUE(e.isAccepted());
    }
    EXPECT_TRUE(win->isVisible());
}

TEST_F(MainWindow, ExitAsksFirstAndClosesOnYes) {
    bool confirmed = false;
    QObject::connect(win.get(), &CKorvidAppDlg::exitConfirmed, [&] { confirmed = true; });
    win->button(IDC_EXIT)->commandSent(IDC_EXIT);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
    EXPECT_EQ(box->text(), QStringLiteral("Do you want to exit?"));
    box->button(QMessageBox::No)->click();
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(win.get()) == nullptr; }));
    EXPECT_TRUE(win->isVisible());
    EXPECT_FALSE(confirmed);

    win->onCommand(IDC_EXIT);
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
    box->button(QMessageBox::Yes)->click();
    EXPECT_TRUE(waitUntil([&] { return !win->isVisible(); }));
    EXPECT_TRUE(confirmed);
}

TEST_F(MainWindow, CommandsThatNeedAVideoSayItIsNotOpened) {
    for (int id : {IDC_EXPORT_A, IDC_EXPORT_B, IDC_EXPORT_JPEG, IDC_EXPORT_AVI})
        ASSERT_NO_FATAL_FAILURE(expectCommandSays(id, QStringLiteral("Video is not opened.")));
    win->onCommand(IDC_CHANGE_RATIO);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(win.get())) != nullptr; }));
    EXPECT_EQ(box->text(), QStringLiteral("Available only while playing video"));
}

TEST_F(MainWindow, TransportCommandsDoNothingWhileIdle) {
    for (int id : {IDC_PLAY, IDC_PAUSE, IDC_FF, IDC_REWIND, IDC_FRAME_BACK, IDC_FRAME_NEXT}) {
        win->onCommand(id);
        EXPECT_TRUE(win->button(id)->active()) << id;
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(openMessageBox(win.get()), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_EQ(win->displayMode(), 0);
    EXPECT_FALSE(win->isPlaying());
}

// Backup opens its dialog on the catalogue, with the window's skin on its
// buttons; the movie clip command does the same for marked recordings while
// nothing plays.
TEST_F(MainWindow, TheBackupCommandOpensItsDialogOnTheCatalogue) {
    testrec::TempDir dir;
    testrec::writeRecording(dir.file("a.qmr3"), testrec::steadyFrames(testrec::at(2010, 3, 15, 8, 0, 0), 5));
    testrec::writeRecording(dir.file("b.qmr3"), testrec::steadyFrames(testrec::at(2010, 3, 15, 9, 0, 0), 5));
    win->openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(library.fileCount(), 2);
    win->onCommand(IDC_BACKUP);
    CBackupDlg* dlg = win->backupDialog();
    ASSERT_NE(dlg, nullptr);
    ASSERT_TRUE(waitUntil([&] { return dlg->isVisible(); }));
    EXPECT_EQ(dlg->recordingCount(), 2);
    EXPECT_FALSE(dlg->button(CBackupDlg::IDC_START)->currentPixmap().isNull());
    EXPECT_FALSE(dlg->button(CBackupDlg::IDC_CLOSE)->currentPixmap().isNull());
    EXPECT_TRUE(win->button(IDC_BACKUP)->active());
    // Asked again, the open dialog comes forward.
    win->onCommand(IDC_BACKUP);
    EXPECT_EQ(win->backupDialog(), dlg);
    EXPECT_EQ(win->findChildren<CBackupDlg*>().size(), 1);
    dlg->close();
    ASSERT_TRUE(waitUntil([&] { return win->backupDialog() == nullptr; }));

    library.setMarked(1, true);
    win->onCommand(IDC_EXPORT_AVI);
    ASSERT_TRUE(waitUntil([&] { return win->backupDialog() && win->backupDialog()->isVisible(); }));
    win->backupDialog()->command(CBackupDlg::IDC_SELECT_MARKED);
    EXPECT_TRUE(win->backupDialog()->isSelected(1));
    EXPECT_EQ(win->backupDialog()->selectedCount(), 1);
    win->backupDialog()->close();
    ASSERT_TRUE(waitUntil([&] { return win->backupDialog() == nullptr; }));
}

TEST_F(MainWindow, AChosenPreviewPictureWithoutPreviewDoesNothing) {
    // No preview picture was chosen: nothing plays and nothing is said.
    win->onCommand(IDC_PREVIEW_CHOSEN);
    QCoreApplication::processEvents();
    EXPECT_EQ(openMessageBox(win.get()), nullptr);
    EXPECT_FALSE(win->isPlaying());
    EXPECT_EQ(win->displayMode(), 0);
}

TEST_F(MainWindow, TheSetupsEventSwitchReachesTheCatalogue) {
    CSetup off;
    off.readEventData = 0;
    CVideoLibrary other;
    CKorvidAppDlg w(other, binDir(), QString(), &off);
    EXPECT_FALSE(other.readEventData());
    EXPECT_TRUE(library.readEventData());
}

TEST_F(MainWindow, SetupButtonOpensTheSettingsDialog) {
    win->onCommand(IDC_SETUP);
    CSetupDialog* dlg = nullptr;
    ASSERT_TRUE(
        waitUntil([&] { return (dlg = win->findChild<CSetupDialog*>()) != nullptr && dlg->isVisible(); }));
    EXPECT_EQ(dlg->versionLabel()->text(), QStringLiteral("Version : 1.0.0.0"));
    dlg->reject();
    EXPECT_TRUE(waitUntil([&] { return win->findChild<CSetupDialog*>() == nullptr; }));
    EXPECT_TRUE(win->button(IDC_SETUP)->active());
}

TEST_F(MainWindow, PlayTimeFieldTakesNoKeyboardInput) {
    EXPECT_EQ(win->playTimeField()->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(win->playTimeField()->isReadOnly());
    EXPECT_FALSE(win->playSlider()->isEnabled());
    EXPECT_EQ(win->volumeSlider()->value(), 5);
    EXPECT_EQ(win->volumeSlider()->maximum(), 10);
}

TEST(MainWindowSkin, WithoutTemplatesIniTheWindowSaysSoAndStillRuns) {
    QTemporaryDir empty;
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, empty.path(), QStringLiteral("1.0.0.0"), &setup);
    EXPECT_FALSE(win.skinLoaded());
    win.show();
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }));
    EXPECT_EQ(box->text(), QStringLiteral("No Template File"));
    box->done(QMessageBox::Ok);
    win.resize(900, 700);
    for (CSkinButton* b : win.buttonsInCreationOrder()) EXPECT_FALSE(b->isVisible());
    EXPECT_FALSE(win.playSlider()->isVisible());
    EXPECT_FALSE(win.volumeSlider()->isVisible());
    EXPECT_FALSE(win.playTimeField()->isVisible());
    EXPECT_FALSE(win.grab().isNull());
}

TEST(MainWindowSkin, BrokenLinesAndAMissingPictureDoNotStopTheWindow) {
    QTemporaryDir dir;
    QFile ini(QDir(dir.path()).filePath(QStringLiteral("templates.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(
        "DLGSIZE\t640\t480\nBUTTON\tm_btnMainExit\t3BTN\tr\t0\t0\t30\t30\t0\t-40\t5\n"
        "BUTTON\tm_btnNavPlay\t3BTN\n CTRL\tVIEWER\tm_Korvid\t10\t40\t+600\t+400\n"
        "BITMAP\tm_pbmBG11\t0\t0\t99999999\t5\n");
    ini.close();
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, dir.path(), QString(), &setup);
    ASSERT_TRUE(win.skinLoaded());
    EXPECT_GE(win.skin().warnings().size(), 2);
    win.show();
    EXPECT_EQ(win.size(), QSize(640, 480));
    EXPECT_TRUE(win.button(IDC_EXIT)->isVisible());
    EXPECT_EQ(win.button(IDC_EXIT)->geometry(), QRect(642 - 40, 5, 30, 30));
    EXPECT_FALSE(win.button(IDC_PLAY)->isVisible());
    EXPECT_EQ(win.videoArea(), QRect(10, 40, 602, 402));
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }));
    EXPECT_TRUE(box->text().contains(QStringLiteral("templates-en.gif"))) << box->text().toStdString();
    box->done(QMessageBox::Ok);
    EXPECT_FALSE(win.grab().isNull());
}

TEST(MainWindowLife, ClosingEmptiesTheTemporaryFoldersButKeepsThem) {
    const QString thumbs = QString::fromStdString(qmr3::thumbnailDir());
    const QString temps = QString::fromStdString(qmr3::temporaryDir());
    ASSERT_TRUE(QDir().mkpath(thumbs + QStringLiteral("keep")));
    ASSERT_TRUE(QDir().mkpath(temps));
    for (const QString& f : {thumbs + QStringLiteral("110x72-a.bmp"), temps + QStringLiteral("temp.avi"),
                             thumbs + QStringLiteral("keep/inner.bmp")}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    {
        CSetup setup;
        CVideoLibrary library;
        CKorvidAppDlg win(library, binDir(), QString(), &setup);
        win.show();
    }
    EXPECT_FALSE(QFile::exists(thumbs + QStringLiteral("110x72-a.bmp")));
    EXPECT_FALSE(QFile::exists(temps + QStringLiteral("temp.avi")));
    EXPECT_TRUE(QFile::exists(thumbs + QStringLiteral("keep/inner.bmp")));
    EXPECT_TRUE(QDir(thumbs).exists());
    EXPECT_TRUE(QDir(temps).exists());
}

TEST(MainWindowLife, CommandLinePathStartsTheOneShotOpenTimer) {
    CSetup setup;
    CVideoLibrary noneLibrary;
    CKorvidAppDlg none(noneLibrary, binDir(), QString(), &setup);
    EXPECT_FALSE(none.openTimerPending());
    CVideoLibrary withPathLibrary;
    CKorvidAppDlg withPath(withPathLibrary, binDir(), QString(), &setup, QStringLiteral("/data/r.qmr3"));
    EXPECT_TRUE(withPath.openTimerPending());
    EXPECT_EQ(withPath.currentPath(), QStringLiteral("/data/r.qmr3"));
    EXPECT_TRUE(waitUntil([&] { return !withPath.openTimerPending(); }, 3000));
}

TEST(MainWindowIndexRecovery, AsksForAFolderFirst) {
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    win.show();
    win.onCommand(IDC_FILE_RECOVERY);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }));
    EXPECT_EQ(box->text(),
              QStringLiteral("In order to restore index file,\nplease open the target folder first."));
    EXPECT_TRUE(win.button(IDC_FILE_RECOVERY)->active());
    box->done(0);
}

TEST(MainWindowIndexRecovery, WritesTheIndexOfTheOpenedFolder) {
    using namespace testrec;
    TempDir dir;
    writeRecording(dir.file("a.qmr3"), steadyFrames(at(2010, 3, 15, 8, 0, 0), 5));
    writeRecording(dir.file("b.qmr3"), steadyFrames(at(2010, 3, 15, 9, 0, 0), 5));
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    win.show();
    win.openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(library.fileCount(), 2);
    win.onCommand(IDC_FILE_RECOVERY);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }));
    EXPECT_EQ(box->text(), QStringLiteral("Index Recovery Completed (2 files)"));
    EXPECT_EQ(QFileInfo(QString::fromStdString(dir.file("filelist.lst"))).size(), 112);
    box->done(0);
}

// A file that fails to open clears the path playback would use; the index
// still goes into the opened folder, never into the working folder.
TEST(MainWindowIndexRecovery, AfterAFailedOpenTheIndexStillGoesToTheOpenedFolder) {
    using namespace testrec;
    TempDir dir;
    TempDir elsewhere;
    writeRecording(dir.file("a.qmr3"), steadyFrames(at(2010, 3, 15, 8, 0, 0), 5));
    writeRecording(dir.file("b.qmr3"), steadyFrames(at(2010, 3, 15, 9, 0, 0), 5));
    struct BackHome {
        QString folder = QDir::currentPath();
        ~BackHome() { QDir::setCurrent(folder); }
    } backHome;
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(elsewhere.path())));
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    win.show();
    win.openRecordings(QString::fromStdString(dir.path()));
    ASSERT_EQ(library.fileCount(), 2);
    // Gone since the scan: "corrupted", and nothing plays.
    ASSERT_TRUE(QFile::remove(QString::fromStdString(dir.file("a.qmr3"))));
    const int a = library.fileName(0) == "a.qmr3" ? 0 : 1;
    win.playChosenFile(a);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }));
    ASSERT_EQ(box->text(), QStringLiteral("The QMR3 file is corrupted!"));
    ASSERT_TRUE(win.currentPath().isEmpty());
    box->done(0);
    ASSERT_TRUE(waitUntil([&] { return openMessageBox(&win) == nullptr; }));

    win.onCommand(IDC_FILE_RECOVERY);
    ASSERT_TRUE(waitUntil([&] { return (box = openMessageBox(&win)) != nullptr; }));
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("Index Recovery Completed")))
        << box->text().toStdString();
    box->done(0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(dir.file("filelist.lst"))));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(elsewhere.file("filelist.lst"))));
}
