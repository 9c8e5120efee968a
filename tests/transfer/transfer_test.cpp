// Colour transfer: the item arithmetic of the palette pass, the true-DIB
// pass against the per-pixel definition, and repeated transfers.
#include <gtest/gtest.h>

#include <random>

#include "transfer/transfer.h"
#include "transfer_fixtures.h"

using tfix::Add;

namespace {

tagRGBQUAD Hsl(int h, int s, int l) { return RgbQuad(HSLtoRGB(MakeHsl(h, s, l, 0))); }

}  // namespace

TEST(Transfer, PaletteItemsScaleSaturationAndDarkenGreys) {
    ccColorPocketArray t, s;
    std::vector<tagRGBQUAD> colours(8, tagRGBQUAD{10, 200, 30, 0});
    tfix::PaletteTheme(t, colours, {}, 8, {0, 1, 2, 3, 4, 5, 6, 7});
    ccColorPocket* p = Add(t, 30, 5, 4, 1);  // both divisors are raised to 10
    p->SetDestLink(Add(s, 100, 200, 150, 1));
    t.palette[1].hsl = MakeHsl(20, 3, 80, 0);
    t.palette[2].hsl = MakeHsl(40, 20, 200, 0);
    t.palette[3].hsl = MakeHsl(170, 0, 200, 1);  // grey
    t.palette[4].hsl = MakeHsl(170, 0, 5, 1);
    for (int i = 1; i <= 4; ++i) p->items.Add(&t.palette[i]);
    Add(t, 0, 50, 50, 1)->items.Add(&t.palette[5]);  // unpaired
    const std::vector<tagRGBQUAD> before = tfix::Colors(t.palDib);

    EXPECT_EQ(t.ApplyFinalTransToPalDib(false), 0);
    std::vector<tagRGBQUAD> c = tfix::Colors(t.palDib);
    EXPECT_TRUE(tfix::Same(c[1], Hsl(100, 60, 80)));    // 3 x 200 / 10
    EXPECT_TRUE(tfix::Same(c[2], Hsl(100, 255, 200)));  // 400, limited
    EXPECT_EQ(RgbWord(c[3]), RgbWord(tagRGBQUAD{180, 180, 180, 0}));  // grey loses a tenth
    EXPECT_TRUE(tfix::Same(c[5], before[5]) && tfix::Same(c[0], before[0]));  // unpaired, in no pocket
    // With lightness: scaled by 150 / max(4, 10), limited, greys darkened.
    EXPECT_EQ(t.ApplyFinalTransToPalDib(true), 0);
    c = tfix::Colors(t.palDib);
    EXPECT_TRUE(tfix::Same(c[1], Hsl(100, 60, 255)));
    EXPECT_TRUE(tfix::Same(c[4], Hsl(100, 0, 67)));  // 5 x 15 = 75, less a tenth
}

