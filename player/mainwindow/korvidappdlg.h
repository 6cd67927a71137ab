// The main window: a frameless, skinned window laid out from templates.ini.
// Playback lives in CPlaybackController, moving and sizing in
// CFramelessWindowBehaviour; the window places the controls and routes the
// commands of its buttons.
#pragma once

#include "framelesswindow.h"
#include "helpdlg.h"
#include "korvidcommands.h"
#include "playbackcontroller.h"
#include "skin.h"
#include "videoexport.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <vector>

class CBackupDlg;
class CExportImageDlg;
class CLumacastCtrl;
class CPreviewVideoCtrl;
class CSkinButton;
class CSkinEdit;
class CThumbnailCtrl;
class CVideoLibrary;
class CVideoPlaySlider;
class CXSliderCtrl;
class CSetup;
class QMessageBox;

class CKorvidAppDlg : public QWidget {
    Q_OBJECT
public:
    // The command line path is opened this long after the window is shown.
    static constexpr int kOpenDelayMs = 200;

    // library: the program's catalogue, which outlives the window.
    // skinFolder: where templates.ini and the pictures are (the program folder).
    CKorvidAppDlg(CVideoLibrary& library, const QString& skinFolder, const QString& versionText,
                  CSetup* setup, const QString& commandLinePath = QString(), QWidget* parent = nullptr);
    ~CKorvidAppDlg() override;

    CVideoLibrary& library() const { return library_; }
    CPlaybackController* playback() const { return playback_; }
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
    CPreviewVideoCtrl* previewCtrl() const { return preview_; }
    // The help dialog while it is open.
    CHelpDlg* helpDialog() const { return help_; }
    // The backup dialog while it is open.
    CBackupDlg* backupDialog() const;

    // Opens a folder, or "|"-joined .qmr3 paths, into the catalogue and the
    // panel (what the Open Folder and Open Files dialogs lead to).
    void openRecordings(const QString& text);
    void openRecordingFiles(const QStringList& files);
    QRect videoArea() const { return videoArea_; }
    const QPixmap& composedBackground() const { return background_; }
    QRegion windowShape() const { return shape_; }
    bool isMaximisedState() const { return frame_->isMaximised(); }
    QString currentPath() const { return playback_->currentPath(); }
    int currentFileIndex() const { return playback_->currentFileIndex(); }
    int displayMode() const { return playback_->displayMode(); }

    // Lays every placement record out for the current size.
    void layoutWindow();
    void toggleMaximise();
    // Runs the handler of a command, as the buttons do.
    void onCommand(int id);
    // The running program was asked to come forward (second start).
    void bringToFront();

    QTimer* positionTimer() { return playback_->positionTimer(); }
    bool openTimerPending() const { return openTimer_.isActive(); }

    // Playback, forwarded to the controller.
    void openAndPlay(const QString& path) { playback_->openAndPlay(path); }
    void stopPlayback() { playback_->stop(); }
    // The command line: quotes removed, scanned, its first file played.
    void openByPath(QString path);
    bool isPlaying() const { return playback_->isPlaying(); }
    bool isPaused() const { return playback_->isPaused(); }
    int startOffset() const { return playback_->startOffset(); }
    void setStartOffset(int seconds) { playback_->setStartOffset(seconds); }
    bool suspendPlayback() { return playback_->suspend(); }
    void resumePlayback(bool reopen) { playback_->resume(reopen); }
    bool resumePending() const { return playback_->resumePending(); }
    static int volumeForPosition(int position) { return CPlaybackController::volumeForPosition(position); }

    // How a video export asks for its file and shows its messages (tests replace them).
    void setVideoExportUi(const VideoExportUi& ui) { videoExportUi_ = ui; }

    bool ownSize() const { return ownSize_; }
    bool isFullScreen() const { return frame_->isFullScreen(); }
    QRect nativeRect() const { return nativeRect_; }
    void setFullScreen(bool on);

signals:
    // Emitted when the exit question was answered Yes, before closing.
    void exitConfirmed();

public slots:
    // A recording was chosen in the panel: play it, or say why not.
    void playChosenFile(int index) { playback_->playChosenFile(index); }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    struct ButtonInfo {
        const char* key;
        int id;
        const char* tooltip;  // none for the page tabs
    };
    // The buttons in creation order (which is also the order of their tooltips).
    static const std::vector<ButtonInfo>& buttonTable();

    void createControls();
    void connectPlayback();
    void connectLibrary();
    void createShortcuts();
    void buildCommandTable();
    void applySkinToButtons();
    void composeBackground(int W, int H);
    QWidget* controlFor(const CtrlRect& r) const;
    void placeViewer();
    void showButtons(const QList<int>& on, const QList<int>& released);
    void release(int id);

    // Command handlers.
    void askExit();
    void showSetup();
    void showHelp();
    void recoverIndex();
    void exportCommand(int id);
    void markExportPoint(int id);
    void exportStill();
    void giveStillImages(CExportImageDlg* dlg) const;
    void exportMovieClip();
    void openBackup(int id);
    void notAvailable(int id);
    void openFolderDialog();
    void openFilesDialog();
    void afterOpen();
    void toggleFilter(int id);
    void choosePanelPage(int id);
    void changeRatio();
    void jumpToEvent(bool forward);
    void startPreview();
    void playFromPreview();
    // The preview pages give the video area back.
    void leavePreview();
    void showMessage(const QString& text);
    void showStatusText(const QString& text);

    CVideoLibrary& library_;
    QString skinFolder_;
    QString picturePath_;
    QString version_;
    CSetup* setup_;
    CSkin skin_;
    bool skinLoaded_ = false;

    VideoExportUi videoExportUi_;
    CLumacastCtrl* viewer_ = nullptr;
    CVideoPlaySlider* playSlider_ = nullptr;
    CSkinEdit* playTime_ = nullptr;
    CXSliderCtrl* volumeSlider_ = nullptr;
    CThumbnailCtrl* thumb_ = nullptr;
    CPreviewVideoCtrl* preview_ = nullptr;
    bool toolProblemShown_ = false;
    std::vector<CSkinButton*> buttons_;
    std::map<int, CSkinButton*> byId_;
    std::map<QString, CSkinButton*> byKey_;
    // Command id to its handler: the one place a command is routed.
    std::map<int, std::function<void()>> commands_;

    CPlaybackController* playback_ = nullptr;
    CFramelessWindowBehaviour* frame_ = nullptr;

    QPixmap background_;
    QRegion shape_;
    QRect videoArea_;
    bool ownSize_ = false;
    QRect nativeRect_;

    QTimer openTimer_;
    QPointer<QMessageBox> exitBox_;
    QPointer<CHelpDlg> help_;
    QPointer<CExportImageDlg> stillDlg_;
    QPointer<CBackupDlg> backup_;
    bool templateReported_ = false;
};
