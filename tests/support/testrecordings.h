// Builds small recordings in a private temporary folder for the tests.
#pragma once

#include "generator.h"
#include "qmr3format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testrec {

// A private folder under $TMPDIR (or /tmp), removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& path() const { return path_; }  // ends with "/"
    std::string file(const std::string& name) const { return path_ + name; }

private:
    std::string path_;
};

struct Frame {
    qmr3::Qmr3TimeStamp time;
    std::uint8_t flags = 0;
    std::uint8_t stream = qmr3::kStreamVideo;
    bool indexed = true;         // gets a GOP table entry
    std::uint8_t flagsHigh = 0;  // second byte of the flag word
    std::size_t payloadBytes = 12;
};

struct Options {
    std::uint32_t frameRateCode = 30;
    std::uint32_t width = 640;
    std::uint32_t height = 480;
    std::uint8_t productId = 7;
    std::uint8_t eventSummary = 0;
    std::uint32_t lengthSeconds = 60;
    std::uint32_t extraClaimedEntries = 0;
    bool endMarker = true;
};

qmr3::Qmr3TimeStamp at(int year, int month, int day, int hour, int minute, int second);
// The stamp moved by s seconds within its day.
qmr3::Qmr3TimeStamp plus(qmr3::Qmr3TimeStamp t, int s);
inline std::int64_t seconds(const qmr3::Qmr3TimeStamp& t) { return qmr3::toLocalSeconds(t); }
// Frames one second apart, all indexed.
std::vector<Frame> steadyFrames(const qmr3::Qmr3TimeStamp& start, int count);

// Writes a recording and returns each frame's packet offset.
std::vector<std::uint32_t> writeRecording(const std::string& path, const std::vector<Frame>& frames,
                                          const Options& options = {});

// A hostile recorder folder around one good recording: `plain` ordinary
// names (hard links, so ten thousand cost nothing), copies under awkward names
// (spaces, quotes, leading dashes, shell characters, bytes that are not UTF-8,
// a newline), two empty files, a header claiming four thousand million index
// entries (huge-count.qmr3) and one whose table lies beyond the file
// (huge-offset.qmr3), a symbolic-link loop (loop-a/loop-b.qmr3), a link to the
// folder itself (itself.qmr3) and locked.qmr3, unreadable unless run as root.
struct HostileFolder {
    std::vector<std::string> awkward;  // the awkward names
    std::string plainName;             // one of the ordinary names
    int plain = 0;
    bool locked = false;  // locked.qmr3 really cannot be read
};
HostileFolder writeHostileFolder(const std::string& folder, const std::string& recording, int plain);

// Small generated recordings with the parameter sets the viewer selects for
// product id 0x41.
qmr3::GenOptions recording(int fps, int gop, int seconds, qmr3::AudioKind audio = qmr3::AudioKind::None);

std::vector<std::uint8_t> readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
void patchU32(const std::string& path, std::uint64_t offset, std::uint32_t value);

}  // namespace testrec
