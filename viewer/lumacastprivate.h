// Inside of CLumacastCtrl: pipeline, shared words, events, worker threads.
#pragma once

#include "lumacastctrl.h"

#include "event.h"
#include "hexmoorcontrol.h"
#include "pexarocontrol.h"
#include "sharedwords.h"

#include <gst/gst.h>

// GST_DEBUG=lumacast:5 traces every pipeline step of the viewer.
GST_DEBUG_CATEGORY_EXTERN(lumacast_debug);

#include <QImage>
#include <QRect>
#include <QSize>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CScreenSaverInhibitor;

struct CLumacastCtrl::Private : public IPexaroPresentationTarget {
    explicit Private(CLumacastCtrl* q);
    ~Private() override;

    // IPexaroPresentationTarget, called on the renderer's threads.
    QSize WindowSize() override;
    void Present(const QImage& picture, const QRect& source, const QRect& destination) override;

    // Pipeline.
    std::int32_t BuildGraph();
    std::int32_t AssembleGraph();
    bool NewPipeline();
    GstElement* AddElement(const char* factory, const char* name);
    bool LinkChain(const std::vector<GstElement*>& chain, const char* branch);
    std::int32_t AddSource(korvid::IHexmoorControl*& hex);
    std::int32_t BuildVideoBranch();
    void BuildAudioBranch(GstElement* audioSink);
    void WireSource(korvid::IHexmoorControl* hex);
    std::int32_t WireRenderer();
    std::int32_t TearDownGraph();
    void OnBusMessage(GstMessage* message);
    std::int32_t SetMode(int mode);  // the play-mode driver; its own result
    std::int32_t ApplyMode(int mode);
    void Step(int mode);  // one picture on or back
    void PlayForward();   // play, after the group on its way when turning from backwards
    void TurnTick();
    void CancelTurn();
    std::int32_t Play();
    std::int32_t Pause();
    std::int32_t Run();
    void StartThreads();
    void StopThreads();
    void FrameRequestLoop();
    void MediaStopLoop();
    korvid::IHexmoorControl* Hex() const;
    IPexaroControl* Pex() const;
    bool HaveSource() const { return pipeline_ && source_; }

    CLumacastCtrl* q_;
    GstElement* pipeline_ = nullptr;
    GstElement* source_ = nullptr;
    GstElement* renderer_ = nullptr;
    GstElement* volume_ = nullptr;

    std::string fileName_;
    std::atomic<std::uint8_t> playMode_{232};
    std::int32_t direction_ = 0;
    std::int32_t previousDirection_ = 1;
    std::int32_t startPos_ = 0;
    korvid::SharedWords words_;
    korvid::Event mediaStop_;
    korvid::Event frameRequest_;
    // The frame request thread has taken a request and the source has not
    // yet taken it over at its group end.
    std::atomic<bool> requestOnItsWay_{false};
    korvid::Event firstFrame_;
    std::thread frameThread_;
    std::thread stopThread_;
    std::atomic<korvid::IHexmoorControl*> threadHex_{nullptr};
    std::atomic<bool> stopFired_{false};
    // Steady-clock milliseconds of the latest presented picture.
    std::atomic<std::int64_t> presentedAt_{0};

    std::uint8_t frameRateValue_ = 30;
    std::int16_t width_ = 704, height_ = 480;
    std::int16_t gopMode_ = 0;
    std::int16_t bPicture_ = 0;
    std::int32_t rateCode_ = 0;
    std::int16_t videoType_ = 0;
    std::int16_t productId_ = 0;
    std::int32_t headerSelector_ = 0;
    std::int16_t headerOption_ = 0;
    std::int16_t kindOfFile_ = 0;
    std::uint8_t adpcm_ = 0;
    std::int16_t flipRequest_ = 0;
    bool flipForBuild_ = false;
    std::int32_t deinterlace_ = 0;  // 1 once SetVideoInfo decided; see deinterlaceOn_
    bool deinterlaceOn_ = false;
    bool threadsStartedForGraph_ = false;

    // Motion grid.
    int mdRows_ = 0, mdCols_ = 0;
    std::size_t mdCapacity_ = 0;
    std::unique_ptr<korvid::SharedByte[]> mdCells_, mdHitCells_;
    std::vector<std::unique_ptr<korvid::SharedByte[]>> mdRetired_;  // freed with the pipeline
    bool mdShown_ = false;

    // Window.
    QColor background_{102, 101, 101};
    QImage backgroundPicture_;
    mutable std::mutex presentLock_;
    QImage picture_;
    QRect pictureSource_, pictureDestination_;
    std::uint64_t presentedCount_ = 0;
    bool reverse_ = false;  // the direction the renderer was last asked to read in

    // A step against the last direction, carried out in phases on the GUI
    // thread so that the window never waits for it.
    QTimer turnTimer_;
    int turnMode_ = 0;
    int turnPhase_ = 0;  // 0 waiting for the read-ahead group, 1 for the turned picture
    std::int64_t turnDeadline_ = 0;
    QImage turnBefore_;
    std::uint64_t turnCount_ = 0;
    QSize windowSize_;
    std::atomic<bool> repaintQueued_{false};

    bool dragging_ = false;
    float scaleX_ = 1, scaleY_ = 1;
    QPoint dragStart_, dragCurrent_;
    int limitRight_ = 0, limitBottom_ = 0;
    QTimer dragTimer_;
    QPoint rightPress_;
    bool rightPressed_ = false;

    std::unique_ptr<CScreenSaverInhibitor> inhibitor_;
};
