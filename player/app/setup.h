// The player's two persistent switches and the small dialog that changes them.
#pragma once

#include <QCoreApplication>
#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QSettings;

class CSetup {
    Q_DECLARE_TR_FUNCTIONS(CSetup)
public:
    int motionArea = 0;     // "Setup" / "MDArea"
    int readEventData = 1;  // "Setup" / "ReadEventData"; 1 on every start
    int playOn = 1;         // "Setup" / "PlayOn": go on into the recording cut next

    // Motion area (default 0) and play on (default 1) from the store; read event data back to 1
    // whatever the store holds.
    void load(QSettings& settings);
    void save(QSettings& settings) const;
    // The same with the program's settings store.
    void load();
    void save() const;

    // The dialog, not yet shown; Confirm writes the values and closes it.
    QDialog* createDialog(QWidget* parent, const QString& versionText);
};

class CSetupDialog : public QDialog {
    Q_OBJECT
public:
    CSetupDialog(CSetup* setup, const QString& versionText, QWidget* parent);
    QCheckBox* motionAreaBox() const { return motion_; }
    QCheckBox* readEventBox() const { return readEvent_; }
    QCheckBox* playOnBox() const { return playOn_; }
    QLabel* versionLabel() const { return version_; }

public slots:
    void confirm();

private:
    CSetup* setup_;
    QCheckBox* motion_;
    QCheckBox* readEvent_;
    QCheckBox* playOn_;
    QLabel* readEventLabel_;
    QLabel* version_;
};
