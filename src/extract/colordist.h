// Squared RGB distance between two colours (internal to the extraction code).
#pragma once

#include "huevane/platform.h"

namespace hv {
// (dblue)^2 + (dgreen)^2 + (dred)^2, at most 3 x 255^2.
inline int ColorDist2(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int db = a.rgbBlue - b.rgbBlue, dg = a.rgbGreen - b.rgbGreen, dr = a.rgbRed - b.rgbRed;
    return db * db + dg * dg + dr * dr;
}

// Larger than any ColorDist2, so the first candidate always wins.
constexpr int kNoDistance = 260100;

// Pixel counts added without signed overflow: the sum saturates at the int
// range (counts loaded from outside data can be anything).
inline int AddCounts(int a, int b) {
    const long long s = static_cast<long long>(a) + b;
    if (s > 0x7FFFFFFF) return 0x7FFFFFFF;
    if (s < -0x7FFFFFFF - 1) return -0x7FFFFFFF - 1;
    return static_cast<int>(s);
}
}  // namespace hv
