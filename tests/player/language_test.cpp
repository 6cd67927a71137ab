// Run with a Japanese locale (see CMakeLists.txt).
#include "framegrabber.h"
#include "generator.h"
#include "korvidapp.h"
#include "korvidappdlg.h"
#include "language.h"
#include "playertest.h"
#include "previewvideoctrl.h"
#include "setup.h"
#include "skinbutton.h"
#include "skindialog.h"
#include "testrecordings.h"
#include "videolibrary.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <gtest/gtest.h>

using playertest::binDir;

TEST(Japanese, LocaleSelectsJapanese) {
    EXPECT_TRUE(isJapaneseUi());
    EXPECT_EQ(languageSuffix(), QStringLiteral("-jp"));
    EXPECT_TRUE(CSkinDialog::backgroundPath(QStringLiteral("template-backup"))
                    .endsWith(QStringLiteral("template-backup-jp.gif")));
}

TEST(Japanese, MainWindowUsesTheJapanesePictureAndTooltips) {
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QStringLiteral("1.0.0.0"), &setup);
    EXPECT_EQ(win.templatePicturePath(), QDir(binDir()).filePath(QStringLiteral("templates-jp.gif")));
    EXPECT_TRUE(win.skin().warnings().isEmpty());
    EXPECT_EQ(win.button(IDC_PLAY)->toolTip(), QStringLiteral("再生"));
    EXPECT_EQ(win.button(IDC_OPEN_DIR)->toolTip(), QStringLiteral("フォルダを開く"));
    EXPECT_EQ(win.button(IDC_EXIT)->toolTip(), QStringLiteral("終了"));
    EXPECT_EQ(win.button(IDC_FILTER_A)->toolTip(), QStringLiteral("フィルター A(アラーム)"));
    win.onCommand(IDC_MAXIMIZE);
    EXPECT_EQ(win.button(IDC_MAXIMIZE)->toolTip(), QStringLiteral("元のサイズに戻す"));
    win.onCommand(IDC_MAXIMIZE);
    EXPECT_EQ(win.button(IDC_MAXIMIZE)->toolTip(), QStringLiteral("最大化"));
}

TEST(Japanese, EveryButtonWithATooltipIsTranslated) {
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    for (CSkinButton* b : win.buttonsInCreationOrder()) {
        const QString tip = b->toolTip();
        if (tip.isEmpty()) continue;
        bool ascii = true;
        for (QChar c : tip) ascii = ascii && c.unicode() < 128;
        EXPECT_FALSE(ascii) << b->objectName().toStdString() << ": " << tip.toStdString();
    }
}

TEST(Japanese, SetupDialogTexts) {
    CSetup setup;
    auto* dlg = qobject_cast<CSetupDialog*>(setup.createDialog(nullptr, QStringLiteral("1.0.0.0")));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("設定"));
    EXPECT_EQ(dlg->motionAreaBox()->text(), QStringLiteral("表示"));
    EXPECT_EQ(dlg->readEventBox()->text(), QStringLiteral("読込"));
    bool confirm = false;
    for (QPushButton* b : dlg->findChildren<QPushButton*>())
        confirm = confirm || b->text() == QStringLiteral("確認");
    EXPECT_TRUE(confirm);
    delete dlg;
}

TEST(Japanese, MessagesAreTranslated) {
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    win.show();
    win.onCommand(IDC_EXPORT_A);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(playertest::waitUntil([&] {
        for (QMessageBox* b : win.findChildren<QMessageBox*>())
            if (b->isVisible()) box = b;
        return box != nullptr;
    }));
    EXPECT_EQ(box->text(), QStringLiteral("ビデオが開かれていません。"));
    box->done(0);
}

TEST(Japanese, IndexRecoveryAsksForAFolderInJapanese) {
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    win.show();
    win.onCommand(IDC_FILE_RECOVERY);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(playertest::waitUntil([&] {
        for (QMessageBox* b : win.findChildren<QMessageBox*>())
            if (b->isVisible()) box = b;
        return box != nullptr;
    }));
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("インデックスファイルを復旧するには")));
    box->done(0);
}

TEST(Japanese, PreviewTextsAreTranslated) {
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, binDir(), QString(), &setup);
    win.show();
    win.onCommand(IDC_PREVIEW);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(playertest::waitUntil([&] {
        for (QMessageBox* b : win.findChildren<QMessageBox*>())
            if (b->isVisible()) box = b;
        return box != nullptr;
    }));
    EXPECT_EQ(box->text(), QStringLiteral("ビデオが選択されていません"));
    box->done(0);

    testrec::TempDir dir;
    qmr3::GenOptions o;
    o.fps = 1;
    o.gop = 1;
    o.seconds = 20;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("20261201_120000.qmr3"), o).ok);
    CVideoLibrary lib;
    lib.scanFolder(dir.path());
    CPreviewVideoCtrl pv(lib);
    QLineEdit status;
    pv.setStatusWindow(&status);
    pv.grabber()->grabber().setFfmpegPath("");
    pv.resize(900, 600);
    pv.show();
    pv.start(0, 0);
    ASSERT_TRUE(playertest::waitUntil([&] { return !pv.isBuilding(); }));
    playertest::moveTo(&pv, pv.elementRect(CPreviewVideoCtrl::LastPage).center(), false);
    EXPECT_EQ(pv.hoverText(), QStringLiteral("最後のページ"));
    playertest::moveTo(&pv, pv.elementRect(CPreviewVideoCtrl::Interval10 + 3).center(), false);
    EXPECT_EQ(pv.hoverText(), QStringLiteral("間隔 : 60 秒"));
}
