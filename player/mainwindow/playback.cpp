// Playback navigation of the main window: handing a recording to the viewer,
// the transport commands, the position slider and the full-screen view.
#include "korvidappdlg.h"

#include "lumacastctrl.h"
#include "qmr3reader.h"
#include "setup.h"
#include "skinbutton.h"
#include "skinedit.h"
#include "thumbnailctrl.h"
#include "videolibrary.h"
#include "videoplayslider.h"
#include "xsliderctrl.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace {

// The viewer's motion grid: 16 rows by 16 columns.
constexpr short kGridRows = 16;
constexpr short kGridColumns = 16;

bool validClock(short y, short mo, short d, short h, short mi, short s)
{
    return y >= 1971 && y <= 2999 && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h >= 0 && h <= 24 && mi >= 0 &&
           mi <= 60 && s >= 0 && s <= 60;
}

// Place in the frame positions of the first one at least `seconds` after
// `start`; -1 when none is.
int firstPositionFrom(const CVideoLibrary& library, std::int64_t start, std::int64_t seconds)
{
    const auto& positions = library.framePositions();
    for (std::size_t i = 0; i < positions.size(); ++i)
        if (positions[i].time - start >= seconds) return int(i);
    return -1;
}

}  // namespace

int CKorvidAppDlg::volumeForPosition(int position)
{
    static const int table[11] = {-10000, -2500, -2000, -1800, -1600, -1300, -1100, -900, -700, -500, 0};
    return table[std::clamp(position, 0, 10)];
}

void CKorvidAppDlg::applyVolume()
{
    viewer_->SetAudioVolume(volumeForPosition(volumeSlider_->value()));
}

void CKorvidAppDlg::setButtonsOn(std::initializer_list<int> on, std::initializer_list<int> released)
{
    // A button shows its second set ("on") while it is not active.
    for (int id : on)
        if (CSkinButton* b = button(id)) b->setActive(false);
    for (int id : released)
        if (CSkinButton* b = button(id)) b->setActive(true);
}

void CKorvidAppDlg::placeViewer()
{
    if (displayMode_ != 1) {
        viewer_->setGeometry(0, 0, 0, 0);
        viewer_->hide();
        return;
    }
    QRect r = videoArea_;
    if (fullScreen_) {
        r = rect();
    } else if (ownSize_ && nativeRect_.isValid()) {
        // Own size, centred; a picture larger than the area is shrunk to fit it.
        QSize s = nativeRect_.size();
        if (s.width() > videoArea_.width() || s.height() > videoArea_.height())
            s.scale(videoArea_.size(), Qt::KeepAspectRatio);
        r = QRect(QPoint(0, 0), s);
        r.moveCenter(videoArea_.center());
    }
    viewer_->setGeometry(r);
    viewer_->show();
    viewer_->raise();
}

