// Large pictures are deinterlaced: a combed picture comes out smooth, and
// every picture of a large recording still arrives once, in order.
#include "deinterlacer.h"
#include "viewerfixture.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/video/video.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace vwtest;

namespace {

constexpr int kWidth = 704, kHeight = 480, kPictures = 15;

// An I420 picture marked progressive, as the decoder gives it, whose lines
// alternate between white and black: two fields of a moving edge woven together.
GstBuffer* CombedPicture(const GstVideoInfo& info, int index) {
    GstBuffer* buffer = gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info), nullptr);
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_WRITE)) return buffer;
    for (int row = 0; row < kHeight; ++row)
        std::memset(GST_VIDEO_FRAME_COMP_DATA(&frame, 0) + row * GST_VIDEO_FRAME_COMP_STRIDE(&frame, 0),
                    row % 2 ? 16 : 235, kWidth);
    for (int c = 1; c < 3; ++c)
        std::memset(GST_VIDEO_FRAME_COMP_DATA(&frame, c), 128,
                    GST_VIDEO_FRAME_COMP_STRIDE(&frame, c) * GST_VIDEO_FRAME_COMP_HEIGHT(&frame, c));
    gst_video_frame_unmap(&frame);
    GST_BUFFER_PTS(buffer) = GstClockTime(index) * GST_SECOND / kPictures;
    GST_BUFFER_DURATION(buffer) = GST_SECOND / kPictures;
    return buffer;
}

// Mean difference between neighbouring lines: 219 when combed, 0 when smooth.
double Combing(GstBuffer* buffer, GstCaps* caps) {
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps)) return -1;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) return -1;
    const auto* y = static_cast<const guint8*>(GST_VIDEO_FRAME_COMP_DATA(&frame, 0));
    const int stride = GST_VIDEO_FRAME_COMP_STRIDE(&frame, 0);
    double sum = 0;
    for (int row = 0; row + 1 < kHeight; ++row)
        for (int x = 0; x < kWidth; x += 8)
            sum += std::abs(int(y[row * stride + x]) - int(y[(row + 1) * stride + x]));
    gst_video_frame_unmap(&frame);
    return sum / ((kHeight - 1) * (kWidth / 8));
}

}  // namespace

TEST(Deinterlace, CombedPicturesComeOutSmoothOneForOne) {
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    GstElement* pipeline = gst_pipeline_new("deinterlace-test");
    GstElement* src = gst_element_factory_make("appsrc", "in");
    GstElement* deinterlace = gst_element_factory_make("deinterlace", "deinterlace");
    GstElement* sink = gst_element_factory_make("appsink", "out");
    ASSERT_TRUE(pipeline && src && deinterlace && sink);
    lumacast::ConfigureDeinterlacer(deinterlace);
    GstVideoInfo info;
    gst_video_info_set_format(&info, GST_VIDEO_FORMAT_I420, kWidth, kHeight);
    GST_VIDEO_INFO_FPS_N(&info) = kPictures;
    GST_VIDEO_INFO_FPS_D(&info) = 1;
    GstCaps* caps = gst_video_info_to_caps(&info);
    g_object_set(src, "caps", caps, "format", GST_FORMAT_TIME, nullptr);
    gst_caps_unref(caps);
    g_object_set(sink, "sync", FALSE, nullptr);
    gst_bin_add_many(GST_BIN(pipeline), src, deinterlace, sink, nullptr);
    ASSERT_TRUE(gst_element_link_many(src, deinterlace, sink, nullptr));
    ASSERT_NE(gst_element_set_state(pipeline, GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);

    for (int i = 0; i < kPictures; ++i) {
        GstBuffer* picture = CombedPicture(info, i);
        if (i == 0) {
            GstCaps* inCaps = gst_video_info_to_caps(&info);
            EXPECT_GT(Combing(picture, inCaps), 200);  // the measure sees the combing
            gst_caps_unref(inCaps);
        }
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(src), picture), GST_FLOW_OK);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(src));

    std::vector<GstClockTime> times;
    while (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
        GstBuffer* out = gst_sample_get_buffer(sample);
        times.push_back(GST_BUFFER_PTS(out));
        const double combing = Combing(out, gst_sample_get_caps(sample));
        EXPECT_GE(combing, 0);
        EXPECT_LT(combing, 10) << "picture " << times.size() - 1;
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    ASSERT_EQ(times.size(), std::size_t(kPictures));
    for (int i = 0; i < kPictures; ++i) EXPECT_EQ(times[i], GstClockTime(i) * GST_SECOND / kPictures);
}

TEST(Deinterlace, LargeRecordingsKeepEveryPictureInOrder) {
    for (const int height : {480, 576}) {
        Viewer v;
        v.ctl.resize(704, height);  // a smaller window gets shrunk pictures, too small to read
        auto options = recording(15, 15, 3);
        options.width = 704;
        options.height = height;
        const auto path = v.write("large.qmr3", options);
        ASSERT_FALSE(path.empty());
        ASSERT_EQ(v.open(path), 0);
        ASSERT_TRUE(v.waitMediaStop()) << height;
        ASSERT_TRUE(v.waitFor([&] { return v.last() == 44; }, 10s))
            << height << ": " << ::testing::PrintToString(v.frames());
        v.ctl.StopService();
        EXPECT_EQ(v.frames(), UpTo(45)) << height;
    }
}
