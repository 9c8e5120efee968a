// Colour transfer: the item arithmetic of the palette pass, the true-DIB
// passes against the per-pixel definition, and repeated transfers.
#include "transfer/transfer.h"

#include <random>

#include "transfer_fixtures.h"

using tfix::Add;

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
    t.palette[6].palIndex = 256;  // past the colour table: not written
    for (int i : {1, 2, 3, 4, 6}) p->items.Add(&t.palette[i]);
    const std::vector<BYTE> pixels = tfix::Pixels(t.palDib);
    Add(t, 0, 50, 50, 1)->items.Add(&t.palette[5]);  // unpaired
    auto colour = [&](int i) { return RgbWord(tfix::Colors(t.palDib)[i]) & 0xFFFFFF; };
    auto hsl = [](int h, int s, int l) { return HSLtoRGB(MakeHsl(h, s, l, 0)) & 0xFFFFFF; };
    const uint32_t before = colour(0);
    EXPECT_EQ(t.ApplyFinalTransToPalDib(false), 0);
    EXPECT_EQ(colour(1), hsl(100, 60, 80));                   // 3 x 200 / 10
    EXPECT_EQ(colour(2), hsl(100, 255, 200));                 // 400, limited
    EXPECT_EQ(colour(3), 0xB4B4B4u);                          // a grey loses a tenth: 180
    EXPECT_TRUE(colour(5) == before && colour(0) == before);  // unpaired, in no pocket
    // With lightness: scaled by 150 / max(4, 10), limited, greys darkened.
    EXPECT_EQ(t.ApplyFinalTransToPalDib(true), 0);
    EXPECT_EQ(colour(1), hsl(100, 60, 255));
    EXPECT_EQ(colour(4), hsl(100, 0, 67));  // 5 x 15 = 75, less a tenth
    EXPECT_EQ(tfix::Pixels(t.palDib), pixels);
    // The true-DIB passes need both images.
    ccColorPocketArray bare;
    bare.SetTrueDib(t.palDib);
    EXPECT_EQ(bare.ApplyColorTransToTrueDib(&s, true, false, false), -1);
    EXPECT_EQ(hv::TrueDibPassOnce(bare), -1);
}

// In place (a theme used once) and from the backup it keeps, the true-DIB
// pass gives each pixel its own transfer (the definition); a repeated transfer, also with
// another pairing, starts from the first colours (the backup, the items' own
// colours).
TEST(Transfer, TrueDibPassesEqualPerPixelDefinitionOnAPhotoAlsoWhenRepeated) {
    tfix::NoLeak noLeak;
    void* original = tfix::Photo("autumn_256.bmp");
    ASSERT_NE(original, nullptr);
    void* pal8 = DecreaseBpp24to8(original);
    void* images[2] = {tfix::Copy(original), tfix::Copy(original)};
    {
        // The photo's pockets with random destinations, some of full or no
        // saturation, some pockets of low saturation themselves (below the
        // divisor's floor of 10); one pocket unpaired and one index in none.
        ccColorPocketArray t, s;
        t.SetPalDib(pal8, false);
        ASSERT_EQ(t.GetColorPockets(), 0);
        ipDibStuff pal(pal8, false), src(original, false);
        std::mt19937 rng(7);
        std::vector<ccColorPocket*> byIndex(256, nullptr);
        for (ccColorPocket* p : t.pockets) {
            const int k = t.GetIndex(p);
            if (k % 3 == 0) p->aveHSL = MakeHsl(HslHue(p->aveHSL), rng() % 12, HslLight(p->aveHSL), 0);
            const int sat = k % 4 == 1 ? 255 : k % 4 == 2 ? 0 : rng() % 256;
            if (k != 1) p->SetDestLink(Add(s, rng() % 256, sat, rng() % 256, 1));
            for (ccColorItem* it : p->items) byIndex[it->palIndex] = p;
        }
        byIndex[t.pockets[0]->items[0]->palIndex] = nullptr;
        t.pockets[0]->items.RemoveAt(0);
        auto expected = [&] {
            std::vector<BYTE> want;
            for (int y = 0; y < src.height(); ++y)
                for (int x = 0; x < src.width(); ++x) {
                    const BYTE* px = src.rows[y] + 3 * x;
                    tagRGBQUAD o{px[0], px[1], px[2], 0};
                    if (ccColorPocket* p = byIndex[pal.rows[y][x]]) t.ClrTransOnRGB(o, o, p);
                    want.insert(want.end(), {o.rgbBlue, o.rgbGreen, o.rgbRed});
                }
            return want;
        };
        const std::vector<BYTE> want = expected();
        t.SetTrueDib(images[0]);
        EXPECT_EQ(hv::TrueDibPassOnce(t), 0);
        EXPECT_EQ(t.trueDibCopy, nullptr);  // no backup made
        EXPECT_EQ(tfix::Pixels(images[0]), want);
        t.SetTrueDib(images[1]);
        auto table = [&] {
            std::vector<uint32_t> words;
            for (const tagRGBQUAD& c : tfix::Colors(pal8)) words.push_back(RgbWord(c));
            return words;
        };
        std::vector<uint32_t> colours;
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(t.ApplyFinalTrans(&s, true), 0);
            EXPECT_EQ(tfix::Pixels(images[1]), want);
            if (round == 0) colours = table();
        }
        EXPECT_TRUE(table() == colours && t.transferCount == 2);
        // Another pairing: each paired sector takes the next style pocket.
        for (ccColorPocket* p : t.pockets)
            if (p->destLink) p->SetDestLink(s.pockets[(s.GetIndex(p->destLink) + 1) % s.pockets.GetSize()]);
        EXPECT_EQ(t.ApplyFinalTrans(&s, false), 0);
        EXPECT_EQ(tfix::Pixels(images[1]), expected());
        EXPECT_EQ(tfix::Pixels(t.trueDibCopy), tfix::Pixels(original));
    }
    for (void* h : {original, pal8, images[0], images[1]}) hv::FreeHandle(h);
}
