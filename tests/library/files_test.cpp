// The theme list file and the script file: their line rules, colour
// weights, limits and hue-ring placement, the fields of an example line,
// theme files beside the thumbnails, and files that cannot be read.
#include "library/library_fixtures.h"

using lfix::Names;
using namespace std::string_literals;

namespace {

const std::string head = "[Version]\n1\n[Themes]\n";

// The themes a list file loads, as "name=RRGGBB/pixels ...;" each; the
// count returned is the number loaded, every theme of type 1 with one
// palette item per pocket, its share of the 15625 pixels.
std::string LoadList(const std::string& path, bool hueRing = false) {
    ccColorPocketArrayArray lib;
    const int count = lib.LoadColorThemes(path.c_str(), hueRing);
    EXPECT_EQ(count, lib.themes.GetSize());
    std::string out;
    for (ccColorPocketArray* t : lib.themes) {
        EXPECT_TRUE(t->GetThemeType() == 1 && t->paletteSize == t->pockets.GetSize()) << t->name;
        out += t->name + "=";
        for (int i = 0; i < t->pockets.GetSize(); ++i) {
            ccColorItem* it = t->pockets[i]->items.GetSize() == 1 ? t->pockets[i]->items[0] : nullptr;
            EXPECT_TRUE(it == &t->palette[i] && it->palIndex == i);
            it = &t->palette[i];
            EXPECT_FLOAT_EQ(it->percentage, it->pixelNum / 15625.0f);
            char colour[32];
            std::snprintf(colour, sizeof colour, "%s%06X/%d", i ? " " : "", RgbWord(it->rgb) & 0xFFFFFF,
                          it->pixelNum);
            out += colour;
        }
        out += ";";
    }
    return out;
}

// The files of a corpus in tests/data/library with what loading each gives.
std::vector<std::pair<std::string, std::string>> Corpus(const std::string& name) {
    const std::string folder = std::string(HUEVANE_TEST_DATA) + "/library/" + name + "/";
    std::ifstream index(folder + "cases.txt");
    std::vector<std::pair<std::string, std::string>> out;
    for (std::string file, want; std::getline(index, file, '\t') && std::getline(index, want);)
        out.push_back({folder + file, want});
    EXPECT_GT(out.size(), 10u);
    return out;
}

}  // namespace

TEST(ListFile, StateMachineColoursAndWeights) {
    for (const auto& [path, want] : Corpus("lists")) EXPECT_EQ(LoadList(path), want) << path;
}

TEST(ListFile, HueRingPlacementRefusalsAndLimit) {
    lfix::Folder dir;
    // Four themes whose first colour is pure red (hue 0): the fourth is
    // refused and released, as is the theme without colours. Green comes
    // after red, blue after green.
    tool::Write(dir + "ring.txt", head +
                                      "[B]\n0 0 1\n[R1]\n1 0 0\n[G]\n0 1 0\n[R2]\n1 0 0 0 0 1\n[R3]\n1 0 0\n"
                                      "[R4]\n1 0 0\n[Empty]\n1\n");
    EXPECT_EQ(LoadList(dir + "none.txt"), "");  // a missing file loads nothing
    EXPECT_EQ(LoadList(dir + "ring.txt", true),
              "R3=FF0000/6250;R2=FF0000/6250 0000FF/3750;R1=FF0000/6250;G=00FF00/6250;B=0000FF/6250;");
    // Three themes of every hue: a hue-ring load stops after 513.
    std::string text = head;
    for (int h = 0; h < 256 * 3; ++h) {
        const tagRGBQUAD c = RgbQuad(HSLtoRGB(MakeHsl(h / 3, 255, 128, 0)));
        char line[128];
        std::snprintf(line, sizeof line, "[T%d]\n%.6f %.6f %.6f\n", h, c.rgbRed / 255.0 + 1e-4,
                      c.rgbGreen / 255.0 + 1e-4, c.rgbBlue / 255.0 + 1e-4);
        text += line;
    }
    tool::Write(dir + "all.txt", text);
    for (bool ring : {false, true}) {  // a plain load has no limit
        const std::string got = LoadList(dir + "all.txt", ring);
        EXPECT_EQ(std::count(got.begin(), got.end(), ';'), ring ? 513 : 768);
    }
}

