// Colour items in pockets, and the pointer array that holds them.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <vector>

#include "color/colorword.h"
#include "huevane/color.h"
#include "huevane/huevane.h"

namespace {
ccColorItem Chromatic(int hue, int pixels = 1) {
    ccColorItem it;
    it.hsl = MakeHsl(hue, 200, 120, 0);
    it.rgb = RgbQuad(HSLtoRGB(it.hsl));
    it.pixelNum = pixels;
    return it;
}
ccColorItem Grey(int v, int pixels = 1) {
    ccColorItem it(tagRGBQUAD{BYTE(v), BYTE(v), BYTE(v), 0});
    it.pixelNum = pixels;
    return it;
}
}  // namespace

TEST(AddColorItem, AcceptsHuesLessThan20StepsAwayAcrossTheWrap) {
    ccColorItem base = Chromatic(250), near = Chromatic(13), far = Chromatic(14);
    // 250 and 13 are 19 steps apart across 0; 14 is 20 away.
    ccColorPocket p;
    EXPECT_EQ(p.AddColorItem(&base), 0);
    EXPECT_EQ(p.AddColorItem(&far), -1);
    EXPECT_EQ(p.items.GetSize(), 1);
    EXPECT_EQ(p.AddColorItem(&near), 1);

    ccColorPocket q;
    ccColorItem a = Chromatic(100), b = Chromatic(119), c = Chromatic(120);
    q.AddColorItem(&a);
    EXPECT_EQ(q.AddColorItem(&c), -1);
    EXPECT_EQ(q.AddColorItem(&b), 1);
}

TEST(AddColorItem, GreyAndChromaticNeverMix) {
    ccColorItem red = Chromatic(0), black = Grey(0), white = Grey(255);
    ccColorPocket chroma, grey;
    chroma.AddColorItem(&red);
    EXPECT_EQ(chroma.AddColorItem(&black), -1);
    grey.AddColorItem(&black);
    EXPECT_EQ(grey.AddColorItem(&red), -1);
    EXPECT_EQ(grey.AddColorItem(&white), 1);  // any grey joins a grey pocket
    EXPECT_EQ(grey.items.GetSize(), 2);
}

TEST(AddColorItem, RecomputesTheUnweightedMeanAndSumsPixels) {
    ccColorItem a(tagRGBQUAD{10, 20, 200, 0}), b(tagRGBQUAD{11, 25, 230, 0}), c(tagRGBQUAD{0, 21, 201, 0}),
        d(tagRGBQUAD{3, 22, 205, 0});
    a.pixelNum = 100;
    b.pixelNum = 1;
    c.pixelNum = 2;
    d.pixelNum = 3;
    ccColorPocket p;
    ASSERT_EQ(p.AddColorItem(&a), 0);
    EXPECT_EQ(p.pixelNum, 100);
    ASSERT_EQ(p.AddColorItem(&b), 1);
    ASSERT_EQ(p.AddColorItem(&c), 2);
    // On a pocket of 3 items an accepted item returns 3.
    ASSERT_EQ(p.AddColorItem(&d), 3);
    // Truncated channel means, pixel counts ignored.
    EXPECT_EQ(p.aveRGB.rgbRed, (200 + 230 + 201 + 205) / 4);
    EXPECT_EQ(p.aveRGB.rgbGreen, (20 + 25 + 21 + 22) / 4);
    EXPECT_EQ(p.aveRGB.rgbBlue, (10 + 11 + 0 + 3) / 4);
    EXPECT_EQ(p.aveHSL, RGBtoHSL(p.aveRGB));
    EXPECT_EQ(p.pixelNum, 106);
    EXPECT_EQ(p.GetColorItemIndex(-1), 0);
    EXPECT_EQ(p.GetColorItemIndex(5), -1);
}

TEST(AddColorItemAny, WeighsThePixelsAndSurvivesLargeCounts) {
    ccColorItem a(tagRGBQUAD{0, 0, 255, 0}), b(tagRGBQUAD{255, 0, 0, 0});
    a.pixelNum = 3;
    b.pixelNum = 1;
    ccColorPocket p;
    EXPECT_EQ(p.AddColorItemAny(&a), 0);
    EXPECT_EQ(p.AddColorItemAny(&b), 1);  // a blue item joins a red pocket untested
    EXPECT_EQ(p.aveRGB.rgbRed, 255 * 3 / 4);
    EXPECT_EQ(p.aveRGB.rgbBlue, 255 / 4);
    EXPECT_EQ(p.aveHSL, RGBtoHSL(p.aveRGB));
    EXPECT_EQ(p.pixelNum, 4);

    // Channel times count overflows 32 bits on a large image: the sums are 64-bit.
    a.pixelNum = 20000000;
    b.pixelNum = 20000000;
    ASSERT_EQ(p.GetAveRGBofAllPixels(), 0);
    EXPECT_EQ(p.aveRGB.rgbRed, 127);
    EXPECT_EQ(p.aveRGB.rgbBlue, 127);

    // Counts read from outside data may add past the int range: they saturate.
    ccColorItem c(tagRGBQUAD{1, 1, 1, 0});
    c.pixelNum = 0x7FFFFFF0;
    ccColorPocket big;
    big.pixelNum = 0;
    big.AddColorItemAny(&c);
    big.AddColorItemAny(&c);
    EXPECT_EQ(big.pixelNum, 0x7FFFFFFF);
}

