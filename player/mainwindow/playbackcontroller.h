// Playback of the main window: hands a recording to the viewer, drives the
// transport commands, keeps the position slider and the play-time field in
// step with the picture, and suspends and resumes around dialogs.
#pragma once

#include <QList>
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>

namespace qmr3 {
struct Qmr3FileHeader;
}
class CLumacastCtrl;
class CSetup;
class CSkinEdit;
class CThumbnailCtrl;
class CVideoLibrary;
class CVideoPlaySlider;

class CPlaybackController : public QObject {
    Q_OBJECT
public:
    enum class State {
        Idle,           // nothing handed to the viewer
        Playing,        // playing, winding or stepping forward at a skip rate
        Paused,         // held by Pause or a frame step
        ResumePending,  // stopped only for a dialog; suspend remembered where
    };
    // Position update while a recording plays.
    static constexpr int kPositionPeriodMs = 500;
    // The viewer's motion grid.
    static constexpr short kGridRows = 16;
    static constexpr short kGridColumns = 16;

    // The controls playback drives; all owned by the window.
    struct Parts {
        CLumacastCtrl* viewer = nullptr;
        CVideoPlaySlider* slider = nullptr;
        CSkinEdit* playTime = nullptr;
        CThumbnailCtrl* panel = nullptr;
    };

    CPlaybackController(CVideoLibrary& library, const CSetup* setup, const Parts& parts,
                        QObject* parent = nullptr);
    ~CPlaybackController() override;

    State state() const { return state_; }
    bool isPlaying() const { return state_ == State::Playing || state_ == State::Paused; }
    bool isPaused() const { return state_ == State::Paused; }
    bool resumePending() const { return state_ == State::ResumePending; }

    QString currentPath() const { return currentPath_; }
    void setCurrentPath(const QString& path) {
        currentPath_ = path;
        currentFile_ = QFile::encodeName(path);
    }
    int currentFileIndex() const { return currentFileIndex_; }
    void forgetCurrentFile() { currentFileIndex_ = -1; }
    // Seconds from the file's start at which the next open starts playing.
    int startOffset() const { return startOffset_; }
    void setStartOffset(int seconds) { startOffset_ = seconds; }
    // 0 nothing shown, 1 the video shown, 2 the preview pages shown.
    int displayMode() const { return displayMode_; }
    // The preview pages take the video's place for a file: it becomes the
    // current one, marked in the panel and shown by the slider.
    void enterPreview(int file);
    void leavePreview();
    // Plays a file from an offset in seconds (a preview picture was chosen).
    void playFromOffset(int file, int offset);
    // Picture size of the recording last opened.
    QSize pictureSize() const { return pictureSize_; }
    QTimer* positionTimer() { return &positionTimer_; }

    // The one place a recording is handed to the viewer. Starts at the start
    // offset and then clears it. Says whether it plays.
    bool openAndPlay(const QString& path);
    // The same with the path as the file system's bytes, as the catalogue
    // holds it: a name that is not UTF-8 does not survive a QString.
    bool openFile(const QByteArray& file);
    void stop();
    // A recording chosen in the panel: played, or why not said.
    void playChosenFile(int index);
    // The first catalogue file, as far as it plays (the command line).
    void playFirstFile();

    void play();
    void pause();
    void fastForward();
    void rewind();
    void frameForward();
    void frameBack();
    void togglePlayPause();
    // Plays from the slider's position (seconds from the file start).
    void seekToSlider();
    // The slider was pressed: hold the picture while the user drags.
    void holdForDrag();
    // Plays file `file` from the picture nearest to `seconds` (local time).
    void playAt(int file, std::int64_t seconds);
    // To the start of the next / previous event span, into the neighbouring
    // recordings when play on is allowed. Says whether it found one.
    bool nextEvent();
    bool previousEvent();
    // Whether a recording that ends goes on into the one the recorder cut next.
    bool playOnEnabled() const;
    // Local time of the picture on screen; false when the viewer has none.
    bool currentSeconds(std::int64_t& seconds);

    // Around a dialog: suspend remembers file and slider position and stops;
    // resume continues there, by opening the file again or by a seek.
    // suspend says whether anything was playing.
    bool suspend();
    void resume(bool reopen);

    // Volume slider position 0..10 to hundredths of a decibel.
    static int volumeForPosition(int position);
    void setVolumePosition(int position);

signals:
    // Transport buttons to show turned on and released.
    void buttonsChanged(const QList<int>& on, const QList<int>& released);
    void message(const QString& text);
    // The viewer is to be shown, hidden or placed again.
    void displayChanged();
    // The recording played to its end and the window went idle.
    void mediaEnded();
    // A recording is about to be handed to the viewer.
    void aboutToPlay();
    // Playback went on from one recording into its neighbour without stopping.
    void carriedOn(int file);
    // The second shown in the time field changed (local seconds).
    void positionChanged(std::int64_t seconds);

private:
    // Stops the viewer; keepChoice leaves the panel's selection and the slider as they are.
    void halt(bool keepChoice);
    void showButtons(std::initializer_list<int> on, std::initializer_list<int> released);
    bool beginTransport(int id, std::initializer_list<int> on, std::initializer_list<int> released,
                        State after);
    void configureViewer(const qmr3::Qmr3FileHeader& header);
    int startPosition(std::int64_t fileStart, std::uint32_t indexCount) const;
    void showPlaying(int file, bool known);
    void updatePosition();
    bool heldByRecording(std::int64_t seconds) const;
    void mediaStopped();
    // Starts `file` where the one that ended left off; false when it cannot.
    bool carryOn(int file, bool backward);
    bool jumpToEvent(bool forward);
    void showEventTime(std::int64_t time, std::int64_t end, std::uint8_t kinds);
    void playFromPosition(int target);
    void resumeWinding();
    // Makes file the current one for the panel, the slider and the catalogue.
    bool takeFile(int file);
    void setCurrentFile(const std::string& path);

    CVideoLibrary& library_;
    const CSetup* setup_;
    Parts parts_;
    State state_ = State::Idle;
    QString currentPath_;
    QByteArray currentFile_;  // currentPath_ as the file system's bytes
    int currentFileIndex_ = -1;
    int startOffset_ = 0;
    int displayMode_ = 0;
    int volumePosition_ = 5;
    QSize pictureSize_;
    std::int64_t fileStart_ = 0;
    std::int64_t fileEnd_ = 0;  // last second the playing recording holds; 0 when not known
    std::uint32_t rawLength_ = 0;
    // How the picture moves while Playing: 0 play, 1 fast forward, -1 rewind.
    int winding_ = 0;
    // A recording is being opened to go on from its neighbour: the viewer is
    // swapped without the window going idle.
    bool carryingOn_ = false;
    // Winding rate to resume at the first picture of a recording gone on into.
    int pendingRate_ = 0;
    int windGeneration_ = 0;
    // An event jump's time and kind stay in the field until the picture moves on.
    std::int64_t eventShownAt_ = -1;
    std::int64_t eventShownEnd_ = -1;
    QString eventText_;
    // The jump's picture is not on screen yet; the viewer may still answer
    // with the time it left.
    bool jumpPending_ = false;
    QElapsedTimer jumpClock_;
    QTimer positionTimer_;
    // Counts starts, so a media stop still queued from an earlier start is ignored.
    std::shared_ptr<std::atomic<int>> generation_;
};
