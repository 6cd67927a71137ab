#include "skindialog.h"

#include "language.h"
#include "memdc.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

QPoint snapToScreenEdges(const QRect& window, const QSize& screen, const QSize& snapSize) {
    int left = window.left();
    int top = window.top();
    const int bottom = window.top() + window.height();
    const int right = window.left() + window.width();
    if (std::abs(bottom - screen.height()) < 20) top = screen.height() - snapSize.height();
    if (std::abs(right - screen.width()) < 20) left = screen.width() - snapSize.width();
    if (top >= -20 && top < 20) top = 0;
    if (left >= -20 && left < 20) left = 0;
    return QPoint(left, top);
}

QRegion roundedRegion(const QRect& r, int d) {
    if (d <= 0) return QRegion(r);
    QPainterPath path;
    path.addRoundedRect(QRectF(r), d / 2.0, d / 2.0);
    return QRegion(path.toFillPolygon().toPolygon());
}

QRegion skinDialogShape(int width, int height) {
    return roundedRegion(QRect(QPoint(0, 0), QPoint(width, 299)), 24) |
           roundedRegion(QRect(QPoint(0, 100), QPoint(width, height)), 18);
}

CSkinDialog::CSkinDialog(QWidget* parent, const QString& baseName, const QSize& size, int raiseBy)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), raiseBy_(raiseBy) {
    background_.load(backgroundPath(baseName));
    setFixedSize(size);
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        setMask(skinDialogShape(size.width(), size.height()));
}

QString CSkinDialog::backgroundPath(const QString& baseName) {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + baseName +
           (isJapaneseUi() ? QStringLiteral("-jp.gif") : QStringLiteral("-en.gif"));
}

void CSkinDialog::paintEvent(QPaintEvent*) {
    QPainter p(this);
    CMemDC mem(&p, rect());
    if (background_.isNull()) mem->fillRect(rect(), QColor(16, 18, 22));
    else mem->drawPixmap(rect(), background_);
    paintOver(*mem.painter());
}

void CSkinDialog::showEvent(QShowEvent* e) {
    if (QWidget* owner = parentWidget()) {
        const QRect o = owner->window()->frameGeometry();
        move(o.center().x() - width() / 2, o.center().y() - height() / 2 - raiseBy_);
    }
    QDialog::showEvent(e);
}

void CSkinDialog::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton && (dragLimit_ < 0 || e->position().y() < dragLimit_)) {
        dragging_ = true;
        pressPoint_ = e->position().toPoint();
    }
    QDialog::mousePressEvent(e);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) {
        const QPoint topLeft = e->globalPosition().toPoint() - pressPoint_;
        const QSize screen = this->screen() ? this->screen()->geometry().size() : QSize(1920, 1080);
        move(snapToScreenEdges(QRect(topLeft, size()), screen, size()));
    }
    QDialog::mouseMoveEvent(e);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* e) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(e);
}
