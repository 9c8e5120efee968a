// The colour words, pockets of colour items, the pointer array that holds
// them, and the theme object: palette set-up and ownership of handles.
#include "huevane/dynaarray.h"
#include "huevane/theme.h"
#include "platform/core_fixtures.h"

namespace {
// A saturated item of the given hue; a negative hue gives the grey -1 - hue.
ccColorItem Item(int hue) {
    ccColorItem it(
        RgbQuad(hue < 0 ? Rgb(-1 - hue, -1 - hue, -1 - hue) : HSLtoRGB(MakeHsl(hue, 200, 120, 0))));
    it.hsl = hue < 0 ? it.hsl : MakeHsl(hue, 200, 120, 0);
    return it;
}
}  // namespace

TEST(ColourWords, RgbToHslFollowsTheIntegerFormulasAndHslToRgbTruncatesAndIgnoresTheGreyByte) {
    for (const Row& c : DataRows("color/rgb_to_hsl.txt")) {
        const uint32_t w = RGBtoHSL(Rgb(c[0], c[1], c[2]));
        EXPECT_EQ((Row{HslHue(w), HslSat(w), HslLight(w), HslGrey(w)}), Row(c.begin() + 3, c.end())) << c[0];
    }
    const uint32_t red = RGBtoHSL(Rgb(255, 0, 0));
    EXPECT_EQ((std::vector<uint32_t>{HSLtoRGB(red), HSLtoRGB(red | 0x01000000u),
                                     HSLtoRGB(MakeHsl(85, 255, 64, 0))}),
              (std::vector<uint32_t>{Rgb(255, 1, 1), Rgb(255, 1, 1), Rgb(0, 128, 0)}));
    for (int l = 0; l < 256; ++l)  // no saturation: the lightness on every channel
        for (int h : {0, 85, 170, 255}) EXPECT_EQ(HSLtoRGB(MakeHsl(h, 0, l, 0)), Rgb(l, l, l)) << l;
}

TEST(HueDistances, ItemsFoldOn255PocketsOn256HslDist2TruncatesAndPocketsJoinWithin20Steps) {
    ccColorItem a, b, it(tagRGBQUAD{0, 0, 255, 0});
    ccColorPocket p, q;
    a.hsl = p.aveHSL = MakeHsl(0, 200, 100, 0);
    for (auto [hue, item, pocket] : {std::tuple{200, 55, 56}, {128, 127, 128}, {127, 127, 127}}) {
        b.hsl = q.aveHSL = MakeHsl(hue, 200, 100, 0);
        EXPECT_EQ((V{a.HueDist(&b), p.HueDistance(&q)}), (V{item, pocket})) << hue;
    }
    // dh 10 across the wrap, ds 10, dl 20 give 98 + 1 + 4; one lightness step
    // alone is 0.01, one hue step 0.98, two 3.92; ds 2 and dl 36 give
    // 0.04 + 12.96, which is 13.
    p.aveHSL = MakeHsl(250, 100, 100, 0);
    for (auto [h, s, l, want] : {std::tuple{4, 110, 80, 103}, {250, 100, 101, 0}, {251, 100, 100, 0},
                                 {252, 100, 100, 3}, {250, 102, 136, 13}}) {
        q.aveHSL = MakeHsl(h, s, l, 0);
        EXPECT_EQ(p.HSLDist2(&q), want) << h;
    }
    it.SetHue(85);  // SetHue recomputes the colour
    EXPECT_TRUE(it.hsl == MakeHsl(85, 255, 128, 0) && RgbWord(it.rgb) == HSLtoRGB(it.hsl));
    // AddColorItem: 19 steps across 0 join, 20 do not; greys join greys only.
    const int cases[][3] = {{250, 13, 1}, {250, 14, 0}, {100, 119, 1}, {100, 120, 0},
                            {0, -1, 0},   {-1, 0, 0},   {-1, -256, 1}};
    for (auto [first, next, joins] : cases) {
        ccColorPocket pocket;
        ccColorItem one = Item(first), two = Item(next);
        EXPECT_EQ((V{pocket.AddColorItem(&one), pocket.AddColorItem(&two), pocket.items.GetSize()}),
                  (V{0, joins ? 1 : -1, 1 + joins}))
            << first << " " << next;
    }
}

