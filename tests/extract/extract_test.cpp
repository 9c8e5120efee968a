// The default extraction, the pocket-number image and the refusals of bad input.
#include <gtest/gtest.h>

#include <stdexcept>

#include "extract/extract_fixtures.h"

using namespace xt;

namespace {
// SetDib on a host image of w x h with the colours `set` whose pixels are counts[k]
// copies of indices[k] in turn; the image is released afterwards.
int Extract(ccColorPocketArray& t, int w, int h, V indices, V counts, const Set& set) {
    V px;
    for (size_t k = 0; k < indices.size(); ++k) px.insert(px.end(), counts[k], indices[k]);
    HostDib d(Image8(w, h, px, set));
    const int r = t.SetDib(d.h);
    t.SetPalDib(nullptr, false);
    return r;
}
}  // namespace

TEST(ExtractDefault, HueGreyAndCreationOrderShapeThePockets) {
    const tagRGBQUAD hue10 = Rgb(200, 50, 0), hue25 = Rgb(200, 120, 0), hue35 = Rgb(200, 167, 0);
    const tagRGBQUAD red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), grey = Rgb(128, 128, 128);
    ASSERT_EQ((V{HslHue(RGBtoHSL(hue10)), HslHue(RGBtoHSL(hue25)), HslHue(RGBtoHSL(hue35))}), (V{10, 25, 35}));
    Set greys;
    for (int k : {0, 40, 128, 200, 255}) greys.push_back({k / 2 + 1, Rgb(k, k, k)});
    struct Case {
        const char* what;
        int w, h;
        V indices, counts;
        Set set;
        G want;
    } cases[] = {
        {"15 hue steps apart", 4, 4, {4, 9}, {10, 6}, {{4, hue10}, {9, hue25}}, {{4, 9}}},
        {"25 apart: the larger first", 4, 4, {4, 9}, {6, 10}, {{4, hue10}, {9, hue35}}, {{9}, {4}}},
        {"grey and faint red", 3, 3, {1, 2}, {5, 4}, {{1, grey}, {2, Rgb(129, 127, 127)}}, {{1}, {2}}},
        {"greys of any lightness", 5, 4, {1, 21, 65, 101, 128}, {1, 2, 3, 4, 10}, greys, {{1, 21, 65, 101, 128}}},
        // Equal counts: the pocket made first (lower index) first.
        {"tie red first", 6, 2, {200, 5}, {6, 6}, {{5, red}, {200, blue}}, {{5}, {200}}},
        {"tie blue first", 6, 2, {200, 5}, {6, 6}, {{5, blue}, {200, red}}, {{5}, {200}}},
    };
    for (const Case& c : cases) {
        ccColorPocketArray t;
        ASSERT_EQ(Extract(t, c.w, c.h, c.indices, c.counts, c.set), 0) << c.what;
        EXPECT_EQ(Groups(t), c.want) << c.what;
        for (int k = 0; k < t.pockets.GetSize(); ++k) EXPECT_EQ(t.pockets[k]->index, k) << c.what;
        EXPECT_EQ(t.sortMode, c.want.size() > 1 ? 2 : 0) << c.what;
        EXPECT_FLOAT_EQ(t.pockets[0]->percentage, static_cast<float>(t.pockets[0]->pixelNum) / (c.w * c.h));
        // The palette describes the image, used entries or not.
        EXPECT_FLOAT_EQ(t.palette[c.indices[1]].percentage, static_cast<float>(c.counts[1]) / (c.w * c.h));
        EXPECT_EQ(t.palette[201].hsl, RGBtoHSL(Rgb(201, 54, 127))) << c.what;
    }
}

TEST(ExtractDefault, ReclusteringMovesCountsWhileSharesKeepTheFirstGrouping) {
    // Index 2 (dull red) joins the red pocket by hue, then moves to the nearer
    // bluish pocket: the order follows the moved counts, the shares do not.
    const Set set = {{0, Rgb(255, 0, 0)}, {1, Rgb(50, 50, 70)}, {2, Rgb(60, 45, 45)}};
    ASSERT_EQ(HslHue(RGBtoHSL(set[2].second)), 0);
    ccColorPocketArray t;
    ASSERT_EQ(Extract(t, 14, 1, {0, 1, 2}, {6, 4, 4}, set), 0);
    EXPECT_EQ(Groups(t), (G{{1, 2}, {0}}));
    EXPECT_EQ(t.pockets[0]->pixelNum, 8);
    EXPECT_FLOAT_EQ(t.pockets[0]->percentage, 4.0f / 14);
    EXPECT_FLOAT_EQ(t.pockets[1]->percentage, 10.0f / 14);
    EXPECT_EQ(RgbWord(t.pockets[0]->aveRGB), RgbWord(Rgb(55, 47, 57)));  // pixel-weighted

    // A later call groups by the fresh histogram but counts by the stored
    // palette: only index 3 has pixels now, yet the stored counts (6, 4, 0)
    // put items 1 and 2 into its pocket when reclustering.
    const Set rgb = {{1, Rgb(255, 0, 0)}, {2, Rgb(0, 0, 255)}, {3, Rgb(0, 255, 0)}};
    ccColorPocketArray u, shortPalette;
    ASSERT_EQ(Extract(u, 5, 2, {1, 2}, {6, 4}, rgb), 0);
    ASSERT_EQ(Extract(u, 5, 2, {3}, {10}, rgb), 0);
    EXPECT_EQ(Groups(u), (G{{1, 2}}));
    EXPECT_EQ(u.pockets[0]->percentage, 0.0f);  // item 3's stored count over the image
    // A palette too small for every index is rebuilt, not overrun.
    shortPalette.InitPalette(16);
    ASSERT_EQ(Extract(shortPalette, 5, 2, {1, 2}, {6, 4}, rgb), 0);
    EXPECT_EQ(Groups(shortPalette), (G{{1}, {2}}));
}

