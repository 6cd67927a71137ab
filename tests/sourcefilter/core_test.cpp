// The reader's building blocks: packet queues over their byte ring, the
// packet parser, picture splitting, the GOP table as the reader keeps it,
// and the frame timing.
#include "generator.h"
#include "packetparser.h"
#include "packetqueue.h"
#include "packetreader.h"
#include "pictures.h"
#include "playengine.h"
#include "testrecordings.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace hexmoor;

namespace {

std::vector<std::uint8_t> bytes(std::size_t n, std::uint8_t seed) {
    std::vector<std::uint8_t> v(n);
    std::iota(v.begin(), v.end(), seed);
    return v;
}

std::vector<std::uint8_t> takeAll(CPacketQueue& q, std::vector<std::uint64_t>* offsets = nullptr) {
    std::vector<std::uint8_t> all;
    while (q.take([&](const EntryInfo& info, const std::uint8_t* d, std::uint32_t n) {
        all.insert(all.end(), d, d + n);
        if (offsets) offsets->push_back(info.fileOffset);
    })) {
    }
    return all;
}

}  // namespace

TEST(PacketQueue, KeepsOrderAndPayloadsAcrossTheRingEnd) {
    CPacketQueue q(1000, 16);
    ASSERT_TRUE(q.init());
    std::vector<std::vector<std::uint8_t>> inFlight;
    std::uint64_t next = 0, expectOffset = 0;
    auto put = [&](std::size_t n) {
        auto p = bytes(n, std::uint8_t(next));
        EntryInfo info;
        info.fileOffset = next++;
        ASSERT_TRUE(q.put(info, p.data(), std::uint32_t(p.size())));
        inFlight.push_back(p);
    };
    // Three entries stay queued while payloads of changing sizes walk around the ring.
    put(100);
    put(200);
    put(300);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint8_t> got;
        std::uint64_t offset = 0;
        ASSERT_TRUE(q.take([&](const EntryInfo& info, const std::uint8_t* d, std::uint32_t n) {
            got.assign(d, d + n);
            offset = info.fileOffset;
        }));
        ASSERT_EQ(got, inFlight.front()) << "round " << round;
        EXPECT_EQ(offset, expectOffset++);
        inFlight.erase(inFlight.begin());
        put(std::size_t(50 + (round * 97) % 250));
        EXPECT_EQ(q.count(), 3);
    }
}

TEST(PacketQueue, RefusesWhatDoesNotFitAndKeepsTheRest) {
    CPacketQueue q(1000, 4);
    ASSERT_TRUE(q.init());
    auto p = bytes(400, 1);
    EntryInfo info;
    EXPECT_TRUE(q.put(info, p.data(), 400));
    EXPECT_TRUE(q.put(info, p.data(), 400));
    EXPECT_FALSE(q.put(info, p.data(), 400));  // ring full
    EXPECT_EQ(q.count(), 2);
    EXPECT_TRUE(q.dropHead());
    EXPECT_TRUE(q.put(info, p.data(), 300));  // wraps to the start
    EXPECT_EQ(q.count(), 2);
    EXPECT_EQ(q.bytesUsed(), 700u);
    EXPECT_TRUE(q.put(info, p.data(), 0));
    EXPECT_TRUE(q.put(info, p.data(), 0));
    EXPECT_FALSE(q.put(info, p.data(), 0));  // descriptor table full
    EntryInfo head;
    std::uint32_t length = 0;
    ASSERT_TRUE(q.peek(head, &length));
    EXPECT_EQ(length, 400u);
    EXPECT_EQ(takeAll(q).size(), 700u);
    EXPECT_EQ(q.count(), 0);
    // Emptied, the whole ring is free again; a put signals the pad.
    q.dataEvent().reset();
    EXPECT_TRUE(q.put(info, p.data(), 0));
    q.clear();
    EXPECT_TRUE(q.put(info, std::vector<std::uint8_t>(1000).data(), 1000));
    EXPECT_TRUE(q.dataEvent().isSet());
}

