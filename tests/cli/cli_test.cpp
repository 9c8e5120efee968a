// The huevane tool and its image files. The pieces its commands share (the
// option parser is seen through the table of command lines); image files:
// round trips through PNG, JPEG and BMP, the PNG colour types, every JPEG
// coding, damaged files and the reading limits; then the tool run as a user
// runs it: the table of command lines in tests/data/cli and one test per
// command whose results must equal the library's or whose pictures must
// hold what they show.
// GCC 12 warns falsely about the std::function inside <regex>'s automaton.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "api/colortags.h"
#include "args.h"
#include "batch.h"
#include "codecs.h"
#include "dib/dib.h"
#include "huevane/colorsystem.h"
#include "huevane/huevane.h"
#include "huevane/library.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "platform/memory.h"
#include "platform/workers.h"
#include "tool_run.h"
#include "transfer/transfer_fixtures.h"

using tool::Contains;
using tool::Huevane;
using tool::Slurp;
using tool::Temp;
using tool::Write;
using Words = std::vector<std::string>;
using Bytes = std::vector<unsigned char>;
using Bgr = std::vector<int>;  // blue, green, red

namespace {

const std::string kSamples = HUEVANE_SAMPLES, kData = HUEVANE_TEST_DATA;
// Photos of 451 x 300, 600 x 400 and 160 x 107 pixels, another style.
const std::string kCat = kSamples + "/chelsea.png", kCoffee = kSamples + "/coffee.png";
const std::string kSmall = kData + "/coffee_small.bmp", kCups = kData + "/transfer/cups_256.bmp";
const std::string kCard = kSamples + "/css-colours.txt", kList = kSamples + "/library/themes.txt";
const std::string kScript = kSamples + "/library/photos.txt";

void* Read(const std::string& path) {
    std::string error;
    void* dib = hvio::ReadImage(path, &error);
    EXPECT_NE(dib, nullptr) << error;
    return dib;
}
std::vector<BYTE> Pixels(const std::string& path) { return tfix::Pixels(hvio::OwnedDib(Read(path)).get()); }
Bgr BgrOf(const tagRGBQUAD& c) { return {c.rgbBlue, c.rgbGreen, c.rgbRed}; }
const Bgr kWhite = {255, 255, 255}, kInk = {40, 40, 40};
int Size(void* dib) { return ipDibStuff(dib, false).width() * 1000 + ipDibStuff(dib, false).height(); }
int Count(const std::string& text, const std::string& pattern) {
    const std::regex re(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), re), {}));
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

std::string Corpus(const std::string& name) { return kData + "/imageio/" + name; }

// The pixel at column x, row y from the top of a 24-bit DIB; none for
// another depth or no DIB.
Bgr At(void* dib, int x, int y) {
    if (!dib || !ipDibStuff(dib, false).is24()) return {};
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[v.height() - 1 - y] + 3 * x;
    return {p[0], p[1], p[2]};
}
bool Near(const Bgr& got, const Bgr& want, int tolerance) {
    for (size_t i = 0; i < got.size(); ++i)
        if (std::abs(got[i] - want[i]) > tolerance) return false;
    return got.size() == 3;
}

// A host DIB of `bits` with a table of `entries` entries, entry i being
// blue 10i, green 20i, red 30i; its pixels zero, or at 24 bits a gentle
// ramp, which JPEG keeps well.
void* MakeDib(int w, int h, int bits = 24, int entries = 0) {
    void* dib = GlobalAlloc(GHND, 40 + 4 * entries + hv::RowBytes(w, bits) * h);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    *hd = {40, w, h, 1, WORD(bits), BI_RGB, 0, 0, 0, DWORD(entries), 0};
    for (int i = 0; i < entries; ++i)
        reinterpret_cast<tagRGBQUAD*>(hd + 1)[i] = {BYTE(10 * i), BYTE(20 * i), BYTE(30 * i), 0};
    for (int y = 0; y < h && bits == 24; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = reinterpret_cast<BYTE*>(hd + 1) + hv::RowBytes(w, 24) * (h - 1 - y) + 3 * x;
            p[0] = BYTE(2 * x + y), p[1] = BYTE(3 * y), p[2] = BYTE(200 - x);
        }
    GlobalUnlock(dib);
    return dib;
}

