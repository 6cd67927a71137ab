// Registers the GStreamer plugin files of the program folder's
// "gstreamer-1.0/" with the GStreamer registry, on a worker thread so that
// start-up never waits for it.
#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <thread>

class CComponentRegistrar {
public:
    enum class Result { Started, NoFolder, NothingFound };

    CComponentRegistrar() = default;
    ~CComponentRegistrar();
    CComponentRegistrar(const CComponentRegistrar&) = delete;
    CComponentRegistrar& operator=(const CComponentRegistrar&) = delete;

    // Finds the plugin files (*.so) and starts registering them.
    Result start(const QString& programFolder);
    QStringList files() const { return files_; }
    // Waits for the worker; the number of files the registry accepted.
    int wait();
    bool finished() const { return done_.load(); }

private:
    QStringList files_;
    std::thread worker_;
    std::atomic<bool> done_{false};
    std::atomic<int> registered_{0};
};
