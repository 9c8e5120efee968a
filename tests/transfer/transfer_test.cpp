// Colour transfer: the item arithmetic of the palette pass, the true-DIB
// pass against the per-pixel definition, repeatability and failures.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "huevane/huevane.h"
#include "transfer_fixtures.h"

using tfix::Add;
using tfix::HslPocket;

namespace {

tagRGBQUAD Expected(int h, int s, int l) { return RgbQuad(HSLtoRGB(MakeHsl(h, s, l, 0))); }

// A theme of 16 palette colours on a 16 x 1 palette image.
void SmallTheme(ccColorPocketArray& t) {
    std::vector<tagRGBQUAD> colours;
    for (int i = 0; i < 16; ++i) colours.push_back({BYTE(i * 16), BYTE(255 - i * 16), BYTE(i * 7), 0});
    tfix::InitPalette(t, colours, 16);
    std::vector<BYTE> px;
    for (int i = 0; i < 16; ++i) px.push_back(BYTE(i));
    t.SetPalDib(tfix::Dib8(16, 1, colours, px), true);
}

}  // namespace

TEST(Transfer, ItemSaturationLightnessAndGreys) {
    ccColorPocketArray t, s;
    SmallTheme(t);
    ccColorPocket* dest = Add(s, HslPocket(100, 200, 150, 1));
    ccColorPocket* p = Add(t, HslPocket(30, 5, 100, 1));
    p->aveHSL = MakeHsl(30, 5, 4, 0);  // both divisors are raised to 10
    p->SetDestLink(dest);
    t.palette[1].hsl = MakeHsl(20, 3, 80, 0);
    t.palette[2].hsl = MakeHsl(40, 20, 200, 0);
    t.palette[3].hsl = MakeHsl(170, 0, 200, 1);  // grey
    t.palette[4].hsl = MakeHsl(170, 0, 5, 1);
    for (int i = 1; i <= 4; ++i) p->items.Add(&t.palette[i]);
    ccColorPocket* unpaired = Add(t, HslPocket(0, 50, 50, 1));
    unpaired->items.Add(&t.palette[5]);
    const std::vector<tagRGBQUAD> before = tfix::Colors(t.palDib);

    EXPECT_EQ(t.ApplyFinalTransToPalDib(false), 0);
    std::vector<tagRGBQUAD> c = tfix::Colors(t.palDib);
    EXPECT_TRUE(tfix::Same(c[1], Expected(100, 60, 80)));    // 3 x 200 / 10
    EXPECT_TRUE(tfix::Same(c[2], Expected(100, 255, 200)));  // 400, limited
    EXPECT_TRUE(tfix::Same(c[3], Expected(100, 0, 180)));    // grey darkened
    EXPECT_EQ(c[3].rgbRed, 180);
    EXPECT_EQ(c[3].rgbBlue, 180);
    EXPECT_TRUE(tfix::Same(c[4], Expected(100, 0, 4)));
    EXPECT_TRUE(tfix::Same(c[5], before[5]));  // unpaired pocket untouched
    EXPECT_TRUE(tfix::Same(c[0], before[0]));  // index in no pocket
    EXPECT_EQ(c[1].rgbReserved, 0);

    // With lightness: scaled by 150 / max(4, 10), limited, then greys lose
    // a tenth.
    EXPECT_EQ(t.ApplyFinalTransToPalDib(true), 0);
    c = tfix::Colors(t.palDib);
    EXPECT_TRUE(tfix::Same(c[1], Expected(100, 60, 255)));
    EXPECT_TRUE(tfix::Same(c[3], Expected(100, 0, 229)));
    EXPECT_TRUE(tfix::Same(c[4], Expected(100, 0, 67)));  // 5 x 15 = 75, less a tenth

    // One pocket, paired or not, with its destination colour as it stands.
    unpaired->destHSL = MakeHsl(200, 100, 80, 0);
    EXPECT_EQ(t.ApplyFinalTransToPocket(unpaired, false), 0);
    c = tfix::Colors(t.palDib);
    const uint32_t h5 = t.palette[5].hsl;
    EXPECT_TRUE(tfix::Same(c[5], Expected(200, std::min(255, HslSat(h5) * 100 / 50), HslLight(h5))));

    // A theme without a palette DIB has nothing to write.
    ccColorPocketArray bare;
    Add(bare, HslPocket(0, 1, 1, 1))->SetDestLink(dest);
    EXPECT_EQ(bare.ApplyFinalTransToPalDib(false), 0);
}

