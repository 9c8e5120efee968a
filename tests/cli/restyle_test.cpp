// The restyle and theme commands run as a user runs them: exit codes,
// messages, output files that load, and results equal to the library's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "platform/memory.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#else
#include <process.h>
#define getpid _getpid
#endif

namespace {

// A file name of this process and test (several checkouts may run the
// suite at once).
std::string Temp(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "hvrestyle_" + std::to_string(getpid()) + "_" + info->name() + "_" + name;
}

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

void Write(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

struct ToolRun {
    int code;
    std::string out, err;
};

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

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        out.push_back(text.substr(start, nl - start));
    return out;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kTarget = std::string(HUEVANE_SAMPLES) + "/chelsea.png";  // 451 x 300
const std::string kStyle = std::string(HUEVANE_SAMPLES) + "/coffee.png";

// Pixel bytes of an image file, or empty.
std::vector<BYTE> FilePixels(const std::string& path, int* width = nullptr, int* height = nullptr) {
    std::string error;
    hvio::OwnedDib dib(hvio::ReadImage(path, &error));
    std::vector<BYTE> out;
    if (!dib.get()) return out;
    ipDibStuff v(dib.get(), false);
    if (width) *width = v.width();
    if (height) *height = v.height();
    const size_t n = static_cast<size_t>(v.width()) * v.bitCount() / 8;
    for (BYTE* row : v.rows) out.insert(out.end(), row, row + n);
    return out;
}

// The target re-coloured by the library's own function.
std::vector<BYTE> LibraryResult() {
    std::string error;
    hvio::OwnedDib target(hvio::ReadImage(kTarget, &error)), style(hvio::ReadImage(kStyle, &error));
    ccColorPocketArray theme(0);
    theme.SetPalDib(DecreaseBpp24to8(style.get()), true);
    theme.GetColorPockets();
    char* buf = nullptr;
    theme.SaveToBuf(buf);
    EXPECT_EQ(AdjustImageStyle(target.get(), buf, nullptr), 0);
    theme.FreeDataBuf(buf);
    ipDibStuff v(target.get(), false);
    std::vector<BYTE> out;
    for (BYTE* row : v.rows) out.insert(out.end(), row, row + 3 * static_cast<size_t>(v.width()));
    return out;
}

}  // namespace

TEST(RestyleCommand, RecoloursLikeTheLibraryAndComposes) {
    const std::string out = Temp("cat.bmp"), picture = Temp("cmp.png");
    ToolRun r = Huevane({"restyle", kTarget, kStyle, "-o", out, "--compose", picture});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(Contains(r.out, "451 x 300")) << r.out;
    EXPECT_TRUE(Contains(r.out, "method 2")) << r.out;
    int w = 0, h = 0;
    const std::vector<BYTE> pixels = FilePixels(out, &w, &h);
    EXPECT_EQ(w, 451);
    EXPECT_EQ(h, 300);
    EXPECT_EQ(pixels, LibraryResult());
    EXPECT_NE(pixels, FilePixels(kTarget));
    // Three panels of height 320 with their colour bars under them.
    int pw = 0, ph = 0;
    EXPECT_FALSE(FilePixels(picture, &pw, &ph).empty());
    EXPECT_EQ(ph, 16 + 320 + 8 + 28 + 16);
    EXPECT_EQ(pw, 16 + 481 + 16 + 480 + 16 + 481 + 16);

    // Every method runs; a JPEG output loads.
    for (const char* m : {"1", "3", "4", "5"}) {
        const std::string jpg = Temp(std::string("m") + m + ".jpg");
        r = Huevane({"restyle", kTarget, kStyle, "-o", jpg, "--method", m});
        EXPECT_EQ(r.code, 0) << m << r.err;
        EXPECT_FALSE(FilePixels(jpg).empty()) << m;
        std::remove(jpg.c_str());
    }
    std::remove(out.c_str());
    std::remove(picture.c_str());
}

TEST(RestyleCommand, KeepsRegionsAndReportsBadLines) {
    const std::string regions = Temp("regions.txt"), out = Temp("kept.bmp");
    Write(regions, "# the cat's nose\n\n  10,20 30,20 30,40 10,40\r\n-5,-5 460,-5 460,3 -5,3\n");
    ToolRun r = Huevane({"restyle", kTarget, kStyle, "-o", out, "--keep", regions});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "2 regions kept")) << r.out;
    const std::vector<BYTE> kept = FilePixels(out), first = FilePixels(kTarget), whole = LibraryResult();
    ASSERT_EQ(kept.size(), first.size());
    auto at = [](const std::vector<BYTE>& v, int x, int y) { return v[(static_cast<size_t>(299 - y) * 451 + x) * 3 + 1]; };
    size_t same = 0, recoloured = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 451; ++x) {
            const bool inside = (y >= 20 && y < 40 && x >= 10 && x <= 30) || y < 3;
            if (inside) {
                same += at(kept, x, y) == at(first, x, y);
            } else {
                recoloured += at(kept, x, y) == at(whole, x, y);
            }
        }
    EXPECT_EQ(same, 20u * 21 + 3 * 451);
    EXPECT_EQ(recoloured, 451u * 300 - same);

    // A malformed line is named by its number; nothing is written.
    const std::string none = Temp("none.png");
    Write(regions, "1,1 5,1 5,5\n# ok\n1,1 5;1 5,5\n");
    r = Huevane({"restyle", kTarget, kStyle, "-o", none, "--keep", regions});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "regions.txt:3:")) << r.err;
    EXPECT_TRUE(Contains(r.err, "5;1")) << r.err;
    Write(regions, "1,1 5,1\n");
    r = Huevane({"restyle", kTarget, kStyle, "-o", none, "--keep", regions});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, ":1: a polygon needs at least 3 points")) << r.err;
    Write(regions, "1,1 5,1 99999999999,5\n");
    r = Huevane({"restyle", kTarget, kStyle, "-o", none, "--keep", regions});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Slurp(none).empty());
    r = Huevane({"restyle", kTarget, kStyle, "-o", none, "--keep", Temp("missing.txt")});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "cannot open regions file")) << r.err;
    std::remove(regions.c_str());
    std::remove(out.c_str());
}

