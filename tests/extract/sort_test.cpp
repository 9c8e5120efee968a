// Pocket and palette orders, checked against a plain exchange sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "extract/extract_fixtures.h"

using xt::Rgb;

namespace {
// The reference: passes from the end, exchanging adjacent elements only when
// outOfOrder(left, right) holds.
template <typename T, typename OutOfOrder>
void ExchangeSort(std::vector<T>& v, OutOfOrder outOfOrder) {
    for (int p = static_cast<int>(v.size()) - 2; p >= 0; --p)
        for (int i = 0; i <= p; ++i)
            if (outOfOrder(v[i], v[i + 1])) std::swap(v[i], v[i + 1]);
}

std::vector<ccColorPocket*> Order(const ccColorPocketArray& t) {
    return std::vector<ccColorPocket*>(t.pockets.begin(), t.pockets.end());
}

// A theme of n pockets with few distinct keys, so ties are common.
void RandomPockets(ccColorPocketArray& t, int n, std::mt19937& rng) {
    std::uniform_int_distribution<int> small(0, 4), byte(0, 255);
    for (int i = 0; i < n; ++i) {
        auto* p = new ccColorPocket;
        p->pixelNum = small(rng) * 10 - 5;
        p->aveRGB = Rgb(small(rng) * 60, small(rng) * 60, byte(rng) < 128 ? 0 : 255);
        p->aveHSL = MakeHsl(small(rng) * 60 + 10, byte(rng), small(rng) * 60 + 3, 0);
        t.pockets.Add(p);
    }
}

int Dist(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int dr = a.rgbRed - b.rgbRed, dg = a.rgbGreen - b.rgbGreen, db = a.rgbBlue - b.rgbBlue;
    return dr * dr + dg * dg + db * db;
}
}  // namespace

TEST(ExtractSort, WholeThemeSortsEqualTheExchangeSortOnRandomThemes) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; ++round) {
        const int n = 2 + round % 23;
        for (int kind = 1; kind <= 3; ++kind) {
            ccColorPocketArray t;
            RandomPockets(t, n, rng);
            std::vector<ccColorPocket*> want = Order(t);
            if (kind == 1)
                ExchangeSort(want, [](ccColorPocket* a, ccColorPocket* b) {
                    return HslHue(a->aveHSL) < HslHue(b->aveHSL);
                });
            else if (kind == 2)
                ExchangeSort(want, [](ccColorPocket* a, ccColorPocket* b) { return a->pixelNum < b->pixelNum; });
            else
                ExchangeSort(want, [](ccColorPocket* a, ccColorPocket* b) {
                    return HslLight(a->aveHSL) < HslLight(b->aveHSL);
                });
            ASSERT_EQ(t.Sort(kind), 0);
            EXPECT_EQ(Order(t), want) << "round " << round << " mode " << kind;
            EXPECT_EQ(t.sortMode, kind);
        }
    }
}

TEST(ExtractSort, EqualSizesKeepCreationOrderAndShortThemesAreLeftAlone) {
    ccColorPocketArray t;
    const int sizes[] = {10, 30, 30, 5};
    for (int s : sizes) {
        auto* p = new ccColorPocket;
        p->pixelNum = s;
        t.pockets.Add(p);
    }
    ccColorPocket* first30 = t.pockets[1];
    ccColorPocket* second30 = t.pockets[2];
    EXPECT_EQ(t.SortOnPercentage(), 0);
    EXPECT_EQ(t.sortMode, 2);
    EXPECT_EQ(t.pockets[0], first30);
    EXPECT_EQ(t.pockets[1], second30);
    EXPECT_EQ(t.pockets[2]->pixelNum, 10);
    EXPECT_EQ(t.pockets[3]->pixelNum, 5);
    // The count decides, not the share.
    t.pockets[3]->percentage = 0.9f;
    EXPECT_EQ(t.SortOnPercentage(), 0);
    EXPECT_EQ(t.pockets[3]->pixelNum, 5);

    // Hue: 200 before grey (170) before 10.
    ccColorPocketArray h;
    const uint32_t hsls[] = {MakeHsl(10, 200, 100, 0), MakeHsl(170, 0, 100, 1), MakeHsl(200, 200, 100, 0)};
    for (uint32_t w : hsls) {
        auto* p = new ccColorPocket;
        p->aveHSL = w;
        h.pockets.Add(p);
    }
    EXPECT_EQ(h.SortOnHue(), 0);
    EXPECT_EQ(HslHue(h.pockets[0]->aveHSL), 200);
    EXPECT_EQ(HslHue(h.pockets[1]->aveHSL), 170);
    EXPECT_EQ(HslHue(h.pockets[2]->aveHSL), 10);
    EXPECT_EQ(h.sortMode, 1);

    // Fewer than two pockets: -10, sortMode untouched; unknown modes -1.
    ccColorPocketArray one;
    one.pockets.Add(new ccColorPocket);
    one.sortMode = 3;
    EXPECT_EQ(one.Sort(2), -10);
    EXPECT_EQ(one.SortOnHue(), -10);
    EXPECT_EQ(one.SortOnLight(), -10);
    EXPECT_EQ(one.sortMode, 3);
    EXPECT_EQ(t.Sort(0), -1);
    EXPECT_EQ(t.Sort(5), -1);
    EXPECT_EQ(t.Sort(-2), -1);
}

