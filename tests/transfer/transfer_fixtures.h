// Hand-built themes and images for the matching and transfer tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace tfix {

// Fails the test when handles made in its scope outlive it.
struct NoLeak {
    long before = hv::LiveHandles();
    ~NoLeak() { EXPECT_EQ(hv::LiveHandles(), before); }
};

// A pocket with an explicit HSL word (aveRGB derived from it), added to a
// theme with its position as index.
inline ccColorPocket* Add(ccColorPocketArray& t, int h, int s, int l, int n, float share = 0, int flags = 0) {
    auto* p = new ccColorPocket;
    p->aveHSL = MakeHsl(h, s, l, 0);
    p->aveRGB = RgbQuad(HSLtoRGB(p->aveHSL));
    p->pixelNum = n;
    p->percentage = share;
    p->flags = flags;
    p->index = t.pockets.Add(p);
    return p;
}

// A theme over an 8-bit palette image of the given colours laid out as
// `pixels` (memory rows) in a w-wide image, with one pocket per palette
// index for each size given.
inline void PaletteTheme(ccColorPocketArray& t, std::vector<tagRGBQUAD> colours,
                         const std::vector<int>& sizes, int w, const std::vector<BYTE>& pixels) {
    t.InitPalette(256);
    colours.resize(256);
    void* dib = MakeEmptyDib(w, static_cast<int>(pixels.size()) / w, 8, true);
    {
        ipDibStuff v(dib, false);
        for (int i = 0; i < 256; ++i) {
            t.SetPalEntryBYTE(i, colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, 0, 100);
            v.colors[i] = colours[i];
        }
        for (size_t i = 0; i < pixels.size(); ++i) v.rows[i / w][i % w] = pixels[i];
    }
    t.SetPalDib(dib, true);
    for (size_t i = 0; i < sizes.size(); ++i) {
        const uint32_t hsl = RGBtoHSL(colours[i]);
        Add(t, HslHue(hsl), HslSat(hsl), HslLight(hsl), sizes[i])->items.Add(&t.palette[i]);
        t.pockets[static_cast<int>(i)]->aveRGB = colours[i];
    }
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
    return {v.colors, v.colors + v.numColors};
}

// A 24-bit photo of the test data (256 x 160), or null.
inline void* Photo(const char* name) {
    const std::string path = std::string(HUEVANE_TEST_DATA) + "/transfer/" + name;
    return reinterpret_cast<void*>(LoadDIB(path.c_str()));
}

// The style buffer of a 24-bit image as the style functions make it.
inline std::vector<char> StyleOf(void* dib) {
    ccColorPocketArray t(0);
    t.SetPalDib(DecreaseBpp24to8(dib), true);
    t.GetColorPockets();
    char* buf = nullptr;
    const int n = t.SaveToBuf(buf);
    std::vector<char> out(buf, buf + (n < 0 ? 0 : n + 4));
    t.FreeDataBuf(buf);
    return out;
}

// A copy of a DIB as a new handle (released with hv::FreeHandle).
inline void* Copy(void* dib) { return ipDibStuff(dib, false).CopyToHandle(); }

}  // namespace tfix
