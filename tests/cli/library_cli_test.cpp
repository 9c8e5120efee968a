// The library command and restyle with a library theme, run as a user runs
// them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/tool_run.h"
#include "huevane/library.h"
#include "imageio.h"
#include "transfer/transfer_fixtures.h"

namespace {

using tool::Contains;
using tool::Huevane;
using tool::Temp;

const std::string kSamples = HUEVANE_SAMPLES;
const std::string kList = kSamples + "/library/themes.txt";
const std::string kScript = kSamples + "/library/photos.txt";

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

}  // namespace

TEST(LibraryCommand, ListsTheBundledLibraries) {
    tool::Run r = Huevane({"library", kList});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "12 themes (list file)")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Glacier"));
    EXPECT_TRUE(Contains(r.out, "40.0%"));  // the first colour's fixed share

    r = Huevane({"library", kScript, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "\"kind\": \"script\"")) << r.out;
    EXPECT_EQ(Count(r.out, "\"type\": \"example\""), 7);
    EXPECT_TRUE(Contains(r.out, "\"tags\": \"#warm#brown#drink\""));
    EXPECT_TRUE(Contains(r.out, "\"warm\""));

    // The hue ring orders list themes by the hue of their first colour.
    r = Huevane({"library", kList, "--hue-ring", "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Count(r.out, "\"index\""), 12);
}

TEST(LibraryCommand, DrawsOneSheetRowPerTheme) {
    const std::string sheet = Temp("sheet.bmp");
    tool::Run r = Huevane({"library", kScript, "--sheet", sheet});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string error;
    hvio::OwnedDib picture(hvio::ReadImage(sheet, &error));
    ASSERT_NE(picture.get(), nullptr) << error;
    ipDibStuff v(picture.get(), false);
    EXPECT_EQ(v.height(), 40 + 7 * 72 + 12);
    std::remove(sheet.c_str());
}

TEST(LibraryCommand, WrongInput) {
    const std::string odd = Temp("odd.txt");
    std::ofstream(odd) << "hello\n";
    const struct {
        std::vector<std::string> args;
        int code;
        const char* message;
    } cases[] = {
        {{"library"}, 2, "missing library file"},
        {{"library", odd}, 1, "neither"},
        {{"library", Temp("none.txt")}, 1, "cannot open"},
        {{"library", kScript, "--hue-ring"}, 2, "list file only"},
        {{"library", kList, "--name", "x"}, 2, "goes with --add"},
        {{"library", kList, "--sheet", Temp("x.gif")}, 2, "format"},
        {{"library", kScript, "--add", kSamples + "/coffee.png", "--name", "Two words"}, 2, "no space"},
        {{"library", kList, "--add", kSamples + "/coffee.png"}, 1, "no [Examples]"},
    };
    for (const auto& c : cases) {
        const tool::Run r = Huevane(c.args);
        EXPECT_EQ(r.code, c.code) << c.args.back() << "\n" << r.err;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    }
    std::remove(odd.c_str());
}

TEST(LibraryCommand, AddWritesThumbnailThemeFileAndLine) {
    const std::string dir = Temp("lib") + "/";
    std::filesystem::create_directories(dir);
    std::ofstream(dir + "s.txt") << "[Version]\n1\n[Examples]\n";
    tool::Run r = Huevane({"library", dir + "s.txt", "--add", kSamples + "/chelsea.png", "--tags", "#cat"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(tool::Slurp(dir + "s.txt"), "[Version]\n1\n[Examples]\nchelsea\tchelsea.bmp\t#cat\n");
    ASSERT_TRUE(std::filesystem::exists(dir + "chelsea.bmp"));
    ASSERT_TRUE(std::filesystem::exists(dir + "chelsea.bmp.ccs"));
    // The theme file holds the whole photo's theme, which the next load takes.
    ccColorPocketArray stored;
    ASSERT_EQ(stored.LoadFromFile((dir + "chelsea.bmp.ccs").c_str()), 0);
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    ASSERT_EQ(lib.themes.GetSize(), 1);
    EXPECT_EQ(lib.themes[0]->pockets.GetSize(), stored.pockets.GetSize());
    ipDibStuff thumb(lib.themes[0]->palDib, false);
    EXPECT_EQ(thumb.width(), 256);
    EXPECT_EQ(thumb.height(), 300 * 256 / 451);
    std::filesystem::remove_all(dir);
}

TEST(LibraryCommand, RestyleWithAListThemeEqualsTheLibraryRoad) {
    const std::string out = Temp("out.bmp");
    const std::string target = kSamples + "/chelsea.png";
    // By name and by position (Glacier is the fourth theme of the list).
    for (const char* which : {"Glacier", "3"}) {
        tool::Run r = Huevane({"restyle", target, "--style-library", kList, "--theme", which, "-o", out});
        ASSERT_EQ(r.code, 0) << r.err;
        std::string error;
        hvio::OwnedDib got(hvio::ReadImage(out, &error)), want(hvio::ReadImage(target, &error));
        ccColorPocketArrayArray lib;
        ASSERT_EQ(lib.LoadColorThemes(kList.c_str(), false), 12);
        ASSERT_EQ(lib.themes[3]->name, "Glacier");
        char* buf = nullptr;
        lib.themes[3]->SaveToBuf(buf);
        AdjustImageStyle(want.get(), buf, nullptr);
        lib.themes[3]->FreeDataBuf(buf);
        EXPECT_EQ(tfix::Pixels(got.get()), tfix::Pixels(want.get())) << which;
    }
    std::remove(out.c_str());
    const struct {
        std::vector<std::string> args;
        int code;
    } wrong[] = {
        {{"restyle", target, "--theme", "1", "-o", out}, 2},
        {{"restyle", target, "--style-library", kList, "-o", out}, 2},
        {{"restyle", target, "--style-library", kList, "--theme", "12", "-o", out}, 1},
        {{"restyle", target, "--style-library", kList, "--theme", "Nowhere", "-o", out}, 1},
    };
    for (const auto& c : wrong) EXPECT_EQ(Huevane(c.args).code, c.code) << c.args[3];
}