TEST(PocketMeans, PlainIgnoreCountsWeightedUse64BitSumsCountsSaturateAndUnusableCountsChangeNothing) {
    ccColorItem it[4] = {ccColorItem({10, 20, 200, 0}), ccColorItem({11, 25, 230, 0}),
                         ccColorItem({0, 21, 201, 0}), ccColorItem({3, 22, 205, 0})};
    ccColorItem a(tagRGBQUAD{0, 0, 255, 0}), b(tagRGBQUAD{255, 0, 0, 0});
    ccColorPocket p, w, big, empty;
    for (int k = 0; k < 4; ++k) {
        it[k].pixelNum = k ? k : 100;
        ASSERT_EQ(p.AddColorItem(&it[k]), k);  // the new item's position
    }
    EXPECT_EQ(RgbWord(p.aveRGB), RgbWord(tagRGBQUAD{(10 + 11 + 0 + 3) / 4, (20 + 25 + 21 + 22) / 4,
                                                    (200 + 230 + 201 + 205) / 4, 0}));
    // The count; the first item with a palette index, none with another.
    EXPECT_EQ((V{p.pixelNum, p.GetColorItemIndex(-1), p.GetColorItemIndex(5)}), (V{106, 0, -1}));
    a.pixelNum = 3;
    b.pixelNum = 1;
    EXPECT_EQ(w.AddColorItemAny(&a) + w.AddColorItemAny(&b), 1);  // blue joins red untested
    EXPECT_EQ(RgbWord(w.aveRGB), RgbWord(tagRGBQUAD{255 / 4, 0, 255 * 3 / 4, 0}));
    EXPECT_TRUE(w.aveHSL == RGBtoHSL(w.aveRGB) && w.pixelNum == 4);
    // A negative first count, no pixels at all: no weighted mean, the colour stays.
    for (auto [ca, cb] : {std::pair{-1, 5}, {0, 0}}) {
        a.pixelNum = ca;
        b.pixelNum = cb;
        EXPECT_EQ((V{w.GetAveRGBofAllPixels(), int(RgbWord(w.aveRGB))}), (V{-1, 0xBF003F}))
            << ca << "," << cb;
    }
    a.pixelNum = 0;  // a first item without pixels only drops out of the weights
    b.pixelNum = 5;
    EXPECT_EQ((V{w.GetAveRGBofAllPixels(), int(RgbWord(w.aveRGB))}), (V{0, 0x0000FF}));
    // A later negative count only enters the sums: (200 - 3 x 100) / (1 - 3)
    // = 50 red, (10 - 3 x 20) / -2 = 25 green.
    ccColorItem x(tagRGBQUAD{0, 10, 200, 0}), y(tagRGBQUAD{0, 20, 100, 0});
    x.pixelNum = 1;
    y.pixelNum = -3;
    ccColorPocket neg;
    neg.AddColorItemAny(&x);
    EXPECT_EQ(neg.AddColorItemAny(&y), 1);
    EXPECT_EQ((V{neg.GetAveRGBofAllPixels(), int(RgbWord(neg.aveRGB))}), (V{0, 0x321900}));
    EXPECT_EQ(neg.aveHSL, RGBtoHSL(neg.aveRGB));
    // Sums of 3 over 2 pixels truncate to 1.
    ccColorItem u(tagRGBQUAD{1, 1, 1, 0}), v(tagRGBQUAD{2, 2, 2, 0});
    u.pixelNum = v.pixelNum = 1;
    ccColorPocket two;
    two.AddColorItemAny(&u);
    two.AddColorItemAny(&v);
    EXPECT_EQ((V{two.GetAveRGBofAllPixels(), int(RgbWord(two.aveRGB))}), (V{0, 0x010101}));
    a.pixelNum = b.pixelNum = 20000000;  // channel times count passes 32 bits
    ASSERT_EQ(w.GetAveRGBofAllPixels(), 0);
    EXPECT_EQ(RgbWord(w.aveRGB), RgbWord(tagRGBQUAD{127, 0, 127, 0}));
    a.pixelNum = b.pixelNum = 0x7FFFFFF0;  // counts read from outside data saturate
    EXPECT_EQ(big.AddColorItemAny(&a) + big.AddColorItemAny(&b), 1);
    EXPECT_EQ(big.pixelNum, 0x7FFFFFFF);
    empty.aveHSL = 77;  // an empty pocket has no means and keeps its colour
    EXPECT_EQ((V{empty.GetAveRGB(), empty.GetAveRGBofAllPixels(), empty.GetAveHSL(), int(empty.aveHSL)}),
              (V{-10, -10, -10, 77}));
}

