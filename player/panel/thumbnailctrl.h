// The narrow panel beside the video: a list of recordings with a small
// picture of each, a calendar (month, day, half-hour slots, recordings of the
// chosen slot) and an information page. All pages obey the event filter.
#pragma once

#include "panelcalendarpage.h"
#include "panelcontext.h"
#include "paneldaytimeline.h"
#include "panelinfopage.h"
#include "panellistpage.h"
#include "panelpictures.h"

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
    static constexpr int kWidth = panel::kWidth;
    static constexpr int kRowHeight = panel::kRowHeight;
    static constexpr int kBarHeight = panel::kBarHeight;
    static constexpr int kCalendarItemsTop = CPanelCalendarPage::kItemsTop;
    static constexpr const char* kPictureSize = CPanelPictures::kPictureSize;

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
    int selectedFile() const { return ctx_.selected; }
    void markSelection(int file);
    // Playback went on into another recording: it becomes the chosen one, the
    // list turns to its page and the calendar to its day and half hour.
    void followPlayback(int file);
    void clearSelection();

    // bit 0x01 A, 0x02 E, 0x04 M, 0x08 T. The selection stays while its
    // file is still listed.
    void setFilterBit(int bit, bool on);
    // Whether the filter lets a file be listed.
    bool isListed(int file) const;
    int filterMask() const { return mask_; }
    void setFilterMask(int mask);

    // What the pages show (also for tests).
    const std::vector<int>& shownFiles() const { return ctx_.shown; }
    int rows() const { return ctx_.rows(); }
    int listPageNumber() const { return list_.number(); }
    int pageCount() const { return list_.pageCount(); }
    QString pageBarText() const;
    std::int64_t calendarDate() const { return calendar_.date(); }
    const std::array<int, 48>& slotFlags() const { return calendar_.slotFlags(); }
    const std::array<std::uint8_t, 48>& slotEvents() const { return calendar_.slotEvents(); }
    int calendarItemsPerPage() const { return calendar_.itemsPerPage(); }
    int calendarItemPage() const { return calendar_.itemPage(); }
    int calendarItemPageCount() const { return calendar_.itemPageCount(); }
    // Every item of the chosen half hour, and those of the current item page.
    std::vector<int> calendarItems() const { return calendar_.items(); }
    std::vector<int> calendarPageItems() const { return calendar_.pageItems(); }
    QStringList infoLines() const { return info_.lines(); }
    // The texts of a list row: date, time, length, picture size and rate, file name.
    QStringList rowTexts(int file) const;
    // Hit code of the calendar at a point (0 none).
    int calendarHitCode(QPoint p) const { return calendar_.hitCode(p); }
    // The day timeline of the calendar page (hidden where there is no room).
    CPanelDayTimeline* dayTimeline() const { return timeline_; }
    // Local seconds of the picture on screen for the timeline; -1 for none.
    void setPlaybackTime(std::int64_t seconds) { timeline_->setPlaybackTime(seconds); }
    // Whether the list picture of a file is loaded.
    bool hasPicture(int file) const { return pictures_->has(file); }
    int picturesPending() const { return pictures_->pending(); }
    CAsyncFrameGrabber* grabber() const { return pictures_->grabber(); }

signals:
    // The user chose a recording (outside the mark area).
    void fileChosen(int index);
    // A time of a recording was clicked on the day timeline.
    void timeChosen(int file, qint64 seconds);
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
    bool passes(int file) const;
    void rebuildShown();
    void requestPictures();
    void showProgress(int done, int asked);
    void perform(const panel::Action& action);
    void choose(int file, bool markArea);

    panel::Context ctx_;
    CPanelPictures* pictures_;
    CPanelListPage list_;
    CPanelCalendarPage calendar_;
    CPanelInfoPage info_;
    CPanelDayTimeline* timeline_;
    int page_ = ListPage;
    int mask_ = 15;
};
