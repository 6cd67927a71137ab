#include "h264paramsets.h"
#include "qmr3format.h"
#include "qmr3reader.h"
#include "recordingwriter.h"
#include "testrecordings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace qmr3;
using testrec::TempDir;

namespace {

Qmr3PacketHeader videoHeader(int second, std::uint8_t flags = 0) {
    Qmr3PacketHeader h;
    h.stream = kStreamVideo;
    h.flags = flags;
    h.time = Qmr3TimeStamp::fromCalendar(2026, 3, 4, 5, 6, second);
    return h;
}

std::vector<std::uint8_t> picture(bool intra, std::size_t size = 64) {
    std::vector<std::uint8_t> p(size, 0x5A);
    p[0] = p[1] = p[2] = 0;
    p[3] = 1;
    p[4] = intra ? 0x65 : 0x41;
    p[5] = intra ? 0x88 : 0x9A;
    return p;
}

}  // namespace

TEST(TimeStamp, CenturyRuleGivesTheSameYearBothWays) {
    Qmr3TimeStamp a{0, 108, 1, 2, 3, 4, 5, 0};
    Qmr3TimeStamp b{1, 8, 1, 2, 3, 4, 5, 0};
    EXPECT_EQ(a.fullYear(), 2008);
    EXPECT_EQ(b.fullYear(), 2008);
    EXPECT_EQ(toLocalSeconds(a), toLocalSeconds(b));
    Qmr3TimeStamp c = Qmr3TimeStamp::fromCalendar(1999, 12, 31, 23, 59, 59);
    EXPECT_EQ(c.century, 0);
    EXPECT_EQ(c.year, 99);
}

TEST(TimeStamp, LocalConversionHonoursTimeZone) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    EXPECT_EQ(localCalendarToSeconds(1970, 1, 1, 9, 0, 0), 0);
    EXPECT_EQ(formatLocalTime(0), "1970-01-01 09:00:00");
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(localCalendarToSeconds(2008, 1, 2, 3, 4, 5), 1199243045);
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

TEST(Structures, HeadersRoundTripThroughBytes) {
    Qmr3FileHeader h;
    h.frameRate = 2;
    h.videoType = 1;
    h.trailerFlag = 1;
    h.gopMode = 1;
    h.productId = 0x41;
    h.frameRateCode = 15;
    h.width = 704;
    h.height = 480;
    h.audioKind = 0xFF;
    h.length = 62;
    h.indexOffset = 123456;
    h.indexCount = 789;
    std::uint8_t buf[kFileHeaderSize];
    h.serialize(buf);
    EXPECT_EQ(buf[17], 0x41);
    EXPECT_EQ(getU32(buf + 164), 123456u);
    Qmr3FileHeader back = Qmr3FileHeader::parse(buf);
    EXPECT_EQ(back.width, 704u);
    EXPECT_EQ(back.indexCount, 789u);
    EXPECT_EQ(back.audioKind, 0xFF);

    std::uint8_t compact[kCompactFileHeaderSize];
    h.serializeCompact(compact);
    EXPECT_EQ(getU32(compact + 144), 62u);
    EXPECT_EQ(getU32(compact + 148), 123456u);
    EXPECT_EQ(getU32(compact + 152), 789u);
    EXPECT_EQ(Qmr3FileHeader::parseCompact(compact).indexOffset, 123456u);

    Qmr3PacketHeader p = videoHeader(7, 0x11);
    p.payloadLength = 999;
    p.gpsLatitude = {1, 2, 3, 4};
    p.gpsLongitude = {5, 6, 7, 0xFFFF};
    std::uint8_t pb[kPacketHeaderSize];
    p.serialize(pb);
    EXPECT_EQ(pb[0], 0xAB);
    EXPECT_EQ(pb[18], 7);
    EXPECT_EQ(getU16(pb + 30), 0xFFFF);
    Qmr3PacketHeader q = Qmr3PacketHeader::parse(pb);
    EXPECT_TRUE(q.magicOk());
    EXPECT_EQ(q.payloadLength, 999u);
    EXPECT_EQ(q.gpsLatitude, p.gpsLatitude);
    EXPECT_EQ(q.flagWord(), 0x11u);
}

TEST(Structures, IntraTestCountsAfterTheMotionMap) {
    auto pic = picture(true);
    EXPECT_TRUE(isIntraPicture(pic.data(), pic.size(), 0));
    EXPECT_FALSE(isIntraPicture(picture(false).data(), 64, 0));
    std::vector<std::uint8_t> withMap(32 + pic.size(), 0x88);
    std::copy(pic.begin(), pic.end(), withMap.begin() + 32);
    EXPECT_TRUE(isIntraPicture(withMap.data(), withMap.size(), 0x10));
    EXPECT_EQ(withMap[37], 0x88);
    withMap[37] = 0x9A;
    EXPECT_FALSE(isIntraPicture(withMap.data(), withMap.size(), 0x10));
    EXPECT_FALSE(isIntraPicture(pic.data(), 5, 0));  // too short to tell
}

