// The default extraction: grouping, reclustering, ordering, palette reuse,
// ownership of the derived palette DIB, and refusals.
#include <gtest/gtest.h>

#include <vector>

#include "extract/extract_fixtures.h"

using xt::HostDib;
using xt::Members;
using xt::Rgb;

namespace {
// A table whose entries are all distinct and not used unless a test says so.
std::vector<tagRGBQUAD> Table() {
    std::vector<tagRGBQUAD> t(256);
    for (int i = 0; i < 256; ++i) t[i] = Rgb(i, 255 - i, (i * 7) & 0xFF);
    return t;
}

// An image of w x h whose pixels take the given indices, each repeated
// counts[k] times in reading order.
void* Image(std::vector<tagRGBQUAD> table, int w, int h, std::vector<int> indices, std::vector<int> counts) {
    std::vector<int> px;
    for (size_t k = 0; k < indices.size(); ++k) px.insert(px.end(), counts[k], indices[k]);
    px.resize(static_cast<size_t>(w) * h, indices.empty() ? 0 : indices[0]);
    return xt::Host8(w, h, table, [&](int x, int y) { return px[static_cast<size_t>(y) * w + x]; });
}
}  // namespace

TEST(ExtractDefault, HueStepsDecideWhetherTwoColoursShareAPocket) {
    const tagRGBQUAD hue10 = Rgb(200, 50, 0), hue25 = Rgb(200, 120, 0), hue35 = Rgb(200, 167, 0);
    ASSERT_EQ(HslHue(RGBtoHSL(hue10)), 10);
    ASSERT_EQ(HslHue(RGBtoHSL(hue25)), 25);
    ASSERT_EQ(HslHue(RGBtoHSL(hue35)), 35);
    {
        std::vector<tagRGBQUAD> table = Table();
        table[4] = hue10;
        table[9] = hue25;
        HostDib dib(Image(table, 4, 4, {4, 9}, {10, 6}));
        ccColorPocketArray t;
        EXPECT_EQ(t.SetDib(dib.h), 0);
        ASSERT_EQ(t.pockets.GetSize(), 1);
        EXPECT_EQ(Members(t.pockets[0]), (std::vector<int>{4, 9}));
        EXPECT_EQ(t.pockets[0]->pixelNum, 16);
        EXPECT_FLOAT_EQ(t.pockets[0]->percentage, 1.0f);
    }
    {
        std::vector<tagRGBQUAD> table = Table();
        table[4] = hue10;
        table[9] = hue35;
        HostDib dib(Image(table, 4, 4, {4, 9}, {10, 6}));
        ccColorPocketArray t;
        EXPECT_EQ(t.SetDib(dib.h), 0);
        ASSERT_EQ(t.pockets.GetSize(), 2);
        EXPECT_EQ(Members(t.pockets[0]), (std::vector<int>{4}));
        EXPECT_EQ(Members(t.pockets[1]), (std::vector<int>{9}));
        EXPECT_FLOAT_EQ(t.pockets[0]->percentage, 10.0f / 16);
        EXPECT_FLOAT_EQ(t.pockets[1]->percentage, 6.0f / 16);
        EXPECT_EQ(t.pockets[0]->index, 0);
        EXPECT_EQ(t.pockets[1]->index, 1);
        EXPECT_EQ(t.sortMode, 2);
    }
}

