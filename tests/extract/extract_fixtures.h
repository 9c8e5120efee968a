// Building blocks for the extraction tests: host DIBs, hand-made pockets and
// the invariants every extraction keeps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
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
    ~HostDib() {
        if (h) GlobalFree(h);
    }
};

// A host DIB of w x h at 8 or 24 bits whose pixel (x, y), y = 0 being the
// bottom row, is px[y * w + x] (px[0] where px is short): a palette index, or
// an RGB word at 24 bits. An 8-bit image has `entries` table entries, entry i
// table[i] (black where table is short).
inline void* Image(int bits, int w, int h, V px, const std::vector<tagRGBQUAD>& table = {},
                   int entries = 256) {
    if (bits != 8) entries = 0;
    const int bpp = bits / 8, stride = (w * bpp + 3) / 4 * 4;
    const int head = static_cast<int>(sizeof(BITMAPINFOHEADER)) + 4 * entries;
    void* dib = GlobalAlloc(GHND, static_cast<size_t>(head + stride * h));
    auto* bytes = static_cast<BYTE*>(GlobalLock(dib));
    *reinterpret_cast<BITMAPINFOHEADER*>(bytes) = {
        sizeof(BITMAPINFOHEADER),    w, h, 1, static_cast<WORD>(bits), BI_RGB, 0, 0, 0,
        static_cast<DWORD>(entries), 0};
    for (int i = 0; i < entries && i < static_cast<int>(table.size()); ++i)
        reinterpret_cast<tagRGBQUAD*>(bytes + sizeof(BITMAPINFOHEADER))[i] = table[i];
    px.resize(static_cast<size_t>(w) * h, px.empty() ? 0 : px[0]);
    for (int i = 0; i < w * h; ++i)
        for (int b = 0; b < bpp; ++b)
            bytes[head + i / w * stride + i % w * bpp + b] = static_cast<BYTE>(px[i] >> 8 * b);
    GlobalUnlock(dib);
    return dib;
}

inline ccColorItem* Item(ccColorPocketArray& t, int i, tagRGBQUAD c, int pixels) {
    return t.SetPalEntryBYTE(i, c.rgbRed, c.rgbGreen, c.rgbBlue, pixels, 1000);
}

// A 256-item palette, item i black with no pixels unless set afterwards.
inline void BlankPalette(ccColorPocketArray& t) {
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, 0, 0, 0, 0, 1);
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

// "1,2 3 _" as {{1, 2}, {3}, {}}; "-" as none.
inline G Lists(const std::string& field) {
    G out;
    std::istringstream words(field);
    for (std::string w; words >> w && w != "-";) {
        std::replace(w.begin(), w.end(), ',', ' ');
        std::istringstream numbers(w == "_" ? "" : w);
        out.emplace_back(std::istream_iterator<int>(numbers), std::istream_iterator<int>());
    }
    return out;
}

// The cases of a table in tests/data (blank lines and # comments left
// out), each split into its fields at "|".
inline std::vector<std::vector<std::string>> CaseTable(const std::string& name) {
    std::ifstream file(std::string(HUEVANE_TEST_DATA) + "/" + name);
    std::vector<std::vector<std::string>> cases;
    for (std::string line; std::getline(file, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        cases.emplace_back();
        for (std::string field; std::getline(fields, field, '|');) cases.back().push_back(field);
    }
    return cases;
}

// What every extraction leaves from an image with the histogram histo:
// each colour with pixels in exactly one pocket (colours without pixels only
// when anyColour), no empty pocket, and each pocket's count the sum of its
// items', all counts adding up to the image's pixels.
inline void ExpectCover(const ccColorPocketArray& t, const int* histo, long long pixels, bool anyColour,
                        const std::string& what) {
    V owner(256, -1);
    long long total = 0;
    for (int k = 0; k < t.pockets.GetSize(); ++k) {
        ccColorPocket* p = t.pockets[k];
        long long sum = 0;
        for (ccColorItem* it : p->items) {
            ASSERT_TRUE(it >= t.palette && it < t.palette + 256 && it->palIndex == it - t.palette) << what;
            EXPECT_TRUE(owner[it->palIndex] == -1 && (histo[it->palIndex] > 0 || anyColour))
                << what << " index " << it->palIndex;
            owner[it->palIndex] = k;
            sum += it->pixelNum;
        }
        EXPECT_TRUE(p->items.GetSize() > 0 && sum == p->pixelNum) << what << " pocket " << k;
        total += p->pixelNum;
    }
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(histo[i] == 0 || owner[i] >= 0) << what << " " << i << " unowned";
    EXPECT_EQ(total, pixels) << what;
}

}  // namespace xt
