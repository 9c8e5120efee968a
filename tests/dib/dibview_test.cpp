// The DIB view and the services over it.
#include <gtest/gtest.h>

#include <vector>

#include "dib/dib.h"
#include "platform/memory.h"

namespace {
using V = std::vector<int>;
// An 8-bit image whose pixels come from a top-to-bottom list of rows.
void* Make8(const std::vector<V>& topDown) {
    const int h = static_cast<int>(topDown.size()), w = static_cast<int>(topDown[0].size());
    void* dib = MakeEmptyDib(w, h, 8, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v.rows[h - 1 - y][x] = static_cast<BYTE>(topDown[y][x]);
    return dib;
}
}  // namespace

TEST(DibView, ReportsLayoutAndRefusesHeadersThatDoNotFit) {
    void* dib = MakeEmptyDib(3, 2, 8, true);
    {
        ipDibStuff v(dib, true);
        ASSERT_TRUE(v.isPalette8());
        EXPECT_EQ((V{v.width(), v.height(), int(v.rows[1] - v.rows[0])}), (V{3, 2, 4}));  // rows padded to 4
        EXPECT_EQ((V{v.colors[128].rgbRed, v.colors[255].rgbBlue}), (V{128, 255}));       // grey table
        v.header->biHeight = 3;  // now claims a row the handle does not hold
    }
    EXPECT_FALSE(ipDibStuff(dib, false).usable());
    EXPECT_FALSE(ipDibStuff(nullptr, false).usable());
    // One row wider than the largest side the view accepts, in a block that holds it.
    const LONG wide = (1 << 17) + 4;
    HGLOBAL row = GlobalAlloc(GHND, 40 + 1024 + wide), tiny = GlobalAlloc(GHND, 20);
    *static_cast<BITMAPINFOHEADER*>(hv::HandleLock(row).ptr()) = {40, wide, 1, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
    EXPECT_FALSE(ipDibStuff(row, false).usable());
    EXPECT_FALSE(ipDibStuff(tiny, false).usable());
    GlobalFree(row);
    GlobalFree(tiny);
    void* d24 = MakeEmptyDib(5, 1, 24, true);
    {
        ipDibStuff v24(d24, false);
        EXPECT_TRUE(v24.is24() && !v24.isPalette8() && v24.numColors == 0);
        int histo[256];
        EXPECT_EQ(v24.StatHisto(histo), -1);  // histograms need palette indices
    }
    hv::FreeHandle(d24);
    hv::FreeHandle(dib);
}

TEST(DibServices, HistogramNeighbourCountsAndNearestColour) {
    void* dib = Make8({{1, 1, 2}, {3, 1, 2}});
    {
        ipDibStuff v(dib, false);
        int histo[256];
        ASSERT_EQ(v.StatHisto(histo), 0);
        EXPECT_EQ((V(histo, histo + 4)), (V{0, 3, 2, 1}));
        std::vector<int> storage(256 * 256, 99);  // cleared by the call
        auto table = reinterpret_cast<int(*)[256]>(storage.data());
        ASSERT_EQ(v.SetNeighbor(table), 0);
        // Horizontal pairs: (1,1) (1,2) (3,1) (1,2); vertical: (1,3) (1,1) (2,2);
        // each counted both ways, so a same-colour pair adds 2 to the diagonal.
        const int want[4][4] = {{0, 0, 0, 0}, {0, 4, 2, 2}, {0, 2, 2, 0}, {0, 2, 0, 0}};
        for (int a = 0; a < 4; ++a) EXPECT_EQ((V(table[a], table[a] + 4)), (V(want[a], want[a] + 4))) << a;
        v.colors[10] = v.colors[3] = {0, 0, 100, 0};  // the same colour at a lower index
        v.colors[7] = {0, 0, 110, 0};                 // equally near to 105 as index 3
        const unsigned char red105[3] = {0, 0, 105}, grey77[3] = {77, 77, 77};
        EXPECT_EQ(v.GetNearestColor(red105), 3);
        EXPECT_EQ(v.GetNearestColor(grey77), 77);
    }
    hv::FreeHandle(dib);
}

TEST(DibServices, CopyRestoreAndZoomSamplingPixelCentres) {
    const long before = hv::LiveHandles();
    void* dib = Make8({{1, 2, 3, 4}, {5, 6, 7, 8}});
    void* other = Make8({{0, 0}, {0, 0}});
    void* copy = ipDibStuff(dib, false).CopyToHandle();
    {
        ipDibStuff v(dib, true), o(other, false), c(copy, false);
        v.rows[0][0] = 200;
        EXPECT_EQ(v.Restore(c), 0);
        EXPECT_EQ(v.rows[0][0], 5);
        EXPECT_EQ(v.Restore(o), -1);  // another size
        v.colors[4] = {1, 2, 3, 0};
    }
    void* half = ZoomImage8(dib, 2, 1);
    void* big = ZoomImage8(dib, 8, 4);
    ASSERT_TRUE(half && big);
    {
        ipDibStuff z(half, false), b(big, false);
        ASSERT_TRUE(z.isPalette8());
        EXPECT_EQ(z.colors[4].rgbRed, 3);  // the palette comes along
        // Output pixel 0's centre lies over source column 1, pixel 1's over 3;
        // the single row samples source row 1 (memory order), the top row.
        EXPECT_EQ((V{z.rows[0][0], z.rows[0][1]}), (V{2, 4}));
        EXPECT_EQ((V{b.rows[3][0], b.rows[3][1], b.rows[3][7], b.rows[0][7]}), (V{1, 1, 4, 8}));
    }
    void* d24 = MakeEmptyDib(2, 2, 24, true);
    EXPECT_EQ(ZoomImage8(dib, 0, 4), nullptr);
    EXPECT_EQ(ZoomImage8(d24, 1, 1), nullptr);
    EXPECT_EQ(MakeEmptyDib(0, 5, 8, true), nullptr);
    EXPECT_EQ(MakeEmptyDib(5, 5, 12, true), nullptr);
    EXPECT_EQ(MakeEmptyDib(1 << 20, 1 << 20, 24, true), nullptr);
    for (void* d : {d24, half, big, dib, other, copy}) hv::FreeHandle(d);
    EXPECT_EQ(hv::LiveHandles(), before);
}
