// The colour words, pockets of colour items, the pointer array that holds
// them, and the theme object: palette set-up and ownership of handles.
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

TEST(RgbToHsl, FollowsTheIntegerFormulasOnHueSaturationAndLightness) {
    for (const Row& c : DataRows("color/rgb_to_hsl.txt")) {
        const uint32_t w = RGBtoHSL(Rgb(c[0], c[1], c[2]));
        EXPECT_EQ((Row{HslHue(w), HslSat(w), HslLight(w), HslGrey(w)}), Row(c.begin() + 3, c.end())) << c[0];
    }
}

TEST(HslToRgb, TruncatesChannelsIgnoresTheGreyByteAndStaysNearTheSource) {
    const uint32_t red = RGBtoHSL(Rgb(255, 0, 0));
    EXPECT_EQ((std::vector<uint32_t>{HSLtoRGB(red), HSLtoRGB(red | 0x01000000u),
                                     HSLtoRGB(MakeHsl(85, 255, 64, 0))}),
              (std::vector<uint32_t>{Rgb(255, 1, 1), Rgb(255, 1, 1), Rgb(0, 128, 0)}));
    for (int l = 0; l < 256; ++l)  // no saturation: the lightness on every channel
        for (int h : {0, 85, 170, 255}) EXPECT_EQ(HSLtoRGB(MakeHsl(h, 0, l, 0)), Rgb(l, l, l)) << l;
    // Lightness is rounded, channels truncated and the hue scales differ (42
    // steps a sixth, 255 a circle), so a channel may move several steps.
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 13) {
                const tagRGBQUAD q = RgbQuad(HSLtoRGB(RGBtoHSL(Rgb(r, g, b))));
                EXPECT_LE(
                    std::max({std::abs(q.rgbRed - r), std::abs(q.rgbGreen - g), std::abs(q.rgbBlue - b)}),
                    12);
            }
}

TEST(HueDistances, ItemsFoldOn255PocketsOn256AndHslDist2Truncates) {
    ccColorItem a, b, it(tagRGBQUAD{0, 0, 255, 0});
    ccColorPocket p, q;
    a.hsl = p.aveHSL = MakeHsl(0, 200, 100, 0);
    for (auto [hue, item, pocket] : {std::tuple{200, 55, 56}, {128, 127, 128}, {127, 127, 127}}) {
        b.hsl = q.aveHSL = MakeHsl(hue, 200, 100, 0);
        EXPECT_EQ((V{a.HueDist(&b), p.HueDistance(&q)}), (V{item, pocket})) << hue;
    }
    // dh 10 across the wrap, ds 10, dl 20 give 98 + 1 + 4; one lightness step
    // alone is 0.01, one hue step 0.98, two 3.92.
    p.aveHSL = MakeHsl(250, 100, 100, 0);
    for (auto [h, s, l, want] :
         {std::tuple{4, 110, 80, 103}, {250, 100, 101, 0}, {251, 100, 100, 0}, {252, 100, 100, 3}}) {
        q.aveHSL = MakeHsl(h, s, l, 0);
        EXPECT_EQ(p.HSLDist2(&q), want) << h;
    }
    it.SetHue(85);  // SetHue recomputes the colour
    EXPECT_TRUE(it.hsl == MakeHsl(85, 255, 128, 0) && RgbWord(it.rgb) == HSLtoRGB(it.hsl));
}

TEST(AddColorItem, AcceptsHuesLessThan20StepsAwayAndNeverMixesGreyAndColour) {
    // 19 steps across 0 join, 20 do not; greys join greys only.
    for (auto [first, next, joins] : {std::tuple{250, 13, true},
                                      {250, 14, false},
                                      {100, 119, true},
                                      {100, 120, false},
                                      {0, -1, false},
                                      {-1, 0, false},
                                      {-1, -256, true}}) {
        ccColorPocket p;
        ccColorItem a = Item(first), b = Item(next);
        EXPECT_EQ((V{p.AddColorItem(&a), p.AddColorItem(&b), p.items.GetSize()}),
                  (V{0, joins ? 1 : -1, joins ? 2 : 1}))
            << first << " " << next;
    }
}

