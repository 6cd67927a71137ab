// Runs an outside tool as a child process with standard output and standard
// error merged on one pipe, read by a thread of its own. The owner polls
// isRunning() and reads the latest chunk from the output sink.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

class CRedirector {
public:
    static constexpr const char* kChildEnded = "\r\n<TEST INFO>: Child process ended\r\n";

    CRedirector() = default;
    virtual ~CRedirector();
    CRedirector(const CRedirector&) = delete;
    CRedirector& operator=(const CRedirector&) = delete;

    // Starts program with args (no shell). True when the child runs and the
    // reader exists; false (with "Redirect console error: %x\r\n" in the
    // error sink and the running flag cleared) when it cannot be started.
    bool Start(const std::string& program, const std::vector<std::string>& args);
    // Ends the reader and closes the pipes; the child itself keeps running.
    // Any thread, also the reader's own.
    virtual void Stop();
    // Ends a child that is still running (owners giving up on a tool).
    void KillChild();

    bool isRunning() const { return running_.load(); }
    // Copies of the sinks: the latest output chunk and the latest error text.
    std::string outputText() const;
    std::string errorText() const;
    pid_t childPid() const { return pid_.load(); }

protected:
    // Called on the reader thread; the defaults replace the sink's text.
    virtual void OnOutputText(const std::string& text);
    virtual void OnErrorText(const std::string& text);

private:
    void readerLoop(int outFd, int stopFd, pid_t pid, unsigned run);
    bool isCurrentRun(unsigned run);
    void readerEnded();
    void closeFds();
    void reportStartError(int err);

    mutable std::mutex sinkLock_;
    std::string output_;
    std::string error_;
    std::atomic<int> running_{0};
    std::atomic<pid_t> pid_{0};
    // Each Start is a new run; a reader of an earlier run never clears the flag.
    std::mutex runLock_;
    unsigned run_ = 0;
    // Readers still alive, detached ones included; the destructor waits for them.
    std::mutex readersLock_;
    std::condition_variable readersDone_;
    int readers_ = 0;
    std::mutex stopLock_;  // guards reader_ and the descriptors, never held while joining
    std::thread reader_;
    int outRead_ = -1;   // parent's end of the child's merged output
    int inWrite_ = -1;   // parent's end of the child's input
    int stopRead_ = -1;  // wakes the reader for a stop
    int stopWrite_ = -1;
    int waitIntervalMs_ = 100;
};

// Direct start: runs program with args, output discarded, and waits at most
// timeoutMs (the child is killed after that, or as soon as *cancel turns
// true). Returns the exit code, or -1 with why set when it could not start,
// was killed or crashed.
int runAndWait(const std::string& program, const std::vector<std::string>& args, int timeoutMs,
               std::string* why, const std::atomic<bool>* cancel = nullptr);
