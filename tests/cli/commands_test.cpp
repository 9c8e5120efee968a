// The huevane tool: the pieces its commands share (the option parser is
// seen through the table of command lines); the tool run as a user runs it,
// the table of command lines in tests/data/cli, then one test per command
// whose results must equal the library's or whose pictures must hold what
// they show.
// GCC 12 warns falsely about the std::function inside <regex>'s automaton.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "api/colortags.h"
#include "args.h"
#include "batch.h"
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
std::vector<BYTE> Pixels(const std::string& path) { return tfix::Pixels(hvio::OwnedDib(Read(path)).get()); }
// The pixel (x, y from the top left) of a 24-bit image, and a colour, as blue, green, red.
std::vector<int> PixelAt(void* dib, int x, int y) {
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[static_cast<size_t>(v.height() - 1 - y)] + 3 * x;
    return {p[0], p[1], p[2]};
}
std::vector<int> Bgr(const tagRGBQUAD& c) { return {c.rgbBlue, c.rgbGreen, c.rgbRed}; }
const std::vector<int> kWhite = {255, 255, 255}, kInk = {40, 40, 40};
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

// A theme as the style functions take it.
std::vector<char> Saved(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int n = t.SaveToBuf(buf);
    std::vector<char> out(buf, buf + (n < 0 ? 0 : n + 4));
    t.FreeDataBuf(buf);
    return out;
}

}  // namespace

