// Theme structures: the colour list of a style buffer, its release, and the
// adjacency table of theme colours in an image.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "extract/extract_fixtures.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

using xt::HostDib;
using xt::Rgb;

TEST(ThemeStruct, ListsThePocketsOfABufferAndFreesThem) {
    // Four colours in bands of 4, 8, 12 and 16 columns.
    HostDib dib(
        xt::Host8(40, 10, {Rgb(250, 0, 0), Rgb(0, 250, 0), Rgb(0, 0, 250), Rgb(250, 250, 0)}, [](int x, int) {
            return x < 4 ? 0 : x < 12 ? 1 : x < 24 ? 2 : 3;
        }));
    ccColorPocketArray theme;
    theme.SetDib(dib.h);
    char* buf = nullptr;
    ASSERT_GT(theme.SaveToBuf(buf), 0);
    ColorThemeStruct s;
    ASSERT_EQ(GetColorThemeStruct(&s, buf), 0);
    ASSERT_EQ(s.count, 4);
    const float share[4] = {0.4f, 0.3f, 0.2f, 0.1f};  // largest first; reserved bytes 0
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(RgbWord(s.entries[i].color), RgbWord(theme.pockets[i]->aveRGB) & 0xFFFFFF) << i;
        EXPECT_FLOAT_EQ(s.entries[i].share, share[i]) << i;
    }
    EXPECT_EQ(RgbWord(s.entries[0].color), RgbWord(Rgb(250, 250, 0)));
    FreeThemeStruct(&s);
    EXPECT_EQ(s.count + !!s.entries, 0);
    FreeThemeStruct(&s);  // again: nothing happens
    FreeThemeStruct(nullptr);
    theme.FreeDataBuf(buf);

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
    const long before = hv::LiveHandles();
    HostDib dib8(xt::Host8(4, 2, {Rgb(255, 0, 0), Rgb(0, 0, 255)}, [](int x, int) { return x < 2 ? 0 : 1; }));
    HostDib dib24(xt::Host24(4, 2, [](int x, int) { return x < 2 ? Rgb(255, 0, 0) : Rgb(0, 0, 255); }));
    for (void* dib : {dib8.h, dib24.h}) {
        std::vector<int> table(256 * 256, -7);
        auto* t = reinterpret_cast<int(*)[256]>(table.data());
        ASSERT_EQ(GetColorThemeNeighbor(dib, t, nullptr), 0);
        EXPECT_EQ(std::accumulate(table.begin(), table.end(), 0), 20);
        EXPECT_EQ((std::vector<int>{t[0][0], t[0][1], t[1][0], t[1][1]}), (std::vector<int>{8, 2, 2, 8}));
        EXPECT_EQ(hv::LiveHandles(), before);  // index and reduced images released
    }
    std::vector<int> table(256 * 256, -7);
    auto* t = reinterpret_cast<int(*)[256]>(table.data());
    HostDib deep(xt::Host24(8, 8, [](int, int) { return Rgb(9, 9, 9); }));
    static_cast<BITMAPINFOHEADER*>(hv::HandleLock(deep.h).ptr())->biBitCount = 16;
    EXPECT_EQ(GetColorThemeNeighbor(deep.h, t, nullptr), -1);
    EXPECT_EQ(GetColorThemeNeighbor(nullptr, t, nullptr), -1);
    EXPECT_EQ(GetColorThemeNeighbor(dib8.h, nullptr, nullptr), -1);
    EXPECT_EQ(std::accumulate(table.begin(), table.end(), 0), -7 * 256 * 256);  // untouched
}
