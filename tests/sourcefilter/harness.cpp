#include "harness.h"

#include "h264writer.h"
#include "picturemeta.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

#include <algorithm>
#include <future>

namespace hxtest {

using namespace std::chrono;

Harness::Harness(Config setup) : setup_(std::move(setup)) {
    frameRequestThread_ = std::thread([this] {
        while (!quit_) {
            if (frameRequest.wait(milliseconds(20)) && ctl_) ctl_->ResumeReading();
        }
    });
    mediaStopThread_ = std::thread([this] {
        while (!quit_) {
            if (mediaStop.wait(milliseconds(20))) {
                ++mediaStops_;
                cv_.notify_all();
            }
        }
    });
}

Harness::~Harness() {
    if (pipeline_) {
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(pipeline_);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }
    quit_ = true;
    frameRequestThread_.join();
    mediaStopThread_.join();
    if (src_) gst_object_unref(src_);
    if (pipeline_) gst_object_unref(pipeline_);
    if (audioCaps_) gst_caps_unref(audioCaps_);
}

bool Harness::build() {
    if (pipeline_) return true;
    GError* error = nullptr;
    std::string description = "hexmoorsrc name=s ";
    if (setup_.standalone) description += "location=\"" + setup_.path + "\" ";
    description += "s.video ! " + setup_.videoChain +
                   " ! appsink name=v sync=false emit-signals=true caps=video/x-raw,format=I420 s.audio ! ";
    if (!setup_.audioChain.empty()) description += setup_.audioChain + " ! ";
    description += "appsink name=a sync=false emit-signals=true";
    pipeline_ = gst_parse_launch(description.c_str(), &error);
    if (!pipeline_ || error) {
        g_clear_error(&error);
        return false;
    }
    src_ = gst_bin_get_by_name(GST_BIN(pipeline_), "s");
    GstElement* v = gst_bin_get_by_name(GST_BIN(pipeline_), "v");
    GstElement* a = gst_bin_get_by_name(GST_BIN(pipeline_), "a");
    g_signal_connect(v, "new-sample", G_CALLBACK(onVideo), this);
    g_signal_connect(v, "eos", G_CALLBACK(onVideoEos), this);
    g_signal_connect(a, "new-sample", G_CALLBACK(onAudio), this);
    g_signal_connect(a, "eos", G_CALLBACK(onAudioEos), this);
    gst_object_unref(v);
    gst_object_unref(a);
    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, onBus, this, nullptr);
    gst_object_unref(bus);

    g_object_get(src_, "control", &ctl_, nullptr);
    if (!ctl_) return false;
    if (setup_.standalone) {
        // The element configures itself from the recording on the way to READY.
        if (!setState(GST_STATE_READY, std::chrono::seconds(5))) return false;
        if (setup_.noPacing) ctl_->SetNoPacing(1);
        return true;
    }
    // The viewer's order of calls.
    if (ctl_->CreateStreams(setup_.kind) != 0) return false;
    if (ctl_->OpenFile(setup_.path.c_str()) != 0) return false;
    ctl_->SetOptionWord5(0);
    ctl_->SetOptionWord6(1, 0);
    ctl_->SetOptionWord7(2);
    ctl_->SetVideoInfo(std::uint8_t(setup_.fps), std::int16_t(setup_.width), std::int16_t(setup_.height),
                       setup_.gopMode ? 1 : 0);
    ctl_->SetAudioType(setup_.adpcm ? 1 : 0);
    ctl_->SetStreamOption(0);
    words.groupEnd = 0;
    words.deliveryEnable = 1;
    words.skipRate = setup_.skipRate;
    words.pictureIndex = 0;
    ctl_->SetHighSpeed(setup_.rateCode, setup_.videoType);
    ctl_->SetGroupEndTarget(&words.groupEnd);
    ctl_->SetOptionWord4(&words.deliveryEnable);
    ctl_->SetSkipRateSource(&words.skipRate);
    ctl_->SetStartPos(setup_.startGop);
    ctl_->SetPictureIndexSource(&words.pictureIndex);
    ctl_->SetMediaStopEvent(&mediaStop);
    ctl_->SetPacketHeaderMagicCode(0xAB, 0x3F, 0x71);
    if (setup_.firstFrameEvent) ctl_->SetFirstFrameEvent(&firstFrame);
    if (setup_.fileKind) ctl_->SetKindOfFile(setup_.fileKind);
    if (setup_.frameIndex) ctl_->EnableFrameIndex();
    ctl_->SetEventMarkTarget(&words.eventMark);
    if (setup_.motionMap) {
        ctl_->SetMotionMapTarget(&words.motionFlag, &words.motionMap[0]);
        ctl_->EnableMotionMap();
    }
    if (setup_.parsing) ctl_->SetParsingDelivery(1);
    if (setup_.noPacing) ctl_->SetNoPacing(1);
    ctl_->SetPlayMode(setup_.mode);
    answering_ = setup_.answer;
    return true;
}

