// The frame number a generated recording wrote into a presented picture.
#pragma once

#include "h264writer.h"

#include <QImage>

namespace testrec {

// -1 when the picture is not 32-bit, blank (the renderer's black before its
// first picture, which would read as 0), or its bottom row carries no number.
inline long frameOf(const QImage& picture) {
    if (picture.isNull() || picture.depth() != 32) return -1;
    bool blank = true;
    for (int y = 0; y < picture.height() / 2 && blank; y += 16)
        for (int x = 0; x < picture.width() && blank; x += 16) blank = (picture.pixel(x, y) & 0xffffff) == 0;
    if (blank) return -1;
    // Green byte of each BGRx pixel.
    const auto n = qmr3::readFrameNumber(picture.constBits() + 1, int(picture.bytesPerLine()),
                                         picture.width(), picture.height(), 4);
    return n ? long(*n) : -1;
}

// Pixels of the renderer's motion-grid colour in a picture.
inline int gridPixels(const QImage& picture) {
    int n = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if ((picture.pixel(x, y) & 0xffffff) == 0xff3232) ++n;
    return n;
}

}  // namespace testrec
