// Squared RGB distance between two colours (internal to the extraction code).
#pragma once

#include "color/colorword.h"
#include "huevane/platform.h"

namespace hv {
// (dblue)^2 + (dgreen)^2 + (dred)^2, at most 3 x 255^2.
inline int ColorDist2(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int db = a.rgbBlue - b.rgbBlue, dg = a.rgbGreen - b.rgbGreen, dr = a.rgbRed - b.rgbRed;
    return db * db + dg * dg + dr * dr;
}

// Larger than any ColorDist2, so the first candidate always wins.
constexpr int kNoDistance = 260100;
}  // namespace hv
