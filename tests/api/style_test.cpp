// Style extraction through the flat functions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#ifdef HUEVANE_CLI_BINARY
#include "imageio.h"
#endif

namespace {

// A host DIB made with GlobalAlloc: 8 bits (256-entry table), 24 or 32.
// Pixels follow a smooth pattern with a few distinct hues.
HGLOBAL HostDib(int w, int h, int bits, unsigned seed = 1) {
    const int table = bits == 8 ? 256 : 0;
    const size_t stride = static_cast<size_t>((w * bits + 31) / 32) * 4;
    HGLOBAL dib = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 4 * table + stride * h);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    hd->biSize = sizeof(BITMAPINFOHEADER);
    hd->biWidth = w;
    hd->biHeight = h;
    hd->biPlanes = 1;
    hd->biBitCount = static_cast<WORD>(bits);
    auto* colors = reinterpret_cast<tagRGBQUAD*>(hd + 1);
    for (int i = 0; i < table; ++i)
        colors[i] = {(BYTE)(i * 3 + seed), (BYTE)(255 - i), (BYTE)((i * 7) ^ seed), 0};
    BYTE* px = reinterpret_cast<BYTE*>(colors + table);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = px + y * stride + x * (bits / 8);
            const int band = (x * 4 / w + seed) % 4;
            const BYTE r = band == 0 ? 220 : band == 1 ? 30 : band == 2 ? 40 : 128;
            const BYTE g = band == 0 ? 40 : band == 1 ? 180 : band == 2 ? 60 : 128;
            const BYTE b = band == 0 ? 30 : band == 1 ? 50 : band == 2 ? 200 : 128;
            if (bits == 8) {
                p[0] = static_cast<BYTE>((x * 16 + y + seed) % 64);
            } else {
                p[0] = static_cast<BYTE>(b + (y % 16));
                p[1] = static_cast<BYTE>(g + (x % 8));
                p[2] = static_cast<BYTE>(r - (y % 8));
            }
        }
    GlobalUnlock(dib);
    return dib;
}

std::vector<unsigned char> Contents(HGLOBAL h) {
    const auto* p = static_cast<const unsigned char*>(GlobalLock(h));
    std::vector<unsigned char> v(p, p + GlobalSize(h));
    GlobalUnlock(h);
    return v;
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

// Runs first in this file: nothing has made a style buffer yet.
TEST(StyleFunctions, FetchBeforeGenStyleAndBadArguments) {
    std::vector<unsigned char> dest(64, 0xAB);
    EXPECT_EQ(FetchStyle(dest.data()), -1);
    EXPECT_EQ(dest[0], 0xAB);
    EXPECT_EQ(FetchStyle(nullptr), -1);
    EXPECT_EQ(Preprocess(nullptr, nullptr), -1);
    FreeStyleBuf(nullptr);
}

TEST(StyleFunctions, OtherDepthsGiveTheEmptyStyle) {
    std::vector<unsigned char> empty = {46, 0, 0, 0, 'C', 'C', 21, 0, 0, 0};
    empty.resize(50, 0);
    HGLOBAL dib32 = HostDib(8, 4, 32);
    EXPECT_EQ(GenStyle(dib32), 50);
    EXPECT_EQ(Fetched(), empty);
    EXPECT_EQ(Preprocessed(dib32), empty);
    EXPECT_EQ(GenStyle(nullptr), 50);
    EXPECT_EQ(Preprocessed(nullptr), empty);
    GlobalFree(dib32);
}

TEST(StyleFunctions, GenStyleAndPreprocessAgreeAndLeakNothing) {
    for (int bits : {24, 8}) {
        HGLOBAL dib = HostDib(64, 48, bits);
        const std::vector<unsigned char> before = Contents(dib);
        const long live = hv::LiveHandles();

        const int len = GenStyle(dib);
        EXPECT_EQ(hv::LiveHandles(), live) << bits;
        const std::vector<unsigned char> fetched = Fetched();
        ASSERT_GT(len, 50) << bits;
        ASSERT_EQ(static_cast<int>(fetched.size()), len);
        uint32_t field;
        std::memcpy(&field, fetched.data(), 4);
        EXPECT_EQ(field + 4, static_cast<uint32_t>(len));
        EXPECT_EQ(Fetched(), fetched);  // fetching does not consume it

        EXPECT_EQ(Preprocessed(dib), fetched) << bits;
        EXPECT_EQ(hv::LiveHandles(), live) << bits;
        EXPECT_EQ(Contents(dib), before) << bits;  // the host's image is untouched

        // The style is the image's theme: every pixel in some pocket.
        ccColorPocketArray t;
        ASSERT_EQ(t.LoadFromBuf(reinterpret_cast<char*>(const_cast<unsigned char*>(fetched.data()))),
                  len - 4);
        EXPECT_EQ(t.paletteSize, 256);
        ASSERT_GT(t.pockets.GetSize(), 1);
        long long pixels = 0;
        for (int j = 0; j < t.pockets.GetSize(); ++j) {
            EXPECT_EQ(t.pockets[j]->index, j);
            pixels += t.pockets[j]->pixelNum;
            if (j) {
                EXPECT_GE(t.pockets[j - 1]->pixelNum, t.pockets[j]->pixelNum);
            }
        }
        EXPECT_EQ(pixels, 64 * 48) << bits;
        GlobalFree(dib);
    }
}

TEST(StyleFunctions, NewestStyleWinsAndFailedReductionKeepsIt) {
    HGLOBAL a = HostDib(40, 30, 24, 1);
    HGLOBAL b = HostDib(52, 30, 24, 2);
    const std::vector<unsigned char> styleB = Preprocessed(b);
    ASSERT_GT(GenStyle(a), 0);
    const std::vector<unsigned char> styleA = Fetched();
    ASSERT_GT(GenStyle(b), 0);
    EXPECT_EQ(Fetched(), styleB);
    EXPECT_NE(styleA, styleB);

    // A 24-bit header whose pixels are missing cannot be reduced.
    HGLOBAL cut = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 10);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(cut));
    hd->biSize = sizeof(BITMAPINFOHEADER);
    hd->biWidth = 100;
    hd->biHeight = 100;
    hd->biPlanes = 1;
    hd->biBitCount = 24;
    GlobalUnlock(cut);
    const long live = hv::LiveHandles();
    EXPECT_EQ(GenStyle(cut), -1);
    EXPECT_EQ(Fetched(), styleB);
    char mark = 0;
    char* sentinel = &mark;
    char* out = sentinel;
    EXPECT_EQ(Preprocess(cut, &out), -1);
    EXPECT_EQ(out, sentinel);
    EXPECT_EQ(hv::LiveHandles(), live);

    // Two runs on the same image give the same bytes.
    ASSERT_GT(GenStyle(a), 0);
    EXPECT_EQ(Fetched(), styleA);
    GlobalFree(a);
    GlobalFree(b);
    GlobalFree(cut);
}