void CKorvidAppDlg::openAndPlay(const QString& path)
{
    CVideoLibrary& library = theVideoLibrary();
    if (playing_) stopPlayback();
    CVideoLibrary::clearSizedThumbnails();

    qmr3::Qmr3Reader reader(1);
    qmr3::Qmr3FileHeader header;
    if (!reader.open(QFile::encodeName(path).toStdString()) || !reader.readFileHeader(header)) {
        startOffset_ = 0;
        showMessage(tr("The recording %1 cannot be read.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    reader.close();
    viewer_->hide();
    viewer_->setGeometry(0, 0, 0, 0);

    viewer_->SetProductID(short(header.productId));
    viewer_->SetVideoType(short(header.videoType));
    viewer_->SetVideoInfo(short(header.frameRate), short(header.width), short(header.height), short(header.gopMode),
                          0);
    viewer_->EnableZoom(true);
    if (header.audioKind == 0xFF) viewer_->SetADPCMTypeAudio();
    rawLength_ = header.length;

    nativeRect_ = QRect(0, 0, header.width, header.height);
    nativeRect_.moveCenter(videoArea_.center());
    ownSize_ = false;
    playSlider_->setEnabled(true);
    playSlider_->clearMarks();

    // The file being opened is the panel's selected one.
    const int selected = thumb_->selectedFile();
    const bool known = selected >= 0 && selected < library.fileCount();
    const std::int64_t start = known ? library.startTime(selected) : 0;
    int startPos = 0;
    if (startOffset_ != 0) {
        startPos = firstPositionFrom(library, start, startOffset_);
        if (startPos < 0) startPos = int(header.indexCount);
    }
    viewer_->SetStartPos(startPos);
    viewer_->SetHeaderOption(header.headerOption);
    playGeneration_->fetch_add(1);
    if (viewer_->StartService(path) != 0) {
        displayMode_ = 1;
        startOffset_ = 0;
        // Said rather than passed over: nothing would show why nothing plays.
        showMessage(tr("The recording %1 cannot be played.").arg(QDir::toNativeSeparators(path)));
        return;
    }
    viewer_->SetMDArea(kGridRows, kGridColumns);
    if (setup_ && setup_->motionArea) viewer_->ShowMDArea();
    else viewer_->HideMDArea();
    viewer_->SeekToPlay();

    playSlider_->setRange(0, known ? library.length(selected) : 0);
    playSlider_->setRecording(known ? selected : -1);
    setButtonsOn({IDC_PLAY}, {});
    paused_ = false;
    fileStart_ = start;
    timer500_.start(500);
    playing_ = 1;
    resumePending_ = 0;
    displayMode_ = 1;
    startOffset_ = 0;
    placeViewer();
    applyVolume();
}

void CKorvidAppDlg::stopPlayback()
{
    if (playing_) {
        timer500_.stop();
        viewer_->StopService();
    }
    playing_ = 0;
    paused_ = false;
    if (!resumePending_) {
        thumb_->clearSelection();
        playSlider_->setValue(0);
        playSlider_->setRecording(-1);
    }
    playSlider_->setEnabled(false);
    playSlider_->update();
    setButtonsOn({}, {IDC_PLAY, IDC_PAUSE, IDC_FF, IDC_REWIND, IDC_FRAME_NEXT, IDC_FRAME_BACK});
    playTime_->setText(QString());
    displayMode_ = 0;
    ownSize_ = false;
    placeViewer();
    currentFileIndex_ = -1;
}

bool CKorvidAppDlg::currentSeconds(std::int64_t& seconds)
{
    short y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    viewer_->GetCurrTime(&y, &mo, &d, &h, &mi, &s);
    if (!validClock(y, mo, d, h, mi, s)) return false;
    seconds = qmr3::localCalendarToSeconds(y, mo, d, h, mi, s);
    return true;
}

void CKorvidAppDlg::updatePosition()
{
    short y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    viewer_->GetCurrTime(&y, &mo, &d, &h, &mi, &s);
    playSlider_->update();
    if (!validClock(y, mo, d, h, mi, s)) return;
    // A drag in progress owns the thumb.
    if (!playSlider_->isTracking())
        playSlider_->setValue(int(qmr3::localCalendarToSeconds(y, mo, d, h, mi, s) - fileStart_));
    playTime_->setText(QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", y, mo, d, h, mi, s));
}

void CKorvidAppDlg::play()
{
    if (startOffset_ > 0 && std::uint32_t(startOffset_) < rawLength_) {
        openAndPlay(currentPath_);
        return;
    }
    if (startOffset_ != 0) {
        startOffset_ = 0;
        setButtonsOn({}, {IDC_PLAY});
        showMessage(tr("Invalid Start Position."));
        return;
    }
    if (beginTransport(IDC_PLAY, {IDC_PLAY}, {IDC_PAUSE, IDC_FF, IDC_REWIND}, false)) viewer_->SeekToPlay();
}

bool CKorvidAppDlg::beginTransport(int id, std::initializer_list<int> on, std::initializer_list<int> released,
                                   bool pausedAfter)
{
    if (!playing_) {
        setButtonsOn({}, {id});
        return false;
    }
    setButtonsOn(on, released);
    paused_ = pausedAfter;
    return true;
}

void CKorvidAppDlg::pause()
{
    if (beginTransport(IDC_PAUSE, {IDC_PAUSE}, {IDC_REWIND, IDC_FF, IDC_PLAY}, true)) viewer_->SeekToPause();
}

void CKorvidAppDlg::fastForward()
{
    if (beginTransport(IDC_FF, {IDC_FF}, {IDC_REWIND, IDC_PLAY, IDC_PAUSE}, false)) viewer_->SeekToFF(0);
}

void CKorvidAppDlg::rewind()
{
    if (beginTransport(IDC_REWIND, {IDC_REWIND}, {IDC_FF, IDC_PLAY, IDC_PAUSE}, false)) viewer_->SeekToRew(0);
}

void CKorvidAppDlg::frameForward()
{
    if (beginTransport(IDC_FRAME_NEXT, {IDC_PAUSE}, {IDC_FRAME_NEXT, IDC_REWIND, IDC_FF, IDC_PLAY}, true))
        viewer_->SeekToNextFrame();
}

void CKorvidAppDlg::frameBack()
{
    if (!beginTransport(IDC_FRAME_BACK, {IDC_PAUSE}, {IDC_FRAME_BACK, IDC_REWIND, IDC_FF, IDC_PLAY}, true)) return;
    // Not within the first two seconds: there is no earlier picture to go to.
    std::int64_t now = 0;
    if (currentSeconds(now) && now - fileStart_ >= 2) viewer_->SeekToPrevFrame();
}

void CKorvidAppDlg::togglePlayPause()
{
    if (!playing_) return;
    if (paused_) play();
    else pause();
}

void CKorvidAppDlg::seekToSlider()
{
    const int s = playSlider_->value();
    if (displayMode_ == 2) return;  // the preview pages seek by themselves
    if (!playing_) {
        stopPlayback();
        playSlider_->setValue(0);
        showMessage(tr("Video file is not prepareed."));
        playSlider_->clearTracking();
        return;
    }
    const CVideoLibrary& library = theVideoLibrary();
    int target = firstPositionFrom(library, fileStart_, s);
    // Past the last position the seek stays at the end rather than jumping back to the start.
    if (target < 0) target = std::max(0, library.framePositionCount() - 1);
    if (resumePending_) openAndPlay(currentPath_);
    setButtonsOn({IDC_PLAY}, {IDC_PAUSE, IDC_FF, IDC_REWIND});
    paused_ = false;
    timer500_.stop();
    viewer_->SetSpecificPos(target);
    viewer_->SeekToPlay();
    playSlider_->clearTracking();
    timer500_.start(500);
}

void CKorvidAppDlg::playChosenFile(int index)
{
    CVideoLibrary& library = theVideoLibrary();
    if (index < 0 || index >= library.fileCount() || library.damaged(index)) return;
    if (playing_) {
        playTime_->setText(tr("Playing Video.."));
        playTime_->repaint();
        stopPlayback();
    }
    currentFileIndex_ = index;
    thumb_->markSelection(index);
    currentPath_ = QString::fromStdString(library.filePath(index));
    startOffset_ = 0;
    // With reading of event data switched off there are no clips to read; the file still plays.
    if (!library.readVideoInfo(index) && library.readEventData()) {
        currentFileIndex_ = -1;
        currentPath_.clear();
        thumb_->clearSelection();
        showMessage(tr("The QMR3 file is corrupted!"));
        return;
    }
    thumb_->refresh();
    playSlider_->setRecording(index);
    openAndPlay(currentPath_);
    currentFileIndex_ = index;
    thumb_->update();
}

void CKorvidAppDlg::openByPath(QString path)
{
    timer506_.stop();
    while (path.startsWith(QLatin1Char('"'))) path.remove(0, 1);
    while (path.endsWith(QLatin1Char('"'))) path.chop(1);
    if (path.isEmpty()) return;
    openRecordings(path);
    CVideoLibrary& library = theVideoLibrary();
    if (library.fileCount() == 0) {
        // A folder or file that holds nothing playable says so.
        if (library.errors().empty()) showMessage(tr("No recording found in %1").arg(path));
        return;
    }
    // The first file plays as far as it can, damaged or not.
    thumb_->markSelection(0);
    currentFileIndex_ = 0;
    startOffset_ = 0;
    library.readVideoInfo(0);
    playTime_->setText(tr("Playing Video.."));
    playSlider_->setRecording(0);
    currentPath_ = QString::fromStdString(library.filePath(0));
    openAndPlay(currentPath_);
    thumb_->update();
}

void CKorvidAppDlg::mediaStopped()
{
    stopPlayback();
    currentFileIndex_ = -1;
    thumb_->clearSelection();
    thumb_->update();
    if (fullScreen_) setFullScreen(false);
}

void CKorvidAppDlg::changeRatio()
{
    if (!playing_) {
        showMessage(tr("Available only while playing video"));
        return;
    }
    viewer_->hide();
    ownSize_ = !ownSize_;
    placeViewer();
}

void CKorvidAppDlg::setFullScreen(bool on)
{
    if (on == fullScreen_) return;
    if (on && !playing_) {
        showMessage(tr("Available only while playing video"));
        return;
    }
    fullScreen_ = on;
    if (on) {
        windowedRect_ = geometry();
        windowedMinimum_ = minimumSize();
        // A screen smaller than the window's minimum is still filled.
        setMinimumSize(QSize(0, 0));
        const QRect screenRect = screen() ? screen()->geometry() : QRect(0, 0, 1920, 1080);
        setGeometry(QRect(screenRect.topLeft(), screenRect.size() + QSize(1, 1)));
    } else {
        setMinimumSize(windowedMinimum_);
        setGeometry(windowedRect_);
    }
    layoutWindow();
}

bool CKorvidAppDlg::suspendPlayback()
{
    if (!playing_) return false;
    currentFileIndex_ = thumb_->selectedFile();
    if (currentFileIndex_ >= 0) currentPath_ = QString::fromStdString(theVideoLibrary().filePath(currentFileIndex_));
    startOffset_ = playSlider_->value();
    resumePending_ = 1;
    stopPlayback();
    // The panel's choice is still the file to come back to.
    currentFileIndex_ = thumb_->selectedFile();
    return true;
}

void CKorvidAppDlg::resumePlayback(bool reopen)
{
    if (!resumePending_) return;
    const int index = currentFileIndex_;
    if (reopen) {
        openAndPlay(currentPath_);
    } else {
        // The seek opens the file again (at the start offset) and goes to the slider's position.
        playing_ = 1;
        seekToSlider();
    }
    currentFileIndex_ = index;
}
