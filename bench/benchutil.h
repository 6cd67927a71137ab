// Shared pieces of the benchmarks: medians, timing, an outside program run
// with an argument list, and realistic recordings made once per run.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

inline double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// Runs a program (searched in PATH) with its output thrown away; wall seconds, or -1.
double runProgram(const std::vector<std::string>& argv);

// The video of a recording as an Annex B stream: the table's parameter sets,
// then every picture (motion maps and trailers removed). Returns the picture count.
int extractStream(const std::string& recording, const std::string& out);

// One line of the results table, printed as "RESULT|figure|korvid|anchor|ratio|goal|met".
inline void result(const std::string& figure, const std::string& korvid, const std::string& anchor,
                   const std::string& ratio, const std::string& goal, bool met) {
    std::printf("RESULT|%s|%s|%s|%s|%s|%s\n", figure.c_str(), korvid.c_str(), anchor.c_str(), ratio.c_str(),
                goal.c_str(), met ? "met" : "not met");
    std::fflush(stdout);
}

inline std::string fmt(double v, const char* unit, int decimals = 1) {
    char b[64];
    std::snprintf(b, sizeof b, "%.*f%s", decimals, v, unit);
    return b;
}

}  // namespace bench