TEST(AddColorItem, PlainMeansIgnoreCountsWeightedMeansUse64BitSumsAndCountsSaturate) {
    ccColorItem it[4] = {ccColorItem({10, 20, 200, 0}), ccColorItem({11, 25, 230, 0}),
                         ccColorItem({0, 21, 201, 0}), ccColorItem({3, 22, 205, 0})};
    ccColorItem a(tagRGBQUAD{0, 0, 255, 0}), b(tagRGBQUAD{255, 0, 0, 0});
    ccColorPocket p, w, big;
    for (int k = 0; k < 4; ++k) {
        it[k].pixelNum = k ? k : 100;
        ASSERT_EQ(p.AddColorItem(&it[k]), k);  // the new item's position
    }
    EXPECT_EQ(RgbWord(p.aveRGB), RgbWord(tagRGBQUAD{(10 + 11 + 0 + 3) / 4, (20 + 25 + 21 + 22) / 4,
                                                    (200 + 230 + 201 + 205) / 4, 0}));
    EXPECT_EQ(p.aveHSL, RGBtoHSL(p.aveRGB));
    // The count; the first item with a palette index, none with another.
    EXPECT_EQ((V{p.pixelNum, p.GetColorItemIndex(-1), p.GetColorItemIndex(5)}), (V{106, 0, -1}));
    a.pixelNum = 3;
    b.pixelNum = 1;
    EXPECT_EQ(w.AddColorItemAny(&a) + w.AddColorItemAny(&b), 1);  // blue joins red untested
    EXPECT_EQ(RgbWord(w.aveRGB), RgbWord(tagRGBQUAD{255 / 4, 0, 255 * 3 / 4, 0}));
    EXPECT_TRUE(w.aveHSL == RGBtoHSL(w.aveRGB) && w.pixelNum == 4);
    a.pixelNum = b.pixelNum = 20000000;  // channel times count passes 32 bits
    ASSERT_EQ(w.GetAveRGBofAllPixels(), 0);
    EXPECT_EQ(RgbWord(w.aveRGB), RgbWord(tagRGBQUAD{127, 0, 127, 0}));
    a.pixelNum = b.pixelNum = 0x7FFFFFF0;  // counts read from outside data saturate
    EXPECT_EQ(big.AddColorItemAny(&a) + big.AddColorItemAny(&b), 1);
    EXPECT_EQ(big.pixelNum, 0x7FFFFFFF);
}

TEST(PocketAverages, EmptyPocketsAndUnusableCountsChangeNothing) {
    ccColorPocket p, dst;
    ccColorItem a(tagRGBQUAD{9, 9, 9, 0}), b(tagRGBQUAD{50, 60, 70, 0});
    p.aveRGB = {1, 2, 3, 0};
    p.aveHSL = 77;
    EXPECT_EQ((V{p.GetAveRGB(), p.GetAveRGBofAllPixels(), p.GetAveHSL(), int(p.aveHSL)}),
              (V{-10, -10, -10, 77}));
    p.items.Add(&a);
    p.items.Add(&b);
    // A negative first count, no pixels at all, a single pixel: only the last has a weighted mean.
    for (auto [ca, cb, result] : {std::tuple{-1, 5, -1}, {0, 0, -1}, {0, 1, 0}}) {
        a.pixelNum = ca;
        b.pixelNum = cb;
        EXPECT_EQ((V{p.GetAveRGBofAllPixels(), p.aveRGB.rgbBlue}), (V{result, result ? 1 : 50}))
            << ca << "," << cb;
    }
    EXPECT_EQ((V{p.GetAveRGB(), p.aveRGB.rgbRed}), (V{0, (9 + 70) / 2}));
    dst.SetDestLink(&p);  // a link copies the linked pocket's colour
    EXPECT_TRUE(dst.destLink == &p && RgbWord(dst.destRGB) == RgbWord(p.aveRGB) && dst.destHSL == p.aveHSL);
}

// The message of the E an action raises, or "none".
template <class E>
std::string Raised(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return e.what();
    }
    return "none";
}

