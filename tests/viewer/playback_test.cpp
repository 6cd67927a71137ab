// End to end: StartService plays generated recordings through the real
// elements; the test reads the frame number of every presented picture.
#include "viewerfixture.h"

#include <gtest/gtest.h>

using namespace vwtest;

TEST(Playback, EveryPictureOnceInOrderThenOneMediaStop) {
    Viewer v;
    const auto path = v.write("plain.qmr3", recording(10, 10, 3));
    ASSERT_FALSE(path.empty());
    ASSERT_EQ(v.open(path), 0);
    EXPECT_TRUE(v.ctl.HasPipeline());
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 29; }, 10s));
    v.ctl.StopService();  // joins the media stop thread: no late second event
    EXPECT_EQ(v.frames(), UpTo(30));
    EXPECT_EQ(v.mediaStops(), 1);
    EXPECT_FALSE(v.ctl.HasPipeline());
}

TEST(Playback, FullFifteenPictureGroupsLoseNoPicture) {
    // The renderer keeps at most 15 pictures a group, so any picture of the
    // next group counted into this one would cost the group's last picture.
    Viewer v;
    const auto path = v.write("gop15.qmr3", recording(15, 15, 3));
    ASSERT_EQ(v.open(path), 0);
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 44; }, 10s));
    v.ctl.StopService();
    EXPECT_EQ(v.frames(), UpTo(45));
}

TEST(Playback, AdpcmRecordingPlaysWithItsAudioBranch) {
    Viewer v;
    const auto path = v.write("adpcm.qmr3", recording(10, 10, 3, qmr3::AudioKind::Adpcm));
    ASSERT_EQ(v.open(path), 0);
    EXPECT_TRUE(v.ctl.HasAudioBranch());
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 29; }, 10s));
    EXPECT_EQ(Distinct(v.frames()), UpTo(30));
    v.ctl.StopService();
    EXPECT_EQ(v.mediaStops(), 1);
}

TEST(Playback, PcmRecordingPlays) {
    Viewer v;
    const auto path = v.write("pcm.qmr3", recording(10, 10, 3, qmr3::AudioKind::Pcm));
    ASSERT_EQ(v.open(path), 0);
    EXPECT_TRUE(v.ctl.HasAudioBranch());
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 29; }, 10s));
    EXPECT_EQ(Distinct(v.frames()), UpTo(30));
}

TEST(Playback, VolumeRangeIsChecked) {
    Viewer v;
    const auto path = v.write("vol.qmr3", recording(10, 10, 3, qmr3::AudioKind::Adpcm));
    ASSERT_EQ(v.open(path), 0);
    EXPECT_EQ(v.ctl.SetAudioVolume(1), -1);
    EXPECT_EQ(v.ctl.SetAudioVolume(-10001), -1);
    EXPECT_EQ(v.ctl.SetAudioVolume(0), 0);
    EXPECT_EQ(v.ctl.SetAudioVolume(-10000), 0);
    EXPECT_EQ(v.ctl.SetAudioVolume(-2000), 0);
}

TEST(Playback, DamagedRecordingsEndWithOneMediaStop) {
    for (const qmr3::Damage damage :
         {qmr3::Damage{qmr3::DamageKind::BadMagic, 14}, qmr3::Damage{qmr3::DamageKind::CutShort, 60}}) {
        Viewer v;
        auto options = recording(10, 10, 3);
        options.damage = {damage};
        const auto path = v.write("damaged.qmr3", options);
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(v.open(path), 0);
        ASSERT_TRUE(v.waitMediaStop()) << int(damage.kind);
        v.ctl.StopService();
        EXPECT_EQ(v.mediaStops(), 1);
        // What was shown was shown in order.
        const auto shown = Distinct(v.frames());
        EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end()));
    }
}

TEST(Playback, GetCurrTimeFollowsThePicture) {
    Viewer v;
    const auto path = v.write("time.qmr3", recording(10, 10, 8));
    ASSERT_EQ(v.open(path), 0);
    int previous = -1;
    for (long target : {12L, 35L, 58L}) {
        ASSERT_TRUE(v.waitFrame([&](long f) { return f >= target; }));
        const long shown = v.last();
        short t[6] = {};
        ASSERT_TRUE(v.ctl.GetCurrTime(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5]));
        EXPECT_EQ(t[0], 2026);
        EXPECT_EQ(t[1], 12);
        EXPECT_EQ(t[2], 1);
        EXPECT_EQ(t[3], 12);
        EXPECT_EQ(t[4], 0);
        // The reader may be up to about a group ahead of the screen, never behind.
        const int s = t[5];
        EXPECT_GE(s * 10 + 9, shown) << s;
        EXPECT_LE(s * 10, shown + 25) << s;
        EXPECT_GE(s, previous);
        previous = s;
    }
    EXPECT_GT(v.ctl.GetFrameIndex(), 0.0);
    qint32 lat[4] = {9, 9, 9, 9}, lon[4] = {9, 9, 9, 9};
    EXPECT_TRUE(v.ctl.GetGpsInformation(lat, lon));
    qint32 speed = 7;
    EXPECT_TRUE(v.ctl.GetSpeedInformation(&speed));
    EXPECT_EQ(speed, 0);
    qint32 x = 3, y = 3, z = 3;
    EXPECT_FALSE(v.ctl.Get3DimensionValue(&x, &y, &z));  // product id is not 2
}

TEST(Playback, WithoutAnAudioSinkVideoStillPlays) {
    const QByteArray saved = qgetenv("KORVID_AUDIO_SINK");
    qputenv("KORVID_AUDIO_SINK", "korvid-no-such-sink");
    Viewer v;
    const auto path = v.write("nosound.qmr3", recording(10, 10, 2, qmr3::AudioKind::Adpcm));
    const std::int32_t opened = v.open(path);
    qputenv("KORVID_AUDIO_SINK", saved);
    ASSERT_EQ(opened, 0);
    EXPECT_FALSE(v.ctl.HasAudioBranch());
    EXPECT_EQ(v.ctl.SetAudioVolume(0), -1);
    ASSERT_TRUE(v.waitMediaStop());
    ASSERT_TRUE(v.waitFor([&] { return v.last() == 19; }, 10s));
    EXPECT_EQ(Distinct(v.frames()), UpTo(20));
}
