// Bitmap files: LoadDIB and SaveDIB, their round trip and a corpus of bad files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {
std::string Corpus(const char* name) { return std::string(HUEVANE_TEST_DATA) + "/bmp/" + name; }
std::string Temp(const char* name) { return ::testing::TempDir() + name; }

std::vector<unsigned char> ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

// Loads a file and hands the handle to a view; frees it at the end.
struct Loaded {
    explicit Loaded(const std::string& path) : dib(reinterpret_cast<void*>(LoadDIB(path.c_str()))) {}
    ~Loaded() { hv::FreeHandle(dib); }
    void* dib;
};
}  // namespace

TEST(LoadDib, EightBitFileWithoutCountGetsTheFullTable) {
    Loaded f(Corpus("good_8bit_clrused0.bmp"));
    ASSERT_NE(f.dib, nullptr);
    ipDibStuff v(f.dib, false);
    ASSERT_TRUE(v.isPalette8());
    EXPECT_EQ(v.header->biClrUsed, 256u);
    EXPECT_EQ(v.header->biSizeImage, 16u);  // stored as 0, computed on load
    EXPECT_EQ(v.colors[200].rgbGreen, 200);
    EXPECT_EQ(v.rows[0][0], 0);  // bottom row first
    EXPECT_EQ(v.rows[3][3], 15);
    EXPECT_EQ(GlobalSize(f.dib), 40u + 1024 + 16);
}

TEST(LoadDib, TopDownLargeHeaderAndOffsetFilesAreStoredPlainly) {
    {
        Loaded f(Corpus("good_24bit_topdown.bmp"));
        ASSERT_NE(f.dib, nullptr);
        ipDibStuff v(f.dib, false);
        ASSERT_TRUE(v.is24());
        EXPECT_EQ(v.header->biHeight, 2);  // bottom-up now
        EXPECT_EQ(v.header->biClrUsed, 0u);
        EXPECT_EQ(v.numColors, 0);
        EXPECT_EQ(v.rows[0][0], 7);  // the file's last row is the bottom row
        EXPECT_EQ(v.rows[1][0], 1);
    }
    {
        Loaded f(Corpus("good_8bit_v5header.bmp"));
        ASSERT_NE(f.dib, nullptr);
        ipDibStuff v(f.dib, false);
        ASSERT_TRUE(v.isPalette8());
        EXPECT_EQ(v.header->biSize, 40u);  // colour-space part dropped
        EXPECT_EQ(v.colors[255].rgbRed, 255);
        EXPECT_EQ(v.rows[2][1], 9);
    }
    {
        Loaded f(Corpus("good_8bit_gap.bmp"));
        ASSERT_NE(f.dib, nullptr);
        ipDibStuff v(f.dib, false);
        EXPECT_EQ(v.numColors, 2);
        EXPECT_EQ(v.rows[1][0], 4);  // read from bfOffBits, past the gap
    }
}

TEST(LoadDib, RefusesBadFilesWithoutLeaking) {
    const long before = hv::LiveHandles();
    const char* bad[] = {"empty.bmp",
                         "not_a_bitmap.bmp",
                         "truncated_file_header.bmp",
                         "truncated_info_header.bmp",
                         "core_header.bmp",
                         "huge_no_data.bmp",
                         "overflow_sizes.bmp",
                         "negative_width.bmp",
                         "zero_height.bmp",
                         "truncated_pixels.bmp",
                         "truncated_palette.bmp",
                         "huge_clrused.bmp",
                         "clrused_16bit_table.bmp",
                         "bitfields32.bmp",
                         "bad_depth.bmp",
                         "offset_past_end.bmp",
                         "no_such_file.bmp"};
    for (const char* name : bad) EXPECT_EQ(LoadDIB(Corpus(name).c_str()), 0) << name;
    EXPECT_EQ(LoadDIB(nullptr), 0);
    EXPECT_EQ(hv::LiveHandles(), before);
}

TEST(SaveDib, RoundTripRewritesTheImageSizeAndTheFileHeader) {
    void* dib = MakeEmptyDib(5, 3, 24, true);  // rows of 15 bytes padded to 16
    ASSERT_NE(dib, nullptr);
    {
        ipDibStuff v(dib, false);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 15; ++x) v.rows[y][x] = static_cast<BYTE>(y * 40 + x);
        v.header->biSizeImage = 0;
    }
    const std::string path = Temp("hv_roundtrip.bmp");
    ASSERT_EQ(SaveDIB(dib, path.c_str()), 1);
    {
        ipDibStuff v(dib, false);
        EXPECT_EQ(v.header->biSizeImage, 48u);  // written back into the host's memory
    }
    std::vector<unsigned char> bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 14u + 40 + 48);
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(U32(bytes, 2), 14u + 40 + 48);
    EXPECT_EQ(U32(bytes, 6), 0u);
    EXPECT_EQ(U32(bytes, 10), 54u);

    Loaded back(path);
    ASSERT_NE(back.dib, nullptr);
    ASSERT_EQ(GlobalSize(back.dib), GlobalSize(dib));
    {
        hv::HandleLock a(dib), b(back.dib);
        EXPECT_EQ(std::memcmp(a.ptr(), b.ptr(), GlobalSize(dib)), 0);
    }
    hv::FreeHandle(dib);
    std::remove(path.c_str());
}

TEST(SaveDib, RefusesWhatItCannotWriteSafely) {
    const std::string path = Temp("hv_refused.bmp");
    EXPECT_EQ(SaveDIB(nullptr, path.c_str()), 0);

    // A core header: the file is created, left empty, and 0 returned.
    HGLOBAL core = GlobalAlloc(GHND, 64);
    *static_cast<DWORD*>(GlobalLock(core)) = 12;
    GlobalUnlock(core);
    EXPECT_EQ(SaveDIB(core, path.c_str()), 0);
    EXPECT_TRUE(ReadFile(path).empty());
    GlobalFree(core);

    // A header that claims more pixels than the handle holds.
    HGLOBAL small = GlobalAlloc(GHND, 40 + 16);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(small));
    h->biSize = 40;
    h->biWidth = 1000;
    h->biHeight = 1000;
    h->biBitCount = 24;
    GlobalUnlock(small);
    EXPECT_EQ(SaveDIB(small, path.c_str()), 0);
    EXPECT_LE(ReadFile(path).size(), 0u);
    GlobalFree(small);

    // An 8-bit image whose colour count has bits past the low 16: not taken
    // for a full table (0x10000 has none in its low 16 bits), but refused.
    for (DWORD used : {0x10000u, 0x10002u, 0xFFFFFFFFu}) {
        void* eight = MakeEmptyDib(4, 2, 8, true);
        ipDibStuff(eight, false).header->biClrUsed = used;
        EXPECT_EQ(SaveDIB(eight, path.c_str()), 0) << used;
        EXPECT_TRUE(ReadFile(path).empty()) << used;
        hv::FreeHandle(eight);
    }
    std::remove(path.c_str());
}
