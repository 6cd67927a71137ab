// The narrow panel beside the video: a list of recordings with a small
// picture of each, a calendar (month, day, half-hour slots, recordings of the
// chosen slot) and an information page. All pages obey the event filter.
#pragma once

#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class CVideoLibrary;
class CSkin;
class CAsyncFrameGrabber;

class CThumbnailCtrl : public QWidget {
    Q_OBJECT
public:
    enum Page { ListPage = 0, CalendarPage = 1, InfoPage = 2 };
    static constexpr int kWidth = 274;
    static constexpr int kRowHeight = 78;
    static constexpr int kBarHeight = 30;
    static constexpr int kCalendarItemsTop = 468;
    static constexpr const char* kPictureSize = "110x72";

    explicit CThumbnailCtrl(CVideoLibrary& library, QWidget* parent = nullptr);
    ~CThumbnailCtrl() override;

    // Calendar background and page-bar buttons; null draws plain shapes.
    void setSkin(const CSkin* skin);

    void setPage(int page);
    int page() const { return page_; }
    // Recomputes rows and the shown files; listPage -1 keeps the page,
    // calendarDate -1 keeps the date.
    void refresh(int listPage = -1, std::int64_t calendarDate = -1);
    // After a folder or files were opened: filter 15, first page, calendar on
    // the newest recording, pictures forgotten.
    void resetForOpen();

    // The file last chosen, -1 when none.
    int selectedFile() const { return selected_; }
    void markSelection(int file);
    void clearSelection();

    // bit 0x01 A, 0x02 E, 0x04 M, 0x08 T. The selection stays while its
    // file is still listed.
    void setFilterBit(int bit, bool on);
    // Whether the filter lets a file be listed.
    bool isListed(int file) const;
    int filterMask() const { return mask_; }
    void setFilterMask(int mask);

    // What the pages show (also for tests).
    const std::vector<int>& shownFiles() const { return shown_; }
    int rows() const;
    int listPageNumber() const { return listPage_; }
    int pageCount() const;
    QString pageBarText() const;
    std::int64_t calendarDate() const { return calDate_; }
    const std::array<int, 48>& slotFlags() const { return slotFlags_; }
    const std::array<std::uint8_t, 48>& slotEvents() const { return slotEvents_; }
    int calendarItemsPerPage() const;
    int calendarItemPage() const { return calItemPage_; }
    int calendarItemPageCount() const;
    // Every item of the chosen half hour, and those of the current item page.
    std::vector<int> calendarItems() const { return calItems_; }
    std::vector<int> calendarPageItems() const;
    QStringList infoLines() const;
    // The texts of a list row: date, time, length, picture size and rate, file name.
    QStringList rowTexts(int file) const;
    // Hit code of the calendar at a point (0 none).
    int calendarHitCode(QPoint p) const;
    // Whether the list picture of a file is loaded.
    bool hasPicture(int file) const { return pictures_.contains(file); }
    int picturesPending() const;
    CAsyncFrameGrabber* grabber() const { return grabber_; }

signals:
    // The user chose a recording (outside the mark area).
    void fileChosen(int index);
    // Progress texts for the main window's play-time field ("" clears).
    void statusText(const QString& text);
    // ffmpeg missing or unusable: shown once by the owner.
    void toolProblem(const QString& message);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void leaveEvent(QEvent*) override;

private:
    int pageBarTop() const { return height() - kBarHeight; }
    bool passes(int file) const;
    void rebuildShown();
    void rebuildCalendar();
    void requestPictures();
    void onGrabbed(const QString& cachePath, const QString& result);
    void choose(int file, bool markArea);
    void drawRow(QPainter& p, int file, int top);
    void drawPageBar(QPainter& p);
    void drawList(QPainter& p);
    void drawCalendar(QPainter& p);
    void drawInfo(QPainter& p);
    int listRowAt(QPoint p) const;
    int trackPageAt(int x) const;
    void setCalendarMonth(int delta);

    CVideoLibrary& library_;
    const CSkin* skin_ = nullptr;
    CAsyncFrameGrabber* grabber_ = nullptr;
    int page_ = ListPage;
    int mask_ = 15;
    std::vector<int> shown_;
    int listPage_ = 0;
    std::int64_t calDate_ = 0;
    int calItemPage_ = 0;
    int lastSlot_ = -1;
    std::array<int, 48> slotFlags_{};
    std::array<std::uint8_t, 48> slotEvents_{};
    std::vector<int> calItems_;
    int selected_ = -1;
    int pressed_ = -1;       // list: page x rows + row; calendar: hit code
    bool pressedInMark_ = false;
    int hoverX_ = -1;        // pointer over the list's page track
    int hoverCode_ = 0;
    QHash<int, QPixmap> pictures_;
    QHash<QString, int> pending_;  // cache path -> file
    QSet<int> failed_;             // not asked again until the next open
    int grabsAsked_ = 0;
    QFont titleFont_, textFont_, boldFont_, smallFont_, smallBoldFont_, tinyFont_, blackFont_;
};
