// The main window: a frameless, skinned window laid out from templates.ini.
#pragma once

#include "skin.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <vector>

class CLumacastCtrl;
class CSkinButton;
class CSkinEdit;
class CThumbnailCtrl;
class CVideoPlaySlider;
class CXSliderCtrl;
class CSetup;
class QMessageBox;

// Command identifiers of the main window.
enum KorvidCommand {
    IDC_OPEN_DIR = 1000,
    IDC_OPEN_FILE = 1001,
    IDC_PLAY = 1002,
    IDC_PAUSE = 1003,
    IDC_FF = 1005,
    IDC_REWIND = 1006,
    IDC_FRAME_BACK = 1007,
    IDC_FRAME_NEXT = 1008,
    IDC_EXIT = 1016,
    IDC_MINIMIZE = 1017,
    IDC_PLAY_SLIDER = 1018,
    IDC_EXPORT_A = 1019,
    IDC_EXPORT_B = 1020,
    IDC_EXPORT_AVI = 1021,
    IDC_EXPORT_JPEG = 1022,
    IDC_FILE_RECOVERY = 1025,
    IDC_THUMBNAIL = 1050,
    IDC_PREVIEW_CHOSEN = 1051,
    IDC_MAXIMIZE = 1056,
    IDC_PREVIEW = 1057,
    IDC_SETUP = 1058,
    IDC_BACKUP = 1060,
    IDC_TAB_CALENDAR = 1064,
    IDC_TAB_LIST = 1065,
    IDC_TAB_INFO = 1066,
    IDC_HELP = 1067,
    IDC_CHANGE_RATIO = 1071,
    IDC_FILTER_A = 1073,
    IDC_FILTER_M = 1074,
    IDC_FILTER_E = 1075,
    IDC_FILTER_T = 1076,
};

class CKorvidAppDlg : public QWidget {
    Q_OBJECT
public:
    struct ButtonInfo {
        const char* key;
        int id;
    };
    // The 29 buttons' skin keys and ids, in creation order.
    static const std::vector<ButtonInfo>& buttonTable();

    // skinFolder: where templates.ini and the pictures are (the program folder).
    CKorvidAppDlg(const QString& skinFolder, const QString& versionText, CSetup* setup,
                  const QString& commandLinePath = QString(), QWidget* parent = nullptr);
    ~CKorvidAppDlg() override;

    const CSkin& skin() const { return skin_; }
    bool skinLoaded() const { return skinLoaded_; }
    QString templatePicturePath() const { return picturePath_; }
    QString versionText() const { return version_; }

    CSkinButton* button(int id) const;
    std::vector<CSkinButton*> buttonsInCreationOrder() const { return buttons_; }
    CVideoPlaySlider* playSlider() const { return playSlider_; }
    CXSliderCtrl* volumeSlider() const { return volumeSlider_; }
    CSkinEdit* playTimeField() const { return playTime_; }
    CLumacastCtrl* viewer() const { return viewer_; }
    CThumbnailCtrl* thumbnailCtrl() const { return thumb_; }

    // Opens a folder, or "|"-joined .qmr3 paths, into the catalogue and the
    // panel (what the Open Folder and Open Files dialogs lead to).
    void openRecordings(const QString& text);
    void openRecordingFiles(const QStringList& files);
    QRect videoArea() const { return videoArea_; }
    const QPixmap& composedBackground() const { return background_; }
    QRegion windowShape() const { return shape_; }
    bool isMaximisedState() const { return maximised_; }
    QString currentPath() const { return currentPath_; }
    int currentFileIndex() const { return currentFileIndex_; }
    int displayMode() const { return displayMode_; }

    // Lays every placement record out for the current size.
    void layoutWindow();
    void toggleMaximise();
    // Routes a command as the buttons do.
    void onCommand(int id);
    // The running program was asked to come forward (second start).
    void bringToFront();

    // Timer 500 (position update while playing) and 506 (open the command line).
    QTimer* positionTimer() { return &timer500_; }
    bool openTimerPending() const { return timer506_.isActive(); }

