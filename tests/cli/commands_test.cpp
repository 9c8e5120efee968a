// The huevane tool run as a user runs it, one test per command: exit codes,
// messages, output files that load, results equal to the library's; the
// tables of wrong command lines and edit scripts are in tests/data/cli.
// GCC 12 warns falsely about the std::function inside <regex>'s automaton.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "api/colortags.h"
#include "dib/dib.h"
#include "huevane/colorsystem.h"
#include "huevane/huevane.h"
#include "huevane/library.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "tool_run.h"
#include "transfer/transfer_fixtures.h"

using tool::Contains;
using tool::Huevane;
using tool::Slurp;
using tool::Temp;
using tool::Write;
using Words = std::vector<std::string>;

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
// The pixel (x, y from the top left) of a 24-bit image, and a colour, as blue, green, red.
std::vector<int> PixelAt(void* dib, int x, int y) {
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[static_cast<size_t>(v.height() - 1 - y)] + 3 * x;
    return {p[0], p[1], p[2]};
}
std::vector<int> Bgr(const tagRGBQUAD& c) { return {c.rgbBlue, c.rgbGreen, c.rgbRed}; }
int Size(void* dib) { return ipDibStuff(dib, false).width() * 1000 + ipDibStuff(dib, false).height(); }
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

// Each pocket's flags and palette indices.
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
    for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "{\"a\": 1,}", "\"a\tb\"", "1.", "{} {}", "[1 2]"})
        EXPECT_FALSE(ValidJson(bad)) << bad;
    EXPECT_TRUE(ValidJson("{\"a\": [1, -2.5, \"x\\n\\u00e9\", true, null], \"b\": {}}"));
    const std::string ccs = Temp("theme.ccs"), image = Temp("result.png"), folder = Temp("results");
    for (const Words& args : std::vector<Words>{{"theme", kCat, "-o", ccs, "--json"},
                                                {"theme", ccs, "--json"},
                                                {"tags", kCat, "--json"},
                                                {"card", kCard, "#336699", "--json"},
                                                {"library", kScript, "--json"},
                                                {"reduce", kSmall, "-o", image, "--json"},
                                                {"restyle", kSmall, ccs, "-o", image, "--json"},
                                                {"reduce", kSmall, kCups, "-o", folder, "--json"}}) {
        r = Huevane(args);
        EXPECT_TRUE(r.code == 0 && ValidJson(r.out)) << args[0] << ": " << r.out << r.err;
    }
    std::remove(ccs.c_str());
    std::remove(image.c_str());
    tool::RemoveTree(folder);
}