TEST(ExtractSort, MainColourSortPutsTheSelectedOrLargestPocketFirst) {
    std::mt19937 rng(99);
    for (int round = 0; round < 40; ++round) {
        ccColorPocketArray t;
        const int n = 1 + round % 12;
        RandomPockets(t, n, rng);
        t.sortMode = 1;
        std::vector<ccColorPocket*> want = Order(t);
        const bool select = round % 2 == 0;
        if (select) {
            const int s = round % n;
            t.pockets[s]->selState = 256 + round;
            if (s + 1 < n) t.pockets[s + 1]->selState = 300;  // a later selection does not count
            std::swap(want[0], want[s]);
        } else {
            ExchangeSort(want, [](ccColorPocket* a, ccColorPocket* b) { return a->pixelNum < b->pixelNum; });
        }
        const tagRGBQUAD centre = want[0]->aveRGB;
        std::vector<ccColorPocket*> rest(want.begin() + 1, want.end());
        ExchangeSort(rest, [&](ccColorPocket* a, ccColorPocket* b) {
            return Dist(a->aveRGB, centre) > Dist(b->aveRGB, centre);
        });
        std::copy(rest.begin(), rest.end(), want.begin() + 1);
        ASSERT_EQ(round % 4 == 0 ? t.Sort(4) : t.SortMainOnClrDiff(), 0);
        EXPECT_EQ(Order(t), want) << "round " << round;
        EXPECT_EQ(t.sortMode, 0);  // no longer in size order
    }
    ccColorPocketArray empty;
    EXPECT_EQ(empty.SortMainOnClrDiff(), -1);
    EXPECT_EQ(empty.Sort(4), -1);
}

TEST(ExtractSort, PaletteOrdersEqualTheExchangeSortAndLeaveThePaletteAlone) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255), few(0, 3);
    for (int round = 0; round < 20; ++round) {
        ccColorPocketArray t;
        xt::BlankPalette(t);
        for (int i = 0; i < 256; ++i)
            xt::Item(t, i, Rgb(few(rng) * 80, byte(rng) & 0xC0, few(rng) * 85), few(rng) * 7 - 3);
        std::vector<ccColorItem> before(t.palette, t.palette + 256);
        const ccColorItem* pal = t.palette;
        const int centre = byte(rng);
        std::vector<int> identity(256);
        for (int i = 0; i < 256; ++i) identity[i] = i;

        for (int kind = 0; kind < 4; ++kind) {
            std::vector<int> want = identity;
            std::vector<int> got(256, -7);
            int r = -5;
            switch (kind) {
            case 0:
                ExchangeSort(want, [&](int a, int b) { return HslLight(pal[a].hsl) > HslLight(pal[b].hsl); });
                r = t.SortPalOnLight(got.data());
                break;
            case 1:
                ExchangeSort(want, [&](int a, int b) { return HslHue(pal[a].hsl) > HslHue(pal[b].hsl); });
                r = t.SortPalOnHue(got.data());
                break;
            case 2:
                ExchangeSort(want, [&](int a, int b) { return pal[a].pixelNum < pal[b].pixelNum; });
                r = t.SortPalOnPixelNumDesc(got.data());
                break;
            default:
                ExchangeSort(want, [&](int a, int b) {
                    return Dist(pal[a].rgb, pal[centre].rgb) > Dist(pal[b].rgb, pal[centre].rgb);
                });
                r = t.SortPalOnCenterDist(got.data(), centre);
                break;
            }
            ASSERT_EQ(r, 0);
            EXPECT_EQ(got, want) << "round " << round << " kind " << kind;
        }
        for (int i = 0; i < 256; ++i) {
            EXPECT_EQ(t.palette[i].pixelNum, before[i].pixelNum);
            EXPECT_EQ(RgbWord(t.palette[i].rgb), RgbWord(before[i].rgb));
        }
    }
}

TEST(ExtractSort, PaletteOrderEdgeCases) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    xt::Item(t, 7, Rgb(1, 1, 1), 5);
    xt::Item(t, 3, Rgb(2, 2, 2), 9);
    std::vector<int> order(256, -1);
    ASSERT_EQ(t.SortPalOnPixelNumDesc(order.data()), 0);
    const std::vector<int> head = {3, 7, 0, 1, 2, 4, 5, 6, 8, 9};
    EXPECT_EQ(std::vector<int>(order.begin(), order.begin() + 10), head);
    EXPECT_EQ(order[255], 255);

    // The centre's own colour first, equal colours in index order.
    xt::Item(t, 200, Rgb(9, 9, 9), 1);
    xt::Item(t, 100, Rgb(9, 9, 9), 1);
    xt::Item(t, 150, Rgb(9, 9, 10), 1);
    ASSERT_EQ(t.SortPalOnCenterDist(order.data(), 200), 0);
    EXPECT_EQ(order[0], 100);
    EXPECT_EQ(order[1], 200);
    EXPECT_EQ(order[2], 150);

    // Refusals leave the output untouched.
    std::vector<int> untouched(256, -3);
    EXPECT_EQ(t.SortPalOnCenterDist(untouched.data(), 256), -1);
    EXPECT_EQ(t.SortPalOnCenterDist(untouched.data(), -1), -1);
    EXPECT_EQ(t.SortPalOnHue(nullptr), -1);
    ccColorPocketArray none;
    EXPECT_EQ(none.SortPalOnLight(untouched.data()), -1);
    EXPECT_EQ(none.SortPalOnHue(untouched.data()), -1);
    EXPECT_EQ(none.SortPalOnPixelNumDesc(untouched.data()), -1);
    EXPECT_EQ(none.SortPalOnCenterDist(untouched.data(), 0), -1);
    ccColorPocketArray small;
    small.InitPalette(16);
    EXPECT_EQ(small.SortPalOnLight(untouched.data()), -1);
    EXPECT_EQ(untouched, std::vector<int>(256, -3));
}