TEST(Transfer, TrueDibPassEqualsPerPixelDefinitionOnAPhoto) {
    const long handles = hv::LiveHandles();
    void* image = tfix::Photo("autumn_256.bmp");
    ASSERT_NE(image, nullptr);
    void* pal8 = DecreaseBpp24to8(image);
    void* original = tfix::Copy(image);
    std::mt19937 rng(7);
    for (int round = 0; round < 2; ++round) {
        // Pockets by hue sector (greys apart) with random destinations; one
        // sector unpaired and some indices in no pocket.
        ccColorPocketArray t, s;
        t.SetPalDib(pal8, false);
        t.SetTrueDib(image);
        ipDibStuff pal(pal8, false), src(original, false);
        t.InitPalette(256);
        for (int i = 0; i < 256; ++i)
            t.SetPalEntryBYTE(i, pal.colors[i].rgbRed, pal.colors[i].rgbGreen, pal.colors[i].rgbBlue, 1, 256);
        std::uniform_int_distribution<int> byte(0, 255);
        ccColorPocket* sector[9] = {};
        std::vector<ccColorPocket*> byIndex(256, nullptr);
        for (int i = 0; i < 256; ++i) {
            if (i % 37 == 5) continue;
            const uint32_t hsl = t.palette[i].hsl;
            const int k = HslGrey(hsl) ? 8 : HslHue(hsl) / 32;
            if (!sector[k]) {
                sector[k] = Add(t, HslHue(hsl), k % 3 == 0 ? byte(rng) % 12 : byte(rng), byte(rng), 1);
                const int sat = k % 4 == 1 ? 255 : k % 4 == 2 ? 0 : byte(rng);
                if (k != 6) sector[k]->SetDestLink(Add(s, byte(rng), sat, byte(rng), 1));
            }
            sector[k]->items.Add(&t.palette[i]);
            byIndex[i] = sector[k];
        }
        std::vector<BYTE> want;
        for (int y = 0; y < src.height(); ++y)
            for (int x = 0; x < src.width(); ++x) {
                const BYTE* px = src.rows[y] + 3 * x;
                tagRGBQUAD o{px[0], px[1], px[2], 0};
                if (ccColorPocket* p = byIndex[pal.rows[y][x]]) t.ClrTransOnRGB(o, o, p);
                want.insert(want.end(), {o.rgbBlue, o.rgbGreen, o.rgbRed});
            }
        EXPECT_EQ(t.ApplyFinalTransToTrueDib(), 0);
        EXPECT_EQ(tfix::Pixels(image), want) << "round " << round;
        EXPECT_EQ(tfix::Pixels(t.trueDibCopy), tfix::Pixels(original));
        ipDibStuff(image, false).Restore(src);
    }
    for (void* h : {image, pal8, original}) hv::FreeHandle(h);
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Transfer, RepeatedTransfersStartFromTheFirstColours) {
    const long handles = hv::LiveHandles();
    // A 24-bit 8 x 4 image whose palette image uses index x / 2; pockets
    // a = {0, 1} and b = {2}, index 3 in no pocket.
    struct Scene {
        ccColorPocketArray t, s;
        void* image = MakeEmptyDib(8, 4, 24, true);
        Scene() {
            ipDibStuff v(image, false);
            std::vector<BYTE> px;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 8; ++x) {
                    BYTE* p = v.rows[y] + 3 * x;
                    p[0] = BYTE(30 + 20 * x), p[1] = BYTE(200 - 10 * y), p[2] = BYTE(90 + 5 * x * y);
                    px.push_back(BYTE(x / 2));
                }
            tfix::PaletteTheme(t, {{50, 180, 100, 0}, {70, 170, 110, 0}, {200, 20, 40, 0}, {9, 9, 9, 0}}, {}, 8,
                               px);
            ccColorPocket* a = Add(t, 60, 120, 110, 16);
            a->items.Add(&t.palette[0]);
            a->items.Add(&t.palette[1]);
            Add(t, 200, 180, 60, 8)->items.Add(&t.palette[2]);
            t.SetTrueDib(image);
            Add(s, 10, 200, 100, 10);
            Add(s, 150, 90, 140, 5);
        }
        ~Scene() { hv::FreeHandle(image); }
    };
    {
        Scene sc;
        const std::vector<BYTE> original = tfix::Pixels(sc.image);
        sc.t.pockets[0]->SetDestLink(sc.s.pockets[0]);
        EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, true), 0);
        const std::vector<BYTE> first = tfix::Pixels(sc.image);
        const tagRGBQUAD firstColour = tfix::Colors(sc.t.palDib)[0];
        EXPECT_NE(first, original);
        // Pixels of the unpaired pocket and of index 3 stay.
        EXPECT_TRUE(std::equal(first.begin() + 12, first.begin() + 24, original.begin() + 12));
        EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, true), 0);
        EXPECT_EQ(tfix::Pixels(sc.image), first);
        EXPECT_TRUE(tfix::Same(tfix::Colors(sc.t.palDib)[0], firstColour));
        EXPECT_EQ(sc.t.transferCount, 2);

        // Another pairing re-colours from the first colours: the same as a
        // fresh scene given only that pairing.
        Scene fresh;
        for (Scene* x : {&sc, &fresh}) {
            x->t.pockets[0]->SetDestLink(x->s.pockets[1]);
            x->t.pockets[1]->SetDestLink(x->s.pockets[0]);
            EXPECT_EQ(x->t.ApplyFinalTrans(&x->s, false), 0);
        }
        EXPECT_EQ(tfix::Pixels(sc.image), tfix::Pixels(fresh.image));
        EXPECT_EQ(tfix::Pixels(sc.t.trueDibCopy), original);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Transfer, TrueDibTablesAreMadeOnlyForDestinationsInUse) {
    // 256 paired pockets, one per palette index, each with a destination of
    // its own; a 4 x 4 image uses three indices, two of which share a
    // destination. Only the tables of those two destinations are made, and
    // every pixel is what the per-pixel transfer gives.
    ccColorPocketArray target, style;
    std::vector<ccColorPocket*> byIndex(256, nullptr);
    for (int i = 0; i < 256; ++i) {
        ccColorPocket* p = tfix::Add(target, i, 120, 100, 10);
        ccColorPocket* d = tfix::Add(style, (i * 7) % 256, 40 + i % 200, 90, 10);
        if (i == 9) d = style.pockets[5];  // index 9 shares index 5's destination
        p->SetDestLink(d);
        byIndex[static_cast<size_t>(i)] = p;
    }
    hv::PixelTransferTables tables(byIndex);
    EXPECT_EQ(tables.TablesMade(), 0);
    const BYTE index[4][4] = {{5, 5, 9, 9}, {200, 5, 9, 200}, {5, 5, 5, 5}, {9, 200, 200, 9}};
    BYTE src[4][12], dst[4][12];
    for (int y = 0; y < 4; ++y)
        for (int b = 0; b < 12; ++b) src[y][b] = BYTE(y * 50 + b * 17), dst[y][b] = 0;
    tables.Row(index[0], src[0], dst[0], 4);
    EXPECT_EQ(tables.TablesMade(), 1);  // 5 and 9 share one
    for (int y = 1; y < 4; ++y) tables.Row(index[y], src[y], dst[y], 4);
    EXPECT_EQ(tables.TablesMade(), 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const tagRGBQUAD in = {src[y][3 * x], src[y][3 * x + 1], src[y][3 * x + 2], 0};
            tagRGBQUAD want = {0, 0, 0, 0};
            ASSERT_EQ(target.ClrTransOnRGB(in, want, byIndex[index[y][x]]), 0);
            EXPECT_EQ(dst[y][3 * x], want.rgbBlue) << x << "," << y;
            EXPECT_EQ(dst[y][3 * x + 1], want.rgbGreen) << x << "," << y;
            EXPECT_EQ(dst[y][3 * x + 2], want.rgbRed) << x << "," << y;
        }
}
