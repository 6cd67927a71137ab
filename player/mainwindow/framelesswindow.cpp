#include "framelesswindow.h"

#include "skindialog.h"

#include <QMouseEvent>
#include <QScreen>
#include <QWidget>
#include <QWindow>

CFramelessWindowBehaviour::CFramelessWindowBehaviour(QWidget* window) : QObject(window), window_(window) {
    window_->setMouseTracking(true);
    window_->installEventFilter(this);
}

QRect CFramelessWindowBehaviour::screenRect() const {
    return window_->screen() ? window_->screen()->geometry() : QRect(0, 0, 1920, 1080);
}

bool CFramelessWindowBehaviour::inSizeGrip(const QPoint& p) const {
    return !maximised_ && p.x() >= window_->width() - kGripSize && p.y() >= window_->height() - kGripSize &&
           window_->rect().contains(p);
}

bool CFramelessWindowBehaviour::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: return press(static_cast<QMouseEvent*>(event));
    case QEvent::MouseMove: return move(static_cast<QMouseEvent*>(event));
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
        dragging_ = false;
        resizing_ = false;
        return true;
    case QEvent::MouseButtonDblClick: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() != Qt::LeftButton || e->position().y() >= kTitleHeight) return false;
        emit maximiseToggleRequested();
        return true;
    }
    default: return false;
    }
}

bool CFramelessWindowBehaviour::press(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return false;
    const QPoint pos = e->position().toPoint();
    if (inSizeGrip(pos)) {
        // The window manager sizes better where it can; otherwise by hand.
        QWindow* handle = window_->windowHandle();
        if (handle && handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge)) return true;
        resizing_ = true;
        resizeStart_ = e->globalPosition().toPoint();
        resizeStartSize_ = window_->size();
        return true;
    }
    dragging_ = true;
    pressPoint_ = pos;
    return true;
}

bool CFramelessWindowBehaviour::move(QMouseEvent* e) {
    if (resizing_) {
        const QPoint delta = e->globalPosition().toPoint() - resizeStart_;
        window_->resize((resizeStartSize_ + QSize(delta.x(), delta.y())).expandedTo(window_->minimumSize()));
        return true;
    }
    if (dragging_) {
        if (maximised_) return true;
        const QPoint topLeft = e->globalPosition().toPoint() - pressPoint_;
        const QSize layoutSize(window_->width() + 2, window_->height() + 2);
        window_->move(snapToScreenEdges(QRect(topLeft, window_->size()), screenRect().size(), layoutSize));
        return true;
    }
    window_->setCursor(inSizeGrip(e->position().toPoint()) ? Qt::SizeFDiagCursor : Qt::ArrowCursor);
    return false;
}

void CFramelessWindowBehaviour::setMaximised(bool on) {
    // Full screen owns the window's size until it is left.
    if (on == maximised_ || fullScreen_) return;
    maximised_ = on;
    if (on) {
        restoreRect_ = window_->geometry();
        const QRect screen = screenRect();
        window_->setGeometry(QRect(screen.topLeft(), screen.size() + QSize(1, 1)));
    } else {
        window_->setGeometry(restoreRect_);
    }
}

void CFramelessWindowBehaviour::setFullScreen(bool on) {
    if (on == fullScreen_) return;
    fullScreen_ = on;
    if (on) {
        windowedRect_ = window_->geometry();
        windowedMinimum_ = window_->minimumSize();
        // A screen smaller than the window's minimum is still filled.
        window_->setMinimumSize(QSize(0, 0));
        const QRect screen = screenRect();
        window_->setGeometry(QRect(screen.topLeft(), screen.size() + QSize(1, 1)));
    } else {
        window_->setMinimumSize(windowedMinimum_);
        window_->setGeometry(windowedRect_);
    }
}
