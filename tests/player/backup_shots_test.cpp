// The backup dialog in the program's language, idle and during a run; its
// pictures for the documentation when KORVID_PANEL_SHOTS names a folder.
#include "backuptest.h"
#include "language.h"
#include "skin.h"
#include "skinkeys.h"

#include <QDir>

using playertest::waitUntil;

TEST(BackupDialogShots, SpeaksTheProgramsLanguageIdleAndRunning) {
    testrec::TempDir dir, out;
    const std::vector<std::string> recs = backuptest::makeRecordings(dir, 30, 3);
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFolder(dir.path()), 30);
    for (int i : {1, 2, 5, 6, 7}) lib.setMarked(i, true);
    const bool ja = isJapaneseUi();

    CSkin skin;
    const QDir bin(playertest::binDir());
    ASSERT_TRUE(
        skin.load(bin.filePath(QStringLiteral("templates.ini")),
                  bin.filePath(QStringLiteral("templates") + languageSuffix() + QStringLiteral(".gif"))));
    auto image = [&](const char* family, const char* state) {
        return skin.bitmap(QLatin1String(family) + QLatin1String(state));
    };
    using namespace skinkey;
    CBackupDlg dlg(nullptr, lib);
    dlg.setCloseImages(image(m_pbmHelpExit, kNM), image(m_pbmHelpExit, kRO), image(m_pbmHelpExit, kCK));
    dlg.setStartImages(image(m_pbmBackupStart, kNM), image(m_pbmBackupStart, kRO),
                       image(m_pbmBackupStart, kCK));
    dlg.setStopImages(image(m_pbmBackupStop, kNM), image(m_pbmBackupStop, kRO), image(m_pbmBackupStop, kCK));
    dlg.setTargetFolder(QString::fromStdString(out.path()) + QStringLiteral("Backup"));
    dlg.show();
    EXPECT_TRUE(dlg.hasBackground());
    EXPECT_EQ(dlg.windowTitle(), ja ? QStringLiteral("バックアップ") : QStringLiteral("Backup Files"));
    EXPECT_EQ(dlg.button(CBackupDlg::IDC_SELECT_MARKED)->text(),
              ja ? QStringLiteral("マーク分を選択") : QStringLiteral("Select Marked"));
    EXPECT_EQ(dlg.button(CBackupDlg::IDC_CHOOSE_FOLDER)->text(),
              ja ? QStringLiteral("フォルダ選択") : QStringLiteral("Choose Folder"));
    backuptest::click(dlg.button(CBackupDlg::IDC_SELECT_MARKED));
    backuptest::click(dlg.button(CBackupDlg::IDC_FORMAT));
    EXPECT_EQ(dlg.button(CBackupDlg::IDC_MERGE)->text(),
              ja ? QStringLiteral("結合:しない") : QStringLiteral("Merge:No "));
    // The pointer leaves the buttons it clicked, as it would.
    auto leaveButtons = [&dlg] {
        for (CSkinButton* b : dlg.findChildren<CSkinButton*>()) {
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), b->mapToGlobal(QPointF(1, 1)));
            QCoreApplication::sendEvent(b, &enter);
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(b, &leave);
        }
    };
    leaveButtons();
    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    const QString suffix = ja ? QStringLiteral("-ja.png") : QStringLiteral("-en.png");
    if (!shots.isEmpty()) EXPECT_TRUE(dlg.grab().save(shots + QStringLiteral("/backup-idle") + suffix));

    // A run held on its third recording, which arrives slowly.
    backuptest::click(dlg.button(CBackupDlg::IDC_FORMAT));
    backuptest::click(dlg.button(CBackupDlg::IDC_FORMAT));
    ASSERT_EQ(dlg.format(), CBackupDlg::Copy);
    backuptest::SlowRecording slow(lib.filePath(5), 1 << 20);
    ASSERT_TRUE(slow.ok());
    backuptest::click(dlg.button(CBackupDlg::IDC_START));
    ASSERT_TRUE(waitUntil([&] { return dlg.recordingInWork() == 5; }, 20000));
    EXPECT_EQ(dlg.progressOf(1), 100);
    EXPECT_EQ(dlg.progressOf(2), 100);
    leaveButtons();
    if (!shots.isEmpty()) EXPECT_TRUE(dlg.grab().save(shots + QStringLiteral("/backup-running") + suffix));
    dlg.command(CBackupDlg::IDC_START);
    QMessageBox* ask = backuptest::nextBox(&dlg);
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->text(), ja ? QStringLiteral("バックアップ中です。中断しますか？")
                              : QStringLiteral("Do you want to stop backup?"));
    ask->done(QMessageBox::Yes);
    slow.release();
    const QString end = backuptest::nextMessage(&dlg);
    EXPECT_TRUE(
        end.startsWith(ja ? QStringLiteral("バックアップを中断しました") : QStringLiteral("Backup Stopped")))
        << end.toStdString();
    // What was done before the stop stays and is named.
    EXPECT_TRUE(end.contains(QString::fromStdString(lib.fileName(2)))) << end.toStdString();
}