TEST(PocketAverages, EmptyPocketsAndUnusableCountsChangeNothing) {
    ccColorPocket p;
    p.aveRGB = {1, 2, 3, 0};
    p.aveHSL = 77;
    EXPECT_EQ(p.GetAveRGB(), -10);
    EXPECT_EQ(p.GetAveRGBofAllPixels(), -10);
    EXPECT_EQ(p.GetAveHSL(), -10);
    EXPECT_EQ(p.aveHSL, 77u);

    ccColorItem a(tagRGBQUAD{9, 9, 9, 0}), b(tagRGBQUAD{50, 60, 70, 0});
    a.pixelNum = -1;
    b.pixelNum = 5;
    p.items.Add(&a);
    p.items.Add(&b);
    EXPECT_EQ(p.GetAveRGBofAllPixels(), -1);  // first count negative
    EXPECT_EQ(p.aveRGB.rgbBlue, 1);
    a.pixelNum = 0;
    b.pixelNum = 0;
    EXPECT_EQ(p.GetAveRGBofAllPixels(), -1);  // no pixels: no weighted mean
    EXPECT_EQ(p.aveRGB.rgbBlue, 1);
    EXPECT_EQ(p.GetAveRGB(), 0);
    EXPECT_EQ(p.aveRGB.rgbRed, (9 + 70) / 2);
}

TEST(DestLink, CopiesTheLinkedPocketsColour) {
    ccColorPocket src, dst;
    dst.aveRGB = {1, 2, 3, 0};
    dst.aveHSL = RGBtoHSL(dst.aveRGB);
    src.SetDestLink(&dst);
    EXPECT_EQ(src.destLink, &dst);
    EXPECT_EQ(RgbWord(src.destRGB), RgbWord(dst.aveRGB));
    EXPECT_EQ(src.destHSL, dst.aveHSL);
}

TEST(DynaArray, GrowsByHalfAndKeepsOrderThroughInsertAndRemove) {
    ccDynaArray<int*> a;
    std::vector<int> v(10);
    EXPECT_EQ(a.Add(&v[0]), 0);
    for (int i = 1; i < 5; ++i) a.Add(&v[i]);
    EXPECT_EQ(a.Add(&v[5]), 5);
    EXPECT_EQ(a.InsertAt(0, &v[9]), 0);
    EXPECT_EQ(a.InsertAt(a.GetSize(), &v[8]), 7);
    EXPECT_EQ(a[0], &v[9]);
    EXPECT_EQ(a[1], &v[0]);
    EXPECT_EQ(a[7], &v[8]);
    a.RemoveAt(1);
    EXPECT_EQ(a[1], &v[1]);
    EXPECT_EQ(a.GetSize(), 7);
    a.Swap(0, 6);
    EXPECT_EQ(a[0], &v[8]);
    EXPECT_EQ(a[6], &v[9]);

    ccDynaArray<int*> copy = a;  // shallow copy of the pointer list
    EXPECT_EQ(copy.GetSize(), 7);
    EXPECT_EQ(copy[3], a[3]);
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(copy.GetSize(), 7);
}

TEST(DynaArray, CheckedAccessRaisesTheStandardErrors) {
    ccDynaArray<int*> a;
    int x = 0;
    try {
        a.GetAt(0);
        FAIL() << "no exception";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }
    a.Add(&x);
    EXPECT_THROW(a[-1], std::out_of_range);
    EXPECT_THROW(a[1], std::out_of_range);
    EXPECT_THROW(a.Swap(0, 1), std::out_of_range);
    EXPECT_EQ(a.GetSize(), 1);

    // The length limit, lowered so the test need not allocate gigabytes.
    const int saved = ccDynaArray<int*>::maxSize;
    ccDynaArray<int*>::maxSize = 4;
    for (int i = 1; i < 4; ++i) a.Add(&x);
    try {
        a.Add(&x);
        FAIL() << "no exception";
    } catch (const std::length_error& e) {
        EXPECT_STREQ(e.what(), "vector<T> too long");
    }
    EXPECT_EQ(a.GetSize(), 4);
    ccDynaArray<int*>::maxSize = saved;
}

TEST(DynaArray, FreeMemDeletesThePointeesButKeepsTheList) {
    ccDynaArray<ccColorPocket*> a;
    a.Add(new ccColorPocket);
    a.Add(nullptr);
    a.Add(new ccColorPocket);
    a.FreeMem();  // LeakSanitizer catches a pocket left behind
    EXPECT_EQ(a.GetSize(), 3);
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0);
}
