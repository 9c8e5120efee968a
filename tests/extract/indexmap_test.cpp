// The pocket-number image.
#include <gtest/gtest.h>

#include <vector>

#include "extract/extract_fixtures.h"

using xt::HostDib;
using xt::Rgb;

namespace {
// Pixel (x, y) of an 8-bit DIB, read through the view.
int PixelAt(void* dib, int x, int y) {
    ipDibStuff v(dib, false);
    return v.rows[y][x];
}
}  // namespace

TEST(ExtractIndexMap, EachPixelHoldsThePositionOfItsPocket) {
    // Width 5 leaves 3 bytes of padding per row.
    const int w = 5, h = 3;
    auto index = [](int x, int y) { return (x * 7 + y * 3) % 6 + 10; };  // indices 10..15
    std::vector<tagRGBQUAD> table(256, Rgb(0, 0, 0));
    HostDib dib(xt::Host8(w, h, table, index));
    ccColorPocketArray t;
    xt::BlankPalette(t);
    t.SetPalDib(dib.h, false);
    // Pockets: {12, 13}, {10}, {14, 11}; index 15 belongs to none.
    xt::AddPocket(t, {12, 13});
    xt::AddPocket(t, {10});
    xt::AddPocket(t, {14, 11});
    for (int i = 10; i < 16; ++i) t.palette[i].palIndex = i;
    const int pocketOf[] = {1, 2, 0, 0, 2, 0};

    const long live = hv::LiveHandles();
    void* map = t.FillPocketIndexInDib();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(hv::LiveHandles(), live + 1);
    {
        ipDibStuff v(map, false);
        ASSERT_TRUE(v.isPalette8());
        EXPECT_EQ(v.width(), w);
        EXPECT_EQ(v.height(), h);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EXPECT_EQ(PixelAt(map, x, y), pocketOf[index(x, y) - 10]) << x << "," << y;
    hv::FreeHandle(map);
    EXPECT_EQ(hv::LiveHandles(), live);
    // The theme is unchanged.
    EXPECT_EQ(t.pockets.GetSize(), 3);
    EXPECT_EQ(PixelAt(dib.h, 0, 0), 10);

    // An index held by two pockets goes to the later one.
    xt::AddPocket(t, {10});
    map = t.FillPocketIndexInDib();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(PixelAt(map, 0, 0), 3);
    hv::FreeHandle(map);

    // No pockets: all zeros.
    t.ClearAll();
    map = t.FillPocketIndexInDib();
    ASSERT_NE(map, nullptr);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) EXPECT_EQ(PixelAt(map, x, y), 0);
    hv::FreeHandle(map);
}

TEST(ExtractIndexMap, NoUsablePaletteDibGivesNull) {
    const long live = hv::LiveHandles();
    ccColorPocketArray t;
    EXPECT_EQ(t.FillPocketIndexInDib(), nullptr);

    std::vector<tagRGBQUAD> table(256, Rgb(1, 2, 3));
    HostDib zeroWide(xt::Host8(4, 4, table, [](int, int) { return 0; }));
    {
        auto* hdr = static_cast<BITMAPINFOHEADER*>(GlobalLock(zeroWide.h));
        hdr->biWidth = 0;
        GlobalUnlock(zeroWide.h);
    }
    t.SetPalDib(zeroWide.h, false);
    EXPECT_EQ(t.FillPocketIndexInDib(), nullptr);

    HostDib rgb(xt::Host24(4, 4, [](int, int) { return Rgb(1, 2, 3); }));
    t.SetPalDib(rgb.h, false);
    EXPECT_EQ(t.FillPocketIndexInDib(), nullptr);
    EXPECT_EQ(hv::LiveHandles(), live);
}
