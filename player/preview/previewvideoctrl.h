// Preview pages: one recording as pages of up to 30 still pictures taken at a
// chosen spacing, paged by hand or automatically, with one picture shown
// large and playback started from it. The pictures are made in the
// background by the control's own frame grabber, so the window never waits.
#pragma once

#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <vector>

class CAsyncFrameGrabber;
class CSkin;
class CVideoLibrary;
class CVideoPlaySlider;
class QLineEdit;

class CPreviewVideoCtrl : public QWidget {
    Q_OBJECT
public:
    // Sent when the user chose "Play Video" for the large picture.
    static constexpr int kCommandId = 1051;
    static constexpr int kPageSize = 30;
    static constexpr int kColumns = 6;
    static constexpr int kRows = 5;
    static constexpr int kBarHeight = 40;       // page view: the bar under the pictures
    static constexpr int kLargeBarHeight = 30;  // large view
    static constexpr int kPageBarWidth = 680;
    static constexpr int kLargeBarWidth = 310;
    static constexpr const char* kPagePictureSize = "qcif";
    static constexpr const char* kLargePictureSize = "720x480";
    static constexpr int kDefaultInterval = 60;
    static constexpr int kDefaultPlayInterval = 2;
    // The automatic preview turns a page every play interval x this.
    static constexpr int kAutoMsPerSecond = 1000;

    // Element codes under the pointer; 0 to 29 are the page's pictures.
    enum Code {
        NoCode = -1,
        Interval1 = 1000,   // upper row: 1, 2, 3, 5 seconds
        Interval10 = 1004,  // lower row: 10, 20, 30, 60 seconds
        FirstPage = 1008,
        PreviousPage = 1009,
        PreviousFrame = 1010,
        NextFrame = 1011,
        NextPage = 1012,
        LastPage = 1013,
        AutoPreview = 1014,
        Speed1 = 1015,
        Speed2 = 1016,
        Speed3 = 1017,
        Speed5 = 1018,
        LargeElsewhere = 501,
        LargePrevious = 502,
        LargeNext = 503,
        LargeBack = 504,
        LargePlay = 505,
    };

    explicit CPreviewVideoCtrl(CVideoLibrary& library, QWidget* parent = nullptr);
    ~CPreviewVideoCtrl() override;

    // The bar's pictures; without them plain shapes are drawn.
    void setSkin(const CSkin* skin);
    // The main window's play-time field and play position slider.
    void setStatusWindow(QLineEdit* status) { status_ = status; }
    void setSlider(CVideoPlaySlider* slider) { slider_ = slider; }

    // Loads the two settings, makes the file's times and builds the first
    // page at sliderPosition - play interval x 15.
    void start(int file, int sliderPosition);
    // The slider was moved: the page starts at the first time from there.
    void seek(int position);
    // Back to idle: no file, no timer, no large view.
    void stop();
    // Forgets every loaded picture.
    void reset();
    // The page is laid out again for the control's size.
    void rebuild();
    // Offset (seconds) of the picture chosen with "Play Video"; -1 when none.
    int chosenOffset() const { return chosen_; }

    int fileIndex() const { return file_; }
    bool isActive() const { return file_ >= 0; }
    const std::vector<int>& times() const { return times_; }
    const std::vector<int>& page() const { return page_; }
    int pageStart() const { return pageStart_; }
    int nextPageStart() const { return nextPageStart_; }
    // Whether the page shown reaches the last time of the file.
    bool atLastPage() const { return atEnd_; }
    int interval() const { return interval_; }
    int playInterval() const { return playInterval_; }
    bool isBuilding() const { return building_; }
    bool isLargeView() const { return large_; }
    int largePicture() const { return largeIndex_; }
    bool autoPreviewRunning() const { return autoTimer_.isActive(); }
    QTimer* autoTimer() { return &autoTimer_; }
    int hoverCode() const { return hover_; }
    QString hoverText() const { return hoverText_; }
    // Element code at a point, and the rectangle of an element (empty when
    // not shown), for the current view and size.
    int codeAt(QPoint p) const;
    QRect elementRect(int code) const;
    // The loaded picture of page entry k (null while missing or when it
    // could not be made), and whether it is settled either way.
    QImage pagePicture(int k) const;
    bool pictureSettled(int k) const;
    QImage largeImage() const { return largeImage_; }
    bool largeSettled() const { return largeSettled_; }
    CAsyncFrameGrabber* grabber() const { return grabber_; }

signals:
    void commandSent(int id);
    // A page finished building (every picture made or given up).
    void pageBuilt();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;
    void keyPressEvent(QKeyEvent*) override;

private:
    struct Slot {
        QImage image;
        bool settled = false;
    };

    void loadSettings();
    void saveSettings() const;
    void buildTimes();
    void buildPage();
    void finishPage();
    void onGrabbed(const QString& cachePath, const QString& result);
    void showProgress();
    void act(int code);
    void openLarge(int k);
    void leaveLarge();
    void showPictureTime(int offset);
    void setStatus(const QString& text);
    void setHover(int code);
    void autoTick();
    void restartAutoTimer();

    // Positions in times_.
    int firstAtOrAfter(int offset) const;
    int lastAtOrBefore(int offset) const;
    // Walks back from times_[from] taking times spaced by the interval and
    // gives the time at which `limit` were taken and one more would be (the
    // first time when the walk runs out).
    int walkBack(int from, int limit) const;

    QRect gridRect() const;
    QRect pictureRect(int k) const;
    int barX() const;
    QString labelFor(int code) const;
    void drawPageView(QPainter& p);
    void drawLargeView(QPainter& p);
    void drawButton(QPainter& p, const QRect& r, const QString& family, const char* state,
                    const QString& text);
    std::int64_t fileStart() const;

    CVideoLibrary& library_;
    const CSkin* skin_ = nullptr;
    QLineEdit* status_ = nullptr;
    CVideoPlaySlider* slider_ = nullptr;
    CAsyncFrameGrabber* grabber_;

    int file_ = -1;
    std::int64_t firstTime_ = 0;  // time of the first frame position
    std::vector<int> times_;
    int interval_ = kDefaultInterval;
    int playInterval_ = kDefaultPlayInterval;
    int pageStart_ = 0;
    int nextPageStart_ = 0;
    bool atEnd_ = true;
    std::vector<int> page_;
    std::vector<Slot> slots_;
    QHash<QString, int> pending_;  // cache path -> page entry
    int settled_ = 0;
    bool building_ = false;
    int wantedSeek_ = -1;  // a seek that came while a page was being built

    bool large_ = false;
    int largeIndex_ = -1;
    QImage largeImage_;
    bool largeSettled_ = false;
    QString largePending_;
    int chosen_ = -1;

    QTimer autoTimer_;  // timer 501: the automatic preview turns a page every play interval
    int hover_ = NoCode;
    int pressed_ = NoCode;
    QString hoverText_;
};