namespace {

// A real photograph as a 24-bit DIB, and a function that releases it: a
// full sample through the image reader when the tool is built, else a
// small bitmap of one.
struct Photo {
    HGLOBAL dib = nullptr;
    long long pixels = 0;
    Photo() {
#ifdef HUEVANE_CLI_BINARY
        dib = static_cast<HGLOBAL>(hvio::ReadImage(std::string(HUEVANE_SAMPLES) + "/chelsea.png", nullptr));
#else
        const std::string path = std::string(HUEVANE_TEST_DATA) + "/extract/coffee_120x80.bmp";
        dib = reinterpret_cast<HGLOBAL>(LoadDIB(path.c_str()));
#endif
        if (!dib) return;
        const auto* hd = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
        pixels = static_cast<long long>(hd->biWidth) * hd->biHeight;
        GlobalUnlock(dib);
    }
    ~Photo() {
#ifdef HUEVANE_CLI_BINARY
        GlobalFree(dib);
#else
        hv::FreeHandle(dib);  // made by the library
#endif
    }
};

}  // namespace

TEST(StyleFunctions, PhotoGivesTheSameStyleTwice) {
    Photo photo;
    ASSERT_NE(photo.dib, nullptr);
    const long live = hv::LiveHandles();
    const int len = GenStyle(photo.dib);
    ASSERT_GT(len, 50 + 5120);
    const std::vector<unsigned char> first = Fetched();
    EXPECT_EQ(GenStyle(photo.dib), len);
    EXPECT_EQ(Fetched(), first);
    EXPECT_EQ(Preprocessed(photo.dib), first);
    EXPECT_EQ(hv::LiveHandles(), live);

    ccColorPocketArray t;
    ASSERT_EQ(t.LoadFromBuf(reinterpret_cast<char*>(const_cast<unsigned char*>(first.data()))), len - 4);
    EXPECT_GT(t.pockets.GetSize(), 1);
    long long pixels = 0;
    for (ccColorPocket* p : t.pockets) pixels += p->pixelNum;
    EXPECT_EQ(pixels, photo.pixels);
}
