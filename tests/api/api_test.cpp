// The flat functions on host images and the test photos: style extraction,
// the colour list of a style buffer, neighbour counts, colour tags, and
// style application with lent forms, backups, pairings and regions.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <numeric>

#include "api/colortags.h"
#include "cli/tool_run.h"
#include "transfer/transfer_fixtures.h"

using tfix::Copy;
using tfix::Pixels;
using Bytes = std::vector<unsigned char>;

namespace {

tagRGBQUAD Rgb(uint32_t rgb) { return {BYTE(rgb), BYTE(rgb >> 8), BYTE(rgb >> 16), 0}; }

// A host DIB (GlobalAlloc, freed with the object) of w x h at 8, 16, 24 or
// 32 bits. px(x, y), y counting memory rows, gives an index at 8 bits (into
// a table of `entries` colours, black where `table` is short) and the pixel's
// bytes otherwise (0xRRGGBB at 24 bits); all pixels are 0 without px.
struct Host {
    void* h;
    Host(int w, int height, int bits, std::function<uint32_t(int, int)> px,
         std::vector<tagRGBQUAD> table = {}, int entries = 256) {
        entries = bits == 8 ? entries : 0;
        const size_t stride = (w * bits / 8 + 3) / 4 * 4, head = sizeof(BITMAPINFOHEADER) + 4 * entries;
        h = GlobalAlloc(GHND, head + stride * height);
        auto* b = static_cast<BYTE*>(GlobalLock(h));
        *reinterpret_cast<BITMAPINFOHEADER*>(b) = {
            sizeof(BITMAPINFOHEADER), w, height, 1, WORD(bits), BI_RGB, 0, 0, 0, DWORD(entries), 0};
        table.resize(entries);
        std::copy(table.begin(), table.end(), reinterpret_cast<tagRGBQUAD*>(b + sizeof(BITMAPINFOHEADER)));
        for (int y = 0; px && y < height; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < bits / 8; ++k)
                    b[head + y * stride + x * bits / 8 + k] = BYTE(px(x, y) >> 8 * k);
        GlobalUnlock(h);
    }
    ~Host() { GlobalFree(h); }
};

uint32_t Noise(int x, int y) { return uint32_t(x * 2654435761u ^ y * 40503u); }

Bytes Fetched() {
    Bytes v(1 << 16);
    v.resize(std::max(FetchStyle(v.data()), 0));
    return v;
}

Bytes Preprocessed(void* dib) {
    char* buf = nullptr;
    uint32_t len = 0;
    if (Preprocess(dib, &buf) == 0) std::memcpy(&len, buf, 4);
    Bytes v(buf, buf + (buf ? len + 4 : 0));
    FreeStyleBuf(buf);
    return v;
}

}  // namespace

// Runs first in this program's style tests: no style buffer exists yet;
// other depths give the empty style; GenStyle then FetchStyle equals
// Preprocess and leaves no DIB behind; a failure keeps the style.
TEST(StyleFunctions, EmptyStyleGenStyleFetchStyleAndPreprocess) {
    Bytes dest(64, 0xAB);
    EXPECT_TRUE(FetchStyle(dest.data()) == -1 && dest == Bytes(64, 0xAB));  // nothing written
    EXPECT_EQ(Preprocess(nullptr, nullptr), -1);
    Bytes empty = {46, 0, 0, 0, 'C', 'C', 21, 0, 0, 0};
    empty.resize(50, 0);
    Host dib32(8, 4, 32, Noise);
    EXPECT_EQ(GenStyle(dib32.h), 50);
    EXPECT_EQ(Fetched(), empty);
    EXPECT_EQ(Preprocessed(dib32.h), empty);
    // No image gives the empty style (50), no destination nothing (-1).
    EXPECT_EQ(GenStyle(nullptr) + FetchStyle(nullptr), 49);
    void* photo = tfix::Photo("cups_256.bmp");
    Host indexed(64, 48, 8, Noise, std::vector<tagRGBQUAD>(256, Rgb(0x3C6E9B)));
    for (void* dib : {indexed.h, photo}) {
        tfix::NoLeak noLeak;
        const int len = GenStyle(dib);
        ASSERT_GT(len, 50 + 5120);  // a full palette and some pockets
        const Bytes fetched = Fetched();
        ASSERT_EQ(static_cast<int>(fetched.size()), len);
        EXPECT_EQ(Preprocessed(dib), fetched);  // read by its length field, L = len - 4
    }
    hv::FreeHandle(photo);
    // A 24-bit header whose pixels are missing cannot be reduced: the
    // previous style stays, the caller's pointer is not written.
    const Bytes last = Fetched();
    void* cut = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 10);
    *static_cast<BITMAPINFOHEADER*>(GlobalLock(cut)) = {
        sizeof(BITMAPINFOHEADER), 100, 100, 1, 24, 0, 0, 0, 0, 0, 0};
    GlobalUnlock(cut);
    tfix::NoLeak noLeak;
    EXPECT_EQ(GenStyle(cut), -1);
    EXPECT_EQ(Fetched(), last);
    char mark = 0, *out = &mark;
    EXPECT_EQ(Preprocess(cut, &out), -1);
    EXPECT_EQ(out, &mark);
    GlobalFree(cut);
}

