// restyle and reduce over several images: folders searched by content,
// per-file errors, the exit status, results identical whatever -j is, the
// output folder, JSON and the progress bar on a terminal.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tool_run.h"

using tool::Contains;
using tool::Huevane;
using tool::Slurp;
using tool::Temp;

namespace {

const std::string kData = HUEVANE_TEST_DATA;
const std::string kStyle = kData + "/transfer/autumn_256.bmp";

void Copy(const std::string& from, const std::string& to) {
    std::ofstream(to, std::ios::binary) << Slurp(from);
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// A folder of inputs: two good images (one in a subfolder, one under a name
// that hides its format), a truncated PNG, a text file, a dangling link and
// a link back up (a loop).
struct Inputs {
    std::string dir;
    Inputs() : dir(Temp("in")) {
        std::system(("rm -rf '" + dir + "'").c_str());
        mkdir(dir.c_str(), 0777);
        mkdir((dir + "/sub").c_str(), 0777);
        Copy(kData + "/coffee_small.bmp", dir + "/coffee.bmp");
        Copy(kData + "/transfer/cups_256.bmp", dir + "/sub/cups.data");
        const std::string png = Slurp(std::string(HUEVANE_SAMPLES) + "/chelsea.png");
        std::ofstream(dir + "/broken.png", std::ios::binary) << png.substr(0, png.size() / 3);
        std::ofstream(dir + "/notes.txt") << "not a picture\n";
        symlink("missing.jpg", (dir + "/dangling.jpg").c_str());
        symlink("..", (dir + "/sub/up").c_str());
    }
    ~Inputs() { std::system(("rm -rf '" + dir + "'").c_str()); }
};

void RemoveTree(const std::string& dir) { std::system(("rm -rf '" + dir + "'").c_str()); }

}  // namespace

TEST(BatchCommand, RestyleGoesOnPastBadFilesAndFailsTheExitStatus) {
    Inputs in;
    const std::string one = Temp("out_j1"), three = Temp("out_j3") + "/deeper/";
    const tool::Run r1 = Huevane({"restyle", in.dir, kStyle, "-o", one, "-j", "1"});
    const tool::Run r3 = Huevane({"restyle", in.dir, kStyle, "-o", three, "-j", "3", "--quiet"});
    for (const tool::Run* r : {&r1, &r3}) {
        EXPECT_EQ(r->code, 1) << r->err;
        // One line per file that could not be taken, and the loop noted once.
        EXPECT_TRUE(Contains(r->err, "broken.png: cannot decode PNG")) << r->err;
        EXPECT_TRUE(Contains(r->err, "dangling.jpg: cannot read")) << r->err;
        EXPECT_TRUE(Contains(r->err, "sub/up: skipped")) << r->err;
        EXPECT_FALSE(Contains(r->err, "notes.txt")) << r->err;
        EXPECT_TRUE(Contains(r->out, "restyled 2 of 4 images")) << r->out;
        EXPECT_TRUE(Contains(r->out, "2 failed")) << r->out;
        EXPECT_TRUE(Contains(r->out, "1 file skipped")) << r->out;
        // Results in name order, the subfolder after the files above it.
        EXPECT_LT(r->out.find("coffee.bmp:"), r->out.find("sub/cups.data:")) << r->out;
    }
    // The same bytes whatever the number of threads; the folder structure
    // kept; the format by content (cups.data is a bitmap).
    for (const char* name : {"/coffee.bmp", "/sub/cups.bmp"}) {
        const std::string a = Slurp(one + name), b = Slurp(three + name);
        ASSERT_FALSE(a.empty()) << name;
        EXPECT_EQ(a, b) << name;
        EXPECT_EQ(a.substr(0, 2), "BM") << name;
    }
    EXPECT_FALSE(Exists(one + "/broken.png"));
    EXPECT_FALSE(Exists(one + "/notes.txt"));

    // Each result is what the single form makes of that image.
    const std::string single = Temp("single.bmp");
    ASSERT_EQ(Huevane({"restyle", in.dir + "/coffee.bmp", kStyle, "-o", single}).code, 0);
    EXPECT_EQ(Slurp(single), Slurp(one + "/coffee.bmp"));
    std::remove(single.c_str());
    RemoveTree(one);
    RemoveTree(Temp("out_j3"));
}

TEST(BatchCommand, SeveralFileTargetsAndAllGoodIsExitZero) {
    const std::string out = Temp("files");
    const tool::Run r = Huevane({"reduce", kData + "/coffee_small.bmp", kData + "/transfer/cups_256.bmp", "-o", out,
                                 "--json", "-j", "2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_EQ(r.out.rfind("{\"files\": [", 0), 0u) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"done\": 2, \"failed\": 0, \"skipped\": 0}")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"output\": \"" + out + "/coffee_small.png\"")) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"psnr\": ")) << r.out;
    // Palette PNGs (colour type 3 at byte 25).
    for (const char* name : {"/coffee_small.png", "/cups_256.png"}) {
        const std::string png = Slurp(out + name);
        ASSERT_GT(png.size(), 26u) << name;
        EXPECT_EQ(png[25], 3) << name;
    }
    RemoveTree(out);
}

