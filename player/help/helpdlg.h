// The help dialog: a skinned window holding the help view and a close button.
#pragma once

#include "skindialog.h"

class CHelpCtrl;
class QAbstractButton;

class CHelpDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr int kHelpCtrlId = 1069;
    static constexpr int kCloseId = 1070;

    // folder: the help folder (see helpFolderFor).
    CHelpDlg(QWidget* parent, const QString& folder);

    CHelpCtrl* helpCtrl() const { return ctrl_; }
    QAbstractButton* closeButton() const { return close_; }
    // What the user is told when the book or some of its lines cannot be read;
    // empty when all is well.
    QString problemText() const;
    // The help folder of the running program, by language.
    static QString programHelpFolder();
    static QString missingFolderText(const QString& folder);

protected:
    void showEvent(QShowEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    CHelpCtrl* ctrl_ = nullptr;
    QAbstractButton* close_ = nullptr;
    bool problemsShown_ = false;
};
