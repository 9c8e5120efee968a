// The colour words: conversions and distances.
#include "color/colorword.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "huevane/huevane.h"

namespace {
uint32_t Rgb(int r, int g, int b) { return RgbWord(tagRGBQUAD{BYTE(b), BYTE(g), BYTE(r), 0}); }

struct Hsl {
    int h, s, l, grey;
};
Hsl Split(uint32_t w) { return {HslHue(w), HslSat(w), HslLight(w), HslGrey(w)}; }
}  // namespace

TEST(RgbToHsl, PrimariesAndSecondariesSitOnTheirHueSteps) {
    const struct {
        int r, g, b, hue;
    } cases[] = {{255, 0, 0, 0},    {0, 255, 0, 85},    {0, 0, 255, 170},
                 {255, 255, 0, 42}, {0, 255, 255, 127}, {255, 0, 255, 214}};
    for (auto c : cases) {
        Hsl h = Split(RGBtoHSL(Rgb(c.r, c.g, c.b)));
        EXPECT_EQ(h.h, c.hue) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(h.s, 255);
        EXPECT_EQ(h.l, 128);
        EXPECT_EQ(h.grey, 0);
    }
}

TEST(RgbToHsl, GreysHaveHue170AndTheGreyFlag) {
    for (int v : {0, 1, 127, 128, 254, 255}) {
        Hsl h = Split(RGBtoHSL(Rgb(v, v, v)));
        EXPECT_EQ(h.h, 170);
        EXPECT_EQ(h.s, 0);
        EXPECT_EQ(h.l, v);  // (2v + 1) / 2
        EXPECT_EQ(h.grey, 1);
    }
}

TEST(RgbToHsl, NegativeHuesWrapAndRoundingFollowsTheIntegerFormulas) {
    // Red max with blue above green: Bd - Gd < 0 wraps below 256.
    Hsl h = Split(RGBtoHSL(Rgb(255, 0, 20)));
    // d = 255, Bd = (235*42 + 127) / 255 = 39, Gd = 42 -> -3 -> 253.
    EXPECT_EQ(h.h, 253);
    // Lightness (255 + 0 + 1) / 2 = 128 -> denominator 510 - 255 = 255.
    EXPECT_EQ(h.l, 128);
    EXPECT_EQ(h.s, 255);

    // A dark, weakly saturated colour: L = (40 + 20 + 1) / 2 = 30, D = 60,
    // S = (20 * 255 + 30) / 60 = 85; green max: 85 + Rd - Bd.
    h = Split(RGBtoHSL(Rgb(30, 40, 20)));
    EXPECT_EQ(h.l, 30);
    EXPECT_EQ(h.s, 85);
    // Rd = (10*42 + 10) / 20 = 21, Bd = (20*42 + 10) / 20 = 42 -> 85 + 21 - 42.
    EXPECT_EQ(h.h, 64);
    // A light colour uses 510 - max - min: (255, 200, 200): L = 228,
    // D = 510 - 455 = 55, S = (55*255 + 27) / 55 = 255.
    h = Split(RGBtoHSL(Rgb(255, 200, 200)));
    EXPECT_EQ(h.l, 228);
    EXPECT_EQ(h.s, 255);
}

TEST(HslToRgb, PureRedComesBackWithTruncatedChannels) {
    uint32_t red = RGBtoHSL(Rgb(255, 0, 0));
    EXPECT_EQ(HSLtoRGB(red), Rgb(255, 1, 1));
    // The grey flag byte is ignored.
    EXPECT_EQ(HSLtoRGB(red | 0x01000000u), Rgb(255, 1, 1));
}

TEST(HslToRgb, ZeroSaturationGivesTheLightnessOnEveryChannel) {
    for (int l = 0; l < 256; ++l)
        for (int h : {0, 85, 170, 255}) EXPECT_EQ(HSLtoRGB(MakeHsl(h, 0, l, 0)), Rgb(l, l, l)) << l;
}

TEST(HslToRgb, RoundTripsStayWithinAFewSteps) {
    EXPECT_EQ(HSLtoRGB(MakeHsl(85, 255, 64, 0)), Rgb(0, 128, 0));
    // Lightness is rounded, channels truncated, and the two hue scales differ
    // (42 steps a sixth one way, 255 steps a circle the other), so a channel
    // may move several steps; the reserved byte is always 0.
    for (int r = 0; r < 256; r += 15)
        for (int g = 0; g < 256; g += 17)
            for (int b = 0; b < 256; b += 13) {
                uint32_t back = HSLtoRGB(RGBtoHSL(Rgb(r, g, b)));
                tagRGBQUAD q = RgbQuad(back);
                EXPECT_EQ(q.rgbReserved, 0);
                EXPECT_LE(std::abs(q.rgbRed - r), 12);
                EXPECT_LE(std::abs(q.rgbGreen - g), 12);
                EXPECT_LE(std::abs(q.rgbBlue - b), 12);
            }
}

TEST(HueDistances, ItemsFoldOn255AndPocketsOn256) {
    ccColorItem a, b;
    a.hsl = MakeHsl(0, 200, 100, 0);
    b.hsl = MakeHsl(200, 200, 100, 0);
    EXPECT_EQ(a.HueDist(&b), 55);
    ccColorPocket p, q;
    p.aveHSL = a.hsl;
    q.aveHSL = b.hsl;
    EXPECT_EQ(p.HueDistance(&q), 56);
    b.hsl = q.aveHSL = MakeHsl(128, 200, 100, 0);
    EXPECT_EQ(a.HueDist(&b), 127);
    EXPECT_EQ(p.HueDistance(&q), 128);
    b.hsl = q.aveHSL = MakeHsl(127, 200, 100, 0);
    EXPECT_EQ(a.HueDist(&b), 127);
    EXPECT_EQ(p.HueDistance(&q), 127);
}

TEST(HueDistances, HslDist2WeighsHueAboveSaturationAndLightness) {
    ccColorPocket p, q;
    p.aveHSL = MakeHsl(250, 100, 100, 0);
    q.aveHSL = MakeHsl(4, 110, 80, 0);
    // dh = 10 across the wrap, ds = 10, dl = 20: 98 + 1 + 4.
    EXPECT_EQ(p.HSLDist2(&q), 103);
    // Truncation toward zero: one step of lightness alone is 0.01.
    q.aveHSL = MakeHsl(250, 100, 101, 0);
    EXPECT_EQ(p.HSLDist2(&q), 0);
    // Hue steps alone: 0.98 truncates to 0, 3.92 to 3.
    q.aveHSL = MakeHsl(251, 100, 100, 0);
    EXPECT_EQ(p.HSLDist2(&q), 0);
    q.aveHSL = MakeHsl(252, 100, 100, 0);
    EXPECT_EQ(p.HSLDist2(&q), 3);
}

TEST(ItemHue, SetHueKeepsCountsAndRecomputesTheColour) {
    ccColorItem it(tagRGBQUAD{0, 0, 255, 0});
    it.pixelNum = 7;
    it.palIndex = 3;
    it.SetHue(85);
    EXPECT_EQ(HslHue(it.hsl), 85);
    EXPECT_EQ(RgbWord(it.rgb), HSLtoRGB(it.hsl));
    EXPECT_EQ(it.rgb.rgbGreen, 255);
    EXPECT_EQ(it.pixelNum, 7);
    EXPECT_EQ(it.palIndex, 3);
}
