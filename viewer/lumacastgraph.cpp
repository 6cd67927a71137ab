// Pipeline assembly, the play-mode driver and the worker threads.
#include "deinterlacer.h"
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

GST_DEBUG_CATEGORY(lumacast_debug);
#define GST_CAT_DEFAULT lumacast_debug

namespace {

std::int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr std::int32_t kAbort = std::int32_t(0x80004004);
constexpr std::int32_t kFail = std::int32_t(0x80004005);

void LoadPluginFolder(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) return;
    for (const QString& f : dir.entryList({QStringLiteral("*.so")}, QDir::Files, QDir::Name)) {
        GError* error = nullptr;
        const QByteArray path = QFile::encodeName(dir.filePath(f));
        if (GstPlugin* plugin = gst_plugin_load_file(path.constData(), &error)) {
            GST_DEBUG("loaded plugin %s", path.constData());
            gst_object_unref(plugin);
        } else {
            GST_WARNING("cannot load plugin %s: %s", path.constData(), error ? error->message : "?");
        }
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
        // Always through gst_init: while a host thread is still building the
        // plugin registry (a first run) GStreamer already counts as
        // initialised, and only gst_init waits until every element is known.
        gst_init(nullptr, nullptr);
        GST_DEBUG_CATEGORY_INIT(lumacast_debug, "lumacast", 0, "Korvid viewer control: pipeline steps");
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
    const char* factory = automatic ? "autoaudiosink" : wanted;
    GstElement* sink = gst_element_factory_make(factory, "audio-sink");
    if (!sink) {
        GST_INFO("no audio sink element %s: no audio branch", factory);
        return nullptr;
    }
    gst_object_ref_sink(sink);
    if (gst_element_set_state(sink, GST_STATE_READY) == GST_STATE_CHANGE_FAILURE) {
        GST_INFO("audio sink %s does not open: no audio branch", factory);
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
            GST_INFO("autoaudiosink found no device: no audio branch");
            gst_element_set_state(sink, GST_STATE_NULL);
            gst_object_unref(sink);
            return nullptr;
        }
    }
    GST_DEBUG("audio sink %s is open", factory);
    return sink;
}

const char* StateName(GstState s) { return gst_element_state_get_name(s); }

}  // namespace

CLumacastCtrl::Private::Private(CLumacastCtrl* q) : q_(q) {
    EnsureElements();
    inhibitor_ = std::make_unique<CScreenSaverInhibitor>();
}

CLumacastCtrl::Private::~Private() {
    TearDownGraph();
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
        QMetaObject::invokeMethod(
            q_,
            [this] {
                repaintQueued_ = false;
                q_->update();
            },
            Qt::QueuedConnection);
}

std::int32_t CLumacastCtrl::Private::BuildGraph() {
    if (pipeline_) return 0;
    const std::int32_t hr = AssembleGraph();
    if (hr != 0 && pipeline_) {
        // Nothing could play through a half-built pipeline.
        GST_WARNING_OBJECT(pipeline_, "pipeline not built (0x%08x); dropped", unsigned(hr));
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(pipeline_);
        pipeline_ = source_ = renderer_ = volume_ = nullptr;
        threadHex_ = nullptr;
    }
    return hr;
}

// The source first, then the video branch (which must take the source's
// video pad), the audio branch when a sink opens, and last the shared words
// and events that let source and renderer hand groups of pictures over.
std::int32_t CLumacastCtrl::Private::AssembleGraph() {
    reverse_ = false;
    GST_INFO("building the pipeline for \"%s\"", fileName_.c_str());
    if (!NewPipeline()) return kFail;
    GstElement* audioSink = OpenAudioSink();
    korvid::IHexmoorControl* hex = nullptr;
    std::int32_t hr = AddSource(hex);
    if (hr != 0) {
        if (audioSink) gst_object_unref(audioSink);
        return hr;
    }
    hr = BuildVideoBranch();
    if (hr != 0) {
        if (audioSink) gst_object_unref(audioSink);
        return hr;
    }
    BuildAudioBranch(audioSink);
    WireSource(hex);
    hr = WireRenderer();
    if (hr != 0) return hr;
    threadHex_ = hex;
    GST_INFO_OBJECT(pipeline_, "pipeline built");
    return 0;
}

