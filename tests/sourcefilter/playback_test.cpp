// Normal play through the viewer's hand-shake: every picture once on the
// renderer's side, group ends where the groups end, the per-picture facts in
// the viewer's words and the getters, sound, and the end of media.
#include "harness.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace hxtest;
using namespace std::chrono;

TEST(Play, DeliversEveryPictureInOrderAndSetsMediaStopOnce) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.audio = qmr3::AudioKind::Pcm;
    o.events = {{{1, 1}, 0x01}};
    Config s;
    s.path = writeRecording(dir, "play.qmr3", o);
    ASSERT_FALSE(s.path.empty());
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    const auto pictures = h.pictures();
    EXPECT_EQ(rendererView(pictures), upTo(40));
    EXPECT_EQ(h.frames(), playOrder(40, 5));
    // Group ends: the last picture of each group, so the renderer's group is [intra .. last].
    std::vector<long> ends;
    for (const Picture& p : pictures)
        if (p.groupEndByte) ends.push_back(p.frame);
    EXPECT_EQ(ends, (std::vector<long>{4, 9, 14, 19, 24, 29, 34, 39}));
    // Each decoded picture carries its own facts, and time goes forward.
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const Picture& p = pictures[i];
        ASSERT_TRUE(p.hasMeta) << p.frame;
        EXPECT_EQ(long(p.metaIndex), p.frame);
        EXPECT_EQ(p.intra, p.frame % 5 == 0) << p.frame;
        EXPECT_EQ(p.metaFlags, (p.frame / 10 == 1) ? 0x01 : 0x00) << p.frame;
        EXPECT_EQ(p.metaGroupEnd, p.groupEndByte) << p.frame;
        if (i > 0) {
            EXPECT_GT(p.pts, pictures[i - 1].pts);
        }
    }
    ASSERT_TRUE(h.stopWithin(seconds(5)));
    EXPECT_EQ(h.mediaStops(), 1);
    EXPECT_TRUE(h.errors().empty());
}

TEST(Play, GopModeRecordingPlaysEveryPicture) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 4);
    o.gopMode = true;
    o.audio = qmr3::AudioKind::Pcm;
    Config s;
    s.path = writeRecording(dir, "gop.qmr3", o);
    s.gopMode = true;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    EXPECT_EQ(h.frames(), playOrder(40, 5));
    EXPECT_EQ(rendererView(h.pictures()), upTo(40));
    for (const Picture& p : h.pictures()) EXPECT_EQ(long(p.metaIndex), p.frame);
}

TEST(Play, ParsingPathDeliversTheSame) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Pcm;
    o.motion = {{1, 1}};
    Config s;
    s.path = writeRecording(dir, "parse.qmr3", o);
    s.parsing = true;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), playOrder(30, 5));
    EXPECT_TRUE(h.waitAudio(24));
}

TEST(Play, StartsAtTheStartPosition) {
    testrec::TempDir dir;
    const std::string path = writeRecording(dir, "start.qmr3", smallRecording(10, 5, 4));
    struct Case {
        std::int32_t gop;
        std::int16_t fileKind;
        std::vector<long> expected;
    };
    // File kind 1 always starts at GOP 0; a start beyond the table (entries 0..7) ends at once.
    for (const Case& c : {Case{3, 0, playOrder(40, 5, 3)}, Case{3, 1, playOrder(40, 5)}, Case{8, 0, {}}}) {
        Config s;
        s.path = path;
        s.startGop = c.gop;
        s.fileKind = c.fileKind;
        Harness h(s);
        ASSERT_TRUE(h.start());
        ASSERT_TRUE(h.waitEos());
        ASSERT_TRUE(h.waitMediaStop());
        EXPECT_EQ(h.frames(), c.expected) << c.gop << " " << c.fileKind;
        EXPECT_TRUE(h.errors().empty());
    }
}

TEST(Play, LongGroupsAreCutAfterSixteenPictures) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "long.qmr3", smallRecording(10, 20, 4));
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    std::vector<long> expected = upTo(16);
    expected.insert(expected.end(), {20, 20});
    for (long f = 20; f < 36; ++f) expected.push_back(f);
    EXPECT_EQ(h.frames(), expected);
}

