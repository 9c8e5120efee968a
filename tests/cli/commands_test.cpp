// The huevane tool run as a user runs it, one test per command: exit codes,
// messages, output files that load, results equal to the library's; the edit
// command's scripts against the library's own operations.
// GCC 12 warns falsely about the std::function inside <regex>'s automaton.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/colorsystem.h"
#include "huevane/library.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "platform/memory.h"
#include "tool_run.h"
#include "transfer/transfer_fixtures.h"

using tool::Contains;
using tool::Huevane;
using tool::Slurp;
using tool::Temp;
using tool::Write;

namespace {

const std::string kSamples = HUEVANE_SAMPLES, kData = HUEVANE_TEST_DATA;
const std::string kCat = kSamples + "/chelsea.png",
                  kCoffee = kSamples + "/coffee.png";  // 451 x 300, 600 x 400
const std::string kSmall = kData + "/coffee_small.bmp",
                  kCups = kData + "/transfer/cups_256.bmp";  // 160 x 107
const std::string kCard = kSamples + "/css-colours.txt", kList = kSamples + "/library/themes.txt";
const std::string kScript = kSamples + "/library/photos.txt";

void* Read(const std::string& path) {
    std::string error;
    void* dib = hvio::ReadImage(path, &error);
    EXPECT_NE(dib, nullptr) << error;
    return dib;
}
std::vector<BYTE> Pixels(const std::string& path) {
    hvio::OwnedDib dib(Read(path));
    return dib.get() ? tfix::Pixels(dib.get()) : std::vector<BYTE>();
}
// The pixel (x, y from the top left) of a 24-bit image as blue, green, red.
std::vector<int> PixelAt(void* dib, int x, int y) {
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[static_cast<size_t>(v.height() - 1 - y)] + 3 * x;
    return {p[0], p[1], p[2]};
}
int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

// Valid JSON: with every string, number, true, false and null made a 0,
// innermost arrays and objects of zeros made a 0 again and again, one 0 is
// left.
bool ValidJson(std::string text) {
    const std::regex scalar(
        R"("([^"\\\x00-\x1f]|\\["\\/bfnrt]|\\u[0-9a-fA-F]{4})*"|-?\d+(\.\d+)?|true|false|null)");
    const std::regex nested(R"(\[\s*(0\s*(,\s*0\s*)*)?\]|\{\s*(0\s*:\s*0\s*(,\s*0\s*:\s*0\s*)*)?\})");
    text = std::regex_replace(text, scalar, "0");
    for (std::string last; last != text;) last = text, text = std::regex_replace(text, nested, "0");
    return std::regex_match(text, std::regex(R"(\s*0\s*)"));
}

wStroke Stroke(unsigned width, std::vector<tagPOINT> pts) {
    wStroke s(width);
    s.StartStroke();
    for (const tagPOINT& p : pts) s.AddPoint(p.x, p.y);
    s.FinishStroke();
    return s;
}

// Each pocket's palette indices and flags.
std::vector<std::vector<int>> Shape(const ccColorPocketArray& t) {
    std::vector<std::vector<int>> g;
    for (ccColorPocket* p : t.pockets) {
        g.push_back({p->flags});
        for (ccColorItem* it : p->items) g.back().push_back(it->palIndex);
    }
    return g;
}

}  // namespace

