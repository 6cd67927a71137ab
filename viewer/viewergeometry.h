// Small rules of the viewer control that need no pipeline: the zoom-drag
// rectangle, the volume mapping, the rate table of SetVideoInfo and the
// stepping of the fast forward and rewind rates.
#pragma once

#include <cstdint>

namespace lumacast {

// Edges in picture pixels; right and bottom are exclusive ends of the drag.
struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Box&) const = default;
};

// The rubber band from the press point towards the current point, with the
// picture's aspect ratio: the longer of the two distances decides, the other
// follows it and is clamped to 0 or the limit; a clamped side shortens the
// first one again. Returned normalised.
Box ZoomDragBox(int startX, int startY, int currentX, int currentY, int videoWidth, int videoHeight,
                int limitRight, int limitBottom);

// Hundredths of a decibel (-10000..0) to a linear factor; -10000 is silence.
double VolumeFactor(std::int32_t hundredthsOfDecibel);

// SetVideoInfo: a = FrameRate + 1 (or 30 for kind of file 1). Leaves
// frameRateValue alone for values the table does not list.
void RateForVideoInfo(int a, int videoType, std::uint8_t& frameRateValue, std::int32_t& rateCode);

// Rate steps of SeekToFF(0) and SeekToRew(0).
std::int32_t NextForwardRate(std::int32_t rate);
std::int32_t NextRewindRate(std::int32_t rate);

// Where a background picture of w x h goes in bounds of W x H: its own size
// when smaller in both directions, else the largest size that fits, centred.
Box BackgroundPlacement(int pictureWidth, int pictureHeight, int boundsWidth, int boundsHeight);

}  // namespace lumacast
