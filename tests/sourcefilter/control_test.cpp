// The control interface as the viewer uses it: answers before the streams
// exist, the set-up calls and their limits, the media types they select, the
// queue calls, and the element's life cycle (going to NULL from any state
// ends every thread).
#include "harness.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

using namespace hxtest;
using namespace std::chrono;

namespace {

struct Element {
    Element() {
        element = gst_element_factory_make("hexmoorsrc", nullptr);
        if (element) {
            gst_object_ref_sink(element);
            g_object_get(element, "control", &ctl, nullptr);
        }
    }
    ~Element() {
        if (element) {
            gst_element_set_state(element, GST_STATE_NULL);
            gst_object_unref(element);
        }
    }
    GstCaps* caps(const char* pad) const {
        GstPad* p = gst_element_get_static_pad(element, pad);
        GstCaps* c = gst_pad_query_caps(p, nullptr);
        gst_object_unref(p);
        return c;
    }
    std::pair<int, int> framerate() const {
        GstCaps* c = caps("video");
        int num = 0, den = 0;
        gst_structure_get_fraction(gst_caps_get_structure(c, 0), "framerate", &num, &den);
        gst_caps_unref(c);
        return {num, den};
    }
    GstElement* element = nullptr;
    korvid::IHexmoorControl* ctl = nullptr;
};

}  // namespace

