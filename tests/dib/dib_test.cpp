// Bitmap files (LoadDIB and SaveDIB, their round trip and a corpus of bad
// files), the DIB view and the services over it.
#include "dib/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/tool_run.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {
using V = std::vector<int>;
using namespace std::string_literals;
void* Load(const std::string& name) {
    return reinterpret_cast<void*>(LoadDIB((std::string(HUEVANE_TEST_DATA) + "/bmp/" + name).c_str()));
}
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

TEST(LoadDib, StoresGoodFilesBottomUpWithA40ByteHeaderAndTheirTable) {
    void* plain = Load("good_8bit_clrused0.bmp");  // no colour count: the full table
    void* topDown = Load("good_24bit_topdown.bmp");
    void* v5 = Load("good_8bit_v5header.bmp");
    void* gap = Load("good_8bit_gap.bmp");  // pixels at bfOffBits, past a gap
    ASSERT_TRUE(plain && topDown && v5 && gap);
    {
        ipDibStuff p(plain, false), t(topDown, false), v(v5, false), g(gap, false);
        ASSERT_TRUE(p.isPalette8() && t.is24() && v.isPalette8() && g.usable());
        EXPECT_EQ(GlobalSize(plain), 40u + 1024 + 16);
        EXPECT_EQ(p.header->biClrUsed, 256u);
        EXPECT_EQ(p.header->biSizeImage, 16u);  // stored as 0, computed on load
        EXPECT_EQ(p.colors[200].rgbGreen, 200);
        EXPECT_EQ((V{p.rows[0][0], p.rows[3][3]}), (V{0, 15}));  // bottom row first
        EXPECT_EQ(t.header->biHeight, 2);
        EXPECT_EQ((V{int(t.header->biClrUsed), t.numColors}), (V{0, 0}));
        EXPECT_EQ((V{t.rows[0][0], t.rows[1][0]}), (V{7, 1}));  // the file's last row is the bottom row
        EXPECT_EQ(v.header->biSize, 40u);                       // colour-space part dropped
        EXPECT_EQ((V{v.colors[255].rgbRed, v.rows[2][1]}), (V{255, 9}));
        EXPECT_EQ((V{g.numColors, g.rows[1][0]}), (V{2, 4}));
    }
    for (void* d : {plain, topDown, v5, gap}) hv::FreeHandle(d);
}

TEST(LoadDib, RefusesBadFilesWithoutLeaking) {
    const long before = hv::LiveHandles();
    for (const char* name : {"empty", "not_a_bitmap", "truncated_file_header", "truncated_info_header",
                             "core_header", "huge_no_data", "overflow_sizes", "negative_width", "zero_height",
                             "truncated_pixels", "truncated_palette", "huge_clrused", "clrused_16bit_table",
                             "bitfields32", "bad_depth", "offset_past_end", "no_such_file"})
        EXPECT_EQ(Load(name + std::string(".bmp")), nullptr) << name;
    EXPECT_EQ(LoadDIB(nullptr), 0);
    EXPECT_EQ(hv::LiveHandles(), before);
}

TEST(SaveDib, RoundTripRewritesTheImageSizeAndTheFileHeader) {
    void* dib = MakeEmptyDib(5, 3, 24, true);  // rows of 15 bytes padded to 16
    {
        ipDibStuff v(dib, false);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 15; ++x) v.rows[y][x] = static_cast<BYTE>(y * 40 + x);
        v.header->biSizeImage = 0;
        const std::string path = tool::Temp("roundtrip.bmp");
        ASSERT_EQ(SaveDIB(dib, path.c_str()), 1);
        EXPECT_EQ(v.header->biSizeImage, 48u);  // written back into the host's memory
        const std::string bytes = tool::Slurp(path);
        // "BM", the file's length 14 + 40 + 48, two reserved words, the pixels' offset 54; then the DIB.
        EXPECT_EQ(bytes,
                  "BM\x66\0\0\0\0\0\0\0\x36\0\0\0"s + std::string(reinterpret_cast<char*>(v.header), 40 + 48));
        void* back = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        ASSERT_EQ(GlobalSize(back), GlobalSize(dib));
        EXPECT_EQ(std::memcmp(hv::HandleLock(back).ptr(), v.header, 40 + 48), 0);
        hv::FreeHandle(back);
        std::remove(path.c_str());
    }
    hv::FreeHandle(dib);
}

TEST(SaveDib, RefusesWhatItCannotWriteSafelyAndWritesRunLengthImagesByTheirSize) {
    const std::string path = tool::Temp("refused.bmp");
    EXPECT_EQ(SaveDIB(nullptr, path.c_str()), 0);
    // A core header; a header claiming more pixels than the handle holds; an
    // 8-bit colour count with bits past the low 16 (0x10000 would pass for a
    // full table): the file is created, left empty, and 0 returned.
    HGLOBAL h = GlobalAlloc(GHND, 40 + 1024 + 16);
    auto* ih = static_cast<BITMAPINFOHEADER*>(GlobalLock(h));
    for (BITMAPINFOHEADER bad : {BITMAPINFOHEADER{12, 4, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0},
                                 BITMAPINFOHEADER{40, 1000, 1000, 1, 24, BI_RGB, 0, 0, 0, 0, 0},
                                 BITMAPINFOHEADER{40, 4, 2, 1, 8, BI_RGB, 0, 0, 0, 0x10000, 0},
                                 BITMAPINFOHEADER{40, 4, 2, 1, 8, BI_RGB, 0, 0, 0, 0x10002, 0},
                                 BITMAPINFOHEADER{40, 4, 2, 1, 8, BI_RGB, 0, 0, 0, 0xFFFFFFFF, 0}}) {
        *ih = bad;
        EXPECT_EQ(SaveDIB(h, path.c_str()), 0) << bad.biSize << " " << bad.biWidth << " " << bad.biClrUsed;
        EXPECT_TRUE(tool::Slurp(path).empty());
    }
    // A run-length coded image is as long as its image size says, whatever its rows.
    *ih = {40, 1000, 1000, 1, 8, BI_RLE8, 12, 0, 0, 1, 0};
    EXPECT_EQ(SaveDIB(h, path.c_str()), 1);
    EXPECT_EQ(tool::Slurp(path).size(), 14u + 40 + 4 + 12);
    GlobalUnlock(h);
    GlobalFree(h);
    std::remove(path.c_str());
}

TEST(DibView, ReportsLayoutAndRefusesHeadersThatDoNotFit) {
    void* dib = MakeEmptyDib(3, 2, 8, true);
    {
        ipDibStuff v(dib, true);
        ASSERT_TRUE(v.isPalette8());
        EXPECT_EQ((V{v.width(), v.height(), int(v.rows[1] - v.rows[0])}), (V{3, 2, 4}));  // rows padded to 4
        EXPECT_EQ((V{v.colors[128].rgbRed, v.colors[255].rgbBlue}), (V{128, 255}));       // grey table
        for (WORD bits : {1, 7}) {  // a depth a bitmap may have, and one it may not
            v.header->biBitCount = bits;
            EXPECT_EQ(ipDibStuff(dib, false).usable(), bits == 1) << bits;
        }
        v.header->biBitCount = 8;
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
