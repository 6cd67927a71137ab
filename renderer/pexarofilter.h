// The renderer: sample intake into the group buffer, the render thread that
// paces and presents, overlays, snapshots and the control interface.
#pragma once

#include "groupbuffer.h"
#include "overlaystate.h"
#include "pexarocontrol.h"
#include "pexarodisplay.h"
#include "pexaroinputpin.h"
#include "playmodetable.h"

#include <gst/gst.h>
#include <gst/video/video.h>

#include <QRect>
#include <QSize>

#include <array>
#include <cstdint>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class CPexaroFilter final : public IPexaroControl {
public:
    explicit CPexaroFilter(GstElement* element);
    ~CPexaroFilter();
    CPexaroFilter(const CPexaroFilter&) = delete;
    CPexaroFilter& operator=(const CPexaroFilter&) = delete;

    IPexaroControl* control() { return this; }

    // Called by the pin and the element.
    GstFlowReturn Receive(GstBuffer* buffer);
    void SetMediaType(const GstVideoInfo& info);
    void OnStateChange(GstStateChange transition);

    // IPexaroControl
    int ShowOSD() override;
    int HideOSD() override;
    int AddOSD(int index, const char* text, int x, int y, int align, const char* fontName, int fontHeight,
               int r, int g, int b) override;
    int RemoveOSD(int index) override;
    int SetWindow(IPexaroPresentationTarget* window) override;
    int SetStretch(int stretch) override;
    int ShowMDArea() override;
    int HideMDArea() override;
    int ShowMDAreaForHitTest() override;
    int EndMDAreaHitTest() override;
    int SetMDArea(korvid::SharedWord* gridWord, int rows, int cols, korvid::SharedByte* cells,
                  korvid::SharedByte* hitCells) override;
    int ClearMDArea() override;
    int HitTestMDArea(int* result, int x, int y) override;
    int SnapShot(const char* fileName) override;
    int Repaint() override;
    int SetEventMarkPointer(korvid::SharedByte* eventMark) override;
    int Reserved19() override;
    int SetFrameRate(int picturesPerSecond) override;
    int SetPlayMode(int mode) override;
    int SetDeliveryEnablePointer(korvid::SharedWord* word) override;
    int SetSkipRatePointer(korvid::SharedWord* word) override;
    int SetGroupEndPointer(korvid::SharedByte* flag) override;
    int SetFrameRequestEvent(korvid::Event* event) override;
    int SetPictureIndexPointer(korvid::SharedWord* word) override;
    int SetTemporaryFlag1(int flag) override;
    int Reserved28(int value) override;
    int Reserved29(int value) override;
    int Reserved30(int value) override;
    int SetGopMode(int isGopMode) override;
    int SetZoomRect(int top, int left, int bottom, int right) override;
    int SetBandRect(int top, int left, int bottom, int right) override;
    int IsZoomed() override;
    int SnapShotRawData(const char* fileName) override;
    int SetRateCode(int rateCode, int videoType) override;
    int Sync() override;
    int SetFirstFrameEvent(korvid::Event* event) override;