TEST(Transfer, PixelTransferDefinition) {
    ccColorPocketArray t, s;
    ccColorPocket* dest = Add(s, HslPocket(200, 120, 60, 1));
    ccColorPocket* p = Add(t, HslPocket(10, 60, 100, 1));
    const tagRGBQUAD src{40, 90, 200, 7};
    tagRGBQUAD dst{1, 2, 3, 99};
    EXPECT_EQ(t.ClrTransOnRGB(src, dst, p), -1);  // unpaired: not written
    EXPECT_TRUE(tfix::Same(dst, tagRGBQUAD{1, 2, 3, 99}));
    p->SetDestLink(dest);
    EXPECT_EQ(t.ClrTransOnRGB(src, dst, p), 0);
    const uint32_t hsl = RGBtoHSL(tagRGBQUAD{40, 90, 200, 0});
    const tagRGBQUAD want = Expected(200, std::min(255, HslSat(hsl) * 120 / 60), HslLight(hsl));
    EXPECT_EQ(dst.rgbBlue, want.rgbBlue);
    EXPECT_EQ(dst.rgbGreen, want.rgbGreen);
    EXPECT_EQ(dst.rgbRed, want.rgbRed);
    EXPECT_EQ(dst.rgbReserved, 99);
    // Greys keep their lightness in pixels (no darkening).
    const tagRGBQUAD grey{77, 77, 77, 0};
    EXPECT_EQ(t.ClrTransOnRGB(grey, dst, p), 0);
    EXPECT_EQ(dst.rgbRed, 77);
    EXPECT_EQ(dst.rgbGreen, 77);
}

namespace {

// Per-pixel reference of the true-DIB pass.
std::vector<BYTE> Reference(ccColorPocketArray& t, void* source) {
    std::vector<ccColorPocket*> byIndex(256, nullptr);
    for (ccColorPocket* p : t.pockets)
        for (ccColorItem* it : p->items) byIndex[it->palIndex] = p;
    ipDibStuff pal(t.palDib, false), src(source, false), cur(t.trueDib, false);
    std::vector<BYTE> out;
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            tagRGBQUAD in{src.rows[y][3 * x], src.rows[y][3 * x + 1], src.rows[y][3 * x + 2], 0};
            tagRGBQUAD o{cur.rows[y][3 * x], cur.rows[y][3 * x + 1], cur.rows[y][3 * x + 2], 0};
            if (ccColorPocket* p = byIndex[pal.rows[y][x]]) t.ClrTransOnRGB(in, o, p);
            out.push_back(o.rgbBlue);
            out.push_back(o.rgbGreen);
            out.push_back(o.rgbRed);
        }
    return out;
}

// Pockets by hue sector (greys apart) over the palette image's colours,
// each paired with a random destination; some pockets stay unpaired and a
// few palette indices belong to no pocket.
void SectorTheme(ccColorPocketArray& t, ccColorPocketArray& s, std::mt19937& rng) {
    ipDibStuff pal(t.palDib, false);
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i)
        t.SetPalEntryBYTE(i, pal.colors[i].rgbRed, pal.colors[i].rgbGreen, pal.colors[i].rgbBlue, 1, 256);
    std::uniform_int_distribution<int> byte(0, 255), small(0, 12);
    ccColorPocket* sector[9] = {};
    for (int i = 0; i < 256; ++i) {
        if (i % 37 == 5) continue;
        const uint32_t hsl = t.palette[i].hsl;
        const int k = HslGrey(hsl) ? 8 : HslHue(hsl) / 32;
        if (!sector[k]) {
            sector[k] = Add(t, HslPocket(HslHue(hsl), k % 3 == 0 ? small(rng) : byte(rng), byte(rng), 1));
            if (k != 6) {
                const int sat = k % 4 == 1 ? 255 : k % 4 == 2 ? 0 : byte(rng);
                sector[k]->SetDestLink(Add(s, HslPocket(byte(rng), sat, byte(rng), 1)));
            }
        }
        sector[k]->items.Add(&t.palette[i]);
    }
}