TEST(ThemeCommand, PrintsSavesAndFeedsRestyle) {
    const std::string ccs = Temp("coffee.ccs");
    ToolRun r = Huevane({"theme", kStyle, "-o", ccs});
    ASSERT_EQ(r.code, 0) << r.err;
    ccColorPocketArray theme(0);
    ASSERT_EQ(theme.LoadFromFile(ccs.c_str()), 0);
    ASSERT_GT(theme.pockets.GetSize(), 1);
    EXPECT_TRUE(Contains(r.out, std::to_string(theme.pockets.GetSize()) + " pockets")) << r.out;
    char hex[8];
    const tagRGBQUAD c = theme.pockets[0]->aveRGB;
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", c.rgbRed, c.rgbGreen, c.rgbBlue);
    EXPECT_TRUE(Contains(r.out, hex)) << r.out;
    EXPECT_TRUE(Contains(r.out, std::to_string(theme.pockets[0]->pixelNum))) << r.out;

    // The theme file prints the same, and as JSON.
    ToolRun again = Huevane({"theme", ccs});
    EXPECT_EQ(again.code, 0);
    const std::vector<std::string> fromImage = Lines(r.out), fromFile = Lines(again.out);
    const size_t rows = static_cast<size_t>(theme.pockets.GetSize()) + 2;  // title, heading, pockets
    ASSERT_GE(fromImage.size(), rows);
    ASSERT_EQ(fromFile.size(), rows);
    for (size_t i = 1; i < rows; ++i) EXPECT_EQ(fromFile[i], fromImage[i]);
    ToolRun json = Huevane({"theme", ccs, "--json"});
    EXPECT_EQ(json.code, 0);
    EXPECT_TRUE(Contains(json.out, "\"pockets\": [")) << json.out;
    EXPECT_TRUE(Contains(json.out, std::string("\"color\": \"") + hex + "\"")) << json.out;

    // Restyling with the theme file equals restyling with the image.
    const std::string a = Temp("a.bmp"), b = Temp("b.bmp");
    EXPECT_EQ(Huevane({"restyle", kTarget, ccs, "-o", a}).code, 0);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", b}).code, 0);
    EXPECT_EQ(FilePixels(a), FilePixels(b));
    // Method 5 needs the style's picture.
    r = Huevane({"restyle", kTarget, ccs, "-o", a, "--method", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "method 5 needs a style image")) << r.err;
    for (const std::string& f : {ccs, a, b}) std::remove(f.c_str());
}

TEST(RestyleCommand, BadCommandLinesAndFiles) {
    const std::string out = Temp("x.png"), text = Temp("notes.png"), badTheme = Temp("bad.ccs");
    Write(text, "not an image at all");
    Write(badTheme, "CC garbage");
    EXPECT_EQ(Huevane({"restyle", "--help"}).code, 0);
    EXPECT_TRUE(Contains(Huevane({"restyle", "--help"}).out, "--method N"));
    EXPECT_EQ(Huevane({"theme", "--help"}).code, 0);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle}).code, 2);                          // no -o
    EXPECT_EQ(Huevane({"restyle", kTarget, "-o", out}).code, 2);                       // no style
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", out, "--method", "6"}).code, 2);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", out, "--method", "two"}).code, 2);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", Temp("x.gif")}).code, 2);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", out, "--bogus"}).code, 2);
    EXPECT_EQ(Huevane({"theme", kStyle, "-o", Temp("theme.txt")}).code, 2);
    EXPECT_EQ(Huevane({"theme"}).code, 2);
    ToolRun r = Huevane({"restyle", Temp("missing.png"), kStyle, "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_EQ(Huevane({"restyle", text, kStyle, "-o", out}).code, 1);
    EXPECT_EQ(Huevane({"restyle", kTarget, text, "-o", out}).code, 1);
    r = Huevane({"restyle", kTarget, badTheme, "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "not a valid theme file")) << r.err;
    EXPECT_EQ(Huevane({"theme", text}).code, 1);
    EXPECT_TRUE(Slurp(out).empty());
    for (const std::string& f : {text, badTheme}) std::remove(f.c_str());
}