TEST(ThemeStruct, ListsThePocketsOfABufferAndFreesThem) {
    // Each pocket's colour (reserved byte 0) and share, in the buffer's order.
    ccColorPocketArray theme;
    for (int i = 0; i < 4; ++i)
        tfix::Add(theme, i * 60, 200, 100, 10, 0.1f * (4 - i))->aveRGB.rgbReserved = 9;
    char* buf = nullptr;
    ASSERT_GT(theme.SaveToBuf(buf), 0);
    ColorThemeStruct s;
    ASSERT_EQ(GetColorThemeStruct(&s, buf), 0);
    theme.FreeDataBuf(buf);
    ASSERT_EQ(s.count, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RgbWord(s.entries[i].color), RgbWord(theme.pockets[i]->aveRGB) & 0xFFFFFF) << i;
        EXPECT_EQ(s.entries[i].share, theme.pockets[i]->percentage) << i;
    }
    FreeThemeStruct(&s);
    EXPECT_EQ(s.count + !!s.entries, 0);
    FreeThemeStruct(&s);  // again: nothing happens
    FreeThemeStruct(nullptr);
    // A null or malformed buffer gives an empty, allocated list (the
    // sanitizers check that it is released).
    char bad[16] = {12};  // claims 12 bytes of theme, holds zeros
    for (char* b : {static_cast<char*>(nullptr), bad}) {
        ASSERT_EQ(GetColorThemeStruct(&s, b), 0);
        EXPECT_TRUE(s.count == 0 && s.entries != nullptr);
        FreeThemeStruct(&s);
    }
    EXPECT_EQ(GetColorThemeStruct(nullptr, nullptr), -1);
}

TEST(ThemeStruct, NeighbourTableCountsAdjacentPocketPairs) {
    // Red on the left half, blue on the right, 4 x 2 pixels: 6 horizontal
    // and 4 vertical pairs, 2 counts each, in a table cleared first; at 24
    // bits through the reduced image, released again.
    tfix::NoLeak noLeak;
    Host dib8(4, 2, 8, [](int x, int) { return x < 2 ? 0 : 1; }, {Rgb(0xFF0000), Rgb(0x0000FF)});
    Host dib24(4, 2, 24, [](int x, int) { return x < 2 ? 0xFF0000 : 0x0000FF; });
    Host deep(8, 8, 16, Noise);
    std::vector<int> table(256 * 256, -7);
    auto* t = reinterpret_cast<int(*)[256]>(table.data());
    EXPECT_EQ(GetColorThemeNeighbor(deep.h, t, nullptr) + GetColorThemeNeighbor(nullptr, t, nullptr) +
                  GetColorThemeNeighbor(dib8.h, nullptr, nullptr),
              -3);
    EXPECT_EQ(table, std::vector<int>(256 * 256, -7));  // untouched
    for (void* dib : {dib8.h, dib24.h}) {
        std::fill(table.begin(), table.end(), -7);
        ASSERT_EQ(GetColorThemeNeighbor(dib, t, nullptr), 0);
        EXPECT_EQ(std::accumulate(table.begin(), table.end(), 0), 20);
        EXPECT_EQ((std::vector<int>{t[0][0], t[0][1], t[1][0], t[1][1]}), (std::vector<int>{8, 2, 2, 8}));
    }
}

