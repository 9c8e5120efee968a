// The default extraction, the pocket-number image, the refusals of bad
// input, and the steps the extractions share: nearest pocket, merging,
// shares, reclustering and the orders of pockets and palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <random>
#include <stdexcept>

#include "extract/extract_fixtures.h"
#include "huevane/colorsystem.h"

using namespace xt;

namespace {
// The reference order: passes from the end, exchanging neighbours at
// positions from.. only when outOfOrder(left, right) holds, so equal keys
// keep their order.
V ExchangeSort(V v, const std::function<bool(int, int)>& outOfOrder, size_t from = 0) {
    for (size_t p = v.size(); p-- > from + 1;)
        for (size_t i = from; i < p; ++i)
            if (outOfOrder(v[i], v[i + 1])) std::swap(v[i], v[i + 1]);
    return v;
}

int Dist(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int dr = a.rgbRed - b.rgbRed, dg = a.rgbGreen - b.rgbGreen, db = a.rgbBlue - b.rgbBlue;
    return dr * dr + dg * dg + db * db;
}
}  // namespace

TEST(ExtractDefault, ALaterCallCountsByTheStoredPaletteAndAShortPaletteIsRebuilt) {
    // Only index 3 has pixels the second time, yet the stored counts (6, 4,
    // 0) put items 1 and 2 into its pocket when reclustering.
    const std::vector<tagRGBQUAD> rgb = {Rgb(0, 0, 0), Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0)};
    HostDib first(Image(8, 5, 2, {1, 1, 1, 1, 1, 1, 2, 2, 2, 2}, rgb)), second(Image(8, 5, 2, {3}, rgb));
    ccColorPocketArray u, shortPalette;
    ASSERT_EQ(u.SetDib(first.h), 0);
    ASSERT_EQ(u.SetDib(second.h), 0);
    EXPECT_EQ(Groups(u), (G{{1, 2}}));
    EXPECT_EQ(u.pockets[0]->percentage, 0.0f);  // item 3's stored count over the image
    shortPalette.InitPalette(16);
    ASSERT_EQ(shortPalette.SetDib(first.h), 0);
    EXPECT_EQ(Groups(shortPalette), (G{{1}, {2}}));
}

TEST(ExtractDefault, TheThemeOwnsThePaletteImageItDerivesUntilAHostImageReplacesIt) {
    HostDib rgb(Image(24, 5, 3, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080})), host(Image(8, 2, 2, {7}));
    const long live = hv::LiveHandles();
    ccColorPocketArray t;
    t.SetTrueDib(rgb.h);
    ASSERT_EQ(t.GetColorPockets(), 0);
    void* derived = t.palDib;
    const G groups = Groups(t);
    // Later calls keep it; the handle already attached changes nothing.
    EXPECT_TRUE(t.ownsPalDib && t.GetColorPockets() == 0 && t.palDib == derived &&
                hv::LiveHandles() == live + 1);
    EXPECT_TRUE(t.SetDib(derived) == -11 && t.palDib == derived && Groups(t) == groups);
    EXPECT_TRUE(t.SetDib(host.h) == 0 && hv::LiveHandles() == live && t.palDib == host.h && !t.ownsPalDib);
}

