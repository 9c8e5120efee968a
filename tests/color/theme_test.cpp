// The theme object: construction, palette set-up and ownership of handles.
#include "huevane/theme.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "color/colorword.h"
#include "dib/dib.h"
#include "platform/memory.h"

TEST(Theme, StartsEmptyAndSetsPaletteEntriesFromTruncatedFractions) {
    ccColorPocketArray t(1);
    EXPECT_TRUE(t.GetImageWidth() == -1 && !t.GetTrueDibCopy() && !t.GetColorPocket(0) && t.sortMode == 0);
    EXPECT_EQ(t.GetThemeType(), 1);
    EXPECT_EQ(ccColorPocketArray().GetThemeType(), 0);
    EXPECT_THROW(t.GetMainHue(), std::out_of_range);
    ASSERT_EQ(t.InitPalette(256), 256);
    EXPECT_EQ(t.palette[17].palIndex, -1);
    ccColorItem* it = t.SetPalEntry(5, 1.0f, 0.5f, 0.0f, 10, 40);
    EXPECT_EQ(it, &t.palette[5]);
    EXPECT_EQ(RgbWord(it->rgb), 0x00FF7F00u);  // reserved byte 0
    EXPECT_EQ(it->palIndex, 5);
    EXPECT_EQ(it->pixelNum, 10);
    EXPECT_FLOAT_EQ(it->percentage, 0.25f);
    EXPECT_EQ(it->hsl, RGBtoHSL(it->rgb));
    EXPECT_EQ(RgbWord(t.SetPalEntryBYTE(255, 1, 2, 3, 1, 3)->rgb), 0x00010203u);
    EXPECT_FLOAT_EQ(t.palette[255].percentage, 1.0f / 3);
    EXPECT_EQ(t.InitPalette(0), 0);
    EXPECT_TRUE(!t.palette && t.paletteSize == 0);
}

TEST(Theme, PocketLookupsByPositionAndIndex) {
    ccColorPocketArray t;
    for (int id : {7, 3, 3}) {
        t.pockets.Add(new ccColorPocket);
        t.pockets[t.pockets.GetSize() - 1]->index = id;
    }
    t.pockets[0]->aveHSL = MakeHsl(42, 10, 10, 0);
    ccColorPocket stranger;
    EXPECT_EQ(t.GetIndex(t.pockets[2]), 2);
    EXPECT_EQ(t.GetIndex(&stranger), -1);
    EXPECT_EQ(t.GetColorPocket(3), t.pockets[1]);  // the first in list order
    EXPECT_EQ(t.GetColorPocket(4), nullptr);
    EXPECT_EQ(t.GetMainHue(), 42);
    ASSERT_EQ(t.InitPalette(4), 4);
    t.SetPalEntryBYTE(2, 9, 9, 9, 1, 1);
    t.ClearAll();  // pockets go, the palette stays
    EXPECT_EQ(t.pockets.GetSize(), 0);
    EXPECT_EQ(t.paletteSize, 4);
    EXPECT_EQ(t.palette[2].rgb.rgbRed, 9);
}

TEST(Theme, ReleasesOnlyTheHandlesItOwns) {
    const long before = hv::LiveHandles();
    void* host = MakeEmptyDib(3, 2, 8, true);
    void* derived = MakeEmptyDib(5, 4, 8, true);
    void* replaced = MakeEmptyDib(1, 1, 8, true);
    void* hostCopy = MakeEmptyDib(3, 2, 24, true);
    {
        ccColorPocketArray t;
        t.SetPalDib(replaced, true);
        t.SetPalDib(replaced, false);  // same handle: nothing changes, the flag included
        EXPECT_TRUE(t.ownsPalDib);
        t.SetPalDib(derived, true);  // the owned handle it replaces is released
        EXPECT_EQ(hv::LiveHandles(), before + 3);
        EXPECT_EQ(t.GetImageWidth(), 5);
        t.SetTrueDibCopy(hostCopy);  // no trueDib: ignored
        EXPECT_EQ(t.GetTrueDibCopy(), nullptr);
        t.SetTrueDib(host);
        t.SetTrueDibCopy(hostCopy);
        t.SetTrueDibCopy(derived);  // a copy already in place: ignored
        EXPECT_EQ(t.GetTrueDibCopy(), hostCopy);
    }
    EXPECT_EQ(hv::LiveHandles(), before + 2);  // the derived palette DIB went with the theme
    {
        ccColorPocketArray t;
        t.SetPalDib(host, false);
        t.SetTrueDib(host);
        t.trueDibCopy = MakeEmptyDib(3, 2, 24, true);  // a backup the theme took itself
    }
    EXPECT_EQ(hv::LiveHandles(), before + 2);
    EXPECT_GT(GlobalSize(host), 0u);
    hv::FreeHandle(host);
    hv::FreeHandle(hostCopy);
    EXPECT_EQ(hv::LiveHandles(), before);
}
