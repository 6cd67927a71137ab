// A recording of whole-group packets whose first packet holds no picture
// plays from the next group to its end, and the end is reported once.
#include "viewerfixture.h"

#include <gtest/gtest.h>

using namespace vwtest;

namespace {

std::vector<long> From(long first, long end) {
    std::vector<long> v;
    for (long f = first; f < end; ++f) v.push_back(f);
    return v;
}

}  // namespace

TEST(DamagedGroup, PictureLessFirstGroupIsPassedAndPlaybackEnds) {
    for (auto kind : {qmr3::DamageKind::EmptyPicture, qmr3::DamageKind::MotionShort}) {
        Viewer v;
        auto o = recording(10, 10, 4);
        o.gopMode = true;
        o.damage = {{kind, 0}};
        const auto path = v.write("damaged.qmr3", o);
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(v.open(path), 0);
        ASSERT_TRUE(v.waitMediaStop()) << "frames seen: " << v.presented();
        ASSERT_TRUE(v.waitFor([&] { return v.last() == 39; }, 10s));
        EXPECT_EQ(Distinct(v.frames()), From(10, 40));
        v.waitFor([] { return false; }, 500ms);
        EXPECT_EQ(v.mediaStops(), 1);
    }
}
