#include "redirector.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <system_error>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// The runner whose reader this thread is, if any.
thread_local const CRedirector* tlsReaderOf = nullptr;

// A child left running after Stop is still reaped, so it never lingers as a zombie.
void reapLater(pid_t pid) {
    if (pid <= 0) return;
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

std::vector<char*> argvFor(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

CRedirector::~CRedirector() {
    Stop();
    // A reader detached by a Stop from its own callback may still be on its
    // way out; it must not outlive the object it reports to.
    const int self = tlsReaderOf == this ? 1 : 0;
    std::unique_lock<std::mutex> g(readersLock_);
    readersDone_.wait(g, [this, self] { return readers_ <= self; });
}

std::string CRedirector::outputText() const {
    std::lock_guard<std::mutex> g(sinkLock_);
    return output_;
}

std::string CRedirector::errorText() const {
    std::lock_guard<std::mutex> g(sinkLock_);
    return error_;
}

void CRedirector::OnOutputText(const std::string& text) {
    std::lock_guard<std::mutex> g(sinkLock_);
    output_ = text;
}

void CRedirector::OnErrorText(const std::string& text) {
    std::lock_guard<std::mutex> g(sinkLock_);
    error_ = text;
}

void CRedirector::closeFds() {
    for (int* fd : {&outRead_, &inWrite_, &stopRead_, &stopWrite_})
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
}

void CRedirector::reportStartError(int err) {
    char text[64];
    std::snprintf(text, sizeof text, "Redirect console error: %x\r\n", unsigned(err));
    OnErrorText(text);
    // The flag is cleared, so an owner that polls it is never left waiting
    // for a child that does not exist.
    running_ = 0;
}

bool CRedirector::Start(const std::string& program, const std::vector<std::string>& args) {
    // The earlier run ends first; its reader is gone before the new run's flag is set.
    Stop();

    int outPipe[2] = {-1, -1}, inPipe[2] = {-1, -1}, stopPipe[2] = {-1, -1};
    auto fail = [&](int err) {
        for (int fd : {outPipe[0], outPipe[1], inPipe[0], inPipe[1], stopPipe[0], stopPipe[1]})
            if (fd >= 0) ::close(fd);
        reportStartError(err);
        errno = err;
        return false;
    };
    if (program.empty()) return fail(ENOENT);
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(inPipe, O_CLOEXEC) != 0 ||
        ::pipe2(stopPipe, O_CLOEXEC) != 0)
        return fail(errno);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 2);
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: keys pressed in the player's terminal do not reach it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<char*> argv = argvFor(program, args);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return fail(rc);

    ::close(outPipe[1]);
    ::close(inPipe[0]);
    outPipe[1] = inPipe[0] = -1;
    unsigned run;
    {
        // Set before the reader exists: a child that ends at once clears it
        // through its own reader, never before.
        std::lock_guard<std::mutex> r(runLock_);
        run = ++run_;
        running_ = 1;
    }
    std::lock_guard<std::mutex> g(stopLock_);
    outRead_ = outPipe[0];
    inWrite_ = inPipe[1];
    stopRead_ = stopPipe[0];
    stopWrite_ = stopPipe[1];
    pid_ = pid;
    // The reader works on its own copies, so a Stop from any thread can
    // close these without pulling descriptors from under it.
    const int readerOut = ::fcntl(outRead_, F_DUPFD_CLOEXEC, 0);
    const int readerStop = ::fcntl(stopRead_, F_DUPFD_CLOEXEC, 0);
    try {
        if (readerOut < 0 || readerStop < 0) throw std::system_error(errno, std::generic_category());
        {
            std::lock_guard<std::mutex> r(readersLock_);
            ++readers_;
        }
        reader_ = std::thread(&CRedirector::readerLoop, this, readerOut, readerStop, pid, run);
    } catch (const std::system_error& e) {
        if (readerOut >= 0 && readerStop >= 0) readerEnded();  // counted, never started
        if (readerOut >= 0) ::close(readerOut);
        if (readerStop >= 0) ::close(readerStop);
        closeFds();
        reapLater(pid);
        pid_ = 0;
        reportStartError(e.code().value());
        return false;
    }
    return true;
}

