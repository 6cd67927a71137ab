// The backup dialog through its buttons, the mouse and the wheel: the list's
// pages and selection, the format and merge buttons, and whole runs that
// copy, skip, ask and stop.
#include "backuptest.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

#include <filesystem>

using backuptest::click;
using backuptest::nextBox;
using backuptest::nextMessage;
using playertest::waitUntil;
namespace fs = std::filesystem;

namespace {

void wheel(QWidget* w, int dy) {
    const QPointF at(300, 200);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, dy), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(w, &e);
}

std::vector<int> selection(const CBackupDlg& dlg) {
    std::vector<int> out;
    for (int i = 0; i < dlg.recordingCount(); ++i)
        if (dlg.isSelected(i)) out.push_back(i);
    return out;
}

std::vector<char> bytesOf(const std::string& path) {
    const std::vector<std::uint8_t> b = testrec::readBytes(path);
    return {b.begin(), b.end()};
}

// Every file of a folder, hidden ones too.
std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace

TEST(BackupDialog, ListPagesSelectionAndFormat) {
    testrec::TempDir dir;
    backuptest::makeRecordings(dir, 23, 1);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 23);
    lib.setMarked(4, true);
    lib.setMarked(20, true);
    CBackupDlg dlg(nullptr, lib);
    dlg.show();
    ASSERT_TRUE(dlg.hasBackground());

    // 23 recordings make two pages of 22; the second column shows the next page.
    EXPECT_EQ(dlg.pageCount(), 2);
    EXPECT_EQ(dlg.currentPage(), 0);
    EXPECT_EQ(dlg.rowRect(21).topLeft(), QPoint(23, 40 + 21 * 20));
    EXPECT_EQ(dlg.rowRect(22).topLeft(), QPoint(468, 40));
    click(dlg.button(CBackupDlg::IDC_PAGE_NEXT));
    EXPECT_EQ(dlg.currentPage(), 1);
    EXPECT_EQ(dlg.rowRect(22).topLeft(), QPoint(23, 40));
    EXPECT_TRUE(dlg.rowRect(21).isEmpty());
    EXPECT_TRUE(dlg.rowRect(23).isEmpty());
    click(dlg.button(CBackupDlg::IDC_PAGE_NEXT));
    EXPECT_EQ(dlg.currentPage(), 1);
    wheel(&dlg, -120);
    EXPECT_EQ(dlg.currentPage(), 1);
    wheel(&dlg, 120);
    EXPECT_EQ(dlg.currentPage(), 0);
    wheel(&dlg, 120);
    EXPECT_EQ(dlg.currentPage(), 0);
    click(dlg.button(CBackupDlg::IDC_PAGE_PREV));
    EXPECT_EQ(dlg.currentPage(), 0);

    // A rubber band over rows 2 to 5 inverts exactly those.
    dlg.setSelected(3, true);
    dlg.setSelected(9, true);
    playertest::press(&dlg, dlg.rowRect(2).center());
    playertest::moveTo(&dlg, dlg.rowRect(4).center());
    playertest::moveTo(&dlg, dlg.rowRect(5).center());
    playertest::release(&dlg, dlg.rowRect(5).center());
    EXPECT_EQ(selection(dlg), (std::vector<int>{2, 4, 5, 9}));
    // A band across both columns takes the same rows of each.
    playertest::press(&dlg, dlg.rowRect(0).center());
    playertest::moveTo(&dlg, dlg.rowRect(22).center() + QPoint(0, 20));
    playertest::release(&dlg, dlg.rowRect(22).center() + QPoint(0, 20));
    EXPECT_EQ(selection(dlg), (std::vector<int>{0, 1, 2, 4, 5, 9, 22}));
    // Dragged out of the list, the band is dropped and nothing changes.
    playertest::press(&dlg, dlg.rowRect(7).center());
    playertest::moveTo(&dlg, QPoint(915, dlg.rowRect(7).center().y()));
    playertest::release(&dlg, QPoint(915, dlg.rowRect(7).center().y()));
    EXPECT_EQ(selection(dlg), (std::vector<int>{0, 1, 2, 4, 5, 9, 22}));

    click(dlg.button(CBackupDlg::IDC_REMOVE_ALL));
    EXPECT_EQ(dlg.selectedCount(), 0);
    click(dlg.button(CBackupDlg::IDC_SELECT_MARKED));
    EXPECT_EQ(selection(dlg), (std::vector<int>{4, 20}));
    click(dlg.button(CBackupDlg::IDC_SELECT_ALL));
    EXPECT_EQ(dlg.selectedCount(), 23);

    // The format goes round; merging is offered for AVI and WMV only.
    CSkinButton* format = dlg.button(CBackupDlg::IDC_FORMAT);
    CSkinButton* merge = dlg.button(CBackupDlg::IDC_MERGE);
    EXPECT_EQ(format->text(), QStringLiteral("Format:QMR3"));
    EXPECT_FALSE(merge->isVisible());
    click(format);
    EXPECT_EQ(dlg.format(), CBackupDlg::Avi);
    EXPECT_EQ(format->text(), QStringLiteral("Format:AVI"));
    ASSERT_TRUE(merge->isVisible());
    EXPECT_EQ(merge->text(), QStringLiteral("Merge:No "));
    click(merge);
    EXPECT_TRUE(dlg.merge());
    EXPECT_EQ(merge->text(), QStringLiteral("Merge:Yes"));
    click(format);
    EXPECT_EQ(format->text(), QStringLiteral("Format:WMV"));
    EXPECT_TRUE(merge->isVisible());
    click(format);
    EXPECT_EQ(dlg.format(), CBackupDlg::Copy);
    EXPECT_FALSE(merge->isVisible());

    // The window is dragged by its top 30 pixels only.
    const QPoint before = dlg.pos();
    playertest::press(&dlg, QPoint(600, 34));
    playertest::moveTo(&dlg, QPoint(650, 84));
    playertest::release(&dlg, QPoint(650, 84));
    EXPECT_EQ(dlg.pos(), before);
    playertest::press(&dlg, QPoint(600, 15));
    playertest::moveTo(&dlg, QPoint(650, 65));
    playertest::release(&dlg, QPoint(650, 65));
    EXPECT_NE(dlg.pos(), before);

    // Nothing chosen: the start says so and nothing runs.
    click(dlg.button(CBackupDlg::IDC_REMOVE_ALL));
    click(dlg.button(CBackupDlg::IDC_START));
    EXPECT_EQ(nextMessage(&dlg), QStringLiteral("Please choose files."));
    EXPECT_FALSE(dlg.isRunning());
}

