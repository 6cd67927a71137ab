// Damaged and hostile recordings end playback cleanly: the pictures before
// the damage are delivered, the media-stop event is set, the stream ends, and
// a corrupt packet is reported on the bus. Nothing crashes or hangs.
#include "harness.h"
#include "qmr3reader.h"

#include <gtest/gtest.h>

using namespace hxtest;
using namespace std::chrono;

namespace {

// Plays the file to its end and checks that the end came cleanly.
void playToEnd(Harness& h) {
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    ASSERT_TRUE(h.stopWithin(seconds(5)));
    EXPECT_EQ(h.mediaStops(), 1);
}

std::uint64_t packetOffset(const std::string& path, int n) {
    qmr3::Qmr3Reader r;
    if (!r.open(path)) return 0;
    qmr3::Qmr3Reader::Packet p;
    for (int i = 0; i <= n; ++i)
        if (r.readNext(p) != qmr3::Qmr3Reader::Status::Ok) return 0;
    return p.offset;
}

}  // namespace

TEST(Damage, BadMagicEndsWithAnErrorAfterThePicturesBeforeIt) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.damage = {{qmr3::DamageKind::BadMagic, 12}};
    Config s;
    s.path = writeRecording(dir, "magic.qmr3", o);
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(h.frames(), (std::vector<long>{0, 1, 2, 3, 4, 5, 5, 5, 6, 7, 8, 9, 10, 10, 10, 11}));
    EXPECT_TRUE(h.pictures().back().groupEndByte);  // the renderer gets the last group
    ASSERT_EQ(h.errors().size(), 1u);
}

TEST(Damage, BadMagicWhileRewinding) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.damage = {{qmr3::DamageKind::BadMagic, 17}};
    Config s;
    s.path = writeRecording(dir, "magicrew.qmr3", o);
    s.mode = korvid::kRewind;
    s.startGop = 6;
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(h.frames().back(), 16);
    EXPECT_EQ(h.errors().size(), 1u);
}

TEST(Damage, BadMagicInAGopModeFile) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.gopMode = true;
    o.damage = {{qmr3::DamageKind::BadMagic, 3}};
    Config s;
    s.path = writeRecording(dir, "magicgop.qmr3", o);
    s.gopMode = true;
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(h.errors().size(), 1u);
    EXPECT_EQ(rendererView(h.pictures()), upTo(15));
}

TEST(Damage, FileCutShortEndsWithoutError) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.audio = qmr3::AudioKind::Pcm;
    o.damage = {{qmr3::DamageKind::CutShort, 50}};
    Config s;
    s.path = writeRecording(dir, "cut.qmr3", o);
    Harness h(s);
    playToEnd(h);
    const auto view = rendererView(h.pictures());
    ASSERT_GE(view.size(), 10u);
    EXPECT_EQ(view, upTo(long(view.size())));
    EXPECT_TRUE(h.errors().empty());
}

TEST(Damage, OversizedPayloadIsSkipped) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.damage = {{qmr3::DamageKind::Oversized, 7}};
    Config s;
    s.path = writeRecording(dir, "big.qmr3", o);
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(h.frames(), playOrder(40, 5));
    EXPECT_TRUE(h.errors().empty());
}

TEST(Damage, GopTableCutShortOrPointingOutsidePlays) {
    for (auto kind : {qmr3::DamageKind::IndexCut, qmr3::DamageKind::IndexOutside}) {
        testrec::TempDir dir;
        auto o = smallRecording(10, 5, 4);
        o.damage = {{kind}};
        Config s;
        s.path = writeRecording(dir, "index.qmr3", o);
        Harness h(s);
        playToEnd(h);
        EXPECT_EQ(h.frames(), playOrder(40, 5));
        EXPECT_TRUE(h.errors().empty());
    }
}

TEST(Damage, NoRecordingAtAll) {
    for (std::size_t size : {0u, 100u, 171u}) {
        testrec::TempDir dir;
        testrec::writeBytes(dir.file("junk.qmr3"), std::vector<std::uint8_t>(size, 0x5A));
        Config s;
        s.path = dir.file("junk.qmr3");
        Harness h(s);
        playToEnd(h);
        EXPECT_TRUE(h.pictures().empty());
        EXPECT_EQ(h.errors().size(), 1u) << size;
    }
}

