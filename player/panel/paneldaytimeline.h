// The day timeline under the calendar: the chosen day as a 24-hour strip
// with every listed recording as a band and its event spans as marks in the
// kinds' colours, zoomed by the wheel down to one hour. A click asks for the
// recording at that time; a line shows where playback is.
#pragma once

#include "videolibrary.h"

#include <QWidget>

#include <cstdint>
#include <vector>

namespace panel {
struct Context;
}

class CPanelDayTimeline : public QWidget {
    Q_OBJECT
public:
    static constexpr std::int64_t kDay = 24 * 3600;
    static constexpr std::int64_t kClosest = 3600;  // the widest zoom in

    CPanelDayTimeline(const panel::Context& ctx, QWidget* parent);

    // The day holding `date` and the files the filter lets through; the zoom
    // stays while the day does.
    void setDay(std::int64_t date);
    // Rereads the recordings of the day (after a scan or a filter change).
    void reload();
    std::int64_t dayStart() const { return dayStart_; }
    std::int64_t viewStart() const { return viewStart_; }
    std::int64_t viewSpan() const { return viewSpan_; }
    // Local seconds of the picture on screen; -1 hides the line.
    void setPlaybackTime(std::int64_t seconds);
    std::int64_t playbackTime() const { return playback_; }

    // Where a time is drawn and which time a point stands for.
    int xForTime(std::int64_t t) const;
    std::int64_t timeAtX(int x) const;
    // The listed recording holding time t, -1 for none.
    int recordingAt(std::int64_t t) const;

    struct Band {
        int file;
        std::int64_t start, end;
        std::uint8_t summary;
    };
    struct Mark {
        std::int64_t start, end;
        std::uint8_t kind;
    };
    const std::vector<Band>& bands() const { return bands_; }
    const std::vector<Mark>& marks() const { return marks_; }

signals:
    void timeChosen(int file, qint64 seconds);

protected:
    void paintEvent(QPaintEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QRect track() const;
    void clampView();

    const panel::Context& ctx_;
    std::int64_t dayStart_ = 0;
    std::int64_t dayEnd_ = 0;
    std::int64_t viewStart_ = 0;
    std::int64_t viewSpan_ = kDay;
    std::int64_t playback_ = -1;
    std::vector<Band> bands_;
    std::vector<Mark> marks_;
    std::vector<std::string> paths_;  // the recordings the marks were read from
    // Reads the event spans of the day's recordings without touching the
    // catalogue's selected file, which the slider and playback use.
    CVideoLibrary events_;
};