TEST(ToolInterface, VersionHelpAndTheJsonOfEveryDataCommand) {
    tool::Run r = Huevane({"--version"});
    EXPECT_TRUE(r.code == 0 && r.err.empty()) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("huevane [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
    // Every command has a one-line summary in the help and its own usage;
    // the image commands take a pixel limit.
    const std::string help = Huevane({"--help"}).out;
    for (const std::string name : {"reduce", "restyle", "theme", "tags", "card", "library", "edit"}) {
        EXPECT_TRUE(std::regex_search(help, std::regex("\n  " + name + " +\\S.*\n"))) << name << help;
        r = Huevane({name, "--help"});
        EXPECT_TRUE(r.code == 0 && Contains(r.out, "Usage: huevane " + name)) << name << ": " << r.out;
        EXPECT_EQ(Contains(r.out, "--max-pixels N"), name != "card" && name != "library") << name;
    }
    // Each command that prints data gives valid JSON with --json, and nothing
    // but the JSON on stdout.
    for (const char* bad :
         {"", "{", "{\"a\" 1}", "[1,]", "{\"a\": 1,}", "\"a\tb\"", "1.", "{} {}", "[\"\\q\"]", "[1 2]"})
        EXPECT_FALSE(ValidJson(bad)) << bad;
    EXPECT_TRUE(ValidJson("{\"a\": [1, -2.5, \"x\\n\\u00e9\", true, null], \"b\": {}}"));
    const std::string ccs = Temp("theme.ccs"), image = Temp("result.png"), folder = Temp("results");
    const std::vector<std::vector<std::string>> runs = {{"theme", kCat, "-o", ccs, "--json"},
                                                        {"theme", ccs, "--json"},
                                                        {"tags", kCat, "--json"},
                                                        {"card", kCard, "#336699", "--json"},
                                                        {"library", kScript, "--json"},
                                                        {"reduce", kSmall, "-o", image, "--json"},
                                                        {"restyle", kSmall, ccs, "-o", image, "--json"},
                                                        {"reduce", kSmall, kCups, "-o", folder, "--json"}};
    for (const auto& args : runs) {
        r = Huevane(args);
        EXPECT_EQ(r.code, 0) << args[0] << ": " << r.err;
        EXPECT_TRUE(ValidJson(r.out)) << args[0] << ": " << r.out;
    }
    std::remove(ccs.c_str());
    std::remove(image.c_str());
    tool::RemoveTree(folder);
}

TEST(HuevaneTool, WrongCommandLinesAndUnreadableInputs) {
    // The photo has 451 x 300 = 135,300 pixels; the bombs claim 16384 x 16384.
    const std::string out = Temp("never.png"), bad = kData + "/imageio/", text = bad + "text_named.png";
    const std::string ccs = Temp("small.ccs"), edits = Temp("edits.txt"), regions = Temp("regions.txt");
    const std::string edited = Temp("never.ccs"), below = "135299", limit = "the limit of 135299 pixels";
    ASSERT_EQ(Huevane({"theme", kSmall, "-o", ccs}).code, 0);
    Write(edits, "select all\n");
    Write(regions, "1,1 5,1 5,5\n# ok\n1,1 5,1 -,5 5;5\n");
    const struct {
        std::vector<std::string> args;
        int code;
        std::string message;  // in stdout for code 0, else in stderr
    } cases[] = {
        {{"--help"}, 0, "reduce"},
        {{"help", "reduce"}, 0, "Usage: huevane reduce"},
        {{}, 2, "Usage"},
        {{"frobnicate"}, 2, "unknown command 'frobnicate'"},
        {{"reduce", kCat}, 2, "missing output"},
        {{"reduce", "-o", out}, 2, "missing input"},
        {{"reduce", kCat, kCat, "-o", out}, 2, "several images need an output folder"},
        {{"reduce", kCat, "-o", Temp("x.gif")}, 2, ".gif"},
        {{"reduce", Temp("missing.png"), "-o", out}, 1, "No such file"},
        {{"reduce", bad + "truncated_half.jpg", "-o", out}, 1, "cannot decode JPEG"},
        {{"reduce", text, "-o", out}, 1, "not a BMP, PNG or JPEG"},
        {{"reduce", kCat, "-o", "/no/such/folder/out.png"}, 1, "/no/such/folder/out.png"},
        // Every image command has a pixel limit.
        {{"theme", bad + "arith_progressive_16384.jpg"}, 1, "beyond the limit of 178000000 pixels"},
        {{"tags", bad + "interlaced_alpha_16384.png"}, 1, "beyond the limit of 178000000 pixels"},
        {{"theme", bad + "arith_progressive_16384.jpg", "--max-pixels", "268435456"}, 1, "too short"},
        {{"tags", bad + "interlaced_alpha_16384.png", "--max-pixels=268435456"}, 1, "would take 1792 MB"},
        {{"tags", kCat, "--max-pixels", below}, 1, limit},
        {{"theme", kCat, "--max-pixels", below}, 1, limit},
        {{"reduce", kCat, "-o", out, "--max-pixels", below}, 1, limit},
        {{"restyle", kCat, kCat, "-o", out, "--max-pixels", below}, 1, limit},
        {{"edit", kCat, edits, "-o", edited, "--max-pixels", below}, 1, limit},
        {{"tags", kCat, "--max-pixels", "135300"}, 0, "451 x 300"},
        {{"theme", kCat, "--max-pixels", "0"}, 2, "from 1 to 268435456"},
        {{"theme", kCat, "--max-pixels", "268435457"}, 2, "from 1 to 268435456"},
        {{"reduce", kCat, "-o", out, "--max-pixels", "lots"}, 2, "not 'lots'"},
        // The extractions and their card.
        {{"theme", kCat, "--extract", "x"}, 2, "unknown --extract 'x'"},
        {{"theme", kCat, "--extract", "cg"}, 2, "needs a colour card"},
        {{"theme", kCat, "--card", kCard}, 2, "only by the cg extraction"},
        {{"theme", kCat, "--extract", "cg", "--card", Temp("missing.txt")}, 1, "no colour samples"},
        {{"theme", kCat, "--compare", Temp("x.gif")}, 2, "cannot tell the format"},
        {{"theme", ccs, "--extract", "d"}, 2, "need an image, not a theme file"},
        {{"theme", kCat, "-o", Temp("t.txt")}, 2, "must end in .ccs"},
        {{"restyle", kCat, kCat, "-o", out, "--style-extract", "cg"}, 2, "needs a colour card"},
        {{"restyle", kCat, kCat, "-o", out, "--extract", "Q"}, 2, "unknown --extract"},
        {{"restyle", kCat, kCat, "-o", out, "--card", kCard}, 2, "only by the cg extraction"},
        // restyle
        {{"theme"}, 2, "missing image"},
        {{"theme", text}, 1, "not a BMP"},
        {{"restyle", kCat, kCoffee}, 2, "missing output"},
        {{"restyle", kCat, kCoffee, "-o", out, "--method", "6"}, 2, "from 1 to 5"},
        {{"restyle", text, kCoffee, "-o", out}, 1, "not a BMP"},
        {{"restyle", kCat, ccs, "-o", out, "--method", "5"}, 1, "method 5"},
        {{"restyle", kCat, kCoffee, "-o", out, "--keep", regions}, 1, "regions.txt:3: '-,5' is not a point"},
        {{"restyle", kCat, kCoffee, "-o", out, "--target-theme", ccs}, 1, "was not made from this image"},
        {{"restyle", kCat, "--theme", "1", "-o", out}, 2, "needs a target image and a style"},
        {{"restyle", kCat, "--style-library", kList, "-o", out}, 2, "go together"},
        {{"restyle", kCat, "-o", out, "--style-library", kList, "--theme", "12"}, 1, "'12' among its 12"},
        {{"restyle", kCat, "-o", out, "--style-library", kList, "--theme", "x"}, 1, "no theme 'x'"},
        // library, card and edit
        {{"library"}, 2, "missing library file"},
        {{"library", kCard}, 1, "neither"},
        {{"library", Temp("none.txt")}, 1, "cannot open"},
        {{"library", kScript, "--hue-ring"}, 2, "list file only"},
        {{"library", kList, "--name", "x"}, 2, "goes with --add"},
        {{"library", kList, "--sheet", Temp("x.gif")}, 2, "format"},
        {{"library", kScript, "--add", kCoffee, "--name", "Two words"}, 2, "no space"},
        {{"library", kList, "--add", kCoffee}, 1, "no [Examples]"},
        {{"card", kCard, "#12345g"}, 2, "cannot read the colour"},
        {{"card", kCard, "256,0,0"}, 2, "cannot read the colour"},
        {{"card", kCard, "1,2,3", "-n", "0"}, 2, "from 1 to 100000"},
        {{"card", Temp("none.txt"), "1,2,3"}, 1, "cannot open the card file"},
        {{"edit", kSmall, edits}, 2, "missing output"},
        {{"edit", kSmall, edits, "-o", Temp("theme.txt")}, 2, "must end in .ccs"},
        {{"edit", kSmall, edits, "-o", edited, "--show", Temp("x.gif")}, 2, "cannot tell the format"},
        {{"edit", kSmall, Temp("missing.txt"), "-o", edited}, 1, "cannot open edit script"},
        {{"edit", Temp("missing.png"), edits, "-o", edited}, 1, "No such file"},
        // Several images: the output folder is checked before any work.
        {{"restyle", kSmall, kCups, kCoffee, "-o", kCard + "/below"}, 1, "cannot create the folder"},
        {{"reduce", kSmall, kCups, "-o", kCard}, 1, "is not a folder"},
        {{"reduce", kSmall, kCups, "-o", ""}, 1, "empty output folder"},
        {{"reduce", kSmall, kCups}, 2, "missing output folder"},
        {{"restyle", kSmall, kCups, kCoffee, "-o", Temp("x/"), "--compose", out}, 2, "names one file"},
        {{"reduce", kSmall, kCups, "-o", Temp("y/"), "-j", "0"}, 2, "from 1 to 256"},
        {{"restyle", kSmall, kCups, kCoffee, "-o", Temp("o.JPG")}, 2, "several images need an output"},
    };
    for (const auto& c : cases) {
        const tool::Run r = Huevane(c.args);
        EXPECT_EQ(r.code, c.code) << c.message;
        EXPECT_TRUE(Contains(c.code ? r.err : r.out, c.message)) << c.message << "\n" << r.out << r.err;
        EXPECT_TRUE(c.code == 0 || r.out.empty()) << r.out;
    }
    EXPECT_TRUE(Slurp(out).empty() && Slurp(edited).empty());
    for (const std::string& f : {ccs, edits, regions}) std::remove(f.c_str());
}

TEST(HuevaneTool, ReduceWritesAPaletteImageAndReportsItsPsnr) {
    const std::string out = Temp("cat.png"), pair = Temp("pair.jpg"), bmp = Temp("cat.bmp");
    tool::Run r = Huevane({"reduce", kCat, "-o", out, "--side-by-side", pair});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(r.err.empty() && Contains(r.out, "451 x 300")) << r.out << r.err;
    const size_t at = r.out.find("PSNR ");
    ASSERT_NE(at, std::string::npos) << r.out;
    const double psnr = std::atof(r.out.c_str() + at + 5);
    EXPECT_GT(psnr, 15.0) << r.out;
    EXPECT_EQ(Slurp(out).at(25), 3) << "a palette PNG";
    hvio::OwnedDib reduced(Read(out)), original(Read(kCat)), both(Read(pair));
    EXPECT_NEAR(hvio::Psnr(original.get(), reduced.get()), psnr, 0.01);  // the PSNR of the file written
    EXPECT_EQ(ipDibStuff(both.get(), false).width(), 451 + 8 + 451);
    // Options may come first; an 8-bit input is expanded first, and said so.
    ASSERT_EQ(Huevane({"reduce", "--output=" + bmp, kCat}).code, 0);
    EXPECT_TRUE(ipDibStuff(hvio::OwnedDib(Read(bmp)).get(), false).isPalette8());
    r = Huevane({"reduce", bmp, "-o", out});
    EXPECT_TRUE(r.code == 0 && Contains(r.out, "expanded from 8 bits")) << r.out;
    r = Huevane({"reduce", kSmall, "-o", out, "--json", "--quiet", "-j", "2"});
    EXPECT_EQ(r.out.rfind("{\"input\": ", 0), 0u) << r.out;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("\"width\": 160, \"height\": 107, \"bits\": 24, \"colours\": [1-9]")))
        << r.out;
    for (const std::string& f : {out, pair, bmp}) std::remove(f.c_str());
}