// Copies land byte for byte in a folder made for them; an identical copy
// already there is left and said so; the folder is remembered.
TEST(BackupDialog, CopiesAreExactAndTheSummaryNamesThem) {
    testrec::TempDir dir, out;
    const std::vector<std::string> recs = backuptest::makeRecordings(dir, 3, 4);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 3);
    const std::string target = out.path() + "cards/";
    ASSERT_TRUE(fs::create_directories(target));
    fs::copy_file(recs[1], target + "rec01.qmr3");

    CBackupDlg dlg(nullptr, lib);
    dlg.show();
    dlg.setTargetFolder(QString::fromStdString(target) + QStringLiteral("more"));
    EXPECT_EQ(QSettings().value(QStringLiteral("dirName/strBackupPath")).toString(),
              QString::fromStdString(target) + QStringLiteral("more/"));
    dlg.setTargetFolder(QString::fromStdString(target));
    click(dlg.button(CBackupDlg::IDC_SELECT_ALL));
    click(dlg.button(CBackupDlg::IDC_START));
    ASSERT_TRUE(dlg.isRunning());
    // While it runs the other buttons only say so.
    click(dlg.button(CBackupDlg::IDC_FORMAT));
    EXPECT_EQ(nextMessage(&dlg), QStringLiteral("Backup is ongoing."));
    EXPECT_EQ(dlg.format(), CBackupDlg::Copy);
    QMessageBox* box = nextBox(&dlg);
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(dlg.isRunning());
    const QString summary = box->text();
    EXPECT_EQ(summary, dlg.lastSummary());
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Backup Completed"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("Backed up (2):\n  rec02.qmr3\n  rec00.qmr3")))
        << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("same contents (1):\n  rec01.qmr3")))
        << summary.toStdString();
    box->done(QMessageBox::Ok);
    for (const std::string& r : recs)
        EXPECT_EQ(bytesOf(target + fs::path(r).filename().string()), bytesOf(r)) << r;
    EXPECT_EQ(filesIn(target), (std::vector<std::string>{"rec00.qmr3", "rec01.qmr3", "rec02.qmr3"}));
    EXPECT_EQ(dlg.recordingInWork(), -1);
    EXPECT_EQ(dlg.progressOf(0), 100);
}