void CheckAgainstReference(void* image, void* pal8, unsigned seed) {
    std::mt19937 rng(seed);
    for (int round = 0; round < 3; ++round) {
        void* copy = nullptr;
        {
            ipDibStuff v(image, false);
            copy = v.CopyToHandle();
        }
        ccColorPocketArray t, s;
        t.SetPalDib(pal8, false);
        t.SetTrueDib(image);
        SectorTheme(t, s, rng);
        std::vector<BYTE> want = Reference(t, copy);
        EXPECT_EQ(t.ApplyFinalTransToTrueDib(), 0);
        ASSERT_NE(t.trueDibCopy, nullptr);
        EXPECT_EQ(tfix::Pixels(t.trueDibCopy), tfix::Pixels(copy));  // the backup is the original
        EXPECT_EQ(tfix::Pixels(image), want) << "seed " << seed << " round " << round;
        // Put the original back for the next round.
        {
            ipDibStuff dst(image, false), src(copy, false);
            dst.Restore(src);
        }
        hv::FreeHandle(copy);
    }
}

}  // namespace

TEST(Transfer, TrueDibPassEqualsPerPixelDefinitionOnPhotos) {
    const long handles = hv::LiveHandles();
    for (const char* name : {"autumn_256.bmp", "cups_256.bmp"}) {
        const std::string path = std::string(HUEVANE_TEST_DATA) + "/transfer/" + name;
        void* image = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        ASSERT_NE(image, nullptr) << path;
        void* pal8 = DecreaseBpp24to8(image);
        ASSERT_NE(pal8, nullptr);
        CheckAgainstReference(image, pal8, 7);
        hv::FreeHandle(pal8);
        hv::FreeHandle(image);
    }
    // Every pair of largest and smallest channel, through random pockets.
    void* image = tfix::Dib24(256, 256, [](int x, int y) {
        return tagRGBQUAD{BYTE(x * 7 + y * 13), BYTE(y), BYTE(x), 0};
    });
    std::vector<tagRGBQUAD> colours;
    for (int i = 0; i < 256; ++i) colours.push_back({BYTE(i * 3), BYTE(i * 5), BYTE(i * 11), 0});
    std::vector<BYTE> px;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) px.push_back(BYTE((x / 16) * 16 + y / 16));
    void* pal8 = tfix::Dib8(256, 256, colours, px);
    CheckAgainstReference(image, pal8, 11);
    hv::FreeHandle(pal8);
    hv::FreeHandle(image);
    EXPECT_EQ(hv::LiveHandles(), handles);
}

namespace {

// A 24-bit image of 8 x 4 pixels whose palette image uses indices 0..3 by
// column pairs; pockets: {0, 1}, {2}; index 3 in no pocket.
struct Scene {
    ccColorPocketArray t, s;
    void* image;
    ccColorPocket* a;
    ccColorPocket* b;
    Scene() {
        image = tfix::Dib24(8, 4, [](int x, int y) {
            return tagRGBQUAD{BYTE(30 + 20 * x), BYTE(200 - 10 * y), BYTE(90 + 5 * x * y), 0};
        });
        std::vector<tagRGBQUAD> colours = {{50, 180, 100, 0}, {70, 170, 110, 0}, {200, 20, 40, 0}, {9, 9, 9, 0}};
        std::vector<BYTE> px;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x) px.push_back(BYTE(x / 2));
        tfix::InitPalette(t, colours, 32);
        t.SetPalDib(tfix::Dib8(8, 4, colours, px), true);
        t.SetTrueDib(image);
        a = Add(t, HslPocket(60, 120, 110, 16));
        a->items.Add(&t.palette[0]);
        a->items.Add(&t.palette[1]);
        b = Add(t, HslPocket(200, 180, 60, 8));
        b->items.Add(&t.palette[2]);
        Add(s, HslPocket(10, 200, 100, 10));
        Add(s, HslPocket(150, 90, 140, 5));
    }
    ~Scene() { hv::FreeHandle(image); }
};

}  // namespace

