// Bookkeeping of the overlays burnt into pictures as they enter the group
// buffer: the event label's countdown and the motion grid's life time, plus
// the grid's cell and hit-test rectangles.
#pragma once

#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace pexaro {

constexpr int kOsdItems = 10;
constexpr int kLabelItem = 6;        // the only item drawn
constexpr int kEventCountdown = 15;  // pictures that carry the label

struct OsdItem {
    bool enabled = false;
    QString text;
    QString fontName;
    int fontHeight = 0;
    int x = 0, y = 0;
    int align = 0;  // 0 left, 1 right, 2 centred
    int r = 0, g = 0, b = 0;
};

// What to do with the label surface for one picture.
struct EventStep {
    bool clearSurface = false;
    bool drawLabel = false;  // draw item 6 onto the label surface
    bool blend = false;      // blend the label surface into the picture
};

class EventOverlay {
public:
    // hasPointer: an event-mark byte was handed in; mark: its value now.
    EventStep OnPicture(std::array<OsdItem, kOsdItems>& items, bool hasPointer, std::uint8_t mark,
                        bool osdShown);
    int countdown() const { return countdown_; }

private:
    std::uint8_t last_ = 0;
    int countdown_ = 0;
};

// Whether the grid is blended into a picture: the picture whose grid word
// is set and the 16 after it.
struct GridStep {
    bool redraw = false;
    bool blend = false;
};

class GridOverlay {
public:
    GridStep OnPicture(std::uint8_t gridLowByte, bool gridShown);
    bool on() const { return on_; }

private:
    bool on_ = false;
    int counter_ = 0;
};

// Cell k = row * cols + column, in a width x height area.
std::vector<QRect> ComputeCells(int width, int height, int rows, int cols);
// First cell containing the point (right and bottom edges exclusive), or -1.
int HitTestCells(const std::vector<QRect>& cells, int x, int y);

constexpr int kHitTestWidth = 352;
constexpr int kHitTestHeight = 240;

}  // namespace pexaro
