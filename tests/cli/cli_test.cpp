// The huevane tool run as a user runs it: exit codes, messages, output files;
// and the option parser its commands share.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "args.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "imageio.h"
#include "platform/memory.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

namespace {

std::string Temp(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "hvcli_" + info->name() + "_" + name;
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

struct ToolRun {
    int code;
    std::string out, err;
};

// Runs the tool with the arguments (each quoted for the shell) and collects
// its exit code and output.
ToolRun Huevane(const std::vector<std::string>& args) {
    std::string cmd = "\"" HUEVANE_CLI_BINARY "\"";
    for (const std::string& a : args) cmd += " '" + a + "'";
    const std::string out = Temp("stdout.txt"), err = Temp("stderr.txt");
    cmd += " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(cmd.c_str());
#if defined(_WIN32)
    const int code = status;
#else
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    ToolRun r{code, Slurp(out), Slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

const std::string kPhoto = std::string(HUEVANE_SAMPLES) + "/chelsea.png";  // 451 x 300

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(HuevaneTool, ReduceWritesAPaletteImageAndReportsPsnr) {
    const std::string out = Temp("cat.png"), pair = Temp("pair.jpg");
    const ToolRun r = Huevane({"reduce", kPhoto, "-o", out, "--side-by-side", pair});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(Contains(r.out, "451 x 300")) << r.out;
    const size_t at = r.out.find("PSNR ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const double psnr = std::atof(r.out.c_str() + at + 5);
    EXPECT_GT(psnr, 15.0) << r.out;
    EXPECT_LT(psnr, 80.0) << r.out;
    EXPECT_TRUE(Contains(r.out, " ms")) << r.out;

    const std::string png = Slurp(out);
    ASSERT_GT(png.size(), 26u);
    EXPECT_EQ(png[25], 3) << "a palette PNG";
    std::string error;
    hvio::OwnedDib reduced(hvio::ReadImage(out, &error));
    ASSERT_NE(reduced.get(), nullptr) << error;
    hvio::OwnedDib original(hvio::ReadImage(kPhoto, &error));
    ASSERT_NE(original.get(), nullptr) << error;
    // The printed PSNR is the PSNR of the file written.
    EXPECT_NEAR(hvio::Psnr(original.get(), reduced.get()), psnr, 0.01);

    hvio::OwnedDib both(hvio::ReadImage(pair, &error));
    ASSERT_NE(both.get(), nullptr) << error;
    ipDibStuff v(both.get(), false);
    EXPECT_EQ(v.width(), 451 + 8 + 451);
    EXPECT_EQ(v.height(), 300);
    std::remove(out.c_str());
    std::remove(pair.c_str());
}

TEST(HuevaneTool, ReduceToBitmapAndFromAnEightBitImage) {
    const std::string bmp = Temp("cat.bmp"), again = Temp("again.png");
    ToolRun r = Huevane({"reduce", "--output=" + bmp, kPhoto});  // options may come first
    ASSERT_EQ(r.code, 0) << r.err;
    {
        intptr_t h = LoadDIB(bmp.c_str());
        ASSERT_NE(h, 0);
        void* dib = reinterpret_cast<void*>(h);
        {
            ipDibStuff v(dib, false);
            EXPECT_TRUE(v.isPalette8());
            EXPECT_EQ(v.width(), 451);
        }
        hv::FreeHandle(dib);
    }
    // The 8-bit result as input: expanded to 24 bits first, and said so.
    r = Huevane({"reduce", bmp, "-o", again});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "expanded from 8 bits")) << r.out;
    EXPECT_FALSE(Slurp(again).empty());
    std::remove(bmp.c_str());
    std::remove(again.c_str());
}

TEST(HuevaneTool, HelpAndUsageErrors) {
    ToolRun r = Huevane({"--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.out, "reduce")) << r.out;
    r = Huevane({"reduce", "--help"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.out, "Usage: huevane reduce")) << r.out;
    r = Huevane({"help", "reduce"});
    EXPECT_EQ(r.code, 0);
    EXPECT_TRUE(Contains(r.out, "Usage: huevane reduce")) << r.out;

    r = Huevane({});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "Usage")) << r.err;
    r = Huevane({"frobnicate"});
    EXPECT_EQ(r.code, 2);
    EXPECT_TRUE(Contains(r.err, "unknown command 'frobnicate'")) << r.err;

    const std::string out = Temp("never.png");
    struct Case {
        std::vector<std::string> args;
        const char* message;
    };
    const Case cases[] = {
        {{"reduce", kPhoto, "-o", out, "--colours", "16"}, "unknown option '--colours'"},
        {{"reduce", kPhoto}, "missing output"},
        {{"reduce", "-o", out}, "missing input"},
        {{"reduce", kPhoto, kPhoto, "-o", out}, "too many arguments"},
        {{"reduce", kPhoto, "-o"}, "needs a value"},
        {{"reduce", kPhoto, "-o", Temp("x.gif")}, ".gif"},
        {{"reduce", kPhoto, "-o", out, "--side-by-side", Temp("pair.tiff")}, ".tiff"},
        {{"reduce", kPhoto, "--help=yes"}, "takes no value"},
    };
    for (const Case& c : cases) {
        r = Huevane(c.args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
    EXPECT_TRUE(Slurp(out).empty());
}

TEST(HuevaneTool, RuntimeFailuresExitWithOne) {
    const std::string out = Temp("never.png");
    ToolRun r = Huevane({"reduce", Temp("missing.png"), "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "missing.png")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No such file")) << r.err;

    r = Huevane({"reduce", std::string(HUEVANE_TEST_DATA) + "/imageio/truncated_half.jpg", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "cannot decode JPEG")) << r.err;
    r = Huevane({"reduce", std::string(HUEVANE_TEST_DATA) + "/imageio/text_named.png", "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "not a BMP, PNG or JPEG")) << r.err;
    EXPECT_TRUE(Slurp(out).empty());

    r = Huevane({"reduce", kPhoto, "-o", "/no/such/folder/out.png"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "/no/such/folder/out.png")) << r.err;
}

TEST(CliArgs, ParsesOptionsFlagsValuesAndPositionals) {
    const std::vector<hvcli::Option> opts = {{"output", 'o', true}, {"level", 0, true}, {"fast", 'f', false}};
    auto parse = [&](std::vector<std::string> words, hvcli::Args* args, std::string* error) {
        words.insert(words.begin(), "cmd");
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(&w[0]);
        return args->Parse(static_cast<int>(argv.size()), argv.data(), opts, error);
    };
    hvcli::Args a;
    std::string error;
    ASSERT_TRUE(parse({"in.png", "-o", "a.png", "--level=3", "-f", "-", "--", "--fast", "-o"}, &a, &error)) << error;
    EXPECT_EQ(a.Value("output"), "a.png");
    EXPECT_TRUE(a.Has("fast"));
    EXPECT_FALSE(a.Has("help"));
    EXPECT_EQ(a.positional(), (std::vector<std::string>{"in.png", "-", "--fast", "-o"}));
    int level = 0;
    EXPECT_TRUE(a.IntValue("level", 1, 9, 5, &level, &error));
    EXPECT_EQ(level, 3);
    EXPECT_TRUE(a.IntValue("absent", 1, 9, 5, &level, &error));
    EXPECT_EQ(level, 5);
    EXPECT_EQ(a.Value("absent", "dflt"), "dflt");

    // The last of a repeated option wins; an empty value is a value.
    ASSERT_TRUE(parse({"--output", "x", "--output=", "-h"}, &a, &error));
    EXPECT_EQ(a.Value("output", "unset"), "");
    EXPECT_TRUE(a.Has("help"));
    EXPECT_TRUE(a.positional().empty());

    for (const char* bad : {"10", "0", "3x", "", " 4", "99999999999999999999"}) {
        ASSERT_TRUE(parse({std::string("--level=") + bad}, &a, &error));
        error.clear();
        EXPECT_FALSE(a.IntValue("level", 1, 9, 5, &level, &error)) << bad;
        EXPECT_TRUE(Contains(error, "from 1 to 9")) << error;
    }
    EXPECT_FALSE(parse({"--lev", "3"}, &a, &error));  // no abbreviations
    EXPECT_TRUE(Contains(error, "unknown option '--lev'"));
    EXPECT_FALSE(parse({"-x"}, &a, &error));
    EXPECT_FALSE(parse({"-of"}, &a, &error));  // no bundling
    EXPECT_FALSE(parse({"--fast=1"}, &a, &error));
    EXPECT_TRUE(Contains(error, "takes no value"));
    EXPECT_FALSE(parse({"in", "--level"}, &a, &error));
    EXPECT_TRUE(Contains(error, "needs a value"));
}
