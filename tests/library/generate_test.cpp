// Interpolated themes and the hue ring.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/library_fixtures.h"

namespace {

// The colour an interpolated pocket gets for these HSL bytes.
uint32_t Colour(int h, int s, int l) { return HSLtoRGB(MakeHsl(h, s, l, 0)) & 0xFFFFFF; }

}  // namespace

TEST(Interpolate, NamesCountsAndTheSmallerPocketCount) {
    ccColorPocketArrayArray lib;
    ccColorPocketArray* from = lfix::HueTheme(0, {10, 20, 30, 40, 50});
    ccColorPocketArray* to = lfix::HueTheme(0, {60, 70, 80});
    EXPECT_EQ(lib.InterpolateThemes(from, to, 0), 0);
    EXPECT_EQ(lib.InterpolateThemes(from, to, -3), 0);
    EXPECT_EQ(lib.themes.GetSize(), 0);
    EXPECT_EQ(lib.InterpolateThemes(from, to, 4), 0);
    EXPECT_EQ(lfix::Names(lib),
              (std::vector<std::string>{"Interpolated 0:4", "Interpolated 1:4", "Interpolated 2:4", "Interpolated 3:4"}));
    for (int k = 0; k < 4; ++k) {
        ccColorPocketArray* t = lib.themes[k];
        EXPECT_EQ(t->GetThemeType(), 1);
        EXPECT_EQ(t->palDib, nullptr);
        ASSERT_EQ(t->paletteSize, 3);
        ASSERT_EQ(t->pockets.GetSize(), 3);
        for (int i = 0; i < 3; ++i) {
            ccColorItem* it = t->pockets[i]->items[0];
            EXPECT_EQ(it, &t->palette[i]);
            EXPECT_EQ(it->palIndex, i);
            EXPECT_EQ(it->pixelNum, 20);  // 10 from each side
            EXPECT_FLOAT_EQ(it->percentage, 1.0f / 3);
            EXPECT_EQ(it->hsl, RGBtoHSL(it->rgb));
            EXPECT_EQ(it->rgb.rgbReserved, 0);
        }
    }
    EXPECT_EQ(lib.InterpolateThemes(nullptr, to, 2), -1);
    EXPECT_EQ(lib.themes.GetSize(), 4);
    delete from;
    delete to;
}

TEST(Interpolate, HueTakesTheLongerArc) {
    const struct {
        int a, b, k, steps, want;
    } cases[] = {
        {10, 20, 1, 2, 143},    // forward arc 10 is shorter: backwards by 123
        {10, 200, 1, 2, 105},   // forward arc 190 is longer: forwards by 95
        {0, 128, 1, 2, 64},     // equal arcs: forwards
        {50, 50, 1, 2, 178},    // equal hues: a full turn backwards
        {50, 50, 1, 3, 221},    // 256 / 3 = 85 back
        {250, 5, 1, 4, 189},    // forward arc 11 is shorter: back by 245 / 4 = 61
        {20, 10, 2, 5, 118},    // forward arc 246 is longer: forwards by 492 / 5 = 98
        {10, 20, 0, 2, 10},     // step 0 is the start
    };
    for (const auto& c : cases) {
        ccColorPocketArrayArray lib;
        ccColorPocketArray* from = lfix::HueTheme(0, {c.a});
        ccColorPocketArray* to = lfix::HueTheme(0, {c.b});
        lib.InterpolateThemes(from, to, c.steps);
        ASSERT_EQ(lib.themes.GetSize(), c.steps);
        // The first colour has saturation 200 and lightness 128.
        EXPECT_EQ(RgbWord(lib.themes[c.k]->palette[0].rgb), Colour(c.want, 200, 128))
            << c.a << "->" << c.b << " " << c.k << "/" << c.steps;
        delete from;
        delete to;
    }
}

TEST(Interpolate, LaterColoursMoveSaturationAndLightnessTruncatingTowardZero) {
    ccColorPocketArrayArray lib;
    ccColorPocketArray* from = lfix::HueTheme(0, {0, 40});
    ccColorPocketArray* to = lfix::HueTheme(0, {0, 40});
    from->pockets[1]->aveHSL = MakeHsl(40, 10, 100, 0);
    to->pockets[1]->aveHSL = MakeHsl(40, 0, 120, 0);
    from->pockets[0]->pixelNum = to->pockets[0]->pixelNum = 0;  // the first colour has no pixels
    lib.InterpolateThemes(from, to, 3);
    // k = 1: saturation 10 + (-10 x 1) / 3 = 7 (not 6), lightness 100 + 20 / 3 = 106;
    // the hue turns fully backwards: 40 - 85 = 211.
    EXPECT_EQ(RgbWord(lib.themes[1]->palette[1].rgb), Colour(211, 7, 106));
    // k = 2: saturation 10 - 20 / 3 = 4, lightness 100 + 40 / 3 = 113, hue 40 - 170 = 126.
    EXPECT_EQ(RgbWord(lib.themes[2]->palette[1].rgb), Colour(126, 4, 113));
    EXPECT_FLOAT_EQ(lib.themes[0]->palette[1].percentage, 1.0f);
    EXPECT_FLOAT_EQ(lib.themes[0]->palette[0].percentage, 0.0f);
    delete from;
    delete to;
}

