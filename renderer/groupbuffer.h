// Two sets of 15 pictures: the intake fills the write set while the render
// thread shows the read set, forwards or backwards. Not locked itself: the
// filter's lock guards it.
#pragma once

#include <QImage>

#include <array>

namespace pexaro {

constexpr int kSyncUnknown = -1;  // picture came without its sync answer

struct GroupSlot {
    QImage image;
    int syncAnswer = kSyncUnknown;  // 0 sync point, 1 not
};

class CGroupBuffer {
public:
    static constexpr int kSetSize = 15;
    enum ReadResult { kReadNone = -1, kReadOk = 0, kReadStart = 2, kReadEnd = 3 };

    // Next slot to fill, or nullptr when the write set is full (which makes
    // the swap pending).
    GroupSlot* NextFreeWrite();
    // Gives back the slot just taken when it could not be filled.
    void UndoWrite();

    ReadResult ReadForward(GroupSlot** picture);
    ReadResult ReadBackward(GroupSlot** picture);
    // Reads on in a direction. When the picture read last came the other
    // way, it is the one on screen: the read starts beside it rather than
    // giving it again.
    ReadResult ReadOnward(bool backward, GroupSlot** picture);
    ReadResult ReadForwardToEnd();
    ReadResult ReadBackwardToStart();

    // The write set becomes the read set, positioned for the direction.
    void Swap(bool backward);
    void EmptyWrite();
    void Reset();

    bool ready() const { return ready_; }
    bool swapPending() const { return swapPending_; }
    void setSwapPending(bool pending) { swapPending_ = pending; }
    int readPosition() const { return readPos_; }
    int readCount() const { return sets_[readSet_].count; }
    int writeCount() const { return sets_[1 - readSet_].count; }
    // The first picture taken into the write set, or nullptr.
    GroupSlot* FirstWritten() {
        Set& w = sets_[1 - readSet_];
        return w.count > 0 ? &w.pictures[0] : nullptr;
    }

private:
    struct Set {
        std::array<GroupSlot, kSetSize> pictures;
        int count = 0;
    };
    std::array<Set, 2> sets_;
    int readSet_ = 0;
    int readPos_ = 0;
    int writePos_ = 0;
    enum class Last { None, Forward, Backward } last_ = Last::None;  // direction of the last picture read
    bool ready_ = false;
    bool swapPending_ = false;
};

}  // namespace pexaro