namespace {

enum { kRed, kOrange, kYellow, kGreen, kCyan, kBlue, kPurple, kBeige, kBlack, kGray, kWhite };

std::string Entry(int tag, uint32_t rgb, double share) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%06X:%.4f ", tag, rgb, share);
    return text;
}

// GetColorTags as "tag:RRGGBB:share " per entry, or "rc N" on failure.
std::string Tags(void* dib) {
    ColorThemeStruct s{99, reinterpret_cast<ColorThemeEntry*>(&s)};  // must be overwritten
    const int rc = GetColorTags(dib, &s);
    if (rc != 0) return "rc " + std::to_string(rc) + (s.count || s.entries ? " with entries" : "");
    std::string out;
    for (int i = 0; i < s.count; ++i)
        out +=
            Entry(s.entries[i].color.rgbReserved, RgbWord(s.entries[i].color) & 0xFFFFFF, s.entries[i].share);
    FreeThemeStruct(&s);
    return out;
}

// An 8-bit w x h image whose first counts[0] pixels carry colour 0, the next
// counts[1] colour 1, and so on.
Host Counted8(int w, int h, const std::vector<uint32_t>& colours, const std::vector<int>& counts) {
    std::vector<uint32_t> index;
    for (size_t k = 0; k < counts.size(); ++k) index.insert(index.end(), counts[k], uint32_t(k));
    index.resize(size_t(w) * h, uint32_t(counts.size()));
    std::vector<tagRGBQUAD> table;
    for (uint32_t c : colours) table.push_back(Rgb(c));
    return Host(
        w, h, 8, [w, index](int x, int y) { return index[size_t(y) * w + x]; }, table);
}

}  // namespace

TEST(ColorTags, FamiliesHandOverAtTheirHueBytesAndGreyBands) {
    // Colours on either side of each boundary: hue 13|14, 34|35, 45|46,
    // 114|115, 137|138, 183|184, 225|226 (at the last three the first is
    // equally near the samples either side); hue 255, and a pale pink: hue
    // alone decides; Beige's own colour; a near-grey is chromatic; the grey
    // bands 67|68, 122|123, 215|216.
    const std::pair<uint32_t, int> cases[] = {
        {0xFF4C00, kRed},    {0xFF5200, kOrange}, {0xFFCC00, kOrange}, {0xFFD200, kYellow},
        {0xF0FF00, kYellow}, {0xEAFF00, kGreen},  {0x00FFAE, kGreen},  {0x00FFB4, kCyan},
        {0x00C6FF, kCyan},   {0x00C0FF, kBlue},   {0x4C00FF, kBlue},   {0x5200FF, kPurple},
        {0xFF00BA, kPurple}, {0xFF00B4, kRed},    {0xFF0001, kRed},    {0xFAF0F0, kRed},
        {0xF5F5DC, kYellow}, {0x5A5B5A, kGreen},  {0x434343, kBlack},  {0x444444, -1},
        {0x7A7A7A, -1},      {0x7B7B7B, kGray},   {0xD7D7D7, kGray},   {0xD8D8D8, kWhite},
    };
    for (const auto& [rgb, tag] : cases) {
        Host dib = Counted8(5, 4, {rgb}, {20});
        EXPECT_EQ(Tags(dib.h), tag < 0 ? "rc -2" : Entry(tag, rgb, 1.0)) << std::hex << rgb;
    }
    EXPECT_EQ(hv::TagCard().samples.GetSize(), 14);  // filled once, not once per call
}