TEST(CliArgs, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(hvcli::JsonString(""), "\"\"");
    EXPECT_EQ(hvcli::JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(hvcli::JsonString(std::string("\x01\n\x1f ", 4)), "\"\\u0001\\u000a\\u001f \"");
    EXPECT_EQ(hvcli::JsonString("caf\xc3\xa9 /x"), "\"caf\xc3\xa9 /x\"");  // UTF-8 and slash as they are
}

TEST(BatchProgress, BarCountsRateAndTimeLeft) {
    for (const auto& c : tool::Rows("progress_lines.txt")) {
        int done = 0, total = 0;
        double seconds = 0;
        std::istringstream(c.at(0)) >> done >> total >> seconds;
        EXPECT_EQ(hvcli::FormatProgress(done, total, seconds), c.at(1));
    }
}

// Images are found by content, whatever their names (a PNG signature needs
// all 8 bytes, a JPEG one 3); results keep the subfolders and take the
// suffix and the format's extension, or the one forced; no result may
// replace an input or another result.
TEST(BatchCollect, NamesResultsByContentAndRefusesClashes) {
    const std::string top = Temp("walk"), dir = tool::Folder(top + "/sub"), out = Temp("out");
    const std::string png("\x89PNG\r\n\x1a\n", 8);
    Write(top + "/b.png", png);
    Write(top + "/a.txt", "\xff\xd8\xff");
    Write(top + "/short.png", png.substr(0, 7));
    Write(top + "/soi.jpg", "\xff\xd8");
    Write(dir + "/c", "BM");
    Write(dir + "/d.bmp", "B");
    symlink("../b.png", (dir + "/link.png").c_str());
    symlink("missing.jpg", (top + "/dangling.jpg").c_str());
    symlink("..", (dir + "/up").c_str());  // a loop, noted once
    int skipped = -1;
    Words outputs, notes;
    for (const auto& job : hvcli::CollectJobs({top}, out, "-x", "", &skipped, &notes))
        outputs.push_back(job.output + job.error.substr(0, 12));
    EXPECT_EQ(outputs, (Words{out + "/a-x.jpg", out + "/b-x.png", "cannot read:", out + "/sub/c-x.bmp",
                              out + "/sub/link-x.png"}));
    EXPECT_EQ(skipped, 3);
    EXPECT_EQ(notes, Words{dir + "/up: skipped, a folder already searched (a link loop or a second link)"});
    const auto jobs =
        hvcli::CollectJobs({top + "/b.png", top + "/a.txt", dir + "/../a.txt", top + "/nothing"}, top + "/",
                           "", ".png", nullptr, nullptr);
    const Words want[] = {{"", "would replace an input"},
                          {top + "/a.png", ""},
                          {"", "the result of another input"},
                          {"", "cannot read: No such file"}};
    ASSERT_EQ(jobs.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(jobs[i].output, want[i][0]);
        EXPECT_TRUE(Contains(jobs[i].error, want[i][1]) && jobs[i].error.empty() == want[i][1].empty())
            << jobs[i].error;
    }
    tool::RemoveTree(top);
}

// Jobs finish out of order on several threads; the results still come in
// job order, failures go to stderr, and the exit code says whether any failed.
TEST(BatchRun, PrintsInJobOrderWhateverTheThreads) {
    std::vector<hvcli::BatchJob> jobs = {
        {"in0", "out0", ""}, {"in1", "out1", ""}, {"in2", "", "unreadable \"2\""}};
    jobs.push_back({"in3", "out3", ""});
    std::atomic<int> calls{0};
    auto work = [&](const hvcli::BatchJob& j) {
        ++calls;
        std::this_thread::sleep_for(
            std::chrono::milliseconds(10 * ('4' - j.input[2])));  // later jobs end first
        if (j.input == "in1") throw std::runtime_error("broken image");
        return hvcli::BatchResult{true, j.input + " -> " + j.output, "{\"input\": \"" + j.input + "\"}", ""};
    };
    for (const int threads : {1, 3, 50}) {
        calls = 0;
        hvcli::BatchOptions options{"restyle", threads, false, threads == 3, 3, "restyled"};
        ::testing::internal::CaptureStdout();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(hvcli::RunBatch(jobs, options, work), 1) << threads;
        const std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(),
                  "huevane restyle: in1: broken image\nhuevane restyle: in2: unreadable \"2\"\n");
        EXPECT_EQ(calls, 3) << "the job that failed while collecting is not run";
        if (options.json) {
            EXPECT_EQ(
                out,
                "{\"files\": [\n  {\"input\": \"in0\"},\n  {\"input\": \"in1\", \"error\": \"broken image\"},"
                "\n  {\"input\": \"in2\", \"error\": \"unreadable \\\"2\\\"\"},\n  {\"input\": \"in3\"}\n],"
                " \"done\": 2, \"failed\": 2, \"skipped\": 3}\n");
        } else {
            EXPECT_EQ(out.substr(0, 50), "in0 -> out0\nin3 -> out3\nrestyled 2 of 4 images in ");
            EXPECT_EQ(out.substr(out.find(" at once)")),
                      " at once), 2 failed, 3 files skipped (not images)\n");
        }
    }
    // All good, or nothing to do, is no failure.
    jobs.resize(1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch(jobs, {}, work), 0);
    EXPECT_EQ(hvcli::RunBatch({}, {}, work), 0);
    ::testing::internal::GetCapturedStdout();
}

