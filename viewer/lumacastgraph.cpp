// Pipeline assembly, the play-mode driver and the worker threads.
#include "lumacastprivate.h"
#include "screensaver.h"

#include "qmr3format.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMetaObject>

#include <algorithm>

#include <dlfcn.h>

#include <cstdlib>

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::int32_t kAbort = std::int32_t(0x80004004);
constexpr std::int32_t kFail = std::int32_t(0x80004005);

void LoadPluginFolder(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) return;
    for (const QString& f : dir.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name)) {
        GError* error = nullptr;
        if (GstPlugin* plugin = gst_plugin_load_file(QFile::encodeName(dir.filePath(f)).constData(), &error))
            gst_object_unref(plugin);
        g_clear_error(&error);
    }
}

bool HaveFactory(const char* name) {
    GstElementFactory* f = gst_element_factory_find(name);
    if (!f) return false;
    gst_object_unref(f);
    return true;
}

// GStreamer up, and our two elements known: a host may have registered them
// already; otherwise look beside the program and beside this library.
void EnsureElements() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!gst_is_initialized()) gst_init(nullptr, nullptr);
        if (HaveFactory("hexmoorsrc") && HaveFactory("pexarosink")) return;
        if (const char* dir = std::getenv("KORVID_PLUGIN_DIR")) LoadPluginFolder(QString::fromLocal8Bit(dir));
        if (QCoreApplication::instance())
            LoadPluginFolder(QCoreApplication::applicationDirPath() + QStringLiteral("/gstreamer-1.0"));
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&LoadPluginFolder), &info) && info.dli_fname) {
            const QString lib = QFile::decodeName(info.dli_fname);
            LoadPluginFolder(QFileInfo(lib).absolutePath() + QStringLiteral("/gstreamer-1.0"));
        }
    });
}

// The audio sink, or null when none opens (the machine without sound).
GstElement* OpenAudioSink() {
    const char* wanted = std::getenv("KORVID_AUDIO_SINK");
    const bool automatic = !wanted || !*wanted;
    GstElement* sink = gst_element_factory_make(automatic ? "autoaudiosink" : wanted, "DirectSound Audio Renderer");
    if (!sink) return nullptr;
    gst_object_ref_sink(sink);
    if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        gst_element_set_state(sink, GST_STATE_NULL);
        gst_object_unref(sink);
        return nullptr;
    }
    if (automatic && GST_IS_BIN(sink)) {
        // autoaudiosink falls back to an internal fake sink when no device opens.
        bool fake = true;
        GstIterator* it = gst_bin_iterate_elements(GST_BIN(sink));
        GValue item = G_VALUE_INIT;
        while (gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
            GstElement* child = GST_ELEMENT(g_value_get_object(&item));
            GstElementFactory* f = gst_element_get_factory(child);
            const char* n = f ? GST_OBJECT_NAME(f) : "";
            if (g_strcmp0(n, "fakesink") != 0 && g_strcmp0(n, "fakeaudiosink") != 0) fake = false;
            g_value_reset(&item);
        }
        g_value_unset(&item);
        gst_iterator_free(it);
        if (fake) {
            gst_element_set_state(sink, GST_STATE_NULL);
            gst_object_unref(sink);
            return nullptr;
        }
    }
    return sink;
}

GstElement* Make(const char* factory, const char* name) { return gst_element_factory_make(factory, name); }

}  // namespace

CLumacastCtrl::Private::Private(CLumacastCtrl* q) : q_(q) {
    EnsureElements();
    inhibitor_ = std::make_unique<CScreenSaverInhibitor>();
}

CLumacastCtrl::Private::~Private() {
    CloseMPEG4();
    StopThreads();
}

korvid::IHexmoorControl* CLumacastCtrl::Private::Hex() const {
    if (!source_) return nullptr;
    korvid::IHexmoorControl* c = nullptr;
    g_object_get(source_, "control", &c, nullptr);
    return c;
}

IPexaroControl* CLumacastCtrl::Private::Pex() const {
    if (!renderer_) return nullptr;
    IPexaroControl* c = nullptr;
    g_object_get(renderer_, "control", &c, nullptr);
    return c;
}

