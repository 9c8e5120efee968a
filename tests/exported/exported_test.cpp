// The shared library as a host sees it through the public headers alone:
// the flat functions, and objects, strings and exceptions made on one side
// of the boundary and used or released on the other.
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>

#include "huevane/huevane.h"
#include "huevane/theme.h"

TEST(Exported, HslToRgbAndBitmapFilesThroughTheSharedLibrary) {
    EXPECT_EQ(HSLtoRGB(0x0080FF00u), 0x00FF0101u);  // hue 0, sat 255, light 128: red 255, green 1, blue 1
    // A run-length coded 8-bit DIB made the way a host makes one is saved
    // and read back, but not without its image size.
    const std::string path = ::testing::TempDir() + "exported_roundtrip.bmp";
    for (DWORD size : {6, 0}) {
        HGLOBAL dib = GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 14);
        *static_cast<BITMAPINFOHEADER*>(GlobalLock(dib)) = {40, 2, 2, 1, 8, BI_RLE8, size, 0, 0, 2, 0};
        GlobalUnlock(dib);
        EXPECT_EQ(SaveDIB(dib, path.c_str()), 1);
        auto back = reinterpret_cast<HGLOBAL>(LoadDIB(path.c_str()));
        EXPECT_EQ(back != nullptr, size != 0);
        EXPECT_EQ(GlobalFree(back), nullptr);
        EXPECT_EQ(GlobalFree(dib), nullptr);
    }
    // A handle short of a header is refused.
    HGLOBAL shortHandle = GlobalAlloc(GHND, 10);
    EXPECT_EQ(SaveDIB(shortHandle, path.c_str()), 0);
    GlobalFree(shortHandle);
    std::remove(path.c_str());
}

TEST(ExportedClasses, ThemeOwnsWhatTheHostAddsAndReportsErrorsToIt) {
    auto* theme = new ccColorPocketArray(1);  // constructed by the library
    // An empty theme has no main hue: the range error thrown inside the
    // library reaches the host as the standard exception.
    try {
        theme->GetMainHue();
        ADD_FAILURE() << "GetMainHue on an empty theme returned";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }
    // A palette item made by the library, read through the host's view of
    // the class layout.
    ASSERT_EQ(theme->InitPalette(256), 256);
    ccColorItem* item = theme->SetPalEntryBYTE(7, 200, 100, 50, 25, 100);
    ASSERT_EQ(item, &theme->palette[7]);
    EXPECT_TRUE(RgbWord(item->rgb) == 0xC86432u && item->palIndex == 7 && item->percentage == 0.25f);
    // A pocket allocated by the host, with a string too long for in-place
    // storage, handed to the theme, which deletes it in its destructor.
    auto* pocket = new ccColorPocket;
    pocket->name = std::string(64, 'x') + " made by the host";
    EXPECT_EQ(pocket->AddColorItem(item), 0);
    pocket->aveHSL = 0x00804020u;  // hue 0x20
    theme->pockets.Add(pocket);
    theme->name = "a theme named by the host, long enough to live on the heap";
    EXPECT_EQ(theme->GetMainHue(), 0x20);
    delete theme;  // releases the host's pocket and strings inside the library
}
