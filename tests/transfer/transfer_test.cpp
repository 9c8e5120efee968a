// Colour transfer: the item arithmetic of the palette pass, the true-DIB
// pass against the per-pixel definition, and repeated transfers.
#include "transfer/transfer.h"

#include <random>

#include "transfer_fixtures.h"

using tfix::Add;

namespace {

uint32_t Hsl(int h, int s, int l) { return HSLtoRGB(MakeHsl(h, s, l, 0)) & 0xFFFFFF; }

}  // namespace

TEST(Transfer, PaletteItemsScaleSaturationAndDarkenGreys) {
    ccColorPocketArray t, s;
    tfix::PaletteTheme(t, std::vector<tagRGBQUAD>(8, tagRGBQUAD{10, 200, 30, 0}), {}, 8,
                       {0, 1, 2, 3, 4, 5, 6, 7});
    ccColorPocket* p = Add(t, 30, 5, 4, 1);  // both divisors are raised to 10
    p->SetDestLink(Add(s, 100, 200, 150, 1));
    t.palette[1].hsl = MakeHsl(20, 3, 80, 0);
    t.palette[2].hsl = MakeHsl(40, 20, 200, 0);
    t.palette[3].hsl = MakeHsl(170, 0, 200, 1);  // grey
    t.palette[4].hsl = MakeHsl(170, 0, 5, 1);
    for (int i = 1; i <= 4; ++i) p->items.Add(&t.palette[i]);
    t.palette[6].palIndex = 256;  // past the colour table: not written
    p->items.Add(&t.palette[6]);
    const std::vector<BYTE> pixels = tfix::Pixels(t.palDib);
    Add(t, 0, 50, 50, 1)->items.Add(&t.palette[5]);  // unpaired
    auto colour = [&](int i) { return RgbWord(tfix::Colors(t.palDib)[i]) & 0xFFFFFF; };
    const uint32_t before = colour(0);
    EXPECT_EQ(t.ApplyFinalTransToPalDib(false), 0);
    EXPECT_EQ(colour(1), Hsl(100, 60, 80));    // 3 x 200 / 10
    EXPECT_EQ(colour(2), Hsl(100, 255, 200));  // 400, limited
    EXPECT_EQ(colour(3), 0xB4B4B4u);           // grey loses a tenth: 180
    EXPECT_EQ(colour(5), before);              // unpaired
    EXPECT_EQ(colour(0), before);              // in no pocket
    // With lightness: scaled by 150 / max(4, 10), limited, greys darkened.
    EXPECT_EQ(t.ApplyFinalTransToPalDib(true), 0);
    EXPECT_EQ(colour(1), Hsl(100, 60, 255));
    EXPECT_EQ(colour(4), Hsl(100, 0, 67));  // 5 x 15 = 75, less a tenth
    EXPECT_EQ(tfix::Pixels(t.palDib), pixels);
    // The true-DIB transfer needs both images.
    ccColorPocketArray bare;
    bare.SetTrueDib(t.palDib);
    EXPECT_EQ(bare.ApplyColorTransToTrueDib(&s, true, false, false), -1);
}

TEST(Transfer, TrueDibPassEqualsPerPixelDefinitionOnAPhoto) {
    tfix::NoLeak noLeak;
    void* image = tfix::Photo("autumn_256.bmp");
    ASSERT_NE(image, nullptr);
    void* pal8 = DecreaseBpp24to8(image);
    void* original = tfix::Copy(image);
    {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> byte(0, 255);
        // Pockets by hue sector (greys apart) with random destinations; one
        // sector unpaired and some indices in no pocket.
        ccColorPocketArray t, s;
        t.SetPalDib(pal8, false);
        t.SetTrueDib(image);
        ipDibStuff pal(pal8, false), src(original, false);
        t.InitPalette(256);
        ccColorPocket* sector[9] = {};
        std::vector<ccColorPocket*> byIndex(256, nullptr);
        for (int i = 0; i < 256; ++i) {
            t.SetPalEntryBYTE(i, pal.colors[i].rgbRed, pal.colors[i].rgbGreen, pal.colors[i].rgbBlue, 1, 256);
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
        EXPECT_EQ(tfix::Pixels(image), want);
        EXPECT_EQ(tfix::Pixels(t.trueDibCopy), tfix::Pixels(original));
    }
    for (void* h : {image, pal8, original}) hv::FreeHandle(h);
}

TEST(Transfer, RepeatedTransfersStartFromTheFirstColours) {
    tfix::NoLeak noLeak;
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
            tfix::PaletteTheme(t, {{50, 180, 100, 0}, {70, 170, 110, 0}, {200, 20, 40, 0}, {9, 9, 9, 0}}, {},
                               8, px);
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
    Scene sc, fresh;
    const std::vector<BYTE> original = tfix::Pixels(sc.image);
    sc.t.pockets[0]->SetDestLink(sc.s.pockets[0]);
    EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, true), 0);
    const std::vector<BYTE> first = tfix::Pixels(sc.image);
    const uint32_t firstColour = RgbWord(tfix::Colors(sc.t.palDib)[0]);
    EXPECT_NE(first, original);
    // Pixels of the unpaired pocket and of index 3 stay.
    EXPECT_TRUE(std::equal(first.begin() + 12, first.begin() + 24, original.begin() + 12));
    EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, true), 0);
    EXPECT_EQ(tfix::Pixels(sc.image), first);
    EXPECT_EQ(RgbWord(tfix::Colors(sc.t.palDib)[0]), firstColour);
    EXPECT_EQ(sc.t.transferCount, 2);

    // Another pairing re-colours from the first colours: the same as a
    // fresh scene given only that pairing.
    for (Scene* x : {&sc, &fresh}) {
        x->t.pockets[0]->SetDestLink(x->s.pockets[1]);
        x->t.pockets[1]->SetDestLink(x->s.pockets[0]);
        EXPECT_EQ(x->t.ApplyFinalTrans(&x->s, false), 0);
    }
    EXPECT_EQ(tfix::Pixels(sc.image), tfix::Pixels(fresh.image));
    EXPECT_EQ(tfix::Pixels(sc.t.trueDibCopy), original);
}
