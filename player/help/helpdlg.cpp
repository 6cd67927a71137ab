#include "helpdlg.h"

#include "helpctrl.h"
#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QTimer>
#include <QToolButton>

namespace {

// A flat close mark that lights up under the mouse.
class CCloseButton : public QToolButton {
public:
    explicit CCloseButton(QWidget* parent) : QToolButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setAutoRaise(true);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
        const QColor fill = isDown()       ? QColor(200, 60, 60)
                            : underMouse() ? QColor(150, 50, 50)
                                           : QColor(48, 52, 60);
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawEllipse(r);
        p.setPen(QPen(QColor(235, 238, 242), 2, Qt::SolidLine, Qt::RoundCap));
        const QRectF c = r.adjusted(7, 7, -7, -7);
        p.drawLine(c.topLeft(), c.bottomRight());
        p.drawLine(c.topRight(), c.bottomLeft());
    }
};

}  // namespace

CHelpDlg::CHelpDlg(QWidget* parent, const QString& folder)
    : CSkinDialog(parent, QStringLiteral("help-bg"), QSize(925, 600)) {
    setObjectName(QStringLiteral("helpDlg"));
    setWindowTitle(tr("Korvid Help"));
    setBackground(QPixmap(QDir(folder).filePath(QStringLiteral("help-bg.gif"))));
    ctrl_ = new CHelpCtrl(folder, this);
    ctrl_->setGeometry(QRect(QPoint(10, 32), QPoint(914, 591)));
    close_ = new CCloseButton(this);
    close_->setObjectName(QStringLiteral("helpClose"));
    close_->setToolTip(tr("Close"));
    close_->setGeometry(QRect(QPoint(890, 5), QPoint(913, 28)));
    connect(close_, &QToolButton::clicked, this, &QDialog::accept);
    ctrl_->setFocus();
}

QString CHelpDlg::programHelpFolder() {
    // KORVID_HELP_ROOT stands in for the program folder (tests).
    const QString root = qEnvironmentVariable("KORVID_HELP_ROOT");
    return helpFolderFor(root.isEmpty() ? QCoreApplication::applicationDirPath() : root, isJapaneseUi());
}

QString CHelpDlg::missingFolderText(const QString& folder) {
    return tr("The help book cannot be found in %1.\nPlease install Korvid again to get it back.")
        .arg(QDir::toNativeSeparators(folder));
}

QString CHelpDlg::problemText() const {
    if (!ctrl_->bookOpened()) return tr("help.ini file can't be opened");
    if (ctrl_->problems().isEmpty()) return QString();
    QStringList lines = ctrl_->problems().mid(0, 10);
    if (ctrl_->problems().size() > 10) lines << tr("... and %1 more").arg(ctrl_->problems().size() - 10);
    return tr("Some entries of the help book could not be read and were left out:") + QLatin1Char('\n') +
           lines.join(QLatin1Char('\n'));
}

void CHelpDlg::showEvent(QShowEvent* e) {
    CSkinDialog::showEvent(e);
    if (problemsShown_) return;
    problemsShown_ = true;
    const QString text = problemText();
    if (text.isEmpty()) return;
    QTimer::singleShot(0, this, [this, text] {
        auto* box =
            new QMessageBox(QMessageBox::Warning, QStringLiteral("Korvid"), text, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    });
}

void CHelpDlg::keyPressEvent(QKeyEvent* e) {
    // F1 inside the help does nothing; Escape closes as in every dialog.
    if (e->key() == Qt::Key_F1) {
        e->accept();
        return;
    }
    CSkinDialog::keyPressEvent(e);
}