TEST(ExtractIndexMap, EachPixelHoldsThePositionOfItsPocket) {
    const int w = 5, h = 3;  // 3 bytes of row padding
    V px;
    for (int i = 0; i < w * h; ++i) px.push_back((i % w * 7 + i / w * 3) % 6 + 10);  // indices 10..15
    HostDib d(Image(8, w, h, px));
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
    const long live = hv::LiveHandles();
    HostDib good(Image(8, 4, 4, {1, 2}, {Rgb(0, 0, 0), Rgb(255, 0, 0)})),
        sixteen(Image(8, 4, 4, {3}, {}, 16));
    HostDib rgb(Image(24, 4, 4, {0x102030}));
    ccColorPocketArray t, wrongDepth, one, none;
    csColorSystem cs;
    ASSERT_EQ(t.SetDib(good.h), 0);
    ccColorPocket* p0 = t.pockets[0];
    EXPECT_EQ(t.SetDib(sixteen.h), 0);  // 0 whatever the extraction gives
    t.SetPalDib(rgb.h, false);          // not an 8-bit image
    EXPECT_TRUE(t.GetColorPockets() == -1 && !t.FillPocketIndexInDib() && t.pockets[0] == p0);
    t.SetPalDib(nullptr, false);
    EXPECT_TRUE(!t.FillPocketIndexInDib() && Groups(t) == (G{{1}, {2}}));
    wrongDepth.SetTrueDib(good.h);  // an 8-bit image as the true DIB cannot be reduced
    EXPECT_TRUE(wrongDepth.GetColorPockets() == -1 && !wrongDepth.palDib);
    // Merging, nearest pocket and orders outside their ranges change nothing.
    one.pockets.Add(new ccColorPocket);
    one.sortMode = 3;
    none.InitPalette(16);
    V order(256, -3);
    EXPECT_EQ((V{t.FindNearestPocket(p0, 0), t.FindNearestPocket(static_cast<ccColorItem*>(nullptr), 2),
                 t.MergeAfter(0), t.Sort(0), t.Sort(5), t.SortPalOnCenterDist(order.data(), 256),
                 t.SortPalOnCenterDist(order.data(), -1), t.SortPalOnLight(nullptr), none.Sort(4),
                 none.MergePercentLess(2), none.SortPalOnLight(order.data()), none.SortPalOnHue(order.data()),
                 none.SortPalOnPixelNumDesc(order.data()), none.SortPalOnCenterDist(order.data(), 0),
                 one.MergePercentLess(2), t.GetColorPocketsCG(nullptr, order.data()),
                 t.GetColorPocketsCG(&cs, nullptr)}),
              V(17, -1));
    EXPECT_EQ((V{one.Sort(1), one.Sort(2), one.Sort(3), one.sortMode}), (V{-10, -10, -10, 3}));
    EXPECT_THROW(t.FindNearestPocket(p0, 3), std::out_of_range);
    EXPECT_THROW(t.MergePockets(2, p0), std::out_of_range);
    EXPECT_THROW(t.MergePockets(-1, p0), std::out_of_range);
    EXPECT_TRUE(order == V(256, -3) && Groups(t) == (G{{1}, {2}}));
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ExtractMerge, NearestPocketTiesGoToTheLowestPositionAndAnyDistanceMatches) {
    ccColorPocketArray t;
    // White first (the farthest colour from black), then three at distance
    // 100 from black, then black itself.
    OnePocketEach(t, {Rgb(255, 255, 255), Rgb(10, 0, 0), Rgb(0, 10, 0), Rgb(0, 0, 10), Rgb(0, 0, 0)});
    ccColorItem* black = Item(t, 10, Rgb(0, 0, 0), 1);
    ccColorPocket probe;
    EXPECT_EQ(
        (V{t.FindNearestPocket(black, 1), t.FindNearestPocket(black, 4), t.FindNearestPocket(black, 5),
           t.FindNearestPocket(&probe, 1), t.FindNearestPocket(&probe, 4), t.FindNearestPocket(&probe, 5)}),
        (V{0, 1, 4, 0, 1, 4}));
}

