// The theme list file: the state machine, colour weights, limits and the
// hue-ring placement.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "library/library_fixtures.h"
#include "platform/file.h"

namespace {

struct Loaded {
    int result;
    std::vector<std::string> names;
    std::vector<int> colours;  // pocket count of each theme
};

Loaded LoadList(const std::string& text, bool hueRing = false, ccColorPocketArrayArray* into = nullptr) {
    lfix::Folder dir;
    lfix::Write(dir + "list.txt", text);
    ccColorPocketArrayArray own;
    ccColorPocketArrayArray& lib = into ? *into : own;
    Loaded out;
    out.result = lib.LoadColorThemes((dir + "list.txt").c_str(), hueRing);
    out.names = lfix::Names(lib);
    for (int i = 0; i < lib.themes.GetSize(); ++i) out.colours.push_back(lib.themes[i]->pockets.GetSize());
    return out;
}

using Names = std::vector<std::string>;
using namespace std::string_literals;
using Counts = std::vector<int>;

}  // namespace

TEST(ListFile, TheWarmExample) {
    ccColorPocketArrayArray lib;
    const Loaded l = LoadList("[Version]\n1\n[Themes]\n[Warm]\n1 0 0, 1 .5 0\n", false, &lib);
    EXPECT_EQ(l.result, 1);
    ASSERT_EQ(lib.themes.GetSize(), 1);
    ccColorPocketArray* t = lib.themes[0];
    EXPECT_EQ(t->name, "Warm");
    EXPECT_EQ(t->GetThemeType(), 1);
    EXPECT_EQ(t->paletteSize, 2);
    ASSERT_EQ(t->pockets.GetSize(), 2);
    const struct {
        int r, g, b, count;
        float share;
    } want[] = {{255, 0, 0, 6250, 0.40f}, {255, 127, 0, 3750, 0.24f}};
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(t->pockets[i]->items.GetSize(), 1);
        ccColorItem* it = t->pockets[i]->items[0];
        EXPECT_EQ(it, &t->palette[i]);
        EXPECT_EQ(it->rgb.rgbRed, want[i].r);
        EXPECT_EQ(it->rgb.rgbGreen, want[i].g);
        EXPECT_EQ(it->rgb.rgbBlue, want[i].b);
        EXPECT_EQ(it->pixelNum, want[i].count);
        EXPECT_FLOAT_EQ(it->percentage, want[i].share);
        EXPECT_EQ(it->palIndex, i);
        EXPECT_EQ(t->pockets[i]->pixelNum, want[i].count);
    }
}

TEST(ListFile, FiveColoursTakeTheFixedWeights) {
    ccColorPocketArrayArray lib;
    LoadList("[Version]\n1\n[Themes]\n[Five]\n1 0 0 0 1 0 0 0 1 1 1 0 0 1 1\n", false, &lib);
    ASSERT_EQ(lib.themes.GetSize(), 1);
    const int want[] = {6250, 3750, 2500, 1875, 1250};
    ASSERT_EQ(lib.themes[0]->paletteSize, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(lib.themes[0]->palette[i].pixelNum, want[i]) << i;
        EXPECT_FLOAT_EQ(lib.themes[0]->palette[i].percentage, want[i] / 15625.0f) << i;
    }
}

