// The script file: header quirks, the example list, theme files beside the
// thumbnails, tags and malformed input.
#include <random>

#include "library/library_fixtures.h"

using lfix::Names;
using namespace std::string_literals;

TEST(ScriptFile, HeaderAndListRules) {
    const std::string longLine = "L " + std::string(256, 'x') + ".bmp";  // 262 characters
    const std::string fitLine = "F " + std::string(253, 'x') + ".bmp";   // 259: read, though no such file
    const struct {
        const char* what;
        std::string text;
        Names want;
    } cases[] = {
        {"no examples section", "[Version]\n1\nA a.bmp\n", {}},
        {"plain", "[Version]\n1\n[Category]\nNature\n[Examples]\nA a.bmp\nB b.bmp\n", {"A", "B"}},
        {"examples as the version value", "[Version]\n[Examples]\nA a.bmp\n", {}},
        {"a later examples line", "[Version]\n[Examples]\n[Examples]\nA a.bmp\n", {"A"}},
        {"examples as the category value", "[Category]\n[Examples]\nA a.bmp\n", {}},
        {"leading space", " [Examples]\nA a.bmp\n", {}},
        {"trailing space", "[Examples] \nA a.bmp\n", {}},
        {"lower case", "[examples]\nA a.bmp\n", {}},
        {"empty line ends the list", "[Examples]\nA a.bmp\nB b.bmp\n\nC c.bmp\n", {"A", "B"}},
        {"one token skipped", "[Examples]\nOnly\nB b.bmp\n", {"B"}},
        {"delimiters", "[Examples]\n\t,A:: a.bmp ,\n", {"A"}},
        {"no final line feed", "[Examples]\nA a.bmp", {"A"}},
        {"CR LF", "[Category]\r\nX\r\n[Examples]\r\nA a.bmp\r\nB b.bmp\r\n\r\nC c.bmp\r\n", {"A", "B"}},
        {"space-only line is not empty", "[Examples]\nA a.bmp\n \nB b.bmp\n", {"A", "B"}},
        {"over-long lines dropped", "[Examples]\nA a.bmp\n" + longLine + "\n" + fitLine + "\n", {"A", "F"}},
        {"over-long header line dropped", "[Version]\n1\n" + longLine + "\n[Examples]\nA a.bmp\n", {"A"}},
        {"NUL ends a line's text", "[Examples]\nA a.bmp\0 junk\nB b.bmp\n"s, {"A", "B"}},
        {"NUL at the start is an empty line", "[Examples]\nA a.bmp\n\0B b.bmp\nC c.bmp\n"s, {"A"}},
        {"empty file", "", {}},
    };
    lfix::Folder dir;
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) lfix::Image8(8, 8, 4, dir + n);
    for (const auto& c : cases) {
        lfix::Write(dir + "s.txt", c.text);
        ccColorPocketArrayArray lib;
        EXPECT_EQ(lib.LoadFromScriptFile((dir + "s.txt").c_str()), 0);
        EXPECT_EQ(lfix::NamesOf(lib), c.want) << c.what;
        for (ccColorPocketArray* t : lib.themes)
            if (t->name != "F") {
                EXPECT_GT(t->pockets.GetSize(), 0) << c.what;
            }
    }
}