// A stop answered Yes in the middle of a copy leaves nothing of it behind;
// answered No, the run goes on.
TEST(BackupDialog, AStopInTheMiddleOfACopyLeavesNoPartialFile) {
    testrec::TempDir dir, out;
    const std::vector<std::string> recs = backuptest::makeRecordings(dir, 2, 2);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 2);
    ASSERT_EQ(lib.fileName(0), "rec01.qmr3");

    // A folder that is not there yet is made.
    const std::string target = out.path() + "new/level/";
    CBackupDlg dlg(nullptr, lib);
    dlg.show();
    backuptest::SlowRecording slow(recs[1], 3 << 20);
    ASSERT_TRUE(slow.ok());
    dlg.setTargetFolder(QString::fromStdString(target));
    click(dlg.button(CBackupDlg::IDC_SELECT_ALL));
    click(dlg.button(CBackupDlg::IDC_START));
    ASSERT_TRUE(dlg.isRunning());
    // Part of the recording is written when the stop comes.
    ASSERT_TRUE(waitUntil(
        [&] {
            const std::vector<std::string> files = filesIn(target);
            std::error_code ec;
            return files.size() == 1 && fs::file_size(target + files[0], ec) > 0;
        },
        20000));
    EXPECT_EQ(dlg.recordingInWork(), 0);
    // The list takes no choices while it is being written.
    playertest::press(&dlg, dlg.rowRect(1).center());
    playertest::release(&dlg, dlg.rowRect(1).center());
    EXPECT_EQ(nextMessage(&dlg), QStringLiteral("Backup is ongoing."));
    EXPECT_TRUE(dlg.isSelected(1));
    click(dlg.button(CBackupDlg::IDC_START));
    QMessageBox* ask = nextBox(&dlg);
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->text(), QStringLiteral("Do you want to stop backup?"));
    ask->done(QMessageBox::No);
    EXPECT_TRUE(dlg.isRunning());
    // Closing and Escape ask the same; No keeps the window.
    dlg.close();
    ask = nextBox(&dlg);
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->text(), QStringLiteral("Do you want to stop backup?"));
    ask->done(QMessageBox::No);
    EXPECT_TRUE(dlg.isVisible());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    ask = nextBox(&dlg);
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->text(), QStringLiteral("Do you want to stop backup?"));
    ask->done(QMessageBox::No);
    EXPECT_TRUE(dlg.isVisible());
    click(dlg.button(CBackupDlg::IDC_START));
    ask = nextBox(&dlg);
    ASSERT_NE(ask, nullptr);
    ask->done(QMessageBox::Yes);
    slow.release();
    EXPECT_TRUE(nextMessage(&dlg).startsWith(QStringLiteral("Backup Stopped")));
    EXPECT_FALSE(dlg.isRunning());
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(filesIn(target).empty());
    EXPECT_EQ(dlg.progressOf(0), 0);
}

