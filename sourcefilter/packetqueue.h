// A queue of packets between the reader thread and one output pad: payloads
// live back to back in a byte ring allocated once, descriptors in a fixed
// table, so nothing is allocated per packet once running.
#pragma once

#include "event.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace hexmoor {

// Steps of the group-end marking that travel with a queued picture.
enum class GroupMark : std::uint8_t {
    None,
    Arm,    // first picture of a group
    Mark,   // last picture of a group: the viewer's group-end byte is set with it
    Reset,  // repeat that follows the mark
};

// Everything a pad needs about a queued packet besides its payload.
struct EntryInfo {
    std::uint8_t stream = 0;  // 0 audio, 1 video
    std::uint8_t flags = 0;   // packet flags byte
    std::uint8_t timeStamp[8] = {};
    std::uint16_t gpsLatitude[4] = {};
    std::uint16_t gpsLongitude[4] = {};
    bool hasMap = false;
    std::uint8_t motionMap[32] = {};
    bool hasIndex = false;
    std::uint32_t frameIndex = 0;
    bool intra = false;
    GroupMark mark = GroupMark::None;
    bool repeat = false;  // the same picture was queued just before: not paced
    bool burst = false;   // first picture after a start or a jump: its group goes out unpaced
    std::uint64_t fileOffset = 0;
};

class CPacketQueue {
public:
    static constexpr std::size_t kRingBytes = 0x1000000;  // 16 MiB
    static constexpr std::size_t kMaxEntries = 16384;

    explicit CPacketQueue(std::size_t ringBytes = kRingBytes, std::size_t maxEntries = kMaxEntries);
    CPacketQueue(const CPacketQueue&) = delete;
    CPacketQueue& operator=(const CPacketQueue&) = delete;

    // Allocates the ring and the table; false when memory is short.
    bool init();
    bool ready() const { return ring_ != nullptr; }

    // Appends a packet; false when the ring or the table is full (nothing changes).
    bool put(const EntryInfo& info, const std::uint8_t* data, std::uint32_t length);
    // Removes the head entry and hands it to f(info, data, length) under the
    // queue's lock; false when empty.
    template <typename F>
    bool take(F&& f) {
        std::lock_guard<std::mutex> lock(m_);
        if (count_ == 0) return false;
        const Slot& s = slots_[head_];
        f(static_cast<const EntryInfo&>(s.info), ring_.get() + s.offset, s.length);
        popLocked();
        return true;
    }
    bool peek(EntryInfo& info, std::uint32_t* length = nullptr) const;
    bool dropHead();
    void clear();  // drops every entry; the ring stays
    void renew() { clear(); }
    int count() const;
    std::size_t bytesUsed() const;

    // Set whenever a packet is put; pads wait on it for data.
    korvid::Event& dataEvent() { return data_; }

private:
    struct Slot {
        EntryInfo info;
        std::size_t offset = 0;
        std::uint32_t length = 0;
    };
    void popLocked();

    const std::size_t capacity_;
    const std::size_t maxEntries_;
    std::unique_ptr<std::uint8_t[]> ring_;
    std::unique_ptr<Slot[]> slots_;
    mutable std::mutex m_;
    std::size_t head_ = 0;  // index of the oldest slot
    std::size_t count_ = 0;
    std::size_t readPos_ = 0;   // ring offset of the oldest payload
    std::size_t writePos_ = 0;  // ring offset after the newest payload
    std::size_t used_ = 0;
    korvid::Event data_;
};

}  // namespace hexmoor