TEST(RestyleCommand, RecoloursLikeTheLibraryKeepsRegionsAndComposes) {
    const std::string out = Temp("cat.bmp"), ccs = Temp("coffee.ccs"), byTheme = Temp("theme.bmp");
    const std::string regions = Temp("regions.txt"), kept = Temp("kept.bmp"), compose = Temp("compose.png");
    ASSERT_EQ(Huevane({"restyle", kCat, kCoffee, "-o", out}).code, 0);
    hvio::OwnedDib want(Read(kCat)), style(Read(kCoffee));
    AdjustImageStyle(want.get(), tfix::StyleOf(style.get()).data(), nullptr);
    const std::vector<BYTE> whole = Pixels(out), first = Pixels(kCat);
    EXPECT_EQ(whole, tfix::Pixels(want.get()));
    // A saved theme file restyles as the image it was made from does.
    ASSERT_EQ(Huevane({"theme", kCoffee, "-o", ccs}).code, 0);
    ASSERT_EQ(Huevane({"restyle", kCat, ccs, "-o", byTheme}).code, 0);
    EXPECT_EQ(Pixels(byTheme), whole);

    // Kept regions: a rectangle and a band clipped at the top.
    Write(regions, "# the cat's nose\n\n  10,20 30,20 30,40 10,40\r\n-5,-5 460,-5 460,3 -5,3\n");
    const tool::Run r =
        Huevane({"restyle", kCat, kCoffee, "-o", kept, "--keep", regions, "--compose", compose});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "method 2, 2 regions kept")) << r.out;
    const std::vector<BYTE> part = Pixels(kept);
    ASSERT_EQ(part.size(), 451u * 300 * 3);
    size_t wrong = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 451; ++x) {
            const size_t i = (static_cast<size_t>(299 - y) * 451 + x) * 3;
            const bool inside = (y >= 20 && y < 40 && x >= 10 && x <= 30) || y < 3;
            wrong += std::memcmp(&part[i], inside ? &first[i] : &whole[i], 3) != 0;
        }
    EXPECT_EQ(wrong, 0u);
    // Target, style and result at 320 pixels high on white, 16 apart.
    hvio::OwnedDib picture(Read(compose)), before(Read(kCat)), after(Read(kept));
    ipDibStuff v(picture.get(), false);
    EXPECT_EQ(v.width() * 1000 + v.height(),
              (16 + 481 + 16 + 480 + 16 + 481 + 16) * 1000 + 16 + 320 + 8 + 28 + 16);
    EXPECT_EQ(PixelAt(picture.get(), 0, 0), (std::vector<int>{255, 255, 255}));
    for (const int xy : {0, 150, 299}) {
        EXPECT_EQ(PixelAt(picture.get(), 16 + xy, 16 + xy),
                  PixelAt(before.get(), xy * 451 / 481, xy * 300 / 320));
        EXPECT_EQ(PixelAt(picture.get(), 1009 + xy, 16 + xy),
                  PixelAt(after.get(), xy * 451 / 481, xy * 300 / 320));
    }
    for (const std::string& f : {out, ccs, byTheme, regions, kept, compose}) std::remove(f.c_str());
}