TEST(Control, AnswersBeforeTheStreamsExist) {
    Element e;
    ASSERT_TRUE(e.ctl);
    auto* c = e.ctl;
    korvid::SharedWords w;
    korvid::Event ev;
    std::int32_t v = 77, x = 7, y = 7, z = 7;
    EXPECT_EQ(c->SetVideoInfo(30, 352, 240, 0), -1);
    EXPECT_EQ(c->GetWaitTimeout(&v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(c->SetWaitTimeout(10), -1);
    EXPECT_EQ(c->GetAudioWaitTimeout(&v), 1);
    EXPECT_EQ(c->SetAudioWaitTimeout(10), -1);
    EXPECT_EQ(c->ReservedMethod1(), 0);
    EXPECT_EQ(c->SetStreamOption(0), -1);
    EXPECT_EQ(c->SetNoPacing(1), -1);
    v = 5;
    EXPECT_EQ(c->GetVideoQueueCount(&v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(c->GetAudioQueueCount(&v), 1);
    EXPECT_EQ(c->FlushQueues(), -1);
    EXPECT_EQ(c->SetMediaStopEvent(&ev), -1);
    EXPECT_EQ(c->SetAudioType(1), -1);
    EXPECT_EQ(c->OpenFile("/nonexistent.qmr3"), -1);
    EXPECT_EQ(c->ReservedMethod2(), 0);
    EXPECT_EQ(c->ReservedMethod3(), 0);
    EXPECT_EQ(c->SetOptionWord2(1), -1);
    EXPECT_EQ(c->SetParsingDelivery(1), -1);
    EXPECT_EQ(c->SetMotionMapTarget(&w.motionFlag, &w.motionMap[0]), -1);
    EXPECT_EQ(c->ClearMotionMapTarget(), -1);
    EXPECT_EQ(c->EnableMotionMap(), -1);
    EXPECT_EQ(c->DisableMotionMap(), -1);
    EXPECT_EQ(c->SetEventMarkTarget(&w.eventMark), -1);
    EXPECT_EQ(c->SetPlayMode(0), -1);
    EXPECT_EQ(c->SetOptionWord4(&w.deliveryEnable), -1);
    EXPECT_EQ(c->SetSkipRateSource(&w.skipRate), -1);
    EXPECT_EQ(c->SetStartPos(3), -1);
    EXPECT_EQ(c->SetGroupEndTarget(&w.groupEnd), -1);
    EXPECT_EQ(c->ResumeReading(), -1);
    EXPECT_EQ(c->SetPictureIndexSource(&w.pictureIndex), -1);
    std::uint16_t t[6] = {9, 9, 9, 9, 9, 9};
    EXPECT_EQ(c->GetCurrTime(&t[0], &t[1], &t[2], &t[3], &t[4], &t[5]), 1);
    for (auto u : t) EXPECT_EQ(u, 0);
    EXPECT_EQ(c->SetOptionWord6(1, 0), -1);
    EXPECT_EQ(c->SetOptionWord5(0), -1);
    EXPECT_EQ(c->SetPacketHeaderMagicCode(0xAB, 0x3F, 0x71), -1);
    EXPECT_EQ(c->SetOptionWord7(2), -1);
    EXPECT_EQ(c->EnableFrameIndex(), -1);
    EXPECT_EQ(c->SetHighSpeed(30, 0), -1);
    EXPECT_EQ(c->Get3DimensionValue(&x, &y, &z), 1);
    EXPECT_EQ(x + y + z, 0);
    std::uint16_t lat[4] = {1, 1, 1, 1}, lon[4] = {1, 1, 1, 1};
    EXPECT_EQ(c->GetGpsInformation(lat, lon), 1);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(lat[i] + lon[i], 0);
    v = 5;
    EXPECT_EQ(c->GetSpeedInformation(&v), 1);
    EXPECT_EQ(v, 0);
    v = 5;
    EXPECT_EQ(c->GetFrameIndex(&v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(c->SetKindOfFile(1), -1);
    EXPECT_EQ(c->SetFirstFrameEvent(&ev), -1);
    GParamSpec* spec = g_object_class_find_property(G_OBJECT_GET_CLASS(e.element), "control");
    ASSERT_TRUE(spec);
    EXPECT_FALSE(spec->flags & G_PARAM_WRITABLE);
    // Without streams the element cannot start.
    EXPECT_EQ(gst_element_set_state(e.element, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
}

TEST(Control, AnswersOnceTheStreamsExist) {
    Element e;
    auto* c = e.ctl;
    ASSERT_EQ(c->CreateStreams(0x41), 0);
    EXPECT_EQ(c->CreateStreams(0x40), 0);  // a second call keeps the streams
    std::int32_t v = 0, x = 7, y = 7, z = 7;
    EXPECT_EQ(c->GetWaitTimeout(&v), 0);
    EXPECT_EQ(v, 200);
    EXPECT_EQ(c->GetAudioWaitTimeout(&v), 0);
    EXPECT_EQ(v, 500);
    EXPECT_EQ(c->SetWaitTimeout(50), 0);
    EXPECT_EQ(c->GetWaitTimeout(&v), 0);
    EXPECT_EQ(v, 50);
    EXPECT_EQ(c->SetWaitTimeout(0), 0);  // no busy wait: at least 1 ms
    c->GetWaitTimeout(&v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(c->SetAudioWaitTimeout(80), 0);
    c->GetAudioWaitTimeout(&v);
    EXPECT_EQ(v, 80);
    EXPECT_EQ(c->Get3DimensionValue(&x, &y, &z), 0);
    EXPECT_EQ(x + y + z, 0);
    v = 5;
    EXPECT_EQ(c->GetSpeedInformation(&v), 0);
    EXPECT_EQ(v, 0);
    v = 5;
    EXPECT_EQ(c->GetFrameIndex(&v), 0);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(c->GetVideoQueueCount(&v), 0);
    EXPECT_EQ(v, 0);
    for (std::int32_t r :
         {c->SetStreamOption(0), c->SetOptionWord2(3), c->SetOptionWord5(0), c->SetOptionWord6(1, 0),
          c->SetOptionWord7(2), c->ReservedMethod1(), c->ReservedMethod2(), c->ReservedMethod3(),
          c->FlushQueues(), c->EnableMotionMap(), c->DisableMotionMap(), c->ClearMotionMapTarget(),
          c->EnableFrameIndex(), c->SetPlayMode(7), c->SetKindOfFile(0),
          // Listed rates set the high-speed case; anything else changes nothing.
          c->SetHighSpeed(150, 0), c->SetHighSpeed(125, 1), c->SetHighSpeed(100, 0), c->SetHighSpeed(30, 2)})
        EXPECT_EQ(r, 0);
}

TEST(Control, VideoInfoSetsTheVideoCaps) {
    Element e;
    auto* c = e.ctl;
    ASSERT_EQ(c->CreateStreams(0x41), 0);
    // No usable type before SetVideoInfo.
    GstCaps* before = e.caps("video");
    EXPECT_FALSE(gst_structure_has_field(gst_caps_get_structure(before, 0), "width"));
    gst_caps_unref(before);

    ASSERT_EQ(c->SetVideoInfo(30, 352, 240, 0), 0);
    GstCaps* caps = e.caps("video");
    GstCaps* expected = gst_caps_from_string(
        "video/x-h264,stream-format=byte-stream,alignment=au,width=352,height=240,framerate=30000/1001");
    EXPECT_TRUE(gst_caps_is_equal(caps, expected)) << gst_caps_to_string(caps);
    gst_caps_unref(expected);
    gst_caps_unref(caps);

    ASSERT_EQ(c->SetVideoInfo(0, 352, 240, 0), 0);
    EXPECT_EQ(e.framerate(), std::make_pair(30000, 1001));
    ASSERT_EQ(c->SetVideoInfo(31, 352, 240, 0), 0);
    EXPECT_EQ(e.framerate(), std::make_pair(30000, 1001));
    ASSERT_EQ(c->SetVideoInfo(15, 704, 480, 0), 0);
    EXPECT_EQ(e.framerate(), std::make_pair(15000, 1001));
    ASSERT_EQ(c->SetVideoInfo(25, 704, 576, 0), 0);
    EXPECT_EQ(e.framerate(), std::make_pair(25, 1));
    // Sizes that no picture has are refused and change nothing.
    EXPECT_EQ(c->SetVideoInfo(30, 0, 240, 0), -1);
    EXPECT_EQ(c->SetVideoInfo(30, 352, -240, 0), -1);
    caps = e.caps("video");
    int w = 0, h = 0;
    gst_structure_get_int(gst_caps_get_structure(caps, 0), "width", &w);
    gst_structure_get_int(gst_caps_get_structure(caps, 0), "height", &h);
    EXPECT_EQ(w, 704);
    EXPECT_EQ(h, 576);
    gst_caps_unref(caps);
}

TEST(Control, AudioTypeSelectsTheAudioCaps) {
    Element e;
    auto* c = e.ctl;
    ASSERT_EQ(c->CreateStreams(0x41), 0);
    auto name = [&] {
        GstCaps* caps = e.caps("audio");
        std::string n = gst_structure_get_name(gst_caps_get_structure(caps, 0));
        gst_caps_unref(caps);
        return n;
    };
    EXPECT_EQ(name(), "audio/x-raw");
    EXPECT_EQ(c->SetAudioType(1), 0);
    EXPECT_EQ(name(), "audio/x-adpcm");
    EXPECT_EQ(c->SetAudioType(5), 0);  // unknown kinds leave the type in force
    EXPECT_EQ(name(), "audio/x-adpcm");
    EXPECT_EQ(c->SetAudioType(0), 0);
    EXPECT_EQ(name(), "audio/x-raw");
}

TEST(Control, OpeningTwiceKeepsTheSecondFile) {
    testrec::TempDir dir;
    const std::string first = writeRecording(dir, "first.qmr3", smallRecording(10, 5, 3));
    Config s;
    s.path = writeRecording(dir, "second.qmr3", smallRecording(10, 5, 1));
    Harness h(s);
    ASSERT_TRUE(h.build());
    // The harness opened the second file; open the first and then the second again.
    EXPECT_EQ(h.control()->OpenFile(first.c_str()), 0);
    EXPECT_EQ(h.control()->OpenFile(s.path.c_str()), 0);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(rendererView(h.pictures()), upTo(10));
}

TEST(Control, OpeningAMissingFileHoldsNoFile) {
    testrec::TempDir dir;
    Element e;
    ASSERT_EQ(e.ctl->CreateStreams(0x41), 0);
    ASSERT_EQ(e.ctl->OpenFile(writeRecording(dir, "ok.qmr3", smallRecording(10, 5, 1)).c_str()), 0);
    EXPECT_EQ(e.ctl->OpenFile(dir.file("missing.qmr3").c_str()), -1);
    EXPECT_EQ(e.ctl->OpenFile(nullptr), -1);
    ASSERT_EQ(e.ctl->SetVideoInfo(10, 352, 240, 0), 0);
    EXPECT_EQ(gst_element_set_state(e.element, GST_STATE_PAUSED), GST_STATE_CHANGE_FAILURE);
}

TEST(Control, OpeningWhilePlayingIsRefusedAndUnknownModesChangeNothing) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "busy.qmr3", smallRecording(10, 5, 2));
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    EXPECT_EQ(h.control()->OpenFile(s.path.c_str()), -1);
    EXPECT_EQ(h.control()->SetPlayMode(7), 0);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(rendererView(h.pictures()), upTo(20));
}

TEST(Control, QueueCountsAndFlush) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Pcm;
    Config s;
    s.path = writeRecording(dir, "queues.qmr3", o);
    s.answer = false;
    s.mode = korvid::kPause;  // sound is held: its packets are dropped, not queued
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    std::int32_t video = -1, audio = -1;
    EXPECT_EQ(h.control()->GetVideoQueueCount(&video), 0);
    EXPECT_EQ(h.control()->GetAudioQueueCount(&audio), 0);
    EXPECT_GE(video, 1);  // at least the repeat of the group-end picture
    EXPECT_EQ(audio, 0);
    EXPECT_EQ(h.control()->FlushQueues(), 0);
    h.control()->GetVideoQueueCount(&video);
    EXPECT_EQ(video, 0);
    h.setAnswering(true);
    h.resumeNow();
    ASSERT_TRUE(h.waitEos());
    EXPECT_TRUE(h.audio().empty());
}

// ------------------------------------------------------------------ life cycle

TEST(Lifecycle, NullEndsEveryThreadWhateverTheyWaitFor) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 2, 8);
    o.audio = qmr3::AudioKind::Pcm;
    const std::string path = writeRecording(dir, "wait.qmr3", o);
    // The pad waiting for the next group request (play, fast forward with the
    // reader parked), and the pad pacing slow pictures.
    for (std::uint8_t mode : {korvid::kPlay, korvid::kFastForward, korvid::kPause}) {
        Config s;
        s.path = path;
        s.mode = mode;
        s.skipRate = mode == korvid::kFastForward ? 8 : 1;
        s.answer = false;
        s.firstFrameEvent = true;
        Harness h(s);
        ASSERT_TRUE(h.start());
        ASSERT_TRUE(h.waitGroupEnds(1));
        EXPECT_TRUE(h.stopWithin(seconds(5))) << int(mode);
        EXPECT_EQ(h.mediaStops(), 0);
    }
    Config s;
    s.path = path;
    s.fps = 1;
    s.noPacing = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitPictures(2));
    EXPECT_TRUE(h.stopWithin(seconds(5)));
}

TEST(Lifecycle, NullFromPausedAndRightAfterStarting) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "quick.qmr3", smallRecording(10, 5, 2));
    s.noPacing = false;
    for (int i = 0; i < 3; ++i) {
        Harness h(s);
        ASSERT_TRUE(h.build());
        ASSERT_TRUE(h.setState(GST_STATE_PAUSED, seconds(5)));
        EXPECT_TRUE(h.stopWithin(seconds(5)));
        ASSERT_TRUE(h.start());
        EXPECT_TRUE(h.stopWithin(seconds(5)));
    }
}

TEST(Lifecycle, PlaysAgainAfterReady) {
    testrec::TempDir dir;
    Config s;
    s.path = writeRecording(dir, "again.qmr3", smallRecording(10, 5, 2));
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitMediaStop());
    const std::size_t once = h.pictures().size();
    ASSERT_TRUE(h.setState(GST_STATE_READY, seconds(5)));
    ASSERT_TRUE(h.setState(GST_STATE_PLAYING, seconds(5)));
    ASSERT_TRUE(h.waitPictures(2 * once));
    const auto pictures = h.pictures();
    std::vector<Picture> second(pictures.begin() + long(once), pictures.end());
    EXPECT_EQ(rendererView(second), upTo(20));
}

TEST(Lifecycle, StopModeEndsTheStreamWithoutMediaStop) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Pcm;
    Config s;
    s.path = writeRecording(dir, "stop.qmr3", o);
    s.answer = false;
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitGroupEnds(1));
    EXPECT_EQ(h.control()->SetPlayMode(korvid::kStop), 0);
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), (std::vector<long>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(h.stopWithin(seconds(5)));
    EXPECT_EQ(h.mediaStops(), 0);
    EXPECT_TRUE(h.errors().empty());
}
