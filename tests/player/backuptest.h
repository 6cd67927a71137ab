// Helpers of the backup dialog tests: recordings one minute apart, the
// dialog's message boxes, clicks on its buttons, a recording that arrives
// slowly through a pipe.
#pragma once

#include "backupdlg.h"
#include "generator.h"
#include "playertest.h"
#include "skinbutton.h"
#include "testrecordings.h"
#include "videolibrary.h"

#include <QMessageBox>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace backuptest {

// count recordings of a few seconds, the k-th starting k minutes after noon;
// the catalogue lists them newest first.
inline std::vector<std::string> makeRecordings(const testrec::TempDir& dir, int count, int seconds = 2) {
    std::vector<std::string> paths;
    for (int k = 0; k < count; ++k) {
        qmr3::GenOptions o;
        o.seconds = seconds;
        o.hour = 12 + k / 60;
        o.minute = k % 60;
        const std::string path = dir.file(QString::asprintf("rec%02d.qmr3", k).toStdString());
        EXPECT_TRUE(qmr3::generateRecording(path, o).ok) << path;
        paths.push_back(path);
    }
    return paths;
}

inline QMessageBox* openBox(QWidget* parent) {
    for (QMessageBox* b : parent->findChildren<QMessageBox*>())
        if (b->isVisible()) return b;
    return nullptr;
}

// Waits for the dialog's next message box; nullptr when none came in time.
inline QMessageBox* nextBox(QWidget* parent, int ms = 20000) {
    QMessageBox* box = nullptr;
    playertest::waitUntil([&] { return (box = openBox(parent)) != nullptr; }, ms);
    return box;
}

// The text of the next message box, which is then closed.
inline QString nextMessage(QWidget* parent, int ms = 20000) {
    QMessageBox* box = nextBox(parent, ms);
    if (!box) return {};
    const QString text = box->text();
    box->done(QMessageBox::Ok);
    playertest::waitUntil([&] { return openBox(parent) == nullptr; });
    return text;
}

inline void click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    const QPoint c = w->rect().center();
    playertest::press(w, c);
    playertest::release(w, c);
}

// Stands in for a recording on slow media: the file becomes a pipe that
// delivers `first` bytes, then one more piece once release() is called.
class SlowRecording {
public:
    SlowRecording(const std::string& path, std::size_t first) : path_(path) {
        ::signal(SIGPIPE, SIG_IGN);
        ::unlink(path.c_str());
        ok_ = ::mkfifo(path.c_str(), 0600) == 0;
        if (!ok_) return;
        writer_ = std::thread([this, first] {
            const int fd = ::open(path_.c_str(), O_WRONLY);
            if (fd < 0) {
                finished_ = true;
                return;
            }
            const std::vector<char> bytes(first, 'x');
            for (std::size_t done = 0; done < bytes.size();) {
                const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
                if (w <= 0) break;
                done += std::size_t(w);
            }
            released_.wait(false);
            // Less than a pipe holds, so it never waits for the reader.
            const char tail[512] = {};
            [[maybe_unused]] const ssize_t w = ::write(fd, tail, sizeof tail);
            ::close(fd);
            finished_ = true;
        });
    }
    ~SlowRecording() {
        release();
        if (!writer_.joinable()) return;
        // A reader that went away early: this end drains the pipe until the writer is through.
        const int fd = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        char sink[4096];
        while (!finished_)
            if (fd < 0 || ::read(fd, sink, sizeof sink) <= 0) ::usleep(1000);
        writer_.join();
        if (fd >= 0) ::close(fd);
    }
    bool ok() const { return ok_; }
    void release() {
        released_ = true;
        released_.notify_all();
    }

private:
    std::string path_;
    bool ok_ = false;
    std::atomic<bool> released_{false};
    std::atomic<bool> finished_{false};
    std::thread writer_;
};

}  // namespace backuptest