TEST(ExtractMerge, MergingPoursItemsIntoTheNearestOfTheFirstPockets) {
    ccColorPocketArray t;
    OnePocketEach(t, {Rgb(10, 20, 30), Rgb(21, 0, 0), Rgb(0, 0, 1)}, {100, 1, 5}, {0.25f, 0, 0});
    ccColorPocket* dest = t.pockets[0];
    // Merging into itself changes nothing.
    EXPECT_EQ((V{t.MergePockets(0, t.pockets[1]), t.MergePockets(0, t.pockets[2]), t.MergePockets(0, dest)}),
              (V{0, 0, 0}));
    EXPECT_EQ(Groups(t), (G{{0, 1, 2}, {}, {}}));  // the sources stay, emptied
    EXPECT_EQ(dest->pixelNum, 106);
    // Unweighted, truncated mean: (10+21+0)/3, (20+0+0)/3, (30+0+1)/3.
    EXPECT_EQ(RgbWord(dest->aveRGB), RgbWord(Rgb(10, 6, 10)));
    EXPECT_EQ(dest->aveHSL, RGBtoHSL(dest->aveRGB));
    EXPECT_FLOAT_EQ(dest->percentage, 0.25f);

    // The 4th pocket goes to B, moving B to red 150; the 5th (red 70) is then
    // nearer to A than to B, though it was nearer to B before.
    ccColorPocketArray m;
    OnePocketEach(m, {Rgb(0, 0, 0), Rgb(100, 0, 0), Rgb(0, 0, 200), Rgb(200, 0, 0), Rgb(70, 0, 0)});
    EXPECT_EQ(m.MergeAfter(3), 0);
    EXPECT_EQ(Groups(m), (G{{0, 4}, {1, 3}, {2}}));

    // Shares from 50% down: a 2% cut starts at the first share strictly below
    // it (none when one is exactly 2%); at 60% the first pocket survives.
    for (int c = 0; c < 3; ++c) {
        ccColorPocketArray s;
        OnePocketEach(s,
                      {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 255, 255), Rgb(10, 10, 250),
                       Rgb(240, 250, 240)},
                      {}, {0.5f, 0.3f, 0.15f, 0.03f, c == 1 ? 0.02f : 0.015f, 0.005f});
        EXPECT_EQ(s.MergePercentLess(c == 2 ? 60 : 2), 0);
        const G want[] = {{{0}, {1}, {2, 4}, {3, 5}}, {{0}, {1}, {2}, {3, 5}, {4}}, {{0, 1, 2, 3, 4, 5}}};
        EXPECT_EQ(Groups(s), want[c]) << c;
    }

    // Shares of the pockets' own pixels (one pixel is a whole); none when they hold none.
    ccColorPocketArray g;
    OnePocketEach(g, {Rgb(1, 0, 0), Rgb(0, 1, 0)}, {30, 10}, {0.9f, 0.9f});
    for (V counts : {V{30, 10}, V{1, 0}, V{0, 0}}) {
        g.pockets[0]->pixelNum = counts[0], g.pockets[1]->pixelNum = counts[1];
        EXPECT_EQ(g.GetPercentage(), 0);
        const float total = static_cast<float>(std::max(counts[0] + counts[1], 1));
        EXPECT_TRUE(g.pockets[0]->percentage == counts[0] / total &&
                    g.pockets[1]->percentage == counts[1] / total)
            << counts[0];
    }
}

TEST(ExtractMerge, ReclusterChoosesFromTheMeansAsTheyWereBeforeTheCall) {
    ccColorPocketArray t;
    // Items 0 and 2 have no pixels and are left out; B's mean is set by hand.
    OnePocketEach(t, {Rgb(0, 0, 0), Rgb(150, 40, 0), Rgb(0, 255, 0)}, {0, 7, 0}, {0.125f, 0, 0});
    Item(t, 3, Rgb(40, 0, 0), 1000);
    Item(t, 4, Rgb(55, 0, 0), 1);
    t.pockets[1]->aveRGB = Rgb(100, 0, 0);
    ccColorPocket* a = t.pockets[0];
    ccColorPocket* b = t.pockets[1];
    EXPECT_EQ(t.Recluster(), 0);
    // Item 3 goes to A (40 < 60), moving A's mean to red 40; item 4 still goes
    // by the old means: B (45) beats A (55). C received nothing and is gone.
    EXPECT_EQ(Groups(t), (G{{3}, {1, 4}}));
    EXPECT_EQ((V{a->pixelNum, b->pixelNum}), (V{1000, 8}));
    // Pixel-weighted mean: (7*150 + 55)/8 = 138, (7*40)/8 = 35.
    EXPECT_EQ(RgbWord(b->aveRGB), RgbWord(Rgb(138, 35, 0)));
    EXPECT_EQ(b->aveHSL, RGBtoHSL(b->aveRGB));
    EXPECT_EQ(a->percentage, 0.125f);  // not refreshed

    // Equal distances go to the lower position, grey or not.
    ccColorPocketArray u;
    OnePocketEach(u, {Rgb(110, 100, 100), Rgb(90, 100, 100)}, {5, 5});
    Item(u, 2, Rgb(100, 100, 100), 5);
    EXPECT_EQ(u.Recluster(), 0);
    EXPECT_EQ(Groups(u), (G{{0, 2}, {1}}));
}