TEST(ExtractDefault, GreyAndChromaticColoursStartInSeparatePockets) {
    {
        // Same lightness, one grey and one faintly red.
        std::vector<tagRGBQUAD> table = Table();
        table[1] = Rgb(128, 128, 128);
        table[2] = Rgb(129, 127, 127);
        ASSERT_EQ(HslLight(RGBtoHSL(table[1])), HslLight(RGBtoHSL(table[2])));
        HostDib dib(Image(table, 3, 3, {1, 2}, {5, 4}));
        ccColorPocketArray t;
        ASSERT_EQ(t.SetDib(dib.h), 0);
        ASSERT_EQ(t.pockets.GetSize(), 2);
        EXPECT_EQ(HslGrey(t.pockets[0]->aveHSL), 1);
        EXPECT_EQ(HslGrey(t.pockets[1]->aveHSL), 0);
    }
    {
        // Only greys, far apart in lightness: one pocket holding all of them.
        std::vector<tagRGBQUAD> table = Table();
        const int greys[] = {0, 40, 128, 200, 255};
        for (int k = 0; k < 5; ++k) table[10 + 30 * k] = Rgb(greys[k], greys[k], greys[k]);
        HostDib dib(Image(table, 5, 4, {10, 40, 70, 100, 130}, {1, 2, 3, 4, 10}));
        ccColorPocketArray t;
        ASSERT_EQ(t.SetDib(dib.h), 0);
        ASSERT_EQ(t.pockets.GetSize(), 1);
        EXPECT_EQ(Members(t.pockets[0]), (std::vector<int>{10, 40, 70, 100, 130}));
        EXPECT_EQ(t.pockets[0]->pixelNum, 20);
        EXPECT_FLOAT_EQ(t.pockets[0]->percentage, 1.0f);
        EXPECT_EQ(t.pockets[0]->index, 0);
        EXPECT_EQ(HslGrey(t.pockets[0]->aveHSL), 1);
    }
    {
        // One colour: one pocket of one item; the palette describes the image.
        std::vector<tagRGBQUAD> table = Table();
        HostDib dib(Image(table, 4, 3, {9}, {12}));
        ccColorPocketArray t;
        ASSERT_EQ(t.SetDib(dib.h), 0);
        ASSERT_EQ(t.pockets.GetSize(), 1);
        EXPECT_EQ(Members(t.pockets[0]), (std::vector<int>{9}));
        EXPECT_FLOAT_EQ(t.pockets[0]->percentage, 1.0f);
        EXPECT_EQ(t.pockets[0]->index, 0);
        ASSERT_EQ(t.paletteSize, 256);
        EXPECT_EQ(t.palette[9].pixelNum, 12);
        EXPECT_FLOAT_EQ(t.palette[9].percentage, 1.0f);
        EXPECT_EQ(t.palette[0].pixelNum, 0);
        EXPECT_EQ(t.palette[200].palIndex, 200);
        EXPECT_EQ(RgbWord(t.palette[200].rgb), RgbWord(table[200]));
        EXPECT_EQ(t.palette[200].hsl, RGBtoHSL(table[200]));
    }
}

TEST(ExtractDefault, ReclusteringMovesCountsWhileSharesKeepTheFirstGrouping) {
    // Index 2 (dull red) joins the red pocket by hue, then moves to the nearer
    // bluish pocket; the order follows the moved counts, the shares do not.
    std::vector<tagRGBQUAD> table = Table();
    table[0] = Rgb(255, 0, 0);
    table[1] = Rgb(50, 50, 70);
    table[2] = Rgb(60, 45, 45);
    ASSERT_EQ(HslHue(RGBtoHSL(table[2])), 0);
    ASSERT_EQ(HslHue(RGBtoHSL(table[1])), 170);
    HostDib dib(Image(table, 14, 1, {0, 1, 2}, {6, 4, 4}));
    ccColorPocketArray t;
    ASSERT_EQ(t.SetDib(dib.h), 0);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    ccColorPocket* bluish = t.pockets[0];
    ccColorPocket* red = t.pockets[1];
    EXPECT_EQ(Members(bluish), (std::vector<int>{1, 2}));
    EXPECT_EQ(Members(red), (std::vector<int>{0}));
    EXPECT_EQ(bluish->pixelNum, 8);
    EXPECT_EQ(red->pixelNum, 6);
    EXPECT_FLOAT_EQ(bluish->percentage, 4.0f / 14);
    EXPECT_FLOAT_EQ(red->percentage, 10.0f / 14);
    // Pixel-weighted mean of (50,50,70) and (60,45,45), four pixels each.
    EXPECT_EQ(RgbWord(bluish->aveRGB), RgbWord(Rgb(55, 47, 57)));
    EXPECT_EQ(bluish->index, 0);
    EXPECT_EQ(red->index, 1);
}