TEST(ColorTags, ThresholdMeansOrderExactSumsTrueColourShortTablesAndBadInput) {
    // Of 200 pixels: 15 of grey 67, 20 each of greys 68, 122, 123, 215 and
    // 10 of 216, 30 of green 200 and 25 of green 100, 11 of blue, 20 of a
    // dark red and 9 of red 255. Families come in tag order; more than 10
    // pixels count; means are weighted by pixels (154, not 150, for green).
    Host dib = Counted8(20, 10,
                        {0x434343, 0x444444, 0x7A7A7A, 0x7B7B7B, 0xD7D7D7, 0xD8D8D8, 0x00C800, 0x006400,
                         0x0000FF, 0x78000A, 0xFF0000},
                        {15, 20, 20, 20, 20, 10, 30, 25, 11, 20, 9});
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 0x78000A, 0.1) + Entry(kGreen, 0x009A00, 0.275) +
                               Entry(kBlue, 0x0000FF, 0.055) + Entry(kBlack, 0x434343, 0.075) +
                               Entry(kGray, 0xA9A9A9, 0.2));
    // 4112 x 4097 pixels of entry 0, red 255: the red sum is 4.3e9.
    Host big(4112, 4097, 8, nullptr, {Rgb(0xFF0000)}, 1);
    EXPECT_EQ(Tags(big.h), Entry(kRed, 0xFF0000, 1.0));
    tfix::NoLeak noLeak;  // the reduced image of a 24-bit one is released
    Host halves(40, 20, 24, [](int x, int) { return x < 20 ? 0xFF0000u : 0x0000FFu; });
    EXPECT_EQ(Tags(halves.h), Entry(kRed, 0xFF0000, 0.5) + Entry(kBlue, 0x0000FF, 0.5));
    // Pixels past a short colour table join no family but count in the size.
    Host shortTable(
        10, 10, 8, [](int x, int) { return x < 5 ? 0u : 7u; }, {Rgb(0xFF0000)}, 2);
    EXPECT_EQ(Tags(shortTable.h), Entry(kRed, 0xFF0000, 0.5));
    Host deep(4, 4, 16, Noise);
    EXPECT_EQ(Tags(deep.h) + Tags(nullptr), "rc -1rc -1");
    EXPECT_EQ(GetColorTags(dib.h, nullptr), -1);
}