TEST(HuevaneTool, VersionHelpAndTheTableOfCommandLines) {
    tool::Run r = Huevane({"--version"});
    EXPECT_TRUE(r.code == 0 && std::regex_match(r.out, std::regex("huevane [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << r.out;
    const std::string help = Huevane({"--help"}).out;  // a one-line summary of every command
    for (const std::string name : {"reduce", "restyle", "theme", "tags", "card", "library", "edit"})
        EXPECT_TRUE(std::regex_search(help, std::regex("\n  " + name + " +\\S.*\n"))) << name << help;
    for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "{\"a\": 1,}", "\"a\tb\"", "1.", "{} {}", "[1 2]"})
        EXPECT_FALSE(ValidJson(bad)) << bad;
    EXPECT_TRUE(ValidJson("{\"a\": [1, -2.5, \"x\\n\\u00e9\", true, null], \"b\": {}}"));

    const std::pair<std::string, std::string> names[] = {{"@cat", kCat},
                                                         {"@coffee", kCoffee},
                                                         {"@small", kSmall},
                                                         {"@cups", kCups},
                                                         {"@card", kCard},
                                                         {"@list", kList},
                                                         {"@script", kScript},
                                                         {"@bad/", kData + "/imageio/"},
                                                         {"@data/", kData + "/cli/"},
                                                         {"@tmp/", Temp("")}};
    auto expand = [&](std::string text) {
        for (const auto& [name, path] : names)
            for (size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), path);
        std::replace(text.begin(), text.end(), '~', ' ');
        return text == "''" ? "" : text;
    };
    const std::vector<Words> rows = tool::Rows("command_lines.txt");
    EXPECT_GT(rows.size(), 90u);
    for (const Words& row : rows) {
        Words args;
        std::istringstream words(row.at(1));
        for (std::string w; words >> w;) args.push_back(expand(w));
        r = Huevane(args);
        const int code = std::stoi(row[0]);
        EXPECT_EQ(r.code, code) << row[1];
        EXPECT_TRUE(code ? r.out.empty() : !Contains(row[1], "--json") || ValidJson(r.out))
            << row[1] << r.out;
        for (size_t i = 2; i < row.size(); ++i)
            EXPECT_TRUE(Contains(code ? r.err : r.out, expand(row[i]))) << row[1] << "\n" << r.out << r.err;
    }
    EXPECT_TRUE(Slurp(Temp("never.png")).empty() && Slurp(Temp("never.ccs")).empty());
    std::system(("rm -rf '" + Temp("") + "'*").c_str());
}

TEST(ReduceCommand, ReportsThePsnrOfThePaletteImageItWrites) {
    const std::string out = Temp("cat.png"), pair = Temp("pair.jpg");
    const tool::Run r = Huevane({"reduce", kCat, "-o", out, "--side-by-side", pair});
    const size_t at = r.out.find("PSNR ");
    ASSERT_TRUE(r.code == 0 && r.err.empty() && at != std::string::npos) << r.out << r.err;
    EXPECT_EQ(Slurp(out).at(25), 3) << "a palette PNG";
    hvio::OwnedDib reduced(Read(out)), original(Read(kCat)), both(Read(pair));
    EXPECT_NEAR(hvio::Psnr(original.get(), reduced.get()), std::atof(r.out.c_str() + at + 5), 0.01);
    EXPECT_EQ(Size(both.get()), (451 + 8 + 451) * 1000 + 300);
    std::remove(out.c_str());
    std::remove(pair.c_str());
}

TEST(RestyleCommand, RecoloursLikeTheLibraryKeepsRegionsAndComposes) {
    const std::string out = Temp("cat.bmp"), ccs = Temp("coffee.ccs"), byTheme = Temp("theme.bmp");
    const std::string kept = Temp("kept.bmp"), compose = Temp("compose.png");
    ASSERT_EQ(Huevane({"restyle", kCat, kCoffee, "-o", out}).code, 0);
    hvio::OwnedDib want(Read(kCat)), style(Read(kCoffee));
    AdjustImageStyle(want.get(), tfix::StyleOf(style.get()).data(), nullptr);
    const std::vector<BYTE> whole = Pixels(out), first = Pixels(kCat);
    EXPECT_EQ(whole, tfix::Pixels(want.get()));
    // A saved theme file restyles as the image it was made from does.
    ASSERT_EQ(Huevane({"theme", kCoffee, "-o", ccs}).code, 0);
    ASSERT_EQ(Huevane({"restyle", kCat, ccs, "-o", byTheme}).code, 0);
    EXPECT_EQ(Pixels(byTheme), whole);

    // Kept regions: the cat's nose, a rectangle, and a band clipped at the top.
    const tool::Run r = Huevane({"restyle", kCat, kCoffee, "-o", kept, "--keep",
                                 kData + "/cli/regions_kept.txt", "--compose", compose});
    EXPECT_TRUE(r.code == 0 && Contains(r.out, "method 2, 2 regions kept")) << r.out << r.err;
    std::vector<BYTE> mixed = whole;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 451; ++x)
            if ((y >= 20 && y < 40 && x >= 10 && x <= 30) || y < 3)
                std::copy_n(&first[(static_cast<size_t>(299 - y) * 451 + x) * 3], 3,
                            &mixed[(static_cast<size_t>(299 - y) * 451 + x) * 3]);
    EXPECT_TRUE(Pixels(kept) == mixed);
    // Target, style and result at 320 pixels high on white, 16 apart.
    hvio::OwnedDib picture(Read(compose)), before(Read(kCat)), after(Read(kept));
    EXPECT_EQ(Size(picture.get()), (16 + 481 + 16 + 480 + 16 + 481 + 16) * 1000 + 16 + 320 + 8 + 28 + 16);
    EXPECT_EQ(PixelAt(picture.get(), 0, 0), kWhite);
    for (const int xy : {0, 150, 299}) {
        EXPECT_EQ(PixelAt(picture.get(), 16 + xy, 16 + xy),
                  PixelAt(before.get(), xy * 451 / 481, xy * 300 / 320));
        EXPECT_EQ(PixelAt(picture.get(), 1009 + xy, 16 + xy),
                  PixelAt(after.get(), xy * 451 / 481, xy * 300 / 320));
    }
    for (const std::string& f : {out, ccs, byTheme, kept, compose}) std::remove(f.c_str());
}

