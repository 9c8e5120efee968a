// The script file: header quirks, the example list, theme files beside the
// thumbnails, tags, sharing and malformed input.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "library/library_fixtures.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace {

// Loads `text` as a script file in a folder that holds a.bmp, b.bmp and
// c.bmp; returns the names of the themes loaded.
std::vector<std::string> LoadScript(const std::string& text) {
    lfix::Folder dir;
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) lfix::SaveImage8(dir + n, 8, 8);
    lfix::Write(dir + "s.txt", text);
    ccColorPocketArrayArray lib;
    EXPECT_EQ(lib.LoadFromScriptFile((dir + "s.txt").c_str()), 0);
    for (int i = 0; i < lib.themes.GetSize(); ++i) {
        EXPECT_NE(lib.themes[i]->palDib, nullptr) << text;
        EXPECT_GT(lib.themes[i]->pockets.GetSize(), 0) << text;
    }
    return lfix::Names(lib);
}

using Names = std::vector<std::string>;
using namespace std::string_literals;

}  // namespace

TEST(ScriptFile, HeaderAndListRules) {
    const std::string longLine = "L " + std::string(256, 'x') + ".bmp";  // 262 characters
    const std::string fitLine = "F " + std::string(253, 'x') + ".bmp";   // 259 characters
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
        {"over-long line dropped", "[Examples]\nA a.bmp\n" + longLine + "\nB b.bmp\n", {"A", "B"}},
        {"over-long header line dropped", "[Version]\n1\n" + longLine + "\n[Examples]\nA a.bmp\n", {"A"}},
        {"NUL ends a line's text", "[Examples]\nA a.bmp\0 junk\nB b.bmp\n"s, {"A", "B"}},
        {"NUL at the start is an empty line", "[Examples]\nA a.bmp\n\0B b.bmp\nC c.bmp\n"s,
         {"A"}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(LoadScript(c.text), c.want) << c.what;

    // A line of exactly 259 characters is read (its thumbnail is missing).
    lfix::Folder dir;
    lfix::Write(dir + "s.txt", "[Examples]\n" + fitLine + "\n" + longLine + "\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    EXPECT_EQ(lfix::Names(lib), Names{"F"});
}

TEST(ScriptFile, ExampleFieldsTagsAndOriginals) {
    lfix::Folder dir;
    lfix::SaveImage8(dir + "sea.bmp", 16, 8);
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
    for (int i = 0; i < sea->pockets.GetSize(); ++i) EXPECT_EQ(sea->pockets[i]->rdsFlag, 1);
    EXPECT_EQ(lib.themes[1]->tagText, "#calm");
    EXPECT_TRUE(lib.themes[1]->originalPath.empty());
    EXPECT_TRUE(lib.themes[2]->tagText.empty());
    ASSERT_EQ(lib.tags.size(), 2u);  // calm collected once
    EXPECT_EQ(lib.tags.begin()->first, "calm");

    // Loading twice appends twice; the tags stay a set.
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    EXPECT_EQ(lib.themes.GetSize(), 6);
    EXPECT_EQ(lib.themes[3]->name, "Sea");
    EXPECT_NE(lib.themes[3], lib.themes[0]);
    EXPECT_EQ(lib.tags.size(), 2u);
}

TEST(ScriptFile, TheThemeFileBesideTheThumbnailWins) {
    lfix::Folder dir;
    lfix::SaveImage8(dir + "a.bmp", 16, 8);
    // A theme file of two pockets named otherwise; a.ccs is not looked at.
    ccColorPocketArray* stored = lfix::HueTheme(0, {10, 90});
    stored->name = "FromFile";
    ASSERT_EQ(stored->SaveToFile((dir + "a.bmp.ccs").c_str()), 0);
    ASSERT_EQ(stored->SaveToFile((dir + "b.bmp.ccs").c_str()), 0);
    delete stored;
    lfix::Write(dir + "a.ccs", "garbage");
    lfix::Write(dir + "s.txt", "[Examples]\nA a.bmp\nB b.bmp\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    ASSERT_EQ(lib.themes.GetSize(), 2);
    ccColorPocketArray* a = lib.themes[0];
    EXPECT_EQ(a->name, "A");
    ASSERT_EQ(a->pockets.GetSize(), 2);
    EXPECT_EQ(HslHue(a->pockets[1]->aveHSL), 90);
    EXPECT_EQ(a->pockets[0]->rdsFlag, 1);
    EXPECT_NE(a->palDib, nullptr);
    // Without its thumbnail the theme still comes from its file.
    EXPECT_EQ(lib.themes[1]->palDib, nullptr);
    EXPECT_EQ(lib.themes[1]->pockets.GetSize(), 2);
}

TEST(ScriptFile, BrokenThumbnailsAndThemeFilesStillAddTheExample) {
    const long handles = hv::LiveHandles();
    {
        lfix::Folder dir;
        lfix::SaveImage8(dir + "bad.bmp", 16, 8, 2);
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
        lfix::Write(dir + "s.txt", "[Examples]\nBad bad.bmp\nMissing none.bmp\nJunk junk.bmp\nTrue true.bmp\n");
        ccColorPocketArrayArray lib;
        lib.LoadFromScriptFile((dir + "s.txt").c_str());
        ASSERT_EQ(lfix::Names(lib), (Names{"Bad", "Missing", "Junk", "True"}));
        EXPECT_EQ(lib.themes[0]->pockets.GetSize(), 2);  // extracted instead
        EXPECT_EQ(lib.themes[1]->palDib, nullptr);
        EXPECT_EQ(lib.themes[1]->pockets.GetSize(), 0);
        EXPECT_EQ(lib.themes[2]->palDib, nullptr);
        ipDibStuff view(lib.themes[3]->palDib, false);
        EXPECT_TRUE(view.isPalette8());
        EXPECT_GT(lib.themes[3]->pockets.GetSize(), 0);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(ScriptFile, AFileHeldOpenOrMissingLoadsNothing) {
    lfix::Folder dir;
    lfix::SaveImage8(dir + "a.bmp", 8, 8);
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
}

TEST(ScriptFile, BinaryGarbageNeverCrashes) {
    lfix::Folder dir;
    std::mt19937 rng(11);
    for (int round = 0; round < 20; ++round) {
        std::string bytes = round % 2 ? "[Examples]\n" : "";
        const int n = 50 + round * 400;
        for (int i = 0; i < n; ++i) bytes += static_cast<char>(rng() % (round % 3 ? 256 : 40));
        lfix::Write(dir + "s.txt", bytes);
        ccColorPocketArrayArray lib;
        EXPECT_EQ(lib.LoadFromScriptFile((dir + "s.txt").c_str()), 0);
        for (int i = 0; i < lib.themes.GetSize(); ++i) EXPECT_NE(lib.themes[i], nullptr);
    }
}