// The style functions on the test photo: argument order, lent 8-bit forms
// and backups, host-supplied pairings and regions kept in their first
// colours.
TEST(AdjustImageStyle, AllFormsOnAPhoto) {
    tfix::NoLeak noLeak;
    void* autumn = tfix::Photo("autumn_256.bmp");
    void* cups = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(cups), own = tfix::StyleOf(autumn);
    const std::vector<BYTE> original = Pixels(autumn);
    std::vector<void*> made{autumn, cups};  // released at the end
    auto keep = [&](void* h) { return made.push_back(h), h; };
    void* plain = keep(Copy(autumn));
    EXPECT_EQ(AdjustImageStyle(plain, style.data(), nullptr), 0);
    const std::vector<BYTE> result = Pixels(plain);
    EXPECT_NE(result, original);
    // The second form takes the target buffer before the style buffer; the
    // host's backup is read, not written.
    void* image = keep(Copy(autumn));
    void* backup = keep(Copy(autumn));
    void* dib8 = keep(DecreaseBpp24to8(autumn));
    EXPECT_EQ(AdjustImageStyle2(image, own.data(), style.data(), dib8, backup), 0);
    EXPECT_EQ(Pixels(image), result);
    EXPECT_EQ(Pixels(backup), original);
    // An 8-bit form or a backup of another size leaves the image as it is.
    void* again = keep(Copy(autumn));
    void* small = keep(ZoomImage8(dib8, 100, 60));
    EXPECT_EQ(AdjustImageStyle2(again, nullptr, style.data(), small, nullptr), 0);
    EXPECT_EQ(AdjustImageStyle2(again, nullptr, style.data(), dib8, keep(MakeEmptyDib(100, 60, 24, true))),
              0);
    EXPECT_EQ(Pixels(again), original);
    // A table of pairings, unchanged, re-colours exactly as the plain call;
    // nothing is written past its count.
    std::vector<MatchLink> links(300, MatchLink{-5, -5});
    MatchLinkTable table{0, links.data()};
    EXPECT_EQ(GetMatchLinks(style.data(), own.data(), 2, &table), 0);
    ASSERT_GT(table.count, 2);
    EXPECT_EQ(links[table.count].targetIndex, -5);
    void* linked = keep(Copy(autumn));
    EXPECT_EQ(AdjustImageStyle3(linked, style.data(), own.data(), &table), 0);
    EXPECT_EQ(Pixels(linked), result);
    // Two rectangles, columns 10..30 of rows 20..39 and columns 100..140 of
    // rows 50..89 (rows counted from the top; the last row of a region is
    // not filled), keep their pixels from the first image; the second form
    // takes the target buffer before the style buffer.
    std::vector<int32_t> ax{10, 30, 30, 10}, ay{20, 20, 40, 40}, bx{100, 140, 140, 100}, by{50, 50, 90, 90};
    RegionPolygon regions[2] = {{4, ax.data(), ay.data()}, {4, bx.data(), by.data()}};
    std::vector<BYTE> want = result;
    for (auto [x0, x1, y0, y1] : {std::array<int, 4>{10, 30, 20, 40}, {100, 140, 50, 90}})
        for (int y = y0; y < y1; ++y) {
            const size_t at = (static_cast<size_t>(159 - y) * 256 + x0) * 3;
            std::copy_n(original.begin() + at, (x1 - x0 + 1) * 3, want.begin() + at);
        }
    void* img = keep(Copy(autumn));
    void* img2 = keep(Copy(autumn));
    EXPECT_EQ(AdjustImageStyleWithRegions(img, style.data(), regions, 2), 0);
    EXPECT_EQ(AdjustImageStyleWithRegions2(img2, own.data(), style.data(), regions, 2, nullptr, nullptr), 0);
    EXPECT_EQ(Pixels(img), want);
    EXPECT_EQ(Pixels(img2), want);
    // Malformed lists and other depths: refused, image unchanged.
    regions[1].count = -4;
    EXPECT_EQ(AdjustImageStyleWithRegions(again, style.data(), regions, 2) +
                  AdjustImageStyleWithRegions(again, style.data(), nullptr, 2) +
                  AdjustImageStyleWithRegions(keep(MakeEmptyDib(8, 8, 32, true)), style.data(), regions, 1),
              -3);
    EXPECT_EQ(Pixels(again), original);
    // With an empty style or target, methods 4 and 5 (which index pockets)
    // pair nothing and no exception escapes; an empty target has no entries.
    ccColorPocketArray empty(0);
    char* emptyBuf = nullptr;
    empty.SaveToBuf(emptyBuf);
    for (int method : {4, 5}) {
        table = {0, links.data()};
        EXPECT_EQ(GetMatchLinks(emptyBuf, own.data(), method, &table), 0);
        for (int i = 0; i < table.count; ++i) EXPECT_EQ(links[i].styleIndex, -1) << method;
        table = {-3, links.data()};
        EXPECT_EQ(GetMatchLinks(style.data(), emptyBuf, method, &table), 0);
        EXPECT_EQ(table.count, 0);
    }
    empty.FreeDataBuf(emptyBuf);
    // An 8-bit image keeps its indices; its colours change, also with regions.
    const std::vector<BYTE> indices = Pixels(dib8);
    for (int withRegions = 0; withRegions < 2; ++withRegions) {
        const uint32_t before = RgbWord(tfix::Colors(dib8)[indices[0]]);
        EXPECT_EQ(withRegions ? AdjustImageStyleWithRegions(dib8, style.data(), regions, 1)
                              : AdjustImageStyle(dib8, style.data(), nullptr),
                  0);
        EXPECT_EQ(Pixels(dib8), indices);
        EXPECT_NE(RgbWord(tfix::Colors(dib8)[indices[0]]), before);
    }
    for (void* h : made) hv::FreeHandle(h);
}

