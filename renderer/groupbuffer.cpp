#include "groupbuffer.h"

namespace pexaro {

GroupSlot* CGroupBuffer::NextFreeWrite() {
    Set& w = sets_[1 - readSet_];
    if (++w.count >= kSetSize + 1) {
        w.count = kSetSize;
        swapPending_ = true;
        return nullptr;
    }
    GroupSlot* slot = &w.pictures[writePos_];
    ++writePos_;
    return slot;
}

void CGroupBuffer::UndoWrite() {
    Set& w = sets_[1 - readSet_];
    if (w.count > 0 && writePos_ > 0) {
        --w.count;
        --writePos_;
    }
}

CGroupBuffer::ReadResult CGroupBuffer::ReadForward(GroupSlot** picture) {
    Set& r = sets_[readSet_];
    *picture = nullptr;
    if (readPos_ >= r.count) return kReadEnd;
    *picture = &r.pictures[readPos_];
    ++readPos_;
    return readPos_ >= r.count ? kReadEnd : kReadOk;
}

CGroupBuffer::ReadResult CGroupBuffer::ReadBackward(GroupSlot** picture) {
    Set& r = sets_[readSet_];
    *picture = nullptr;
    if (readPos_ > r.count) readPos_ = r.count;
    if (readPos_ <= 0) return kReadStart;
    --readPos_;
    *picture = &r.pictures[readPos_];
    return readPos_ == 0 ? kReadStart : kReadOk;
}

CGroupBuffer::ReadResult CGroupBuffer::ReadOnward(bool backward, GroupSlot** picture) {
    const int count = sets_[readSet_].count;
    // Forwards the position stands after the picture read last, backwards on it.
    if (backward && last_ == Last::Forward && readPos_ > 0 && readPos_ <= count) --readPos_;
    else if (!backward && last_ == Last::Backward && readPos_ < count) ++readPos_;
    const ReadResult r = backward ? ReadBackward(picture) : ReadForward(picture);
    if (*picture) last_ = backward ? Last::Backward : Last::Forward;
    return r;
}

CGroupBuffer::ReadResult CGroupBuffer::ReadForwardToEnd() {
    readPos_ = sets_[readSet_].count;
    last_ = Last::None;
    return kReadEnd;
}

CGroupBuffer::ReadResult CGroupBuffer::ReadBackwardToStart() {
    readPos_ = 0;
    last_ = Last::None;
    return kReadStart;
}

void CGroupBuffer::Swap(bool backward) {
    readSet_ = 1 - readSet_;
    readPos_ = backward ? sets_[readSet_].count : 0;
    last_ = Last::None;
    EmptyWrite();
    ready_ = true;
    swapPending_ = false;
}

void CGroupBuffer::EmptyWrite() {
    sets_[1 - readSet_].count = 0;
    writePos_ = 0;
}

void CGroupBuffer::Reset() {
    sets_[0].count = sets_[1].count = 0;
    readSet_ = 0;
    readPos_ = writePos_ = 0;
    last_ = Last::None;
    ready_ = swapPending_ = false;
}

}  // namespace pexaro