TEST(ListFile, StateMachine) {
    const std::string head = "[Version]\n1\n[Themes]\n";
    const std::string longLine(256, '0');
    const struct {
        const char* what;
        std::string text;
        int result;
        Names names;
        Counts colours;
    } cases[] = {
        {"no version", "[Themes]\n[A]\n1 1 1\n", 0, {}, {}},
        {"no themes line", "[Version]\n1\n[A]\n1 1 1\n", 0, {}, {}},
        {"themes as the version value", "[Version]\n[Themes]\n[A]\n1 1 1\n", 0, {}, {}},
        {"empty version value consumed", "[Version]\n\n[Themes]\n[A]\n1 1 1\n", 1, {"A"}, {1}},
        {"names", head + "[]\n0 0 0\n[A]\n0 0 0\n[ Ocean Breeze ]\n0 0 0\n[B)\n0 0 0\n[\n0 0 0\n", 5,
         {"", "A", " Ocean Breeze ", "B", ""}, {1, 1, 1, 1, 1}},
        {"trimmed lines", "  [Version] \n1\n\t[Themes]\n  [A]  \n  1 1 1  \n", 1, {"A"}, {1}},
        {"seven numbers", head + "[A]\n.1 .2 .3 .4 .5 .6 .7\n", 1, {"A"}, {2}},
        {"sixteen numbers", head + "[A]\n1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n", 1, {"A"}, {5}},
        {"parentheses", head + "[A]\n(1.0, 0.5, 0), (0.2 0.2 0.8)\n", 1, {"A"}, {2}},
        {"blank line before the colours", head + "[A]\n\n   \n1 0 0\n", 1, {"A"}, {1}},
        {"a name as the colour line", head + "[Warm]\n[Cool]\n1 0 0\n[Next]\n0 1 0\n", 2, {"Warm", "Next"},
         {0, 1}},
        {"version after themes", head + "[Version]\n1 1 1\n", 1, {"Version"}, {1}},
        {"lines outside a name ignored", head + "junk\n1 1 1\n[A]\n0 0 1\n", 1, {"A"}, {1}},
        {"name at the end", head + "[A]\n1 1 1\n[Pending]\n", 1, {"A"}, {1}},
        {"CR LF", "[Version]\r\n1\r\n[Themes]\r\n[A]\r\n1 0 0\r\n", 1, {"A"}, {1}},
        {"no final line feed", head + "[A]\n1 0 0", 1, {"A"}, {1}},
        {"over-long line dropped", head + "[A]\n" + longLine + "\n1 0 0\n", 1, {"A"}, {1}},
        {"NUL ends the text", head + "[A]\n1 0 0\0 1 1 1\n"s, 1, {"A"}, {1}},
        {"too few numbers", head + "[A]\n1 1\n", 1, {"A"}, {0}},
    };
    for (const auto& c : cases) {
        const Loaded l = LoadList(c.text);
        EXPECT_EQ(l.result, c.result) << c.what;
        EXPECT_EQ(l.names, c.names) << c.what;
        EXPECT_EQ(l.colours, c.colours) << c.what;
    }
}

TEST(ListFile, NumbersAreReadAsFractionsAndClamped) {
    ccColorPocketArrayArray lib;
    LoadList("[Version]\n1\n[Themes]\n[A]\n2 -1 abc, 0.5x 1e9 -0\n", false, &lib);
    ASSERT_EQ(lib.themes.GetSize(), 1);
    ccColorPocketArray* t = lib.themes[0];
    ASSERT_EQ(t->paletteSize, 2);
    EXPECT_EQ(RgbWord(t->palette[0].rgb), RgbWord(tagRGBQUAD{0, 0, 255, 0}));
    EXPECT_EQ(RgbWord(t->palette[1].rgb), RgbWord(tagRGBQUAD{0, 255, 127, 0}));
}

TEST(ListFile, HueRingPlacementAndRefusals) {
    // Four themes whose first colour is pure red (hue 0): the fourth is
    // refused and released. Green comes after red, blue after green.
    const std::string head = "[Version]\n1\n[Themes]\n";
    ccColorPocketArrayArray lib;
    const Loaded l = LoadList(head + "[B]\n0 0 1\n[R1]\n1 0 0\n[G]\n0 1 0\n[R2]\n1 0 0 0 0 1\n[R3]\n1 0 0\n"
                                     "[R4]\n1 0 0\n[Empty]\n1\n",
                              true, &lib);
    EXPECT_EQ(l.result, 5);
    EXPECT_EQ(l.names, (Names{"R3", "R2", "R1", "G", "B"}));
    // A theme without colours goes only into an empty library.
    ccColorPocketArrayArray empty;
    EXPECT_EQ(LoadList(head + "[Empty]\n1\n[R]\n1 0 0\n", true, &empty).names, (Names{"Empty", "R"}));
}

TEST(ListFile, AHueRingLoadStopsAfter513Themes) {
    std::string text = "[Version]\n1\n[Themes]\n";
    int entries = 0;
    for (int h = 0; h < 256; ++h)
        for (int k = 0; k < 3; ++k) {
            const tagRGBQUAD c = RgbQuad(HSLtoRGB(MakeHsl(h, 255, 128, 0)));
            char line[128];
            std::snprintf(line, sizeof line, "[T%d]\n%.6f %.6f %.6f\n", entries++, c.rgbRed / 255.0 + 1e-4,
                          c.rgbGreen / 255.0 + 1e-4, c.rgbBlue / 255.0 + 1e-4);
            text += line;
        }
    EXPECT_EQ(LoadList(text, false).result, entries);  // a plain load has no limit
    EXPECT_EQ(LoadList(text, true).result, 513);
}

TEST(ListFile, AFileHeldOpenLoadsNothing) {
    lfix::Folder dir;
    const std::string path = dir + "list.txt";
    lfix::Write(path, "[Version]\n1\n[Themes]\n[A]\n1 0 0\n");
    ccColorPocketArrayArray lib;
    EXPECT_EQ(lib.LoadColorThemes((dir + "none.txt").c_str(), false), 0);
    {
        hv::File holder;
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_EQ(lib.LoadColorThemes(path.c_str(), false), 0);
    }
    EXPECT_EQ(lib.LoadColorThemes(path.c_str(), false), 1);
}
