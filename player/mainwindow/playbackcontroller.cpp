#include "playbackcontroller.h"

#include "logging.h"
#include "lumacastctrl.h"
#include "korvidcommands.h"
#include "qmr3reader.h"
#include "setup.h"
#include "skinedit.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

bool validClock(short y, short mo, short d, short h, short mi, short s) {
    return y >= 1971 && y <= 2999 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h <= 24 &&
           mi >= 0 && mi <= 60 && s >= 0 && s <= 60;
}

// Place in the frame positions of the first one at least `seconds` after
// `start`; -1 when none is.
int firstPositionFrom(const CVideoLibrary& library, std::int64_t start, std::int64_t seconds) {
    const auto& positions = library.framePositions();
    for (std::size_t i = 0; i < positions.size(); ++i)
        if (positions[i].time - start >= seconds) return int(i);
    return -1;
}

}  // namespace

CPlaybackController::CPlaybackController(CVideoLibrary& library, const CSetup* setup, const Parts& parts,
                                         QObject* parent)
    : QObject(parent),
      library_(library),
      setup_(setup),
      parts_(parts),
      generation_(std::make_shared<std::atomic<int>>(0)) {
    positionTimer_.setObjectName(QStringLiteral("positionTimer"));
    positionTimer_.setInterval(kPositionPeriodMs);
    connect(&positionTimer_, &QTimer::timeout, this, &CPlaybackController::updatePosition);
    // The media stop thread emits; playback acts on it in its own thread, and
    // only for the start that is still current.
    connect(
        parts_.viewer, &CLumacastCtrl::OnMediaStop, this,
        [this, generation = generation_] {
            const int seen = generation->load();
            QMetaObject::invokeMethod(
                this,
                [this, generation, seen] {
                    if (generation->load() == seen && isPlaying()) mediaStopped();
                },
                Qt::QueuedConnection);
        },
        Qt::DirectConnection);
}

CPlaybackController::~CPlaybackController() { positionTimer_.stop(); }

int CPlaybackController::volumeForPosition(int position) {
    static const int table[11] = {-10000, -2500, -2000, -1800, -1600, -1300, -1100, -900, -700, -500, 0};
    return table[std::clamp(position, 0, 10)];
}

void CPlaybackController::setVolumePosition(int position) {
    volumePosition_ = position;
    parts_.viewer->SetAudioVolume(volumeForPosition(position));
}

void CPlaybackController::showButtons(std::initializer_list<int> on, std::initializer_list<int> released) {
    emit buttonsChanged(QList<int>(on), QList<int>(released));
}

void CPlaybackController::configureViewer(const qmr3::Qmr3FileHeader& header) {
    CLumacastCtrl* viewer = parts_.viewer;
    viewer->SetProductID(short(header.productId));
    viewer->SetVideoType(short(header.videoType));
    viewer->SetVideoInfo(short(header.frameRate), short(header.width), short(header.height),
                         short(header.gopMode), 0);
    viewer->EnableZoom(true);
    if (header.audioKind == 0xFF) viewer->SetADPCMTypeAudio();
    rawLength_ = header.length;
    pictureSize_ = QSize(header.width, header.height);
}

int CPlaybackController::startPosition(std::int64_t fileStart, std::uint32_t indexCount) const {
    if (startOffset_ == 0) return 0;
    const int first = firstPositionFrom(library_, fileStart, startOffset_);
    return first < 0 ? int(indexCount) : first;
}

