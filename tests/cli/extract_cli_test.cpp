// The extraction options of the theme and restyle commands, and the picture
// of the five extractions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/tool_run.h"
#include "dib/dib.h"
#include "huevane/colorsystem.h"
#include "imageio.h"
#include "huevane/theme.h"

namespace {

using tool::Contains;
using tool::Huevane;
using tool::Temp;

const std::string kPhoto = std::string(HUEVANE_SAMPLES) + "/coffee.png";  // 600 x 400
const std::string kCard = std::string(HUEVANE_SAMPLES) + "/css-colours.txt";
const char* const kMethods[] = {"default", "g", "d", "cg", "q"};

// The library's theme of the photo by one method, largest pocket first.
struct LibraryTheme {
    ccColorPocketArray theme;
    int result = -2;
    LibraryTheme(const std::string& method, csColorSystem* card) {
        std::string error;
        hvio::OwnedDib image(hvio::ReadImage(kPhoto, &error));
        if (!image.get()) return;
        theme.SetPalDib(DecreaseBpp24to8(image.get()), true);
        int cardIndex[256] = {-1};
        result = method == "default" ? theme.GetColorPockets()
                 : method == "g"     ? theme.GetColorPocketsG()
                 : method == "d"     ? theme.GetColorPocketsD()
                 : method == "cg"    ? theme.GetColorPocketsCG(card, cardIndex)
                                     : theme.GetColorPocketsQ();
        // The tool shows every theme largest first.
        theme.SortOnPercentage();
    }
};

// The pixel (x, y from the top left) of a 24-bit image as red, green, blue.
std::vector<int> PixelAt(void* dib, int x, int y) {
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[static_cast<size_t>(v.height() - 1 - y)] + 3 * x;
    return {p[2], p[1], p[0]};
}

}  // namespace

TEST(ExtractOptions, ThemePrintsWhatTheChosenExtractionGives) {
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    ASSERT_GT(card.groups.size(), 0u);  // the bundled card has its groups
    const int limits[] = {256, 16, 6, 6, 10};
    for (int m = 0; m < 5; ++m) {
        std::vector<std::string> args = {"theme", kPhoto, "--extract", kMethods[m], "--json"};
        if (std::string(kMethods[m]) == "cg") args.insert(args.end(), {"--card", kCard});
        const tool::Run r = Huevane(args);
        ASSERT_EQ(r.code, 0) << kMethods[m] << r.err;
        LibraryTheme lib(kMethods[m], &card);
        ASSERT_EQ(lib.result, 0);
        const int n = lib.theme.pockets.GetSize();
        EXPECT_LE(n, limits[m]) << kMethods[m];
        // One JSON entry per pocket, the largest first with its colour.
        size_t entries = 0;
        for (size_t at = r.out.find("\"index\""); at != std::string::npos; at = r.out.find("\"index\"", at + 1))
            ++entries;
        EXPECT_EQ(entries, static_cast<size_t>(n)) << kMethods[m];
        char colour[8];
        const tagRGBQUAD c = lib.theme.pockets[0]->aveRGB;
        std::snprintf(colour, sizeof colour, "#%02x%02x%02x", c.rgbRed, c.rgbGreen, c.rgbBlue);
        EXPECT_TRUE(Contains(r.out, std::string("{\"index\": 0, \"color\": \"") + colour)) << kMethods[m] << r.out;
        for (int k = 1; k < n; ++k)
            EXPECT_GE(lib.theme.pockets[k - 1]->pixelNum, lib.theme.pockets[k]->pixelNum) << kMethods[m];
    }
}