// A region reaching above the picture fills its visible rows as if the
// picture went on upward: each edge steps row by row from its upper vertex
// in single precision. The left edge runs from (0, -6) to (7, 6), 7/12 of a
// column a row; on row 0, six steps down, its x is 3.4999998 (the exact
// value would be 3.5), so that row is kept from column 3.
TEST(AdjustImageStyle, RegionAboveThePictureStepsItsEdgesFromTheTop) {
    tfix::NoLeak noLeak;
    void* autumn = tfix::Photo("autumn_256.bmp");
    void* cups = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(cups);
    const std::vector<BYTE> original = Pixels(autumn);
    void* plain = Copy(autumn);
    ASSERT_EQ(AdjustImageStyle(plain, style.data(), nullptr), 0);
    std::vector<BYTE> want = Pixels(plain);
    const size_t row0 = static_cast<size_t>(159) * 256 * 3;  // the top row, last in memory
    ASSERT_FALSE(std::equal(want.begin() + row0 + 3 * 3, want.begin() + row0 + 4 * 3,
                            original.begin() + row0 + 3 * 3));  // column 3 of row 0 changes colour
    // Visible rows 0..5: the left edge after 6..11 steps, the right edge at 20.
    const int left[6] = {3, 4, 5, 5, 6, 6};
    for (int y = 0; y < 6; ++y) {
        const size_t at = (static_cast<size_t>(159 - y) * 256 + left[y]) * 3;
        std::copy_n(original.begin() + at, (20 - left[y] + 1) * 3, want.begin() + at);
    }
    std::vector<int32_t> xs{0, 20, 20, 7}, ys{-6, -6, 6, 6};
    RegionPolygon region{4, xs.data(), ys.data()};
    void* image = Copy(autumn);
    EXPECT_EQ(AdjustImageStyleWithRegions(image, style.data(), &region, 1), 0);
    EXPECT_EQ(Pixels(image), want);
    for (void* h : {autumn, cups, plain, image}) hv::FreeHandle(h);
}

namespace {

// The bytes of a bitmap file: file header (pixels at `offBits`), a 40-byte
// info header, then `rest` (colour table and pixels) as given.
std::string BitmapFile(int w, int h, int bits, uint32_t clrUsed, uint32_t sizeImage, uint32_t offBits,
                       const Bytes& rest) {
    BITMAPFILEHEADER fh{0x4D42, DWORD(14 + 40 + rest.size()), 0, 0, offBits};
    BITMAPINFOHEADER ih{40, w, h, 1, WORD(bits), BI_RGB, sizeImage, 0, 0, clrUsed, 0};
    std::string out(reinterpret_cast<const char*>(&fh), 14);
    out.append(reinterpret_cast<const char*>(&ih), 40);
    return out.append(rest.begin(), rest.end());
}

// LoadDIB of those bytes: the handle's whole block, or nothing.
Bytes Loaded(const std::string& file) {
    const std::string path = tool::Temp("load.bmp");
    tool::Write(path, file);
    void* dib = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    std::remove(path.c_str());
    if (!dib) return {};
    Bytes block;
    {
        hv::HandleLock lock(dib);
        block.assign(lock.bytes(), lock.bytes() + lock.size());
    }
    hv::FreeHandle(dib);
    return block;
}

}  // namespace

// Only the pixel read decides: a colour table cut short by the end of the
// file is taken as far as it goes when the pixels lie at bfOffBits.
TEST(BitmapFiles, ColourTableCutShortByTheFileEnd) {
    Bytes table(64), pixels(16);
    for (int i = 0; i < 64; ++i) table[i] = BYTE(200 - i);
    std::iota(pixels.begin(), pixels.end(), BYTE(1));
    Bytes rest = table;
    rest.insert(rest.end(), pixels.begin(), pixels.end());
    // 8 bits, no colour count (256 entries, 1024 bytes), 80 bytes after the header.
    const Bytes block = Loaded(BitmapFile(4, 4, 8, 0, 0, 14 + 40 + 64, rest));
    ASSERT_EQ(block.size(), 40u + 1024 + 16);
    const auto* ih = reinterpret_cast<const BITMAPINFOHEADER*>(block.data());
    EXPECT_EQ(ih->biClrUsed, 256u);
    EXPECT_EQ(ih->biSizeImage, 16u);
    // The table read takes all 80 bytes there are, pixels included.
    EXPECT_EQ(Bytes(block.begin() + 40, block.begin() + 40 + 80), rest);
    EXPECT_EQ(Bytes(block.begin() + 40 + 1024, block.end()), pixels);
    // Without bfOffBits the pixels would follow the whole table: refused.
    EXPECT_TRUE(Loaded(BitmapFile(4, 4, 8, 0, 0, 0, rest)).empty());
}