QSize CLumacastCtrl::Private::WindowSize() {
    std::lock_guard<std::mutex> lock(presentLock_);
    return windowSize_;
}

void CLumacastCtrl::Private::Present(const QImage& picture, const QRect& source, const QRect& destination) {
    // A deep copy: the renderer keeps drawing into its own buffers.
    QImage copy = picture.copy();
    presentedAt_ = SteadyMs();
    {
        std::lock_guard<std::mutex> lock(presentLock_);
        picture_ = copy;
        pictureSource_ = source;
        pictureDestination_ = destination;
        ++presentedCount_;
    }
    emit q_->PicturePresented(copy);
    // One queued repaint at a time; never wait for the GUI thread here.
    if (!repaintQueued_.exchange(true))
        QMetaObject::invokeMethod(q_, [this] {
            repaintQueued_ = false;
            q_->update();
        }, Qt::QueuedConnection);
}

std::int32_t CLumacastCtrl::Private::BuildGraph() {
    if (pipeline_) return 0;
    const std::int32_t hr = AssembleGraph();
    if (hr != 0 && pipeline_) {
        // The original keeps a half-built graph; nothing could play through it.
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = source_ = renderer_ = volume_ = nullptr;
        threadHex_ = nullptr;
    }
    return hr;
}

std::int32_t CLumacastCtrl::Private::AssembleGraph() {
    reverse_ = false;
    // The first-request delay of the original is not needed: ResumeReading is
    // safe at any moment.
    GstElement* pipeline = gst_pipeline_new("Lumacast");
    if (!pipeline) return kFail;
    pipeline_ = GST_ELEMENT(gst_object_ref_sink(pipeline));

    GstBus* bus = gst_element_get_bus(pipeline_);
    gst_bus_set_sync_handler(bus, [](GstBus*, GstMessage* m, gpointer self) -> GstBusSyncReply {
        if (GST_MESSAGE_TYPE(m) == GST_MESSAGE_ERROR) {
            GError* e = nullptr;
            gst_message_parse_error(m, &e, nullptr);
            g_printerr("lumacast: %s: %s\n", GST_OBJECT_NAME(GST_MESSAGE_SRC(m)), e ? e->message : "?");
            g_clear_error(&e);
            // A failed stream ends playback as the end of the file does.
            static_cast<Private*>(self)->mediaStop_.set();
        }
        return GST_BUS_DROP;
    }, this, nullptr);
    gst_object_unref(bus);

    GstElement* audioSink = OpenAudioSink();
    if (audioSink) {
        gst_bin_add(GST_BIN(pipeline_), audioSink);
        gst_object_unref(audioSink);  // the bin keeps it
    }

    source_ = Make("hexmoorsrc", "Hexmoor");
    korvid::IHexmoorControl* hex = nullptr;
    if (source_) {
        gst_bin_add(GST_BIN(pipeline_), source_);
        hex = Hex();
        if (!hex) return kFail;
        const std::int16_t kind = headerSelector_ == 0 ? 0x40 : headerSelector_ == 1 ? 0x41 : headerOption_;
        const std::int32_t hr = hex->CreateStreams(kind);
        if (hr != 0) return hr;
    } else {
        g_printerr("lumacast: no hexmoorsrc element\n");
        return kFail;
    }
    if (!fileName_.empty()) {
        // The original ignores a failed open and plays nothing; report it.
        if (hex->OpenFile(fileName_.c_str()) != 0) return -1;
        hex->SetOptionWord5(0);
        hex->SetOptionWord6(1, 0);
        hex->SetOptionWord7(2);
        hex->SetVideoInfo(frameRateValue_, width_, height_, std::uint8_t(gopMode_));
        hex->SetAudioType(adpcm_);
        hex->SetStreamOption(0);
    }

    GstElement* decoder = Make("avdec_h264", "ffdshow Video Decoder");
    if (!decoder) {
        g_printerr("lumacast: no avdec_h264 element\n");
        return kFail;
    }
    // Each picture must leave the decoder while its sample is delivered.
    g_object_set(decoder, "max-threads", 1, nullptr);
    gst_util_set_object_arg(G_OBJECT(decoder), "std-compliance", "normal");
    gst_bin_add(GST_BIN(pipeline_), decoder);
    std::vector<GstElement*> videoChain{decoder};
    if (flipForBuild_) {
        if (GstElement* flip = Make("videoflip", nullptr)) {
            gst_util_set_object_arg(G_OBJECT(flip), "method", "vertical-flip");
            gst_bin_add(GST_BIN(pipeline_), flip);
            videoChain.push_back(flip);
        }
    }
    if (deinterlaceOn_) {
        if (GstElement* deint = Make("deinterlace", nullptr)) {
            gst_bin_add(GST_BIN(pipeline_), deint);
            videoChain.push_back(deint);
        }
    }
    GstElement* convert = Make("videoconvert", nullptr);
    if (!convert) return kFail;
    gst_bin_add(GST_BIN(pipeline_), convert);
    videoChain.push_back(convert);

    std::vector<GstElement*> audioChain;
    if (audioSink) {
        // The "ACM Wrapper" part: decoder when ADPCM, then conversion.
        if (adpcm_) {
            if (GstElement* adec = Make("avdec_adpcm_ms", "ACM Wrapper")) audioChain.push_back(adec);
        }
        GstElement* aconv = Make("audioconvert", nullptr);
        GstElement* resample = Make("audioresample", nullptr);
        volume_ = Make("volume", nullptr);
        for (GstElement* e : {aconv, resample, volume_})
            if (e) audioChain.push_back(e);
        for (GstElement* e : audioChain) gst_bin_add(GST_BIN(pipeline_), e);
    }

    renderer_ = Make("pexarosink", "Pexarin Filter");
    if (!renderer_) {
        g_printerr("lumacast: no pexarosink element\n");
        return kFail;
    }
    gst_bin_add(GST_BIN(pipeline_), renderer_);

    // Direct links only, video first; failures are reported, not fatal.
    bool linked = gst_element_link_pads(source_, "video", decoder, nullptr);
    for (std::size_t i = 0; i + 1 < videoChain.size(); ++i)
        linked = linked && gst_element_link(videoChain[i], videoChain[i + 1]);
    GstCaps* bgrx = gst_caps_from_string("video/x-raw, format=(string)BGRx");
    linked = linked && gst_element_link_filtered(convert, renderer_, bgrx);
    gst_caps_unref(bgrx);
    if (!linked) g_printerr("lumacast: video branch not linked\n");
    if (audioSink && !audioChain.empty()) {
        bool ok = gst_element_link_pads(source_, "audio", audioChain.front(), nullptr);
        for (std::size_t i = 0; i + 1 < audioChain.size(); ++i)
            ok = ok && gst_element_link(audioChain[i], audioChain[i + 1]);
        ok = ok && gst_element_link(audioChain.back(), audioSink);
        if (!ok) {
            g_printerr("lumacast: audio branch not linked\n");
            volume_ = nullptr;
        }
    }

    words_.groupEnd = 0;
    words_.deliveryEnable = 1;
    words_.skipRate = 1;
    words_.pictureIndex = 0;
    hex->SetHighSpeed(rateCode_, videoType_);
    hex->SetGroupEndTarget(&words_.groupEnd);
    hex->SetOptionWord4(&words_.deliveryEnable);
    hex->SetSkipRateSource(&words_.skipRate);
    hex->SetStartPos(startPos_);
    hex->SetPictureIndexSource(&words_.pictureIndex);
    hex->SetMediaStopEvent(&mediaStop_);
    // The magic code is fixed: the recorder's own.
    hex->SetPacketHeaderMagicCode(qmr3::kPacketMagic[0], qmr3::kPacketMagic[1], qmr3::kPacketMagic[2]);
    hex->SetFirstFrameEvent(&firstFrame_);
    if (kindOfFile_) hex->SetKindOfFile(kindOfFile_);
    hex->EnableFrameIndex();

    IPexaroControl* pex = Pex();
    if (!pex) return kFail;
    pex->SetRateCode(rateCode_, videoType_);
    pex->SetFrameRequestEvent(&frameRequest_);
    pex->SetGroupEndPointer(&words_.groupEnd);
    pex->SetFirstFrameEvent(&firstFrame_);
    pex->SetDeliveryEnablePointer(&words_.deliveryEnable);
    pex->SetSkipRatePointer(&words_.skipRate);
    pex->SetPictureIndexPointer(&words_.pictureIndex);
    pex->SetGopMode(gopMode_);
    pex->SetWindow(this);
    threadHex_ = hex;
    return 0;
}