bool Harness::start() {
    if (!build()) return false;
    return setState(GST_STATE_PLAYING, seconds(10));
}

bool Harness::setState(GstState state, milliseconds deadline) {
    // Run on a helper thread so that a hang shows as a failed test, not a stuck one.
    auto done = std::make_shared<std::promise<GstStateChangeReturn>>();
    auto result = done->get_future();
    GstElement* pipeline = GST_ELEMENT(gst_object_ref(pipeline_));
    std::thread([pipeline, state, done] {
        done->set_value(gst_element_set_state(pipeline, state));
        gst_object_unref(pipeline);
    }).detach();
    if (result.wait_for(deadline) != std::future_status::ready) return false;
    return result.get() != GST_STATE_CHANGE_FAILURE;
}

bool Harness::stopWithin(milliseconds deadline) { return setState(GST_STATE_NULL, deadline); }

void Harness::resumeNow() {
    if (ctl_) ctl_->ResumeReading();
}

GstFlowReturn Harness::onVideo(GstElement* sink, gpointer self) {
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (!sample) return GST_FLOW_ERROR;
    static_cast<Harness*>(self)->record(sample);
    gst_sample_unref(sample);
    return GST_FLOW_OK;
}

void Harness::record(GstSample* sample) {
    Picture p;
    p.arrival = ++arrivals_;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    GstVideoInfo info;
    if (gst_video_info_from_caps(&info, gst_sample_get_caps(sample))) {
        GstVideoFrame frame;
        if (gst_video_frame_map(&frame, &info, buffer, GST_MAP_READ)) {
            auto n =
                qmr3::readFrameNumber(static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame, 0)),
                                      GST_VIDEO_FRAME_PLANE_STRIDE(&frame, 0), GST_VIDEO_FRAME_WIDTH(&frame),
                                      GST_VIDEO_FRAME_HEIGHT(&frame));
            p.frame = n ? long(*n) : -1;
            gst_video_frame_unmap(&frame);
        }
    }
    if (const KorvidPictureMeta* m = korvid_picture_meta_get(buffer)) {
        p.hasMeta = true;
        p.intra = m->intra;
        p.metaIndex = m->frame_index;
        p.metaFlags = m->flags;
        p.metaGroupEnd = m->group_end;
    }
    p.pts = GST_BUFFER_PTS(buffer);
    p.groupEndByte = words.groupEnd.load() == 1;
    p.eventMark = words.eventMark.load();
    p.motionFlag = words.motionFlag.load();
    for (std::size_t i = 0; i < p.map.size(); ++i) p.map[i] = words.motionMap[i].load();
    ctl_->GetFrameIndex(&p.frameIndex);
    ctl_->GetCurrTime(&p.time[0], &p.time[1], &p.time[2], &p.time[3], &p.time[4], &p.time[5]);
    ctl_->GetGpsInformation(p.latitude.data(), p.longitude.data());

    // Renderer role: the picture index within the group, and the group-end request.
    words.pictureIndex = positionInGroup_++;
    if (p.groupEndByte) {
        positionInGroup_ = 0;
        ++groupEnds_;
        if (answering_) frameRequest.set();
    }
    if (pictures_.empty()) firstFrame.set();
    {
        std::lock_guard<std::mutex> lock(m_);
        pictures_.push_back(p);
    }
    cv_.notify_all();
}

GstFlowReturn Harness::onAudio(GstElement* sink, gpointer self) {
    auto* h = static_cast<Harness*>(self);
    GstSample* sample = gst_app_sink_pull_sample(GST_APP_SINK(sink));
    if (!sample) return GST_FLOW_ERROR;
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    AudioBuffer a;
    a.arrival = ++h->arrivals_;
    a.pts = GST_BUFFER_PTS(buffer);
    a.duration = GST_BUFFER_DURATION(buffer);
    a.size = gst_buffer_get_size(buffer);
    {
        std::lock_guard<std::mutex> lock(h->m_);
        h->audio_.push_back(a);
        if (!h->audioCaps_) h->audioCaps_ = gst_caps_ref(gst_sample_get_caps(sample));
    }
    gst_sample_unref(sample);
    h->cv_.notify_all();
    return GST_FLOW_OK;
}

void Harness::onVideoEos(GstElement*, gpointer self) {
    auto* h = static_cast<Harness*>(self);
    {
        std::lock_guard<std::mutex> lock(h->m_);
        h->eos_ = true;
    }
    h->cv_.notify_all();
}

void Harness::onAudioEos(GstElement*, gpointer self) {
    auto* h = static_cast<Harness*>(self);
    {
        std::lock_guard<std::mutex> lock(h->m_);
        h->audioEos_ = true;
    }
    h->cv_.notify_all();
}