namespace {

std::vector<std::uint8_t> packet(std::uint8_t stream, std::vector<std::uint8_t> payload,
                                 std::array<std::uint8_t, 5> magic = qmr3::kPacketMagic) {
    qmr3::Qmr3PacketHeader h;
    h.magic = magic;
    h.stream = stream;
    h.payloadLength = std::uint32_t(payload.size());
    std::vector<std::uint8_t> out(qmr3::kPacketHeaderSize);
    h.serialize(out.data());
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

}  // namespace

TEST(PacketParser, ReassemblesPacketsFromPiecesOfAnySize) {
    CPacketParser parser;
    ASSERT_TRUE(parser.init());
    std::vector<std::uint8_t> stream;
    for (int i = 0; i < 5; ++i) {
        auto p = packet(std::uint8_t(i % 2), bytes(std::size_t(50 * i), std::uint8_t(i)));
        stream.insert(stream.end(), p.begin(), p.end());
    }
    for (std::size_t piece : {1u, 7u, 40u, 41u, 1000u}) {
        parser.reset();
        std::vector<std::pair<int, std::vector<std::uint8_t>>> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            const std::size_t n = std::min(piece, stream.size() - at);
            auto r =
                parser.push(stream.data() + at, n,
                            [&](const qmr3::Qmr3PacketHeader& h, const std::uint8_t* d, std::uint32_t len) {
                                got.emplace_back(h.stream, std::vector<std::uint8_t>(d, d + len));
                            });
            ASSERT_EQ(r, CPacketParser::Result::Ok);
        }
        ASSERT_EQ(got.size(), 5u) << "piece " << piece;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(got[std::size_t(i)].first, i % 2);
            EXPECT_EQ(got[std::size_t(i)].second, bytes(std::size_t(50 * i), std::uint8_t(i)));
        }
    }
}

TEST(PacketParser, ChecksTheSettableMagic) {
    CPacketParser parser;
    ASSERT_TRUE(parser.init());
    int packets = 0;
    auto count = [&](const qmr3::Qmr3PacketHeader&, const std::uint8_t*, std::uint32_t) { ++packets; };
    auto standard = packet(1, bytes(10, 0));
    auto other = packet(1, bytes(10, 0), {0x12, 0x34, 0x56, 0xDE, 0xBB});

    EXPECT_EQ(parser.push(standard.data(), standard.size(), count), CPacketParser::Result::Ok);
    EXPECT_EQ(parser.push(other.data(), other.size(), count), CPacketParser::Result::BadMagic);
    // Broken until reset: nothing more comes out.
    EXPECT_EQ(parser.push(standard.data(), standard.size(), count), CPacketParser::Result::BadMagic);
    EXPECT_EQ(packets, 1);

    parser.setMagic(0x12, 0x34, 0x56);
    parser.reset();
    EXPECT_EQ(parser.push(other.data(), other.size(), count), CPacketParser::Result::Ok);
    EXPECT_EQ(parser.push(standard.data(), standard.size(), count), CPacketParser::Result::BadMagic);
    EXPECT_EQ(packets, 2);
}

TEST(PacketParser, SkipsPayloadsOverOneMebibyte) {
    CPacketParser parser;
    ASSERT_TRUE(parser.init());
    std::vector<std::uint8_t> big(qmr3::kMaxPayload + 10, 0xEE);
    auto oversized = packet(1, big);
    auto small = packet(0, bytes(20, 3));
    int packets = 0;
    std::vector<std::uint8_t> last;
    auto take = [&](const qmr3::Qmr3PacketHeader&, const std::uint8_t* d, std::uint32_t n) {
        ++packets;
        last.assign(d, d + n);
    };
    EXPECT_EQ(parser.push(oversized.data(), oversized.size(), take), CPacketParser::Result::Oversized);
    EXPECT_EQ(parser.push(small.data(), small.size(), take), CPacketParser::Result::Ok);
    EXPECT_EQ(packets, 1);
    EXPECT_EQ(last, bytes(20, 3));
}