TEST(ExtractOptions, ThemePrintsEachExtractionLikeTheLibraryAndDrawsThemAll) {
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    hvio::OwnedDib photo(Read(kCoffee));
    const std::string compare = Temp("compare.png");
    const char* const methods[] = {"default", "g", "d", "cg", "q"};
    std::vector<tagRGBQUAD> largest;
    for (const std::string method : methods) {
        // The library's theme of the photo by this method, largest pocket first.
        ccColorPocketArray lib;
        lib.SetPalDib(DecreaseBpp24to8(photo.get()), true);
        int cardIndex[256] = {-1};
        ASSERT_EQ(method == "default" ? lib.GetColorPockets()
                  : method == "g"     ? lib.GetColorPocketsG()
                  : method == "d"     ? lib.GetColorPocketsD()
                  : method == "cg"    ? lib.GetColorPocketsCG(&card, cardIndex)
                                      : lib.GetColorPocketsQ(),
                  0);
        lib.SortOnPercentage();
        largest.push_back(lib.pockets[0]->aveRGB);
        std::vector<std::string> args = {"theme", kCoffee, "--extract", method, "--json", "--card", kCard};
        if (method != "cg") args.resize(5);
        const tool::Run r = Huevane(args);
        ASSERT_EQ(r.code, 0) << method << r.err;
        // One JSON entry per pocket, the largest first with its colour.
        EXPECT_EQ(Count(r.out, "\"index\""), lib.pockets.GetSize()) << method;
        char colour[40];
        const tagRGBQUAD c = largest.back();
        std::snprintf(colour, sizeof colour, "{\"index\": 0, \"color\": \"#%02x%02x%02x", c.rgbRed,
                      c.rgbGreen, c.rgbBlue);
        EXPECT_TRUE(Contains(r.out, colour)) << method << r.out;
    }
    // The photo with the bar of each extraction under it, labelled: margins
    // 12, labels 132 wide, bars 28 high with gaps of 8.
    const tool::Run r = Huevane({"theme", kCoffee, "--compare", compare, "--card", kCard});
    ASSERT_EQ(r.code, 0) << r.err;
    hvio::OwnedDib picture(Read(compare));
    ASSERT_EQ(ipDibStuff(picture.get(), false).width() * 1000 + ipDibStuff(picture.get(), false).height(),
              (12 + 132 + 600 + 12) * 1000 + 12 + 400 + 5 * 36 + 12);
    for (int xy : {0, 123, 399})
        EXPECT_EQ(PixelAt(picture.get(), 144 + xy, 12 + xy), PixelAt(photo.get(), xy, xy));
    for (int m = 0; m < 5; ++m) {
        const int top = 12 + 400 + 8 + m * 36;
        const tagRGBQUAD c = largest[m];
        EXPECT_EQ(PixelAt(picture.get(), 144, top + 14), (std::vector<int>{c.rgbBlue, c.rgbGreen, c.rgbRed}))
            << m;
        int ink = 0;  // the label, left of the bar
        for (int y = top; y < top + 28; ++y)
            for (int x = 12; x < 140; ++x) ink += PixelAt(picture.get(), x, y)[0] < 100;
        EXPECT_GT(ink, 20) << methods[m];
    }
    EXPECT_EQ(PixelAt(picture.get(), 100, 12 + 400 + 2), (std::vector<int>{255, 255, 255}));
    std::remove(compare.c_str());

    // restyle takes an extraction for each side: at most 6 target colours by
    // d and 10 style colours by q.
    const tool::Run both = Huevane(
        {"restyle", kCat, kCoffee, "-o", compare, "--extract", "d", "--style-extract", "q", "--json"});
    ASSERT_EQ(both.code, 0) << both.err;
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(both.out, m, std::regex("\"colours\": (\\d+), .*\"style_colours\": (\\d+)")));
    EXPECT_TRUE(std::stoi(m[1]) <= 6 && std::stoi(m[2]) <= 10) << both.out;
    std::remove(compare.c_str());
}

