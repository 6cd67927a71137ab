#include "presentgeometry.h"

namespace pexaro {

namespace {
int RoundUp16(int v) { return (v + 15) / 16 * 16; }
}  // namespace

std::optional<PresentPlan> PlanPresentation(QSize picture, QSize window, bool stretch, bool crop,
                                            const std::optional<QRect>& givenSource) {
    if (picture.isEmpty() || window.isEmpty()) return std::nullopt;
    PresentPlan plan;
    plan.source = QRect(QPoint(0, 0), picture);
    plan.destination = QRect(QPoint(0, 0), window);
    if (crop && picture == QSize(704, 480)) {
        plan.source = QRect(38, 0, 666 - 38, 480);
    } else if (!stretch) {
        plan.destination =
            QRect(QPoint((window.width() - picture.width()) / 2, (window.height() - picture.height()) / 2),
                  picture);
    }
    // Widgets clip to the screen themselves, so no clipping to the screen here.
    if (givenSource) plan.source = *givenSource;
    plan.shrink = plan.destination.width() < picture.width() || plan.destination.height() < picture.height();
    return plan;
}

QSize GrowShrinkSurface(QSize current, QSize destination) {
    if (current.width() >= destination.width() && current.height() >= destination.height()) return current;
    return QSize(RoundUp16(destination.width()), RoundUp16(destination.height()));
}

QSize InitialShrinkSurface(QSize picture) {
    return QSize(RoundUp16(picture.width()), RoundUp16(picture.height()));
}

}  // namespace pexaro
