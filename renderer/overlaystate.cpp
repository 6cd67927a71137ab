#include "overlaystate.h"

namespace pexaro {

EventStep EventOverlay::OnPicture(std::array<OsdItem, kOsdItems>& items, bool hasPointer, std::uint8_t mark,
                                  bool osdShown) {
    EventStep step;
    if (hasPointer) {
        if (mark != 0) {
            if (mark != last_) {
                last_ = mark;
                for (int bit = 0; bit < 4; ++bit) items[kLabelItem + bit].enabled = (mark >> bit) & 1;
                step.clearSurface = true;
                if (items[kLabelItem].enabled) step.drawLabel = true;
                if ((mark & 0x0f) == 0) {
                    step.clearSurface = true;
                    step.drawLabel = false;
                }
            }
            countdown_ = kEventCountdown;
        } else if (countdown_ > 0) {
            --countdown_;  // never below 0, so a long quiet stretch cannot wrap
        }
    }
    if (!osdShown) {
        countdown_ = 0;
    } else if (countdown_ > 0) {
        items[kLabelItem].enabled = true;
        step.drawLabel = true;
        step.blend = true;
    } else {
        items[kLabelItem].enabled = false;
    }
    return step;
}

GridStep GridOverlay::OnPicture(std::uint8_t gridLowByte, bool gridShown) {
    GridStep step;
    if (gridLowByte != 0) {
        on_ = true;
        counter_ = 0;
        step.redraw = true;
    }
    if (gridShown) {
        step.blend = on_;
    } else {
        step.redraw = false;
    }
    if (counter_ > 15) {
        on_ = false;
        counter_ = 0;
    } else {
        ++counter_;
    }
    return step;
}

std::vector<QRect> ComputeCells(int width, int height, int rows, int cols) {
    std::vector<QRect> cells;
    if (rows <= 0 || cols <= 0 || width <= 0 || height <= 0) return cells;
    const int cw = width / cols;
    const int ch = height / rows;
    cells.reserve(static_cast<size_t>(rows) * cols);
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col) cells.emplace_back(col * cw, row * ch, cw, ch);
    return cells;
}

int HitTestCells(const std::vector<QRect>& cells, int x, int y) {
    for (size_t k = 0; k < cells.size(); ++k) {
        const QRect& c = cells[k];
        if (x >= c.left() && y >= c.top() && x < c.left() + c.width() && y < c.top() + c.height())
            return static_cast<int>(k);
    }
    return -1;
}

}  // namespace pexaro
