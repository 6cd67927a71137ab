#include "playbackcontroller.h"

#include "logging.h"
#include "lumacastctrl.h"
#include "eventspans.h"
#include "korvidcommands.h"
#include "qmr3reader.h"
#include "setup.h"
#include "skinedit.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// How long a jump's time is trusted over the viewer's answer.
constexpr int kJumpSettleMs = 3000;

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

void CPlaybackController::setCurrentFile(const std::string& path) {
    currentFile_ = QByteArray::fromStdString(path);
    currentPath_ = QFile::decodeName(currentFile_);
}

bool CPlaybackController::openAndPlay(const QString& path) { return openFile(QFile::encodeName(path)); }

bool CPlaybackController::openFile(const QByteArray& file) {
    const QString path = QFile::decodeName(file);
    emit aboutToPlay();
    if (isPlaying()) {
        if (carryingOn_) {
            // Only the viewer is swapped: panel, slider and window stay as they are.
            positionTimer_.stop();
            parts_.viewer->StopService();
        } else {
            stop();
        }
    }
    eventShownAt_ = -1;
    CVideoLibrary::clearSizedThumbnails();

    qmr3::Qmr3Reader reader(1);
    qmr3::Qmr3FileHeader header;
    if (!reader.open(file.toStdString()) || !reader.readFileHeader(header)) {
        startOffset_ = 0;
        qCWarning(lcPlayback) << "cannot read the header of" << path;
        emit message(tr("The recording %1 cannot be read.").arg(QDir::toNativeSeparators(path)));
        return false;
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
    if (parts_.viewer->StartServiceBytes(file) != 0) {
        displayMode_ = 1;
        startOffset_ = 0;
        qCWarning(lcPlayback) << "the viewer cannot play" << path;
        // Said rather than passed over: nothing would show why nothing plays.
        emit message(tr("The recording %1 cannot be played.").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    qCDebug(lcPlayback) << "playing" << path << "from" << startOffset_ << "s";
    parts_.viewer->SetMDArea(kGridRows, kGridColumns);
    if (setup_ && setup_->motionArea) parts_.viewer->ShowMDArea();
    else parts_.viewer->HideMDArea();
    parts_.viewer->SeekToPlay();
    showPlaying(selected, known);
    return true;
}

void CPlaybackController::showPlaying(int file, bool known) {
    parts_.slider->setRange(0, known ? library_.length(file) : 0);
    parts_.slider->setRecording(known ? file : -1);
    showButtons({IDC_PLAY}, {});
    positionTimer_.start();
    state_ = State::Playing;
    winding_ = 0;
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
    jumpPending_ = false;
    eventShownAt_ = -1;
    pendingRate_ = 0;
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
    QString text = QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    // The kind of an event jumped to stays beside the time while its span plays.
    const bool inEvent = eventShownAt_ >= 0 && seconds >= eventShownAt_ && seconds <= eventShownEnd_;
    if (jumpPending_ && !inEvent && !jumpClock_.hasExpired(kJumpSettleMs)) return;
    jumpPending_ = false;
    if (inEvent) text += eventText_;
    else eventShownAt_ = -1;
    parts_.playTime->setText(text);
    emit positionChanged(seconds);
    // The viewer of a recording gone on into is settled: winding goes on.
    resumeWinding();
}

bool CPlaybackController::beginTransport(int id, std::initializer_list<int> on,
                                         std::initializer_list<int> released, State after) {
    if (!isPlaying()) {
        showButtons({}, {id});
        return false;
    }
    showButtons(on, released);
    state_ = after;
    // A winding still waiting from a carry-on gives way to the user's command.
    pendingRate_ = 0;
    return true;
}

void CPlaybackController::play() {
    if (startOffset_ > 0 && std::uint32_t(startOffset_) < rawLength_) {
        openFile(currentFile_);
        return;
    }
    if (startOffset_ != 0) {
        startOffset_ = 0;
        showButtons({}, {IDC_PLAY});
        emit message(tr("Invalid Start Position."));
        return;
    }
    if (beginTransport(IDC_PLAY, {IDC_PLAY}, {IDC_PAUSE, IDC_FF, IDC_REWIND}, State::Playing)) {
        winding_ = 0;
        parts_.viewer->SeekToPlay();
    }
}

void CPlaybackController::pause() {
    if (beginTransport(IDC_PAUSE, {IDC_PAUSE}, {IDC_REWIND, IDC_FF, IDC_PLAY}, State::Paused))
        parts_.viewer->SeekToPause();
}

void CPlaybackController::fastForward() {
    if (beginTransport(IDC_FF, {IDC_FF}, {IDC_REWIND, IDC_PLAY, IDC_PAUSE}, State::Playing)) {
        winding_ = 1;
        parts_.viewer->SeekToFF(0);
    }
}

void CPlaybackController::rewind() {
    if (beginTransport(IDC_REWIND, {IDC_REWIND}, {IDC_FF, IDC_PLAY, IDC_PAUSE}, State::Playing)) {
        winding_ = -1;
        parts_.viewer->SeekToRew(0);
    }
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
    if (resuming) openFile(currentFile_);
    playFromPosition(target);
    parts_.slider->clearTracking();
}

void CPlaybackController::playFromPosition(int target) {
    showButtons({IDC_PLAY}, {IDC_PAUSE, IDC_FF, IDC_REWIND});
    state_ = State::Playing;
    winding_ = 0;
    positionTimer_.stop();
    parts_.viewer->SetSpecificPos(target);
    parts_.viewer->SeekToPlay();
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
    setCurrentFile(library_.filePath(index));
    startOffset_ = 0;
    // With reading of event data switched off there are no clips to read; the file still plays.
    if (!library_.readVideoInfo(index) && library_.readEventData()) {
        currentFileIndex_ = -1;
        currentPath_.clear();
        currentFile_.clear();
        parts_.panel->clearSelection();
        qCWarning(lcLibrary) << "no clips or frame positions in" << library_.filePath(index).c_str();
        emit message(tr("The QMR3 file is corrupted!"));
        return;
    }
    parts_.panel->refresh();
    parts_.slider->setRecording(index);
    openFile(currentFile_);
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
    setCurrentFile(library_.filePath(0));
    openFile(currentFile_);
    parts_.panel->update();
}

void CPlaybackController::enterPreview(int file) {
    if (file < 0 || file >= library_.fileCount()) return;
    currentFileIndex_ = file;
    setCurrentFile(library_.filePath(file));
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
    setCurrentFile(library_.filePath(file));
    startOffset_ = offset;
    openFile(currentFile_);
    currentFileIndex_ = file;
    parts_.panel->update();
}

void CPlaybackController::mediaStopped() {
    qCDebug(lcPlayback) << "end of the recording";
    if (state_ == State::Playing && playOnEnabled()) {
        const bool backward = winding_ < 0;
        const int from = currentFileIndex_ >= 0 ? currentFileIndex_ : parts_.panel->selectedFile();
        const int next = followingRecording(library_, from, !backward);
        if (next >= 0 && carryOn(next, backward)) return;
    }
    stop();
    currentFileIndex_ = -1;
    parts_.panel->clearSelection();
    parts_.panel->update();
    emit mediaEnded();
}

bool CPlaybackController::suspend() {
    if (!isPlaying()) return false;
    currentFileIndex_ = parts_.panel->selectedFile();
    if (currentFileIndex_ >= 0) setCurrentFile(library_.filePath(currentFileIndex_));
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
    if (reopen) openFile(currentFile_);
    else seekToSlider();  // opens the file again at the start offset, then goes to the slider's position
    currentFileIndex_ = index;
}

bool CPlaybackController::playOnEnabled() const { return !setup_ || setup_->playOn != 0; }

bool CPlaybackController::takeFile(int file) {
    // Damaged recordings and those the filter hides end playback instead.
    if (file < 0 || file >= library_.fileCount() || library_.damaged(file) || !parts_.panel->isListed(file))
        return false;
    if (!library_.readVideoInfo(file) && library_.readEventData()) return false;
    if (!carryingOn_ && isPlaying()) stop();
    currentFileIndex_ = file;
    setCurrentFile(library_.filePath(file));
    parts_.panel->followPlayback(file);
    parts_.slider->setRecording(file);
    return true;
}

bool CPlaybackController::carryOn(int file, bool backward) {
    const int winding = winding_;
    const short rate = parts_.viewer->GetSkipRate();
    carryingOn_ = true;
    bool ok = takeFile(file);
    if (ok) {
        // Backwards it goes on from the last picture of the earlier recording.
        const auto& positions = library_.framePositions();
        // It starts a group before the last: started in the last one, the
        // source reaches the end before the winding can turn it round.
        const std::size_t from = positions.size() >= 2 ? positions.size() - 2 : 0;
        startOffset_ = backward && !positions.empty()
                           ? int(std::max<std::int64_t>(0, positions[from].time - library_.startTime(file)))
                           : 0;
        ok = openFile(currentFile_);
    }
    carryingOn_ = false;
    if (!ok) {
        // It cannot play: the window goes idle as at any other end.
        if (isPlaying()) halt(false);
        else state_ = State::Idle;
        return false;
    }
    qCDebug(lcPlayback) << "went on into" << currentPath_ << (backward ? "backwards" : "forwards");
    currentFileIndex_ = file;
    if (winding != 0) {
        showButtons({winding < 0 ? IDC_REWIND : IDC_FF},
                    {winding < 0 ? IDC_FF : IDC_REWIND, IDC_PLAY, IDC_PAUSE});
        winding_ = winding;
        // The winding goes on once the viewer shows a picture of the new
        // recording (resumeWinding): backwards, the renderer then has a group
        // to read back from, and the source waits at the file's last group end
        // for the turn.
        pendingRate_ = rate;
        windGeneration_ = generation_->load();
    }
    emit carriedOn(file);
    return true;
}

void CPlaybackController::playAt(int file, std::int64_t seconds) {
    if (file < 0 || file >= library_.fileCount()) return;
    if (!takeFile(file)) {
        if (file < library_.fileCount() && !library_.damaged(file) && parts_.panel->isListed(file))
            emit message(tr("The QMR3 file is corrupted!"));
        return;
    }
    startOffset_ =
        int(std::clamp<std::int64_t>(seconds - library_.startTime(file), 0, library_.length(file)));
    openFile(currentFile_);
    currentFileIndex_ = file;
}

bool CPlaybackController::nextEvent() { return jumpToEvent(true); }
bool CPlaybackController::previousEvent() { return jumpToEvent(false); }

bool CPlaybackController::jumpToEvent(bool forward) {
    if (!isPlaying() || currentFileIndex_ < 0) return false;
    const int here = currentFileIndex_;
    std::int64_t now = 0;
    // Until the picture of the last jump is on screen, that jump is where we are.
    if (eventShownAt_ >= 0 && jumpPending_) now = eventShownAt_;
    else if (!currentSeconds(now) || !heldByRecording(now)) now = forward ? fileStart_ - 1 : fileEnd_ + 1;
    // Backwards, the span just being played is not the one to go to.
    const std::int64_t before = jumpPending_ ? now : now - 1;

    int file = here;
    for (int hop = 0; file >= 0; ++hop) {
        if (hop > 0) {
            if (!playOnEnabled()) break;
            const int next = followingRecording(library_, file, forward);
            if (next < 0 || library_.damaged(next) || !parts_.panel->isListed(next)) break;
            file = next;
            if (!library_.readVideoInfo(file)) break;
        }
        const std::vector<EventSpan> spans = eventSpans(library_.events(), library_.framePositions());
        const EventSpan* found = nullptr;
        std::uint8_t kinds = 0;
        if (forward) {
            for (const EventSpan& span : spans)
                if (hop > 0 || span.start > now) {
                    found = &span;
                    break;
                }
        } else {
            for (auto it = spans.rbegin(); it != spans.rend(); ++it)
                if (hop > 0 || it->start < before) {
                    found = &*it;
                    break;
                }
        }
        if (!found) continue;
        const EventSpan span = *found;
        std::int64_t spanEnd = span.end;
        for (const EventSpan& other : spans)
            if (other.start == span.start) {
                kinds |= other.kind;
                spanEnd = std::max(spanEnd, other.end);
            }
        if (file != here) {
            // Swapped like a recording played on into: the window does not go idle.
            carryingOn_ = true;
            bool ok = takeFile(file);
            if (ok) {
                startOffset_ = int(std::max<std::int64_t>(0, span.start - library_.startTime(file)));
                ok = openFile(currentFile_);
            }
            carryingOn_ = false;
            if (!ok) {
                if (isPlaying()) halt(false);
                return false;
            }
            currentFileIndex_ = file;
            emit carriedOn(file);
        } else {
            playFromPosition(span.firstPosition);
        }
        showEventTime(span.start, spanEnd, kinds);
        return true;
    }
    // Nothing found: the catalogue goes back to the recording that plays.
    if (library_.selectedFile() != here) library_.readVideoInfo(here);
    return false;
}

void CPlaybackController::showEventTime(std::int64_t time, std::int64_t end, std::uint8_t kinds) {
    QStringList letters;
    for (std::uint8_t kind : {qmr3::kEventAlarm, qmr3::kEventEmergency, qmr3::kEventMotion, qmr3::kEventTime})
        if (kinds & kind) letters << QString(QLatin1Char(eventKindLetter(kind)));
    eventText_ = QStringLiteral("  ") + tr("Event %1").arg(letters.join(QLatin1Char(' ')));
    eventShownAt_ = time;
    eventShownEnd_ = end;
    jumpPending_ = true;
    jumpClock_.start();
    parts_.playTime->setText(
        QDateTime::fromSecsSinceEpoch(time).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) + eventText_);
    if (!parts_.slider->isTracking()) parts_.slider->setValue(int(time - fileStart_));
}

void CPlaybackController::resumeWinding() {
    if (pendingRate_ == 0 || windGeneration_ != generation_->load() || state_ != State::Playing) return;
    // Not before a picture of the new recording is on screen: turned while its
    // first group is still coming in, the renderer has no group to read
    // backwards and the groups read for the turn skip the end of the recording.
    if (parts_.viewer->CurrentPicture().isNull()) return;
    const short rate = short(pendingRate_);
    pendingRate_ = 0;
    if (winding_ < 0) parts_.viewer->SeekToRew(rate);
    else if (winding_ > 0) parts_.viewer->SeekToFF(rate);
}