TEST(Facts, CurrentTimeFollowsThePictureAndEndsZeroed) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.year = 2026;
    o.month = 12;
    o.day = 1;
    o.hour = 12;
    o.minute = 0;
    o.second = 0;
    Config s;
    s.path = writeRecording(dir, "time.qmr3", o);
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    for (const Picture& p : h.pictures()) {
        const std::array<std::uint16_t, 6> expected{2026, 12, 1, 12, 0, std::uint16_t(p.frame / 10)};
        EXPECT_EQ(p.time, expected) << p.frame;
    }
    // After the end the shared stamp is zero, which the validity rule turns into 2008-01-01.
    std::uint16_t t[6];
    EXPECT_EQ(h.control()->GetCurrTime(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5]), 0);
    EXPECT_EQ((std::array<std::uint16_t, 6>{t[0], t[1], t[2], t[3], t[4], t[5]}),
              (std::array<std::uint16_t, 6>{2008, 1, 1, 0, 0, 0}));
}

TEST(Facts, CurrentTimeAppliesItsValidityRule) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 2);
    o.year = 1960;
    o.month = 5;
    o.day = 7;
    o.hour = 8;
    o.minute = 30;
    o.second = 0;
    o.damage = {{qmr3::DamageKind::BadFirstTime}};  // month 0 in the first packet
    Config s;
    s.path = writeRecording(dir, "old.qmr3", o);
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    const auto pictures = h.pictures();
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures[0].frame, 0);
    EXPECT_EQ(pictures[0].time, (std::array<std::uint16_t, 6>{2008, 1, 7, 8, 30, 0}));
    for (const Picture& p : pictures) {
        if (p.frame == 0) continue;
        EXPECT_EQ(p.time, (std::array<std::uint16_t, 6>{2008, 5, 7, 8, 30, std::uint16_t(p.frame / 10)}));
    }
}

TEST(Facts, GpsWordsAndFrameIndexFollowThePicture) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.gps = true;
    Config s;
    s.path = writeRecording(dir, "gps.qmr3", o);
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    for (const Picture& p : h.pictures()) {
        const auto sec = std::uint16_t(p.frame / 10);
        EXPECT_EQ(p.latitude, (std::array<std::uint16_t, 4>{35, 41, std::uint16_t(sec * 7), 'N'})) << p.frame;
        EXPECT_EQ(p.longitude, (std::array<std::uint16_t, 4>{139, 45, std::uint16_t(sec * 11), 'E'}))
            << p.frame;
        EXPECT_EQ(p.frameIndex, p.frame);
    }
    std::uint16_t lat[4], lon[4];
    EXPECT_EQ(h.control()->GetGpsInformation(lat, lon), 0);
    EXPECT_EQ(lat[0] + lat[1] + lat[2] + lat[3] + lon[0] + lon[1] + lon[2] + lon[3], 0);

    // Without EnableFrameIndex the frame index stays 0.
    s.frameIndex = false;
    Harness quiet(s);
    ASSERT_TRUE(quiet.start());
    ASSERT_TRUE(quiet.waitEos());
    for (const Picture& p : quiet.pictures()) EXPECT_EQ(p.frameIndex, 0);
}

namespace {

std::array<std::uint8_t, 256> blob(long frame, int fps) {
    std::array<std::uint8_t, 256> cells{};
    const int col = int(frame / std::max(1, fps / 4)) % 14;
    for (int r = 6; r < 10; ++r)
        for (int c = col; c < col + 3; ++c) cells[std::size_t(r * 16 + c)] = 1;
    return cells;
}

}  // namespace

TEST(Facts, MotionMapsAndEventMarksReachTheViewersWords) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 6);
    o.events = {{{1, 1}, 0x01}, {{3, 3}, 0x02}};
    o.motion = {{2, 2}};
    Config s;
    s.path = writeRecording(dir, "motion.qmr3", o);
    s.motionMap = true;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    // The map stays up to 20 pictures after the last one that carried one.
    std::array<std::uint8_t, 256> map{};
    int flag = 0, without = 0;
    int withMap = 0, cleared = 0;
    for (const Picture& p : h.pictures()) {
        const long second = p.frame / 10;
        EXPECT_EQ(p.eventMark, (second == 1 || second == 3) ? 1 : 0) << p.frame;
        if (second == 2) {
            map = blob(p.frame, 10);
            flag = 1;
            without = 0;
            ++withMap;
        } else if (++without >= 20 && flag) {
            map = {};
            flag = 0;
            ++cleared;
        }
        EXPECT_EQ(p.motionFlag, flag) << p.frame;
        EXPECT_EQ(p.map, map) << p.frame;
    }
    EXPECT_GE(withMap, 10);
    EXPECT_EQ(cleared, 1);
}