// Hex digits two by two, anything else between them skipped.
Bytes Hex(const std::string& text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (std::isxdigit(text[i]) && std::isxdigit(text[i + 1]))
            out.push_back(static_cast<unsigned char>(std::stoi(text.substr(i++, 2), nullptr, 16)));
    return out;
}

// rrggbb words as pixels; the top row of a 24-bit DIB.
std::vector<Bgr> Colours(const std::string& text) {
    const Bytes b = Hex(text);
    std::vector<Bgr> out;
    for (size_t i = 0; i + 2 < b.size(); i += 3) out.push_back({b[i + 2], b[i + 1], b[i]});
    return out;
}
std::vector<Bgr> TopRow(void* dib, size_t width) {
    std::vector<Bgr> row;
    for (size_t x = 0; x < width; ++x) row.push_back(At(dib, static_cast<int>(x), 0));
    return row;
}

void Put(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}
void Chunk(Bytes& png, const char* type, const Bytes& data) {
    Put(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Put(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}
// A PNG built byte by byte; rows are scanlines without their filter byte.
Bytes Png(uint32_t w, uint32_t h, int depth, int type, const std::vector<Bytes>& rows, const Bytes& plte = {},
          const Bytes& trns = {}, bool interlaced = false) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr, raw;
    Put(ihdr, w);
    Put(ihdr, h);
    ihdr.insert(ihdr.end(), {BYTE(depth), BYTE(type), 0, 0, BYTE(interlaced)});
    Chunk(png, "IHDR", ihdr);
    if (!plte.empty()) Chunk(png, "PLTE", plte);
    if (!trns.empty()) Chunk(png, "tRNS", trns);
    for (const Bytes& r : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    uLongf len = compressBound(static_cast<uLong>(raw.size()));
    Bytes z(len);
    compress(z.data(), &len, raw.data(), static_cast<uLong>(raw.size()));
    z.resize(len);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

// A JPEG of the ramp made by libjpeg: progressive or sequential, Huffman
// or arithmetic coding, with a restart marker after every row of MCUs or none.
Bytes EncodeJpeg(int w, int h, bool progressive, bool arith, bool restarts) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    c.arith_code = arith ? TRUE : FALSE;
    c.restart_in_rows = restarts ? 1 : 0;
    jpeg_start_compress(&c, TRUE);
    hvio::OwnedDib dib(MakeDib(w, h));
    for (ipDibStuff v(dib.get(), false); c.next_scanline < c.image_height;) {
        JSAMPROW row = v.rows[h - 1 - c.next_scanline];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
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
    const std::string names[] = {"b.png", "a.txt", "short.png", "soi.jpg", "sub/c", "sub/d.bmp"};
    const std::string bytes[] = {png, "\xff\xd8\xff", png.substr(0, 7), "\xff\xd8", "BM", "B"};
    for (int i = 0; i < 6; ++i) Write(top + "/" + names[i], bytes[i]);
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
    outputs.clear();
    for (const auto& job :
         hvcli::CollectJobs({top + "/b.png", top + "/a.txt", dir + "/../a.txt", top + "/nothing"}, top + "/",
                            "", ".png", nullptr, nullptr))
        outputs.push_back(job.output + job.error);
    const std::string a = top + "/a.png";
    EXPECT_EQ(outputs, (Words{"its result '" + top + "/b.png' would replace an input", a,
                              "its result '" + a + "' would replace the result of another input",
                              "cannot read: No such file or directory"}));
    tool::RemoveTree(top);
}

// Jobs finish out of order on several threads; the results still come in
// job order, failures go to stderr, and the exit code says whether any failed.
TEST(BatchRun, PrintsInJobOrderWhateverTheThreads) {
    std::vector<hvcli::BatchJob> jobs = {
        {"in0", "out0", ""}, {"in1", "out1", ""}, {"in2", "", "unreadable \"2\""}, {"in3", "out3", ""}};
    std::atomic<int> calls{0};
    auto work = [&](const hvcli::BatchJob& j) {
        ++calls;
        // Later jobs end first.
        std::this_thread::sleep_for(std::chrono::milliseconds(10 * ('4' - j.input[2])));
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
    // Nothing to do is no failure (all done is, in the table of command lines).
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(hvcli::RunBatch({}, {}, work), 0);
    ::testing::internal::GetCapturedStdout();
}

TEST(HuevaneTool, VersionHelpAndTheTableOfCommandLines) {
    const std::regex version("huevane [0-9]+\\.[0-9]+\\.[0-9]+\n");
    EXPECT_TRUE(std::regex_match(Huevane({"--version"}).out, version));
    const std::string help = Huevane({"--help"}).out;  // a one-line summary of every command
    for (const std::string name : {"reduce", "restyle", "theme", "tags", "card", "library", "edit"})
        EXPECT_TRUE(std::regex_search(help, std::regex("\n  " + name + " +\\S.*\n"))) << name << help;
    for (const char* bad : {"", "{", "{\"a\" 1}", "[1,]", "{\"a\": 1,}", "\"a\tb\"", "1.", "{} {}", "[1 2]"})
        EXPECT_FALSE(ValidJson(bad)) << bad;

    const std::pair<std::string, std::string> names[] = {
        {"@samples/", kSamples + "/"}, {"@data/", kData + "/"}, {"@tmp/", Temp("")}};
    auto expand = [&](std::string text) {
        for (const auto& [name, path] : names)
            for (size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), path);
        std::replace(text.begin(), text.end(), '~', ' ');
        return text == "''" ? "" : text;
    };
    for (const Words& row : tool::Rows("command_lines.txt")) {
        Words args;
        std::istringstream words(row.at(1));
        for (std::string w; words >> w;) args.push_back(expand(w));
        const tool::Run r = Huevane(args);
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
    for (const std::string& f : {out, pair}) std::remove(f.c_str());
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
    EXPECT_EQ(At(picture.get(), 0, 0), kWhite);
    for (const int xy : {0, 150, 299}) {
        EXPECT_EQ(At(picture.get(), 16 + xy, 16 + xy), At(before.get(), xy * 451 / 481, xy * 300 / 320));
        EXPECT_EQ(At(picture.get(), 1009 + xy, 16 + xy), At(after.get(), xy * 451 / 481, xy * 300 / 320));
    }
    for (const std::string& f : {out, ccs, byTheme, kept, compose}) std::remove(f.c_str());
}

TEST(ThemeCommand, ListsAndDrawsEachExtractionLikeTheLibrary) {
    csColorSystem card;
    card.LoadFromFile(kCard.c_str());
    hvio::OwnedDib photo(Read(kCoffee));
    const std::string compare = Temp("compare.png");
    ASSERT_EQ(Huevane({"theme", kCoffee, "--compare", compare, "--card", kCard}).code, 0);
    // The photo with the bar of each extraction under it, labelled: margins
    // 12, labels 132 wide, bars 28 high with gaps of 8.
    hvio::OwnedDib picture(Read(compare));
    ASSERT_EQ(Size(picture.get()), (12 + 132 + 600 + 12) * 1000 + 12 + 400 + 5 * 36 + 12);
    for (int xy : {0, 123, 399}) EXPECT_EQ(At(picture.get(), 144 + xy, 12 + xy), At(photo.get(), xy, xy));
    EXPECT_EQ(At(picture.get(), 100, 12 + 400 + 2), kWhite);
    const std::string methods[] = {"default", "g", "d", "cg", "q"};
    int (ccColorPocketArray::*const plain[])() = {
        &ccColorPocketArray::GetColorPockets, &ccColorPocketArray::GetColorPocketsG,
        &ccColorPocketArray::GetColorPocketsD, nullptr, &ccColorPocketArray::GetColorPocketsQ};
    for (int k = 0; k < 5; ++k) {
        // The library's theme by this method: as many pockets as the JSON
        // lists, the largest first in the bar.
        ccColorPocketArray lib;
        lib.SetPalDib(DecreaseBpp24to8(photo.get()), true);
        int cardIndex[256] = {-1};
        ASSERT_EQ(k == 3 ? lib.GetColorPocketsCG(&card, cardIndex) : (lib.*plain[k])(), 0);
        lib.SortOnPercentage();
        Words args = {"theme", kCoffee, "--extract", methods[k], "--json", "--card", kCard};
        args.resize(k == 3 ? 7 : 5);
        EXPECT_EQ(Count(Huevane(args).out, "\"index\""), lib.pockets.GetSize()) << methods[k];
        const int top = 12 + 400 + 8 + k * 36;
        EXPECT_EQ(At(picture.get(), 144, top + 14), BgrOf(lib.pockets[0]->aveRGB)) << methods[k];
        int ink = 0;  // the label, left of the bar
        for (int y = top; y < top + 28; ++y)
            for (int x = 12; x < 140; ++x) ink += At(picture.get(), x, y)[0] < 100;
        EXPECT_GT(ink, 20) << methods[k];
    }
    std::remove(compare.c_str());
}

// tags and card print what the library gives, in text and in JSON.
TEST(TagsAndCardCommands, ListWhatTheLibraryFinds) {
    hvio::OwnedDib photo(Read(kCoffee));
    ColorThemeStruct tags = {0, nullptr};
    ASSERT_EQ(GetColorTags(photo.get(), &tags), 0);
    const tool::Run json = Huevane({"tags", kCoffee, "--json"});
    EXPECT_EQ(Count(Huevane({"tags", kCoffee}).out, "\n  "), tags.count);  // a line per family
    EXPECT_EQ(Count(json.out, "\"tag\""), tags.count) << json.out;
    for (int i = 0; i < tags.count; ++i) {
        const tagRGBQUAD c = tags.entries[i].color;
        const std::string name = hv::ColorTagName(c.rgbReserved);
        char rgb[120];
        std::snprintf(rgb, sizeof rgb, "\"#%02x%02x%02x\", \"rgb\": [%d, %d, %d], \"share\": %.6f}", c.rgbRed,
                      c.rgbGreen, c.rgbBlue, c.rgbRed, c.rgbGreen, c.rgbBlue, double(tags.entries[i].share));
        EXPECT_TRUE(Contains(json.out, "\"name\": \"" + name + "\", \"color\": " + rgb)) << rgb << json.out;
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
    EXPECT_EQ(At(drawn.get(), 12, 12), kInk);  // the top of the title's P
    ccColorPocketArrayArray photos;
    photos.LoadFromScriptFile(kScript.c_str());
    EXPECT_EQ(At(drawn.get(), 252, 40 + 16 + 39), BgrOf(photos.themes[0]->pockets[0]->aveRGB));
    ipDibStuff thumbnail(photos.themes[0]->palDib, false);
    EXPECT_EQ(At(drawn.get(), 584, 44), BgrOf(thumbnail.colors[thumbnail.rows[thumbnail.height() - 1][0]]));

    // Adding a photo writes its thumbnail, its theme file and its line.
    Write(dir + "/s.txt", "[Version]\n1\n[Examples]\n");
    ASSERT_EQ(Huevane({"library", dir + "/s.txt", "--add", kCat, "--tags", "#cat"}).code, 0);
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
        const tool::Run r =
            Huevane({"restyle", kCat, "--style-library", kList, "--theme", which, "-o", dir + "/out.bmp"});
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

    // On a terminal (through script(1)) the progress bar is drawn on stderr.
    if (std::system("command -v script >/dev/null 2>&1") == 0) {
        const std::string run =
            "\"" HUEVANE_CLI_BINARY "\" reduce '" + kSmall + "' '" + kCups + "' -o '" + out + "'";
        ASSERT_EQ(std::system(("script -qec \"" + run + "\" /dev/null >'" + single + "'").c_str()), 0);
        EXPECT_TRUE(Contains(Slurp(single), "]  0/2")) << Slurp(single);  // the bar, drawn first at 0 of 2
    }
    for (const std::string& f : {top, Temp("out"), single}) tool::RemoveTree(f);
}

TEST(EditCommand, RunsAScriptLikeTheLibraryAndRestyleKeepsItsBackground) {
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs"), show = Temp("show.png");
    ASSERT_EQ(Huevane({"edit", kSmall, kData + "/cli/every_edit.txt", "-o", out, "--show", show}).code, 0);
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
    // The rectangle, and the stroke's with pen 3 on every side.
    tagRECT rect{0, 106 - 20, 30, 106}, around{97, 106 - 98, 113, 106 - 87};
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
    EXPECT_EQ(At(picture.get(), 80, 53), At(image.get(), 80, 53));
    EXPECT_EQ(At(picture.get(), 0, 110), kWhite);
    EXPECT_EQ(At(picture.get(), 17, 107 + 28 + 4), kInk);

    // Restyled with an edited theme whose background is the top 41 rows,
    // those rows keep their colours and the others change.
    ASSERT_EQ(Huevane({"edit", kSmall, kData + "/cli/background_top.txt", "-o", out}).code, 0);
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
        const tool::Run r = Huevane({"edit", kSmall, script, "-o", out});
        EXPECT_TRUE(r.code == 1 && Contains(r.err, script + ":" + row.at(1))) << row[0] << r.err;
    }
    EXPECT_TRUE(Slurp(out).empty());
    for (const std::string& f : {script, out, show}) std::remove(f.c_str());
}

TEST(ImageIo, PngJpegAndBmpRoundTrips) {
    const std::string png = Temp("img.png"), jpg = Temp("photo.JPG"), bmp = Temp("img.bmp");  // any case
    hvio::OwnedDib dib(MakeDib(37, 23));  // odd width: padded rows
    std::string error;
    const long live = hv::LiveHandles();
    for (const std::string& path : {png, bmp}) {
        ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
        hvio::OwnedDib back(Read(path));
        EXPECT_EQ(GlobalSize(back.get()), 40u + 112 * 23);  // 37 x 3 bytes padded to 112
        EXPECT_TRUE(std::isinf(hvio::Psnr(dib.get(), back.get())));
    }
    // A photo of nine compression blocks (about 1 MB of rows each), more
    // than are made at once: the same file with one thread or three, at the
    // fast level and stored.
    hvio::OwnedDib tall(MakeDib(1000, 3000));
    for (int level : {1, 0}) {
        std::string files[2];
        for (int threads : {1, 3}) {
            hv::SetWorkerCount(threads);
            ASSERT_TRUE(hvio::WriteImage(tall.get(), png, &error, level)) << error;
            files[threads / 2] = tool::Slurp(png);
        }
        hv::SetWorkerCount(0);
        hvio::OwnedDib back(Read(png));
        EXPECT_TRUE(files[0] == files[1] && std::isinf(hvio::Psnr(tall.get(), back.get()))) << level;
    }
    // An 8-bit image: a palette PNG (PLTE right after the IHDR) that covers
    // every index in use: index 9 of a 4-entry table grows it to 10 (black).
    hvio::OwnedDib pal(MakeDib(3, 2, 8, 4));
    std::copy_n("\x09\x03\x01", 3, ipDibStuff(pal.get(), false).rows[1]);  // the top row; the bottom one is 0
    ASSERT_TRUE(hvio::WriteImage(pal.get(), png, &error)) << error;
    EXPECT_EQ(tool::Slurp(png).substr(25, 1), "\3");
    EXPECT_EQ(tool::Slurp(png).substr(33, 8), std::string("\0\0\0\x1EPLTE", 8));  // 3 x 10 bytes
    hvio::OwnedDib back(hvio::ReadImage(png, &error));
    EXPECT_EQ(TopRow(back.get(), 3), Colours("000000 5a3c1e 1e140a"));
    // JPEG comes back close.
    hvio::OwnedDib quad(MakeDib(64, 48));
    ASSERT_TRUE(hvio::WriteImage(quad.get(), jpg, &error)) << error;
    back.reset(hvio::ReadImage(jpg, &error));
    EXPECT_GT(hvio::Psnr(quad.get(), back.get()), 25.0) << error;
    // Grey and CMYK JPEGs: left-to-right ramps, white to black, yellow to blue.
    back.reset(hvio::ReadImage(Corpus("good_grey.jpg"), &error));
    EXPECT_TRUE(Near(At(back.get(), 0, 4), {255, 255, 255}, 6) && Near(At(back.get(), 15, 4), {0, 0, 0}, 6));
    back.reset(hvio::ReadImage(Corpus("good_cmyk.jpg"), &error));
    EXPECT_TRUE(Near(At(back.get(), 0, 4), {0, 255, 255}, 12) &&
                Near(At(back.get(), 15, 4), {255, 0, 0}, 12));
    back.reset(nullptr);
    EXPECT_EQ(hv::LiveHandles(), live);  // the library's own bitmap handles are freed
    for (const std::string& f : {png, jpg, bmp}) std::remove(f.c_str());
}

TEST(ImageIo, PngColourTypesAreExpandedToRgb) {
    for (const auto& c : tool::Rows("png_colour_types.txt")) {
        SCOPED_TRACE(c.at(0));
        std::istringstream head(c.at(1)), scanlines(c.at(2));
        uint32_t w = 0, h = 0;
        int depth = 0, type = 0, interlaced = 0;
        head >> w >> h >> depth >> type >> interlaced;
        std::vector<Bytes> rows;
        for (std::string line; std::getline(scanlines, line, '/');) rows.push_back(Hex(line));
        const Bytes png = Png(w, h, depth, type, rows, Hex(c.at(3)), Hex(c.at(4)), interlaced);
        std::string error;
        hvio::OwnedDib d(hvio::detail::DecodePng(png.data(), png.size(), &error));
        const std::vector<Bgr> top = Colours(c.at(5));
        EXPECT_EQ(TopRow(d.get(), top.size()), top) << error;
    }
}

TEST(ImageIo, EveryJpegCodingDecodes) {
    hvio::OwnedDib want(MakeDib(96, 96));
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);  // progressive, arithmetic-coded, with restarts by its bits
        const Bytes jpeg = EncodeJpeg(96, 96, k & 1, k & 2, k & 4);
        std::string error;
        hvio::OwnedDib got(hvio::detail::DecodeJpeg(jpeg.data(), jpeg.size(), &error));
        EXPECT_GT(hvio::Psnr(want.get(), got.get()), 30.0) << error;
    }
}

TEST(ImageIo, DamagedFilesAreRefusedWithAMessage) {
    // Every file of the corpus but the good ones, each refused with a message
    // that names it and says why (in the table's words where it gives them).
    std::map<std::string, std::string> reasons;
    for (const auto& row : tool::Rows("imageio_refusals.txt")) reasons[row.at(0)] = row.at(1);
    std::set<std::string> names = {"no_such_file.png", ""};
    DIR* dir = opendir(Corpus("").c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.' && std::strncmp(e->d_name, "good_", 5) &&
            std::strcmp(e->d_name, "make_corpus.py"))
            names.insert(e->d_name);
    closedir(dir);
    EXPECT_EQ(names.size(), 23u);
    const long live = hv::LiveHandles();
    for (const std::string& name : names) {
        std::string error;
        EXPECT_EQ(hvio::ReadImage(Corpus(name), &error), nullptr) << name;
        EXPECT_TRUE(Contains(error, name) && Contains(error, reasons[name])) << error;
        EXPECT_GT(error.size(), name.size() + 10) << error;  // names the file and says why
    }
    EXPECT_EQ(hvio::ReadImage(Corpus("random.bin"), nullptr), nullptr);  // no message wanted
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ImageIo, RefusedWritesAndPsnr) {
    hvio::OwnedDib a(MakeDib(6, 4)), b(MakeDib(6, 4));
    ipDibStuff(b.get(), false).rows[0][0] ^= 1;  // one sample of 72 off by one
    EXPECT_NEAR(hvio::Psnr(a.get(), b.get()), 10 * std::log10(255.0 * 255.0 * 72), 1e-9);
    std::string error;
    EXPECT_FALSE(hvio::WriteImage(nullptr, Temp("null.bmp"), &error));
    ipDibStuff(a.get(), false).header->biHeight = 400;  // more rows than the handle holds
    EXPECT_FALSE(hvio::WriteImage(a.get(), Temp("liar.png"), &error));
    EXPECT_TRUE(tool::Slurp(Temp("liar.png")).empty());
}

TEST(ImageIo, PixelLimitMemoryLimitAndPlausibility) {
    // The images of tests/data/cli/pixel_limits.txt, those of 1000 x 1000
    // made of zero bytes, enough for the rows of all 7 passes.
    const std::map<std::string, Bytes> files = {
        {"flat.png", Png(1000, 1000, 1, 0, std::vector<Bytes>(1000, Bytes(125, 0)), {}, {0, 0})},
        {"laced.png", Png(1000, 1000, 1, 0, std::vector<Bytes>(1000, Bytes(250, 0)), {}, {0, 0}, true)},
        {"sequential.jpg", EncodeJpeg(256, 256, false, false, false)},
        {"progressive.jpg", EncodeJpeg(256, 256, true, false, false)}};
    for (const auto& c : tool::Rows("pixel_limits.txt")) {
        const Bytes& file = files.at(c.at(0));
        const long long limit = std::stoll(c.at(1));
        const bool png = file[0] == 0x89;
        std::string error;
        hvio::OwnedDib got(png ? hvio::detail::DecodePng(file.data(), file.size(), &error, limit)
                               : hvio::detail::DecodeJpeg(file.data(), file.size(), &error, limit));
        EXPECT_TRUE(c.at(2) == "-" ? got.get() != nullptr : !got.get() && Contains(error, c[2]))
            << c[1] << error;
        // A transparent pixel is white.
        EXPECT_TRUE(!png || !got.get() || At(got.get(), 999, 999) == (Bgr{255, 255, 255}));
    }
}

TEST(ImageIo, OneSixteenAndThirtyTwoBitDibsConvertToRgb) {
    for (const auto& c : tool::Rows("dib_depths.txt")) {
        const int bits = std::stoi(c.at(0));
        const Bytes row = Hex(c.at(1));
        const std::vector<Bgr> want = Colours(c.at(2));
        hvio::OwnedDib dib(MakeDib(static_cast<int>(want.size()), 1, bits, bits == 1 ? 2 : 0));
        std::memcpy(static_cast<BYTE*>(GlobalLock(dib.get())) + 40 + (bits == 1 ? 8 : 0), row.data(),
                    row.size());
        GlobalUnlock(dib.get());
        std::string error;
        hvio::OwnedDib rgb(hvio::ToRgb24(dib.get(), &error));
        EXPECT_EQ(TopRow(rgb.get(), want.size()), want) << bits << error;
    }
}