TEST(ExtractIndexMap, EachPixelHoldsThePositionOfItsPocket) {
    const int w = 5, h = 3;  // 3 bytes of row padding
    V px;
    for (int i = 0; i < w * h; ++i) px.push_back((i % w * 7 + i / w * 3) % 6 + 10);  // indices 10..15
    HostDib d(Image8(w, h, px));
    ccColorPocketArray t;
    BlankPalette(t);
    t.SetPalDib(d.h, false);
    const long live = hv::LiveHandles();
    // Pockets {12, 13}, {10}, {14, 11} (15 in none); then {10} again, as a
    // later pocket taking the shared index; then no pockets at all.
    const V pocketOf[] = {{1, 2, 0, 0, 2, 0}, {3, 2, 0, 0, 2, 0}, {0, 0, 0, 0, 0, 0}};
    for (V members : {V{12, 13}, V{10}, V{14, 11}}) AddPocket(t, members);
    for (int round = 0; round < 3; ++round) {
        if (round == 1) AddPocket(t, {10});
        if (round == 2) t.ClearAll();
        void* map = t.FillPocketIndexInDib();
        EXPECT_EQ(hv::LiveHandles(), live + 1);
        {
            ipDibStuff v(map, false);
            ASSERT_TRUE(v.isPalette8() && v.width() == w && v.height() == h);
            for (int i = 0; i < w * h; ++i) EXPECT_EQ(v.rows[i / w][i % w], pocketOf[round][px[i] - 10]) << i;
        }
        hv::FreeHandle(map);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ExtractRefusals, BadInputIsRefusedWithoutChangesOrAllocations) {
    void* photo = Photo();
    const long live = hv::LiveHandles();
    HostDib good(Image8(4, 4, {1, 2}, {{1, Rgb(255, 0, 0)}}));
    ccColorPocketArray t;
    ASSERT_EQ(t.SetDib(good.h), 0);
    ccColorPocket* p0 = t.pockets[0];
    auto refused = [&](void* dib) {
        t.SetPalDib(dib, false);
        return t.GetColorPockets() == -1 && t.pockets[0] == p0 && Groups(t) == G{{1}, {2}};
    };
    // Headers without pixels: width or height 0 or negative.
    for (int bad = 0; bad < 4; ++bad) {
        HostDib d(Image8(4, 4, {3}));
        auto* hdr = static_cast<BITMAPINFOHEADER*>(GlobalLock(d.h));
        (bad < 2 ? hdr->biWidth : hdr->biHeight) = bad % 2 ? -4 : 0;
        GlobalUnlock(d.h);
        EXPECT_TRUE(refused(d.h) && !t.FillPocketIndexInDib()) << bad;
        t.SetPalDib(nullptr, false);  // before d goes: a stale handle could match the next one made
    }
    HostDib sixteen(Image8(4, 4, {3}, {}, 16));
    EXPECT_EQ(t.SetDib(sixteen.h), 0);  // 0 whatever the extraction gives
    EXPECT_TRUE(refused(sixteen.h) && refused(photo) && !t.FillPocketIndexInDib() && refused(nullptr));
    ccColorPocketArray wrongDepth;  // an 8-bit image as the true DIB cannot be reduced
    wrongDepth.SetTrueDib(good.h);
    EXPECT_TRUE(wrongDepth.GetColorPockets() == -1 && !wrongDepth.palDib);

    // Merging, nearest pocket and orders outside their ranges change nothing.
    ccColorPocketArray one, none;
    one.pockets.Add(new ccColorPocket);
    one.sortMode = 3;
    none.InitPalette(16);
    V order(256, -3);
    EXPECT_EQ((V{t.FindNearestPocket(p0, 0), t.FindNearestPocket(static_cast<ccColorItem*>(nullptr), 2),
                 t.MergeAfter(0), t.Sort(0), t.Sort(5), t.SortPalOnCenterDist(order.data(), 256),
                 t.SortPalOnCenterDist(order.data(), -1), t.SortPalOnLight(nullptr)}),
              V(8, -1));
    EXPECT_EQ((V{one.Sort(1), one.Sort(2), one.Sort(3), one.MergePercentLess(2), one.sortMode}),
              (V{-10, -10, -10, -1, 3}));
    EXPECT_EQ((V{none.Sort(4), none.MergePercentLess(2), none.SortPalOnLight(order.data()),
                 none.SortPalOnHue(order.data()), none.SortPalOnPixelNumDesc(order.data()),
                 none.SortPalOnCenterDist(order.data(), 0)}),
              V(6, -1));
    EXPECT_THROW(t.FindNearestPocket(p0, 3), std::out_of_range);
    EXPECT_THROW(t.MergePockets(2, p0), std::out_of_range);
    EXPECT_THROW(t.MergePockets(-1, p0), std::out_of_range);
    EXPECT_TRUE(refused(nullptr));
    EXPECT_EQ(order, V(256, -3));
    EXPECT_EQ(hv::LiveHandles(), live);
    hv::FreeHandle(photo);
}
