// One running player per user: the first start holds a lock file and listens
// on a local socket; a later start asks it to come forward and ends.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // key: the per-user name; KORVID_INSTANCE_KEY, when set, is appended
    // (tests run several players side by side).
    explicit CSingleInstance(QObject* parent = nullptr);
    ~CSingleInstance() override;

    static QString defaultKey();
    QString serverName() const { return serverName_; }

    // True when this process is the first one; it then listens.
    bool becomePrimary();
    // Asks the first process to come forward, and to open and play
    // openPath when one is given; false when it cannot be reached before
    // the deadline.
    bool notifyPrimary(int timeoutMs = 5000, const QString& openPath = QString());

signals:
    void raiseRequested();
    // A later start was given a folder or recording (an absolute path).
    void openRequested(const QString& path);

private:
    void handleRequest(const QByteArray& request);

    QString serverName_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