TEST(HuevaneTool, WrongCommandLinesAndUnreadableInputs) {
    ASSERT_EQ(Huevane({"theme", kSmall, "-o", Temp("small.ccs")}).code, 0);
    Write(Temp("edits.txt"), "select all\n");
    Write(Temp("regions.txt"), "1,1 5,1 5,5\n# ok\n1,1 5,1 -,5 5;5\n");
    const std::map<std::string, std::string> files = {
        {"@cat", kCat},     {"@coffee", kCoffee}, {"@small", kSmall},   {"@cups", kCups},
        {"@card", kCard},   {"@list", kList},     {"@script", kScript}, {"@bad/", kData + "/imageio/"},
        {"@tmp/", Temp("")}};
    const std::vector<Words> rows = tool::Rows("wrong_command_lines.txt");
    EXPECT_GT(rows.size(), 70u);
    for (const Words& row : rows) {
        Words args;
        std::istringstream words(row.at(1));
        for (std::string w; words >> w;) {
            for (const auto& [name, path] : files)
                if (w.rfind(name, 0) == 0) w = path + w.substr(name.size());
            std::replace(w.begin(), w.end(), '~', ' ');
            args.push_back(w == "''" ? "" : w);
        }
        const tool::Run r = Huevane(args);
        const int code = std::stoi(row[0]);
        EXPECT_EQ(r.code, code) << row[1];
        EXPECT_TRUE(Contains(code ? r.err : r.out, row.at(2)) && (code == 0 || r.out.empty()))
            << row[1] << "\n"
            << r.out << r.err;
    }
    EXPECT_TRUE(Slurp(Temp("never.png")).empty() && Slurp(Temp("never.ccs")).empty());
    for (const char* f : {"small.ccs", "edits.txt", "regions.txt"}) std::remove(Temp(f).c_str());
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
    EXPECT_EQ(Size(both.get()), (451 + 8 + 451) * 1000 + 300);
    // Options may come first; an 8-bit input is expanded first, and said so.
    ASSERT_EQ(Huevane({"reduce", "--output=" + bmp, kCat}).code, 0);
    EXPECT_TRUE(ipDibStuff(hvio::OwnedDib(Read(bmp)).get(), false).isPalette8());
    r = Huevane({"reduce", bmp, "-o", out});
    EXPECT_TRUE(r.code == 0 && Contains(r.out, "expanded from 8 bits")) << r.out;
    r = Huevane({"reduce", kSmall, "-o", out, "--json", "--quiet", "-j", "2"});
    EXPECT_TRUE(std::regex_match(
        r.out,
        std::regex("\\{\"input\": .*\"width\": 160, \"height\": 107, \"bits\": 24, \"colours\": [1-9].*\n")))
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
    std::vector<BYTE> part = Pixels(kept), mixed = whole;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 451; ++x)
            if ((y >= 20 && y < 40 && x >= 10 && x <= 30) || y < 3)
                std::copy_n(&first[(static_cast<size_t>(299 - y) * 451 + x) * 3], 3,
                            &mixed[(static_cast<size_t>(299 - y) * 451 + x) * 3]);
    EXPECT_TRUE(part == mixed);
    // Target, style and result at 320 pixels high on white, 16 apart.
    hvio::OwnedDib picture(Read(compose)), before(Read(kCat)), after(Read(kept));
    EXPECT_EQ(Size(picture.get()), (16 + 481 + 16 + 480 + 16 + 481 + 16) * 1000 + 16 + 320 + 8 + 28 + 16);
    EXPECT_EQ(PixelAt(picture.get(), 0, 0), (std::vector<int>{255, 255, 255}));
    for (const int xy : {0, 150, 299}) {
        EXPECT_EQ(PixelAt(picture.get(), 16 + xy, 16 + xy),
                  PixelAt(before.get(), xy * 451 / 481, xy * 300 / 320));
        EXPECT_EQ(PixelAt(picture.get(), 1009 + xy, 16 + xy),
                  PixelAt(after.get(), xy * 451 / 481, xy * 300 / 320));
    }
    for (const std::string& f : {out, ccs, byTheme, regions, kept, compose}) std::remove(f.c_str());
}

TEST(ThemeCommand, PrintsEachExtractionLikeTheLibraryAndDrawsThemAll) {
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
        Words args = {"theme", kCoffee, "--extract", method, "--json", "--card", kCard};
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
    ASSERT_EQ(Size(picture.get()), (12 + 132 + 600 + 12) * 1000 + 12 + 400 + 5 * 36 + 12);
    for (int xy : {0, 123, 399})
        EXPECT_EQ(PixelAt(picture.get(), 144 + xy, 12 + xy), PixelAt(photo.get(), xy, xy));
    EXPECT_EQ(PixelAt(picture.get(), 100, 12 + 400 + 2), (std::vector<int>{255, 255, 255}));
    for (int m = 0; m < 5; ++m) {
        const int top = 12 + 400 + 8 + m * 36;
        EXPECT_EQ(PixelAt(picture.get(), 144, top + 14), Bgr(largest[m])) << m;
        int ink = 0;  // the label, left of the bar
        for (int y = top; y < top + 28; ++y)
            for (int x = 12; x < 140; ++x) ink += PixelAt(picture.get(), x, y)[0] < 100;
        EXPECT_GT(ink, 20) << methods[m];
    }
    // restyle takes an extraction for each side: at most 6 target colours by
    // d and 10 style colours by q.
    const tool::Run both = Huevane(
        {"restyle", kCat, kCoffee, "-o", compare, "--extract", "d", "--style-extract", "q", "--json"});
    std::smatch m;
    ASSERT_TRUE(
        std::regex_search(both.out, m, std::regex("\"colours\": (\\d+), .*\"style_colours\": (\\d+)")))
        << both.err;
    EXPECT_TRUE(std::stoi(m[1]) <= 6 && std::stoi(m[2]) <= 10) << both.out;
    std::remove(compare.c_str());
}