TEST(Transfer, RepeatedTransfersStartFromTheFirstColours) {
    const long handles = hv::LiveHandles();
    {
        Scene sc;
        const std::vector<BYTE> original = tfix::Pixels(sc.image);
        const std::vector<tagRGBQUAD> originalColours = tfix::Colors(sc.t.palDib);
        sc.a->SetDestLink(sc.s.pockets[0]);
        // b unpaired: its pixels and palette entry stay.
        EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, true), 0);
        EXPECT_EQ(sc.t.transferCount, 1);
        const std::vector<BYTE> first = tfix::Pixels(sc.image);
        const std::vector<tagRGBQUAD> firstColours = tfix::Colors(sc.t.palDib);
        EXPECT_NE(first, original);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                for (int c = 0; c < 3; ++c) {
                    const size_t i = (static_cast<size_t>(y) * 8 + x) * 3 + c;
                    if (x >= 4) {
                        EXPECT_EQ(first[i], original[i]) << x << "," << y;  // pocket b, index 3
                    }
                }
        EXPECT_TRUE(tfix::Same(firstColours[2], originalColours[2]));
        EXPECT_FALSE(tfix::Same(firstColours[0], originalColours[0]));

        EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, true), 0);
        EXPECT_EQ(sc.t.transferCount, 2);
        EXPECT_EQ(tfix::Pixels(sc.image), first);
        EXPECT_EQ(RgbWord(tfix::Colors(sc.t.palDib)[0]), RgbWord(firstColours[0]));

        // Another pairing re-colours from the first colours: the same as a
        // fresh theme given only that pairing.
        sc.a->SetDestLink(sc.s.pockets[1]);
        sc.b->SetDestLink(sc.s.pockets[0]);
        sc.t.ApplyFinalTrans(&sc.s, false);
        Scene fresh;
        fresh.a->SetDestLink(fresh.s.pockets[1]);
        fresh.b->SetDestLink(fresh.s.pockets[0]);
        fresh.t.ApplyFinalTrans(&fresh.s, false);
        EXPECT_EQ(tfix::Pixels(sc.image), tfix::Pixels(fresh.image));
        EXPECT_EQ(tfix::Pixels(sc.t.trueDibCopy), original);
        // Pixels of index 3 (in no pocket) never change.
        EXPECT_EQ(tfix::Pixels(sc.image)[3 * 7], original[3 * 7]);
    }
    {
        // Pairing included: method 1 through ApplyColorTrans; the true-DIB
        // variant leaves the count and the palette alone.
        Scene sc;
        const std::vector<tagRGBQUAD> colours = tfix::Colors(sc.t.palDib);
        EXPECT_EQ(sc.t.ApplyColorTransToTrueDib(&sc.s, true, true, false), 0);
        EXPECT_EQ(sc.t.transferCount, 0);
        EXPECT_EQ(RgbWord(tfix::Colors(sc.t.palDib)[0]), RgbWord(colours[0]));
        EXPECT_EQ(sc.a->destLink, sc.s.pockets[0]);
        const std::vector<BYTE> once = tfix::Pixels(sc.image);
        EXPECT_EQ(sc.t.ApplyColorTrans(&sc.s, true, false, true), 0);
        EXPECT_EQ(sc.t.transferCount, 1);
        EXPECT_EQ(tfix::Pixels(sc.image), once);  // the same pairing, from the backup
        EXPECT_FALSE(tfix::Same(tfix::Colors(sc.t.palDib)[0], colours[0]));
        // A failing pairing runs no pass.
        EXPECT_EQ(sc.t.ApplyColorTrans(nullptr, true, false, true), -2);
        EXPECT_EQ(sc.t.transferCount, 1);
    }
    {
        // Without a true DIB only the palette is re-coloured, and counted.
        Scene sc;
        sc.t.trueDib = nullptr;
        const std::vector<BYTE> original = tfix::Pixels(sc.image);
        EXPECT_EQ(sc.t.ApplyColorTrans(&sc.s, true, false, true), 0);
        EXPECT_EQ(sc.t.transferCount, 1);
        EXPECT_EQ(tfix::Pixels(sc.image), original);
        EXPECT_EQ(sc.t.trueDibCopy, nullptr);
        EXPECT_EQ(sc.t.ApplyColorTransToTrueDib(&sc.s, true, false, true), -1);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Transfer, MismatchedImagesAreLeftUnchanged) {
    const long handles = hv::LiveHandles();
    auto gradient = [](int x, int y) { return tagRGBQUAD{BYTE(x * 9), BYTE(y * 40), 200, 0}; };
    {
        // A true DIB of another height.
        Scene sc;
        sc.a->SetDestLink(sc.s.pockets[0]);
        void* tall = tfix::Dib24(8, 5, gradient);
        sc.t.SetTrueDib(tall);
        const std::vector<BYTE> before = tfix::Pixels(tall);
        EXPECT_EQ(sc.t.ApplyFinalTransToTrueDib(), -1);
        EXPECT_EQ(tfix::Pixels(tall), before);
        EXPECT_EQ(sc.t.trueDibCopy, nullptr);
        // Failure is not counted.
        EXPECT_EQ(sc.t.ApplyFinalTrans(&sc.s, false), -1);
        EXPECT_EQ(sc.t.transferCount, 0);
        hv::FreeHandle(tall);
    }
    {
        // A lent backup of another size, or of another depth.
        Scene sc;
        sc.a->SetDestLink(sc.s.pockets[0]);
        void* small = tfix::Dib24(4, 4, gradient);
        sc.t.SetTrueDibCopy(small);
        const std::vector<BYTE> before = tfix::Pixels(sc.image);
        EXPECT_EQ(sc.t.ApplyFinalTransToTrueDib(), -1);
        EXPECT_EQ(tfix::Pixels(sc.image), before);
        hv::FreeHandle(small);
        sc.t.trueDibCopy = nullptr;
        void* eight = tfix::Dib8(8, 4, {}, std::vector<BYTE>(32, 0));
        sc.t.SetTrueDibCopy(eight);
        EXPECT_EQ(sc.t.ApplyFinalTransToTrueDib(), -1);
        EXPECT_EQ(tfix::Pixels(sc.image), before);
        hv::FreeHandle(eight);
        sc.t.trueDibCopy = nullptr;
        // A palette DIB that is not 8-bit, or missing.
        void* pal = sc.t.palDib;
        sc.t.palDib = sc.image;
        EXPECT_EQ(sc.t.ApplyFinalTransToTrueDib(), -1);
        sc.t.palDib = nullptr;
        EXPECT_EQ(sc.t.ApplyFinalTransToTrueDib(), -1);
        EXPECT_EQ(sc.t.ApplyColorTrans(&sc.s, true, false, true), -1);
        sc.t.palDib = pal;
        EXPECT_EQ(tfix::Pixels(sc.image), before);
        // The host's backup stays the host's.
        void* backup = tfix::Dib24(8, 4, gradient);
        sc.t.SetTrueDibCopy(backup);
        EXPECT_EQ(sc.t.ApplyFinalTransToTrueDib(), 0);
        EXPECT_EQ(sc.t.trueDibCopy, backup);
        EXPECT_TRUE(sc.t.trueDibCopyBorrowed);
        sc.t.trueDibCopy = nullptr;
        hv::FreeHandle(backup);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}
