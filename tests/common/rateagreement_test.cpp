// The recorder's rates reach three parts: the viewer picks the source's pace
// and the renderer's rate code, the source paces its pictures, the renderer
// shows them. For every rate the recorder defines they must agree, or each
// group is shown faster than it arrives and then waits.
#include "generator.h"
#include "intervals.h"
#include "playengine.h"
#include "ratetable.h"
#include "viewergeometry.h"

#include <gtest/gtest.h>

TEST(RateAgreement, SourceViewerAndRendererPaceEveryRecorderRateAlike) {
    for (int type : {0, 1}) {
        for (int number : korvid::RateNumbers()) {
            SCOPED_TRACE(testing::Message() << "family " << type << ", rate index " << number - 1);
            std::uint8_t value = 0;
            std::int32_t code = 0;
            lumacast::RateForVideoInfo(number, type, value, code);
            // The source set up from the header alone paces as the viewer asks.
            EXPECT_EQ(hexmoor::frameRateForHeader(std::uint32_t(number - 1), std::uint8_t(type)), value);
            const double sourceMs = double(hexmoor::frameDurationFor(value)) / 10000.0;

            const auto renderer = pexaro::PacingForRateCode(code, type);
            ASSERT_TRUE(renderer) << "the renderer does not know rate code " << code;
            if (!renderer->rate.slow) {
                // Whole milliseconds, and 12.5 pictures a second paced as 13.
                EXPECT_NEAR(renderer->baseIntervalMs, sourceMs, sourceMs * 0.05) << "rate code " << code;
            } else {
                // A picture a second or slower: the source sends a picture a
                // second (1.001 s in the 30 family), the renderer may only
                // show them more slowly.
                EXPECT_GE(renderer->baseIntervalMs, sourceMs / 1.001 - 1) << "rate code " << code;
            }
        }
    }
}

TEST(RateAgreement, UndefinedRatesKeepTheViewersValueAndPlayAtThirty) {
    std::uint8_t value = 42;
    std::int32_t code = 0;
    lumacast::RateForVideoInfo(7, 0, value, code);
    EXPECT_EQ(value, 42);
    EXPECT_EQ(code, 7);
    lumacast::RateForVideoInfo(1, 5, value, code);  // unknown family
    EXPECT_EQ(value, 42);
    EXPECT_EQ(code, 1);
    EXPECT_FALSE(pexaro::PacingForRateCode(7, 0));
    EXPECT_EQ(hexmoor::frameRateForHeader(6, 0), 30);
    EXPECT_EQ(hexmoor::frameRateForHeader(0, 2), 30);
    EXPECT_EQ(hexmoor::frameRateForHeader(0xffffffffu, 0), 30);
}

TEST(RateAgreement, RecordingsWrittenForARatePlayAtThatRate) {
    const struct {
        int type;
        std::vector<int> rates;
    } families[] = {{0, {30, 15, 10, 6, 3, 1}}, {1, {25, 13, 8, 6, 5, 3, 1}}};
    for (const auto& f : families) {
        for (int fps : f.rates) {
            const int index = qmr3::rateIndexFor(fps, f.type);
            EXPECT_EQ(hexmoor::frameRateForHeader(std::uint32_t(index), std::uint8_t(f.type)), fps)
                << "family " << f.type << ", " << fps << " pictures per second";
        }
    }
}