// A different file of the same name is asked about: kept beside, or the run
// stopped while the question is open, without a hang and without leftovers.
TEST(BackupDialog, ASameNamedFileIsAskedAboutAndAStopAnswersTheQuestion) {
    testrec::TempDir dir, out;
    const std::vector<std::string> recs = backuptest::makeRecordings(dir, 1, 2);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 1);
    const std::string existing = out.file("rec00.qmr3");
    testrec::writeBytes(existing, {1, 2, 3});

    CBackupDlg dlg(nullptr, lib);
    dlg.show();
    dlg.setTargetFolder(QString::fromStdString(out.path()));
    dlg.setSelected(0, true);
    click(dlg.button(CBackupDlg::IDC_START));
    QMessageBox* q = nextBox(&dlg);
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(q->text().contains(QString::fromStdString(existing))) << q->text().toStdString();
    QPushButton* both = nullptr;
    for (QAbstractButton* b : q->buttons())
        if (b->text() == QStringLiteral("Keep both")) both = qobject_cast<QPushButton*>(b);
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(q->buttons().size(), 3);
    both->click();
    const QString summary = nextMessage(&dlg);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Backup Completed"))) << summary.toStdString();
    EXPECT_EQ(testrec::readBytes(existing), (std::vector<std::uint8_t>{1, 2, 3}));
    const std::vector<std::string> files = filesIn(out.path());
    ASSERT_EQ(files.size(), 2u);
    const std::string second = files[0] == "rec00.qmr3" ? files[1] : files[0];
    EXPECT_TRUE(summary.contains(QString::fromStdString(second))) << summary.toStdString();
    EXPECT_EQ(bytesOf(out.file(second)), bytesOf(recs[0]));
    fs::remove(out.file(second));

    // Asked again; the stop comes while the question is open.
    click(dlg.button(CBackupDlg::IDC_START));
    q = nextBox(&dlg);
    ASSERT_NE(q, nullptr);
    ASSERT_TRUE(q->text().contains(QString::fromStdString(existing)));
    dlg.command(CBackupDlg::IDC_START);
    QMessageBox* ask = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QMessageBox* b : dlg.findChildren<QMessageBox*>())
            if (b->isVisible() && b->text() == QStringLiteral("Do you want to stop backup?")) ask = b;
        return ask != nullptr;
    }));
    ask->done(QMessageBox::Yes);
    ASSERT_TRUE(waitUntil([&] { return !dlg.isRunning(); }, 20000));
    QMessageBox* end = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        for (QMessageBox* b : dlg.findChildren<QMessageBox*>())
            if (b->isVisible() && b->text().startsWith(QStringLiteral("Backup Stopped"))) end = b;
        return end != nullptr;
    }));
    end->done(QMessageBox::Ok);
    EXPECT_EQ(filesIn(out.path()), (std::vector<std::string>{"rec00.qmr3"}));
    EXPECT_EQ(testrec::readBytes(existing), (std::vector<std::uint8_t>{1, 2, 3}));
}

