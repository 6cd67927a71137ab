#include "groupbuffer.h"

#include <gtest/gtest.h>

using namespace pexaro;

namespace {

void Fill(CGroupBuffer& b, int count, int firstTag) {
    for (int i = 0; i < count; ++i)
        if (GroupSlot* s = b.NextFreeWrite()) s->syncAnswer = firstTag + i;
}

}  // namespace

TEST(GroupBuffer, ReadsReportTheEndAndTheStartWithTheLastPicture) {
    CGroupBuffer b;
    Fill(b, 3, 10);
    b.Swap(false);
    GroupSlot* s = nullptr;
    EXPECT_EQ(b.ReadForward(&s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 10);
    EXPECT_EQ(b.ReadForward(&s), CGroupBuffer::kReadOk);
    EXPECT_EQ(b.ReadForward(&s), CGroupBuffer::kReadEnd);
    EXPECT_EQ(s->syncAnswer, 12);
    EXPECT_EQ(b.ReadForward(&s), CGroupBuffer::kReadEnd);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(b.ReadBackward(&s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 12);
    b.ReadBackward(&s);
    EXPECT_EQ(b.ReadBackward(&s), CGroupBuffer::kReadStart);
    EXPECT_EQ(s->syncAnswer, 10);
    EXPECT_EQ(b.ReadBackward(&s), CGroupBuffer::kReadStart);
    EXPECT_EQ(s, nullptr);
}

TEST(GroupBuffer, SixteenthPictureFindsNoSlotAndTheSwapClearsThePendingState) {
    CGroupBuffer b;
    Fill(b, 15, 0);
    EXPECT_FALSE(b.swapPending());
    EXPECT_EQ(b.NextFreeWrite(), nullptr);
    EXPECT_TRUE(b.swapPending());
    EXPECT_EQ(b.writeCount(), 15);
    b.Swap(true);
    EXPECT_FALSE(b.swapPending());
    EXPECT_EQ(b.readPosition(), 15);  // backwards from the end
    EXPECT_EQ(b.writeCount(), 0);
}
