// Reads exported clips back with ffmpeg and ffprobe: which pictures they
// show (the frame numbers the generator wrote into them), their streams and
// their sound.
#pragma once

#include "clipexport.h"
#include "h264writer.h"
#include "testrecordings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace exportcheck {

inline std::string run(const std::vector<std::string>& args) {
    vantrex::ToolCommand c{vantrex::findFfmpeg(), args};
    if (!args.empty() && args[0] == "ffprobe") {
        c.program = c.program.substr(0, c.program.rfind('/') + 1) + "ffprobe";
        c.args.erase(c.args.begin());
    }
    std::string out, why;
    EXPECT_EQ(vantrex::runTool(c, nullptr, &out, &why), 0) << why << out;
    return out;
}

// Frame numbers of every picture the clip shows at fps pictures per second:
// each decoded picture as often as its time stamps say, so repeats count.
inline std::vector<long> framesOf(const std::string& clip, int width, int height, const std::string& scratch,
                                  double fps = 30) {
    run({"-nostdin", "-v", "error", "-y", "-i", clip, "-map", "0:v:0", "-fps_mode", "passthrough", "-f",
         "rawvideo", "-pix_fmt", "gray", scratch});
    const auto bytes = testrec::readBytes(scratch);
    std::filesystem::remove(scratch);
    const std::string times = run({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                   "frame=best_effort_timestamp_time", "-of", "csv=p=0", clip});
    std::vector<long long> stamps;
    for (std::size_t at = 0; at < times.size();) {
        const auto nl = times.find('\n', at);
        const std::string line = times.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
        if (!line.empty()) stamps.push_back(std::llround(std::stod(line) * fps));
        if (nl == std::string::npos) break;
        at = nl + 1;
    }
    std::vector<long> numbers;
    const std::size_t size = std::size_t(width) * std::size_t(height);
    EXPECT_EQ(bytes.size() / size, stamps.size());
    for (std::size_t i = 0; i * size + size <= bytes.size() && i < stamps.size(); ++i) {
        const auto n = qmr3::readFrameNumber(bytes.data() + i * size, width, width, height);
        const long long shown = i + 1 < stamps.size() ? stamps[i + 1] - stamps[i] : 1;
        for (long long k = 0; k < shown; ++k) numbers.push_back(n ? long(*n) : -1);
    }
    return numbers;
}

// Decoded sound as 8000 Hz mono 16-bit samples.
inline std::size_t soundSamples(const std::string& clip, const std::string& scratch) {
    run({"-nostdin", "-v", "error", "-y", "-i", clip, "-map", "0:a:0", "-ac", "1", "-ar", "8000", "-f",
         "s16le", scratch});
    const std::size_t n = testrec::readBytes(scratch).size() / 2;
    std::filesystem::remove(scratch);
    return n;
}

inline std::string probe(const std::string& clip) {
    return run({"ffprobe", "-v", "error", "-show_streams", "-show_format", clip});
}

inline std::vector<long> range(long from, long to) {
    std::vector<long> v;
    for (long i = from; i < to; ++i) v.push_back(i);
    return v;
}

// Files in a folder other than those named.
inline std::vector<std::string> strayFiles(const std::string& folder,
                                           const std::vector<std::string>& expected) {
    std::vector<std::string> stray;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (std::find(expected.begin(), expected.end(), name) == expected.end()) stray.push_back(name);
    }
    return stray;
}

}  // namespace exportcheck
