// The huevane tool run as a user runs it: exit codes, messages, output files;
// and the option parser its commands share.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "args.h"
#include "dib/dib.h"
#include "imageio.h"
#include "tool_run.h"

using tool::Contains;
using tool::Huevane;
using tool::Temp;

namespace {
const std::string kPhoto = std::string(HUEVANE_SAMPLES) + "/chelsea.png";  // 451 x 300
}

TEST(HuevaneTool, ReduceWritesAPaletteImageAndReportsItsPsnr) {
    const std::string out = Temp("cat.png"), pair = Temp("pair.jpg"), bmp = Temp("cat.bmp");
    tool::Run r = Huevane({"reduce", kPhoto, "-o", out, "--side-by-side", pair});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(Contains(r.out, "451 x 300")) << r.out;
    const size_t at = r.out.find("PSNR ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const double psnr = std::atof(r.out.c_str() + at + 5);
    EXPECT_GT(psnr, 15.0) << r.out;
    EXPECT_EQ(tool::Slurp(out).at(25), 3) << "a palette PNG";
    std::string error;
    hvio::OwnedDib reduced(hvio::ReadImage(out, &error)), original(hvio::ReadImage(kPhoto, &error));
    hvio::OwnedDib both(hvio::ReadImage(pair, &error));
    ASSERT_TRUE(reduced.get() && original.get() && both.get()) << error;
    EXPECT_NEAR(hvio::Psnr(original.get(), reduced.get()), psnr, 0.01);  // the PSNR of the file written
    EXPECT_EQ(ipDibStuff(both.get(), false).width(), 451 + 8 + 451);

    // Options may come first; an 8-bit input is expanded first, and said so.
    ASSERT_EQ(Huevane({"reduce", "--output=" + bmp, kPhoto}).code, 0);
    hvio::OwnedDib eight(hvio::ReadImage(bmp, &error));
    ASSERT_NE(eight.get(), nullptr) << error;
    EXPECT_TRUE(ipDibStuff(eight.get(), false).isPalette8());
    r = Huevane({"reduce", bmp, "-o", out});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "expanded from 8 bits")) << r.out;
    for (const std::string& f : {out, pair, bmp}) std::remove(f.c_str());
}

TEST(HuevaneTool, ExitCodesAndMessages) {
    const std::string out = Temp("never.png"), data = std::string(HUEVANE_TEST_DATA) + "/imageio/";
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;  // in stdout for code 0, else in stderr
    };
    const Case cases[] = {
        {{"--help"}, 0, "reduce"},
        {{"reduce", "--help"}, 0, "Usage: huevane reduce"},
        {{"help", "reduce"}, 0, "Usage: huevane reduce"},
        {{}, 2, "Usage"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"reduce", kPhoto, "-o", out, "--colours", "16"}, 2, "unknown option '--colours'"},
        {{"reduce", kPhoto}, 2, "missing output"},
        {{"reduce", "-o", out}, 2, "missing input"},
        {{"reduce", kPhoto, kPhoto, "-o", out}, 2, "several images need an output folder"},
        {{"reduce", kPhoto, "-o"}, 2, "needs a value"},
        {{"reduce", kPhoto, "-o", Temp("x.gif")}, 2, ".gif"},
        {{"reduce", kPhoto, "--help=yes"}, 2, "takes no value"},
        {{"reduce", Temp("missing.png"), "-o", out}, 1, "No such file"},
        {{"reduce", data + "truncated_half.jpg", "-o", out}, 1, "cannot decode JPEG"},
        {{"reduce", data + "text_named.png", "-o", out}, 1, "not a BMP, PNG or JPEG"},
        {{"reduce", kPhoto, "-o", "/no/such/folder/out.png"}, 1, "/no/such/folder/out.png"},
    };
    for (const Case& c : cases) {
        const tool::Run r = Huevane(c.args);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_TRUE(Contains(c.code ? r.err : r.out, c.message)) << r.out << r.err;
        EXPECT_TRUE(c.code != 2 || r.out.empty()) << r.out;
    }
    EXPECT_TRUE(tool::Slurp(out).empty());
}