std::int32_t CLumacastCtrl::Private::CloseMPEG4() {
    if (!pipeline_) return kAbort;
    playMode_ = korvid::kStop;
    StopThreads();
    frameRequest_.reset();
    mediaStop_.reset();
    firstFrame_.reset();
    if (korvid::IHexmoorControl* hex = Hex()) hex->SetPlayMode(korvid::kStop);
    if (IPexaroControl* pex = Pex()) {
        pex->SetPlayMode(korvid::kStop);
        pex->Sync();
    }
    // The source's stop call released a pin waiting at a group end, so the
    // state change cannot hang on it; no settling time is needed.
    gst_element_set_state(pipeline_, GST_STATE_NULL);
    threadHex_ = nullptr;
    gst_object_unref(pipeline_);
    pipeline_ = source_ = renderer_ = volume_ = nullptr;
    mdRetired_.clear();
    mdCells_.reset();
    mdHitCells_.reset();
    mdCapacity_ = 0;
    mdRows_ = mdCols_ = 0;
    mdShown_ = false;
    productId_ = 0;
    kindOfFile_ = 0;
    {
        std::lock_guard<std::mutex> lock(presentLock_);
        picture_ = QImage();
    }
    q_->update();
    return 0;
}

void CLumacastCtrl::Private::StartThreads() {
    StopThreads();
    stopFired_ = false;
    frameThread_ = std::thread([this] { FrameRequestLoop(); });
    stopThread_ = std::thread([this] { MediaStopLoop(); });
}

