// Plays the viewer's and the renderer's roles around hexmoorsrc:
//
//   hexmoorsrc ! avdec_h264 std-compliance=normal max-threads=1 ! appsink
//              (audio pad) ! appsink
//
// The harness owns the shared words and events, configures the source in the
// viewer's order, and for every decoded picture records its frame number
// (read from the picture's bottom row), its meta, and what the viewer's words
// and the control's getters say at that moment. Like the renderer it sets the
// frame-request event when a picture arrives with the group-end byte set;
// like the viewer's frame request thread it answers with ResumeReading.
#pragma once

#include "generator.h"
#include "hexmoorcontrol.h"
#include "testrecordings.h"

#include <gst/gst.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace hxtest {

struct Picture {
    int arrival = 0;  // order of arrival among pictures and sound
    long frame = -1;  // read from the picture; -1 when unreadable
    bool hasMeta = false;
    bool intra = false;
    std::uint32_t metaIndex = 0;
    std::uint8_t metaFlags = 0;
    bool metaGroupEnd = false;
    bool groupEndByte = false;  // the viewer's group-end byte as the picture arrived
    std::uint8_t eventMark = 0;
    std::int32_t motionFlag = 0;
    std::array<std::uint8_t, 256> map{};
    std::int32_t frameIndex = 0;          // GetFrameIndex
    std::array<std::uint16_t, 6> time{};  // GetCurrTime
    std::array<std::uint16_t, 4> latitude{}, longitude{};
    GstClockTime pts = GST_CLOCK_TIME_NONE;
};

struct AudioBuffer {
    int arrival = 0;
    GstClockTime pts = GST_CLOCK_TIME_NONE;
    GstClockTime duration = GST_CLOCK_TIME_NONE;
    std::size_t size = 0;
};

struct Config {
    std::string path;
    int fps = 10;
    int width = 352;
    int height = 240;
    bool gopMode = false;
    bool adpcm = false;
    std::int16_t kind = 0x41;  // parameter-set family A
    std::int32_t startGop = 0;
    std::int16_t fileKind = 0;
    bool noPacing = true;
    bool motionMap = false;
    bool parsing = false;
    bool frameIndex = true;
    bool answer = true;  // answer group ends at once
    bool firstFrameEvent = false;
    std::uint8_t mode = 0;  // play mode set before the pipeline runs
    std::int32_t skipRate = 1;
    std::int32_t rateCode = 3;  // handed to SetHighSpeed
    std::int32_t videoType = 0;
    // Standalone use: only the location is given, no viewer calls at all.
    bool standalone = false;
    std::string videoChain = "avdec_h264 std-compliance=normal max-threads=1";
    std::string audioChain;  // elements between the audio pad and its sink
};

class Harness {
public:
    explicit Harness(Config setup);
    ~Harness();
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    // Builds and configures the pipeline without running it.
    bool build();
    // build() if needed, then PLAYING.
    bool start();
    // Sets NULL and reports whether that finished within the deadline.
    bool stopWithin(std::chrono::milliseconds deadline);
    bool setState(GstState state, std::chrono::milliseconds deadline);

    korvid::IHexmoorControl* control() const { return ctl_; }
    GstElement* source() const { return src_; }
    korvid::SharedWords words;
    korvid::Event mediaStop;
    korvid::Event frameRequest;
    korvid::Event firstFrame;

    // Renderer role: answer group ends or keep them pending.
    void setAnswering(bool on) { answering_ = on; }
    void resumeNow();

    bool waitPictures(std::size_t n, std::chrono::milliseconds deadline = std::chrono::seconds(20));
    bool waitGroupEnds(int n, std::chrono::milliseconds deadline = std::chrono::seconds(20));
    bool waitEos(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    bool waitAudio(std::size_t n, std::chrono::milliseconds deadline = std::chrono::seconds(20));
    bool waitMediaStop(std::chrono::milliseconds deadline = std::chrono::seconds(30));
    bool waitAudioEos(std::chrono::milliseconds deadline = std::chrono::seconds(30));

    std::vector<Picture> pictures() const;
    std::vector<long> frames() const;
    std::vector<AudioBuffer> audio() const;
    GstCaps* audioCaps() const;  // caller unrefs; null before the first buffer
    int mediaStops() const { return mediaStops_; }
    int groupEnds() const { return groupEnds_; }
    std::vector<std::string> errors() const;
    bool eos() const;

private:
    static GstFlowReturn onVideo(GstElement* sink, gpointer self);
    static GstFlowReturn onAudio(GstElement* sink, gpointer self);
    static void onVideoEos(GstElement* sink, gpointer self);
    static void onAudioEos(GstElement* sink, gpointer self);
    static GstBusSyncReply onBus(GstBus* bus, GstMessage* message, gpointer self);
    void record(GstSample* sample);
    template <typename Pred>
    bool waitFor(Pred pred, std::chrono::milliseconds deadline);

    Config setup_;
    GstElement* pipeline_ = nullptr;
    GstElement* src_ = nullptr;
    korvid::IHexmoorControl* ctl_ = nullptr;
    std::atomic<bool> answering_{true};
    std::atomic<bool> quit_{false};
    std::atomic<int> mediaStops_{0};
    std::atomic<int> groupEnds_{0};
    std::atomic<int> arrivals_{0};
    int positionInGroup_ = 0;
    std::thread frameRequestThread_;
    std::thread mediaStopThread_;

    mutable std::mutex m_;
    std::condition_variable cv_;
    std::vector<Picture> pictures_;
    std::vector<AudioBuffer> audio_;
    GstCaps* audioCaps_ = nullptr;
    std::vector<std::string> errors_;
    bool eos_ = false;
    bool audioEos_ = false;
};

// Small recordings with family A parameter sets (product id 0x41).
qmr3::GenOptions smallRecording(int fps, int gop, int seconds);
// Writes the recording into dir; an empty path when the generator failed.
std::string writeRecording(const testrec::TempDir& dir, const std::string& name,
                           const qmr3::GenOptions& options);
// 0, 1, ..., n-1.
std::vector<long> upTo(long n);

// What the source delivers in play from GOP `first`: each group from its intra
// picture to its last picture (which carries the group end), then the next
// group's intra picture twice for the renderer to drop; the next pass opens
// with that picture again. The file's last picture ends the last group.
std::vector<long> playOrder(long pictures, long gop, long first = 0);
// Collapses runs of equal neighbours: 1 1 2 2 2 3 -> 1 2 3.
std::vector<long> distinctRuns(const std::vector<long>& v);
// The pictures that carried the group-end byte.
std::vector<long> groupEndFrames(const std::vector<Picture>& pictures);
// What a renderer that drops the two pictures after each group end keeps.
std::vector<long> rendererView(const std::vector<Picture>& pictures);
// The source's passes as the renderer keeps them: split after each group end,
// without the two pictures that follow it.
std::vector<std::vector<long>> passes(const std::vector<Picture>& pictures);

}  // namespace hxtest