private:
    // The render thread's timing across turns.
    struct RenderClock {
        std::int64_t due = 0;         // ms, when the last picture was due
        std::int64_t blockStart = 0;  // ms, start of the rate-adaptation block
        int pictures = 0;             // turns in the current block
        int hold = 0;                 // pictures still to take without showing them
        int exhausted = 0;            // turns at the set's edge without a new set
        bool idle = true;             // turns without a picture since the last one shown
        bool firstPresent = true;
        bool firstBlock = true;
        const pexaro::GroupSlot* early = nullptr;  // shown before its group was in
    };
    // What one turn of the render thread decided.
    struct Turn {
        std::uint8_t mode = 0;
        pexaro::GroupSlot* picture = nullptr;
        pexaro::CGroupBuffer::ReadResult read = pexaro::CGroupBuffer::kReadNone;
        bool backward = false;  // direction of a swap made this turn
        QString speedText;
        CPexaroDisplay* display = nullptr;
        std::optional<QRect> zoom, band;
        int interval = 0, startInterval = 0;
        std::uint64_t wakes = 0;  // wake-ups counted as the turn began
    };
    enum class Edge { Go, StartOver };

    void RenderLoop();
    bool PickEarlyPicture(Turn& turn, const RenderClock& clock);
    void PickByMode(Turn& turn, RenderClock& clock);
    bool ShowsPicture(std::uint8_t mode, int renderSkipRate, int syncAnswer) const;
    bool ComposeUnlessSkipped(Turn& turn);
    Edge AtReadSetEdge(Turn& turn, RenderClock& clock);
    bool GroupComingIn() const;
    void AdaptBlockRate(std::uint8_t mode, RenderClock& clock);
    bool HoldsBack(const Turn& turn, RenderClock& clock, std::unique_lock<std::mutex>& lock);
    void Present(const Turn& turn, RenderClock& clock);
    void Pace(const Turn& turn, RenderClock& clock);
    void StartRenderThread();
    void StopRenderThread();
    // Interruptible sleeps of the render thread; false when it must end.
    bool SleepUntil(std::chrono::steady_clock::time_point deadline);
    bool SleepFor(int ms);
    // A sleep without a picture to show, ended early by a wake-up counted
    // after `seen` or by the end of the thread.
    void IdleFor(int ms, std::uint64_t seen);
    bool MustEnd() const;
    void WakeRenderThread();

    bool CopyPicture(GstBuffer* buffer, QImage& into);
    void ApplyIntakeOverlays(QImage& picture);
    void RebuildCells();
    void RequestNextGroup();
    int SharedSkipRate() const;
    void PresentCurrent();
    std::optional<QRect> PictureRect(int top, int left, int bottom, int right) const;

    GstElement* element_;
    std::unique_ptr<CPexaroInputPin> pin_;

    // Guards everything below except where noted.
    mutable std::mutex lock_;
    pexaro::PlayModeState pm_;
    pexaro::CGroupBuffer groups_;
    int renderSkipRate_ = 0;
    int dropCount_ = 0;
    int syncAnswer_ = pexaro::kSyncUnknown;
    int requestReverse_ = 0;     // direction in force when the last group was asked for
    bool turnResync_ = false;    // the pending resync comes from direction turns alone
    bool groupInFlight_ = true;  // a group was asked for (or comes first) and its end has not come in
    GstVideoInfo info_;
    bool haveInfo_ = false;
    QSize pictureSize_;
    double frameRate_ = 30;
    int baseInterval_ = 64;
    int startInterval_ = 64;
    int blockPictures_ = 30;
    int blockMs_ = 1000;
    bool slowMode_ = false;
    int gopMode_ = 0;
    std::unique_ptr<CPexaroDisplay> display_;
    std::optional<QRect> zoom_;
    std::optional<QRect> band_;
    std::array<pexaro::OsdItem, pexaro::kOsdItems> osdItems_;
    bool osdShown_ = false;
    pexaro::EventOverlay eventOverlay_;
    pexaro::GridOverlay gridOverlay_;
    int gridRows_ = 0, gridCols_ = 0;
    std::vector<QRect> cells_;
    std::vector<QRect> hitCells_;
    bool gridShown_ = false;
    bool hitTestMode_ = false;
    bool threadEnded_ = true;

    // Borrowed from the viewer.
    std::atomic<korvid::SharedWord*> deliveryEnable_{nullptr};
    std::atomic<korvid::SharedWord*> skipRate_{nullptr};
    std::atomic<korvid::SharedByte*> groupEnd_{nullptr};
    std::atomic<korvid::SharedWord*> pictureIndex_{nullptr};
    std::atomic<korvid::SharedByte*> eventMark_{nullptr};
    std::atomic<korvid::SharedWord*> gridWord_{nullptr};
    std::atomic<korvid::SharedByte*> gridCells_{nullptr};
    std::atomic<korvid::SharedByte*> gridHitCells_{nullptr};
    std::atomic<korvid::Event*> frameRequest_{nullptr};
    std::atomic<korvid::Event*> firstFrame_{nullptr};

    // Render thread control.
    std::mutex threadLock_;  // start/stop of the thread
    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> arrived_{false};   // a picture was taken in since the render thread last looked
    std::atomic<bool> stopMode_{false};  // play mode is stop
    std::mutex wakeLock_;
    std::condition_variable wakeCv_;
    std::atomic<std::uint64_t> wakes_{0};  // raised under wakeLock_
};
