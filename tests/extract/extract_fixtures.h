// Building blocks for the extraction tests: host DIBs and hand-made pockets.
#pragma once

#include <cstring>
#include <functional>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace xt {

inline tagRGBQUAD Rgb(int r, int g, int b) {
    return {static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

// A host handle (GlobalAlloc) released at the end of the scope.
struct HostDib {
    void* h = nullptr;
    HostDib() = default;
    explicit HostDib(void* handle) : h(handle) {}
    ~HostDib() {
        if (h) GlobalFree(h);
    }
    HostDib(const HostDib&) = delete;
    HostDib& operator=(const HostDib&) = delete;
};

// A host 8-bit DIB of w x h; pixel(x, y) gives the palette index, y = 0 being
// the bottom row. The table has `entries` colours (the rest of `table` is
// ignored; missing ones are black).
inline void* Host8(int w, int h, const std::vector<tagRGBQUAD>& table, std::function<int(int, int)> pixel,
                   int entries = 256) {
    const size_t stride = static_cast<size_t>((w * 8 + 31) / 32 * 4);
    const size_t size = sizeof(BITMAPINFOHEADER) + 4 * static_cast<size_t>(entries) + stride * h;
    void* dib = GlobalAlloc(GHND, size);
    auto* bytes = static_cast<BYTE*>(GlobalLock(dib));
    auto* hdr = reinterpret_cast<BITMAPINFOHEADER*>(bytes);
    hdr->biSize = sizeof(BITMAPINFOHEADER);
    hdr->biWidth = w;
    hdr->biHeight = h;
    hdr->biPlanes = 1;
    hdr->biBitCount = 8;
    hdr->biCompression = BI_RGB;
    hdr->biClrUsed = static_cast<DWORD>(entries);
    auto* colors = reinterpret_cast<tagRGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < entries; ++i) colors[i] = i < static_cast<int>(table.size()) ? table[i] : Rgb(0, 0, 0);
    BYTE* px = bytes + sizeof(BITMAPINFOHEADER) + 4 * entries;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) px[y * stride + x] = static_cast<BYTE>(pixel(x, y));
    GlobalUnlock(dib);
    return dib;
}

// A host 24-bit DIB of w x h; colour(x, y) gives each pixel.
inline void* Host24(int w, int h, std::function<tagRGBQUAD(int, int)> colour) {
    const size_t stride = static_cast<size_t>((w * 24 + 31) / 32 * 4);
    void* dib = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + stride * h);
    auto* bytes = static_cast<BYTE*>(GlobalLock(dib));
    auto* hdr = reinterpret_cast<BITMAPINFOHEADER*>(bytes);
    hdr->biSize = sizeof(BITMAPINFOHEADER);
    hdr->biWidth = w;
    hdr->biHeight = h;
    hdr->biPlanes = 1;
    hdr->biBitCount = 24;
    hdr->biCompression = BI_RGB;
    BYTE* px = bytes + sizeof(BITMAPINFOHEADER);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const tagRGBQUAD q = colour(x, y);
            BYTE* p = px + y * stride + 3 * x;
            p[0] = q.rgbBlue;
            p[1] = q.rgbGreen;
            p[2] = q.rgbRed;
        }
    GlobalUnlock(dib);
    return dib;
}

// A 256-item palette, item i black with no pixels unless set afterwards.
inline void BlankPalette(ccColorPocketArray& t) {
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, 0, 0, 0, 0, 1);
}

// Sets palette item i and returns it.
inline ccColorItem* Item(ccColorPocketArray& t, int i, tagRGBQUAD c, int pixels) {
    return t.SetPalEntryBYTE(i, c.rgbRed, c.rgbGreen, c.rgbBlue, pixels, 1000);
}

// Appends a pocket holding the given palette items, with the unweighted mean
// and the summed count that AddColorItem would give.
inline ccColorPocket* AddPocket(ccColorPocketArray& t, std::vector<int> indices, float share = 0) {
    auto* p = new ccColorPocket;
    p->pixelNum = 0;
    for (int i : indices) {
        p->items.Add(&t.palette[i]);
        p->pixelNum += t.palette[i].pixelNum;
    }
    if (p->GetAveRGB() == 0) p->GetAveHSL();
    p->percentage = share;
    t.pockets.Add(p);
    return p;
}

// Palette indices of a pocket's items, in order.
inline std::vector<int> Members(const ccColorPocket* p) {
    std::vector<int> v;
    for (ccColorItem* it : p->items) v.push_back(it->palIndex);
    return v;
}

}  // namespace xt
