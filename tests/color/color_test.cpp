// The colour words, pockets of colour items, and the pointer array that holds them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "color/colorword.h"
#include "huevane/huevane.h"

namespace {
uint32_t Rgb(int r, int g, int b) { return RgbWord(tagRGBQUAD{BYTE(b), BYTE(g), BYTE(r), 0}); }
std::vector<int> Fields(uint32_t w) { return {HslHue(w), HslSat(w), HslLight(w), HslGrey(w)}; }
ccColorItem Hue(int hue) {
    ccColorItem it;
    it.hsl = MakeHsl(hue, 200, 120, 0);
    it.rgb = RgbQuad(HSLtoRGB(it.hsl));
    return it;
}
ccColorItem Grey(int v) { return ccColorItem(tagRGBQUAD{BYTE(v), BYTE(v), BYTE(v), 0}); }
}  // namespace

TEST(RgbToHsl, FollowsTheIntegerFormulasOnHueSaturationAndLightness) {
    const struct {
        int r, g, b;
        std::vector<int> hsl;  // hue, saturation, lightness, grey flag
    } cases[] = {
        {255, 0, 0, {0, 255, 128, 0}},
        {0, 255, 0, {85, 255, 128, 0}},
        {0, 0, 255, {170, 255, 128, 0}},
        {255, 255, 0, {42, 255, 128, 0}},
        {0, 255, 255, {127, 255, 128, 0}},
        {255, 0, 255, {214, 255, 128, 0}},
        // Greys: hue 170, the grey flag, L = (2v + 1) / 2.
        {0, 0, 0, {170, 0, 0, 1}},
        {127, 127, 127, {170, 0, 127, 1}},
        {255, 255, 255, {170, 0, 255, 1}},
        {255, 0, 20, {253, 255, 128, 0}},   // Bd - Gd = 39 - 42 wraps below 256
        {30, 40, 20, {64, 85, 30, 0}},      // S = (20 * 255 + 30) / 60; hue 85 + 21 - 42
        {255, 200, 200, {0, 255, 228, 0}},  // light: the denominator is 510 - max - min
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fields(RGBtoHSL(Rgb(c.r, c.g, c.b))), c.hsl) << c.r << "," << c.g << "," << c.b;
}

TEST(HslToRgb, TruncatesChannelsIgnoresTheGreyByteAndStaysNearTheSource) {
    const uint32_t red = RGBtoHSL(Rgb(255, 0, 0));
    EXPECT_EQ(HSLtoRGB(red), Rgb(255, 1, 1));
    EXPECT_EQ(HSLtoRGB(red | 0x01000000u), Rgb(255, 1, 1));
    EXPECT_EQ(HSLtoRGB(MakeHsl(85, 255, 64, 0)), Rgb(0, 128, 0));
    for (int l = 0; l < 256; ++l)  // no saturation: the lightness on every channel
        for (int h : {0, 85, 170, 255}) EXPECT_EQ(HSLtoRGB(MakeHsl(h, 0, l, 0)), Rgb(l, l, l)) << l;
    // Lightness is rounded, channels truncated and the hue scales differ (42
    // steps a sixth, 255 a circle), so a channel may move several steps.
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 13) {
                const tagRGBQUAD q = RgbQuad(HSLtoRGB(RGBtoHSL(Rgb(r, g, b))));
                EXPECT_EQ(q.rgbReserved, 0);
                EXPECT_LE(
                    std::max({std::abs(q.rgbRed - r), std::abs(q.rgbGreen - g), std::abs(q.rgbBlue - b)}),
                    12);
            }
}

