// Standalone use: with only a location, any GStreamer pipeline plays a
// recording forward once, each picture once; and the per-picture meta comes
// out of avdec_h264 on the decoded picture it belongs to.
#include "harness.h"

#include <gst/gst.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace hxtest;

namespace {

Config alone(const std::string& path, const std::string& audioChain = "queue") {
    Config s;
    s.path = path;
    s.standalone = true;
    s.videoChain = "avdec_h264";  // the decoder's defaults
    s.audioChain = audioChain;
    return s;
}

// Plays to the end of both pads.
void playAlone(Harness& h) {
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    ASSERT_TRUE(h.waitAudioEos());
    EXPECT_TRUE(h.errors().empty());
}

}  // namespace

TEST(Standalone, PlaysEveryPictureOnceWithPcmSound) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Pcm;
    Harness h(alone(writeRecording(dir, "alone.qmr3", o)));
    playAlone(h);
    EXPECT_EQ(h.frames(), upTo(30));
    EXPECT_EQ(h.audio().size(), 24u);
}

TEST(Standalone, AdpcmSoundDecodesThroughDecodebin) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.audio = qmr3::AudioKind::Adpcm;
    o.productId = 0;  // family B parameter sets, chosen from the product id
    Harness h(alone(writeRecording(dir, "adpcm.qmr3", o),
                    "decodebin ! audioconvert ! audio/x-raw,format=S16LE,channels=2"));
    playAlone(h);
    EXPECT_EQ(h.frames(), upTo(30));
    std::size_t bytes = 0;
    for (const AudioBuffer& a : h.audio()) bytes += a.size;
    EXPECT_EQ(bytes, 24u * 1000 * 2 * 2);  // 1000 stereo 16-bit samples per packet
}

TEST(Standalone, GopModeAndSilentRecordingsPlayEveryPictureOnce) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.gopMode = true;
    Harness h(alone(writeRecording(dir, "gop.qmr3", o)));
    playAlone(h);
    EXPECT_EQ(h.frames(), upTo(30));
    EXPECT_TRUE(h.audio().empty());
    for (const Picture& p : h.pictures()) EXPECT_EQ(long(p.metaIndex), p.frame);
}

TEST(Standalone, PictureMetaSurvivesTheDecoder) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.events = {{{1, 1}, 0x01}};
    o.motion = {{2, 2}};
    const std::string path = writeRecording(dir, "meta.qmr3", o);
    // With the decoder's defaults and with the settings the viewer uses.
    for (const char* video : {"avdec_h264", "avdec_h264 std-compliance=normal max-threads=1"}) {
        Config s = alone(path);
        s.videoChain = video;
        Harness h(s);
        playAlone(h);
        ASSERT_EQ(h.frames(), upTo(30)) << video;
        for (const Picture& p : h.pictures()) {
            ASSERT_TRUE(p.hasMeta) << video << " " << p.frame;
            EXPECT_EQ(long(p.metaIndex), p.frame);
            EXPECT_EQ(p.intra, p.frame % 5 == 0);
            const std::uint8_t flags = p.frame / 10 == 1 ? 0x01 : p.frame / 10 == 2 ? 0x10 : 0x00;
            EXPECT_EQ(p.metaFlags, flags) << p.frame;
        }
    }
}

TEST(Standalone, DamagedRecordingReportsAnError) {
    testrec::TempDir dir;
    auto o = smallRecording(10, 5, 3);
    o.damage = {{qmr3::DamageKind::BadMagic, 12}};
    Config s = alone(writeRecording(dir, "bad.qmr3", o));
    // A decoder that holds no pictures back, so the pipeline runs before the error.
    s.videoChain = "avdec_h264 std-compliance=normal max-threads=1";
    Harness h(s);
    ASSERT_TRUE(h.start());
    ASSERT_TRUE(h.waitEos());
    EXPECT_EQ(h.frames(), upTo(12));
    EXPECT_EQ(h.errors().size(), 1u);
}

TEST(Standalone, MissingFileFailsToStart) {
    GstElement* src = gst_element_factory_make("hexmoorsrc", nullptr);
    ASSERT_TRUE(src);
    gst_object_ref_sink(src);
    g_object_set(src, "location", "/nonexistent/recording.qmr3", nullptr);
    EXPECT_EQ(gst_element_set_state(src, GST_STATE_READY), GST_STATE_CHANGE_FAILURE);
    gst_element_set_state(src, GST_STATE_NULL);
    gst_object_unref(src);
}

TEST(Standalone, FactoryDescribesTheElement) {
    GstElementFactory* f = gst_element_factory_find("hexmoorsrc");
    ASSERT_TRUE(f);
    EXPECT_STREQ(gst_element_factory_get_metadata(f, GST_ELEMENT_METADATA_LONGNAME), "Hexmoor Filter");
    EXPECT_EQ(gst_plugin_feature_get_rank(GST_PLUGIN_FEATURE(f)), guint(GST_RANK_NONE));
    std::vector<std::string> pads;
    for (const GList* l = gst_element_factory_get_static_pad_templates(f); l; l = l->next) {
        auto* t = static_cast<GstStaticPadTemplate*>(l->data);
        EXPECT_EQ(t->direction, GST_PAD_SRC);
        EXPECT_EQ(t->presence, GST_PAD_ALWAYS);
        pads.emplace_back(t->name_template);
    }
    std::sort(pads.begin(), pads.end());
    EXPECT_EQ(pads, (std::vector<std::string>{"audio", "video"}));
    gst_object_unref(f);
}

// Pacing is on unless asked off; off, a minute of pictures arrives long
// before a minute has passed.
TEST(Standalone, PacingPropertyTurnsPacingOff) {
    testrec::TempDir dir;
    const std::string path = writeRecording(dir, "minute.qmr3", smallRecording(10, 10, 60));
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(
        ("hexmoorsrc name=src location=\"" + path + "\" src.video ! fakesink name=sink sync=false").c_str(),
        &error);
    ASSERT_TRUE(pipeline) << (error ? error->message : "");
    GstElement* src = gst_bin_get_by_name(GST_BIN(pipeline), "src");
    gboolean pacing = FALSE;
    g_object_get(src, "pacing", &pacing, nullptr);
    EXPECT_TRUE(pacing);
    g_object_set(src, "pacing", FALSE, nullptr);
    g_object_get(src, "pacing", &pacing, nullptr);
    EXPECT_FALSE(pacing);
    guint64 pictures = 0;
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    GstPad* pad = gst_element_get_static_pad(sink, "sink");
    gst_pad_add_probe(
        pad, GST_PAD_PROBE_TYPE_BUFFER,
        [](GstPad*, GstPadProbeInfo*, gpointer count) {
            ++*static_cast<guint64*>(count);
            return GST_PAD_PROBE_OK;
        },
        &pictures, nullptr);
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* msg =
        gst_bus_timed_pop_filtered(bus, 30 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    ASSERT_TRUE(msg);
    EXPECT_EQ(GST_MESSAGE_TYPE(msg), GST_MESSAGE_EOS);
    EXPECT_EQ(pictures, 601u);  // the parameter sets, then 600 pictures
    gst_message_unref(msg);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pad);
    gst_object_unref(sink);
    gst_object_unref(src);
    gst_object_unref(pipeline);
}
