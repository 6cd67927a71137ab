#include "setup.h"

#include "language.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>

void CSetup::load(QSettings& settings) {
    motionArea = settings.value(QStringLiteral("Setup/MDArea"), 0).toInt() ? 1 : 0;
    readEventData = 1;
    playOn = settings.value(QStringLiteral("Setup/PlayOn"), 1).toInt() ? 1 : 0;
}

void CSetup::save(QSettings& settings) const {
    settings.setValue(QStringLiteral("Setup/MDArea"), motionArea);
    settings.setValue(QStringLiteral("Setup/ReadEventData"), readEventData);
    settings.setValue(QStringLiteral("Setup/PlayOn"), playOn);
    settings.sync();
}

void CSetup::load() {
    QSettings s;
    load(s);
}

void CSetup::save() const {
    QSettings s;
    save(s);
}

QDialog* CSetup::createDialog(QWidget* parent, const QString& versionText) {
    auto* dlg = new CSetupDialog(this, versionText, parent);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    return dlg;
}

CSetupDialog::CSetupDialog(CSetup* setup, const QString& versionText, QWidget* parent)
    : QDialog(parent), setup_(setup) {
    setObjectName(QStringLiteral("SetupDialog"));
    setWindowTitle(tr("Setup"));
    setMinimumWidth(320);
    const bool jp = isJapaneseUi();
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(18, 16, 18, 14);
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(10);

    grid->addWidget(new QLabel(tr("Show Motion Area"), this), 0, 0);
    motion_ = new QCheckBox(jp ? tr("Show") : QString(), this);
    motion_->setObjectName(QStringLiteral("MDArea"));
    motion_->setChecked(setup_->motionArea != 0);
    grid->addWidget(motion_, 0, 1);

    readEventLabel_ = new QLabel(tr("Read Event Information"), this);
    readEvent_ = new QCheckBox(jp ? tr("Read") : QString(), this);
    readEvent_->setObjectName(QStringLiteral("ReadEventData"));
    readEvent_->setChecked(setup_->readEventData != 0);
    grid->addWidget(readEventLabel_, 1, 0);
    grid->addWidget(readEvent_, 1, 1);
    readEventLabel_->hide();
    readEvent_->hide();

    grid->addWidget(new QLabel(tr("Play on into the next recording"), this), 2, 0);
    playOn_ = new QCheckBox(jp ? tr("Play on") : QString(), this);
    playOn_->setObjectName(QStringLiteral("PlayOn"));
    playOn_->setChecked(setup_->playOn != 0);
    grid->addWidget(playOn_, 2, 1);

    version_ =
        new QLabel(tr("Version : ") + (versionText.isEmpty() ? QStringLiteral("-") : versionText), this);
    grid->addWidget(version_, 3, 0, 1, 2);

    auto* ok = new QPushButton(tr("Confirm"), this);
    ok->setDefault(true);
    grid->addWidget(ok, 4, 0, 1, 2, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &CSetupDialog::confirm);
}

void CSetupDialog::confirm() {
    setup_->motionArea = motion_->isChecked() ? 1 : 0;
    setup_->readEventData = readEvent_->isChecked() ? 1 : 0;
    setup_->playOn = playOn_->isChecked() ? 1 : 0;
    setup_->save();
    accept();
}
