// The exported classes used across the shared library's boundary: objects,
// strings and exceptions made on one side and used or released on the other.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "huevane/theme.h"

TEST(ExportedClasses, ThemeOwnsWhatTheHostAddsAndReportsErrorsToIt) {
    auto* theme = new ccColorPocketArray(1);  // constructed by the library
    EXPECT_EQ(theme->GetThemeType(), 1);

    // An empty theme has no main hue: the range error thrown inside the
    // library reaches the host as the standard exception.
    try {
        theme->GetMainHue();
        ADD_FAILURE() << "GetMainHue on an empty theme returned";
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
    }

    // Palette items made by the library, read through the host's view of the
    // class layout.
    ASSERT_EQ(theme->InitPalette(256), 256);
    ccColorItem* item = theme->SetPalEntryBYTE(7, 200, 100, 50, 25, 100);
    ASSERT_EQ(item, &theme->palette[7]);
    EXPECT_EQ(item->rgb.rgbRed, 200);
    EXPECT_EQ(item->rgb.rgbGreen, 100);
    EXPECT_EQ(item->rgb.rgbBlue, 50);
    EXPECT_EQ(item->palIndex, 7);
    EXPECT_FLOAT_EQ(item->percentage, 0.25f);

    // A pocket allocated by the host, with a string too long for in-place
    // storage, handed to the theme, which deletes it in its destructor.
    auto* pocket = new ccColorPocket;
    pocket->name = std::string(64, 'x') + " made by the host";
    EXPECT_EQ(pocket->AddColorItem(item), 0);
    EXPECT_EQ(pocket->items.GetSize(), 1);
    pocket->aveHSL = 0x00804020u;  // hue 0x20
    pocket->index = 3;
    theme->pockets.Add(pocket);
    theme->name = "a theme named by the host, long enough to live on the heap";

    EXPECT_EQ(theme->GetMainHue(), 0x20);
    EXPECT_EQ(theme->GetColorPocket(3), pocket);
    EXPECT_EQ(theme->GetIndex(pocket), 0);
    delete theme;  // releases the host's pocket and strings inside the library
}