bool CLumacastCtrl::Private::NewPipeline() {
    GstElement* pipeline = gst_pipeline_new("viewer");
    if (!pipeline) {
        GST_ERROR("cannot make a pipeline");
        return false;
    }
    pipeline_ = GST_ELEMENT(gst_object_ref_sink(pipeline));
    GstBus* bus = gst_element_get_bus(pipeline_);
    // Handled on the posting thread: nothing here waits for the GUI thread.
    gst_bus_set_sync_handler(
        bus,
        [](GstBus*, GstMessage* m, gpointer self) -> GstBusSyncReply {
            static_cast<Private*>(self)->OnBusMessage(m);
            // A dropped message is the handler's to release; kept, each one
            // would hold its element, and so the whole pipeline, for good.
            gst_message_unref(m);
            return GST_BUS_DROP;
        },
        this, nullptr);
    gst_object_unref(bus);
    return true;
}

void CLumacastCtrl::Private::OnBusMessage(GstMessage* m) {
    GstObject* from = GST_MESSAGE_SRC(m);
    switch (GST_MESSAGE_TYPE(m)) {
    case GST_MESSAGE_ERROR: {
        GError* e = nullptr;
        gchar* detail = nullptr;
        gst_message_parse_error(m, &e, &detail);
        GST_WARNING_OBJECT(from, "stream error: %s (%s)", e ? e->message : "?", detail ? detail : "");
        g_clear_error(&e);
        g_free(detail);
        // A failed stream ends playback as the end of the file does.
        mediaStop_.set();
        break;
    }
    case GST_MESSAGE_WARNING: {
        GError* e = nullptr;
        gst_message_parse_warning(m, &e, nullptr);
        GST_INFO_OBJECT(from, "stream warning: %s", e ? e->message : "?");
        g_clear_error(&e);
        break;
    }
    case GST_MESSAGE_STATE_CHANGED:
        if (GST_IS_PIPELINE(from)) {
            GstState oldState, newState, pending;
            gst_message_parse_state_changed(m, &oldState, &newState, &pending);
            GST_DEBUG_OBJECT(from, "state %s -> %s (pending %s)", StateName(oldState), StateName(newState),
                             StateName(pending));
        }
        break;
    case GST_MESSAGE_EOS: GST_DEBUG_OBJECT(from, "end of stream"); break;
    default: break;
    }
}

GstElement* CLumacastCtrl::Private::AddElement(const char* factory, const char* name) {
    GstElement* e = gst_element_factory_make(factory, name);
    if (!e) {
        GST_ERROR("no %s element for %s", factory, name);
        return nullptr;
    }
    gst_bin_add(GST_BIN(pipeline_), e);
    GST_DEBUG_OBJECT(e, "made (%s)", factory);
    return e;
}

bool CLumacastCtrl::Private::LinkChain(const std::vector<GstElement*>& chain, const char* branch) {
    for (std::size_t i = 0; i + 1 < chain.size(); ++i) {
        if (!gst_element_link(chain[i], chain[i + 1])) {
            GST_WARNING("%s branch: %s does not link to %s", branch, GST_OBJECT_NAME(chain[i]),
                        GST_OBJECT_NAME(chain[i + 1]));
            return false;
        }
        GST_DEBUG("%s branch: linked %s -> %s", branch, GST_OBJECT_NAME(chain[i]),
                  GST_OBJECT_NAME(chain[i + 1]));
    }
    return true;
}

