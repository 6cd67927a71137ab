// The dispatch methods and the window behaviour of the viewer control.
#include "lumacastprivate.h"
#include "screensaver.h"
#include "viewergeometry.h"

#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <chrono>

#define GST_CAT_DEFAULT lumacast_debug

namespace {

QByteArray Narrow(const QString& s) { return QFile::encodeName(s); }

short ShiftState(Qt::KeyboardModifiers m) {
    short s = 0;
    if (m & Qt::ShiftModifier) s |= 1;
    if (m & Qt::ControlModifier) s |= 2;
    if (m & Qt::AltModifier) s |= 4;
    return s;
}

short ButtonCode(Qt::MouseButtons b) {
    short s = 0;
    if (b & Qt::LeftButton) s |= 1;
    if (b & Qt::RightButton) s |= 2;
    if (b & Qt::MiddleButton) s |= 4;
    return s;
}

}  // namespace

CLumacastCtrl::CLumacastCtrl(QWidget* parent) : QWidget(parent), d_(std::make_unique<Private>(this)) {
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    d_->windowSize_ = size();
    connect(&d_->turnTimer_, &QTimer::timeout, this, [this] { d_->TurnTick(); });
    d_->dragTimer_.setSingleShot(true);
    d_->dragTimer_.setObjectName(QStringLiteral("1200"));
    connect(&d_->dragTimer_, &QTimer::timeout, this, [this] {
        if (!d_->dragging_) return;
        // Keep the drag while the cursor is over the window, else cancel it.
        if (rect().contains(mapFromGlobal(QCursor::pos()))) {
            d_->dragTimer_.start(500);
            return;
        }
        d_->dragging_ = false;
        if (IPexaroControl* pex = d_->Pex()) pex->SetBandRect(0, 0, 0, 0);
    });
}

CLumacastCtrl::~CLumacastCtrl() {
    // The renderer presents to d_ until the pipeline is gone.
    d_->TearDownGraph();
    d_->StopThreads();
}

bool CLumacastCtrl::HasPipeline() const { return d_->pipeline_ != nullptr; }
bool CLumacastCtrl::HasAudioBranch() const { return d_->volume_ != nullptr; }
QColor CLumacastCtrl::BackgroundColor() const { return d_->background_; }

QImage CLumacastCtrl::CurrentPicture() const {
    std::lock_guard<std::mutex> lock(d_->presentLock_);
    return d_->picture_;
}

// 1
qint32 CLumacastCtrl::SetConnectFileName(const QString& filename) {
    d_->fileName_ = Narrow(filename).toStdString();
    d_->Pause();
    return 0;
}

// 2
qint32 CLumacastCtrl::SetPlayMode(short playmode) {
    if (d_->fileName_.empty() || playmode < 0 || playmode > 6) return -1;
    // The answer judges the request; a mode the pipeline cannot take leaves it as it was.
    d_->SetMode(playmode);
    return 0;
}

// 3
qint32 CLumacastCtrl::StartService(const QString& filePath) { return StartServiceBytes(Narrow(filePath)); }

qint32 CLumacastCtrl::StartServiceBytes(const QByteArray& filePath) {
    const std::string path = filePath.toStdString();
    GST_INFO("StartService \"%s\"", path.c_str());
    // A graph built by SetConnectFileName for this file is reused and run;
    // any other graph (a file still playing) is closed first.
    const bool reuse = d_->pipeline_ && path == d_->fileName_ && !d_->frameThread_.joinable();
    if (d_->pipeline_ && !reuse) d_->TearDownGraph();
    d_->flipForBuild_ = d_->flipRequest_ != 0;
    d_->flipRequest_ = 0;
    d_->fileName_ = path;
    d_->playMode_ = korvid::kPlay;
    d_->words_.pictureIndex = 0;
    d_->mediaStop_.reset();
    d_->StartThreads();
    const std::int32_t hr = d_->Play();
    if (hr < 0 || (hr != 0 && !d_->pipeline_)) {
        d_->playMode_ = korvid::kStop;
        d_->StopThreads();
        d_->TearDownGraph();
        d_->frameRequest_.reset();
        d_->mediaStop_.reset();
        GST_WARNING("cannot play \"%s\" (0x%08x)", path.c_str(), unsigned(hr));
        return hr == -1 ? -1 : -2;
    }
    return 0;
}

// 4
void CLumacastCtrl::StopService() {
    GST_INFO("StopService");
    d_->CancelTurn();
    d_->TearDownGraph();
    d_->kindOfFile_ = 0;
    d_->productId_ = 0;
}

