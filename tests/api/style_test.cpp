// Style extraction through the flat functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace {

BITMAPINFOHEADER Header(int w, int h, int bits) {
    return {sizeof(BITMAPINFOHEADER), w, h, 1, static_cast<WORD>(bits), 0, 0, 0, 0, 0, 0};
}

// A host DIB (GlobalAlloc) of 8 bits with a full colour table, 24 or 32
// bits, holding four colour bands.
HGLOBAL HostDib(int w, int h, int bits) {
    const int table = bits == 8 ? 256 : 0;
    const size_t stride = static_cast<size_t>((w * bits + 31) / 32) * 4;
    HGLOBAL dib = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 4 * table + stride * h);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    *hd = Header(w, h, bits);
    auto* colors = reinterpret_cast<tagRGBQUAD*>(hd + 1);
    for (int i = 0; i < table; ++i) colors[i] = {(BYTE)(i * 3), (BYTE)(255 - i), (BYTE)(i * 7), 0};
    const BYTE bands[4][3] = {{30, 40, 220}, {50, 180, 30}, {200, 60, 40}, {128, 128, 128}};  // BGR
    BYTE* px = reinterpret_cast<BYTE*>(colors + table);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = px + y * stride + x * (bits / 8);
            const BYTE* c = bands[x * 4 / w];
            if (bits == 8) p[0] = static_cast<BYTE>((x * 16 + y) % 64);
            else p[0] = c[0] + y % 16, p[1] = c[1] + x % 8, p[2] = c[2] - y % 8;
        }
    GlobalUnlock(dib);
    return dib;
}

std::vector<unsigned char> Fetched() {
    std::vector<unsigned char> v(1 << 16);
    const int n = FetchStyle(v.data());
    v.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return v;
}

std::vector<unsigned char> Preprocessed(HGLOBAL dib) {
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
    HGLOBAL dib32 = HostDib(8, 4, 32);
    EXPECT_EQ(GenStyle(dib32), 50);
    EXPECT_EQ(Fetched(), empty);
    EXPECT_EQ(Preprocessed(dib32), empty);
    EXPECT_EQ(GenStyle(nullptr), 50);
    EXPECT_EQ(FetchStyle(nullptr), -1);
    GlobalFree(dib32);
}

TEST(StyleFunctions, GenStyleThenFetchEqualsPreprocessAndLeavesNoDib) {
    for (int bits : {24, 8}) {
        SCOPED_TRACE(bits);
        HGLOBAL dib = HostDib(64, 48, bits);
        const long live = hv::LiveHandles();
        const int len = GenStyle(dib);
        EXPECT_EQ(hv::LiveHandles(), live);
        const std::vector<unsigned char> fetched = Fetched();
        ASSERT_GT(len, 50 + 5120);
        ASSERT_EQ(static_cast<int>(fetched.size()), len);
        EXPECT_EQ(fetched[0] | fetched[1] << 8 | fetched[2] << 16 | fetched[3] << 24, len - 4);
        EXPECT_EQ(Preprocessed(dib), fetched);
        EXPECT_EQ(hv::LiveHandles(), live);
        ccColorPocketArray t;
        std::vector<char> copy(fetched.begin(), fetched.end());
        ASSERT_EQ(t.LoadFromBuf(copy.data()), len - 4);
        EXPECT_GT(t.pockets.GetSize(), 1);
        GlobalFree(dib);
    }
}

TEST(StyleFunctions, FailedReductionKeepsThePreviousStyle) {
    HGLOBAL a = HostDib(40, 30, 24);
    ASSERT_GT(GenStyle(a), 0);
    const std::vector<unsigned char> styleA = Fetched();
    // A 24-bit header whose pixels are missing cannot be reduced.
    HGLOBAL cut = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 10);
    *static_cast<BITMAPINFOHEADER*>(GlobalLock(cut)) = Header(100, 100, 24);
    GlobalUnlock(cut);
    const long live = hv::LiveHandles();
    EXPECT_EQ(GenStyle(cut), -1);
    EXPECT_EQ(Fetched(), styleA);
    char mark = 0;
    char* out = &mark;
    EXPECT_EQ(Preprocess(cut, &out), -1);
    EXPECT_EQ(out, &mark);
    EXPECT_EQ(hv::LiveHandles(), live);
    GlobalFree(a);
    GlobalFree(cut);
}

TEST(StyleFunctions, PhotoGivesTheSameStyleTwice) {
    // The coffee sample photo, scaled down to a 24-bit bitmap.
    const std::string path = std::string(HUEVANE_TEST_DATA) + "/extract/coffee_120x80.bmp";
    auto* dib = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    ASSERT_NE(dib, nullptr);
    const long live = hv::LiveHandles();
    const int len = GenStyle(dib);
    ASSERT_GT(len, 50 + 5120);  // a full palette and some pockets
    const std::vector<unsigned char> first = Fetched();
    EXPECT_EQ(GenStyle(dib), len);
    EXPECT_EQ(Fetched(), first);
    EXPECT_EQ(Preprocessed(dib), first);
    EXPECT_EQ(hv::LiveHandles(), live);

    ccColorPocketArray t;  // every pixel lands in some pocket
    std::vector<char> copy(first.begin(), first.end());
    ASSERT_EQ(t.LoadFromBuf(copy.data()), len - 4);
    long long sum = 0;
    for (ccColorPocket* p : t.pockets) sum += p->pixelNum;
    EXPECT_EQ(sum, 120 * 80);
    hv::FreeHandle(dib);  // made by the library
}
