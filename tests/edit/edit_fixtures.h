// Small hand-made palette images and themes for the editing tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "extract/extract_fixtures.h"

namespace ed {

using xt::G;
using xt::Groups;
using xt::Rgb;
using xt::V;
using Pts = std::vector<tagPOINT>;

// A theme over a host palette image. rows lists the palette indices of
// each row from the top, as the user sees the image; colour-table entry and
// palette item i take colours[i] (default: a dark colour of its own), and
// pixelNum / percentage come from the image. Each group of `pockets`
// becomes a pocket with the plain mean of its items.
struct Scene {
    xt::HostDib dib{nullptr};
    ccColorPocketArray t;
    int w, h;

    Scene(const std::vector<V>& rows, const std::map<int, tagRGBQUAD>& colours, const G& pockets)
        : w(static_cast<int>(rows[0].size())), h(static_cast<int>(rows.size())) {
        std::vector<tagRGBQUAD> table(256);
        int counts[256] = {};
        V px;  // storage row 0 is the last row
        for (int i = 0; i < 256; ++i)
            table[i] = colours.count(i) ? colours.at(i) : Rgb(i % 7, 3 + i % 5, i % 3);
        for (size_t y = rows.size(); y-- > 0;) px.insert(px.end(), rows[y].begin(), rows[y].end());
        for (int i : px) ++counts[i];
        dib.h = xt::Image(8, w, h, px, table);
        t.InitPalette(256);
        for (int i = 0; i < 256; ++i)
            t.SetPalEntryBYTE(i, table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, counts[i], w * h);
        for (const V& g : pockets) {
            auto* p = new ccColorPocket;
            for (int i : g) {
                p->items.Add(&t.palette[i]);
                p->pixelNum += counts[i];
                p->percentage += t.palette[i].percentage;
            }
            p->GetAveRGB();
            p->GetAveHSL();
            t.pockets.Add(p);
        }
        t.SetPalDib(dib.h, false);
    }
    ~Scene() { t.SetPalDib(nullptr, false); }
    ccColorPocket* P(int k) { return t.pockets[k]; }
    ccColorPocket* Last() { return t.pockets[t.pockets.GetSize() - 1]; }
    void Select(const V& selState) {
        for (size_t k = 0; k < selState.size(); ++k) P(static_cast<int>(k))->selState = selState[k];
    }
};

// The colour table of a DIB as words (all four bytes), and its pixel bytes
// row after row.
inline std::vector<uint32_t> Colours(void* dib) {
    ipDibStuff v(dib, false);
    std::vector<uint32_t> words;
    for (int i = 0; i < v.numColors; ++i) words.push_back(RgbWord(v.colors[i]));
    return words;
}
inline std::vector<BYTE> Pixels(void* dib) {
    ipDibStuff v(dib, false);
    std::vector<BYTE> out;
    for (BYTE* row : v.rows)
        out.insert(out.end(), row, row + static_cast<size_t>(v.width()) * v.bitCount() / 8);
    return out;
}

// A finished stroke through the given points (image coordinates).
inline wStroke Stroke(const Pts& pts, unsigned width = 1) {
    wStroke s(width);
    s.StartStroke();
    for (const tagPOINT& p : pts) s.AddPoint(p.x, p.y);
    s.FinishStroke();
    return s;
}

// The theme's invariants after any edit: each palette colour in at most one
// pocket, each pocket's pixel count the sum over its items, and the colour
// of every non-empty pocket the plain mean of its items.
inline void ExpectConsistent(const ccColorPocketArray& t) {
    std::map<int, int> seen;
    for (ccColorPocket* p : t.pockets) {
        long long pixels = 0, sum[3] = {};
        for (ccColorItem* it : p->items) {
            EXPECT_EQ(++seen[it->palIndex], 1) << "colour " << it->palIndex << " in two pockets";
            pixels += it->pixelNum;
            sum[0] += it->rgb.rgbRed, sum[1] += it->rgb.rgbGreen, sum[2] += it->rgb.rgbBlue;
        }
        EXPECT_EQ(p->pixelNum, pixels);
        const long long n = p->items.GetSize();
        if (n == 0) continue;
        EXPECT_EQ(RgbWord(p->aveRGB) & 0xFFFFFF,
                  RgbWord(Rgb(int(sum[0] / n), int(sum[1] / n), int(sum[2] / n))));
        EXPECT_EQ(p->aveHSL, RGBtoHSL(p->aveRGB));
    }
}

}  // namespace ed
