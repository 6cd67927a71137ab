#include "groupbuffer.h"

#include <gtest/gtest.h>

#include <vector>

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

TEST(GroupBuffer, ReadingOnAfterATurnStartsBesideThePictureReadLast) {
    CGroupBuffer b;
    Fill(b, 4, 20);
    b.Swap(false);
    GroupSlot* s = nullptr;
    b.ReadOnward(false, &s);
    b.ReadOnward(false, &s);
    b.ReadOnward(false, &s);
    ASSERT_EQ(s->syncAnswer, 22);
    // Backwards from 22 gives 21, not 22 again; forwards from 21 gives 22.
    EXPECT_EQ(b.ReadOnward(true, &s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 21);
    EXPECT_EQ(b.ReadOnward(false, &s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 22);
    EXPECT_EQ(b.ReadOnward(false, &s), CGroupBuffer::kReadEnd);
    EXPECT_EQ(s->syncAnswer, 23);
    // From the last picture back to the first, each once.
    std::vector<int> back;
    CGroupBuffer::ReadResult r;
    do {
        r = b.ReadOnward(true, &s);
        if (s) back.push_back(s->syncAnswer);
    } while (r == CGroupBuffer::kReadOk);
    EXPECT_EQ(r, CGroupBuffer::kReadStart);
    EXPECT_EQ(back, (std::vector<int>{22, 21, 20}));
    // Forwards again from the first picture, then back to it: nothing lies before it.
    EXPECT_EQ(b.ReadOnward(false, &s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 21);
    b.ReadOnward(true, &s);
    EXPECT_EQ(s->syncAnswer, 20);
    EXPECT_EQ(b.ReadOnward(true, &s), CGroupBuffer::kReadStart);
    EXPECT_EQ(s, nullptr);
}

TEST(GroupBuffer, ASwappedInSetIsReadFromItsEdgeWhateverWasReadBefore) {
    CGroupBuffer b;
    Fill(b, 3, 0);
    b.Swap(false);
    GroupSlot* s = nullptr;
    b.ReadOnward(false, &s);
    Fill(b, 3, 10);
    b.Swap(true);
    EXPECT_EQ(b.ReadOnward(true, &s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 12);
    Fill(b, 3, 30);
    b.Swap(false);
    EXPECT_EQ(b.ReadOnward(false, &s), CGroupBuffer::kReadOk);
    EXPECT_EQ(s->syncAnswer, 30);
}
