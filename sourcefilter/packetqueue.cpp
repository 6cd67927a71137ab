#include "packetqueue.h"

#include <cstring>
#include <new>

namespace hexmoor {

CPacketQueue::CPacketQueue(std::size_t ringBytes, std::size_t maxEntries)
    : capacity_(ringBytes), maxEntries_(maxEntries) {}

bool CPacketQueue::init() {
    std::lock_guard<std::mutex> lock(m_);
    if (ring_) return true;
    ring_.reset(new (std::nothrow) std::uint8_t[capacity_]);
    slots_.reset(new (std::nothrow) Slot[maxEntries_]);
    if (!ring_ || !slots_) {
        ring_.reset();
        slots_.reset();
        return false;
    }
    head_ = count_ = readPos_ = writePos_ = used_ = 0;
    return true;
}

bool CPacketQueue::put(const EntryInfo& info, const std::uint8_t* data, std::uint32_t length) {
    {
        std::lock_guard<std::mutex> lock(m_);
        if (!ring_ || count_ >= maxEntries_ || length > capacity_) return false;
        // Payloads are kept whole: one that does not fit before the ring's end
        // starts again at offset 0.
        std::size_t at;
        if (count_ == 0) {
            readPos_ = writePos_ = 0;
            at = 0;
        } else if (writePos_ >= readPos_) {  // equal only when every queued payload is empty
            if (capacity_ - writePos_ >= length) at = writePos_;
            else if (readPos_ > length) at = 0;
            else return false;
        } else {  // wrapped: free space lies between writePos_ and readPos_
            if (readPos_ - writePos_ > length) at = writePos_;
            else return false;
        }
        if (length) std::memcpy(ring_.get() + at, data, length);
        Slot& s = slots_[(head_ + count_) % maxEntries_];
        s.info = info;
        s.offset = at;
        s.length = length;
        writePos_ = at + length;
        used_ += length;
        ++count_;
    }
    data_.set();
    return true;
}

void CPacketQueue::popLocked() {
    used_ -= slots_[head_].length;
    head_ = (head_ + 1) % maxEntries_;
    --count_;
    if (count_ == 0) {
        head_ = 0;
        readPos_ = writePos_ = 0;
    } else {
        readPos_ = slots_[head_].offset;
    }
}

bool CPacketQueue::peek(EntryInfo& info, std::uint32_t* length) const {
    std::lock_guard<std::mutex> lock(m_);
    if (count_ == 0) return false;
    info = slots_[head_].info;
    if (length) *length = slots_[head_].length;
    return true;
}

bool CPacketQueue::dropHead() {
    std::lock_guard<std::mutex> lock(m_);
    if (count_ == 0) return false;
    popLocked();
    return true;
}

void CPacketQueue::clear() {
    std::lock_guard<std::mutex> lock(m_);
    head_ = count_ = readPos_ = writePos_ = used_ = 0;
}

int CPacketQueue::count() const {
    std::lock_guard<std::mutex> lock(m_);
    return int(count_);
}

std::size_t CPacketQueue::bytesUsed() const {
    std::lock_guard<std::mutex> lock(m_);
    return used_;
}

}  // namespace hexmoor
