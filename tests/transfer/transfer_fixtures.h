// Hand-built themes and images for the matching and transfer tests.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace tfix {

// A pocket of the given colour, size and flags holding no items.
inline ccColorPocket* Pocket(int r, int g, int b, int pixels, int flags = 0) {
    auto* p = new ccColorPocket;
    p->aveRGB = {BYTE(b), BYTE(g), BYTE(r), 0};
    p->aveHSL = RGBtoHSL(p->aveRGB);
    p->pixelNum = pixels;
    p->flags = flags;
    return p;
}

// A pocket with an explicit HSL word (aveRGB derived from it).
inline ccColorPocket* HslPocket(int h, int s, int l, int pixels, float share = 0, int flags = 0) {
    auto* p = new ccColorPocket;
    p->aveHSL = MakeHsl(h, s, l, 0);
    p->aveRGB = RgbQuad(HSLtoRGB(p->aveHSL));
    p->pixelNum = pixels;
    p->percentage = share;
    p->flags = flags;
    return p;
}

// Adds a pocket and gives it its position as index.
inline ccColorPocket* Add(ccColorPocketArray& t, ccColorPocket* p) {
    p->index = t.pockets.Add(p);
    return p;
}

// A 256-entry palette of the colours given (the rest black) and items for it.
inline void InitPalette(ccColorPocketArray& t, const std::vector<tagRGBQUAD>& colors, int total) {
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) {
        const tagRGBQUAD c = i < static_cast<int>(colors.size()) ? colors[i] : tagRGBQUAD{0, 0, 0, 0};
        t.SetPalEntryBYTE(i, c.rgbRed, c.rgbGreen, c.rgbBlue, 0, total);
    }
}

// A new 8-bit DIB (256-entry table) with the given colours and pixels,
// pixels[y * w + x] with y counted in memory rows.
inline void* Dib8(int w, int h, const std::vector<tagRGBQUAD>& colors, const std::vector<BYTE>& pixels) {
    void* dib = MakeEmptyDib(w, h, 8, true);
    ipDibStuff v(dib, false);
    for (size_t i = 0; i < colors.size() && i < 256; ++i) v.colors[i] = colors[i];
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v.rows[y][x] = pixels[static_cast<size_t>(y) * w + x];
    return dib;
}

// A new 24-bit DIB whose pixel (x, y) is f(x, y) as blue, green, red.
template <typename F>
void* Dib24(int w, int h, F f) {
    void* dib = MakeEmptyDib(w, h, 24, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const tagRGBQUAD c = f(x, y);
            v.rows[y][3 * x] = c.rgbBlue;
            v.rows[y][3 * x + 1] = c.rgbGreen;
            v.rows[y][3 * x + 2] = c.rgbRed;
        }
    return dib;
}

// All pixel bytes of a DIB, row after row (padding excluded).
inline std::vector<BYTE> Pixels(void* dib) {
    ipDibStuff v(dib, false);
    std::vector<BYTE> out;
    const size_t n = static_cast<size_t>(v.width()) * v.bitCount() / 8;
    for (BYTE* row : v.rows) out.insert(out.end(), row, row + n);
    return out;
}

inline std::vector<tagRGBQUAD> Colors(void* dib) {
    ipDibStuff v(dib, false);
    return std::vector<tagRGBQUAD>(v.colors, v.colors + v.numColors);
}

// A 24-bit sample photo of the test data (256 x 160), or null.
inline void* Photo(const char* name) {
    const std::string path = std::string(HUEVANE_TEST_DATA) + "/transfer/" + name;
    return reinterpret_cast<void*>(LoadDIB(path.c_str()));
}

// The style buffer of an 8- or 24-bit image, as the style functions make it:
// the default extraction of its 8-bit form, serialised.
inline std::vector<char> StyleOf(void* dib) {
    ccColorPocketArray t(0);
    ipDibStuff v(dib, false);
    if (v.bitCount() == 24)
        t.SetPalDib(DecreaseBpp24to8(dib), true);
    else
        t.SetPalDib(dib, false);
    t.GetColorPockets();
    char* buf = nullptr;
    const int n = t.SaveToBuf(buf);
    std::vector<char> out(buf, buf + (n < 0 ? 0 : n + 4));
    t.FreeDataBuf(buf);
    return out;
}

// A copy of a DIB as a new handle (released with hv::FreeHandle).
inline void* Copy(void* dib) {
    ipDibStuff v(dib, false);
    return v.CopyToHandle();
}

inline bool Same(const tagRGBQUAD& a, const tagRGBQUAD& b) { return RgbWord(a) == RgbWord(b); }

}  // namespace tfix