void CPlaybackController::openAndPlay(const QString& path) {
    emit aboutToPlay();
    if (isPlaying()) stop();
    CVideoLibrary::clearSizedThumbnails();

    qmr3::Qmr3Reader reader(1);
    qmr3::Qmr3FileHeader header;
    if (!reader.open(QFile::encodeName(path).toStdString()) || !reader.readFileHeader(header)) {
        startOffset_ = 0;
        qCWarning(lcPlayback) << "cannot read the header of" << path;
        emit message(tr("The recording %1 cannot be read.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    reader.close();
    configureViewer(header);
    parts_.slider->setEnabled(true);
    parts_.slider->clearMarks();

    // The file being opened is the panel's selected one.
    const int selected = parts_.panel->selectedFile();
    const bool known = selected >= 0 && selected < library_.fileCount();
    fileStart_ = known ? library_.startTime(selected) : 0;
    fileEnd_ = known ? std::max(library_.endTime(selected), fileStart_ + std::int64_t(header.length)) : 0;
    parts_.viewer->SetStartPos(startPosition(fileStart_, header.indexCount));
    parts_.viewer->SetHeaderOption(header.headerOption);
    generation_->fetch_add(1);
    if (parts_.viewer->StartService(path) != 0) {
        displayMode_ = 1;
        startOffset_ = 0;
        qCWarning(lcPlayback) << "the viewer cannot play" << path;
        // Said rather than passed over: nothing would show why nothing plays.
        emit message(tr("The recording %1 cannot be played.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    qCDebug(lcPlayback) << "playing" << path << "from" << startOffset_ << "s";
    parts_.viewer->SetMDArea(kGridRows, kGridColumns);
    if (setup_ && setup_->motionArea) parts_.viewer->ShowMDArea();
    else parts_.viewer->HideMDArea();
    parts_.viewer->SeekToPlay();
    showPlaying(selected, known);
}

void CPlaybackController::showPlaying(int file, bool known) {
    parts_.slider->setRange(0, known ? library_.length(file) : 0);
    parts_.slider->setRecording(known ? file : -1);
    showButtons({IDC_PLAY}, {});
    positionTimer_.start();
    state_ = State::Playing;
    displayMode_ = 1;
    startOffset_ = 0;
    emit displayChanged();
    setVolumePosition(volumePosition_);
}

void CPlaybackController::stop() { halt(state_ == State::ResumePending); }

void CPlaybackController::halt(bool keepChoice) {
    if (isPlaying()) {
        positionTimer_.stop();
        parts_.viewer->StopService();
        qCDebug(lcPlayback) << "stopped";
    }
    if (!keepChoice) {
        state_ = State::Idle;
        parts_.panel->clearSelection();
        parts_.slider->setValue(0);
        parts_.slider->setRecording(-1);
    }
    parts_.slider->setEnabled(false);
    parts_.slider->update();
    showButtons({}, {IDC_PLAY, IDC_PAUSE, IDC_FF, IDC_REWIND, IDC_FRAME_NEXT, IDC_FRAME_BACK});
    parts_.playTime->setText(QString());
    displayMode_ = 0;
    emit displayChanged();
    currentFileIndex_ = -1;
}

bool CPlaybackController::currentSeconds(std::int64_t& seconds) {
    short y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    parts_.viewer->GetCurrTime(&y, &mo, &d, &h, &mi, &s);
    if (!validClock(y, mo, d, h, mi, s)) return false;
    seconds = qmr3::localCalendarToSeconds(y, mo, d, h, mi, s);
    return true;
}

bool CPlaybackController::heldByRecording(std::int64_t seconds) const {
    // While the source has no picture time (winding onto the start, between
    // groups) it answers with a stand-in date; that is no time of this file.
    return fileEnd_ == 0 || (seconds >= fileStart_ && seconds <= fileEnd_);
}

void CPlaybackController::updatePosition() {
    short y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    parts_.viewer->GetCurrTime(&y, &mo, &d, &h, &mi, &s);
    parts_.slider->update();
    if (!validClock(y, mo, d, h, mi, s)) return;
    const std::int64_t seconds = qmr3::localCalendarToSeconds(y, mo, d, h, mi, s);
    if (!heldByRecording(seconds)) {
        qCDebug(lcPlayback) << "position outside the recording ignored:" << y << mo << d << h << mi << s;
        return;
    }
    // A drag in progress owns the thumb.
    if (!parts_.slider->isTracking()) parts_.slider->setValue(int(seconds - fileStart_));
    parts_.playTime->setText(QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, s));
}

bool CPlaybackController::beginTransport(int id, std::initializer_list<int> on,
                                         std::initializer_list<int> released, State after) {
    if (!isPlaying()) {
        showButtons({}, {id});
        return false;
    }
    showButtons(on, released);
    state_ = after;
    return true;
}

void CPlaybackController::play() {
    if (startOffset_ > 0 && std::uint32_t(startOffset_) < rawLength_) {
        openAndPlay(currentPath_);
        return;
    }
    if (startOffset_ != 0) {
        startOffset_ = 0;
        showButtons({}, {IDC_PLAY});
        emit message(tr("Invalid Start Position."));
        return;
    }
    if (beginTransport(IDC_PLAY, {IDC_PLAY}, {IDC_PAUSE, IDC_FF, IDC_REWIND}, State::Playing))
        parts_.viewer->SeekToPlay();
}

void CPlaybackController::pause() {
    if (beginTransport(IDC_PAUSE, {IDC_PAUSE}, {IDC_REWIND, IDC_FF, IDC_PLAY}, State::Paused))
        parts_.viewer->SeekToPause();
}

void CPlaybackController::fastForward() {
    if (beginTransport(IDC_FF, {IDC_FF}, {IDC_REWIND, IDC_PLAY, IDC_PAUSE}, State::Playing))
        parts_.viewer->SeekToFF(0);
}

void CPlaybackController::rewind() {
    if (beginTransport(IDC_REWIND, {IDC_REWIND}, {IDC_FF, IDC_PLAY, IDC_PAUSE}, State::Playing))
        parts_.viewer->SeekToRew(0);
}

void CPlaybackController::frameForward() {
    if (beginTransport(IDC_FRAME_NEXT, {IDC_PAUSE}, {IDC_FRAME_NEXT, IDC_REWIND, IDC_FF, IDC_PLAY},
                       State::Paused))
        parts_.viewer->SeekToNextFrame();
}

void CPlaybackController::frameBack() {
    if (!beginTransport(IDC_FRAME_BACK, {IDC_PAUSE}, {IDC_FRAME_BACK, IDC_REWIND, IDC_FF, IDC_PLAY},
                        State::Paused))
        return;
    // Not within the first two seconds: there is no earlier picture to go to.
    std::int64_t now = 0;
    if (currentSeconds(now) && now - fileStart_ >= 2) parts_.viewer->SeekToPrevFrame();
}

void CPlaybackController::togglePlayPause() {
    if (!isPlaying()) return;
    if (isPaused()) play();
    else pause();
}

void CPlaybackController::holdForDrag() {
    if (isPlaying()) parts_.viewer->SeekToPause();
}

void CPlaybackController::seekToSlider() {
    const int s = parts_.slider->value();
    if (displayMode_ == 2) return;  // the preview pages seek by themselves
    const bool resuming = state_ == State::ResumePending;
    if (!isPlaying() && !resuming) {
        stop();
        parts_.slider->setValue(0);
        emit message(tr("Video file is not prepareed."));
        parts_.slider->clearTracking();
        return;
    }
    int target = firstPositionFrom(library_, fileStart_, s);
    // Past the last position the seek stays at the end rather than jumping back to the start.
    if (target < 0) target = std::max(0, library_.framePositionCount() - 1);
    if (resuming) openAndPlay(currentPath_);
    showButtons({IDC_PLAY}, {IDC_PAUSE, IDC_FF, IDC_REWIND});
    state_ = State::Playing;
    positionTimer_.stop();
    parts_.viewer->SetSpecificPos(target);
    parts_.viewer->SeekToPlay();
    parts_.slider->clearTracking();
    positionTimer_.start();
}

void CPlaybackController::playChosenFile(int index) {
    if (index < 0 || index >= library_.fileCount() || library_.damaged(index)) return;
    if (isPlaying()) {
        parts_.playTime->setText(tr("Playing Video.."));
        parts_.playTime->repaint();
        stop();
    }
    currentFileIndex_ = index;
    parts_.panel->markSelection(index);
    currentPath_ = QString::fromStdString(library_.filePath(index));
    startOffset_ = 0;
    // With reading of event data switched off there are no clips to read; the file still plays.
    if (!library_.readVideoInfo(index) && library_.readEventData()) {
        currentFileIndex_ = -1;
        currentPath_.clear();
        parts_.panel->clearSelection();
        qCWarning(lcLibrary) << "no clips or frame positions in" << library_.filePath(index).c_str();
        emit message(tr("The QMR3 file is corrupted!"));
        return;
    }
    parts_.panel->refresh();
    parts_.slider->setRecording(index);
    openAndPlay(currentPath_);
    currentFileIndex_ = index;
    parts_.panel->update();
}

void CPlaybackController::playFirstFile() {
    if (library_.fileCount() == 0) return;
    // The first file plays as far as it can, damaged or not.
    parts_.panel->markSelection(0);
    currentFileIndex_ = 0;
    startOffset_ = 0;
    library_.readVideoInfo(0);
    parts_.playTime->setText(tr("Playing Video.."));
    parts_.slider->setRecording(0);
    currentPath_ = QString::fromStdString(library_.filePath(0));
    openAndPlay(currentPath_);
    parts_.panel->update();
}

void CPlaybackController::enterPreview(int file) {
    if (file < 0 || file >= library_.fileCount()) return;
    currentFileIndex_ = file;
    currentPath_ = QString::fromStdString(library_.filePath(file));
    parts_.panel->markSelection(file);
    parts_.slider->setRange(0, library_.length(file));
    parts_.slider->setRecording(file);
    displayMode_ = 2;
    emit displayChanged();
}

void CPlaybackController::leavePreview() {
    if (displayMode_ != 2) return;
    displayMode_ = 0;
    emit displayChanged();
}

void CPlaybackController::playFromOffset(int file, int offset) {
    if (file < 0 || file >= library_.fileCount()) return;
    stop();
    currentFileIndex_ = file;
    parts_.panel->markSelection(file);
    parts_.playTime->setText(tr("Playing Video.."));
    parts_.playTime->repaint();
    parts_.slider->setRecording(file);
    currentPath_ = QString::fromStdString(library_.filePath(file));
    startOffset_ = offset;
    openAndPlay(currentPath_);
    currentFileIndex_ = file;
    parts_.panel->update();
}

void CPlaybackController::mediaStopped() {
    qCDebug(lcPlayback) << "end of the recording";
    stop();
    currentFileIndex_ = -1;
    parts_.panel->clearSelection();
    parts_.panel->update();
    emit mediaEnded();
}

bool CPlaybackController::suspend() {
    if (!isPlaying()) return false;
    currentFileIndex_ = parts_.panel->selectedFile();
    if (currentFileIndex_ >= 0) currentPath_ = QString::fromStdString(library_.filePath(currentFileIndex_));
    startOffset_ = parts_.slider->value();
    // The panel keeps its choice and the slider its place.
    halt(true);
    state_ = State::ResumePending;
    // The panel's choice is still the file to come back to.
    currentFileIndex_ = parts_.panel->selectedFile();
    return true;
}

void CPlaybackController::resume(bool reopen) {
    if (state_ != State::ResumePending) return;
    const int index = currentFileIndex_;
    if (reopen) openAndPlay(currentPath_);
    else seekToSlider();  // opens the file again at the start offset, then goes to the slider's position
    currentFileIndex_ = index;
}
