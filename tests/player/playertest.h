// Helpers shared by the player tests: waiting on conditions with a deadline,
// the generated skin, synthetic mouse events.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QString>
#include <QTimer>
#include <QWidget>

namespace playertest {

// Runs the event loop until pred() holds or the deadline passes.
template <class Pred>
bool waitUntil(Pred pred, int ms = 5000) {
    QDeadlineTimer deadline(ms);
    while (!pred()) {
        if (deadline.hasExpired()) return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
        // deleteLater() from outside any event loop waits for this.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return true;
}

// The program folder with the generated skin.
inline QString binDir() { return QStringLiteral(KORVID_TEST_BIN_DIR); }

inline void sendMouse(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::LeftButton,
                      Qt::MouseButtons buttons = Qt::LeftButton) {
    QMouseEvent e(type, QPointF(pos), QPointF(w->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &e);
}
inline void press(QWidget* w, QPoint pos) { sendMouse(w, QEvent::MouseButtonPress, pos); }
inline void release(QWidget* w, QPoint pos) {
    sendMouse(w, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}
inline void moveTo(QWidget* w, QPoint pos, bool held = true) {
    sendMouse(w, QEvent::MouseMove, pos, Qt::NoButton, held ? Qt::LeftButton : Qt::NoButton);
}

// Sends every frame grab of its lifetime through the outside ffmpeg.
struct ToolGrabs {
    ToolGrabs() { qputenv("KORVID_FRAME_GRAB", "ffmpeg"); }
    ~ToolGrabs() { qunsetenv("KORVID_FRAME_GRAB"); }
    ToolGrabs(const ToolGrabs&) = delete;
    ToolGrabs& operator=(const ToolGrabs&) = delete;
};

}  // namespace playertest