TEST(ScriptFile, HeaderAndListRules) {
    lfix::Folder dir;
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) lfix::Image8(8, 8, 4, dir + n);
    for (const auto& [path, want] : Corpus("scripts")) {
        tool::Write(dir + "s.txt", tool::Slurp(path));
        ccColorPocketArrayArray lib;
        EXPECT_EQ(lib.LoadFromScriptFile((dir + "s.txt").c_str()), 0);
        std::string names;
        for (ccColorPocketArray* t : lib.themes) names += (names.empty() ? "" : " ") + t->name;
        EXPECT_EQ(names, want) << path;
    }
}

// The fields of an example line; the theme file beside the thumbnail wins
// (a.ccs is not looked at), a malformed one gives way to extraction, and
// examples whose files are missing or broken are still added.
TEST(ScriptFile, ExampleFieldsThemeFilesAndBrokenFiles) {
    lfix::NoLeak noLeak;
    lfix::Folder dir;
    lfix::Image8(16, 8, 4, dir + "a.bmp");
    lfix::Image8(16, 8, 2, dir + "bad.bmp");
    {
        lfix::Theme stored(lfix::HueTheme(0, {10, 90}));
        stored->name = "FromFile";
        ASSERT_EQ(stored->SaveToFile((dir + "a.bmp.ccs").c_str()), 0);
        ASSERT_EQ(stored->SaveToFile((dir + "b.bmp.ccs").c_str()), 0);
    }
    tool::Write(dir + "a.ccs", "garbage");
    tool::Write(dir + "bad.bmp.ccs", std::string("\x05\x00\x00\x00junkjunk", 12));
    tool::Write(dir + "junk.bmp", "BM not really");
    tool::Write(dir + "true.bmp", tool::Slurp(std::string(HUEVANE_TEST_DATA) + "/transfer/autumn_256.bmp"));
    tool::Write(dir + "s.txt",
                "[Examples]\nSea a.bmp #sea#calm sea.jpg extra\nCalm bad.bmp #calm\nB b.bmp\n"
                "Missing none.bmp\nJunk junk.bmp\nTrue true.bmp\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    EXPECT_EQ(lib.scriptPath, dir + "s.txt");
    ASSERT_EQ(lib.themes.GetSize(), 6);
    // Pockets from the theme file or extracted (bad.bmp: its two colours), all
    // marked; an image where one could be read, the 24-bit one reduced.
    std::string all;
    for (ccColorPocketArray* t : lib.themes) {
        all += lfix::Describe(t).substr(0, t->name == "True" ? 6 : std::string::npos) + "|";
        for (ccColorPocket* p : t->pockets) EXPECT_EQ(p->rdsFlag, 1);
    }
    EXPECT_EQ(all,
              "Sea 0 2 16x8x8 #sea#calm|Calm 0 2 16x8x8 #calm|B 0 2 - |Missing 0 0 - |Junk 0 0 - |True 0|");
    EXPECT_TRUE(lib.themes[5]->pockets.GetSize() > 2 &&
                ipDibStuff(lib.themes[5]->palDib, false).isPalette8());
    EXPECT_TRUE(lib.themes[0]->ownsPalDib && HslHue(lib.themes[0]->pockets[1]->aveHSL) == 90);
    EXPECT_EQ(lib.themes[0]->originalPath, dir.path + "Org" + hv::kPathSeparator + "sea.jpg");
    EXPECT_TRUE(lib.themes[1]->originalPath.empty());
    EXPECT_EQ(lib.tags.size(), 2u);  // calm collected once
    // A missing file loads nothing and leaves the library's script as it was.
    EXPECT_EQ(lib.LoadFromScriptFile((dir + "none.txt").c_str()) + lib.LoadFromScriptFile(nullptr), 0);
    EXPECT_TRUE(lib.themes.GetSize() == 6 && lib.scriptPath == dir + "s.txt");
}
