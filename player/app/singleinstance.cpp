#include "singleinstance.h"

#include "logging.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

#include <memory>

#include <unistd.h>

namespace {
QString runtimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty() || !QDir().mkpath(dir)) dir = QDir::tempPath();
    return dir;
}
}  // namespace

CSingleInstance::CSingleInstance(QObject* parent) : QObject(parent) {
    serverName_ = QDir(runtimeFolder()).filePath(defaultKey());
}

CSingleInstance::~CSingleInstance() {
    if (server_) server_->close();
}

QString CSingleInstance::defaultKey() {
    QString key = QStringLiteral("korvid-%1").arg(getuid());
    const QString extra = qEnvironmentVariable("KORVID_INSTANCE_KEY");
    if (!extra.isEmpty()) key += QLatin1Char('-') + extra;
    return key;
}

bool CSingleInstance::becomePrimary() {
    lock_ = std::make_unique<QLockFile>(serverName_ + QStringLiteral(".lock"));
    lock_->setStaleLockTime(0);  // stale only when its process is gone
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    // The lock is ours, so any socket file left there is from a dead run.
    QLocalServer::removeServer(serverName_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(serverName_))
        qCWarning(lcApp) << "cannot listen on" << serverName_ << ":" << server_->errorString();
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            // A request is complete at its "end" line (or when the peer goes).
            auto buffer = std::make_shared<QByteArray>();
            auto done = std::make_shared<bool>(false);
            auto finish = [this, buffer, done] {
                if (*done) return;
                *done = true;
                handleRequest(*buffer);
            };
            connect(s, &QLocalSocket::readyRead, this, [s, buffer, finish] {
                *buffer += s->readAll();
                if (buffer->size() > 64 * 1024) buffer->clear();  // nobody sends that much
                if (buffer->endsWith("end\n")) {
                    finish();
                    s->disconnectFromServer();
                }
            });
            connect(s, &QLocalSocket::disconnected, this, finish);
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
        }
    });
    return true;
}

void CSingleInstance::handleRequest(const QByteArray& request) {
    bool raise = false;
    QString path;
    for (const QByteArray& line : request.split('\n')) {
        if (line == "raise") raise = true;
        else if (line.startsWith("open\t")) path = QString::fromUtf8(line.mid(5));
    }
    if (raise) emit raiseRequested();
    // Only a whole path is taken: a relative one would mean another folder here.
    if (!path.isEmpty() && QDir::isAbsolutePath(path)) emit openRequested(path);
}

bool CSingleInstance::notifyPrimary(int timeoutMs, const QString& openPath) {
    // The first process may still be starting: try until the deadline.
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(250)) {
            QByteArray request = "raise\n";
            if (!openPath.isEmpty()) request += "open\t" + openPath.toUtf8() + '\n';
            socket.write(request + "end\n");
            const bool ok = socket.waitForBytesWritten(1000);
            socket.waitForDisconnected(1000);
            return ok;
        }
        QThread::msleep(50);
    }
    return false;
}
