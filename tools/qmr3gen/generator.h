// Makes whole recordings: real H.264 pictures, audio, time stamps, events,
// motion maps, GPS words, clock gaps, GOP mode, and damage on purpose.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace qmr3 {

enum class AudioKind { None, Pcm, Adpcm };

struct SecondRange {
    int from = 0;  // seconds from the start of the recording, inclusive
    int to = 0;    // inclusive
    bool contains(int s) const { return s >= from && s <= to; }
};

struct EventSpec {
    SecondRange seconds;
    std::uint8_t flags = 0x01;  // added to the flags of every video packet in range
};

struct ClockGap {
    int atSecond = 0;     // the clock jumps before this recorded second
    int jumpSeconds = 0;  // by this much
};

enum class DamageKind {
    BadMagic,
    IndexCut,
    CutShort,
    Oversized,
    BadFirstTime,
    IndexOutside,
    EmptyPicture,  // a video packet with an empty payload
    MotionShort,   // a video packet flagged with a motion map, holding only the 32 map bytes
};

struct Damage {
    DamageKind kind;
    // Packet number (audio packets counted) for BadMagic, Oversized,
    // EmptyPicture and MotionShort; percent of the file for CutShort.
    int at = 0;
};

struct GenOptions {
    int width = 352;
    int height = 240;
    int fps = 30;
    int gop = 15;
    int seconds = 10;
    int year = 2026, month = 12, day = 1, hour = 12, minute = 0, second = 0;
    int productId = 0;
    std::optional<int> videoType;  // default: 1 for the 25 family rates, else 0
    std::optional<int> rateIndex;  // header offset 4; default from fps and video type
    AudioKind audio = AudioKind::None;
    std::vector<EventSpec> events;
    std::vector<SecondRange> motion;  // flags 0x10 and a motion map
    bool gps = false;
    std::vector<ClockGap> gaps;
    std::optional<int> summary;  // event summary byte; default from what was written
    bool timeEvent = false;      // summary bit 0x08
    bool gopMode = false;
    bool trailer = true;  // 4-byte frame index after every payload
    std::vector<Damage> damage;
    // Realistic pictures: encoded from this ffmpeg input (a file or a lavfi
    // source) instead of the frame-number pattern.
    std::string from;
    bool clock = true;          // burn the wall-clock time into realistic pictures
    bool inputSound = false;    // realistic audio from the input's sound instead of the tone
    int crf = 23;               // x264 quality
    int kbps = 0;               // if set, the most x264 may spend per second
    bool numbered = false;      // realistic pictures keep the frame-number row, so tools can read it
    std::string encoderStream;  // where to keep the encoder's own stream, if anywhere
};

struct GenResult {
    bool ok = false;
    std::string error;
    std::uint32_t pictures = 0;
    std::uint32_t gops = 0;
    std::uint64_t bytes = 0;
};

// The recording's start as seconds of plain wall time (no time zone).
std::time_t startEpoch(const GenOptions& o);

GenResult generateRecording(const std::string& path, const GenOptions& options);

// The header's rate index (offset 4) for a picture rate: the row of the
// viewer's rate table minus one.
int rateIndexFor(int fps, int videoType);

// A believable recorder folder: a dozen recordings over three days. Realistic
// pictures (x264 through ffmpeg, with the clock and visible events) take about
// a minute; the frame-number pattern takes seconds and lets tests read back
// which picture is shown.
enum class DemoLook { Realistic, Pattern };
bool generateDemoFolder(const std::string& folder, std::string& error, DemoLook look = DemoLook::Realistic);

}  // namespace qmr3
