// Small hand-made palette images and themes for the editing tests.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "extract/extract_fixtures.h"

namespace ed {

using xt::G;
using xt::Rgb;
using xt::V;

// A theme over a host palette image. rows lists the palette indices of
// each row from the top, as the user sees the image; colour-table entry and
// palette item i take colours[i] (default: a dark colour of its own), and
// pixelNum / percentage come from the image. Each group of `pockets`
// becomes a pocket with the plain mean of its items.
struct Scene {
    xt::HostDib dib{nullptr};
    ccColorPocketArray t;
    int w = 0, h = 0;

    Scene(const std::vector<V>& rows, const std::map<int, tagRGBQUAD>& colours, const G& pockets) {
        h = static_cast<int>(rows.size());
        w = static_cast<int>(rows[0].size());
        std::vector<tagRGBQUAD> table(256);
        for (int i = 0; i < 256; ++i) {
            auto c = colours.find(i);
            table[i] = c != colours.end() ? c->second : Rgb(i % 7, 3 + i % 5, i % 3);
        }
        int counts[256] = {};
        for (const V& r : rows)
            for (int i : r) ++counts[i];
        dib.h = xt::Host8(w, h, table, [&](int x, int y) { return rows[static_cast<size_t>(h - 1 - y)][x]; });
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
    // The colour table of the image.
    std::vector<tagRGBQUAD> Table() {
        ipDibStuff v(dib.h, false);
        return std::vector<tagRGBQUAD>(v.colors, v.colors + v.numColors);
    }
};

// A finished stroke through the given points (image coordinates).
inline wStroke Stroke(const std::vector<tagPOINT>& pts, unsigned width = 1) {
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
        long long pixels = 0, r = 0, g = 0, b = 0;
        for (ccColorItem* it : p->items) {
            EXPECT_EQ(++seen[it->palIndex], 1) << "colour " << it->palIndex << " in two pockets";
            pixels += it->pixelNum;
            r += it->rgb.rgbRed;
            g += it->rgb.rgbGreen;
            b += it->rgb.rgbBlue;
        }
        EXPECT_EQ(p->pixelNum, pixels);
        const long long n = p->items.GetSize();
        if (n == 0) continue;
        EXPECT_EQ(p->aveRGB.rgbRed, r / n);
        EXPECT_EQ(p->aveRGB.rgbGreen, g / n);
        EXPECT_EQ(p->aveRGB.rgbBlue, b / n);
        EXPECT_EQ(p->aveHSL, RGBtoHSL(p->aveRGB));
    }
}

}  // namespace ed