TEST(HuevaneTool, EveryImageCommandHasAPixelLimit) {
    // The photo has 451 x 300 = 135,300 pixels; the bombs claim 16384 x 16384.
    const std::string out = Temp("never.png"), data = std::string(HUEVANE_TEST_DATA) + "/imageio/";
    const std::string below = "135299", exact = "135300";
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;  // in stderr
    };
    const Case cases[] = {
        {{"theme", data + "arith_progressive_16384.jpg"}, 1, "beyond the limit of 178000000 pixels"},
        {{"tags", data + "interlaced_alpha_16384.png"}, 1, "beyond the limit of 178000000 pixels"},
        {{"theme", data + "arith_progressive_16384.jpg", "--max-pixels", "268435456"}, 1, "too short"},
        {{"tags", data + "interlaced_alpha_16384.png", "--max-pixels=268435456"}, 1, "would take 1792 MB"},
        {{"tags", kPhoto, "--max-pixels", below}, 1, "beyond the limit of 135299 pixels"},
        {{"theme", kPhoto, "--max-pixels", below}, 1, "beyond the limit of 135299 pixels"},
        {{"reduce", kPhoto, "-o", out, "--max-pixels", below}, 1, "beyond the limit of 135299 pixels"},
        {{"restyle", kPhoto, kPhoto, "-o", out, "--max-pixels", below}, 1, "beyond the limit of 135299 pixels"},
        {{"tags", kPhoto, "--max-pixels", exact}, 0, ""},
        {{"theme", kPhoto, "--max-pixels", "0"}, 2, "from 1 to 268435456"},
        {{"theme", kPhoto, "--max-pixels", "268435457"}, 2, "from 1 to 268435456"},
        {{"reduce", kPhoto, "-o", out, "--max-pixels", "lots"}, 2, "not 'lots'"},
    };
    for (const Case& c : cases) {
        const tool::Run r = Huevane(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[0] << " " << c.args[1] << r.err;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    }
    EXPECT_TRUE(tool::Slurp(out).empty());
    for (const char* cmd : {"reduce", "tags", "theme", "restyle"})
        EXPECT_TRUE(Contains(Huevane({cmd, "--help"}).out, "--max-pixels N")) << cmd;
}

TEST(CliArgs, ParsesOptionsFlagsValuesAndPositionals) {
    const std::vector<hvcli::Option> opts = {{"output", 'o', true}, {"level", 0, true}, {"fast", 'f', false}};
    hvcli::Args a;
    std::string error;
    auto parse = [&](std::vector<std::string> words) {
        words.insert(words.begin(), "cmd");
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(&w[0]);
        a = hvcli::Args();
        return a.Parse(static_cast<int>(argv.size()), argv.data(), opts, &error);
    };
    ASSERT_TRUE(parse({"in.png", "-o", "a.png", "--level=3", "-f", "-", "--", "--fast", "-o"})) << error;
    EXPECT_EQ(a.Value("output"), "a.png");
    EXPECT_TRUE(a.Has("fast"));
    EXPECT_FALSE(a.Has("help"));
    EXPECT_EQ(a.positional(), (std::vector<std::string>{"in.png", "-", "--fast", "-o"}));
    int level = 0;
    EXPECT_TRUE(a.IntValue("level", 1, 9, 5, &level, &error));
    EXPECT_EQ(level, 3);
    EXPECT_TRUE(a.IntValue("absent", 1, 9, 5, &level, &error));
    EXPECT_EQ(level, 5);
    // The last of a repeated option wins; an empty value is a value.
    ASSERT_TRUE(parse({"--output", "x", "--output=", "-h"}));
    EXPECT_EQ(a.Value("output", "unset"), "");
    EXPECT_TRUE(a.Has("help"));
    for (const char* bad : {"10", "0", "3x", "", " 4", "99999999999999999999"}) {
        ASSERT_TRUE(parse({std::string("--level=") + bad}));
        EXPECT_FALSE(a.IntValue("level", 1, 9, 5, &level, &error)) << bad;
        EXPECT_TRUE(Contains(error, "from 1 to 9")) << error;
    }
    const std::pair<std::vector<std::string>, const char*> refused[] = {
        {{"--lev", "3"}, "unknown option '--lev'"},  // no abbreviations
        {{"-x"}, "unknown option"},
        {{"-of"}, "unknown option"},  // no bundling
        {{"--fast=1"}, "takes no value"},
        {{"in", "--level"}, "needs a value"},
    };
    for (const auto& [words, message] : refused) {
        EXPECT_FALSE(parse(words)) << message;
        EXPECT_TRUE(Contains(error, message)) << error;
    }
}
