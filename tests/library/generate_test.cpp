// Interpolated themes and the hue ring.
#include "library/library_fixtures.h"

using lfix::HueTheme;
using lfix::Theme;

TEST(Interpolate, NamesCountsAndPixelShares) {
    Theme from(HueTheme(0, {10, 20, 30, 40, 50})), to(HueTheme(0, {60, 70, 80}));
    from->pockets[1]->pixelNum = 30;  // pixels 20, 40 and 20 of 80 by position
    ccColorPocketArrayArray lib;
    EXPECT_EQ(
        lib.InterpolateThemes(from.get(), to.get(), 0) + lib.InterpolateThemes(from.get(), to.get(), -3), 0);
    EXPECT_EQ(lib.InterpolateThemes(nullptr, to.get(), 2), -1);
    EXPECT_EQ(lib.themes.GetSize(), 0);
    EXPECT_EQ(lib.InterpolateThemes(from.get(), to.get(), 3), 0);
    EXPECT_EQ(lfix::NamesOf(lib), (lfix::Names{"Interpolated 0:3", "Interpolated 1:3", "Interpolated 2:3"}));
    for (ccColorPocketArray* t : lib.themes) {
        EXPECT_EQ(t->GetThemeType(), 1);
        ASSERT_EQ(t->pockets.GetSize(), 3);  // the smaller pocket count
        for (int i = 0; i < 3; ++i) {
            ccColorItem* it = t->pockets[i]->items[0];
            EXPECT_TRUE(it == &t->palette[i] && it->palIndex == i && it->hsl == RGBtoHSL(it->rgb)) << i;
            EXPECT_EQ(it->rgb.rgbReserved, 0);
            EXPECT_EQ(it->pixelNum, i == 1 ? 40 : 20);
            EXPECT_FLOAT_EQ(it->percentage, i == 1 ? 0.5f : 0.25f);
        }
    }
    // No pixels at all: shares of 0; a theme without pockets: no colours.
    for (ccColorPocketArray* t : {from.get(), to.get()})
        for (ccColorPocket* p : t->pockets) p->pixelNum = 0;
    ccColorPocketArray none;
    lib.InterpolateThemes(from.get(), to.get(), 1);
    lib.InterpolateThemes(from.get(), &none, 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(lib.themes[3]->palette[i].percentage, 0.0f);
    EXPECT_EQ(lib.themes[4]->pockets.GetSize(), 0);
}

TEST(Interpolate, HueTakesTheLongerArcAndLaterColoursTruncateTowardZero) {
    const struct {
        int a, b, k, steps, want;
    } cases[] = {
        {10, 20, 1, 2, 143},   // forward arc 10 is shorter: backwards by 123
        {10, 200, 1, 2, 105},  // forward arc 190 is longer: forwards by 95
        {0, 128, 1, 2, 64},    // equal arcs: forwards
        {50, 50, 1, 2, 178},   // equal hues: a full turn backwards
        {50, 50, 1, 3, 221},   // 256 / 3 = 85 back
        {250, 5, 1, 4, 189},   // forward arc 11 is shorter: back by 245 / 4 = 61
        {20, 10, 2, 5, 118},   // forward arc 246 is longer: forwards by 492 / 5 = 98
        {10, 20, 0, 2, 10},    // step 0 is the start
    };
    // The first colour has saturation 200 and lightness 128; the second
    // moves from saturation 10 to 0 and lightness 100 to 120.
    for (const auto& c : cases) {
        ccColorPocketArrayArray lib;
        Theme from(HueTheme(0, {c.a, 40})), to(HueTheme(0, {c.b, 40}));
        from->pockets[1]->aveHSL = MakeHsl(40, 10, 100, 0);
        to->pockets[1]->aveHSL = MakeHsl(40, 0, 120, 0);
        lib.InterpolateThemes(from.get(), to.get(), c.steps);
        EXPECT_EQ(RgbWord(lib.themes[c.k]->palette[0].rgb), HSLtoRGB(MakeHsl(c.want, 200, 128, 0)) & 0xFFFFFF)
            << c.a << "->" << c.b << " " << c.k << "/" << c.steps;
        if (c.steps != 3) continue;
        // Step 1: saturation 10 - 10 / 3 = 7 (not 6), lightness 100 + 20 / 3 =
        // 106, hue 40 - 85 = 211; step 2: 10 - 20 / 3 = 4, 100 + 40 / 3 = 113, 126.
        EXPECT_EQ(RgbWord(lib.themes[1]->palette[1].rgb), HSLtoRGB(MakeHsl(211, 7, 106, 0)) & 0xFFFFFF);
        EXPECT_EQ(RgbWord(lib.themes[2]->palette[1].rgb), HSLtoRGB(MakeHsl(126, 4, 113, 0)) & 0xFFFFFF);
    }
}

TEST(HueRing, OrderLimitAndEqualHues) {
    const struct {
        std::vector<int> ring;  // main hues in library order (ring members)
        int hue, want;
    } cases[] = {
        {{}, 77, 0},
        {{10, 50, 90}, 50, 1},  // before the existing 50
        {{10, 50, 90}, 100, 3},
        {{10, 50, 90}, 5, 0},
        {{10, 50, 90}, 90, 2},
        {{10, 50, 90}, 60, 2},
        {{50, 50, 50}, 50, -1},  // three of that hue already
        {{50, 50, 60}, 50, 0},
        {{40, 50, 50, 50}, 50, -1},
    };
    for (const auto& c : cases) {
        ccColorPocketArrayArray lib;
        for (int h : c.ring) lib.themes.Add(HueTheme(1, {h}));
        Theme t(HueTheme(1, {c.hue}));
        const int got = lib.InsertThemeHueRing(t.get());
        EXPECT_EQ(got, c.want) << c.hue;
        EXPECT_EQ(lib.themes.GetSize(), static_cast<int>(c.ring.size()) + (got >= 0));
        if (got >= 0) {
            EXPECT_EQ(lib.themes[got], t.release());
        }
    }
}

TEST(HueRing, ExamplesAndThemesWithoutColoursStandAside) {
    ccColorPocketArrayArray lib;
    lib.themes.Add(HueTheme(0, {200}));  // an example: not a ring member
    lib.themes.Add(HueTheme(1, {10}));
    // Hue 5 goes before the first ring member of hue 5 or more (the example
    // is passed over); the example of hue 200 is not counted.
    EXPECT_EQ(lib.InsertThemeHueRing(HueTheme(1, {5})), 1);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(lib.InsertThemeHueRing(HueTheme(1, {200})), 3);
    Theme crowded(HueTheme(1, {200})), mid(HueTheme(1, {100}));
    EXPECT_EQ(lib.InsertThemeHueRing(crowded.get()), -1);
    // An example last, above every ring member: a hue between finds no place.
    ccColorPocketArrayArray mixed;
    mixed.themes.Add(HueTheme(1, {10}));
    mixed.themes.Add(HueTheme(0, {200}));
    EXPECT_EQ(mixed.InsertThemeHueRing(mid.get()), -1);
    // Themes without pockets: placed only into an empty library, never
    // counted, and as the last theme they sit below every hue.
    auto* bare = new ccColorPocketArray(1);
    EXPECT_EQ(mixed.InsertThemeHueRing(bare) + mixed.InsertThemeHueRing(nullptr), -2);
    ccColorPocketArrayArray fresh;
    EXPECT_EQ(fresh.InsertThemeHueRing(bare), 0);
    EXPECT_EQ(fresh.InsertThemeHueRing(HueTheme(1, {30})), 1);
    EXPECT_EQ(fresh.InsertThemeHueRing(HueTheme(1, {20})), 1);
}
