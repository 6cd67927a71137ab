// The help book of the test program's language, opened from the main window;
// pictured on a chapter and a section when KORVID_PANEL_SHOTS names a folder.
#include "helpctrl.h"
#include "helpdlg.h"
#include "korvidappdlg.h"
#include "playertest.h"
#include "setup.h"
#include "videolibrary.h"

#include <gtest/gtest.h>

TEST(HelpBookShots, TheBookOfTheLanguageOpensWithoutProblems) {
    const QString language = QString::fromLatin1(KORVID_TEST_LOCALE).left(2);
    const bool japanese = language == QLatin1String("ja");
    CSetup setup;
    CVideoLibrary library;
    CKorvidAppDlg win(library, playertest::binDir(), QStringLiteral("1.0.0.0"), &setup);
    win.show();
    win.onCommand(IDC_HELP);
    ASSERT_TRUE(playertest::waitUntil([&] { return win.helpDialog() && win.helpDialog()->isVisible(); }));
    CHelpDlg* dlg = win.helpDialog();
    CHelpCtrl* ctrl = dlg->helpCtrl();
    EXPECT_TRUE(ctrl->folder().endsWith(japanese ? "/Helps/jp/" : "/Helps/en/"))
        << ctrl->folder().toStdString();
    EXPECT_TRUE(dlg->problemText().isEmpty()) << dlg->problemText().toStdString();
    ASSERT_FALSE(ctrl->items().empty());
    EXPECT_EQ(ctrl->items().front().title, japanese ? QStringLiteral("はじめに") : QStringLiteral("Welcome"));
    EXPECT_EQ(dlg->windowTitle(), japanese ? QStringLiteral("Korvid ヘルプ") : QStringLiteral("Korvid Help"));

    // Every entry of the book has its page, and every section fits the view.
    int sections = 0;
    for (const HELPITEM& item : ctrl->items()) {
        if (!item.selectable) continue;
        EXPECT_LE(item.offset + item.height, 960) << item.title.toStdString();
        EXPECT_LE(item.height + 20, ctrl->height()) << item.title.toStdString();
        sections += item.kind == QLatin1String("SECTION");
    }
    EXPECT_GE(sections, 20);

    const QString shots = qEnvironmentVariable("KORVID_PANEL_SHOTS");
    ctrl->showItem(0);
    if (!shots.isEmpty()) dlg->grab().save(shots + "/help-chapter-" + language + ".png");
    // The section on the main window, with its picture.
    int wind = -1;
    for (int i = 0; i < int(ctrl->items().size()); ++i)
        if (ctrl->items()[std::size_t(i)].title ==
            (japanese ? QStringLiteral("ウィンドウ") : QStringLiteral("The window")))
            wind = i;
    ASSERT_GE(wind, 0);
    ctrl->showItem(wind);
    EXPECT_EQ(ctrl->shownItem(), wind);
    if (!shots.isEmpty()) dlg->grab().save(shots + "/help-section-" + language + ".png");
    dlg->reject();
}
