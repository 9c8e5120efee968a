// Style extraction through the flat functions, and the colour list of a
// style buffer.
#include <cstring>
#include <numeric>

#include "api/api_fixtures.h"

using api::Host;

namespace {

// Four colour bands with a little variation, or 64 indices of a full table.
uint32_t Bands(int x, int y, int w) {
    const uint32_t bands[4] = {0xDC281E, 0x1EB432, 0x283CC8, 0x808080};
    return bands[x * 4 / w] + (y % 16) + ((x % 8) << 8) - ((y % 8) << 16);
}
std::vector<tagRGBQUAD> Table() {
    std::vector<tagRGBQUAD> t;
    for (int i = 0; i < 256; ++i) t.push_back(api::Rgb(i * 7, 255 - i, i * 3));
    return t;
}

std::vector<unsigned char> Fetched() {
    std::vector<unsigned char> v(1 << 16);
    v.resize(std::max(FetchStyle(v.data()), 0));
    return v;
}

std::vector<unsigned char> Preprocessed(void* dib) {
    char* buf = nullptr;
    EXPECT_EQ(Preprocess(dib, &buf), 0);
    if (!buf) return {};
    uint32_t len;
    std::memcpy(&len, buf, 4);
    std::vector<unsigned char> v(buf, buf + len + 4);
    FreeStyleBuf(buf);
    return v;
}

}  // namespace

// Runs first in this file: no style buffer exists yet.
TEST(StyleFunctions, NoStyleYetAndOtherDepthsGiveTheEmptyStyle) {
    std::vector<unsigned char> dest(64, 0xAB);
    EXPECT_EQ(FetchStyle(dest.data()), -1);
    EXPECT_EQ(dest[0], 0xAB);
    EXPECT_EQ(Preprocess(nullptr, nullptr), -1);
    std::vector<unsigned char> empty = {46, 0, 0, 0, 'C', 'C', 21, 0, 0, 0};
    empty.resize(50, 0);
    Host dib32(8, 4, 32, [](int x, int y) { return Bands(x, y, 8); });
    EXPECT_EQ(GenStyle(dib32.h), 50);
    EXPECT_EQ(Fetched(), empty);
    EXPECT_EQ(Preprocessed(dib32.h), empty);
    EXPECT_EQ(GenStyle(nullptr), 50);
    EXPECT_EQ(FetchStyle(nullptr), -1);
}

TEST(StyleFunctions, GenStyleThenFetchEqualsPreprocessAndLeavesNoDib) {
    const std::string path = std::string(HUEVANE_TEST_DATA) + "/extract/coffee_120x80.bmp";
    void* photo = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    Host bands(64, 48, 24, [](int x, int y) { return Bands(x, y, 64); });
    Host indexed(
        64, 48, 8, [](int x, int y) { return uint32_t(x * 16 + y) % 64; }, Table());
    for (void* dib : {bands.h, indexed.h, photo}) {
        tfix::NoLeak noLeak;
        const int len = GenStyle(dib);
        ASSERT_GT(len, 50 + 5120);  // a full palette and some pockets
        const std::vector<unsigned char> fetched = Fetched();
        ASSERT_EQ(static_cast<int>(fetched.size()), len);
        EXPECT_EQ(fetched[0] | fetched[1] << 8 | fetched[2] << 16 | fetched[3] << 24, len - 4);
        EXPECT_EQ(Preprocessed(dib), fetched);
        EXPECT_EQ(GenStyle(dib), len);
        EXPECT_EQ(Fetched(), fetched);
        ccColorPocketArray t;  // every pixel of the photo lands in some pocket
        std::vector<char> copy(fetched.begin(), fetched.end());
        ASSERT_EQ(t.LoadFromBuf(copy.data()), len - 4);
        EXPECT_GT(t.pockets.GetSize(), 1);
        long long sum = 0;
        for (ccColorPocket* p : t.pockets) sum += p->pixelNum;
        if (dib == photo) {
            EXPECT_EQ(sum, 120 * 80);
        }
    }
    hv::FreeHandle(photo);
}

