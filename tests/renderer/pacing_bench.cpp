// Presentation intervals of pexarosink at the recorder's 30 and 25 pictures
// per second: mean, jitter and extremes, against the nominal interval.
#include "pexaroharness.h"

#include <gst/gst.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace pexarotest;
using namespace std::chrono;

namespace {

void Measure(const char* name, int rateCode, int videoType, double nominalMs, int groups) {
    PexaroPipeline p;
    p.control()->SetRateCode(rateCode, videoType);
    p.control()->SetPlayMode(korvid::kPlay);
    std::vector<std::vector<PictureSpec>> feed;
    for (int g = 0; g < groups; ++g) feed.push_back(Group(static_cast<std::uint32_t>(g * 100), 15));
    p.StartFeeding(feed, false);  // free running: no lockstep in the way of the pacing
    const size_t total = static_cast<size_t>(groups) * 15;
    if (!p.target().WaitForCount(total, seconds(groups * 2 + 10))) {
        std::printf("%s: only %zu of %zu pictures presented\n", name, p.target().Count(), total);
        return;
    }
    const auto log = p.target().Log();
    std::vector<double> gaps;
    for (size_t i = 2; i < log.size(); ++i)  // the first two settle the pacing
        gaps.push_back(duration<double, std::milli>(log[i].when - log[i - 1].when).count());
    double sum = 0, sq = 0, lo = 1e9, hi = 0;
    for (double g : gaps) {
        sum += g;
        sq += g * g;
        lo = std::min(lo, g);
        hi = std::max(hi, g);
    }
    const double mean = sum / gaps.size();
    const double jitter = std::sqrt(std::max(0.0, sq / gaps.size() - mean * mean));
    if (std::getenv("PACING_GAPS")) {
        for (size_t i = 0; i < gaps.size(); ++i) std::printf("%.1f%c", gaps[i], (i + 1) % 15 ? ' ' : '\n');
        std::printf("\n");
    }
    const double span = duration<double, std::milli>(log.back().when - log[1].when).count();
    std::printf(
        "%s: %zu intervals, nominal %.2f ms, mean %.2f ms (ratio %.4f), jitter (sd) %.2f ms, "
        "min %.2f ms, max %.2f ms, effective %.2f pictures/s\n",
        name, gaps.size(), nominalMs, mean, mean / nominalMs, jitter, lo, hi,
        1000.0 * (log.size() - 2) / span);
}

}  // namespace

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    if (!LoadPexaroPlugin()) return 1;
    const int groups = argc > 1 ? std::max(2, std::atoi(argv[1])) : 12;
    Measure("30 pictures/s (type 0, code 1)", 1, 0, 1000.0 / 30, groups);
    Measure("25 pictures/s (type 1, code 1)", 1, 1, 1000.0 / 25, groups);
    return 0;
}