TEST(Structures, MotionMapCellsAreLsbFirst) {
    std::uint8_t packed[32] = {};
    packed[0] = 0x01;
    packed[1] = 0x80;
    packed[31] = 0x80;
    std::uint8_t cells[256];
    unpackMotionMap(packed, cells);
    EXPECT_EQ(cells[0], 1);
    EXPECT_EQ(cells[1], 0);
    EXPECT_EQ(cells[15], 1);
    EXPECT_EQ(cells[255], 1);
    int set = 0;
    for (auto c : cells) set += c;
    EXPECT_EQ(set, 3);
    std::uint8_t again[32];
    packMotionMap(cells, again);
    EXPECT_EQ(0, std::memcmp(packed, again, 32));
}

TEST(ParameterSets, TableDescribesTheSizeItIsFiledUnder) {
    const std::pair<int, int> sizes[] = {{352, 240}, {352, 288}, {640, 480}, {704, 240},
                                         {704, 288}, {704, 480}, {704, 576}};
    for (auto fam : {ParamSetFamily::A, ParamSetFamily::B}) {
        for (auto [w, h] : sizes) {
            auto sets = parameterSetsFor(fam, w, h);
            ASSERT_TRUE(sets) << w << "x" << h;
            auto sps = parseTableSps(*sets);
            ASSERT_TRUE(sps);
            EXPECT_EQ(sps->width, w);
            EXPECT_EQ(sps->height, h);
            EXPECT_EQ(sps->log2MaxFrameNum, 5);
            EXPECT_EQ(sps->picOrderCntType, fam == ParamSetFamily::A ? 2 : 0);
            EXPECT_EQ((*sets)[13 + 4], 0x68);
        }
    }
    EXPECT_FALSE(parameterSetsFor(ParamSetFamily::B, 320, 240));
    EXPECT_TRUE(parameterSetsFor(ParamSetFamily::A, 320, 240));
    EXPECT_TRUE(parameterSetsFor(ParamSetFamily::B, 640, 360));  // "640 x other"
    EXPECT_EQ(familyForProductId(0x41), ParamSetFamily::A);
    EXPECT_EQ(familyForProductId(0), ParamSetFamily::B);
    EXPECT_EQ(familyForKind(0x41), ParamSetFamily::A);
    EXPECT_EQ(familyForKind(1), ParamSetFamily::B);
}

class ReaderTest : public ::testing::Test {
protected:
    // Three groups of two pictures, an audio packet after each picture.
    std::string writeSmall(const std::string& name, std::uint32_t maxPictureSize = 64) {
        RecordingWriter w;
        Qmr3FileHeader h;
        h.width = 352;
        h.height = 240;
        EXPECT_TRUE(w.open(dir.file(name), h));
        for (int i = 0; i < 6; ++i) {
            auto pic = picture(i % 2 == 0, i == 3 ? maxPictureSize : 64);
            auto at = w.writePacket(videoHeader(i), pic.data(), pic.size());
            if (i % 2 == 0) w.addGopEntry(at);
            Qmr3PacketHeader a = videoHeader(i);
            a.stream = kStreamAudio;
            std::vector<std::uint8_t> audio(1000, 0x80);
            w.writePacket(a, audio.data(), audio.size());
        }
        RecordingWriter::Finish f;
        f.eventSummary = 0x05;
        EXPECT_TRUE(w.finish(f));
        return dir.file(name);
    }
    TempDir dir;
};

TEST_F(ReaderTest, WalksForwardToTheEndMarkerAndBack) {
    Qmr3Reader r;
    ASSERT_TRUE(r.open(writeSmall("a.qmr3")));
    Qmr3FileHeader h;
    ASSERT_TRUE(r.readFileHeader(h));
    EXPECT_EQ(h.length, 2u);
    auto index = r.readGopIndex(h);
    ASSERT_EQ(index.size(), 3u);
    EXPECT_EQ(index[0], kFileHeaderSize);
    EXPECT_EQ(r.readEventSummary(), 0x05);

    Qmr3Reader::Packet p;
    int count = 0;
    Qmr3Reader::Status s;
    while ((s = r.readNext(p)) == Qmr3Reader::Status::Ok) ++count;
    EXPECT_EQ(s, Qmr3Reader::Status::End);
    EXPECT_EQ(count, 12);

    ASSERT_EQ(r.gotoGop(index, 2, p), Qmr3Reader::Status::Ok);
    EXPECT_EQ(p.header.time.second, 4);
    EXPECT_TRUE(isIntraPicture(p.payload, p.payloadLength, p.header.flags));
    ASSERT_EQ(r.stepBack(p), Qmr3Reader::Status::Ok);  // audio of picture 3
    EXPECT_EQ(p.header.stream, kStreamAudio);
    ASSERT_EQ(r.stepBack(p), Qmr3Reader::Status::Ok);
    EXPECT_EQ(p.header.stream, kStreamVideo);
    EXPECT_EQ(p.header.time.second, 3);
    EXPECT_EQ(r.gotoGop(index, 3, p), Qmr3Reader::Status::End);
    ASSERT_EQ(r.gotoGop(index, 0, p), Qmr3Reader::Status::Ok);
    EXPECT_EQ(r.stepBack(p), Qmr3Reader::Status::End);  // nothing before the first packet
}

