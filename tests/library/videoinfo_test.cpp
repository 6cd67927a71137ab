#include "testrecordings.h"
#include "videolibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

using namespace testrec;

namespace {

using Span = std::pair<int, int>;  // clip start and end, seconds after t0

class LibraryVideoInfo : public ::testing::Test {
protected:
    TempDir dir;
    CVideoLibrary lib;
    const qmr3::Qmr3TimeStamp t0 = at(2009, 2, 3, 10, 0, 0);

    // One indexed frame per step (seconds after t0); -1 is a frame with an invalid time.
    int load(const std::vector<int>& steps, std::uint32_t rateCode = 30) {
        // An unindexed first packet with a good time keeps the file from being damaged.
        std::vector<Frame> frames = {{t0, 0, qmr3::kStreamAudio, false}};
        for (int s : steps) {
            frames.push_back({plus(t0, s < 0 ? 0 : s)});
            if (s < 0) frames.back().time.month = 0;
        }
        return loadFrames(frames, rateCode);
    }
    int loadFrames(const std::vector<Frame>& frames, std::uint32_t rateCode = 30) {
        writeRecording(dir.file("r.qmr3"), frames, {.frameRateCode = rateCode});
        EXPECT_EQ(lib.scan(dir.path()), 1);
        return lib.readVideoInfo(0);
    }
    std::vector<Span> clips() const {
        std::vector<Span> out;
        for (const auto& c : lib.clips())
            out.emplace_back(int(c.startTime - seconds(t0)), int(c.endTime - seconds(t0)));
        return out;
    }
};

}  // namespace

TEST_F(LibraryVideoInfo, ClipsFollowTheGapOfTheFrameRateCode) {
    struct Case {
        std::uint32_t rateCode;
        std::vector<int> steps;
        std::vector<Span> clips;
    };
    const std::vector<int> spread = {0, 2, 5, 8, 13, 15};
    const Case cases[] = {
        {30, {0, 1, 2, 3, 4, 5}, {{0, 5}}},
        {30, {0, 1, 2, 4, 5}, {{0, 2}, {4, 5}}},
        {20, {0, 0, 1, 1, 2, 3}, {{0, 0}, {1, 1}, {2, 3}}},            // no gap: every new second
        {30, {0, 1, 2, 100}, {{0, 100}}},                              // the last entry closes the clip
        {30, {7}, {{7, 7}}},                                           // a single entry is a closed clip
        {15, spread, {{0, 2}, {5, 5}, {8, 8}, {13, 15}}},              // gap 2
        {10, spread, {{0, 8}, {13, 15}}},                              // gap 3
        {6, spread, {{0, 15}}},                                        // gap 5
        {0x1E1E, spread, {{0, 0}, {2, 2}, {5, 5}, {8, 8}, {13, 15}}},  // low byte 30: gap 1
        {30, {-1, 3, 4, 5}, {{3, 5}}},                                 // invalid first entry
        {30, {0, 1, -1, 5, 6}, {{0, 1}, {5, 6}}},                      // invalid entry ends the clip
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.steps) + " code " + std::to_string(c.rateCode));
        EXPECT_EQ(load(c.steps, c.rateCode), 1);
        EXPECT_EQ(clips(), c.clips);
        EXPECT_EQ(lib.framePositionCount(),
                  int(std::count_if(c.steps.begin(), c.steps.end(), [](int s) { return s >= 0; })));
    }
    EXPECT_EQ(lib.framePosition(2).time, seconds(plus(t0, 5)));
    EXPECT_EQ(lib.selectedFile(), 0);
}

TEST_F(LibraryVideoInfo, InvalidLastEntryClosesClipAtPreviousTime) {
    EXPECT_EQ(load({4, 4, -1}), 1);
    EXPECT_EQ(lib.damaged(0), 1);  // which also zeroes the frame rate: gap 0
    EXPECT_EQ(clips(), (std::vector<Span>{{4, 4}}));
}

TEST_F(LibraryVideoInfo, NoValidEntryGivesZero) {
    EXPECT_EQ(load({-1, -1}), 0);
    EXPECT_EQ(lib.clipCount() + lib.framePositionCount(), 0);
}

TEST_F(LibraryVideoInfo, EventsAreFramesWithFlag01Or10) {
    std::vector<Frame> frames = steadyFrames(t0, 6);
    frames[1].flags = 0x10;
    frames[2].flags = 0x01;
    frames[3].flags = 0x02;
    frames[4].flags = 0x11;
    frames[4].flagsHigh = 0xAB;
    frames[5].time.day = 32;
    frames[5].flags = 0x01;
    EXPECT_EQ(loadFrames(frames), 1);
    ASSERT_EQ(lib.eventCount(), 3);
    std::int64_t t = 0;
    std::uint32_t flags = 0;
    lib.event(0, t, flags);
    EXPECT_EQ(t, seconds(plus(t0, 1)));
    EXPECT_EQ(flags, 0x10u);
    lib.event(1, t, flags);
    EXPECT_EQ(flags, 0x01u);
    lib.event(2, t, flags);
    EXPECT_EQ(t, seconds(plus(t0, 4)));
    EXPECT_EQ(flags, 0xAB11u);
    EXPECT_EQ(lib.events()[2].offset, lib.framePosition(4).offset);
}

TEST_F(LibraryVideoInfo, SwitchedOffReturnsZeroAndKeepsData) {
    ASSERT_EQ(load({0, 1, 2}), 1);
    lib.setReadEventData(false);
    EXPECT_EQ(lib.readVideoInfo(0), 0);
    EXPECT_EQ(lib.clipCount(), 1);
    EXPECT_EQ(lib.framePositionCount(), 3);
    lib.setReadEventData(true);
    EXPECT_EQ(lib.readVideoInfo(0), 1);
    lib.scan(dir.path());
    EXPECT_EQ(lib.clipCount() + lib.framePositionCount() + lib.eventCount(), 0);
}