void CLumacastCtrl::Private::StopThreads() {
    const auto self = std::this_thread::get_id();
    if (frameThread_.joinable()) {
        frameRequest_.set();
        frameThread_.join();
    }
    if (stopThread_.joinable()) {
        mediaStop_.set();
        // A host that closes from its OnMediaStop handler runs on this thread.
        if (stopThread_.get_id() == self) stopThread_.detach();
        else stopThread_.join();
    }
}

void CLumacastCtrl::Private::FrameRequestLoop() {
    if (playMode_ == korvid::kStop) return;
    for (;;) {
        frameRequest_.wait();
        if (playMode_ == korvid::kStop) break;
        if (korvid::IHexmoorControl* hex = threadHex_.load()) hex->ResumeReading();
    }
}

void CLumacastCtrl::Private::MediaStopLoop() {
    if (playMode_ == korvid::kStop) return;
    mediaStop_.wait();
    // The source ends once it has sent its last picture, while the renderer
    // still holds up to two groups to show. Wait until it has gone quiet, or
    // a host that stops on this event cuts the end of the recording off.
    const std::int64_t quiet = std::max(400, 4000 / std::max<int>(1, frameRateValue_));
    const std::int64_t deadline = SteadyMs() + 10000;
    // A close sets the mode before waking this thread.
    while (playMode_ != korvid::kStop && SteadyMs() < deadline && SteadyMs() - presentedAt_ < quiet)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (playMode_ == korvid::kStop) return;
    if (!stopFired_.exchange(true)) emit q_->OnMediaStop();
}