TEST(DynaArray, KeepsOrderCopiesShallowlyAndRaisesTheStandardErrors) {
    ccDynaArray<int*> a, full;
    ccDynaArray<ccColorPocket*> owned;
    std::vector<int> v(10);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a.Add(&v[i]), i);
    EXPECT_EQ((V{a.InsertAt(0, &v[9]), a.InsertAt(7, &v[8])}), (V{0, 7}));
    a.RemoveAt(1);
    a.Swap(0, 6);
    ccDynaArray<int*> copy = a;
    a.RemoveAll();
    a.Add(&v[0]);
    EXPECT_EQ(std::vector<int*>(copy.begin(), copy.end()),
              (std::vector<int*>{&v[8], &v[1], &v[2], &v[3], &v[4], &v[5], &v[9]}));
    for (const std::function<void()>& bad :
         std::vector<std::function<void()>>{[&] { a.GetAt(1); }, [&] { a.GetAt(-1); }, [&] { a.Swap(0, 1); },
                                            [&] { a.InsertAt(2, &v[0]); }, [&] { a.RemoveAt(1); }})
        EXPECT_EQ(Raised<std::out_of_range>(bad), "invalid vector<T> subscript");
    const int saved = ccDynaArray<int*>::maxSize;
    ccDynaArray<int*>::maxSize = 4;  // lowered so the test need not allocate gigabytes
    EXPECT_EQ(Raised<std::length_error>([&] {
                  for (;;) full.Add(&v[0]);
              }),
              "vector<T> too long");
    ccDynaArray<int*>::maxSize = saved;
    EXPECT_EQ((V{a.GetSize(), full.GetSize()}), (V{1, 4}));
    for (ccColorPocket* p : {new ccColorPocket, static_cast<ccColorPocket*>(nullptr), new ccColorPocket})
        owned.Add(p);
    owned.FreeMem();  // deletes the pointees (LeakSanitizer watches), keeps the slots
    EXPECT_EQ(owned.GetSize(), 3);
}

TEST(Theme, StartsEmptySetsPaletteEntriesFromTruncatedFractionsAndFindsPockets) {
    ccColorPocketArray t(1), u;
    EXPECT_TRUE(t.GetImageWidth() == -1 && !t.GetTrueDibCopy() && !t.GetColorPocket(0) && t.sortMode == 0);
    EXPECT_EQ((V{t.GetThemeType(), u.GetThemeType()}), (V{1, 0}));
    EXPECT_THROW(t.GetMainHue(), std::out_of_range);
    ASSERT_EQ(t.InitPalette(256), 256);
    EXPECT_EQ(t.palette[17].palIndex, -1);
    ccColorItem* it = t.SetPalEntry(5, 1.0f, 0.5f, 0.0f, 10, 40);
    ASSERT_EQ(it, &t.palette[5]);
    EXPECT_EQ((V{int(RgbWord(it->rgb)), it->palIndex, it->pixelNum}),
              (V{0x00FF7F00, 5, 10}));  // reserved byte 0
    EXPECT_TRUE(it->percentage == 0.25f && it->hsl == RGBtoHSL(it->rgb));
    EXPECT_EQ(RgbWord(t.SetPalEntryBYTE(255, 1, 2, 3, 1, 3)->rgb), 0x00010203u);
    EXPECT_FLOAT_EQ(t.palette[255].percentage, 1.0f / 3);
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
}

TEST(Theme, ReleasesOnlyTheHandlesItOwns) {
    const long before = hv::LiveHandles();
    void* host = MakeEmptyDib(3, 2, 8, true);
    void* derived = MakeEmptyDib(5, 4, 8, true);
    void* replaced = MakeEmptyDib(1, 1, 8, true);
    void* hostCopy = MakeEmptyDib(3, 2, 24, true);
    {
        ccColorPocketArray t;
        t.SetPalDib(replaced, true);
        t.SetPalDib(replaced, false);  // same handle: nothing changes, the flag included
        EXPECT_TRUE(t.ownsPalDib);
        t.SetPalDib(derived, true);  // the owned handle it replaces is released
        EXPECT_EQ((V{int(hv::LiveHandles() - before), t.GetImageWidth()}), (V{3, 5}));
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
    EXPECT_GT(GlobalSize(host), 0u);
    for (void* d : {host, hostCopy}) hv::FreeHandle(d);
    EXPECT_EQ(hv::LiveHandles(), before);
}