// tags and card print what the library gives, in text and in JSON.
TEST(TagsAndCardCommands, ListWhatTheLibraryFinds) {
    hvio::OwnedDib photo(Read(kCoffee));
    ColorThemeStruct tags = {0, nullptr};
    ASSERT_EQ(GetColorTags(photo.get(), &tags), 0);
    const tool::Run text = Huevane({"tags", kCoffee}), json = Huevane({"tags", kCoffee, "--json"});
    EXPECT_TRUE(Contains(text.out, "600 x 400, " + std::to_string(tags.count) + " colour families"))
        << text.out;
    EXPECT_EQ(Count(json.out, "\"tag\""), tags.count) << json.out;
    for (int i = 0; i < tags.count; ++i) {
        const tagRGBQUAD c = tags.entries[i].color;
        char line[200];
        std::snprintf(line, sizeof line,
                      "\"name\": \"%s\", \"color\": \"#%02x%02x%02x\", \"rgb\": [%d, %d, %d]",
                      hv::ColorTagName(c.rgbReserved), c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbRed, c.rgbGreen,
                      c.rgbBlue);
        EXPECT_TRUE(Contains(json.out, line)) << line << json.out;
        std::snprintf(line, sizeof line, "%5.1f%%\n", 100.0 * tags.entries[i].share);
        EXPECT_TRUE(Contains(text.out, "\n  " + std::string(hv::ColorTagName(c.rgbReserved))) &&
                    Contains(text.out, line))
            << text.out;
    }
    FreeThemeStruct(&tags);

    // The whole card when more samples are asked for than it has; the colour
    // typed either way.
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    std::vector<int> order(1000);
    std::vector<double> distance(1000);
    const int found = card.GetNearestSamplesByWeight({40, 30, 200, 0}, order.data(), distance.data(), 1000);
    ASSERT_EQ(found, card.samples.GetSize());
    const tool::Run list = Huevane({"card", kCard, " 200, 30 ,40", "-n", "1000"});
    const tool::Run three = Huevane({"card", kCard, "#C81e28", "--count=3", "--json"});
    EXPECT_EQ(Count(list.out, "\n  "), found) << list.out;
    EXPECT_TRUE(Contains(three.out, "\"color\": \"#c81e28\", \"rgb\": [200, 30, 40]")) << three.out;
    EXPECT_EQ(Count(three.out, "\"index\""), 3) << three.out;
    size_t at = 0;
    for (int i = 0; i < found; ++i) {
        const std::string name = card.samples[order[i]]->name;
        char tail[60];
        const size_t n =
            std::snprintf(tail, sizeof tail, "distance %7.2f  sample %d\n", distance[i], order[i]);
        ASSERT_NE(at = list.out.find("\n  " + name + " ", at), std::string::npos) << name << list.out;
        at = list.out.find('\n', at + 1);
        EXPECT_EQ(list.out.substr(at + 1 - n, n), tail);
        if (i < 3)
            EXPECT_TRUE(
                Contains(three.out, "{\"index\": " + std::to_string(order[i]) + ", \"name\": \"" + name))
                << name;
    }
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
    EXPECT_EQ(PixelAt(drawn.get(), 252, 40 + 16 + 39), Bgr(photos.themes[0]->pockets[0]->aveRGB));
    ipDibStuff thumbnail(photos.themes[0]->palDib, false);
    EXPECT_EQ(PixelAt(drawn.get(), 584, 44),
              Bgr(thumbnail.colors[thumbnail.rows[thumbnail.height() - 1][0]]));

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
    EXPECT_EQ(Size(added.themes[0]->palDib), 256 * 1000 + 300 * 256 / 451);

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
    const std::string three = Temp("out3") + "/deeper/", single = Temp("single.bmp");
    Write(top + "/coffee.bmp", Slurp(kSmall));
    Write(in + "/cups.data", Slurp(kData + "/transfer/autumn_256.bmp"));
    Write(top + "/broken.png", Slurp(kCat).substr(0, 30000));
    Write(top + "/notes.txt", "not a picture\n");
    symlink("missing.jpg", (top + "/dangling.jpg").c_str());
    symlink("..", (in + "/up").c_str());
    for (const Words& jobs : {Words{"-o", one, "-j", "1"}, Words{"-o", three, "-j", "3", "--quiet"}}) {
        Words args = {"restyle", top, kCups};
        args.insert(args.end(), jobs.begin(), jobs.end());
        const tool::Run r = Huevane(args);
        EXPECT_EQ(r.code, 1) << r.err;
        // One line per file that could not be taken, and the loop noted once.
        EXPECT_TRUE(Contains(r.err, "broken.png: cannot decode PNG") &&
                    Contains(r.err, "dangling.jpg: cannot read") && Count(r.err, "sub/up: skipped") == 1 &&
                    !Contains(r.err, "notes.txt"))
            << r.err;
        EXPECT_TRUE(Contains(r.out, "restyled 2 of 4 images") &&
                    Contains(r.out, ", 2 failed, 1 file skipped"))
            << r.out;
        // Results in name order, the subfolder after the files above it.
        EXPECT_LT(r.out.find("coffee.bmp:"), r.out.find("sub/cups.data:")) << r.out;
    }
    // The same bytes whatever the number of threads and as the single form
    // gives; the folder structure kept; the format by content.
    ASSERT_EQ(Huevane({"restyle", top + "/coffee.bmp", kCups, "-o", single}).code, 0);
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
    hvio::OwnedDib image(Read(kSmall));
    ccColorPocketArray t;
    t.SetPalDib(DecreaseBpp24to8(image.get()), true);
    t.GetColorPockets();
    wStroke a = Stroke(2, {{10, 10}, {80, 60}, {150, 100}}), b = Stroke(0, {{5, 100}, {60, 40}});
    wStroke c = Stroke(1, {{140, 20}, {20, 20}, {20, 90}});
    ASSERT_EQ(t.NewPocket(&a), 0);
    t.pockets[t.pockets.GetSize() - 1]->selState = 256;
    ASSERT_EQ(t.AddToSelFromStroke(&a), 0);
    ASSERT_EQ(t.DetachColor(&b), 0);
    t.UnselectAll();
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
    // The picture: the image and its highlighted form side by side, the bar
    // under them with the margin beside it white, all marked selected.
    hvio::OwnedDib picture(Read(show));
    EXPECT_EQ(ipDibStuff(picture.get(), false).width(), 160 + 8 + 160);
    EXPECT_EQ(PixelAt(picture.get(), 80, 53), PixelAt(image.get(), 80, 53));
    EXPECT_EQ(PixelAt(picture.get(), 0, 110), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(PixelAt(picture.get(), 17, 107 + 28 + 4), (std::vector<int>{40, 40, 40}));

    // Restyled with an edited theme whose background is the top 41 rows,
    // those rows keep their colours and the others change.
    Write(script, "background 0,0 159,40\n");
    ASSERT_EQ(Huevane({"edit", kSmall, script, "-o", out}).code, 0);
    r = Huevane({"restyle", kSmall, kCups, "--target-theme", out, "-o", show});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<BYTE> before = tfix::Pixels(image.get()), after = Pixels(show);
    const size_t split = (107 - 41) * 480;  // bottom-up rows of 160 x 3 bytes
    EXPECT_TRUE(std::equal(before.begin() + split, before.end(), after.begin() + split));
    EXPECT_FALSE(std::equal(before.begin(), before.begin() + split, after.begin()));
    for (const std::string& f : {script, out, show}) std::remove(f.c_str());
}

TEST(EditCommand, MistakesAreReportedByLineAndNothingIsWritten) {
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs");
    for (Words row : tool::Rows("edit_mistakes.txt")) {
        for (size_t at; (at = row[0].find("\\n")) != std::string::npos;) row[0].replace(at, 2, "\n");
        Write(script, row[0] + "\n");
        const tool::Run r = Huevane({"edit", kSmall, script, "-o", out});
        EXPECT_EQ(r.code, 1) << row[0];
        EXPECT_TRUE(Contains(r.err, script + ":" + row.at(1))) << r.err;
    }
    EXPECT_TRUE(Slurp(out).empty());
    std::remove(script.c_str());
}