TEST(HueDistances, ItemsFoldOn255PocketsOn256AndHslDist2Truncates) {
    ccColorItem a, b;
    ccColorPocket p, q;
    a.hsl = p.aveHSL = MakeHsl(0, 200, 100, 0);
    for (auto [hue, item, pocket] : {std::tuple{200, 55, 56}, {128, 127, 128}, {127, 127, 127}}) {
        b.hsl = q.aveHSL = MakeHsl(hue, 200, 100, 0);
        EXPECT_EQ(a.HueDist(&b), item) << hue;
        EXPECT_EQ(p.HueDistance(&q), pocket) << hue;
    }
    // dh 10 across the wrap, ds 10, dl 20 give 98 + 1 + 4; one lightness step
    // alone is 0.01, one hue step 0.98, two 3.92.
    p.aveHSL = MakeHsl(250, 100, 100, 0);
    for (auto [other, want] : {std::tuple{MakeHsl(4, 110, 80, 0), 103},
                               {MakeHsl(250, 100, 101, 0), 0},
                               {MakeHsl(251, 100, 100, 0), 0},
                               {MakeHsl(252, 100, 100, 0), 3}}) {
        q.aveHSL = other;
        EXPECT_EQ(p.HSLDist2(&q), want);
    }
    ccColorItem it(tagRGBQUAD{0, 0, 255, 0});  // SetHue recomputes the colour
    it.SetHue(85);
    EXPECT_EQ(it.hsl, MakeHsl(85, 255, 128, 0));
    EXPECT_EQ(RgbWord(it.rgb), HSLtoRGB(it.hsl));
}

TEST(AddColorItem, AcceptsHuesLessThan20StepsAwayAndNeverMixesGreyAndColour) {
    const struct {
        ccColorItem first, next;
        bool joins;
    } cases[] = {{Hue(250), Hue(13), true},  // 19 steps across 0
                 {Hue(250), Hue(14), false}, {Hue(100), Hue(119), true}, {Hue(100), Hue(120), false},
                 {Hue(0), Grey(0), false},   {Grey(0), Hue(0), false},   {Grey(0), Grey(255), true}};
    for (auto c : cases) {
        ccColorPocket p;
        EXPECT_EQ(p.AddColorItem(&c.first), 0);
        EXPECT_EQ(p.AddColorItem(&c.next), c.joins ? 1 : -1);
        EXPECT_EQ(p.items.GetSize(), c.joins ? 2 : 1);
    }
}

TEST(AddColorItem, PlainMeansIgnoreCountsWeightedMeansUse64BitSumsAndCountsSaturate) {
    ccColorItem it[4] = {ccColorItem({10, 20, 200, 0}), ccColorItem({11, 25, 230, 0}),
                         ccColorItem({0, 21, 201, 0}), ccColorItem({3, 22, 205, 0})};
    ccColorPocket p;
    for (int k = 0; k < 4; ++k) {
        it[k].pixelNum = k ? k : 100;
        ASSERT_EQ(p.AddColorItem(&it[k]), k);  // the new item's position
    }
    EXPECT_EQ(RgbWord(p.aveRGB), RgbWord(tagRGBQUAD{(10 + 11 + 0 + 3) / 4, (20 + 25 + 21 + 22) / 4,
                                                    (200 + 230 + 201 + 205) / 4, 0}));
    EXPECT_EQ(p.aveHSL, RGBtoHSL(p.aveRGB));
    EXPECT_EQ(p.pixelNum, 106);
    EXPECT_EQ(p.GetColorItemIndex(-1), 0);  // the first item with that palette index
    EXPECT_EQ(p.GetColorItemIndex(5), -1);

    ccColorItem a(tagRGBQUAD{0, 0, 255, 0}), b(tagRGBQUAD{255, 0, 0, 0});
    a.pixelNum = 3;
    b.pixelNum = 1;
    ccColorPocket w;
    EXPECT_EQ(w.AddColorItemAny(&a) + w.AddColorItemAny(&b), 1);  // blue joins red untested
    EXPECT_EQ(RgbWord(w.aveRGB), RgbWord(tagRGBQUAD{255 / 4, 0, 255 * 3 / 4, 0}));
    EXPECT_EQ(w.aveHSL, RGBtoHSL(w.aveRGB));
    EXPECT_EQ(w.pixelNum, 4);
    a.pixelNum = b.pixelNum = 20000000;  // channel times count passes 32 bits
    ASSERT_EQ(w.GetAveRGBofAllPixels(), 0);
    EXPECT_EQ(RgbWord(w.aveRGB), RgbWord(tagRGBQUAD{127, 0, 127, 0}));
    a.pixelNum = b.pixelNum = 0x7FFFFFF0;  // counts read from outside data saturate
    ccColorPocket big;
    big.AddColorItemAny(&a);
    big.AddColorItemAny(&b);
    EXPECT_EQ(big.pixelNum, 0x7FFFFFFF);
}