std::int32_t CLumacastCtrl::Private::AddSource(korvid::IHexmoorControl*& hex) {
    source_ = AddElement("hexmoorsrc", "source");
    if (!source_) return kFail;
    hex = Hex();
    if (!hex) {
        GST_ERROR_OBJECT(source_, "offers no control");
        return kFail;
    }
    const std::int16_t kind = headerSelector_ == 0 ? 0x40 : headerSelector_ == 1 ? 0x41 : headerOption_;
    const std::int32_t hr = hex->CreateStreams(kind);
    GST_DEBUG_OBJECT(source_, "CreateStreams(0x%x) = %d", unsigned(kind), hr);
    if (hr != 0) return hr;
    if (fileName_.empty()) return 0;
    // A file that does not open would play nothing; the caller hears of it.
    if (hex->OpenFile(fileName_.c_str()) != 0) {
        GST_WARNING_OBJECT(source_, "cannot open \"%s\"", fileName_.c_str());
        return -1;
    }
    hex->SetOptionWord5(0);
    hex->SetOptionWord6(1, 0);
    hex->SetOptionWord7(2);
    hex->SetVideoInfo(frameRateValue_, width_, height_, std::uint8_t(gopMode_));
    hex->SetAudioType(adpcm_);
    hex->SetStreamOption(0);
    GST_DEBUG_OBJECT(source_, "opened \"%s\": %d pictures/s, %dx%d, GOP mode %d, ADPCM %d", fileName_.c_str(),
                     frameRateValue_, width_, height_, gopMode_, adpcm_);
    return 0;
}

// source.video -> video-decoder [-> video-flip] [-> deinterlace] -> video-convert -> renderer
std::int32_t CLumacastCtrl::Private::BuildVideoBranch() {
    GstElement* decoder = AddElement("avdec_h264", "video-decoder");
    if (!decoder) return kFail;
    // Each picture must leave the decoder while its sample is delivered.
    g_object_set(decoder, "max-threads", 1, nullptr);
    gst_util_set_object_arg(G_OBJECT(decoder), "std-compliance", "normal");
    GST_DEBUG_OBJECT(decoder, "max-threads=1 std-compliance=normal");
    std::vector<GstElement*> chain{decoder};
    if (flipForBuild_) {
        if (GstElement* flip = AddElement("videoflip", "video-flip")) {
            gst_util_set_object_arg(G_OBJECT(flip), "method", "vertical-flip");
            GST_DEBUG_OBJECT(flip, "method=vertical-flip");
            chain.push_back(flip);
        }
    }
    if (deinterlaceOn_) {
        if (GstElement* deinterlace = AddElement("deinterlace", "deinterlace")) {
            lumacast::ConfigureDeinterlacer(deinterlace);
            GST_DEBUG_OBJECT(deinterlace, "forced, top field, linear");
            chain.push_back(deinterlace);
        }
    }
    GstElement* convert = AddElement("videoconvert", "video-convert");
    if (!convert) return kFail;
    chain.push_back(convert);
    renderer_ = AddElement("pexarosink", "renderer");
    if (!renderer_) return kFail;

    // Direct links only; a failure is reported, not fatal.
    if (!gst_element_link_pads(source_, "video", decoder, nullptr)) {
        GST_WARNING("video branch: source.video does not link to %s", GST_OBJECT_NAME(decoder));
        return 0;
    }
    GST_DEBUG("video branch: linked source.video -> %s", GST_OBJECT_NAME(decoder));
    if (!LinkChain(chain, "video")) return 0;
    GstCaps* bgrx = gst_caps_from_string("video/x-raw, format=(string)BGRx");
    if (gst_element_link_filtered(convert, renderer_, bgrx))
        GST_DEBUG("video branch: linked %s -> %s as BGRx", GST_OBJECT_NAME(convert),
                  GST_OBJECT_NAME(renderer_));
    else
        GST_WARNING("video branch: %s does not link to %s", GST_OBJECT_NAME(convert),
                    GST_OBJECT_NAME(renderer_));
    gst_caps_unref(bgrx);
    return 0;
}

