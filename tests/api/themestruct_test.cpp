// Theme structures: the colour list of a style buffer, its release, and the
// adjacency table of theme colours in an image.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "extract/extract_fixtures.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace {

using xt::HostDib;
using xt::Rgb;

// Four colours far apart in hue, in bands of 4, 8, 12 and 16 columns.
void* Bands8() {
    return xt::Host8(40, 10, {Rgb(250, 0, 0), Rgb(0, 250, 0), Rgb(0, 0, 250), Rgb(250, 250, 0)},
                     [](int x, int) { return x < 4 ? 0 : x < 12 ? 1 : x < 24 ? 2 : 3; });
}

// The style buffer of an extracted theme; release with FreeDataBuf.
char* StyleOf(void* dib8) {
    ccColorPocketArray theme;
    theme.SetDib(dib8);
    char* buf = nullptr;
    EXPECT_GT(theme.SaveToBuf(buf), 0);
    return buf;
}

using Table = std::vector<int>;  // 256 x 256

}  // namespace

TEST(ThemeStruct, EntryLayoutIsEightPackedBytes) {
    EXPECT_EQ(sizeof(ColorThemeEntry), 8u);
    EXPECT_EQ(offsetof(ColorThemeEntry, color), 0u);
    EXPECT_EQ(offsetof(ColorThemeEntry, share), 4u);
}

TEST(ThemeStruct, ListsPocketsOfTheBufferInThemeOrder) {
    HostDib dib(Bands8());
    char* buf = StyleOf(dib.h);
    ASSERT_NE(buf, nullptr);
    ccColorPocketArray loaded;
    ASSERT_GT(loaded.LoadFromBuf(buf), 0);
    ASSERT_EQ(loaded.pockets.GetSize(), 4);

    ColorThemeStruct s;
    ASSERT_EQ(GetColorThemeStruct(&s, buf), 0);
    ASSERT_EQ(s.count, 4);
    ASSERT_NE(s.entries, nullptr);
    float total = 0;
    for (int i = 0; i < s.count; ++i) {
        const ccColorPocket* p = loaded.pockets[i];
        EXPECT_EQ(s.entries[i].color.rgbRed, p->aveRGB.rgbRed) << i;
        EXPECT_EQ(s.entries[i].color.rgbGreen, p->aveRGB.rgbGreen) << i;
        EXPECT_EQ(s.entries[i].color.rgbBlue, p->aveRGB.rgbBlue) << i;
        EXPECT_EQ(s.entries[i].color.rgbReserved, 0) << i;
        EXPECT_EQ(s.entries[i].share, p->percentage) << i;
        total += s.entries[i].share;
    }
    // Ordered by size: the 16-column yellow band first, the 4-column red last.
    EXPECT_EQ(s.entries[0].color.rgbBlue, 0);
    EXPECT_EQ(s.entries[0].color.rgbGreen, 250);
    EXPECT_EQ(s.entries[0].color.rgbRed, 250);
    EXPECT_FLOAT_EQ(s.entries[0].share, 0.4f);
    EXPECT_EQ(s.entries[3].color.rgbRed, 250);
    EXPECT_FLOAT_EQ(s.entries[3].share, 0.1f);
    EXPECT_NEAR(total, 1.0f, 1e-5);

    FreeThemeStruct(&s);
    EXPECT_EQ(s.count, 0);
    EXPECT_EQ(s.entries, nullptr);
    FreeThemeStruct(&s);  // again: nothing happens
    EXPECT_EQ(s.count, 0);
    FreeThemeStruct(nullptr);
    ccColorPocketArray().FreeDataBuf(buf);
}

TEST(ThemeStruct, BuffersWithoutATheme) {
    // A theme without pockets, a null buffer and a malformed one all give an
    // empty, allocated list (the sanitizers check it is released).
    ccColorPocketArray empty;
    char* buf = nullptr;
    ASSERT_GT(empty.SaveToBuf(buf), 0);
    ColorThemeStruct s;
    EXPECT_EQ(GetColorThemeStruct(&s, buf), 0);
    EXPECT_EQ(s.count, 0);
    EXPECT_NE(s.entries, nullptr);
    FreeThemeStruct(&s);
    empty.FreeDataBuf(buf);

    EXPECT_EQ(GetColorThemeStruct(&s, nullptr), 0);
    EXPECT_EQ(s.count, 0);
    EXPECT_NE(s.entries, nullptr);
    FreeThemeStruct(&s);

    char bad[16] = {};
    bad[0] = 12;  // claims 12 bytes of theme, holds zeros
    EXPECT_EQ(GetColorThemeStruct(&s, bad), 0);
    EXPECT_EQ(s.count, 0);
    FreeThemeStruct(&s);
    EXPECT_EQ(s.entries, nullptr);

    EXPECT_EQ(GetColorThemeStruct(nullptr, nullptr), -1);
}

