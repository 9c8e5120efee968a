// The restyle and theme commands run as a user runs them: exit codes,
// messages, output files that load, results equal to the library's.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli/tool_run.h"
#include "imageio.h"
#include "transfer/transfer_fixtures.h"

namespace {

using tool::Contains;
using tool::Huevane;
using tool::Slurp;
using tool::Temp;

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

const std::string kTarget = std::string(HUEVANE_SAMPLES) + "/chelsea.png";  // 451 x 300
const std::string kStyle = std::string(HUEVANE_SAMPLES) + "/coffee.png";

// Pixel bytes of an image file (empty if it does not load), optionally
// re-coloured first by the library in the style of the style sample.
std::vector<BYTE> FilePixels(const std::string& path, bool restyle = false) {
    std::string error;
    hvio::OwnedDib dib(hvio::ReadImage(path, &error)), style(hvio::ReadImage(kStyle, &error));
    if (!dib.get()) return {};
    if (restyle) AdjustImageStyle(dib.get(), tfix::StyleOf(style.get()).data(), nullptr);
    return tfix::Pixels(dib.get());
}

}  // namespace

TEST(RestyleCommand, RecoloursLikeTheLibraryAndKeepsRegions) {
    const std::string out = Temp("cat.bmp"), regions = Temp("regions.txt"), kept = Temp("kept.bmp");
    tool::Run r = Huevane({"restyle", kTarget, kStyle, "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<BYTE> whole = FilePixels(out);
    EXPECT_EQ(whole.size(), 451u * 300 * 3);
    EXPECT_EQ(whole, FilePixels(kTarget, true));

    // Kept regions: a rectangle and a band clipped at the top.
    Write(regions, "# the cat's nose\n\n  10,20 30,20 30,40 10,40\r\n-5,-5 460,-5 460,3 -5,3\n");
    r = Huevane({"restyle", kTarget, kStyle, "-o", kept, "--keep", regions});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<BYTE> part = FilePixels(kept), first = FilePixels(kTarget);
    ASSERT_EQ(part.size(), first.size());
    size_t wrong = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 451; ++x) {
            const size_t i = (static_cast<size_t>(299 - y) * 451 + x) * 3;
            const bool inside = (y >= 20 && y < 40 && x >= 10 && x <= 30) || y < 3;
            wrong += std::memcmp(&part[i], inside ? &first[i] : &whole[i], 3) != 0;
        }
    EXPECT_EQ(wrong, 0u);

    // A malformed line is named by its number; nothing is written.
    const std::string none = Temp("none.png");
    Write(regions, "1,1 5,1 5,5\n# ok\n1,1 5;1 5,5\n");
    r = Huevane({"restyle", kTarget, kStyle, "-o", none, "--keep", regions});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "regions.txt:3:")) << r.err;
    EXPECT_TRUE(Slurp(none).empty());
    for (const std::string& f : {out, regions, kept}) std::remove(f.c_str());
}

TEST(RestyleCommand, ThemeFilesAndBadCommandLines) {
    const std::string ccs = Temp("coffee.ccs"), a = Temp("a.bmp"), b = Temp("b.bmp"), text = Temp("notes.png");
    // Restyling with a saved theme file equals restyling with the image.
    ASSERT_EQ(Huevane({"theme", kStyle, "-o", ccs}).code, 0);
    EXPECT_EQ(Huevane({"restyle", kTarget, ccs, "-o", a}).code, 0);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", b}).code, 0);
    EXPECT_EQ(FilePixels(a), FilePixels(b));
    EXPECT_FALSE(FilePixels(a).empty());

    // Usage errors exit with 2, unreadable inputs with 1.
    Write(text, "not an image at all");
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle}).code, 2);
    EXPECT_EQ(Huevane({"restyle", kTarget, kStyle, "-o", a, "--method", "6"}).code, 2);
    EXPECT_EQ(Huevane({"theme"}).code, 2);
    EXPECT_EQ(Huevane({"restyle", text, kStyle, "-o", a}).code, 1);
    EXPECT_EQ(Huevane({"restyle", kTarget, ccs, "-o", a, "--method", "5"}).code, 1);
    EXPECT_EQ(Huevane({"theme", text}).code, 1);
    for (const std::string& f : {ccs, a, b, text}) std::remove(f.c_str());
}