// The folder chooser starts in the folder there is; cancelling keeps it, a
// choice is kept for the next time. The first folder is the home folder.
TEST(BackupDialog, TheFolderIsChosenAndRemembered) {
    testrec::TempDir dir, out;
    backuptest::makeRecordings(dir, 1, 1);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 1);
    QSettings().remove(QStringLiteral("dirName/strBackupPath"));
    const QString chosen = QString::fromStdString(out.path()) + QStringLiteral("evidence");
    ASSERT_TRUE(QDir().mkpath(chosen));
    {
        CBackupDlg dlg(nullptr, lib);
        dlg.show();
        EXPECT_EQ(dlg.targetFolder(), QDir::homePath() + QLatin1Char('/'));
        auto chooser = [&dlg] {
            QFileDialog* fd = nullptr;
            waitUntil([&] { return (fd = dlg.findChild<QFileDialog*>()) && fd->isVisible(); });
            return fd;
        };
        click(dlg.button(CBackupDlg::IDC_CHOOSE_FOLDER));
        QFileDialog* fd = chooser();
        ASSERT_NE(fd, nullptr);
        EXPECT_EQ(QDir(fd->directory()).absolutePath(), QDir::homePath());
        fd->reject();
        EXPECT_EQ(dlg.targetFolder(), QDir::homePath() + QLatin1Char('/'));
        EXPECT_FALSE(QSettings().contains(QStringLiteral("dirName/strBackupPath")));
        ASSERT_TRUE(waitUntil([&] { return dlg.findChild<QFileDialog*>() == nullptr; }));

        click(dlg.button(CBackupDlg::IDC_CHOOSE_FOLDER));
        fd = chooser();
        ASSERT_NE(fd, nullptr);
        fd->setDirectory(QString::fromStdString(out.path()));
        fd->selectFile(QStringLiteral("evidence"));
        QMetaObject::invokeMethod(fd, "accept");
        EXPECT_EQ(dlg.targetFolder(), chosen + QLatin1Char('/'));
    }
    CBackupDlg again(nullptr, lib);
    EXPECT_EQ(again.targetFolder(), chosen + QLatin1Char('/'));
}

// A merged AVI of two recordings, from the buttons: one file named after the
// span, and the summary names it.
TEST(BackupDialog, AMergedAviIsOneFileNamedInTheSummary) {
    testrec::TempDir dir, out;
    backuptest::makeRecordings(dir, 2, 3);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 2);
    CBackupDlg dlg(nullptr, lib);
    dlg.show();
    dlg.setTargetFolder(QString::fromStdString(out.path()));
    click(dlg.button(CBackupDlg::IDC_FORMAT));
    click(dlg.button(CBackupDlg::IDC_MERGE));
    ASSERT_TRUE(dlg.merge());
    click(dlg.button(CBackupDlg::IDC_SELECT_ALL));
    click(dlg.button(CBackupDlg::IDC_START));
    ASSERT_TRUE(dlg.isRunning());
    EXPECT_FALSE(dlg.grab().isNull());
    const QString summary = nextMessage(&dlg, 120000);
    ASSERT_TRUE(summary.startsWith(QStringLiteral("Backup Completed\n(20261201_120000-20261201_1201")))
        << summary.toStdString();
    const QString name = summary.section(QLatin1Char('\n'), 1, 1).mid(1).chopped(1);
    EXPECT_TRUE(name.endsWith(QStringLiteral(".avi")));
    EXPECT_EQ(filesIn(out.path()), (std::vector<std::string>{name.toStdString()}));
    EXPECT_GT(fs::file_size(out.path() + name.toStdString()), 10000u);
    EXPECT_EQ(dlg.progressOf(0), 100);
    EXPECT_EQ(dlg.progressOf(1), 100);
}

// A recording gone since the folder was opened fails by name, with its
// reason, and the others are still backed up.
TEST(BackupDialog, AVanishedRecordingIsNamedAsFailed) {
    testrec::TempDir dir, out;
    const std::vector<std::string> recs = backuptest::makeRecordings(dir, 2, 2);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 2);
    fs::remove(recs[1]);
    CBackupDlg dlg(nullptr, lib);
    dlg.show();
    dlg.setTargetFolder(QString::fromStdString(out.path()));
    click(dlg.button(CBackupDlg::IDC_SELECT_ALL));
    click(dlg.button(CBackupDlg::IDC_START));
    QMessageBox* box = nextBox(&dlg);
    ASSERT_NE(box, nullptr);
    const QString summary = box->text();
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Backup Failed"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("Backed up (1):\n  rec00.qmr3"))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("Failed (1):\n  rec01.qmr3: "))) << summary.toStdString();
    box->done(QMessageBox::Ok);
    EXPECT_EQ(filesIn(out.path()), (std::vector<std::string>{"rec00.qmr3"}));
}
