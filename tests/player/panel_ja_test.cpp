// The panel in Japanese: translated information texts and pictures of the pages.
#include "generator.h"
#include "demowindow.h"
#include "korvidappdlg.h"
#include "playertest.h"
#include "testrecordings.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"

#include <gtest/gtest.h>

TEST(PanelJapanese, InformationTextsAndPages) {
    playertest::DemoWindow demo;
    ASSERT_TRUE(demo.written) << demo.error;
    CKorvidAppDlg& w = demo.w;
    CThumbnailCtrl* p = w.thumbnailCtrl();
    w.onCommand(IDC_TAB_INFO);
    const QStringList lines = p->infoLines();
    ASSERT_GE(lines.size(), 12);
    EXPECT_EQ(lines[0], QStringLiteral("ファイル情報"));
    EXPECT_EQ(lines[1], QStringLiteral("- 総ファイル数 : 13 個"));
    EXPECT_TRUE(lines[4].contains(QStringLiteral("日 ")));
    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    if (!shots.isEmpty()) w.grab().save(shots + "/ja-info.png");
    w.onCommand(IDC_TAB_LIST);
    ASSERT_TRUE(playertest::waitUntil([&] { return p->picturesPending() == 0; }, 120000));
    EXPECT_TRUE(p->hasPicture(p->shownFiles()[0]));
    EXPECT_TRUE(p->rowTexts(p->shownFiles()[0])[2].contains(QStringLiteral("分")));
    if (!shots.isEmpty()) w.grab().save(shots + "/ja-list.png");
    w.onCommand(IDC_TAB_CALENDAR);
    if (!shots.isEmpty()) w.grab().save(shots + "/ja-calendar.png");
}
