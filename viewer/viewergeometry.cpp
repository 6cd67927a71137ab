#include "viewergeometry.h"

#include "ratetable.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace lumacast {

Box ZoomDragBox(int sx, int sy, int cx, int cy, int vw, int vh, int limitRight, int limitBottom) {
    if (vw <= 0 || vh <= 0) return {};
    const int dx = std::abs(cx - sx);
    const int dy = std::abs(cy - sy);
    const int signX = cx < sx ? -1 : 1;
    const int signY = cy < sy ? -1 : 1;
    int ex = 0, ey = 0;  // end point
    if (dx > dy) {
        ex = cx;
        ey = sy + signY * int(double(dx) * vh / vw);
        const int clamped = std::clamp(ey, 0, limitBottom);
        if (clamped != ey) {
            ey = clamped;
            ex = sx + signX * int(double(std::abs(ey - sy)) * vw / vh);
        }
    } else {
        ey = cy;
        ex = sx + signX * int(double(dy) * vw / vh);
        const int clamped = std::clamp(ex, 0, limitRight);
        if (clamped != ex) {
            ex = clamped;
            ey = sy + signY * int(double(std::abs(ex - sx)) * vh / vw);
        }
    }
    return Box{std::min(sx, ex), std::min(sy, ey), std::max(sx, ex), std::max(sy, ey)};
}

double VolumeFactor(std::int32_t v) {
    if (v <= -10000) return 0.0;
    return std::pow(10.0, double(v) / 2000.0);
}

void RateForVideoInfo(int a, int videoType, std::uint8_t& value, std::int32_t& code) {
    code = a;
    if (const auto entry = korvid::LookupRateNumber(a, videoType)) {
        value = std::uint8_t(entry->picturesPerSecond);
        code = entry->rateCode;
    }
}

std::int32_t NextForwardRate(std::int32_t r) {
    switch (r) {
    case 1: return 2;
    case 2: return 4;
    case 4: return 8;
    case 8: return 16;
    case 16: return 1;
    case 32: return 2;
    default: return r;
    }
}

std::int32_t NextRewindRate(std::int32_t r) {
    switch (r) {
    case 1: return 2;
    case 2: return 4;
    case 4: return 8;
    case 8: return 16;
    case 16: return 2;
    default: return r;
    }
}

Box BackgroundPlacement(int w, int h, int W, int H) {
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return {};
    if (w < W && h < H) {
        const int x = (W - w) / 2, y = (H - h) / 2;
        return Box{x, y, x + w, y + h};
    }
    const double r = double(w) / h;
    const int byHeightW = int(H * r);
    if (byHeightW <= W) {
        const int x = (W - byHeightW) / 2;
        return Box{x, 0, x + byHeightW, H};
    }
    const int byWidthH = int(W / r);
    const int y = (H - byWidthH) / 2;
    return Box{0, y, W, y + byWidthH};
}

}  // namespace lumacast