TEST(ThemeStruct, NeighbourTableCountsAdjacentPocketPairs) {
    // Red on the left half, blue on the right, 4 x 2 pixels: 6 horizontal
    // and 4 vertical pairs.
    HostDib dib(xt::Host8(4, 2, {Rgb(255, 0, 0), Rgb(0, 0, 255)}, [](int x, int) { return x < 2 ? 0 : 1; }));
    HostDib copy(xt::Host8(4, 2, {Rgb(255, 0, 0), Rgb(0, 0, 255)}, [](int x, int) { return x < 2 ? 0 : 1; }));
    const long before = hv::LiveHandles();
    Table table(256 * 256, -7);
    auto* t = reinterpret_cast<int(*)[256]>(table.data());
    ASSERT_EQ(GetColorThemeNeighbor(dib.h, t, nullptr), 0);

    ccColorPocketArray theme;
    theme.SetDib(copy.h);
    ASSERT_EQ(theme.pockets.GetSize(), 2);
    const int red = theme.pockets[0]->aveRGB.rgbRed == 255 ? 0 : 1, blue = 1 - red;
    EXPECT_EQ(t[red][red], 8);  // each same-pocket pair adds 2
    EXPECT_EQ(t[blue][blue], 8);
    EXPECT_EQ(t[red][blue], 2);
    EXPECT_EQ(t[blue][red], 2);
    long long sum = 0;
    for (int v : table) sum += v;
    EXPECT_EQ(sum, 20);  // cleared first, then 2 per pair
    EXPECT_EQ(hv::LiveHandles(), before);  // the pocket-number image is released

    // The host's image is unchanged.
    {
        hv::HandleLock a(dib.h), b(copy.h);
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.ptr(), b.ptr(), a.size()), 0);
    }

    // With a style buffer its pocket order is used; the 24-bit form of the
    // image extracts the same two colours.
    char* buf = nullptr;
    ASSERT_GT(theme.SaveToBuf(buf), 0);
    Table fromBuf(256 * 256, -7);
    ASSERT_EQ(GetColorThemeNeighbor(dib.h, reinterpret_cast<int(*)[256]>(fromBuf.data()), buf), 0);
    EXPECT_EQ(fromBuf, table);
    theme.FreeDataBuf(buf);

    HostDib dib24(xt::Host24(4, 2, [](int x, int) { return x < 2 ? Rgb(255, 0, 0) : Rgb(0, 0, 255); }));
    Table fromTrue(256 * 256, -7);
    ASSERT_EQ(GetColorThemeNeighbor(dib24.h, reinterpret_cast<int(*)[256]>(fromTrue.data()), nullptr), 0);
    long long sumTrue = 0;
    for (int v : fromTrue) sumTrue += v;
    EXPECT_EQ(sumTrue, 20);
    EXPECT_EQ(fromTrue[0] + fromTrue[1] + fromTrue[256] + fromTrue[257], 20);  // pockets 0 and 1 only
    EXPECT_EQ(fromTrue[1], 2);
    EXPECT_EQ(hv::LiveHandles(), before);  // the 8-bit reduction is released too
}

TEST(ThemeStruct, NeighbourTableRefusesOtherDepthsAndLeavesTheTable) {
    Table table(256 * 256, -7);
    auto* t = reinterpret_cast<int(*)[256]>(table.data());
    for (int bits : {16, 32, 4}) {
        HostDib dib(xt::Host24(8, 8, [](int, int) { return Rgb(9, 9, 9); }));
        {
            hv::HandleLock lock(dib.h);
            reinterpret_cast<BITMAPINFOHEADER*>(lock.ptr())->biBitCount = static_cast<WORD>(bits);
        }
        EXPECT_EQ(GetColorThemeNeighbor(dib.h, t, nullptr), -1) << bits;
    }
    EXPECT_EQ(GetColorThemeNeighbor(nullptr, t, nullptr), -1);
    HostDib ok(xt::Host8(2, 2, {Rgb(1, 2, 3)}, [](int, int) { return 0; }));
    EXPECT_EQ(GetColorThemeNeighbor(ok.h, nullptr, nullptr), -1);
    for (int v : table) ASSERT_EQ(v, -7);
}
