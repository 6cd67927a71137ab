// The still image dialog over the demo folder playing, in the language of the
// test program; pictured when KORVID_PANEL_SHOTS names a folder.
#include "demowindow.h"
#include "exportimagedlg.h"
#include "korvidappdlg.h"
#include "lumacastctrl.h"
#include "pictureframe.h"
#include "playertest.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "thumbnailctrl.h"

#include <QSettings>

#include <gtest/gtest.h>

TEST(StillExportWindow, DialogInTheProgramsLanguage) {
    QSettings().remove(QStringLiteral("ExportImage"));
    playertest::DemoWindow demo;
    ASSERT_TRUE(demo.written) << demo.error;
    CKorvidAppDlg& w = demo.w;
    CThumbnailCtrl* p = w.thumbnailCtrl();
    ASSERT_FALSE(p->shownFiles().empty());
    w.playChosenFile(p->shownFiles()[0]);
    ASSERT_TRUE(w.isPlaying());
    ASSERT_TRUE(
        playertest::waitUntil([&] { return testrec::frameOf(w.viewer()->CurrentPicture()) >= 30; }, 120000));

    w.onCommand(IDC_EXPORT_JPEG);
    CExportImageDlg* dlg = nullptr;
    ASSERT_TRUE(playertest::waitUntil([&] {
        dlg = w.findChild<CExportImageDlg*>();
        return dlg && dlg->isVisible();
    }));
    const bool japanese = QString::fromLatin1(KORVID_TEST_LOCALE).startsWith(QStringLiteral("ja"));
    EXPECT_TRUE(dlg->hasBackground());
    EXPECT_TRUE(CExportImageDlg::backgroundPath(QStringLiteral("template-exportimage"))
                    .endsWith(japanese ? QStringLiteral("-jp.gif") : QStringLiteral("-en.gif")));
    EXPECT_EQ(dlg->windowTitle(),
              japanese ? QStringLiteral("静止画の書き出し") : QStringLiteral("Export Still Image"));
    EXPECT_EQ(dlg->button(CExportImageDlg::IDC_IMAGE_SAVE)->tooltipText(),
              japanese ? QStringLiteral("JPEG ファイルとして保存") : QStringLiteral("Save as JPEG file"));

    dlg->captionField()->setText(japanese ? QStringLiteral("正面入口 カメラ 1")
                                          : QStringLiteral("Front entrance, camera 1"));
    dlg->onCommand(CExportImageDlg::IDC_IMAGE_POS_13);
    dlg->onCommand(CExportImageDlg::IDC_IMAGE_SIZE_LARGE);
    EXPECT_EQ(dlg->outputSize(), CExportImageDlg::largeSize(dlg->sourceSize().height()));
    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    const QString language = QString::fromLatin1(KORVID_TEST_LOCALE).left(2);
    if (!shots.isEmpty()) dlg->grab().save(shots + "/still-export-" + language + ".png");
    dlg->onCommand(CExportImageDlg::IDC_IMAGE_CLOSE);
    EXPECT_TRUE(playertest::waitUntil([&] { return w.findChild<CExportImageDlg*>() == nullptr; }));
    w.stopPlayback();
}