TEST(ThemeCommand, ListsAndDrawsEachExtractionLikeTheLibrary) {
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    hvio::OwnedDib photo(Read(kCoffee));
    const std::string compare = Temp("compare.png");
    const tool::Run r = Huevane({"theme", kCoffee, "--compare", compare, "--card", kCard});
    ASSERT_EQ(r.code, 0) << r.err;
    // The photo with the bar of each extraction under it, labelled: margins
    // 12, labels 132 wide, bars 28 high with gaps of 8.
    hvio::OwnedDib picture(Read(compare));
    ASSERT_EQ(Size(picture.get()), (12 + 132 + 600 + 12) * 1000 + 12 + 400 + 5 * 36 + 12);
    for (int xy : {0, 123, 399})
        EXPECT_EQ(PixelAt(picture.get(), 144 + xy, 12 + xy), PixelAt(photo.get(), xy, xy));
    EXPECT_EQ(PixelAt(picture.get(), 100, 12 + 400 + 2), kWhite);
    const std::string methods[] = {"default", "g", "d", "cg", "q"};
    for (int k = 0; k < 5; ++k) {
        // The library's theme by this method: as many pockets as the JSON
        // lists, the largest first in the bar.
        ccColorPocketArray lib;
        lib.SetPalDib(DecreaseBpp24to8(photo.get()), true);
        int cardIndex[256] = {-1};
        ASSERT_EQ(k == 0   ? lib.GetColorPockets()
                  : k == 1 ? lib.GetColorPocketsG()
                  : k == 2 ? lib.GetColorPocketsD()
                  : k == 3 ? lib.GetColorPocketsCG(&card, cardIndex)
                           : lib.GetColorPocketsQ(),
                  0);
        lib.SortOnPercentage();
        Words args = {"theme", kCoffee, "--extract", methods[k], "--json", "--card", kCard};
        args.resize(k == 3 ? 7 : 5);
        EXPECT_EQ(Count(Huevane(args).out, "\"index\""), lib.pockets.GetSize()) << methods[k];
        const int top = 12 + 400 + 8 + k * 36;
        EXPECT_EQ(PixelAt(picture.get(), 144, top + 14), Bgr(lib.pockets[0]->aveRGB)) << methods[k];
        int ink = 0;  // the label, left of the bar
        for (int y = top; y < top + 28; ++y)
            for (int x = 12; x < 140; ++x) ink += PixelAt(picture.get(), x, y)[0] < 100;
        EXPECT_GT(ink, 20) << methods[k];
    }
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
        const std::string name = hv::ColorTagName(c.rgbReserved);
        char rgb[80], share[20];
        std::snprintf(rgb, sizeof rgb, "\"#%02x%02x%02x\", \"rgb\": [%d, %d, %d]", c.rgbRed, c.rgbGreen,
                      c.rgbBlue, c.rgbRed, c.rgbGreen, c.rgbBlue);
        std::snprintf(share, sizeof share, "%5.1f%%\n", 100.0 * tags.entries[i].share);
        EXPECT_TRUE(Contains(json.out, "\"name\": \"" + name + "\", \"color\": " + rgb)) << rgb << json.out;
        EXPECT_TRUE(Contains(text.out, "\n  " + name) && Contains(text.out, share)) << text.out;
    }
    FreeThemeStruct(&tags);

    // The whole card when more samples are asked for than it has.
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    std::vector<int> order(1000);
    std::vector<double> distance(1000);
    const int found = card.GetNearestSamplesByWeight({40, 30, 200, 0}, order.data(), distance.data(), 1000);
    ASSERT_EQ(found, card.samples.GetSize());
    const tool::Run all = Huevane({"card", kCard, "#C81e28", "--count=1000", "--json"});
    EXPECT_EQ(Count(all.out, "\"index\""), found) << all.out;
    EXPECT_TRUE(Contains(all.out, "\"color\": \"#c81e28\", \"rgb\": [200, 30, 40]")) << all.out;
    for (int i = 0; i < found; ++i) {
        const std::string name = card.samples[order[i]]->name;
        char entry[200];
        std::snprintf(entry, sizeof entry, "{\"index\": %d, \"name\": \"%s\", ", order[i], name.c_str());
        EXPECT_TRUE(Contains(all.out, entry)) << entry;
        std::snprintf(entry, sizeof entry, ", \"distance\": %.4f}", distance[i]);
        EXPECT_TRUE(Contains(all.out, entry)) << entry;
    }
}

