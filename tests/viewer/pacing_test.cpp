// Slow recordings: the renderer presents pictures at the recording's own
// rate, evenly, across group ends.
#include "viewerfixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using namespace vwtest;

namespace {

// Milliseconds between successive new pictures, from the second one on (the
// first waits for the pipeline to start).
std::vector<double> Intervals(const Viewer& v) {
    const auto shown = v.firstShown();
    std::vector<double> out;
    for (std::size_t i = 2; i < shown.size(); ++i)
        out.push_back(
            std::chrono::duration<double, std::milli>(shown[i].second - shown[i - 1].second).count());
    return out;
}

std::string Show(const std::vector<double>& v) {
    std::string s;
    for (double x : v) s += std::to_string(int(x)) + " ";
    return s;
}

void ExpectEvenlySpaced(int fps, int gop, int seconds) {
    Viewer v;
    const auto path = v.write("slow.qmr3", recording(fps, gop, seconds));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    const long lastFrame = long(fps) * seconds - 1;
    ASSERT_TRUE(v.waitFor([&] { return v.last() == lastFrame; }, std::chrono::seconds(seconds * 3 + 10)));
    EXPECT_EQ(Distinct(v.frames()), UpTo(lastFrame + 1));
    const double expected = 1000.0 / fps;
    const auto gaps = Intervals(v);
    ASSERT_GE(gaps.size(), std::size_t(fps * seconds - 3)) << Show(gaps);
    const double mean = std::accumulate(gaps.begin(), gaps.end(), 0.0) / double(gaps.size());
    EXPECT_NEAR(mean, expected, expected * 0.4) << Show(gaps);
    // No picture flashes by: a group end does not bunch its pictures up.
    EXPECT_GE(*std::min_element(gaps.begin(), gaps.end()), expected / 2) << Show(gaps);
    EXPECT_LE(*std::max_element(gaps.begin(), gaps.end()), expected * 2) << Show(gaps);
}

}  // namespace

TEST(Pacing, ThreePicturesASecondAreEvenlySpaced) { ExpectEvenlySpaced(3, 6, 4); }

TEST(Pacing, OnePictureASecondIsEvenlySpaced) { ExpectEvenlySpaced(1, 1, 5); }

// A group's pictures come in a second apart: the next group's first pictures
// are kept while the last one of the group on screen is shown.
TEST(Pacing, TwoPictureGroupsAtOnePictureASecondKeepEveryPicture) { ExpectEvenlySpaced(1, 2, 5); }

TEST(Pacing, ThreePictureGroupsAtOnePictureASecondKeepEveryPicture) { ExpectEvenlySpaced(1, 3, 6); }