TEST_F(ReaderTest, OversizedPayloadIsSkippedNotTruncated) {
    Qmr3Reader r(1000);
    ASSERT_TRUE(r.open(writeSmall("big.qmr3", 5000)));
    Qmr3Reader::Packet p;
    std::vector<Qmr3Reader::Status> seen;
    int okVideo = 0;
    for (;;) {
        auto s = r.readNext(p);
        if (s == Qmr3Reader::Status::End) break;
        seen.push_back(s);
        if (s == Qmr3Reader::Status::Ok && p.header.stream == kStreamVideo) ++okVideo;
        ASSERT_LT(seen.size(), 20u);
    }
    EXPECT_EQ(std::count(seen.begin(), seen.end(), Qmr3Reader::Status::Oversized), 1);
    EXPECT_EQ(okVideo, 5);  // reading went on after the skipped picture
}

TEST_F(ReaderTest, BadMagicAndCutShortAreReported) {
    std::string path = writeSmall("bad.qmr3");
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(kFileHeaderSize + kPacketLinkSize + 2);
        f.put(0x00);
    }
    Qmr3Reader r;
    ASSERT_TRUE(r.open(path));
    Qmr3Reader::Packet p;
    EXPECT_EQ(r.readNext(p), Qmr3Reader::Status::BadMagic);

    path = writeSmall("cut.qmr3");
    std::filesystem::resize_file(path, kFileHeaderSize + 60);
    ASSERT_TRUE(r.open(path));
    EXPECT_EQ(r.readNext(p), Qmr3Reader::Status::Truncated);
    std::filesystem::resize_file(path, kFileHeaderSize + 20);
    ASSERT_TRUE(r.open(path));
    EXPECT_EQ(r.readNext(p), Qmr3Reader::Status::Truncated);
    Qmr3FileHeader h;
    EXPECT_TRUE(r.readFileHeader(h));
    EXPECT_TRUE(r.readGopIndex(h).empty());
    std::filesystem::resize_file(path, 100);
    ASSERT_TRUE(r.open(path));
    EXPECT_FALSE(r.readFileHeader(h));
}

TEST_F(ReaderTest, HostileCountsAreBoundedByTheFile) {
    std::string path = writeSmall("count.qmr3");
    Qmr3Reader r;
    ASSERT_TRUE(r.open(path));
    Qmr3FileHeader h;
    ASSERT_TRUE(r.readFileHeader(h));
    h.indexCount = 0xFFFFFFFFu;
    auto index = r.readGopIndex(h);
    EXPECT_EQ(index.size(), 3u);  // three entries, then the summary byte: no fourth entry
    EXPECT_EQ(r.readGopIndex(h, 2).size(), 2u);
    h.indexOffset = 0xFFFFFFF0u;
    EXPECT_TRUE(r.readGopIndex(h).empty());

    // A packet claiming a payload far beyond the file.
    {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        std::uint8_t len[4];
        putU32(len, 0x7FFFFFF0u);
        f.seekp(kFileHeaderSize + kPacketLinkSize + 20);
        f.write(reinterpret_cast<char*>(len), 4);
    }
    Qmr3Reader big(0x7FFFFFFFu);
    ASSERT_TRUE(big.open(path));
    Qmr3Reader::Packet p;
    EXPECT_EQ(big.readNext(p), Qmr3Reader::Status::Truncated);
}

TEST_F(ReaderTest, CompactVariantReadsWithItsOwnSizes) {
    RecordingWriter w;
    Qmr3FileHeader h;
    ASSERT_TRUE(w.open(dir.file("c.qmr3"), h, true));
    auto pic = picture(true);
    w.addGopEntry(w.writePacket(videoHeader(1), pic.data(), pic.size()));
    w.writePacket(videoHeader(2), pic.data(), pic.size());
    RecordingWriter::Finish f;
    f.lengthSeconds = 1;
    ASSERT_TRUE(w.finish(f));
    Qmr3Reader r;
    ASSERT_TRUE(r.open(dir.file("c.qmr3"), Qmr3Reader::Variant::Compact));
    ASSERT_TRUE(r.readFileHeader(h));
    EXPECT_EQ(h.indexCount, 1u);
    EXPECT_EQ(h.length, 3u);
    auto index = r.readGopIndex(h);
    ASSERT_EQ(index.size(), 1u);
    EXPECT_EQ(index[0], kCompactFileHeaderSize);
    Qmr3Reader::Packet p;
    ASSERT_EQ(r.readNext(p), Qmr3Reader::Status::Ok);
    EXPECT_EQ(p.link.totalLength, 32u + 64u);
    ASSERT_EQ(r.readNext(p), Qmr3Reader::Status::Ok);
    EXPECT_EQ(p.header.time.second, 2);
    EXPECT_EQ(r.readNext(p), Qmr3Reader::Status::End);
}
