// The DIB view and the services over it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "dib/dib.h"
#include "platform/memory.h"

namespace {
// An 8-bit image whose pixels come from a top-to-bottom list of rows.
void* Make8(const std::vector<std::vector<int>>& topDown) {
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
        EXPECT_EQ(v.width(), 3);
        EXPECT_EQ(v.height(), 2);
        EXPECT_EQ(v.rows[1] - v.rows[0], 4);   // rows padded to 4 bytes
        EXPECT_EQ(v.colors[128].rgbRed, 128);  // grey table
        EXPECT_EQ(v.colors[255].rgbBlue, 255);
        v.header->biHeight = 3;  // now claims a row the handle does not hold
    }
    EXPECT_FALSE(ipDibStuff(dib, false).usable());
    hv::FreeHandle(dib);

    EXPECT_FALSE(ipDibStuff(nullptr, false).usable());
    HGLOBAL tiny = GlobalAlloc(GHND, 20);
    EXPECT_FALSE(ipDibStuff(tiny, false).usable());
    GlobalFree(tiny);

    void* d24 = MakeEmptyDib(5, 1, 24, true);
    {
        ipDibStuff v24(d24, false);
        EXPECT_TRUE(v24.is24());
        EXPECT_EQ(v24.numColors, 0);
        EXPECT_FALSE(v24.isPalette8());
        int histo[256];
        EXPECT_EQ(v24.StatHisto(histo), -1);  // histograms need palette indices
    }
    hv::FreeHandle(d24);
}

TEST(DibServices, HistogramAndNeighbourCounts) {
    void* dib = Make8({{1, 1, 2}, {3, 1, 2}});
    {
        ipDibStuff v(dib, false);
        int histo[256];
        ASSERT_EQ(v.StatHisto(histo), 0);
        EXPECT_EQ(histo[1], 3);
        EXPECT_EQ(histo[2], 2);
        EXPECT_EQ(histo[3], 1);
        EXPECT_EQ(histo[0], 0);

        std::vector<int> storage(256 * 256, 99);  // cleared by the call
        auto table = reinterpret_cast<int(*)[256]>(storage.data());
        ASSERT_EQ(v.SetNeighbor(table), 0);
        // Horizontal pairs: (1,1) (1,2) (3,1) (1,2); vertical: (1,3) (1,1) (2,2).
        EXPECT_EQ(table[1][1], 4);  // two same-colour pairs, each counted both ways
        EXPECT_EQ(table[1][2], 2);
        EXPECT_EQ(table[2][1], 2);
        EXPECT_EQ(table[1][3], 2);
        EXPECT_EQ(table[3][1], 2);
        EXPECT_EQ(table[2][2], 2);
        EXPECT_EQ(table[2][3], 0);
        EXPECT_EQ(table[0][0], 0);
    }
    hv::FreeHandle(dib);
}

TEST(DibServices, NeighbourMarksAreTheNonZeroCountsOfDifferentIndices) {
    // Runs of indices 1 to 5 (0 never occurs, so a pair read from row
    // padding shows), each row a copy of the one below with a few changes:
    // blocks of eight equal pairs and blocks with one change at any place,
    // on widths around the block size and single rows and columns. The top
    // row of taller images alternates two indices found nowhere else: its
    // pairs all differ although the row equals itself shifted by two.
    uint32_t seed = 7;
    auto next = [&seed](int n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
    };
    std::vector<int> counts(256 * 256);
    std::vector<BYTE> marks(256 * 256);
    for (int w : {1, 2, 8, 9, 10, 16, 17, 31, 64}) {
        for (int h : {1, 2, 6}) {
            void* dib = MakeEmptyDib(w, h, 8, true);
            {
                ipDibStuff v(dib, false);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const BYTE same = y > 0 ? v.rows[y - 1][x] : x > 0 ? v.rows[y][x - 1] : 1;
                        v.rows[y][x] = y > 0 && y == h - 1 ? static_cast<BYTE>(6 + x % 2)
                                       : next(6) == 0 ? static_cast<BYTE>(1 + next(5))
                                                      : same;
                    }
                std::fill(marks.begin(), marks.end(), 9);  // cleared by the call
                ASSERT_EQ(v.SetNeighbor(reinterpret_cast<int(*)[256]>(counts.data())), 0);
                ASSERT_EQ(v.MarkNeighbors(reinterpret_cast<BYTE(*)[256]>(marks.data())), 0);
            }
            for (int a = 0; a < 256; ++a)
                for (int b = 0; b < 256; ++b)
                    ASSERT_EQ(marks[a * 256 + b], a != b && counts[a * 256 + b] != 0)
                        << w << " x " << h << " [" << a << "][" << b << "]";
            hv::FreeHandle(dib);
        }
    }
    void* d8 = MakeEmptyDib(4, 4, 8, true);
    void* d24 = MakeEmptyDib(4, 4, 24, true);
    {
        ipDibStuff v8(d8, false), v24(d24, false);
        EXPECT_EQ(v8.MarkNeighbors(nullptr), -1);
        EXPECT_EQ(v24.MarkNeighbors(reinterpret_cast<BYTE(*)[256]>(marks.data())), -1);
    }
    hv::FreeHandle(d8);
    hv::FreeHandle(d24);
}