TEST(ExtractDefault, EqualCountsKeepTheOrderInWhichPocketsWereCreated) {
    for (int flip = 0; flip < 2; ++flip) {
        std::vector<tagRGBQUAD> table = Table();
        table[5] = flip ? Rgb(0, 0, 255) : Rgb(255, 0, 0);
        table[200] = flip ? Rgb(255, 0, 0) : Rgb(0, 0, 255);
        HostDib dib(Image(table, 6, 2, {200, 5}, {6, 6}));
        ccColorPocketArray t;
        ASSERT_EQ(t.SetDib(dib.h), 0);
        ASSERT_EQ(t.pockets.GetSize(), 2);
        EXPECT_EQ(Members(t.pockets[0]), (std::vector<int>{5}));
        EXPECT_EQ(Members(t.pockets[1]), (std::vector<int>{200}));
    }
}

TEST(ExtractDefault, RefusalsLeaveThePocketsAsTheyWere) {
    std::vector<tagRGBQUAD> table = Table();
    table[1] = Rgb(255, 0, 0);
    table[2] = Rgb(0, 0, 255);
    HostDib good(Image(table, 4, 4, {1, 2}, {8, 8}));
    ccColorPocketArray t;
    ASSERT_EQ(t.SetDib(good.h), 0);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    ccColorPocket* p0 = t.pockets[0];
    ccColorPocket* p1 = t.pockets[1];
    auto unchanged = [&] {
        return t.pockets.GetSize() == 2 && t.pockets[0] == p0 && t.pockets[1] == p1 &&
               p0->items.GetSize() == 1 && p1->items.GetSize() == 1;
    };

    // The same handle again: -11, no extraction.
    EXPECT_EQ(t.SetDib(good.h), -11);
    EXPECT_TRUE(unchanged());

    // A 16-colour table: the extraction fails, SetDib still reports 0.
    HostDib sixteen(xt::Host8(4, 4, table, [](int x, int) { return x; }, 16));
    EXPECT_EQ(t.SetDib(sixteen.h), 0);
    EXPECT_EQ(t.palDib, sixteen.h);
    EXPECT_FALSE(t.ownsPalDib);
    EXPECT_EQ(t.GetColorPockets(), -1);
    EXPECT_TRUE(unchanged());

    // Headers with no pixels: width 0, negative height (top-down).
    for (int bad = 0; bad < 3; ++bad) {
        HostDib dib(xt::Host8(4, 4, table, [](int, int) { return 3; }));
        {
            auto* hdr = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib.h));
            if (bad == 0) hdr->biWidth = 0;
            if (bad == 1) hdr->biHeight = -4;
            if (bad == 2) hdr->biWidth = -1;
            GlobalUnlock(dib.h);
        }
        t.SetPalDib(dib.h, false);
        EXPECT_EQ(t.GetColorPockets(), -1);
        EXPECT_TRUE(unchanged());
    }

    // A 24-bit image given as the palette DIB.
    HostDib rgb(xt::Host24(3, 3, [](int, int) { return Rgb(9, 9, 9); }));
    t.SetPalDib(rgb.h, false);
    EXPECT_EQ(t.GetColorPockets(), -1);
    EXPECT_TRUE(unchanged());

    // No image at all.
    t.SetPalDib(nullptr, false);
    EXPECT_EQ(t.GetColorPockets(), -1);
    EXPECT_TRUE(unchanged());
    ccColorPocketArray empty;
    EXPECT_EQ(empty.GetColorPockets(), -1);
    EXPECT_EQ(empty.pockets.GetSize(), 0);
}