TEST(Damage, HostileFieldsEndPlaybackCleanly) {
    testrec::TempDir dir;
    // A payload length far beyond the file ends it at that packet.
    std::string path = writeRecording(dir, "len.qmr3", smallRecording(10, 5, 2));
    testrec::patchU32(path, packetOffset(path, 3) + qmr3::kPacketLinkSize + 20, 0x7FFFFFFF);
    {
        Config s;
        s.path = path;
        Harness h(s);
        playToEnd(h);
        EXPECT_EQ(h.frames(), (std::vector<long>{0, 1, 2}));
        EXPECT_TRUE(h.pictures().back().groupEndByte);
    }
    // A motion map announced in a payload too short to hold it.
    path = writeRecording(dir, "nomap.qmr3", smallRecording(10, 5, 2));
    const std::uint64_t at = packetOffset(path, 2);
    std::vector<std::uint8_t> b = testrec::readBytes(path);
    b[at + qmr3::kPacketLinkSize + 8] = 0x10;
    testrec::writeBytes(path, b);
    testrec::patchU32(path, at + qmr3::kPacketLinkSize + 20, 20);
    {
        Config s;
        s.path = path;
        s.motionMap = true;
        Harness h(s);
        playToEnd(h);
        EXPECT_EQ(h.frames(), (std::vector<long>{0, 1}));
    }
    // A GOP table that "starts" inside the packets with an absurd count, in every direction.
    path = writeRecording(dir, "table.qmr3", smallRecording(10, 5, 2));
    testrec::patchU32(path, 164, qmr3::kFileHeaderSize);
    testrec::patchU32(path, 168, 0xFFFFFFFF);
    for (std::uint8_t mode : {korvid::kPlay, korvid::kRewind, korvid::kFastForward}) {
        Config s;
        s.path = path;
        s.mode = mode;
        s.skipRate = mode == korvid::kFastForward ? 8 : 1;
        s.startGop = 3;
        Harness h(s);
        playToEnd(h);
        EXPECT_TRUE(h.errors().empty());
    }
}

namespace {

std::vector<long> framesWithout(long pictures, long from, long to) {
    std::vector<long> v;
    for (long f = 0; f < pictures; ++f)
        if (f < from || f > to) v.push_back(f);
    return v;
}

}  // namespace

// A group-mode packet without a picture (an empty payload, or a motion map
// flag over the map alone) is left out; the groups after it play and the
// recording ends once.
class PictureLessGroup : public ::testing::TestWithParam<qmr3::DamageKind> {};

TEST_P(PictureLessGroup, FirstGroupIsLeftOutAndPlaybackGoesOn) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.gopMode = true;
    o.damage = {{GetParam(), 0}};
    Config s;
    s.path = writeRecording(dir, "first.qmr3", o);
    s.gopMode = true;
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(rendererView(h.pictures()), framesWithout(40, 0, 4));
    EXPECT_TRUE(h.errors().empty());
}

TEST_P(PictureLessGroup, GroupInTheMiddleIsLeftOut) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.gopMode = true;
    o.audio = qmr3::AudioKind::Pcm;
    // Packet numbers count the sound: find the fourth group's packet.
    const std::string probe = writeRecording(dir, "probe.qmr3", o);
    int packet = -1;
    {
        qmr3::Qmr3Reader r;
        ASSERT_TRUE(r.open(probe));
        qmr3::Qmr3Reader::Packet p;
        int video = 0;
        for (int i = 0; r.readNext(p) == qmr3::Qmr3Reader::Status::Ok; ++i)
            if (p.header.stream == qmr3::kStreamVideo && video++ == 3) {
                packet = i;
                break;
            }
    }
    ASSERT_GE(packet, 0);
    o.damage = {{GetParam(), packet}};
    Config s;
    s.path = writeRecording(dir, "middle.qmr3", o);
    s.gopMode = true;
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(rendererView(h.pictures()), framesWithout(40, 15, 19));
    EXPECT_TRUE(h.errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Damage, PictureLessGroup,
                         ::testing::Values(qmr3::DamageKind::EmptyPicture, qmr3::DamageKind::MotionShort),
                         [](const auto& info) {
                             return info.param == qmr3::DamageKind::EmptyPicture ? "Empty" : "MapOnly";
                         });

TEST(Damage, EmptyLastPictureOfAGroupStillEndsIt) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.damage = {{qmr3::DamageKind::EmptyPicture, 4}};  // picture 4, the first group's last
    Config s;
    s.path = writeRecording(dir, "emptylast.qmr3", o);
    Harness h(s);
    playToEnd(h);
    EXPECT_EQ(rendererView(h.pictures()), framesWithout(40, 4, 4));
    EXPECT_TRUE(h.errors().empty());
}
