// How the frameless main window moves and sizes: dragged by its background
// and snapped to the screen edges, sized from its bottom-right corner,
// maximised to the screen, and shown full screen.
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

class QMouseEvent;
class QWidget;

class CFramelessWindowBehaviour : public QObject {
    Q_OBJECT
public:
    // The sizing corner: this many pixels from the right and the bottom edge.
    static constexpr int kGripSize = 15;
    // A double click above this line toggles maximised.
    static constexpr int kTitleHeight = 35;

    // Watches the window's own mouse events.
    explicit CFramelessWindowBehaviour(QWidget* window);

    bool isMaximised() const { return maximised_; }
    bool isFullScreen() const { return fullScreen_; }
    bool inSizeGrip(const QPoint& p) const;

    // Geometry only; the window lays itself out afterwards.
    void setMaximised(bool on);
    void setFullScreen(bool on);

signals:
    // A double click near the top asked for maximise or restore.
    void maximiseToggleRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool press(QMouseEvent* e);
    bool move(QMouseEvent* e);
    QRect screenRect() const;

    QWidget* window_;
    bool maximised_ = false;
    bool fullScreen_ = false;
    bool dragging_ = false;
    bool resizing_ = false;
    QPoint pressPoint_;
    QPoint resizeStart_;
    QSize resizeStartSize_;
    QRect restoreRect_;   // the window before maximise
    QRect windowedRect_;  // the window before full screen
    QSize windowedMinimum_;
};
