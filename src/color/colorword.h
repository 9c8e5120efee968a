// Conversions and distances between the colour words (internal).
#pragma once

#include <cstdint>

#include "huevane/color.h"

// RGB word to HSL word, exact integer arithmetic; hue 42 steps per sixth.
uint32_t RGBtoHSL(uint32_t rgb);
inline uint32_t RGBtoHSL(const tagRGBQUAD& q) { return RGBtoHSL(RgbWord(q)); }

namespace hv {
// Circular hue difference on a 256-step circle, 0..128.
inline int HueDiff256(int h1, int h2) {
    int d = h1 > h2 ? h1 - h2 : h2 - h1;
    return d <= 128 ? d : 256 - d;
}
// Squared RGB distance: (dblue)^2 + (dgreen)^2 + (dred)^2, at most 3 x 255^2.
inline int ColorDist2(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int db = a.rgbBlue - b.rgbBlue, dg = a.rgbGreen - b.rgbGreen, dr = a.rgbRed - b.rgbRed;
    return db * db + dg * dg + dr * dr;
}
// Pixel counts added without signed overflow: the sum saturates at the int
// range (counts loaded from outside data can be anything).
inline int AddCounts(int a, int b) {
    const long long s = static_cast<long long>(a) + b;
    if (s > 0x7FFFFFFF) return 0x7FFFFFFF;
    if (s < -0x7FFFFFFF - 1) return -0x7FFFFFFF - 1;
    return static_cast<int>(s);
}
// 0.98 dh^2 + 0.01 ds^2 + 0.01 dl^2 of two HSL words, truncated toward zero.
int HslDist2(uint32_t a, uint32_t b);
}  // namespace hv