TEST(LibraryCommand, DrawsAddsAndLendsItsThemesToRestyle) {
    const std::string dir = tool::Folder(Temp("lib")), sheet = dir + "/sheet.bmp";
    ASSERT_EQ(Huevane({"library", kScript, "--sheet", sheet}).code, 0);
    // A title, then a row of 72 per theme: its bar at 252, 16 down, its
    // thumbnail at 584, 4 down.
    hvio::OwnedDib drawn(Read(sheet));
    EXPECT_EQ(ipDibStuff(drawn.get(), false).height(), 40 + 7 * 72 + 12);
    EXPECT_EQ(PixelAt(drawn.get(), 12, 12), kInk);  // the top of the title's P
    ccColorPocketArrayArray photos;
    photos.LoadFromScriptFile(kScript.c_str());
    EXPECT_EQ(PixelAt(drawn.get(), 252, 40 + 16 + 39), Bgr(photos.themes[0]->pockets[0]->aveRGB));
    ipDibStuff thumbnail(photos.themes[0]->palDib, false);
    EXPECT_EQ(PixelAt(drawn.get(), 584, 44),
              Bgr(thumbnail.colors[thumbnail.rows[thumbnail.height() - 1][0]]));

    // Adding a photo writes its thumbnail, its theme file and its line.
    Write(dir + "/s.txt", "[Version]\n1\n[Examples]\n");
    tool::Run r = Huevane({"library", dir + "/s.txt", "--add", kCat, "--tags", "#cat"});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Slurp(dir + "/s.txt"), "[Version]\n1\n[Examples]\nchelsea\tchelsea.bmp\t#cat\n");
    ccColorPocketArray stored;
    ASSERT_EQ(stored.LoadFromFile((dir + "/chelsea.bmp.ccs").c_str()), 0);
    ccColorPocketArrayArray added;
    added.LoadFromScriptFile((dir + "/s.txt").c_str());
    ASSERT_EQ(added.themes.GetSize(), 1);
    EXPECT_EQ(Size(added.themes[0]->palDib), 256 * 1000 + 300 * 256 / 451);

    // restyle takes a theme of a list by name or position (Glacier is the
    // fourth) as the library's road gives it.
    ccColorPocketArrayArray lib;
    ASSERT_EQ(lib.LoadColorThemes(kList.c_str(), false), 12);
    ASSERT_EQ(lib.themes[3]->name, "Glacier");
    hvio::OwnedDib want(Read(kCat));
    AdjustImageStyle(want.get(), Saved(*lib.themes[3]).data(), nullptr);
    for (const char* which : {"Glacier", "3"}) {
        r = Huevane({"restyle", kCat, "--style-library", kList, "--theme", which, "-o", dir + "/out.bmp"});
        EXPECT_TRUE(r.code == 0 && Pixels(dir + "/out.bmp") == tfix::Pixels(want.get())) << which << r.err;
    }
    tool::RemoveTree(dir);
}

