// The cut-and-convert engine: finds the groups of pictures that cover a time
// range of a recording and copies their packets, as they are, into an AVI
// file (with a subtitle and a CSV sidecar) or into a new, smaller recording.
// Plain C++; work runs on the caller's thread and polls a stop flag.
#pragma once

#include "outputrate.h"
#include "qmr3format.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrex {

enum class Outcome { Done, Stopped, Failed };

struct ConvertTargets {
    std::string avi;  // required
    std::string srt;  // empty: not written
    std::string csv;  // empty: not written
};

struct ConvertReport {
    Outcome outcome = Outcome::Failed;
    std::string message;            // why it failed
    std::string warning;            // done, but shorter than asked (damaged recording)
    std::int64_t pictures = 0;      // pictures copied
    std::int64_t repeats = 0;       // pictures shown again to keep the rate
    std::int64_t clipPictures = 0;  // pictures of the clip, repeats included
    std::int64_t firstTime = 0;     // local seconds of the first and last picture copied
    std::int64_t lastTime = 0;
    bool audio = false;
};

class Cutter {
public:
    // Opens and checks the recording; false with a readable error.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return !gops_.empty(); }
    const std::string& path() const { return path_; }
    const qmr3::Qmr3FileHeader& header() const { return header_; }
    std::size_t gopCount() const { return gops_.size(); }
    std::int64_t firstTime() const { return gopTimes_.empty() ? 0 : gopTimes_.front(); }
    std::int64_t lastTime() const { return lastTime_; }
    // Header length in seconds (the field holds seconds + 2).
    int playTime() const { return header_.length < 2 ? 0 : int(header_.length - 2); }
    // A recording whose last byte is 0x20 is copied without filling its holes.
    bool straight() const { return summary_ == 0x20; }
    std::uint8_t eventSummary() const { return summary_; }
    OutputRate rate() const;

    // Pictures stamped from (inclusive) to (exclusive), both in seconds from the
    // first group's time stamp, widened to whole groups of pictures.
    bool setRangeByTime(std::int64_t fromOffset, std::int64_t toOffset, std::string& error);
    // Groups start .. end - 1; end is cut to the group count.
    bool setRangeByGop(std::size_t start, std::size_t end, std::string& error);
    std::size_t startGop() const { return startGop_; }
    std::size_t endGop() const { return endGop_; }
    std::int64_t gopTime(std::size_t i) const { return i < gopTimes_.size() ? gopTimes_[i] : 0; }

    // Both leave the targets removed unless the outcome is Done. progress
    // goes from 0 to 100.
    ConvertReport convert(const ConvertTargets& targets, const std::atomic<bool>& stop,
                          std::atomic<int>& progress) const;
    ConvertReport cutSubFile(const std::string& target, const std::atomic<bool>& stop,
                             std::atomic<int>& progress) const;

private:
    std::int64_t lastTimeOfGop(std::size_t i) const;
    std::uint64_t rangeEnd() const;

    std::string path_;
    qmr3::Qmr3FileHeader header_;
    std::vector<std::uint32_t> gops_;
    std::vector<std::int64_t> gopTimes_;
    std::int64_t lastTime_ = 0;
    std::uint8_t summary_ = 0;
    std::size_t startGop_ = 0;
    std::size_t endGop_ = 0;
};

// "2 Alarm, Motion": the event kinds a packet's flags announce.
std::string eventKinds(std::uint8_t flags);

}  // namespace vantrex