TEST(StyleFunctions, FailedReductionKeepsThePreviousStyle) {
    Host a(40, 30, 24, [](int x, int y) { return Bands(x, y, 40); });
    ASSERT_GT(GenStyle(a.h), 0);
    const std::vector<unsigned char> styleA = Fetched();
    // A 24-bit header whose pixels are missing cannot be reduced.
    void* cut = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 10);
    *static_cast<BITMAPINFOHEADER*>(GlobalLock(cut)) = {
        sizeof(BITMAPINFOHEADER), 100, 100, 1, 24, 0, 0, 0, 0, 0, 0};
    GlobalUnlock(cut);
    tfix::NoLeak noLeak;
    EXPECT_EQ(GenStyle(cut), -1);
    EXPECT_EQ(Fetched(), styleA);
    char mark = 0, *out = &mark;
    EXPECT_EQ(Preprocess(cut, &out), -1);
    EXPECT_EQ(out, &mark);
    GlobalFree(cut);
}

TEST(ThemeStruct, ListsThePocketsOfABufferAndFreesThem) {
    // Four colours in bands of 4, 8, 12 and 16 columns.
    Host dib(40, 10, 8, [](int x, int) { return x < 4    ? 0
                                                : x < 12 ? 1
                                                : x < 24 ? 2
                                                         : 3; },
             {api::Rgb(250, 0, 0), api::Rgb(0, 250, 0), api::Rgb(0, 0, 250), api::Rgb(250, 250, 0)});
    ccColorPocketArray theme;
    theme.SetDib(dib.h);
    char* buf = nullptr;
    ASSERT_GT(theme.SaveToBuf(buf), 0);
    ColorThemeStruct s;
    ASSERT_EQ(GetColorThemeStruct(&s, buf), 0);
    theme.FreeDataBuf(buf);
    ASSERT_EQ(s.count, 4);
    const float share[4] = {0.4f, 0.3f, 0.2f, 0.1f};  // largest first; reserved bytes 0
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RgbWord(s.entries[i].color), RgbWord(theme.pockets[i]->aveRGB) & 0xFFFFFF) << i;
        EXPECT_FLOAT_EQ(s.entries[i].share, share[i]) << i;
    }
    EXPECT_EQ(RgbWord(s.entries[0].color), 0xFAFA00u);
    FreeThemeStruct(&s);
    EXPECT_EQ(s.count + !!s.entries, 0);
    FreeThemeStruct(&s);  // again: nothing happens
    FreeThemeStruct(nullptr);

    // A null or malformed buffer gives an empty, allocated list (the
    // sanitizers check that it is released).
    char bad[16] = {12};  // claims 12 bytes of theme, holds zeros
    for (char* b : {static_cast<char*>(nullptr), bad}) {
        ASSERT_EQ(GetColorThemeStruct(&s, b), 0);
        EXPECT_EQ(s.count, 0);
        EXPECT_NE(s.entries, nullptr);
        FreeThemeStruct(&s);
    }
    EXPECT_EQ(GetColorThemeStruct(nullptr, nullptr), -1);
}

TEST(ThemeStruct, NeighbourTableCountsAdjacentPocketPairs) {
    // Red on the left half, blue on the right, 4 x 2 pixels: 6 horizontal
    // and 4 vertical pairs, 2 counts each, in a table cleared first.
    tfix::NoLeak noLeak;  // index and reduced images released
    Host dib8(4, 2, 8, [](int x, int) { return x < 2 ? 0 : 1; }, {api::Rgb(255, 0, 0), api::Rgb(0, 0, 255)});
    Host dib24(4, 2, 24, [](int x, int) { return x < 2 ? 0xFF0000 : 0x0000FF; });
    Host deep(8, 8, 16, [](int, int) { return 9; });
    std::vector<int> table(256 * 256, -7);
    auto* t = reinterpret_cast<int(*)[256]>(table.data());
    EXPECT_EQ(GetColorThemeNeighbor(deep.h, t, nullptr), -1);
    EXPECT_EQ(GetColorThemeNeighbor(nullptr, t, nullptr), -1);
    EXPECT_EQ(GetColorThemeNeighbor(dib8.h, nullptr, nullptr), -1);
    EXPECT_EQ(table, std::vector<int>(256 * 256, -7));  // untouched
    for (void* dib : {dib8.h, dib24.h}) {
        std::fill(table.begin(), table.end(), -7);
        ASSERT_EQ(GetColorThemeNeighbor(dib, t, nullptr), 0);
        EXPECT_EQ(std::accumulate(table.begin(), table.end(), 0), 20);
        EXPECT_EQ((std::vector<int>{t[0][0], t[0][1], t[1][0], t[1][1]}), (std::vector<int>{8, 2, 2, 8}));
    }
}