// A folder of inputs: two good images (one in a subfolder under a name that
// hides its format), a truncated PNG and a text file.
TEST(BatchCommand, RestyleGoesOnPastBadFilesAndGivesTheSingleFormsBytes) {
    const std::string top = Temp("in"), sub = tool::Folder(top + "/sub"), out = Temp("out") + "/deeper/";
    const std::string single = Temp("single.bmp");
    Write(top + "/coffee.bmp", Slurp(kSmall));
    Write(sub + "/cups.data", Slurp(kData + "/transfer/autumn_256.bmp"));
    Write(top + "/broken.png", Slurp(kCat).substr(0, 30000));
    Write(top + "/notes.txt", "not a picture\n");
    const tool::Run r = Huevane({"restyle", top, kCups, "-o", out, "-j", "3", "--quiet"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "broken.png: cannot decode PNG") && !Contains(r.err, "notes.txt")) << r.err;
    EXPECT_TRUE(Contains(r.out, "restyled 2 of 3 images") && Contains(r.out, ", 1 failed, 1 file skipped"))
        << r.out;
    EXPECT_LT(r.out.find("coffee.bmp:"), r.out.find("sub/cups.data:")) << r.out;  // in name order
    // The folders kept, the format by content, the bytes of the single form.
    for (const auto& [input, result] :
         {std::pair{"/coffee.bmp", "coffee.bmp"}, {"/sub/cups.data", "sub/cups.bmp"}}) {
        ASSERT_EQ(Huevane({"restyle", top + input, kCups, "-o", single}).code, 0);
        EXPECT_EQ(Slurp(out + result), Slurp(single)) << result;
    }
    EXPECT_TRUE(Slurp(out + "broken.png").empty());

    // On a terminal (through script(1)) the progress bar is drawn on stderr,
    // and --quiet turns it off.
    if (std::system("command -v script >/dev/null 2>&1") == 0)
        for (const bool quiet : {false, true}) {
            const std::string run = "\"" HUEVANE_CLI_BINARY "\" reduce '" + kSmall + "' '" + kCups +
                                    "' -o '" + out + "'" + (quiet ? " --quiet" : "");
            ASSERT_EQ(std::system(("script -qec \"" + run + "\" /dev/null >'" + single + "'").c_str()), 0);
            const std::string text = Slurp(single);
            EXPECT_TRUE(Contains(text, "reduced 2 of 2 images")) << text;
            EXPECT_EQ(Contains(text, "]  0/2"), !quiet) << text;  // the bar, drawn first at 0 of 2
        }
    for (const std::string& f : {top, Temp("out"), single}) tool::RemoveTree(f);
}