TEST(BatchCommand, OutputFolderIsCheckedBeforeAnyWork) {
    const std::string file = Temp("a_file");
    std::ofstream(file) << "x";
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const std::string two[] = {kData + "/coffee_small.bmp", kData + "/transfer/cups_256.bmp"};
    const Case cases[] = {
        {{"restyle", two[0], two[1], kStyle, "-o", file + "/below"}, 1, "cannot create the folder"},
        {{"reduce", two[0], two[1], "-o", file}, 1, "is not a folder"},
        {{"reduce", two[0], two[1]}, 2, "missing output folder"},
        {{"restyle", two[0], two[1], kStyle, "-o", Temp("x"), "--compose", Temp("c.png")}, 2,
         "--compose names one file"},
        {{"reduce", two[0], two[1], "-o", Temp("y"), "-j", "0"}, 2, "from 1 to 256"},
        {{"restyle", two[0], two[1], kStyle, "-o", Temp("out.JPG")}, 2, "several images need an output folder"},
    };
    for (const Case& c : cases) {
        const tool::Run r = Huevane(c.args);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
        EXPECT_TRUE(r.out.empty()) << "no work before the check: " << r.out;
    }
    std::remove(file.c_str());
}

TEST(BatchCommand, SingleFormKeepsItsOutputAndGainsJson) {
    const std::string out = Temp("one.png");
    tool::Run r = Huevane({"reduce", kData + "/coffee_small.bmp", "-o", out, "--json", "--quiet", "-j", "2"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"input\": ", 0), 0u) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"width\": 160, \"height\": 107, \"bits\": 24")) << r.out;
    EXPECT_FALSE(Contains(r.out, "reduced")) << "no batch summary: " << r.out;
    r = Huevane({"restyle", kData + "/coffee_small.bmp", kStyle, "-o", out, "--json"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "\"method\": 2, \"regions_kept\": 0, \"compose\": null}")) << r.out;
    r = Huevane({"restyle", "--help"});
    EXPECT_TRUE(Contains(r.out, "Usage: huevane restyle")) << r.out;
    EXPECT_TRUE(Contains(r.out, "Several images")) << r.out;
    std::remove(out.c_str());
}

// On a terminal (through script(1)) the progress bar is drawn on stderr,
// and --quiet turns it off.
TEST(BatchCommand, ProgressBarOnlyOnATerminal) {
    if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is not installed";
    const std::string out = Temp("progress"), log = Temp("progress.txt");
    const std::string run = std::string("\"") + HUEVANE_CLI_BINARY + "\" reduce '" + kData + "/coffee_small.bmp' '" +
                            kData + "/transfer/cups_256.bmp' -o '" + out + "'";
    for (const bool quiet : {false, true}) {
        const std::string cmd = "script -qec \"" + run + (quiet ? " --quiet" : "") + "\" /dev/null >'" + log + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const std::string text = Slurp(log);
        EXPECT_TRUE(Contains(text, "reduced 2 of 2 images")) << text;
        EXPECT_EQ(Contains(text, "]  0/2"), !quiet) << text;  // the bar, drawn first at 0 of 2
    }
    std::remove(log.c_str());
    RemoveTree(out);
}
