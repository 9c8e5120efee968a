// The theme list file: the state machine, colour weights, limits and the
// hue-ring placement.
#include <cstdio>

#include "library/library_fixtures.h"

using lfix::Names;
using namespace std::string_literals;

namespace {

struct Loaded {
    int result;
    Names names;
    std::vector<int> colours;  // pocket count of each theme
};

Loaded LoadList(const std::string& text, bool hueRing = false, ccColorPocketArrayArray* into = nullptr) {
    lfix::Folder dir;
    lfix::Write(dir + "list.txt", text);
    ccColorPocketArrayArray own;
    ccColorPocketArrayArray& lib = into ? *into : own;
    Loaded out{lib.LoadColorThemes((dir + "list.txt").c_str(), hueRing), lfix::NamesOf(lib), {}};
    for (ccColorPocketArray* t : lib.themes) out.colours.push_back(t->pockets.GetSize());
    return out;
}

const std::string head = "[Version]\n1\n[Themes]\n";

}  // namespace

TEST(ListFile, ColoursTakeTheFixedWeightsAndClampedFractions) {
    ccColorPocketArrayArray lib;
    EXPECT_EQ(LoadList(head + "[Warm]\n1 0 0, 1 .5 0\n[Five]\n1 0 0 0 1 0 0 0 1 1 1 0 0 1 1\n"
                              "[Clamped]\n2 -1 abc, 0.5x 1e9 -0\n",
                       false, &lib)
                  .result,
              3);
    const int weight[] = {6250, 3750, 2500, 1875, 1250};
    const std::vector<std::vector<uint32_t>> want = {
        {0xFF0000, 0xFF7F00}, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF}, {0xFF0000, 0x7FFF00}};
    ASSERT_EQ(lib.themes.GetSize(), 3);
    for (int k = 0; k < 3; ++k) {
        ccColorPocketArray* t = lib.themes[k];
        EXPECT_EQ(t->GetThemeType(), 1);
        ASSERT_EQ(t->paletteSize, static_cast<int>(want[k].size()));
        ASSERT_EQ(t->pockets.GetSize(), t->paletteSize);
        for (int i = 0; i < t->paletteSize; ++i) {
            ASSERT_EQ(t->pockets[i]->items.GetSize(), 1);
            ccColorItem* it = t->pockets[i]->items[0];
            EXPECT_EQ(it, &t->palette[i]);
            EXPECT_EQ(it->palIndex, i);
            EXPECT_EQ(RgbWord(it->rgb) & 0xFFFFFF, want[k][i]) << k << " " << i;
            EXPECT_EQ(it->pixelNum, weight[i]);
            EXPECT_EQ(t->pockets[i]->pixelNum, weight[i]);
            EXPECT_FLOAT_EQ(it->percentage, weight[i] / 15625.0f);
        }
    }
}

TEST(ListFile, StateMachine) {
    const std::string longLine(256, '0');
    const struct {
        const char* what;
        std::string text;
        int result;
        Names names;
        std::vector<int> colours;
    } cases[] = {
        {"no version", "[Themes]\n[A]\n1 1 1\n", 0, {}, {}},
        {"no themes line", "[Version]\n1\n[A]\n1 1 1\n", 0, {}, {}},
        {"themes as the version value", "[Version]\n[Themes]\n[A]\n1 1 1\n", 0, {}, {}},
        {"empty version value consumed", "[Version]\n\n[Themes]\n[A]\n1 1 1\n", 1, {"A"}, {1}},
        {"names",
         head + "[]\n0 0 0\n[A]\n0 0 0\n[ Ocean Breeze ]\n0 0 0\n[B)\n0 0 0\n[\n0 0 0\n",
         5,
         {"", "A", " Ocean Breeze ", "B", ""},
         {1, 1, 1, 1, 1}},
        {"trimmed lines", "  [Version] \n1\n\t[Themes]\n  [A]  \n  1 1 1  \n", 1, {"A"}, {1}},
        {"seven numbers", head + "[A]\n.1 .2 .3 .4 .5 .6 .7\n", 1, {"A"}, {2}},
        {"sixteen numbers", head + "[A]\n1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n", 1, {"A"}, {5}},
        {"parentheses", head + "[A]\n(1.0, 0.5, 0), (0.2 0.2 0.8)\n", 1, {"A"}, {2}},
        {"blank line before the colours", head + "[A]\n\n   \n1 0 0\n", 1, {"A"}, {1}},
        {"a name as the colour line",
         head + "[Warm]\n[Cool]\n1 0 0\n[Next]\n0 1 0\n",
         2,
         {"Warm", "Next"},
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

TEST(ListFile, HueRingPlacementRefusalsAndLimit) {
    // Four themes whose first colour is pure red (hue 0): the fourth is
    // refused and released. Green comes after red, blue after green.
    EXPECT_EQ(LoadList(head + "[B]\n0 0 1\n[R1]\n1 0 0\n[G]\n0 1 0\n[R2]\n1 0 0 0 0 1\n[R3]\n1 0 0\n"
                              "[R4]\n1 0 0\n[Empty]\n1\n",
                       true)
                  .names,
              (Names{"R3", "R2", "R1", "G", "B"}));
    // A theme without colours goes only into an empty library.
    EXPECT_EQ(LoadList(head + "[Empty]\n1\n[R]\n1 0 0\n", true).names, (Names{"Empty", "R"}));

    // Three themes of every hue: a hue-ring load stops after 513.
    std::string text = head;
    for (int h = 0; h < 256 * 3; ++h) {
        const tagRGBQUAD c = RgbQuad(HSLtoRGB(MakeHsl(h / 3, 255, 128, 0)));
        char line[128];
        std::snprintf(line, sizeof line, "[T%d]\n%.6f %.6f %.6f\n", h, c.rgbRed / 255.0 + 1e-4,
                      c.rgbGreen / 255.0 + 1e-4, c.rgbBlue / 255.0 + 1e-4);
        text += line;
    }
    EXPECT_EQ(LoadList(text, false).result, 768);  // a plain load has no limit
    EXPECT_EQ(LoadList(text, true).result, 513);
}

TEST(ListFile, AFileHeldOpenOrMissingLoadsNothing) {
    lfix::Folder dir;
    const std::string path = dir + "list.txt";
    lfix::Write(path, head + "[A]\n1 0 0\n");
    ccColorPocketArrayArray lib;
    EXPECT_EQ(lib.LoadColorThemes((dir + "none.txt").c_str(), false), 0);
    {
        hv::File holder;
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_EQ(lib.LoadColorThemes(path.c_str(), false), 0);
    }
    EXPECT_EQ(lib.LoadColorThemes(path.c_str(), false), 1);
}