TEST(ExtractDefault, LaterCallsReuseThePaletteWithItsStoredCounts) {
    std::vector<tagRGBQUAD> table = Table();
    table[1] = Rgb(255, 0, 0);
    table[2] = Rgb(0, 0, 255);
    table[3] = Rgb(0, 255, 0);
    HostDib first(Image(table, 5, 2, {1, 2}, {6, 4}));
    ccColorPocketArray t;
    ASSERT_EQ(t.SetDib(first.h), 0);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    const ccColorItem* palette = t.palette;
    std::vector<std::vector<int>> members = {Members(t.pockets[0]), Members(t.pockets[1])};

    // Again on the same image: the same pockets, the same palette array.
    ASSERT_EQ(t.GetColorPockets(), 0);
    EXPECT_EQ(t.palette, palette);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    EXPECT_EQ(Members(t.pockets[0]), members[0]);
    EXPECT_EQ(Members(t.pockets[1]), members[1]);
    EXPECT_EQ(t.pockets[0]->pixelNum, 6);

    // A second image using only index 3: the fresh histogram starts one pocket
    // from index 3, but reclustering goes by the stored counts (1 and 2).
    HostDib second(Image(table, 5, 2, {3}, {10}));
    ASSERT_EQ(t.SetDib(second.h), 0);
    EXPECT_EQ(t.palette, palette);
    EXPECT_EQ(t.palette[1].pixelNum, 6);
    EXPECT_EQ(t.palette[3].pixelNum, 0);
    ASSERT_EQ(t.pockets.GetSize(), 1);
    EXPECT_EQ(Members(t.pockets[0]), (std::vector<int>{1, 2}));
    EXPECT_EQ(t.pockets[0]->pixelNum, 10);
    EXPECT_EQ(t.pockets[0]->percentage, 0.0f);  // item 3's stored count over the image

    // A palette too small for every index is rebuilt rather than overrun.
    ccColorPocketArray small;
    small.InitPalette(16);
    small.SetPalDib(first.h, false);
    ASSERT_EQ(small.GetColorPockets(), 0);
    EXPECT_EQ(small.paletteSize, 256);
    EXPECT_EQ(small.palette[1].pixelNum, 6);
    EXPECT_EQ(small.pockets.GetSize(), 2);
}

TEST(ExtractDefault, TheThemeOwnsAndReleasesThePaletteDibItDerives) {
    HostDib rgb(xt::Host24(9, 7, [](int x, int y) { return Rgb(x * 28, y * 36, (x + y) * 10); }));
    const long live = hv::LiveHandles();
    {
        ccColorPocketArray t;
        t.SetTrueDib(rgb.h);
        ASSERT_EQ(t.GetColorPockets(), 0);
        ASSERT_NE(t.palDib, nullptr);
        EXPECT_TRUE(t.ownsPalDib);
        EXPECT_EQ(hv::LiveHandles(), live + 1);
        long long sum = 0;
        for (ccColorPocket* p : t.pockets) sum += p->pixelNum;
        EXPECT_EQ(sum, 63);
        // A second extraction keeps the derived DIB instead of making another.
        void* derived = t.palDib;
        ASSERT_EQ(t.GetColorPockets(), 0);
        EXPECT_EQ(t.palDib, derived);
        EXPECT_EQ(hv::LiveHandles(), live + 1);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
    {
        // Attaching a host image releases the derived one.
        std::vector<tagRGBQUAD> table = Table();
        HostDib host(Image(table, 2, 2, {7}, {4}));
        ccColorPocketArray t;
        t.SetTrueDib(rgb.h);
        ASSERT_EQ(t.GetColorPockets(), 0);
        EXPECT_EQ(hv::LiveHandles(), live + 1);
        EXPECT_EQ(t.SetDib(host.h), 0);
        EXPECT_EQ(hv::LiveHandles(), live);
        EXPECT_FALSE(t.ownsPalDib);
        ASSERT_EQ(t.pockets.GetSize(), 1);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
    {
        // A true DIB that cannot be reduced: -1, nothing allocated.
        std::vector<tagRGBQUAD> table = Table();
        HostDib notTrue(Image(table, 2, 2, {7}, {4}));
        ccColorPocketArray t;
        t.SetTrueDib(notTrue.h);
        EXPECT_EQ(t.GetColorPockets(), -1);
        EXPECT_EQ(t.palDib, nullptr);
        EXPECT_EQ(hv::LiveHandles(), live);
    }
}