TEST(Facts, MotionMapsStayOutOfTheViewersWordsUntilEnabled) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 2);
    o.motion = {{0, 1}};
    Config s;
    s.path = writeRecording(dir, "motionoff.qmr3", o);
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    // The maps are taken off the pictures all the same: every one decodes.
    EXPECT_EQ(h.frames(), playOrder(20, 5));
    for (const Picture& p : h.pictures()) {
        EXPECT_EQ(p.motionFlag, 0);
        EXPECT_EQ(p.map, (std::array<std::uint8_t, 256>{}));
        EXPECT_EQ(p.metaFlags, 0x10);
    }
}

namespace {

void expectAudio(Harness& h, std::size_t packets, std::size_t bytes) {
    ASSERT_TRUE(h.waitAudio(packets));
    const auto audio = h.audio();
    ASSERT_EQ(audio.size(), packets);
    for (std::size_t i = 0; i < audio.size(); ++i) {
        EXPECT_EQ(audio[i].duration, 125 * GST_MSECOND);
        EXPECT_EQ(audio[i].pts, i * 125 * GST_MSECOND);
        EXPECT_EQ(audio[i].size, bytes);
    }
}

}  // namespace

TEST(Sound, PcmPacketsLast125Milliseconds) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Pcm;
    Config s;
    s.path = writeRecording(dir, "pcm.qmr3", o);
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    expectAudio(h, 24, 1000);
    GstCaps* caps = h.audioCaps();
    ASSERT_TRUE(caps);
    GstCaps* expected = gst_caps_from_string("audio/x-raw,format=U8,layout=interleaved,rate=8000,channels=1");
    EXPECT_TRUE(gst_caps_is_equal(caps, expected)) << gst_caps_to_string(caps);
    gst_caps_unref(expected);
    gst_caps_unref(caps);
}

TEST(Sound, AdpcmPacketsLast125MillisecondsAndCarryTheWaveFormat) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Adpcm;
    Config s;
    s.path = writeRecording(dir, "adpcm.qmr3", o);
    s.adpcm = true;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    expectAudio(h, 24, 1024);
    GstCaps* caps = h.audioCaps();
    ASSERT_TRUE(caps);
    const GstStructure* st = gst_caps_get_structure(caps, 0);
    EXPECT_STREQ(gst_structure_get_name(st), "audio/x-adpcm");
    EXPECT_STREQ(gst_structure_get_string(st, "layout"), "microsoft");
    int rate = 0, channels = 0, align = 0;
    gst_structure_get_int(st, "rate", &rate);
    gst_structure_get_int(st, "channels", &channels);
    gst_structure_get_int(st, "block_align", &align);
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(align, 512);
    const GValue* v = gst_structure_get_value(st, "codec_data");
    ASSERT_TRUE(v);
    GstBuffer* extra = gst_value_get_buffer(v);
    const std::uint8_t expected[32] = {0xF4, 0x01, 7,    0, 0,    1,    0,    0,    0,    2,    0,
                                       0xFF, 0,    0,    0, 0,    0xC0, 0,    0x40, 0,    0xF0, 0,
                                       0,    0,    0xCC, 1, 0x30, 0xFF, 0x88, 1,    0x18, 0xFF};
    ASSERT_EQ(gst_buffer_get_size(extra), 32u);
    EXPECT_EQ(gst_buffer_memcmp(extra, 0, expected, 32), 0);
    gst_caps_unref(caps);
}

TEST(Sound, WaitsForTheFirstPictureOnScreen) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 2);
    o.audio = qmr3::AudioKind::Pcm;
    Config s;
    s.path = writeRecording(dir, "first.qmr3", o);
    s.firstFrameEvent = true;
    s.answer = false;  // the first group stays on screen
    Harness h(s);
    // The renderer's part: firstFrame is set as the first picture arrives (the harness does that).
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitAudio(4));
    const auto pictures = h.pictures();
    ASSERT_FALSE(pictures.empty());
    EXPECT_GT(h.audio().front().arrival, pictures.front().arrival);
}