TEST(ExtractOptions, WrongExtractionOptionsAreUsageErrors) {
    const std::string theme = Temp("t.ccs"), out = Temp("out.png");
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* message;
    };
    const Case cases[] = {
        {{"theme", kPhoto, "--extract", "x"}, 2, "unknown --extract 'x'"},
        {{"theme", kPhoto, "--extract", "cg"}, 2, "needs a colour card"},
        {{"theme", kPhoto, "--card", kCard}, 2, "only by the cg extraction"},
        {{"theme", kPhoto, "--extract", "cg", "--card", Temp("missing.txt")}, 1, "no colour samples"},
        {{"theme", kPhoto, "--compare", Temp("x.gif")}, 2, "cannot tell the format"},
        {{"restyle", kPhoto, kPhoto, "-o", out, "--style-extract", "cg"}, 2, "needs a colour card"},
        {{"restyle", kPhoto, kPhoto, "-o", out, "--extract", "Q"}, 2, "unknown --extract"},
        {{"restyle", kPhoto, kPhoto, "-o", out, "--card", kCard}, 2, "only by the cg extraction"},
    };
    for (const Case& c : cases) {
        const tool::Run r = Huevane(c.args);
        EXPECT_EQ(r.code, c.code) << c.args[2] << " " << r.err;
        EXPECT_TRUE(Contains(r.err, c.message)) << r.err;
    }
    ASSERT_EQ(Huevane({"theme", kPhoto, "-o", theme}).code, 0);
    EXPECT_EQ(Huevane({"theme", theme, "--extract", "d"}).code, 2);
    std::remove(theme.c_str());
}

TEST(ExtractOptions, RestyleUsesTheChosenExtractionsOnBothSides) {
    const std::string a = Temp("a.bmp"), b = Temp("b.bmp");
    const std::string photo2 = std::string(HUEVANE_SAMPLES) + "/chelsea.png";
    tool::Run r = Huevane({"restyle", photo2, kPhoto, "-o", a});
    ASSERT_EQ(r.code, 0) << r.err;
    r = Huevane({"restyle", photo2, kPhoto, "-o", b, "--extract", "d", "--style-extract", "q"});
    ASSERT_EQ(r.code, 0) << r.err;
    // At most 6 target colours and 10 style colours are reported.
    EXPECT_TRUE(Contains(r.out, "colours; style")) << r.out;
    const size_t at = r.out.find(", ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_LE(std::atoi(r.out.c_str() + at + 2), 6) << r.out;
    EXPECT_NE(tool::Slurp(a), tool::Slurp(b));
    std::remove(a.c_str());
    std::remove(b.c_str());
}

TEST(ExtractOptions, ComparePictureShowsThePhotoAndOneLabelledBarPerExtraction) {
    const std::string out = Temp("compare.png");
    const tool::Run r = Huevane({"theme", kPhoto, "--compare", out, "--card", kCard});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string error;
    hvio::OwnedDib pic(hvio::ReadImage(out, &error)), photo(hvio::ReadImage(kPhoto, &error));
    ASSERT_NE(pic.get(), nullptr) << error;
    hvio::OwnedDib rgb(hvio::ToRgb24(pic.get(), &error));
    {
        ipDibStuff v(rgb.get(), false);
        // Margins 12, labels 132 wide, the photo at full size, five bars of
        // 28 with gaps of 8 under it.
        ASSERT_EQ(v.width(), 12 + 132 + 600 + 12);
        ASSERT_EQ(v.height(), 12 + 400 + 5 * 36 + 12);
    }
    hvio::OwnedDib photoRgb(hvio::ToRgb24(photo.get(), &error));
    for (int xy : {0, 123, 399})
        EXPECT_EQ(PixelAt(rgb.get(), 144 + xy, 12 + xy), PixelAt(photoRgb.get(), xy, xy)) << xy;
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    for (int m = 0; m < 5; ++m) {
        const int top = 12 + 400 + 8 + m * 36;
        LibraryTheme lib(kMethods[m], &card);
        ASSERT_EQ(lib.result, 0);
        // The bar starts with the largest pocket's colour.
        const tagRGBQUAD c = lib.theme.pockets[0]->aveRGB;
        EXPECT_EQ(PixelAt(rgb.get(), 144, top + 14), (std::vector<int>{c.rgbRed, c.rgbGreen, c.rgbBlue}))
            << kMethods[m];
        // Its label is inked left of it; white above the first bar's label.
        int ink = 0;
        for (int y = top; y < top + 28; ++y)
            for (int x = 12; x < 140; ++x) ink += PixelAt(rgb.get(), x, y)[0] < 100;
        EXPECT_GT(ink, 20) << kMethods[m];
    }
    EXPECT_EQ(PixelAt(rgb.get(), 100, 12 + 400 + 2), (std::vector<int>{255, 255, 255}));
    std::remove(out.c_str());
}
