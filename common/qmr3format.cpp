#include "qmr3format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qmr3 {

Qmr3TimeStamp Qmr3TimeStamp::parse(const std::uint8_t* p) {
    return {p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]};
}

void Qmr3TimeStamp::serialize(std::uint8_t* p) const {
    p[0] = century;
    p[1] = year;
    p[2] = month;
    p[3] = day;
    p[4] = hour;
    p[5] = minute;
    p[6] = second;
    p[7] = reserved;
}

Qmr3TimeStamp Qmr3TimeStamp::fromCalendar(int y, int mo, int d, int h, int mi, int s) {
    Qmr3TimeStamp t;
    t.century = y >= 2000 ? 1 : 0;
    t.year = std::uint8_t(y - (y >= 2000 ? 2000 : 1900));
    t.month = std::uint8_t(mo);
    t.day = std::uint8_t(d);
    t.hour = std::uint8_t(h);
    t.minute = std::uint8_t(mi);
    t.second = std::uint8_t(s);
    return t;
}

std::int64_t localCalendarToSeconds(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::int64_t(std::mktime(&tm));
}

std::string formatLocalTime(std::int64_t seconds) {
    std::time_t t = std::time_t(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

Qmr3FileHeader Qmr3FileHeader::parse(const std::uint8_t* p) {
    Qmr3FileHeader h;
    std::copy(p, p + kFileHeaderSize, h.raw.begin());
    h.frameRate = getU32(p + 4);
    h.videoType = p[8];
    h.trailerFlag = p[9];
    h.headerOption = p[11];
    h.gopMode = p[16];
    h.productId = p[17];
    h.frameRateCode = getU32(p + 20);
    h.width = getU32(p + 24);
    h.height = getU32(p + 28);
    h.audioKind = p[159];
    h.length = getU32(p + 160);
    h.indexOffset = getU32(p + 164);
    h.indexCount = getU32(p + 168);
    return h;
}

void Qmr3FileHeader::serialize(std::uint8_t* p) const {
    std::copy(raw.begin(), raw.end(), p);
    putU32(p + 4, frameRate);
    p[8] = videoType;
    p[9] = trailerFlag;
    p[11] = headerOption;
    p[16] = gopMode;
    p[17] = productId;
    putU32(p + 20, frameRateCode);
    putU32(p + 24, width);
    putU32(p + 28, height);
    p[159] = audioKind;
    putU32(p + 160, length);
    putU32(p + 164, indexOffset);
    putU32(p + 168, indexCount);
}

Qmr3FileHeader Qmr3FileHeader::parseCompact(const std::uint8_t* p) {
    std::array<std::uint8_t, kFileHeaderSize> full{};
    std::copy(p, p + kCompactFileHeaderSize, full.begin());
    Qmr3FileHeader h = parse(full.data());
    h.audioKind = 0;
    h.length = getU32(p + 144);
    h.indexOffset = getU32(p + 148);
    h.indexCount = getU32(p + 152);
    return h;
}

void Qmr3FileHeader::serializeCompact(std::uint8_t* p) const {
    std::array<std::uint8_t, kFileHeaderSize> full{};
    serialize(full.data());
    std::copy(full.begin(), full.begin() + kCompactFileHeaderSize, p);
    putU32(p + 144, length);
    putU32(p + 148, indexOffset);
    putU32(p + 152, indexCount);
}

Qmr3PacketHeader Qmr3PacketHeader::parseCompact(const std::uint8_t* p) {
    Qmr3PacketHeader h;
    std::copy(p, p + 5, h.magic.begin());
    h.reserved5 = p[5];
    h.stream = p[6];
    h.reserved7 = p[7];
    h.flags = p[8];
    std::copy(p + 9, p + 12, h.reserved9.begin());
    h.time = Qmr3TimeStamp::parse(p + 12);
    h.payloadLength = getU32(p + 20);
    return h;
}

Qmr3PacketHeader Qmr3PacketHeader::parse(const std::uint8_t* p) {
    Qmr3PacketHeader h = parseCompact(p);
    for (int i = 0; i < 4; ++i) {
        h.gpsLongitude[i] = getU16(p + 24 + 2 * i);
        h.gpsLatitude[i] = getU16(p + 32 + 2 * i);
    }
    return h;
}

void Qmr3PacketHeader::serializeCompact(std::uint8_t* p) const {
    std::copy(magic.begin(), magic.end(), p);
    p[5] = reserved5;
    p[6] = stream;
    p[7] = reserved7;
    p[8] = flags;
    std::copy(reserved9.begin(), reserved9.end(), p + 9);
    time.serialize(p + 12);
    putU32(p + 20, payloadLength);
}

void Qmr3PacketHeader::serialize(std::uint8_t* p) const {
    serializeCompact(p);
    for (int i = 0; i < 4; ++i) {
        putU16(p + 24 + 2 * i, gpsLongitude[i]);
        putU16(p + 32 + 2 * i, gpsLatitude[i]);
    }
}

bool isEndMarker(const std::uint8_t* linkAndHeader, std::size_t available) {
    if (available < kPacketLinkSize + kEndMarkerBytes.size()) return false;
    return getU32(linkAndHeader) == 0 &&
           std::equal(kEndMarkerBytes.begin(), kEndMarkerBytes.end(), linkAndHeader + kPacketLinkSize);
}

std::array<std::uint8_t, kEndMarkerSize> endMarker() {
    std::array<std::uint8_t, kEndMarkerSize> m{};
    PacketLink{0, std::uint32_t(kEndMarkerSize)}.serialize(m.data());
    std::copy(kEndMarkerBytes.begin(), kEndMarkerBytes.end(), m.begin() + kPacketLinkSize);
    return m;
}

bool isIntraPicture(const std::uint8_t* payload, std::size_t length, std::uint8_t flags) {
    const std::size_t at = ((flags & kFlagMotionMapMask) ? kMotionMapBytes : 0) + 5;
    return payload && at < length && payload[at] == 0x88;
}

void unpackMotionMap(const std::uint8_t* packed, std::uint8_t* cells) {
    for (std::size_t n = 0; n < kMotionCells; ++n) cells[n] = (packed[n / 8] >> (n % 8)) & 1;
}

void packMotionMap(const std::uint8_t* cells, std::uint8_t* packed) {
    std::memset(packed, 0, kMotionMapBytes);
    for (std::size_t n = 0; n < kMotionCells; ++n)
        if (cells[n]) packed[n / 8] |= std::uint8_t(1u << (n % 8));
}

}  // namespace qmr3
