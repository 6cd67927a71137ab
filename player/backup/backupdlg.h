// The backup dialog: the user picks recordings of the catalogue and writes
// them into a folder as they are, as AVI or as WMV (one file each, or merged
// into one). The work runs on a worker thread; the dialog paints the list,
// per-recording progress bars and a progress panel, and can stop the work.
#pragma once

#include "skindialog.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <vector>

class CSkinButton;
class CVideoLibrary;
class QMessageBox;

#include "backupjob.h"

class CBackupDlg : public CSkinDialog {
    Q_OBJECT
public:
    enum {
        IDC_CLOSE = 1107,
        IDC_START = 1108,
        IDC_PAGE_PREV = 1301,
        IDC_PAGE_NEXT = 1302,
        IDC_SELECT_ALL = 1303,
        IDC_REMOVE_ALL = 1304,
        IDC_SELECT_MARKED = 1305,
        IDC_FORMAT = 1306,
        IDC_MERGE = 1307,
        IDC_CHOOSE_FOLDER = 1308,
    };
    enum Format { Copy = 0, Avi = 1, Wmv = 2 };
    static constexpr int kRowsPerColumn = 22;

    // library: the catalogue, which outlives the dialog and is not changed by it.
    CBackupDlg(QWidget* parent, const CVideoLibrary& library);
    ~CBackupDlg() override;

    CSkinButton* button(int id) const;
    // Images of the close, start and stop buttons (normal, hover, pressed).
    void setCloseImages(const QPixmap& nm, const QPixmap& ro, const QPixmap& ck);
    void setStartImages(const QPixmap& nm, const QPixmap& ro, const QPixmap& ck);
    void setStopImages(const QPixmap& nm, const QPixmap& ro, const QPixmap& ck);

    int recordingCount() const;
    int pageCount() const;
    int currentPage() const { return page_; }
    // Where recording i is drawn on the current page (empty when not shown).
    QRect rowRect(int i) const;

    bool isSelected(int i) const;
    void setSelected(int i, bool on);
    int selectedCount() const;

    Format format() const { return format_; }
    bool merge() const { return merge_; }
    // The folder written into, with a trailing "/".
    QString targetFolder() const { return targetFolder_; }
    void setTargetFolder(const QString& folder);

    bool isRunning() const { return running_; }
    // The recording being written (-1 when none) and its progress, 0-100.
    int recordingInWork() const;
    int progressOf(int i) const;
    // The text of the last run's closing message.
    QString lastSummary() const { return summary_; }

    // What the buttons do.
    void command(int id);
    // Escape and the window's close ask first while a backup runs.
    void reject() override;

signals:
    // A run ended and its closing message was shown.
    void runFinished();

protected:
    void paintOver(QPainter& p) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void closeEvent(QCloseEvent*) override;

private:
    void createButtons();
    void retitleButtons();
    void goToPage(int page);
    void cycleFormat();
    void toggleMerge();
    void chooseFolder();
    void startOrStop();
    void start();
    void askStop(bool thenClose);
    void stopNow();
    void poll();
    void finishRun();
    void message(const QString& text);
    std::vector<int> bandRows() const;
    void paintList(QPainter& p);
    void paintPanel(QPainter& p);
    void paintBar(QPainter& p, int top, double fraction, const QString& text);
    // Asked on the worker thread; the question is put on the window's thread.
    vantrex::ConflictChoice conflictAnswer(const std::string& target);
    QString summaryText() const;

    const CVideoLibrary& library_;
    std::map<int, CSkinButton*> buttons_;
    QPixmap startImages_[3], stopImages_[3];
    std::vector<char> selected_;
    Format format_ = Copy;
    bool merge_ = false;
    QString targetFolder_;
    int page_ = 0;

    bool bandActive_ = false;
    QPoint bandStart_, bandCurrent_;

    QTimer timer10_;
    bool running_ = false;
    bool stopping_ = false;
    bool closeAfterStop_ = false;
    int sector_ = 0;
    QString summary_;
    QPointer<QMessageBox> question_;
    QPointer<QMessageBox> conflictBox_;

    std::unique_ptr<vantrex::BackupJob> job_;
    // Catalogue index of each item of the job.
    std::vector<int> jobItems_;
    // Written by the worker before done_ is set, read after it is joined.
    vantrex::BackupOutcome outcome_;
    std::thread worker_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> done_{false};
};