// source.audio [-> audio-decoder] -> audio-convert -> audio-resample -> volume -> audio-sink.
// Takes the sink's reference; without a sink (or when it does not link) no
// audio plays and the volume cannot be set.
void CLumacastCtrl::Private::BuildAudioBranch(GstElement* audioSink) {
    if (!audioSink) return;
    gst_bin_add(GST_BIN(pipeline_), audioSink);
    gst_object_unref(audioSink);  // the bin keeps it
    std::vector<GstElement*> chain;
    if (adpcm_)
        if (GstElement* decoder = AddElement("avdec_adpcm_ms", "audio-decoder")) chain.push_back(decoder);
    for (const auto& [factory, name] :
         {std::pair{"audioconvert", "audio-convert"}, std::pair{"audioresample", "audio-resample"},
          std::pair{"volume", "volume"}})
        if (GstElement* e = AddElement(factory, name)) chain.push_back(e);
    volume_ = gst_bin_get_by_name(GST_BIN(pipeline_), "volume");
    if (volume_) gst_object_unref(volume_);  // the bin keeps it
    chain.push_back(audioSink);
    const bool linked =
        gst_element_link_pads(source_, "audio", chain.front(), nullptr) && LinkChain(chain, "audio");
    if (!linked) {
        GST_WARNING("audio branch not linked: no audio");
        volume_ = nullptr;
        return;
    }
    GST_DEBUG("audio branch: linked source.audio -> %s", GST_OBJECT_NAME(chain.front()));
}

void CLumacastCtrl::Private::WireSource(korvid::IHexmoorControl* hex) {
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
    GST_DEBUG_OBJECT(source_,
                     "shared words and events handed over: rate code %d, video type %d, start %d, kind %d",
                     rateCode_, videoType_, startPos_, kindOfFile_);
}

std::int32_t CLumacastCtrl::Private::WireRenderer() {
    IPexaroControl* pex = Pex();
    if (!pex) {
        GST_ERROR_OBJECT(renderer_, "offers no control");
        return kFail;
    }
    // The real rate first: the rate code refines it only when the renderer
    // knows the code, and the source paces at this rate whatever the code.
    pex->SetFrameRate(frameRateValue_);
    pex->SetRateCode(rateCode_, videoType_);
    pex->SetFrameRequestEvent(&frameRequest_);
    pex->SetGroupEndPointer(&words_.groupEnd);
    pex->SetFirstFrameEvent(&firstFrame_);
    pex->SetDeliveryEnablePointer(&words_.deliveryEnable);
    pex->SetSkipRatePointer(&words_.skipRate);
    pex->SetPictureIndexPointer(&words_.pictureIndex);
    pex->SetGopMode(gopMode_);
    pex->SetWindow(this);
    GST_DEBUG_OBJECT(renderer_, "wired: %d pictures/s, rate code %d, video type %d, GOP mode %d",
                     frameRateValue_, rateCode_, videoType_, gopMode_);
    return 0;
}

std::int32_t CLumacastCtrl::Private::TearDownGraph() {
    if (!pipeline_) return kAbort;
    GST_INFO_OBJECT(pipeline_, "tearing the pipeline down");
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
    GST_INFO("pipeline gone");
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
        frameRequest_.waitSet();
        requestOnItsWay_ = true;  // marked before it is taken: a turn always sees one or the other
        frameRequest_.wait();     // set, so this only takes it
        if (playMode_ == korvid::kStop) break;
        GST_DEBUG("frame request: the renderer asks for the next group");
        // A source waiting at a group end takes the request over by clearing
        // the group-end byte; until then a mode change would still go with
        // this request.
        const bool waiting = words_.groupEnd.load() == 1;
        if (korvid::IHexmoorControl* hex = threadHex_.load()) hex->ResumeReading();
        const std::int64_t giveUp = SteadyMs() + 500;
        while (waiting && words_.groupEnd.load() == 1 && playMode_ != korvid::kStop && SteadyMs() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        requestOnItsWay_ = false;
    }
    requestOnItsWay_ = false;
}

void CLumacastCtrl::Private::MediaStopLoop() {
    if (playMode_ == korvid::kStop) return;
    mediaStop_.wait();
    GST_INFO("media stop signalled (mode %d)", int(playMode_.load()));
    // The source ends once it has sent its last picture, while the renderer
    // still holds up to two groups to show. Wait until it has gone quiet, or
    // a host that stops on this event cuts the end of the recording off.
    // The quiet time counts from the signal too: while winding the renderer
    // may have gone without a picture for longer than that, waiting for the
    // source's last group, which it has only just taken in.
    const std::int64_t quiet = std::max(400, 4000 / std::max<int>(1, frameRateValue_));
    const std::int64_t signalled = SteadyMs();
    const std::int64_t deadline = signalled + 10000;
    // A close sets the mode before waking this thread.
    while (playMode_ != korvid::kStop && SteadyMs() < deadline &&
           SteadyMs() - std::max<std::int64_t>(presentedAt_, signalled) < quiet)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (playMode_ == korvid::kStop) return;
    if (!stopFired_.exchange(true)) {
        GST_INFO("OnMediaStop");
        emit q_->OnMediaStop();
    }
}