std::int32_t CLumacastCtrl::Private::Run() {
    if (!pipeline_) return kFail;
    return gst_element_set_state(pipeline_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ? kFail : 0;
}

std::int32_t CLumacastCtrl::Private::Play() {
    if (!pipeline_) {
        const std::int32_t hr = BuildGraph();
        if (hr != 0) return hr;
    }
    q_->show();
    q_->raise();
    words_.eventMark = 0;
    korvid::IHexmoorControl* hex = Hex();
    IPexaroControl* pex = Pex();
    if (hex) hex->SetEventMarkTarget(&words_.eventMark);
    if (pex) pex->SetEventMarkPointer(&words_.eventMark);
    q_->setFocus();
    direction_ = 0;
    if (hex) hex->SetPlayMode(korvid::kPlay);
    if (pex) pex->SetPlayMode(korvid::kPlay);
    return Run();
}

std::int32_t CLumacastCtrl::Private::Pause() {
    if (!pipeline_) {
        const std::int32_t hr = BuildGraph();
        if (hr != 0) return hr;
    }
    if (korvid::IHexmoorControl* hex = Hex()) hex->SetPlayMode(korvid::kPause);
    if (IPexaroControl* pex = Pex()) pex->SetPlayMode(korvid::kPause);
    return gst_element_set_state(pipeline_, GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE ? kFail : 0;
}

std::int32_t CLumacastCtrl::Private::SetMode(int mode) {
    CancelTurn();
    return ApplyMode(mode);
}

std::int32_t CLumacastCtrl::Private::ApplyMode(int mode) {
    if (fileName_.empty() || mode < 0 || mode > 6) return -1;
    playMode_ = std::uint8_t(mode);
    if (mode == korvid::kPlay || mode == korvid::kFastForward || mode == korvid::kNextPicture) reverse_ = false;
    else if (mode == korvid::kRewind || mode == korvid::kPreviousPicture) reverse_ = true;
    switch (mode) {
    case korvid::kPlay: return Play();
    case korvid::kPause: return Pause();
    case korvid::kStop:
        if (pipeline_) gst_element_set_state(pipeline_, GST_STATE_READY);
        return 0;
    default: break;
    }
    if (!HaveSource()) return 0;
    korvid::IHexmoorControl* hex = Hex();
    IPexaroControl* pex = Pex();
    if (!hex || !pex) return 0;
    switch (mode) {
    case korvid::kFastForward:
        hex->SetPlayMode(3);
        pex->SetPlayMode(3);
        pex->Sync();
        break;
    case korvid::kRewind:
        words_.deliveryEnable = 1;
        pex->SetPlayMode(4);
        pex->Sync();
        hex->SetPlayMode(4);
        break;
    default:  // single steps
        words_.skipRate = 1;
        pex->SetPlayMode(mode);
        hex->SetPlayMode(std::uint8_t(mode));
        break;
    }
    return Run();
}

void CLumacastCtrl::Private::Step(int mode) {
    CancelTurn();
    const bool turn = (mode == korvid::kPreviousPicture) != reverse_;
    if (!turn || !pipeline_) {
        ApplyMode(mode);
        return;
    }
    // A step against the last direction turns the renderer's groups round.
    // First let a group read ahead in the old direction arrive whole (the
    // renderer drops it at the turn, but not pictures still on their way);
    // then, if the turn only showed the current picture again, step once
    // more, so that one call moves one picture.
    turnMode_ = mode;
    turnPhase_ = 0;
    turnDeadline_ = SteadyMs() + 1000;
    TurnTick();
    if (turnMode_) turnTimer_.start(5);
}

void CLumacastCtrl::Private::TurnTick() {
    if (!turnMode_) return;
    const bool late = SteadyMs() >= turnDeadline_;
    if (turnPhase_ == 0) {
        if (words_.groupEnd.load() != 1 && !late) return;
        {
            std::lock_guard<std::mutex> lock(presentLock_);
            turnBefore_ = picture_;
            turnCount_ = presentedCount_;
        }
        ApplyMode(turnMode_);
        turnPhase_ = 1;
        turnDeadline_ = SteadyMs() + 1000;
        if (turnBefore_.isNull()) CancelTurn();
        return;
    }
    bool again = false;
    {
        std::lock_guard<std::mutex> lock(presentLock_);
        if (presentedCount_ == turnCount_ && !late) return;
        again = presentedCount_ != turnCount_ && picture_ == turnBefore_;
    }
    const int mode = turnMode_;
    CancelTurn();
    if (again) ApplyMode(mode);
}

void CLumacastCtrl::Private::CancelTurn() {
    turnTimer_.stop();
    turnMode_ = 0;
    turnBefore_ = QImage();
}
