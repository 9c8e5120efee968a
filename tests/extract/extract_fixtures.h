// Building blocks for the extraction tests: host DIBs and hand-made pockets.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace xt {

using V = std::vector<int>;
using G = std::vector<V>;  // the members of each pocket

inline tagRGBQUAD Rgb(int r, int g, int b) {
    return {static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

// A host handle (GlobalAlloc) released at the end of the scope.
struct HostDib {
    void* h;
    explicit HostDib(void* handle) : h(handle) {}
    HostDib(const HostDib&) = delete;
    ~HostDib() { GlobalFree(h); }
};

// A host 8-bit DIB of w x h whose pixel (x, y), y = 0 being the bottom row,
// has palette index px[y * w + x] (px[0] where px is short). Its colour table
// has `entries` distinct colours, except those replaced by `set`.
using Set = std::vector<std::pair<int, tagRGBQUAD>>;
inline void* Host8(int w, int h, V px, const Set& set = {}, int entries = 256) {
    const int stride = (w + 3) / 4 * 4, head = static_cast<int>(sizeof(BITMAPINFOHEADER)) + 4 * entries;
    void* dib = GlobalAlloc(GHND, static_cast<size_t>(head + stride * h));
    auto* bytes = static_cast<BYTE*>(GlobalLock(dib));
    *reinterpret_cast<BITMAPINFOHEADER*>(bytes) = {sizeof(BITMAPINFOHEADER),    w, h, 1, 8, BI_RGB, 0, 0, 0,
                                                   static_cast<DWORD>(entries), 0};
    auto* colours = reinterpret_cast<tagRGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER));
    for (int i = 0; i < entries; ++i) colours[i] = Rgb(i, 255 - i, (i * 7) & 0xFF);
    for (auto& e : set) colours[e.first] = e.second;
    px.resize(static_cast<size_t>(w) * h, px.empty() ? 0 : px[0]);
    for (int i = 0; i < w * h; ++i) bytes[head + i / w * stride + i % w] = static_cast<BYTE>(px[i]);
    GlobalUnlock(dib);
    return dib;
}

// The 24-bit photograph of the extraction fixtures, as a library handle.
inline void* Photo() {
    const std::string path = std::string(HUEVANE_TEST_DATA) + "/extract/coffee_120x80.bmp";
    return reinterpret_cast<void*>(LoadDIB(path.c_str()));
}

// A 256-item palette, item i black with no pixels unless set afterwards.
inline void BlankPalette(ccColorPocketArray& t) {
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, 0, 0, 0, 0, 1);
}

inline ccColorItem* Item(ccColorPocketArray& t, int i, tagRGBQUAD c, int pixels) {
    return t.SetPalEntryBYTE(i, c.rgbRed, c.rgbGreen, c.rgbBlue, pixels, 1000);
}

// Appends a pocket holding the given palette items.
inline ccColorPocket* AddPocket(ccColorPocketArray& t, V indices) {
    auto* p = new ccColorPocket;
    for (int i : indices) p->AddColorItemAny(&t.palette[i]);
    t.pockets.Add(p);
    return p;
}

// A blank palette whose items 0, 1, ... take the colours and counts (1 by
// default), each alone in a pocket at its own position.
inline void OnePocketEach(ccColorPocketArray& t, std::vector<tagRGBQUAD> colours, V counts = {},
                          std::vector<float> shares = {}) {
    BlankPalette(t);
    for (int i = 0; i < static_cast<int>(colours.size()); ++i) {
        Item(t, i, colours[i], counts.empty() ? 1 : counts[i]);
        AddPocket(t, {i})->percentage = shares.empty() ? 0.0f : shares[i];
    }
}

// The members of every pocket, in the theme's order.
inline G Groups(const ccColorPocketArray& t) {
    G v;
    for (ccColorPocket* p : t.pockets) {
        v.emplace_back();
        for (ccColorItem* it : p->items) v.back().push_back(it->palIndex);
    }
    return v;
}

}  // namespace xt