TEST(EditCommand, RunsAScriptLikeTheLibraryAndRestyleKeepsItsBackground) {
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs"), show = Temp("show.png");
    tool::Run r = Huevane({"edit", kSmall, kData + "/cli/every_edit.txt", "-o", out, "--show", show});
    ASSERT_EQ(r.code, 0) << r.err;
    // The same edits through the library (rows counted from the bottom there).
    hvio::OwnedDib image(Read(kSmall));
    ccColorPocketArray t;
    t.SetPalDib(DecreaseBpp24to8(image.get()), true);
    t.GetColorPockets();
    wStroke a = Stroke(2, {{10, 10}, {80, 60}, {150, 100}}), b = Stroke(0, {{5, 100}, {60, 40}});
    wStroke c = Stroke(1, {{140, 20}, {20, 20}, {20, 90}});
    dPointBuf pixels(c.GetMaxDiscretePointNum());
    std::vector<tagPOINT> cutPoints = {{5, 5}, {40, 30}, {80, 53}, {120, 80}, {155, 100}, {20, 90}};
    cPointsCut cut{cutPoints.data(), 6};
    tagRECT rect{0, 106 - 20, 30, 106},
        around{97, 106 - 98, 113, 106 - 87};  // the stroke's, pen 3 on every side
    ASSERT_EQ(t.NewPocket(&a), 0);
    t.pockets[t.pockets.GetSize() - 1]->selState = 256;
    ASSERT_TRUE(t.AddToSelFromStroke(&a) == 0 && t.DetachColor(&b) == 0);
    t.UnselectAll();
    ASSERT_TRUE(c.DiscreteToBuff(107, &pixels) == 0 && t.MergePocketOnStroke(&pixels) == 0);
    ASSERT_EQ(t.GetColorPocketsFromCut(&cut), 0);
    t.pockets[0]->selState = t.pockets[1]->selState = 256;
    ASSERT_GE(t.MergeSelectedPockets(), 0);
    ASSERT_TRUE(t.GetBackground(&rect) == 0 && t.GetBackground(&around) == 0);
    t.UnselectAll();
    t.pockets[1]->selState = 256;
    t.DelSelPockets();
    ccColorPocketArray saved;
    ASSERT_EQ(saved.LoadFromFile(out.c_str()), 0);
    EXPECT_EQ(Saved(saved), Saved(t));
    // The picture: the image and its highlighted form side by side, the bar
    // under them with the margin beside it white, all marked selected.
    hvio::OwnedDib picture(Read(show));
    EXPECT_EQ(ipDibStuff(picture.get(), false).width(), 160 + 8 + 160);
    EXPECT_EQ(PixelAt(picture.get(), 80, 53), PixelAt(image.get(), 80, 53));
    EXPECT_EQ(PixelAt(picture.get(), 0, 110), kWhite);
    EXPECT_EQ(PixelAt(picture.get(), 17, 107 + 28 + 4), kInk);

    // Restyled with an edited theme whose background is the top 41 rows,
    // those rows keep their colours and the others change.
    Write(script, "background 0,0 159,40\n");
    ASSERT_EQ(Huevane({"edit", kSmall, script, "-o", out}).code, 0);
    ASSERT_EQ(Huevane({"restyle", kSmall, kCups, "--target-theme", out, "-o", show}).code, 0);
    const std::vector<BYTE> before = tfix::Pixels(image.get()), after = Pixels(show);
    const size_t split = (107 - 41) * 480;  // bottom-up rows of 160 x 3 bytes
    EXPECT_TRUE(std::equal(before.begin() + split, before.end(), after.begin() + split));
    EXPECT_FALSE(std::equal(before.begin(), before.begin() + split, after.begin()));

    // Mistakes are reported by line and nothing is written.
    std::remove(out.c_str());
    for (Words row : tool::Rows("edit_mistakes.txt")) {
        for (size_t at; (at = row[0].find("\\n")) != std::string::npos;) row[0].replace(at, 2, "\n");
        Write(script, row[0] + "\n");
        r = Huevane({"edit", kSmall, script, "-o", out});
        EXPECT_TRUE(r.code == 1 && Contains(r.err, script + ":" + row.at(1))) << row[0] << r.err;
    }
    EXPECT_TRUE(Slurp(out).empty());
    for (const std::string& f : {script, out, show}) std::remove(f.c_str());
}