// A stated image size of a bitmap is kept: a larger one is read whole (and
// must be in the file); a smaller one still gets the rows the image needs.
TEST(BitmapFiles, StatedImageSizeIsKept) {
    Bytes pixels(20);
    std::iota(pixels.begin(), pixels.end(), BYTE(30));
    // 2 x 2 at 24 bits: rows of 6 bytes padded to 8, 16 bytes computed.
    const auto size = [](const Bytes& b) {
        return b.size() < 40 ? -1 : int(reinterpret_cast<const BITMAPINFOHEADER*>(b.data())->biSizeImage);
    };
    const Bytes larger = Loaded(BitmapFile(2, 2, 24, 0, 20, 54, pixels));
    EXPECT_EQ(size(larger), 20);
    EXPECT_EQ(Bytes(larger.begin() + std::min<size_t>(40, larger.size()), larger.end()), pixels);
    EXPECT_TRUE(Loaded(BitmapFile(2, 2, 24, 0, 20, 54, Bytes(pixels.begin(), pixels.begin() + 16))).empty());
    const Bytes smaller = Loaded(BitmapFile(2, 2, 24, 0, 12, 54, Bytes(pixels.begin(), pixels.begin() + 16)));
    EXPECT_EQ(size(smaller), 12);
    EXPECT_EQ(smaller.size(), 40u + 16);
}

// A run-length bitmap that states no image size gets the size of its
// uncompressed rows, stored in its header, and that many bytes must follow.
TEST(BitmapFiles, RunLengthWithoutImageSizeReadsTheRowsSize) {
    Bytes rest(1024 + 8);  // 4 x 2 at 8 bits: 8 bytes of rows
    std::iota(rest.begin(), rest.end(), BYTE(3));
    const auto rle = [](std::string file) {
        const DWORD compression = BI_RLE8;
        std::memcpy(&file[14 + 16], &compression, 4);
        return file;
    };
    const Bytes block = Loaded(rle(BitmapFile(4, 2, 8, 0, 0, 0, rest)));
    ASSERT_EQ(block.size(), 40u + 1024 + 8);
    const auto* ih = reinterpret_cast<const BITMAPINFOHEADER*>(block.data());
    EXPECT_EQ((std::array<DWORD, 3>{ih->biCompression, ih->biSizeImage, ih->biClrUsed}),
              (std::array<DWORD, 3>{BI_RLE8, 8, 256}));
    EXPECT_EQ(Bytes(block.begin() + 40, block.end()), rest);
    // Seven bytes after the table are too few.
    EXPECT_TRUE(Loaded(rle(BitmapFile(4, 2, 8, 0, 0, 0, Bytes(rest.begin(), rest.end() - 1)))).empty());
}

// A colour count above 256 (a 24-bit bitmap may carry such a table for
// display) is read as it stands.
TEST(BitmapFiles, LongColourTable) {
    Bytes rest(300 * 4 + 16);
    for (size_t i = 0; i < rest.size(); ++i) rest[i] = BYTE(i * 7 + i / 256);
    const Bytes block = Loaded(BitmapFile(2, 2, 24, 300, 0, 14 + 40 + 1200, rest));
    ASSERT_EQ(block.size(), 40u + 1200 + 16);
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(block.data())->biClrUsed, 300u);
    EXPECT_EQ(Bytes(block.begin() + 40, block.end()), rest);
}