GstBusSyncReply Harness::onBus(GstBus*, GstMessage* message, gpointer self) {
    auto* h = static_cast<Harness*>(self);
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        {
            std::lock_guard<std::mutex> lock(h->m_);
            h->errors_.emplace_back(error ? error->message : "?");
        }
        g_clear_error(&error);
        h->cv_.notify_all();
    }
    gst_message_unref(message);  // a dropped message is the handler's to release
    return GST_BUS_DROP;
}

template <typename Pred>
bool Harness::waitFor(Pred pred, milliseconds deadline) {
    std::unique_lock<std::mutex> lock(m_);
    return cv_.wait_for(lock, deadline, [&] { return pred(); });
}

bool Harness::waitPictures(std::size_t n, milliseconds deadline) {
    return waitFor([&] { return pictures_.size() >= n; }, deadline);
}

bool Harness::waitGroupEnds(int n, milliseconds deadline) {
    return waitFor([&] { return groupEnds_ >= n; }, deadline);
}

bool Harness::waitEos(milliseconds deadline) {
    return waitFor([&] { return eos_; }, deadline);
}

bool Harness::waitAudio(std::size_t n, milliseconds deadline) {
    return waitFor([&] { return audio_.size() >= n; }, deadline);
}

bool Harness::waitMediaStop(milliseconds deadline) {
    return waitFor([&] { return mediaStops_ > 0; }, deadline);
}

bool Harness::waitAudioEos(milliseconds deadline) {
    return waitFor([&] { return audioEos_; }, deadline);
}

std::vector<Picture> Harness::pictures() const {
    std::lock_guard<std::mutex> lock(m_);
    return pictures_;
}

std::vector<long> Harness::frames() const {
    std::vector<long> out;
    for (const Picture& p : pictures()) out.push_back(p.frame);
    return out;
}

std::vector<AudioBuffer> Harness::audio() const {
    std::lock_guard<std::mutex> lock(m_);
    return audio_;
}

GstCaps* Harness::audioCaps() const {
    std::lock_guard<std::mutex> lock(m_);
    return audioCaps_ ? gst_caps_ref(audioCaps_) : nullptr;
}

std::vector<std::string> Harness::errors() const {
    std::lock_guard<std::mutex> lock(m_);
    return errors_;
}

bool Harness::eos() const {
    std::lock_guard<std::mutex> lock(m_);
    return eos_;
}

qmr3::GenOptions smallRecording(int fps, int gop, int seconds) {
    qmr3::GenOptions o;
    o.fps = fps;
    o.gop = gop;
    o.seconds = seconds;
    o.productId = 0x41;
    return o;
}

std::string writeRecording(const testrec::TempDir& dir, const std::string& name,
                           const qmr3::GenOptions& options) {
    const std::string path = dir.file(name);
    const qmr3::GenResult r = qmr3::generateRecording(path, options);
    return r.ok ? path : std::string();
}

std::vector<long> upTo(long n) {
    std::vector<long> v;
    for (long i = 0; i < n; ++i) v.push_back(i);
    return v;
}

std::vector<long> playOrder(long pictures, long gop, long first) {
    std::vector<long> v;
    for (long g = first; g * gop < pictures; ++g) {
        for (long f = g * gop; f < std::min(pictures, (g + 1) * gop); ++f) v.push_back(f);
        if ((g + 1) * gop < pictures) {
            v.push_back((g + 1) * gop);
            v.push_back((g + 1) * gop);
        }
    }
    return v;
}

std::vector<long> distinctRuns(const std::vector<long>& v) {
    std::vector<long> out;
    for (long x : v)
        if (out.empty() || out.back() != x) out.push_back(x);
    return out;
}

std::vector<long> groupEndFrames(const std::vector<Picture>& pictures) {
    std::vector<long> v;
    for (const Picture& p : pictures)
        if (p.groupEndByte) v.push_back(p.frame);
    return v;
}

std::vector<long> rendererView(const std::vector<Picture>& pictures) {
    std::vector<long> out;
    int drop = 0;
    for (const Picture& p : pictures) {
        if (drop > 0) {
            --drop;
            continue;
        }
        out.push_back(p.frame);
        if (p.groupEndByte) drop = 2;
    }
    return out;
}

std::vector<std::vector<long>> passes(const std::vector<Picture>& pictures) {
    std::vector<std::vector<long>> out(1);
    int drop = 0;
    for (const Picture& p : pictures) {
        if (drop > 0) {
            --drop;
            continue;
        }
        out.back().push_back(p.frame);
        if (p.groupEndByte) {
            out.emplace_back();
            drop = 2;
        }
    }
    if (out.back().empty()) out.pop_back();
    return out;
}

}  // namespace hxtest
