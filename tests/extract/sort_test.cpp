// Pocket and palette orders, checked against a plain exchange sort.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <random>

#include "extract/extract_fixtures.h"

using namespace xt;

namespace {
// The reference: passes from the end, exchanging neighbours at positions
// from.. only when outOfOrder(left, right) holds, so equal keys keep their order.
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