// 5
void CLumacastCtrl::SeekToPlay() {
    d_->previousDirection_ = d_->direction_;
    d_->direction_ = 0;
    d_->words_.skipRate = 1;
    d_->PlayForward();
}

// 6
void CLumacastCtrl::SeekToPause() { d_->SetMode(korvid::kPause); }

// 7
void CLumacastCtrl::SetStartPos(qint32 offset) { d_->startPos_ = offset; }

// 8
void CLumacastCtrl::ShowOSD() {
    if (!d_->pipeline_) return;
    if (IPexaroControl* pex = d_->Pex()) pex->ShowOSD();
}

// 9
void CLumacastCtrl::AddOSD(short num, const QString& text, short posX, short posY, short align,
                           const QString& fontName, short fontSize, short colorR, short colorG,
                           short colorB) {
    if (!d_->pipeline_) return;
    if (IPexaroControl* pex = d_->Pex())
        pex->AddOSD(num, text.toUtf8().constData(), posX, posY, align, fontName.toUtf8().constData(),
                    fontSize, colorR, colorG, colorB);
}

// 10
bool CLumacastCtrl::GetCurrTime(short* year, short* month, short* day, short* hour, short* minute,
                                short* second) {
    if (!d_->HaveSource()) return false;
    korvid::IHexmoorControl* hex = d_->Hex();
    if (!hex) return false;
    std::uint16_t v[6] = {};
    hex->GetCurrTime(&v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    short* out[6] = {year, month, day, hour, minute, second};
    for (int i = 0; i < 6; ++i)
        if (out[i]) *out[i] = short(v[i]);
    return true;
}

// 11, 12
void CLumacastCtrl::SeekToNextFrame() {
    const int mode = d_->playMode_;
    if (d_->words_.skipRate > 2 && (mode == korvid::kFastForward || mode == korvid::kRewind)) {
        // Two extra steps let a fast batch in progress end before the single step.
        for (int i = 0; i < 2; ++i) {
            d_->SetMode(korvid::kNextPicture);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }
    d_->words_.skipRate = 1;
    d_->Step(korvid::kNextPicture);
}

void CLumacastCtrl::SeekToPrevFrame() {
    const int mode = d_->playMode_;
    if (d_->words_.skipRate > 2 && (mode == korvid::kFastForward || mode == korvid::kRewind)) {
        for (int i = 0; i < 2; ++i) {
            d_->SetMode(korvid::kPreviousPicture);
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }
    d_->words_.skipRate = 1;
    d_->Step(korvid::kPreviousPicture);
}

// 13
void CLumacastCtrl::SeekToRew(short rate) {
    d_->previousDirection_ = d_->direction_;
    d_->direction_ = 1;
    if (rate != 0) {
        d_->words_.skipRate = rate;
    } else {
        if (d_->previousDirection_ != 1) d_->words_.skipRate = 1;
        d_->words_.skipRate = lumacast::NextRewindRate(d_->words_.skipRate);
    }
    d_->SetMode(korvid::kRewind);
}

// 14
void CLumacastCtrl::SeekToFF(short rate) {
    d_->previousDirection_ = d_->direction_;
    d_->direction_ = 0;
    if (rate != 0) {
        d_->words_.skipRate = rate;
    } else {
        if (d_->previousDirection_ == 1) d_->words_.skipRate = 1;
        d_->words_.skipRate = lumacast::NextForwardRate(d_->words_.skipRate);
    }
    d_->SetMode(korvid::kFastForward);
}

// 15
short CLumacastCtrl::GetSkipRate() { return short(d_->words_.skipRate.load()); }

// 16
void CLumacastCtrl::SetVideoInfo(short frameRate, short width, short height, short isGopMode,
                                 short isBPictureSupport) {
    const int a = d_->kindOfFile_ == 1 ? 30 : frameRate + 1;
    lumacast::RateForVideoInfo(a, d_->videoType_, d_->frameRateValue_, d_->rateCode_);
    d_->height_ = height;
    d_->width_ = width;
    d_->gopMode_ = isGopMode;
    d_->bPicture_ = isBPictureSupport;
    d_->headerSelector_ = d_->productId_ & 3;
    const bool small = height < 480 || width < 704 || (d_->productId_ & 8);
    d_->deinterlaceOn_ = !small;
    d_->deinterlace_ = 1;
    GST_INFO("video info: rate index %d -> %d pictures/s, rate code %d (type %d); %dx%d, GOP mode %d%s",
             frameRate, d_->frameRateValue_, d_->rateCode_, d_->videoType_, width, height, isGopMode,
             small ? "" : ", deinterlaced");
}

// 17
void CLumacastCtrl::EnableZoom(bool enableZoom) {
    if (!d_->pipeline_) return;
    if (IPexaroControl* pex = d_->Pex()) pex->SetStretch(enableZoom ? 1 : 0);
}

// 18
void CLumacastCtrl::SetADPCMTypeAudio() { d_->adpcm_ = 1; }

// 19..22
short CLumacastCtrl::SetTemporaryFlag1(short flag) {
    if (!d_->pipeline_) return -1;
    IPexaroControl* pex = d_->Pex();
    if (!pex) return -1;
    return pex->SetTemporaryFlag1(flag) == 0 ? 0 : -1;
}
short CLumacastCtrl::SetTemporaryFlag2(short) { return 0; }
short CLumacastCtrl::SetTemporaryFlag3(short) { return 0; }
short CLumacastCtrl::SetTemporaryFlag4(short) { return 0; }

// 23
qint32 CLumacastCtrl::SnapShot(const QString& filename) {
    if (!d_->pipeline_) return -1;
    IPexaroControl* pex = d_->Pex();
    if (!pex) return -1;
    // -1 when no file was written, so a host never reports a picture that is not there.
    return pex->SnapShot(Narrow(filename).constData()) == 0 ? 0 : -1;
}

// 24
bool CLumacastCtrl::SetSpecificPos(qint32 offset) {
    if (!d_->HaveSource()) return false;
    korvid::IHexmoorControl* hex = d_->Hex();
    if (!hex) return false;
    hex->SetStartPos(offset);
    GST_INFO("position set to %d", offset);
    IPexaroControl* pex = d_->Pex();
    if (!pex) return false;
    pex->Sync();
    return true;
}

// 25..27
short CLumacastCtrl::SetPacketHeaderMagicCode(short, short, short) { return 0; }
void CLumacastCtrl::SetProductID(short productId) { d_->productId_ = productId; }
void CLumacastCtrl::SetVideoFlipOn(short isFlipOn) { d_->flipRequest_ = isFlipOn; }

// 28
void CLumacastCtrl::SetMDArea(short rows, short cols) {
    if (!d_->pipeline_) return;
    korvid::IHexmoorControl* hex = d_->Hex();
    IPexaroControl* pex = d_->Pex();
    if (!hex || !pex || rows <= 0 || cols <= 0) return;
    d_->mdRows_ = rows;
    d_->mdCols_ = cols;
    hex->ClearMotionMapTarget();
    // The source always writes a whole map, whatever grid was asked for.
    const std::size_t needed = std::max<std::size_t>(std::size_t(rows) * cols, korvid::kMotionMapCells);
    if (needed > d_->mdCapacity_) {
        // Buffers the renderer may still read stay alive until the close.
        if (d_->mdCells_) d_->mdRetired_.push_back(std::move(d_->mdCells_));
        if (d_->mdHitCells_) d_->mdRetired_.push_back(std::move(d_->mdHitCells_));
        d_->mdCells_ = std::make_unique<korvid::SharedByte[]>(needed);
        d_->mdHitCells_ = std::make_unique<korvid::SharedByte[]>(needed);
        d_->mdCapacity_ = needed;
    }
    for (std::size_t i = 0; i < d_->mdCapacity_; ++i) {
        d_->mdCells_[i] = 0;
        d_->mdHitCells_[i] = 0;
    }
    hex->SetMotionMapTarget(&d_->words_.motionFlag, d_->mdCells_.get());
    pex->SetMDArea(&d_->words_.motionFlag, rows, cols, d_->mdCells_.get(), d_->mdHitCells_.get());
}

// 29
void CLumacastCtrl::ShowMDArea() {
    if (!d_->pipeline_) return;
    korvid::IHexmoorControl* hex = d_->Hex();
    IPexaroControl* pex = d_->Pex();
    if (!hex || !pex) return;
    for (std::size_t i = 0; i < d_->mdCapacity_; ++i) {
        d_->mdCells_[i] = 0;
        d_->mdHitCells_[i] = 0;
    }
    pex->ShowMDArea();
    hex->EnableMotionMap();
    d_->mdShown_ = true;
}

// 30
void CLumacastCtrl::HideMDArea() {
    if (!d_->pipeline_) return;
    korvid::IHexmoorControl* hex = d_->Hex();
    IPexaroControl* pex = d_->Pex();
    if (!hex || !pex) return;
    pex->HideMDArea();
    d_->mdShown_ = false;
    for (std::size_t i = 0; i < d_->mdCapacity_; ++i) {
        d_->mdCells_[i] = 0;
        d_->mdHitCells_[i] = 0;
    }
}

// 31
qint32 CLumacastCtrl::SnapShotRawData(const QString& filename) {
    if (!d_->pipeline_) return -1;
    IPexaroControl* pex = d_->Pex();
    if (!pex) return -1;
    return pex->SnapShotRawData(Narrow(filename).constData()) == 0 ? 0 : -1;
}

// 32
void CLumacastCtrl::SetVideoType(short videoType) { d_->videoType_ = videoType; }

// 33
qint32 CLumacastCtrl::SetAudioVolume(qint32 volumeValue) {
    if (!d_->pipeline_ || volumeValue > 0 || volumeValue < -10000) return -1;
    if (!d_->volume_) return -1;  // no audio branch
    g_object_set(d_->volume_, "volume", lumacast::VolumeFactor(volumeValue), nullptr);
    return 0;
}

// 34
bool CLumacastCtrl::Get3DimensionValue(qint32* x, qint32* y, qint32* z) {
    if (!d_->HaveSource() || d_->productId_ != 2) return false;
    korvid::IHexmoorControl* hex = d_->Hex();
    if (!hex) return false;
    std::int32_t v[3] = {};
    hex->Get3DimensionValue(&v[0], &v[1], &v[2]);
    if (x) *x = v[0];
    if (y) *y = v[1];
    if (z) *z = v[2];
    return true;
}

// 35
bool CLumacastCtrl::GetGpsInformation(qint32* latitude, qint32* longitude) {
    if (!d_->HaveSource()) return false;
    korvid::IHexmoorControl* hex = d_->Hex();
    if (!hex) return false;
    std::uint16_t lat[4] = {}, lon[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (latitude) latitude[i] = 0;
        if (longitude) longitude[i] = 0;
    }
    hex->GetGpsInformation(lat, lon);
    for (int i = 0; i < 4; ++i) {
        if (latitude) latitude[i] = lat[i];
        if (longitude) longitude[i] = lon[i];
    }
    return true;
}

// 36
bool CLumacastCtrl::GetSpeedInformation(qint32* speed) {
    if (!d_->HaveSource()) return false;
    korvid::IHexmoorControl* hex = d_->Hex();
    if (!hex) return false;
    std::int32_t v = 0;
    hex->GetSpeedInformation(&v);
    if (speed) *speed = v;
    return true;
}

// 37
void CLumacastCtrl::SetHeaderOption(qint32 headerOption) { d_->headerOption_ = std::int16_t(headerOption); }

// 38
bool CLumacastCtrl::SetBackGroundImagePath(const QString& path) {
    QImage picture;
    if (path.isEmpty() || !picture.load(path)) {
        d_->backgroundPicture_ = QImage();
        update();
        return false;
    }
    d_->backgroundPicture_ = picture;
    update();
    return true;
}

// 39
void CLumacastCtrl::SetBKColor(short r, short g, short b) {
    d_->background_ = QColor(r & 0xFF, g & 0xFF, b & 0xFF);
    update();
}

// 40
double CLumacastCtrl::GetFrameIndex() {
    if (!d_->HaveSource()) return 0.0;
    korvid::IHexmoorControl* hex = d_->Hex();
    if (!hex) return 0.0;
    std::int32_t v = 0;
    hex->GetFrameIndex(&v);
    return double(std::uint32_t(v));
}

// 41
void CLumacastCtrl::SetKindOfFile(short kindOfFile) { d_->kindOfFile_ = kindOfFile; }

void CLumacastCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (d_->pipeline_) {
        QImage picture;
        QRect source, destination;
        {
            std::lock_guard<std::mutex> lock(d_->presentLock_);
            picture = d_->picture_;
            source = d_->pictureSource_;
            destination = d_->pictureDestination_;
        }
        p.fillRect(rect(), Qt::black);
        if (!picture.isNull()) p.drawImage(destination, picture, source);
        return;
    }
    p.fillRect(rect(), d_->background_);
    const QImage& bg = d_->backgroundPicture_;
    if (bg.isNull()) return;
    const lumacast::Box b = lumacast::BackgroundPlacement(bg.width(), bg.height(), width(), height());
    p.drawImage(QRect(b.left, b.top, b.right - b.left, b.bottom - b.top), bg);
}

void CLumacastCtrl::resizeEvent(QResizeEvent* event) {
    {
        std::lock_guard<std::mutex> lock(d_->presentLock_);
        d_->windowSize_ = size();
    }
    // Let the renderer lay the current picture out for the new size.
    if (d_->pipeline_)
        if (IPexaroControl* pex = d_->Pex()) pex->Repaint();
    QWidget::resizeEvent(event);
}

void CLumacastCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    if (event->button() == Qt::LeftButton && d_->pipeline_) {
        if (IPexaroControl* pex = d_->Pex()) {
            if (pex->IsZoomed()) pex->SetZoomRect(0, 0, 0, 0);
            d_->dragging_ = true;
            d_->dragTimer_.start(30);
            const int cw = std::max(1, width()), ch = std::max(1, height());
            d_->scaleX_ = float(d_->width_) / cw;
            d_->scaleY_ = float(d_->height_) / ch;
            d_->dragStart_ = QPoint(int(pt.x() * d_->scaleX_), int(pt.y() * d_->scaleY_));
            d_->dragCurrent_ = d_->dragStart_;
            d_->limitRight_ = int(d_->width_ + d_->scaleX_);
            d_->limitBottom_ = int(d_->height_ + d_->scaleY_);
        }
    }
    if (event->button() == Qt::RightButton) {
        d_->rightPress_ = pt;
        d_->rightPressed_ = true;
    }
    emit MouseDown(ButtonCode(event->button()), ShiftState(event->modifiers()), pt.x(), pt.y());
}

void CLumacastCtrl::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    if (d_->dragging_) {
        d_->dragCurrent_ = QPoint(int(pt.x() * d_->scaleX_), int(pt.y() * d_->scaleY_));
        const lumacast::Box b = lumacast::ZoomDragBox(d_->dragStart_.x(), d_->dragStart_.y(),
                                                      d_->dragCurrent_.x(), d_->dragCurrent_.y(), d_->width_,
                                                      d_->height_, d_->limitRight_, d_->limitBottom_);
        if (IPexaroControl* pex = d_->Pex()) pex->SetBandRect(b.top, b.left, b.bottom, b.right);
    }
    emit MouseMove(ButtonCode(event->buttons()), ShiftState(event->modifiers()), pt.x(), pt.y());
}