TEST(DibServices, NearestColourTakesTheLowestIndexOnTies) {
    void* dib = MakeEmptyDib(1, 1, 8, true);
    {
        ipDibStuff v(dib, false);
        v.colors[10] = {0, 0, 100, 0};
        v.colors[3] = {0, 0, 100, 0};  // the same colour at a lower index
        v.colors[7] = {0, 0, 110, 0};  // equally near to 105 as index 3
        const unsigned char red105[3] = {0, 0, 105};
        EXPECT_EQ(v.GetNearestColor(red105), 3);
        const unsigned char grey77[3] = {77, 77, 77};
        EXPECT_EQ(v.GetNearestColor(grey77), 77);
    }
    hv::FreeHandle(dib);
}

TEST(DibServices, CopyAndRestorePixels) {
    const long before = hv::LiveHandles();
    void* dib = Make8({{1, 2, 3}, {4, 5, 6}});
    void* other = Make8({{0, 0}, {0, 0}});
    {
        ipDibStuff v(dib, true);
        void* copy = v.CopyToHandle();
        ASSERT_NE(copy, nullptr);
        v.rows[0][0] = 200;
        {
            ipDibStuff c(copy, false);
            EXPECT_EQ(c.rows[0][0], 4);
            EXPECT_EQ(v.Restore(c), 0);
            EXPECT_EQ(v.rows[0][0], 4);
            ipDibStuff o(other, false);
            EXPECT_EQ(v.Restore(o), -1);  // another size
        }
        hv::FreeHandle(copy);
    }
    hv::FreeHandle(dib);
    hv::FreeHandle(other);
    EXPECT_EQ(hv::LiveHandles(), before);
}

TEST(DibServices, ZoomSamplesPixelCentres) {
    void* dib = Make8({{1, 2, 3, 4}, {5, 6, 7, 8}});
    {
        ipDibStuff s(dib, false);
        s.colors[4] = {1, 2, 3, 0};
    }
    void* half = ZoomImage8(dib, 2, 1);
    ASSERT_NE(half, nullptr);
    {
        ipDibStuff z(half, false);
        ASSERT_TRUE(z.isPalette8());
        EXPECT_EQ(z.colors[4].rgbRed, 3);  // the palette comes along
        // Centre of output pixel 0 lies over source column 1, pixel 1 over 3;
        // the single row samples source row 1 (memory order), the top row.
        EXPECT_EQ(z.rows[0][0], 2);
        EXPECT_EQ(z.rows[0][1], 4);
    }
    void* big = ZoomImage8(dib, 8, 4);
    {
        ipDibStuff z(big, false);
        EXPECT_EQ(z.rows[3][0], 1);
        EXPECT_EQ(z.rows[3][1], 1);
        EXPECT_EQ(z.rows[3][7], 4);
        EXPECT_EQ(z.rows[0][7], 8);
    }
    EXPECT_EQ(ZoomImage8(dib, 0, 4), nullptr);
    void* d24 = MakeEmptyDib(2, 2, 24, true);
    EXPECT_EQ(ZoomImage8(d24, 1, 1), nullptr);
    EXPECT_EQ(MakeEmptyDib(0, 5, 8, true), nullptr);
    EXPECT_EQ(MakeEmptyDib(5, 5, 12, true), nullptr);
    EXPECT_EQ(MakeEmptyDib(1 << 20, 1 << 20, 24, true), nullptr);
    hv::FreeHandle(d24);
    hv::FreeHandle(half);
    hv::FreeHandle(big);
    hv::FreeHandle(dib);
}