std::int32_t CLumacastCtrl::Private::Run() {
    if (!pipeline_) return kFail;
    const GstStateChangeReturn r = gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    GST_DEBUG_OBJECT(pipeline_, "to PLAYING: %s", gst_element_state_change_return_get_name(r));
    return r == GST_STATE_CHANGE_FAILURE ? kFail : 0;
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
    const GstStateChangeReturn r = gst_element_set_state(pipeline_, GST_STATE_PAUSED);
    GST_DEBUG_OBJECT(pipeline_, "to PAUSED: %s", gst_element_state_change_return_get_name(r));
    return r == GST_STATE_CHANGE_FAILURE ? kFail : 0;
}

std::int32_t CLumacastCtrl::Private::SetMode(int mode) {
    CancelTurn();
    return ApplyMode(mode);
}

std::int32_t CLumacastCtrl::Private::ApplyMode(int mode) {
    if (fileName_.empty() || mode < 0 || mode > 6) {
        GST_DEBUG("play mode %d refused (file \"%s\")", mode, fileName_.c_str());
        return -1;
    }
    GST_INFO("play mode %d, skip rate %d", mode, int(words_.skipRate.load()));
    playMode_ = std::uint8_t(mode);
    if (mode == korvid::kPlay || mode == korvid::kFastForward || mode == korvid::kNextPicture)
        reverse_ = false;
    else if (mode == korvid::kRewind || mode == korvid::kPreviousPicture) reverse_ = true;
    switch (mode) {
    case korvid::kPlay: return Play();
    case korvid::kPause: return Pause();
    case korvid::kStop:
        if (pipeline_) {
            const GstStateChangeReturn r = gst_element_set_state(pipeline_, GST_STATE_READY);
            GST_DEBUG_OBJECT(pipeline_, "to READY: %s", gst_element_state_change_return_get_name(r));
        }
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
    GST_DEBUG("step %d turns the reading direction", mode);
    turnMode_ = mode;
    turnPhase_ = 0;
    turnDeadline_ = SteadyMs() + 1000;
    TurnTick();
    if (turnMode_) turnTimer_.start(5);
}

namespace {
// Turn marker for play (whose mode code is 0, the marker of no turn).
constexpr int kPlayTurn = 0x100;
}  // namespace

void CLumacastCtrl::Private::PlayForward() {
    CancelTurn();
    if (!reverse_ || !pipeline_ || words_.groupEnd.load() == 1) {
        ApplyMode(korvid::kPlay);
        return;
    }
    // Play after reading backwards: a group read ahead backwards may be on its
    // way. The renderer drops a whole pending group at the turn but would take
    // a half-arrived one for the answer to its fresh request, so it is let
    // in whole first, as for a step that turns.
    GST_DEBUG("play turns the reading direction");
    turnMode_ = kPlayTurn;
    turnPhase_ = 0;
    turnDeadline_ = SteadyMs() + 1000;
    TurnTick();
    if (turnMode_) turnTimer_.start(5);
}

void CLumacastCtrl::Private::TurnTick() {
    if (!turnMode_) return;
    const bool late = SteadyMs() >= turnDeadline_;
    if (turnPhase_ == 0) {
        // The source must wait at a group end with no request on its way,
        // or the turn would go with the group just asked for.
        const bool asked = requestOnItsWay_ || frameRequest_.isSet();
        if ((asked || words_.groupEnd.load() != 1) && !late) return;
        if (turnMode_ == kPlayTurn) {
            CancelTurn();
            ApplyMode(korvid::kPlay);
            return;
        }
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
    GST_DEBUG("turn done%s", again ? ": the same picture came back, one step more" : "");
    if (again) ApplyMode(mode);
}

void CLumacastCtrl::Private::CancelTurn() {
    turnTimer_.stop();
    turnMode_ = 0;
    turnBefore_ = QImage();
}