    // Playback navigation. openAndPlay is the one place a recording is handed
    // to the viewer; it starts at the start offset (seconds from the file's
    // start time) and then clears it.
    void openAndPlay(const QString& path);
    void stopPlayback();
    // The command line: quotes removed, scanned, its first file played.
    void openByPath(QString path);
    bool isPlaying() const { return playing_ != 0; }
    bool isPaused() const { return paused_; }
    int startOffset() const { return startOffset_; }
    void setStartOffset(int seconds) { startOffset_ = seconds; }
    bool ownSize() const { return ownSize_; }
    bool isFullScreen() const { return fullScreen_; }
    QRect nativeRect() const { return nativeRect_; }
    void setFullScreen(bool on);
    // Around a dialog: suspend remembers file and slider position and stops;
    // resume continues there, by opening the file again or by a seek.
    // suspendPlayback says whether anything was playing.
    bool suspendPlayback();
    void resumePlayback(bool reopen);
    bool resumePending() const { return resumePending_ != 0; }
    // Volume slider position 0..10 to hundredths of a decibel.
    static int volumeForPosition(int position);

signals:
    // Emitted when the exit question was answered Yes, before closing.
    void exitConfirmed();

public slots:
    // A recording was chosen in the panel: play it, or say why not.
    void playChosenFile(int index);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    void createControls();
    void applySkinToButtons();
    void setTooltips();
    void composeBackground(int W, int H);
    void askExit();
    void showSetup();
    void recoverIndex();
    void showMessage(const QString& text);
    void openFolderDialog();
    void afterOpen();
    void openFilesDialog();
    void toggleFilter(int id);
    void choosePanelPage(int id);
    void showStatusText(const QString& text);
    bool inSizeGrip(const QPoint& p) const;
    QWidget* controlFor(const CtrlRect& r) const;

    // Playback navigation.
    void placeViewer();
    void updatePosition();
    void setButtonsOn(std::initializer_list<int> on, std::initializer_list<int> released);
    // The buttons of a transport command; false (and the button released) while nothing plays.
    bool beginTransport(int id, std::initializer_list<int> on, std::initializer_list<int> released, bool pausedAfter);
    void play();
    void pause();
    void fastForward();
    void rewind();
    void frameForward();
    void frameBack();
    void seekToSlider();
    void mediaStopped();
    void changeRatio();
    void applyVolume();
    void togglePlayPause();
    bool currentSeconds(std::int64_t& seconds);

    QString skinFolder_;
    QString picturePath_;
    QString version_;
    CSetup* setup_;
    CSkin skin_;
    bool skinLoaded_ = false;

    CLumacastCtrl* viewer_ = nullptr;
    CVideoPlaySlider* playSlider_ = nullptr;
    CSkinEdit* playTime_ = nullptr;
    CXSliderCtrl* volumeSlider_ = nullptr;
    CThumbnailCtrl* thumb_ = nullptr;
    bool toolProblemShown_ = false;
    std::vector<CSkinButton*> buttons_;
    std::map<int, CSkinButton*> byId_;
    std::map<QString, CSkinButton*> byKey_;

    QPixmap background_;
    QRegion shape_;
    QRect videoArea_;
    QRect restoreRect_;
    QString currentPath_;
    int currentFileIndex_ = -1;
    int startOffset_ = 0;
    int playing_ = 0;
    int resumePending_ = 0;
    bool paused_ = false;
    bool maximised_ = false;
    bool fullScreen_ = false;
    bool ownSize_ = false;
    QRect nativeRect_;
    QRect windowedRect_;  // the window before full screen
    QSize windowedMinimum_;
    std::int64_t fileStart_ = 0;
    std::uint32_t rawLength_ = 0;
    int displayMode_ = 0;
    // Counts starts, so a media stop still queued from an earlier start is ignored.
    std::shared_ptr<std::atomic<int>> playGeneration_;

    bool dragging_ = false;
    bool resizing_ = false;
    QPoint pressPoint_;
    QPoint resizeStart_;
    QSize resizeStartSize_;

    QTimer timer500_;
    QTimer timer506_;
    QPointer<QMessageBox> exitBox_;
    bool exitConfirmed_ = false;
    bool templateReported_ = false;
};