TEST(ExtractSort, EverySortEqualsTheExchangeSortOnThemesFullOfTies) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> few(0, 4), byte(0, 255);
    for (int round = 0; round < 40; ++round) {
        // Few distinct keys, so that ties are common; index = creation order.
        ccColorPocketArray t;
        BlankPalette(t);
        for (int i = 0; i < 256; ++i)
            Item(t, i, Rgb(few(rng) * 60, byte(rng) & 0xC0, few(rng) * 60), few(rng) - 2);
        const int n = 2 + round % 23, sel = round % 3 ? -1 : byte(rng) % n, centre = byte(rng);
        std::vector<ccColorPocket*> made;
        for (int i = 0; i < n; ++i) {
            made.push_back(new ccColorPocket);
            made[i]->pixelNum = few(rng) * 10 - 5;
            made[i]->aveRGB = Rgb(few(rng) * 60, few(rng) * 60, byte(rng) < 128 ? 0 : 255);
            made[i]->aveHSL = MakeHsl(few(rng) * 60 + 10, byte(rng), few(rng) * 60 + 3, byte(rng) & 1);
            made[i]->index = i;
            made[i]->selState = i == sel              ? 256 + round
                                : sel >= 0 && i > sel ? 300
                                                      : -1;  // the first one counts
            t.pockets.Add(made[i]);
        }
        const ccColorItem* pal = t.palette;
        const std::vector<ccColorItem> before(pal, pal + 256);
        V pockets(n), palette(256);
        std::iota(pockets.begin(), pockets.end(), 0);
        std::iota(palette.begin(), palette.end(), 0);
        // Pockets by a descending key, palette indices by an ascending one.
        auto desc = [&](auto key, V v, size_t from = 0) {
            return ExchangeSort(
                v, [&](int a, int b) { return key(made[a]) < key(made[b]); }, from);
        };
        auto asc = [&](auto key) {
            return ExchangeSort(palette, [&](int a, int b) { return key(a) > key(b); });
        };
        auto size = [](ccColorPocket* p) { return p->pixelNum; };
        // Main colour: the selected pocket or the largest first, the rest nearest to it first.
        V byMain = sel < 0 ? desc(size, pockets) : pockets;
        std::swap(byMain[0], byMain[sel < 0 ? 0 : sel]);
        const tagRGBQUAD c = made[byMain[0]]->aveRGB;
        const V want[] = {desc([](ccColorPocket* p) { return HslHue(p->aveHSL); }, pockets),
                          desc(size, pockets),
                          desc([](ccColorPocket* p) { return HslLight(p->aveHSL); }, pockets),
                          desc([&](ccColorPocket* p) { return -Dist(p->aveRGB, c); }, byMain, 1),
                          asc([&](int i) { return HslLight(pal[i].hsl); }),
                          asc([&](int i) { return HslHue(pal[i].hsl); }),
                          asc([&](int i) { return -pal[i].pixelNum; }),
                          asc([&](int i) { return Dist(pal[i].rgb, pal[centre].rgb); })};
        for (int k = 0; k < 8; ++k) {
            for (int i = 0; i < n; ++i)
                t.pockets.SetAt(i, made[i]);  // each sort starts from the creation order
            t.sortMode = 9;
            V got(256, -1);
            int* o = got.data();
            ASSERT_EQ(k < 4    ? t.Sort(k + 1)
                      : k == 4 ? t.SortPalOnLight(o)
                      : k == 5 ? t.SortPalOnHue(o)
                      : k == 6 ? t.SortPalOnPixelNumDesc(o)
                               : t.SortPalOnCenterDist(o, centre),
                      0);
            if (k < 4) {
                got.resize(n);
                for (int i = 0; i < n; ++i) got[i] = t.pockets[i]->index;
                EXPECT_EQ(t.sortMode, (V{1, 2, 3, 0})[k]) << k;
            }
            EXPECT_EQ(got, want[k]) << "round " << round << " case " << k;
        }
        for (int i = 0; i < 256; ++i)  // the palette orders leave the palette alone
            ASSERT_TRUE(pal[i].pixelNum == before[i].pixelNum && pal[i].hsl == before[i].hsl) << i;
    }
}