void CLumacastCtrl::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pt = event->position().toPoint();
    if (event->button() == Qt::LeftButton && d_->dragging_) {
        d_->dragCurrent_ = QPoint(int(pt.x() * d_->scaleX_), int(pt.y() * d_->scaleY_));
        if (IPexaroControl* pex = d_->Pex()) {
            const QPoint s = d_->dragStart_, c = d_->dragCurrent_;
            if (s.x() == c.x() || s.y() == c.y()) {
                pex->SetZoomRect(0, 0, 0, 0);  // a click, not a drag
            } else {
                lumacast::Box b = lumacast::ZoomDragBox(s.x(), s.y(), c.x(), c.y(), d_->width_, d_->height_,
                                                        d_->limitRight_, d_->limitBottom_);
                b.right = std::min<int>(b.right, d_->width_);
                b.bottom = std::min<int>(b.bottom, d_->height_);
                pex->SetZoomRect(b.top, b.left, b.bottom, b.right);
            }
            pex->SetBandRect(0, 0, 0, 0);
        }
        d_->dragging_ = false;
        d_->dragTimer_.stop();
    }
    if (event->button() == Qt::RightButton && d_->rightPressed_) {
        d_->rightPressed_ = false;
        const QPoint g = mapToGlobal(d_->rightPress_);
        emit ViewerContextMenu(short(g.x()), short(g.y()));
    }
    emit MouseUp(ButtonCode(event->button()), ShiftState(event->modifiers()), pt.x(), pt.y());
    if (rect().contains(pt)) emit Click();
}

void CLumacastCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && d_->pipeline_)
        if (IPexaroControl* pex = d_->Pex()) pex->SetZoomRect(0, 0, 0, 0);
    emit DblClick();
}

void CLumacastCtrl::keyPressEvent(QKeyEvent* event) {
    short code = short(event->key() & 0xFFFF);
    emit KeyDown(&code, ShiftState(event->modifiers()));
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() < 0x8000) {
        short ascii = short(text.at(0).unicode());
        emit KeyPress(&ascii);
    }
    QWidget::keyPressEvent(event);
}

void CLumacastCtrl::keyReleaseEvent(QKeyEvent* event) {
    short code = short(event->key() & 0xFFFF);
    emit KeyUp(&code, ShiftState(event->modifiers()));
    QWidget::keyReleaseEvent(event);
}
