// The flat interface as a host sees it: only the public header and the
// shared library.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "huevane/huevane.h"

TEST(Exported, HslToRgbAndBitmapRoundTripThroughTheSharedLibrary) {
    EXPECT_EQ(HSLtoRGB(0x0080FF00u), 0x00FF0101u);  // hue 0, sat 255, light 128: red 255, green 1, blue 1

    // A 2x2 24-bit DIB made the way a host makes one.
    const size_t size = sizeof(BITMAPINFOHEADER) + 2 * 8;
    HGLOBAL dib = GlobalAlloc(GHND, size);
    ASSERT_NE(dib, nullptr);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    h->biSize = 40;
    h->biWidth = 2;
    h->biHeight = 2;
    h->biPlanes = 1;
    h->biBitCount = 24;
    BYTE* px = reinterpret_cast<BYTE*>(h + 1);
    for (int i = 0; i < 16; ++i) px[i] = static_cast<BYTE>(i * 13);
    GlobalUnlock(dib);

    const std::string path = ::testing::TempDir() + "exported_roundtrip.bmp";
    ASSERT_EQ(SaveDIB(dib, path.c_str()), 1);
    intptr_t back = LoadDIB(path.c_str());
    ASSERT_NE(back, 0);
    ASSERT_EQ(GlobalSize(reinterpret_cast<HGLOBAL>(back)), size);
    void* a = GlobalLock(dib);
    void* b = GlobalLock(reinterpret_cast<HGLOBAL>(back));
    EXPECT_EQ(std::memcmp(a, b, size), 0);
    GlobalUnlock(dib);
    GlobalUnlock(reinterpret_cast<HGLOBAL>(back));
    EXPECT_EQ(GlobalFree(reinterpret_cast<HGLOBAL>(back)), nullptr);
    EXPECT_EQ(GlobalFree(dib), nullptr);
    std::remove(path.c_str());
}
