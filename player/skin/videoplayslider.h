// The play position slider: a time line with minute ticks and clock labels,
// clip bands, event marks, a highlighted range, the export marks "A" and "B"
// and a pentagon thumb. One position unit is one second of the recording.
#pragma once

#include "videolibrary.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QPolygon>
#include <QSlider>
#include <QTimer>

#include <functional>
#include <vector>

class QLabel;

class CVideoPlaySlider : public QSlider {
    Q_OBJECT
public:
    static constexpr int kCommandId = 1018;

    struct Tick {
        int x = 0;
        int length = 0;  // 10 every fifth minute, else 5
    };
    struct Label {
        QRect rect;
        QString text;
    };
    struct Band {
        int x1 = 0;
        int x2 = 0;
    };
    struct Mark {
        QPolygon triangle;
        QColor colour;
    };
    // What the time line shows for the current width, recording and marks.
    struct Timeline {
        std::vector<Tick> ticks;
        std::vector<Label> labels;
        QFont labelFont;  // fits every label in its box
        std::vector<Band> clips;
        bool hasHighlight = false;
        Band highlight;
        std::vector<Mark> events;
    };

    // Without a catalogue the recording's facts come through setRecordingData only.
    explicit CVideoPlaySlider(QWidget* parent = nullptr);
    explicit CVideoPlaySlider(const CVideoLibrary& library, QWidget* parent = nullptr);

    // Background: left picture once, the middle one repeated up to 1600 pixels.
    void setSkin(const QPixmap& left, const QPixmap& middle);
    // The catalogue read by setRecording.
    void setLibrary(const CVideoLibrary* library) { library_ = library; }
    // Takes name and start time from the file table, clips and events from
    // the catalogue's loaded file; -1 for none.
    void setRecording(int index);
    // The same with the facts given directly.
    void setRecordingData(int index, const QString& name, qint64 startTime, std::vector<QMR3VIDEOCLIP> clips,
                          std::vector<QMR3EVENT> events);
    int recording() const { return index_; }
    QString recordingName() const { return name_; }
    qint64 recordingStart() const { return start_; }

    void setHighlightRange(int first, int last);

    // Export range marks, seconds; -1 = not set. Kept inside the range.
    void setStartMark(int pos);
    void setEndMark(int pos);
    void moveStartMark(int delta);
    void moveEndMark(int delta);
    void clearMarks();
    int startMark() const { return startMark_; }
    int endMark() const { return endMark_; }

    Timeline timeline() const;
    // Position for a press at x: trunc((x - 10) * range / (width - 20)).
    int positionForX(int x) const;
    // Thumb (or mark) x for a position.
    int xForPosition(int pos) const;
    QPolygon thumbPolygon() const;

    // Main window links: its position timer is stopped on a press; the pause
    // handler runs after the press unless the preview query says otherwise.
    void setPositionTimer(QTimer* timer) { positionTimer_ = timer; }
    void setPauseHandler(std::function<void()> f) { pauseHandler_ = std::move(f); }
    void setPreviewModeQuery(std::function<bool()> f) { previewMode_ = std::move(f); }

    // Tracking: the mouse button went down on the slider and is still held.
    // It ends with the release, and also when the slider is disabled or
    // hidden, loses the focus, or its window is blocked by a dialog.
    bool isTracking() const { return tracking_; }
    bool wasPressed() const { return pressedOnce_; }
    void clearTracking();
    QString timeLabelText() const;

signals:
    void commandSent(int id);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void changeEvent(QEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    void hideEvent(QHideEvent*) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void redraw();
    void pauseNow();
    // A drag that ends without a release: no seek; the position updates go on.
    void cancelDrag();
    void showTimeLabel();
    double range() const { return double(maximum() - minimum()); }
    int usableWidth() const { return width() - 26; }
    void drawMark(QPainter& p, int pos, const QString& letter) const;
    QFont fittedLabelFont(const std::vector<Label>& labels) const;

    const CVideoLibrary* library_ = nullptr;
    int index_ = -1;
    QString name_;
    qint64 start_ = 0;
    std::vector<QMR3VIDEOCLIP> clips_;
    std::vector<QMR3EVENT> events_;
    int startMark_ = -1;
    int endMark_ = -1;
    int highlightFirst_ = -1;
    int highlightLast_ = -1;
    bool tracking_ = false;
    bool pressedOnce_ = false;
    QPixmap background_;
    QPixmap surface_;
    QFont markFont_;
    QTimer* positionTimer_ = nullptr;
    QTimer pauseDelay_;
    std::function<void()> pauseHandler_;
    std::function<bool()> previewMode_;
    QLabel* timeLabel_ = nullptr;
};