TEST(PocketAverages, EmptyPocketsAndUnusableCountsChangeNothing) {
    ccColorPocket p, dst;
    p.aveRGB = {1, 2, 3, 0};
    p.aveHSL = 77;
    EXPECT_EQ((std::vector<int>{p.GetAveRGB(), p.GetAveRGBofAllPixels(), p.GetAveHSL()}),
              (std::vector<int>{-10, -10, -10}));
    EXPECT_EQ(p.aveHSL, 77u);
    ccColorItem a(tagRGBQUAD{9, 9, 9, 0}), b(tagRGBQUAD{50, 60, 70, 0});
    p.items.Add(&a);
    p.items.Add(&b);
    // A negative first count, no pixels at all, a single pixel: only the last has a weighted mean.
    for (auto [ca, cb, result] : {std::tuple{-1, 5, -1}, {0, 0, -1}, {0, 1, 0}}) {
        a.pixelNum = ca;
        b.pixelNum = cb;
        EXPECT_EQ(p.GetAveRGBofAllPixels(), result) << ca << "," << cb;
        EXPECT_EQ(p.aveRGB.rgbBlue, result ? 1 : 50);
    }
    EXPECT_EQ(p.GetAveRGB(), 0);
    EXPECT_EQ(p.aveRGB.rgbRed, (9 + 70) / 2);
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
    ccDynaArray<int*> a;
    std::vector<int> v(10);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a.Add(&v[i]), i);
    EXPECT_EQ((std::vector<int>{a.InsertAt(0, &v[9]), a.InsertAt(7, &v[8])}), (std::vector<int>{0, 7}));
    a.RemoveAt(1);
    a.Swap(0, 6);
    ccDynaArray<int*> copy = a;
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(std::vector<int*>(copy.begin(), copy.begin() + copy.GetSize()),
              (std::vector<int*>{&v[8], &v[1], &v[2], &v[3], &v[4], &v[5], &v[9]}));
    a.Add(&v[0]);
    for (const std::function<void()>& bad :
         std::vector<std::function<void()>>{[&] { a.GetAt(1); }, [&] { a.GetAt(-1); }, [&] { a.Swap(0, 1); },
                                            [&] { a.InsertAt(2, &v[0]); }, [&] { a.RemoveAt(1); }})
        EXPECT_EQ(Raised<std::out_of_range>(bad), "invalid vector<T> subscript");
    const int saved = ccDynaArray<int*>::maxSize;
    ccDynaArray<int*> full;
    ccDynaArray<int*>::maxSize = 4;  // lowered so the test need not allocate gigabytes
    EXPECT_EQ(Raised<std::length_error>([&] {
                  for (;;) full.Add(&v[0]);
              }),
              "vector<T> too long");
    ccDynaArray<int*>::maxSize = saved;
    EXPECT_EQ(full.GetSize(), 4);
    ccDynaArray<ccColorPocket*> owned;  // FreeMem deletes the pointees (LeakSanitizer watches)
    for (ccColorPocket* p : {new ccColorPocket, static_cast<ccColorPocket*>(nullptr), new ccColorPocket})
        owned.Add(p);
    owned.FreeMem();
    EXPECT_EQ(owned.GetSize(), 3);
}
