#include "playertest.h"
#include "setup.h"
#include "videolibrary.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class Settings : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QSettings store{dir.filePath(QStringLiteral("Korvid.ini")), QSettings::IniFormat};
};

}  // namespace

TEST_F(Settings, DefaultsWithAnEmptyStore) {
    CSetup s;
    s.motionArea = 7;
    s.readEventData = 0;
    s.load(store);
    EXPECT_EQ(s.motionArea, 0);
    EXPECT_EQ(s.readEventData, 1);
}

TEST_F(Settings, ReadEventDataStartsAsOneWhateverIsStored) {
    store.setValue(QStringLiteral("Setup/ReadEventData"), 0);
    store.setValue(QStringLiteral("Setup/MDArea"), 1);
    CSetup s;
    s.load(store);
    EXPECT_EQ(s.readEventData, 1);
    EXPECT_EQ(s.motionArea, 1);
}

TEST_F(Settings, SaveWritesBothKeysUnderSetup) {
    CSetup s;
    s.motionArea = 1;
    s.readEventData = 0;
    s.save(store);
    EXPECT_EQ(store.value(QStringLiteral("Setup/MDArea")).toInt(), 1);
    EXPECT_EQ(store.value(QStringLiteral("Setup/ReadEventData")).toInt(), 0);
}

TEST_F(Settings, DialogShowsValuesAndConfirmWritesThemToTheProgramStore) {
    CSetup s;
    s.motionArea = 0;
    QDialog* dlg = s.createDialog(nullptr, QStringLiteral("1.2.3.4"));
    auto* setup = qobject_cast<CSetupDialog*>(dlg);
    ASSERT_NE(setup, nullptr);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Setup"));
    EXPECT_EQ(setup->versionLabel()->text(), QStringLiteral("Version : 1.2.3.4"));
    EXPECT_FALSE(setup->motionAreaBox()->isChecked());
    EXPECT_TRUE(setup->readEventBox()->isChecked());
    dlg->show();
    EXPECT_TRUE(setup->motionAreaBox()->isVisible());
    EXPECT_FALSE(setup->readEventBox()->isVisible()) << "the read-event box is hidden";
    QPushButton* confirm = nullptr;
    for (QPushButton* b : dlg->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("Confirm")) confirm = b;
    ASSERT_NE(confirm, nullptr);
    EXPECT_TRUE(confirm->isDefault());
    setup->motionAreaBox()->setChecked(true);
    QPointer<QDialog> guard(dlg);
    confirm->click();
    EXPECT_EQ(s.motionArea, 1);
    EXPECT_EQ(QSettings().value(QStringLiteral("Setup/MDArea")).toInt(), 1);
    EXPECT_EQ(QSettings().value(QStringLiteral("Setup/ReadEventData")).toInt(), 1);
    EXPECT_TRUE(playertest::waitUntil([&] { return guard.isNull(); }));
}

TEST_F(Settings, DialogIsDarkLikeTheSkin) {
    CSetup s;
    std::unique_ptr<QDialog> dlg(s.createDialog(nullptr, QStringLiteral("1.0.0.0")));
    dlg->setAttribute(Qt::WA_DeleteOnClose, false);
    dlg->show();
    const QImage shot = dlg->grab().toImage();
    EXPECT_LT(shot.pixelColor(3, 3).lightness(), 60);
    const QString dir = qEnvironmentVariable("KORVID_TEST_SHOTS");
    if (!dir.isEmpty()) shot.save(dir + QStringLiteral("/setup.png"));
}

TEST_F(Settings, ClosingWithoutConfirmChangesNothing) {
    QSettings().setValue(QStringLiteral("Setup/MDArea"), 0);
    CSetup s;
    auto* dlg = qobject_cast<CSetupDialog*>(s.createDialog(nullptr, QString()));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->versionLabel()->text(), QStringLiteral("Version : -"));
    dlg->show();
    dlg->motionAreaBox()->setChecked(true);
    dlg->reject();
    EXPECT_EQ(s.motionArea, 0);
    EXPECT_EQ(QSettings().value(QStringLiteral("Setup/MDArea")).toInt(), 0);
}

TEST_F(Settings, PlayOnIsOnByDefaultAndTheDialogSwitchesItOff) {
    CSetup s;
    s.playOn = 0;
    s.load(store);
    EXPECT_EQ(s.playOn, 1);
    store.setValue(QStringLiteral("Setup/PlayOn"), 0);
    s.load(store);
    EXPECT_EQ(s.playOn, 0);

    s.playOn = 1;
    QDialog* dlg = s.createDialog(nullptr, QString());
    auto* setup = qobject_cast<CSetupDialog*>(dlg);
    ASSERT_NE(setup, nullptr);
    dlg->show();
    EXPECT_TRUE(setup->playOnBox()->isVisible());
    EXPECT_TRUE(setup->playOnBox()->isChecked());
    setup->playOnBox()->setChecked(false);
    QPointer<QDialog> guard(dlg);
    setup->confirm();
    EXPECT_EQ(s.playOn, 0);
    EXPECT_EQ(QSettings().value(QStringLiteral("Setup/PlayOn")).toInt(), 0);
    EXPECT_TRUE(playertest::waitUntil([&] { return guard.isNull(); }));
}
