#include "componentregistrar.h"

#include "logging.h"

#include <QDir>
#include <QFile>

#include <gst/gst.h>

CComponentRegistrar::~CComponentRegistrar() { wait(); }

CComponentRegistrar::Result CComponentRegistrar::start(const QString& programFolder) {
    const QDir dir(QDir(programFolder).filePath(QStringLiteral("gstreamer-1.0")));
    if (!dir.exists()) return Result::NoFolder;
    for (const QString& f : dir.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name))
        files_ << dir.filePath(f);
    if (files_.isEmpty()) return Result::NothingFound;
    std::vector<QByteArray> paths;
    for (const QString& f : files_) paths.push_back(QFile::encodeName(f));
    worker_ = std::thread([this, paths = std::move(paths)] {
        gst_init(nullptr, nullptr);  // waits for another thread's unfinished start-up
        for (const QByteArray& p : paths) {
            GError* error = nullptr;
            // Loading a plugin file adds it to the default registry.
            if (GstPlugin* plugin = gst_plugin_load_file(p.constData(), &error)) {
                ++registered_;
                gst_object_unref(plugin);
            } else {
                qCWarning(lcApp) << "cannot register" << p << ":" << (error ? error->message : "?");
                g_clear_error(&error);
            }
        }
        done_ = true;
    });
    return Result::Started;
}

int CComponentRegistrar::wait() {
    if (worker_.joinable()) worker_.join();
    return registered_.load();
}