TEST(ScriptFile, ExampleFieldsTagsAndOriginals) {
    lfix::Folder dir;
    lfix::Image8(16, 8, 4, dir + "sea.bmp");
    lfix::Write(dir + "s.txt",
                "[Examples]\nSea sea.bmp #sea#calm sea.jpg extra\nCalm sea.bmp #calm\nBare sea.bmp\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    EXPECT_EQ(lib.scriptPath, dir + "s.txt");
    ASSERT_EQ(lib.themes.GetSize(), 3);
    ccColorPocketArray* sea = lib.themes[0];
    EXPECT_EQ(sea->GetThemeType(), 0);
    EXPECT_EQ(sea->tagText, "#sea#calm");
    EXPECT_EQ(sea->originalPath, dir.path + "Org" + hv::kPathSeparator + "sea.jpg");
    EXPECT_TRUE(sea->ownsPalDib);
    for (ccColorPocket* p : sea->pockets) EXPECT_EQ(p->rdsFlag, 1);
    EXPECT_EQ(lib.themes[1]->tagText, "#calm");
    EXPECT_TRUE(lib.themes[1]->originalPath.empty());
    EXPECT_TRUE(lib.themes[2]->tagText.empty());
    EXPECT_EQ(lib.tags.size(), 2u);  // calm collected once

    // Loading twice appends twice; the tags stay a set.
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    EXPECT_EQ(lfix::NamesOf(lib), (Names{"Sea", "Calm", "Bare", "Sea", "Calm", "Bare"}));
    EXPECT_EQ(lib.tags.size(), 2u);
}

TEST(ScriptFile, TheThemeFileBesideTheThumbnailWinsAndBrokenFilesStillAddTheExample) {
    lfix::NoLeak noLeak;
    lfix::Folder dir;
    lfix::Image8(16, 8, 4, dir + "a.bmp");
    // A theme file of two pockets named otherwise; a.ccs is not looked at.
    {
        lfix::Theme stored(lfix::HueTheme(0, {10, 90}));
        stored->name = "FromFile";
        ASSERT_EQ(stored->SaveToFile((dir + "a.bmp.ccs").c_str()), 0);
        ASSERT_EQ(stored->SaveToFile((dir + "b.bmp.ccs").c_str()), 0);
    }
    lfix::Write(dir + "a.ccs", "garbage");
    lfix::Image8(16, 8, 2, dir + "bad.bmp");
    lfix::Write(dir + "bad.bmp.ccs", std::string("\x05\x00\x00\x00junkjunk", 12));  // malformed
    lfix::Write(dir + "junk.bmp", "BM not really");
    // A 24-bit thumbnail is reduced to 8 bits for extraction.
    void* photo = MakeEmptyDib(20, 10, 24, true);
    {
        ipDibStuff v(photo, false);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 60; ++x) v.rows[y][x] = static_cast<BYTE>(x < 30 ? 200 : 20);
    }
    SaveDIB(photo, (dir + "true.bmp").c_str());
    hv::FreeHandle(photo);
    lfix::Write(dir + "s.txt",
                "[Examples]\nA a.bmp\nB b.bmp\nBad bad.bmp\nMissing none.bmp\nJunk junk.bmp\n"
                "True true.bmp\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    ASSERT_EQ(lfix::NamesOf(lib), (Names{"A", "B", "Bad", "Missing", "Junk", "True"}));
    ccColorPocketArray* a = lib.themes[0];
    ASSERT_EQ(a->pockets.GetSize(), 2);
    EXPECT_EQ(HslHue(a->pockets[1]->aveHSL), 90);
    EXPECT_EQ(a->pockets[0]->rdsFlag, 1);
    EXPECT_NE(a->palDib, nullptr);
    // Without its thumbnail the theme still comes from its file.
    EXPECT_EQ(lib.themes[1]->palDib, nullptr);
    EXPECT_EQ(lib.themes[1]->pockets.GetSize(), 2);
    EXPECT_EQ(lib.themes[2]->pockets.GetSize(), 2);  // extracted instead
    EXPECT_EQ(lib.themes[3]->palDib, nullptr);
    EXPECT_EQ(lib.themes[3]->pockets.GetSize(), 0);
    EXPECT_EQ(lib.themes[4]->palDib, nullptr);
    EXPECT_TRUE(ipDibStuff(lib.themes[5]->palDib, false).isPalette8());
    EXPECT_GT(lib.themes[5]->pockets.GetSize(), 0);
}

TEST(ScriptFile, AFileHeldOpenOrMissingLoadsNothingAndGarbageNeverCrashes) {
    lfix::Folder dir;
    lfix::Image8(8, 8, 4, dir + "a.bmp");
    const std::string path = dir + "s.txt";
    lfix::Write(path, "[Examples]\nA a.bmp\n");
    ccColorPocketArrayArray lib;
    lib.scriptPath = "before";
    EXPECT_EQ(lib.LoadFromScriptFile((dir + "none.txt").c_str()), 0);
    EXPECT_EQ(lib.LoadFromScriptFile(nullptr), 0);
    {
        hv::File holder;
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_EQ(lib.LoadFromScriptFile(path.c_str()), 0);
    }
    EXPECT_EQ(lib.themes.GetSize(), 0);
    EXPECT_EQ(lib.scriptPath, "before");
    lib.LoadFromScriptFile(path.c_str());
    EXPECT_EQ(lib.themes.GetSize(), 1);

    std::mt19937 rng(11);
    for (int round = 0; round < 12; ++round) {
        std::string bytes = round % 2 ? "[Examples]\n" : "";
        for (int i = 0; i < 50 + round * 600; ++i) bytes += static_cast<char>(rng() % (round % 3 ? 256 : 40));
        lfix::Write(path, bytes);
        ccColorPocketArrayArray junk;
        EXPECT_EQ(junk.LoadFromScriptFile(path.c_str()), 0);
    }
}