TEST(Pictures, SplitsAGroupAtEachPicture) {
    // Three pictures: an intra slice, then two predicted slices with first_mb 0,
    // one of them carrying a second slice that does not start a picture.
    const std::vector<std::uint8_t> group = {
        0, 0, 0, 1,    0x65, 0x88, 0x11, 0x22,  // picture 1 (IDR, first_mb 0)
        0, 0, 0, 1,    0x41, 0x9A, 0x33,        // picture 2
        0, 0, 1, 0x41, 0x40, 0x44,              // second slice of picture 2 (first_mb != 0)
        0, 0, 0, 1,    0x41, 0x9A, 0x55, 0x66,  // picture 3
    };
    std::size_t starts[8];
    ASSERT_EQ(splitPictures(group.data(), group.size(), starts, 8), 3u);
    EXPECT_EQ(starts[0], 0u);
    EXPECT_EQ(starts[1], 8u);
    EXPECT_EQ(starts[2], 21u);
    // With room for two, the second runs to the end.
    EXPECT_EQ(splitPictures(group.data(), group.size(), starts, 2), 2u);
    EXPECT_EQ(splitPictures(group.data(), 0, starts, 8), 0u);
    // Parameter sets after slice data begin the next picture; before it they belong to it.
    const std::vector<std::uint8_t> run = {
        0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68, 0xCE, 0, 0, 0, 1, 0x65, 0x88, 0x00,
        0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68, 0xCE, 0, 0, 0, 1, 0x65, 0x88, 0x00,
    };
    ASSERT_EQ(splitPictures(run.data(), run.size(), starts, 8), 2u);
    EXPECT_EQ(starts[1], 19u);
}

TEST(PacketReader, KeepsOnlyTheUsableStartOfTheGopTable) {
    testrec::TempDir dir;
    qmr3::GenOptions o;
    o.fps = 10;
    o.gop = 5;
    o.seconds = 2;
    o.damage = {{qmr3::DamageKind::IndexOutside}};
    ASSERT_TRUE(qmr3::generateRecording(dir.file("r.qmr3"), o).ok);
    qmr3::Qmr3Reader file;
    ASSERT_TRUE(file.open(dir.file("r.qmr3")));
    CPacketReader rd(file);
    ASSERT_TRUE(rd.load());
    EXPECT_EQ(rd.gopCount(), 3u);  // the fourth entry points outside the file
    EXPECT_TRUE(rd.hasTrailer());
    EXPECT_EQ(rd.gopAt(rd.gopOffset(2)), 2);
    EXPECT_EQ(rd.gopAt(rd.gopOffset(2) + 1), -1);
    EXPECT_TRUE(rd.gotoGop(1));
    EXPECT_EQ(rd.position(), rd.gopOffset(1));
    EXPECT_FALSE(rd.gotoGop(3));
    EXPECT_FALSE(rd.gotoGop(-1));
    file.close();

    // An entry pointing back ends the table there.
    testrec::patchU32(dir.file("r.qmr3"), rd.fileHeader().indexOffset + 8, rd.gopOffset(0));
    ASSERT_TRUE(file.open(dir.file("r.qmr3")));
    ASSERT_TRUE(rd.load());
    EXPECT_EQ(rd.gopCount(), 2u);

    // No whole file header: no recording.
    testrec::writeBytes(dir.file("short.qmr3"), std::vector<std::uint8_t>(100, 0x41));
    ASSERT_TRUE(file.open(dir.file("short.qmr3")));
    EXPECT_FALSE(rd.load());
    EXPECT_EQ(rd.gopCount(), 0u);
}

TEST(Timing, FrameDuration) {
    EXPECT_EQ(frameDurationFor(30), 333667);
    EXPECT_EQ(frameDurationFor(15), 667334);
    EXPECT_EQ(frameDurationFor(10), 1001001);
    EXPECT_EQ(frameDurationFor(6), 1668335);
    EXPECT_EQ(frameDurationFor(1), 30 * 333667);
    // Rates outside the 30 family keep their own duration.
    EXPECT_EQ(frameDurationFor(25), 400000);
    EXPECT_EQ(frameDurationFor(8), 1250000);
    EXPECT_EQ(frameDurationFor(0), 333667);
}