TEST(DynaArray, RaisesTheStandardErrors) {
    ccDynaArray<int*> a;
    int v = 0;
    EXPECT_THROW(a.InsertAt(1, &v), std::out_of_range);  // the message crosses the library's boundary
    const int saved = ccDynaArray<int*>::maxSize;
    ccDynaArray<int*>::maxSize = 6;                       // lowered so the test need not allocate gigabytes
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a.Add(&v), i);  // the new element's position
    try {
        a.Add(&v);
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "vector<T> too long");
    }
    ccDynaArray<int*>::maxSize = saved;
    EXPECT_EQ(a.GetSize(), 6);
}

TEST(Theme, StartsEmptySetsPaletteEntriesFindsPocketsAndReleasesOnlyTheHandlesItOwns) {
    ccColorPocketArray t(1), u;
    EXPECT_TRUE(t.GetImageWidth() == -1 && !t.GetTrueDibCopy() && !t.GetColorPocket(0) && t.sortMode == 0);
    EXPECT_EQ((V{t.GetThemeType(), u.GetThemeType()}), (V{1, 0}));
    ASSERT_EQ(t.InitPalette(256), 256);
    EXPECT_EQ(t.palette[17].palIndex, -1);
    ccColorItem* it = t.SetPalEntry(5, 1.0f, 0.5f, 0.0f, 10, 40);
    ASSERT_EQ(it, &t.palette[5]);
    EXPECT_EQ((V{int(RgbWord(it->rgb)), it->palIndex, it->pixelNum}),
              (V{0x00FF7F00, 5, 10}));  // reserved byte 0
    EXPECT_TRUE(it->percentage == 0.25f && it->hsl == RGBtoHSL(it->rgb));
    EXPECT_EQ(t.InitPalette(0), 0);
    EXPECT_TRUE(!t.palette && t.paletteSize == 0);
    // Pockets by position and by index, the first in list order.
    for (int id : {7, 3, 3}) {
        u.pockets.Add(new ccColorPocket);
        u.pockets[u.pockets.GetSize() - 1]->index = id;
    }
    u.pockets[0]->aveHSL = MakeHsl(42, 10, 10, 0);
    ccColorPocket stranger;
    EXPECT_EQ((V{u.GetIndex(u.pockets[2]), u.GetIndex(&stranger), u.GetMainHue()}), (V{2, -1, 42}));
    EXPECT_TRUE(u.GetColorPocket(3) == u.pockets[1] && !u.GetColorPocket(4));
    ASSERT_EQ(u.InitPalette(4), 4);
    u.SetPalEntryBYTE(2, 9, 9, 9, 1, 1);
    u.ClearAll();  // pockets go, the palette stays
    EXPECT_EQ((V{u.pockets.GetSize(), u.paletteSize, u.palette[2].rgb.rgbRed}), (V{0, 4, 9}));
    // Handles: the theme releases only those it owns.
    const long before = hv::LiveHandles();
    void* host = MakeEmptyDib(3, 2, 8, true);
    void* derived = MakeEmptyDib(5, 4, 8, true);
    void* replaced = MakeEmptyDib(1, 1, 8, true);
    void* hostCopy = MakeEmptyDib(3, 2, 24, true);
    {
        ccColorPocketArray t;
        t.SetPalDib(replaced, true);
        t.SetPalDib(replaced, false);  // same handle: nothing changes, the flag included
        t.SetPalDib(derived, true);    // the owned handle it replaces is released
        EXPECT_EQ(t.GetImageWidth(), 5);
        t.SetTrueDibCopy(hostCopy);  // no trueDib: ignored
        EXPECT_EQ(t.GetTrueDibCopy(), nullptr);
        t.SetTrueDib(host);
        t.SetTrueDibCopy(hostCopy);
        t.SetTrueDibCopy(derived);  // a copy already in place: ignored
        EXPECT_EQ(t.GetTrueDibCopy(), hostCopy);
    }
    EXPECT_EQ(hv::LiveHandles(), before + 2);  // the derived palette DIB went with the theme
    {
        ccColorPocketArray t;
        t.SetPalDib(host, false);
        t.SetTrueDib(host);
        t.trueDibCopy = MakeEmptyDib(3, 2, 24, true);  // a backup the theme took itself
    }
    EXPECT_EQ(hv::LiveHandles(), before + 2);
    for (void* d : {host, hostCopy}) hv::FreeHandle(d);
    EXPECT_EQ(hv::LiveHandles(), before);
}
