// A small event for hand-overs between threads of different modules:
// auto-reset (one waiter released, then it clears itself) or manual-reset.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace korvid {

class Event {
public:
    explicit Event(bool manualReset = false, bool initiallySet = false)
        : manual_(manualReset), set_(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set() {
        {
            std::lock_guard<std::mutex> lock(m_);
            set_ = true;
        }
        if (manual_) cv_.notify_all();
        else cv_.notify_one();
    }
    void reset() {
        std::lock_guard<std::mutex> lock(m_);
        set_ = false;
    }
    bool isSet() const {
        std::lock_guard<std::mutex> lock(m_);
        return set_;
    }
    // True when the event was set within the time-out (and, auto-reset, consumed).
    bool wait(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_);
        if (!cv_.wait_for(lock, timeout, [this] { return set_; })) return false;
        if (!manual_) set_ = false;
        return true;
    }
    void wait() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return set_; });
        if (!manual_) set_ = false;
    }
    // Waits until the event is set and leaves it set, so the waiter can mark
    // what it takes on before it takes the event with wait().
    void waitSet() {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return set_; });
    }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    const bool manual_;
    bool set_;
};

}  // namespace korvid