TEST(HuevaneTool, CardListsTheNearestSamples) {
    const tool::Run text = Huevane({"card", kCard, " 200, 30 ,40", "-n", "3"});
    const tool::Run json = Huevane({"card", kCard, "#C81e28", "--count=3", "--json"});
    ASSERT_EQ(text.code + json.code, 0) << text.err << json.err;
    EXPECT_TRUE(Contains(json.out, "\"color\": \"#c81e28\", \"rgb\": [200, 30, 40]")) << json.out;
    // The same three samples in the same order, each text line starting with its name.
    const std::regex name("\"name\": \"([^\"]+)\"");
    size_t at = 0, listed = 0;
    for (std::sregex_iterator m(json.out.begin(), json.out.end(), name), end; m != end; ++m, ++listed)
        EXPECT_NE(at = text.out.find("\n  " + (*m)[1].str() + " ", at), std::string::npos)
            << (*m)[1] << text.out;
    EXPECT_EQ(listed, 3u);
}

TEST(LibraryCommand, ListsDrawsAddsAndLendsItsThemesToRestyle) {
    tool::Run r = Huevane({"library", kList});
    EXPECT_TRUE(r.code == 0 && Contains(r.out, "12 themes (list file)") && Contains(r.out, "Glacier"))
        << r.out;
    EXPECT_TRUE(Contains(r.out, "40.0%")) << r.out;  // the first colour's fixed share
    r = Huevane({"library", kScript, "--json"});
    EXPECT_EQ(Count(r.out, "\"type\": \"example\""), 7) << r.out;
    EXPECT_TRUE(Contains(r.out, "\"kind\": \"script\"") &&
                Contains(r.out, "\"tags\": \"#warm#brown#drink\"") && Contains(r.out, "\"warm\""))
        << r.out;
    // The hue ring orders list themes by the hue of their first colour.
    EXPECT_EQ(Count(Huevane({"library", kList, "--hue-ring", "--json"}).out, "\"index\""), 12);
    const std::string dir = tool::Folder(Temp("lib")), sheet = dir + "/sheet.bmp";
    ASSERT_EQ(Huevane({"library", kScript, "--sheet", sheet}).code, 0);
    // A title, then a row of 72 per theme: its bar at 252, 16 down, its
    // thumbnail at 584, 4 down.
    hvio::OwnedDib drawn(Read(sheet));
    EXPECT_EQ(ipDibStuff(drawn.get(), false).height(), 40 + 7 * 72 + 12);
    EXPECT_EQ(PixelAt(drawn.get(), 12, 12), (std::vector<int>{40, 40, 40}));  // the top of the title's P
    ccColorPocketArrayArray photos;
    photos.LoadFromScriptFile(kScript.c_str());
    const tagRGBQUAD bar = photos.themes[0]->pockets[0]->aveRGB;
    EXPECT_EQ(PixelAt(drawn.get(), 252, 40 + 16 + 39),
              (std::vector<int>{bar.rgbBlue, bar.rgbGreen, bar.rgbRed}));
    ipDibStuff thumbnail(photos.themes[0]->palDib, false);
    const tagRGBQUAD corner = thumbnail.colors[thumbnail.rows[thumbnail.height() - 1][0]];
    EXPECT_EQ(PixelAt(drawn.get(), 584, 44),
              (std::vector<int>{corner.rgbBlue, corner.rgbGreen, corner.rgbRed}));

    // Adding a photo writes its thumbnail, its theme file and its line.
    Write(dir + "/s.txt", "[Version]\n1\n[Examples]\n");
    r = Huevane({"library", dir + "/s.txt", "--add", kCat, "--tags", "#cat"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(dir + "/s.txt"), "[Version]\n1\n[Examples]\nchelsea\tchelsea.bmp\t#cat\n");
    ccColorPocketArray stored;
    ASSERT_EQ(stored.LoadFromFile((dir + "/chelsea.bmp.ccs").c_str()), 0);
    ccColorPocketArrayArray added;
    added.LoadFromScriptFile((dir + "/s.txt").c_str());
    ASSERT_EQ(added.themes.GetSize(), 1);
    EXPECT_EQ(added.themes[0]->pockets.GetSize(), stored.pockets.GetSize());
    ipDibStuff thumb(added.themes[0]->palDib, false);
    EXPECT_EQ(thumb.width() * 1000 + thumb.height(), 256 * 1000 + 300 * 256 / 451);

    // restyle takes a theme of a list by name or position (Glacier is the
    // fourth) as the library's road gives it.
    ccColorPocketArrayArray lib;
    ASSERT_EQ(lib.LoadColorThemes(kList.c_str(), false), 12);
    ASSERT_EQ(lib.themes[3]->name, "Glacier");
    char* buf = nullptr;
    lib.themes[3]->SaveToBuf(buf);
    hvio::OwnedDib want(Read(kCat));
    AdjustImageStyle(want.get(), buf, nullptr);
    lib.themes[3]->FreeDataBuf(buf);
    for (const char* which : {"Glacier", "3"}) {
        r = Huevane({"restyle", kCat, "--style-library", kList, "--theme", which, "-o", dir + "/out.bmp"});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(Pixels(dir + "/out.bmp"), tfix::Pixels(want.get())) << which;
    }
    tool::RemoveTree(dir);
}

// A folder of inputs: two good images (one in a subfolder under a name that
// hides its format), a truncated PNG, a text file, a dangling link and a
// link back up (a loop).
TEST(BatchCommand, RestyleGoesOnPastBadFilesWhateverTheThreads) {
    const std::string in = tool::Folder(Temp("in") + "/sub"), top = Temp("in"), one = Temp("out1");
    const std::string three = Temp("out3") + "/deeper/", single = Temp("single.bmp"), style = kCups;
    Write(top + "/coffee.bmp", Slurp(kSmall));
    Write(in + "/cups.data", Slurp(kData + "/transfer/autumn_256.bmp"));
    Write(top + "/broken.png", Slurp(kCat).substr(0, 30000));
    Write(top + "/notes.txt", "not a picture\n");
    symlink("missing.jpg", (top + "/dangling.jpg").c_str());
    symlink("..", (in + "/up").c_str());
    const tool::Run r1 = Huevane({"restyle", top, style, "-o", one, "-j", "1"});
    const tool::Run r3 = Huevane({"restyle", top, style, "-o", three, "-j", "3", "--quiet"});
    for (const tool::Run* r : {&r1, &r3}) {
        EXPECT_EQ(r->code, 1) << r->err;
        // One line per file that could not be taken, and the loop noted once.
        EXPECT_TRUE(Contains(r->err, "broken.png: cannot decode PNG")) << r->err;
        EXPECT_TRUE(Contains(r->err, "dangling.jpg: cannot read")) << r->err;
        EXPECT_EQ(Count(r->err, "sub/up: skipped"), 1) << r->err;
        EXPECT_FALSE(Contains(r->err, "notes.txt")) << r->err;
        EXPECT_TRUE(Contains(r->out, "restyled 2 of 4 images")) << r->out;
        EXPECT_TRUE(Contains(r->out, ", 2 failed, 1 file skipped")) << r->out;
        // Results in name order, the subfolder after the files above it.
        EXPECT_LT(r->out.find("coffee.bmp:"), r->out.find("sub/cups.data:")) << r->out;
    }
    // The same bytes whatever the number of threads and as the single form
    // gives; the folder structure kept; the format by content.
    ASSERT_EQ(Huevane({"restyle", top + "/coffee.bmp", style, "-o", single}).code, 0);
    EXPECT_EQ(Slurp(one + "/coffee.bmp"), Slurp(single));
    for (const char* name : {"/coffee.bmp", "/sub/cups.bmp"}) {
        EXPECT_EQ(Slurp(one + name).substr(0, 2), "BM") << name;
        EXPECT_EQ(Slurp(one + name), Slurp(three + name)) << name;
    }
    EXPECT_NE(Slurp(one + "/coffee.bmp"), Slurp(one + "/sub/cups.bmp"));
    EXPECT_TRUE(Slurp(one + "/broken.png").empty());

    // Several files and all good is exit 0; JSON lists them.
    const tool::Run json = Huevane({"reduce", kSmall, kCups, "-o", one + "/", "--json", "-j", "2"});
    EXPECT_TRUE(json.code == 0 && json.err.empty()) << json.err;
    EXPECT_EQ(json.out.rfind("{\"files\": [", 0), 0u) << json.out;
    EXPECT_TRUE(Contains(json.out, "\"output\": \"" + one + "/coffee_small.png\", \"width\": 160"))
        << json.out;
    EXPECT_TRUE(Contains(json.out, "], \"done\": 2, \"failed\": 0, \"skipped\": 0}")) << json.out;
    EXPECT_EQ(Slurp(one + "/cups_256.png").substr(25, 1), "\3") << "a palette PNG";

    // On a terminal (through script(1)) the progress bar is drawn on stderr,
    // and --quiet turns it off.
    if (std::system("command -v script >/dev/null 2>&1") == 0)
        for (const bool quiet : {false, true}) {
            const std::string run = "\"" HUEVANE_CLI_BINARY "\" reduce '" + kSmall + "' '" + kCups +
                                    "' -o '" + one + "'" + (quiet ? " --quiet" : "");
            ASSERT_EQ(std::system(("script -qec \"" + run + "\" /dev/null >'" + single + "'").c_str()), 0);
            const std::string text = Slurp(single);
            EXPECT_TRUE(Contains(text, "reduced 2 of 2 images")) << text;
            EXPECT_EQ(Contains(text, "]  0/2"), !quiet) << text;  // the bar, drawn first at 0 of 2
        }
    for (const std::string& f : {top, one, Temp("out3"), single}) tool::RemoveTree(f);
}

TEST(EditCommand, RunsAScriptLikeTheLibraryAndRestyleKeepsItsBackground) {
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs"), show = Temp("show.png");
    Write(script,
          "# every kind of edit once\nselect 0\nSELECT NONE   # case does not matter\n\n"
          "stroke 2 10,10 80,60 150,100\nnew pocket\nselect last\ngrow\nstroke 0 5,100 60,40\r\ndetach\n"
          "select none\nstroke 1 140,20 20,20 20,90\nmerge on stroke\ncut 5,5 40,30 80,53 120,80 155,100 "
          "20,90\n"
          "select 0 1\nmerge selected\nbackground 0,0 30,20\nstroke 3 100,90 110,95\nbackground stroke\n"
          "select none\nselect 1\ndelete selected\nselect all\nhighlight 0\n");
    tool::Run r = Huevane({"edit", kSmall, script, "-o", out, "--show", show});
    ASSERT_EQ(r.code, 0) << r.err;
    // The same edits through the library (rows counted from the bottom there).
    std::string error;
    hvio::OwnedDib image(hvio::ReadImage(kSmall, &error));
    ccColorPocketArray t;
    t.SetPalDib(DecreaseBpp24to8(image.get()), true);
    t.GetColorPockets();
    wStroke a = Stroke(2, {{10, 10}, {80, 60}, {150, 100}});
    ASSERT_EQ(t.NewPocket(&a), 0);
    t.pockets[t.pockets.GetSize() - 1]->selState = 256;
    ASSERT_EQ(t.AddToSelFromStroke(&a), 0);
    wStroke b = Stroke(0, {{5, 100}, {60, 40}});
    ASSERT_EQ(t.DetachColor(&b), 0);
    t.UnselectAll();
    wStroke c = Stroke(1, {{140, 20}, {20, 20}, {20, 90}});
    dPointBuf pixels(c.GetMaxDiscretePointNum());
    ASSERT_EQ(c.DiscreteToBuff(107, &pixels), 0);
    ASSERT_EQ(t.MergePocketOnStroke(&pixels), 0);
    std::vector<tagPOINT> cutPoints = {{5, 5}, {40, 30}, {80, 53}, {120, 80}, {155, 100}, {20, 90}};
    cPointsCut cut{cutPoints.data(), 6};
    ASSERT_EQ(t.GetColorPocketsFromCut(&cut), 0);
    t.pockets[0]->selState = t.pockets[1]->selState = 256;
    ASSERT_GE(t.MergeSelectedPockets(), 0);
    tagRECT rect{0, 106 - 20, 30, 106},
        around{97, 106 - 98, 113, 106 - 87};  // the stroke's, pen 3 on every side
    ASSERT_EQ(t.GetBackground(&rect), 0);
    ASSERT_EQ(t.GetBackground(&around), 0);
    t.UnselectAll();
    t.pockets[1]->selState = 256;
    t.DelSelPockets();
    ccColorPocketArray saved;
    ASSERT_EQ(saved.LoadFromFile(out.c_str()), 0);
    EXPECT_EQ(Shape(saved), Shape(t));
    // The picture: the image and its highlighted form side by side, the bar under them.
    hvio::OwnedDib picture(hvio::ReadImage(show, &error));
    ASSERT_NE(picture.get(), nullptr) << error;
    EXPECT_EQ(ipDibStuff(picture.get(), false).width(), 160 + 8 + 160);
    EXPECT_EQ(PixelAt(picture.get(), 80, 53), PixelAt(image.get(), 80, 53));
    EXPECT_EQ(PixelAt(picture.get(), 0, 110),
              (std::vector<int>{255, 255, 255}));  // the margin beside the bar
    EXPECT_EQ(PixelAt(picture.get(), 17, 107 + 28 + 4),
              (std::vector<int>{40, 40, 40}));  // all marked selected

    // Restyled with an edited theme whose background is the top 41 rows,
    // those rows keep their colours and the others change.
    Write(script, "background 0,0 159,40\n");
    ASSERT_EQ(Huevane({"edit", kSmall, script, "-o", out}).code, 0);
    r = Huevane({"restyle", kSmall, kCups, "--target-theme", out, "-o", show});
    ASSERT_EQ(r.code, 0) << r.err;
    hvio::OwnedDib result(hvio::ReadImage(show, &error));
    ipDibStuff before(image.get(), false), after(result.get(), false);
    int changedAbove = 0, changedBelow = 0;
    for (int y = 0; y < 107; ++y)
        (y > 106 - 41 ? changedAbove : changedBelow) +=
            !std::equal(before.rows[y], before.rows[y] + 480, after.rows[y]);
    EXPECT_EQ(changedAbove, 0);
    EXPECT_GT(changedBelow, 0);
    for (const std::string& f : {script, out, show}) std::remove(f.c_str());
}

TEST(EditCommand, MistakesAreReportedByLineAndNothingIsWritten) {
    const std::pair<const char*, const char*> cases[] = {
        // the script, the message after "FILE:"
        {"select 0\nfrobnicate\n", "2: unknown edit 'frobnicate'"},
        {"select\n", "1: select what?"},
        {"select -1\n", "1: '-1' is not a pocket position"},
        {"# ok\nstroke 2\n", "2: a stroke needs at least one point"},
        {"stroke -1 1,1\n", "1: a stroke starts with its pen width"},
        {"stroke 1 1,1 2;2\n", "1: '2;2' is not a point"},
        {"stroke 1 1,1 2000000,2\n", "1: '2000000,2' is not a point"},
        {"cut 1,1 2,2 3,3 4,4\n", "1: a cut needs at least 5 points, found 4"},
        {"background 1,1\n", "1: a background rectangle takes two corners"},
        {"merge selected now\n", "1: 'merge selected now' takes nothing more"},
        {"highlight\n", "1: highlight takes one pocket position"},
        // Edits that cannot be done.
        {"new pocket\n", "1: new pocket: no stroke drawn yet"},
        {"select 0\nselect 99\n", "2: select 99: there is no pocket 99"},
        {"stroke 1 1,1 5,5\ngrow\n", "2: grow: no pocket is selected"},
        {"select all\nstroke 1 1,1 5,5\ngrow\n", "3: grow: grow needs exactly one selected pocket"},
        {"merge selected\n", "1: merge selected: no pocket is selected"},
        {"cut 1,1 2,2 3,3 4,4 -5,-5\n", "1: cut 1,1 2,2 3,3 4,4 -5,-5: fewer than 5 of the cut's points"},
        {"stroke 1 -9,-9 -3,-3\nmerge on stroke\n", "2: merge on stroke: the stroke's first point"},
        {"stroke 1 5,5\nmerge on stroke\n", "2: merge on stroke: the stroke needs at least two pixels"},
    };
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs");
    for (const auto& [text, message] : cases) {
        Write(script, text);
        const tool::Run r = Huevane({"edit", kSmall, script, "-o", out});
        EXPECT_EQ(r.code, 1) << text;
        EXPECT_TRUE(Contains(r.err, script + ":" + message)) << r.err;
    }
    EXPECT_TRUE(Slurp(out).empty());
    std::remove(script.c_str());
}