TEST(Interpolate, NoPixelsAtAllGiveSharesOfZero) {
    ccColorPocketArrayArray lib;
    ccColorPocketArray* from = lfix::HueTheme(0, {0, 40});
    ccColorPocketArray* to = lfix::HueTheme(0, {90, 40});
    for (ccColorPocketArray* t : {from, to})
        for (int i = 0; i < 2; ++i) t->pockets[i]->pixelNum = 0;
    lib.InterpolateThemes(from, to, 2);
    for (int k = 0; k < 2; ++k)
        for (int i = 0; i < 2; ++i) EXPECT_EQ(lib.themes[k]->palette[i].percentage, 0.0f);
    // A theme without pockets gives themes without colours.
    ccColorPocketArray none;
    lib.InterpolateThemes(from, &none, 1);
    EXPECT_EQ(lib.themes[2]->pockets.GetSize(), 0);
    delete from;
    delete to;
}

TEST(HueRing, OrderLimitAndEqualHues) {
    const struct {
        std::vector<int> ring;  // main hues in library order (ring members)
        int hue;
        int want;
    } cases[] = {
        {{}, 77, 0},
        {{10, 50, 90}, 50, 1},   // before the existing 50
        {{10, 50, 90}, 100, 3},  // appended
        {{10, 50, 90}, 5, 0},
        {{10, 50, 90}, 90, 2},
        {{10, 50, 90}, 60, 2},
        {{50, 50, 50}, 50, -1},  // three of that hue already
        {{50, 50, 60}, 50, 0},
        {{40, 50, 50, 50}, 50, -1},
    };
    for (const auto& c : cases) {
        ccColorPocketArrayArray lib;
        for (int h : c.ring) lib.themes.Add(lfix::HueTheme(1, {h}));
        ccColorPocketArray* t = lfix::HueTheme(1, {c.hue});
        const int got = lib.InsertThemeHueRing(t);
        EXPECT_EQ(got, c.want) << c.hue;
        if (got < 0) {
            EXPECT_EQ(lib.themes.GetSize(), static_cast<int>(c.ring.size()));
            delete t;
        } else {
            EXPECT_EQ(lib.themes[got], t);
            EXPECT_EQ(lib.themes.GetSize(), static_cast<int>(c.ring.size()) + 1);
        }
    }
}

TEST(HueRing, ExamplesAndThemesWithoutColoursStandAside) {
    ccColorPocketArrayArray lib;
    lib.themes.Add(lfix::HueTheme(0, {200}));  // an example: not a ring member
    lib.themes.Add(lfix::HueTheme(1, {10}));
    // Hue 5: not above the last theme's 10, so before the first ring member
    // of hue 5 or more, which is at 1 (the example is passed over).
    ccColorPocketArray* five = lfix::HueTheme(1, {5});
    EXPECT_EQ(lib.InsertThemeHueRing(five), 1);
    // Hue 200 is not counted against the example of hue 200: appended
    // first, then each next one in front of the others.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(lib.InsertThemeHueRing(lfix::HueTheme(1, {200})), 3);
    ccColorPocketArray* crowded = lfix::HueTheme(1, {200});
    EXPECT_EQ(lib.InsertThemeHueRing(crowded), -1);
    delete crowded;

    // An example last, above every ring member: a hue between finds no place.
    ccColorPocketArrayArray mixed;
    mixed.themes.Add(lfix::HueTheme(1, {10}));
    mixed.themes.Add(lfix::HueTheme(0, {200}));
    ccColorPocketArray* mid = lfix::HueTheme(1, {100});
    EXPECT_EQ(mixed.InsertThemeHueRing(mid), -1);
    delete mid;

    // Themes without pockets: placed only into an empty library, never
    // counted, and as the last theme they sit below every hue.
    ccColorPocketArray* bare = new ccColorPocketArray(1);
    EXPECT_EQ(mixed.InsertThemeHueRing(bare), -1);
    EXPECT_EQ(mixed.InsertThemeHueRing(nullptr), -1);
    ccColorPocketArrayArray fresh;
    EXPECT_EQ(fresh.InsertThemeHueRing(bare), 0);
    EXPECT_EQ(fresh.InsertThemeHueRing(lfix::HueTheme(1, {30})), 1);
    EXPECT_EQ(fresh.InsertThemeHueRing(lfix::HueTheme(1, {20})), 1);
}
