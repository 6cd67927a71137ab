// On-disk layout of a .qmr3 recording: file header, packet link and header,
// GOP index, end-of-data marker and the trailing event summary byte, plus the
// compact variant that the converter's sub-file cut writes.
//
// All integers are little-endian. The structures are decoded field by field
// from byte buffers so that nothing depends on the host's struct layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace qmr3 {

constexpr std::size_t kFileHeaderSize = 172;
constexpr std::size_t kCompactFileHeaderSize = 156;
constexpr std::size_t kPacketLinkSize = 8;
constexpr std::size_t kPacketHeaderSize = 40;
constexpr std::size_t kCompactPacketHeaderSize = 24;
constexpr std::size_t kEndMarkerSize = 32;
constexpr std::size_t kMotionMapBytes = 32;
constexpr std::size_t kMotionCells = 256;
constexpr std::size_t kFrameIndexTrailerSize = 4;
// Largest payload any reader accepts; bigger payloads are skipped, never truncated.
constexpr std::uint32_t kMaxPayload = 1048576;

constexpr std::array<std::uint8_t, 5> kPacketMagic = {0xAB, 0x3F, 0x71, 0xDE, 0xBB};
constexpr std::array<std::uint8_t, 5> kEndMarkerBytes = {0x01, 0x02, 0x03, 0x04, 0x05};

constexpr std::uint8_t kStreamAudio = 0;
constexpr std::uint8_t kStreamVideo = 1;
constexpr std::uint8_t kAudioKindAdpcm = 0xFF;

// Packet flag bits.
constexpr std::uint8_t kFlagEventLow = 0x01;   // lower slider mark
constexpr std::uint8_t kFlagEventHigh = 0x10;  // upper slider mark
constexpr std::uint8_t kFlagEventMask = 0x11;  // what the catalogue counts as an event frame
constexpr std::uint8_t kFlagMotionMapMask = 0xF0;
constexpr std::uint8_t kFlagEventMarkMask = 0x0F;

// Event kind bits of the summary byte, the panel's filter and filelist.lst.
constexpr std::uint8_t kEventAlarm = 0x01;
constexpr std::uint8_t kEventEmergency = 0x02;
constexpr std::uint8_t kEventMotion = 0x04;
constexpr std::uint8_t kEventTime = 0x08;

inline std::uint16_t getU16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t getU32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline void putU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}

// Packet time stamp, header bytes 12..19: local wall-clock time, 1 s resolution.
struct Qmr3TimeStamp {
    std::uint8_t century = 0;  // 0: years from 1900, otherwise from 2000
    std::uint8_t year = 0;
    std::uint8_t month = 0;
    std::uint8_t day = 0;
    std::uint8_t hour = 0;
    std::uint8_t minute = 0;
    std::uint8_t second = 0;
    std::uint8_t reserved = 0;

    int fullYear() const { return (century == 0 ? 1900 : 2000) + year; }
    static Qmr3TimeStamp parse(const std::uint8_t* p);
    void serialize(std::uint8_t* p) const;
    // Stamp for a calendar time; years before 2000 use the 1900 base.
    static Qmr3TimeStamp fromCalendar(int year, int month, int day, int hour, int minute, int second);
    bool operator==(const Qmr3TimeStamp&) const = default;
};

// Seconds since 1970 of a local calendar time, daylight saving decided by the
// platform (TZ is honoured). No range check: each reader has its own rule.
std::int64_t localCalendarToSeconds(int year, int month, int day, int hour, int minute, int second);
inline std::int64_t toLocalSeconds(const Qmr3TimeStamp& t) {
    return localCalendarToSeconds(t.fullYear(), t.month, t.day, t.hour, t.minute, t.second);
}
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string formatLocalTime(std::int64_t seconds);

struct Qmr3FileHeader {
    std::uint32_t frameRate = 0;      // 4: the viewer's rate index
    std::uint8_t videoType = 0;       // 8: 0 = 30 family, 1 = 25 family
    std::uint8_t trailerFlag = 0;     // 9: payloads end with a 4-byte frame index
    std::uint8_t headerOption = 0;    // 11
    std::uint8_t gopMode = 0;         // 16
    std::uint8_t productId = 0;       // 17
    std::uint32_t frameRateCode = 0;  // 20: low byte is pictures per second
    std::uint32_t width = 0;          // 24
    std::uint32_t height = 0;         // 28
    std::uint8_t audioKind = 0;       // 159: 0xFF = Microsoft ADPCM, else 8-bit PCM
    std::uint32_t length = 0;         // 160: seconds + 2
    std::uint32_t indexOffset = 0;    // 164
    std::uint32_t indexCount = 0;     // 168
    // Bytes this struct does not interpret, kept so a header survives a round trip.
    std::array<std::uint8_t, kFileHeaderSize> raw{};

    static Qmr3FileHeader parse(const std::uint8_t* p);
    void serialize(std::uint8_t* p) const;

    // Compact variant: the first 156 bytes with length, index offset and
    // count moved to 144, 148 and 152.
    static Qmr3FileHeader parseCompact(const std::uint8_t* p);
    void serializeCompact(std::uint8_t* p) const;
};

struct PacketLink {
    std::uint32_t previousLength = 0;
    std::uint32_t totalLength = 0;
    static PacketLink parse(const std::uint8_t* p) { return {getU32(p), getU32(p + 4)}; }
    void serialize(std::uint8_t* p) const {
        putU32(p, previousLength);
        putU32(p + 4, totalLength);
    }
};

struct Qmr3PacketHeader {
    std::array<std::uint8_t, 5> magic = kPacketMagic;
    std::uint8_t reserved5 = 1;
    std::uint8_t stream = kStreamVideo;
    std::uint8_t reserved7 = 0;
    std::uint8_t flags = 0;
    std::array<std::uint8_t, 3> reserved9{};
    Qmr3TimeStamp time;
    std::uint32_t payloadLength = 0;
    std::array<std::uint16_t, 4> gpsLongitude{};
    std::array<std::uint16_t, 4> gpsLatitude{};

    bool magicOk() const { return magic == kPacketMagic; }
    bool hasMotionMap() const { return (flags & kFlagMotionMapMask) != 0; }
    // Flags byte and the three bytes after it as one word (the catalogue's event flags).
    std::uint32_t flagWord() const {
        return flags | (std::uint32_t(reserved9[0]) << 8) | (std::uint32_t(reserved9[1]) << 16) |
               (std::uint32_t(reserved9[2]) << 24);
    }

    static Qmr3PacketHeader parse(const std::uint8_t* p);
    void serialize(std::uint8_t* p) const;
    // Compact variant: the first 24 bytes, no GPS words.
    static Qmr3PacketHeader parseCompact(const std::uint8_t* p);
    void serializeCompact(std::uint8_t* p) const;
};

// The end-of-data marker: link previous length 0 and header beginning 01 02 03 04 05.
bool isEndMarker(const std::uint8_t* linkAndHeader, std::size_t available);
// The 32-byte marker as written after the last packet.
std::array<std::uint8_t, kEndMarkerSize> endMarker();

// Intra test shared by every reader: byte 5 of the picture, counted after the
// motion map when the flags announce one, equals 0x88. False when the payload
// is too short to tell.
bool isIntraPicture(const std::uint8_t* payload, std::size_t length, std::uint8_t flags);

// 32 bytes -> 256 cells; cell n is bit (n mod 8), LSB first, of byte n / 8.
void unpackMotionMap(const std::uint8_t* packed, std::uint8_t* cells256);
void packMotionMap(const std::uint8_t* cells256, std::uint8_t* packed);

}  // namespace qmr3
