// Where a picture goes in the window: stretch or centring, the crop of
// 704 x 480 pictures, the shrink path for small windows, the zoom source.
#pragma once

#include <QRect>
#include <QSize>

#include <optional>

namespace pexaro {

struct PresentPlan {
    QRect source;         // part of the picture to show
    QRect destination;    // window coordinates
    bool shrink = false;  // destination smaller than the picture: scale down first
};

// Nothing when the picture or the window is empty.
std::optional<PresentPlan> PlanPresentation(QSize picture, QSize window, bool stretch, bool crop,
                                            const std::optional<QRect>& givenSource);

// Size of the shrink surface after a destination has to fit into it: kept
// when large enough, else the destination rounded up to multiples of 16.
QSize GrowShrinkSurface(QSize current, QSize destination);

// Shrink surface made for a picture: its size rounded up to multiples of 16.
QSize InitialShrinkSurface(QSize picture);

}  // namespace pexaro
