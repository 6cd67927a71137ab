#include "screensaver.h"

#ifdef LUMACAST_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {
const char* const kService = "org.freedesktop.ScreenSaver";
const char* const kPath = "/org/freedesktop/ScreenSaver";
}  // namespace

CScreenSaverInhibitor::CScreenSaverInhibitor() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Inhibit"));
    call << QStringLiteral("Korvid") << QStringLiteral("Playing a recording");
    // Asynchronous, so that a slow or missing service never holds the window.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<quint32> reply = *w;
        if (reply.isValid()) {
            cookie_ = reply.value();
            haveCookie_ = true;
        }
        w->deleteLater();
    });
}

CScreenSaverInhibitor::~CScreenSaverInhibitor() {
    if (!haveCookie_) return;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("UnInhibit"));
    call << cookie_;
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
}
#else
CScreenSaverInhibitor::CScreenSaverInhibitor() = default;
CScreenSaverInhibitor::~CScreenSaverInhibitor() = default;
#endif