bool CRedirector::isCurrentRun(unsigned run) {
    std::lock_guard<std::mutex> g(runLock_);
    return run == run_;
}

void CRedirector::readerEnded() {
    std::lock_guard<std::mutex> g(readersLock_);
    --readers_;
    readersDone_.notify_all();
}

void CRedirector::readerLoop(int outFd, int stopFd, pid_t pid, unsigned run) {
    struct Closer {
        CRedirector* self;
        int a, b;
        ~Closer() {
            ::close(a);
            ::close(b);
            self->readerEnded();  // the last touch of the object
        }
    } closer{this, outFd, stopFd};
    tlsReaderOf = this;
    const int waitMs = waitIntervalMs_;
    char buffer[256];
    bool reaped = false;
    for (;;) {
        pollfd fds[2] = {{outFd, POLLIN, 0}, {stopFd, POLLIN, 0}};
        const int n = ::poll(fds, 2, waitMs);
        if (n < 0) {
            if (errno == EINTR) continue;
            OnErrorText("Read stdout pipe error\r\n");
            return;
        }
        if (fds[1].revents) return;  // stop requested
        if (fds[0].revents == 0) continue;
        const ssize_t got = ::read(outFd, buffer, 255);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            OnErrorText("Read stdout pipe error\r\n");
            return;
        }
        if (got == 0) break;  // every writer has closed: the child has ended
        OnOutputText(std::string(buffer, std::size_t(got)));
    }
    // The final text is in place before the owner can see the flag drop. A
    // run that was replaced meanwhile keeps the new run's flag; the callback
    // is made without the lock, as it may start or stop the runner itself.
    if (!isCurrentRun(run)) return;
    OnOutputText(kChildEnded);
    {
        std::lock_guard<std::mutex> g(runLock_);
        if (run != run_) return;
        running_ = 0;
    }
    // Reap the child; a stop request ends the wait and leaves it to reapLater.
    while (!reaped) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            reaped = true;
            pid_ = 0;
            break;
        }
        pollfd fd{stopFd, POLLIN, 0};
        if (::poll(&fd, 1, 20) > 0) return;
    }
}

void CRedirector::Stop() {
    std::thread reader;
    {
        std::lock_guard<std::mutex> g(stopLock_);
        if (reader_.joinable()) {
            if (reader_.get_id() == std::this_thread::get_id()) {
                // Called from the reader: it ends on its own when it returns
                // (closing the stop pipe below wakes nothing it waits on twice).
                reader_.detach();
            } else {
                if (stopWrite_ >= 0) {
                    const char c = 1;
                    [[maybe_unused]] ssize_t w = ::write(stopWrite_, &c, 1);
                }
                reader = std::move(reader_);
            }
        }
        closeFds();
        reapLater(pid_.exchange(0));
    }
    // Joined without the lock: the reader may itself be calling Stop from
    // its output callback, and must get through to see the stop request.
    if (reader.joinable()) reader.join();
}

void CRedirector::KillChild() {
    const pid_t pid = pid_.load();
    if (pid > 0) ::kill(pid, SIGKILL);
}

int runAndWait(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
               std::string* why, const std::atomic<bool>* cancel) {
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return -1;
    };
    if (program.empty()) return fail("program not found");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv = argvFor(program, args);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return fail(std::string("cannot start ") + program + ": " + std::strerror(rc));

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) break;
        if (r < 0 && errno != EINTR) return fail("wait failed");
        const bool cancelled = cancel && cancel->load();
        if (cancelled || std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return fail(cancelled ? program + " was cancelled" : program + " did not finish in time");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return fail(program + " ended abnormally");
}
