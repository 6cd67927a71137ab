// The conversion dialog of a video export: the converter cuts the range, then
// ffmpeg (through the tool runner) makes MP4 or WMV of it. Status text,
// progress bar, Stop while it works and Close when it is done.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QTimer>

#include <memory>

class CVantrexCtrl;
class QLabel;
class QProgressBar;
class QPushButton;
class ExportRunner;

struct VideoExportJob {
    QString source;  // the recording
    QString target;  // the file the user chose
    QString format;  // "AVI", "MP4" or "WMV"
    QString bitRate;
    int start = 0;  // seconds from the recording's start
    int end = 0;
    QString ffmpeg;  // empty: looked up beside the program and on PATH
    // The recording as the file system's bytes; when set it is read instead
    // of source (a name that is not UTF-8 does not survive a QString).
    QByteArray sourceFile;
};

class CAviConvertDlg : public QDialog {
    Q_OBJECT
public:
    enum class State { Opening, Cutting, Tool, Finished, Failed, Stopped };

    CAviConvertDlg(QWidget* parent, const VideoExportJob& job);
    ~CAviConvertDlg() override;

    State state() const { return state_; }
    bool isDone() const {
        return state_ == State::Finished || state_ == State::Failed || state_ == State::Stopped;
    }
    QString statusText() const;
    int progress() const;
    QPushButton* closeButton() const { return close_; }
    QPushButton* stopButton() const { return stop_; }
    // Escape: ignored while the export works (Stop ends it).
    void reject() override;

signals:
    void done(bool ok);

protected:
    void showEvent(QShowEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    void begin();
    void poll();
    void startTool();
    void finish(State state, const QString& text);
    void stopExport();
    QString finishedText() const;

    VideoExportJob job_;
    CVantrexCtrl* converter_;
    std::unique_ptr<ExportRunner> runner_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* stop_;
    QPushButton* close_;
    QTimer timer_;
    State state_ = State::Opening;
    bool started_ = false;
};
