// The palette image of a theme, the backup of its 24-bit image and restore.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#include "cli/tool_run.h"
#include "transfer/transfer_fixtures.h"

namespace {

// A 24-bit DIB of w x h whose memory row y, column x gets bgr(x, y).
template <class F>
void* Dib24(int w, int h, F bgr) {
    void* dib = MakeEmptyDib(w, h, 24, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const tagRGBQUAD c = bgr(x, y);
            v.rows[y][3 * x] = c.rgbBlue;
            v.rows[y][3 * x + 1] = c.rgbGreen;
            v.rows[y][3 * x + 2] = c.rgbRed;
        }
    return dib;
}

// A palette of 256 items, item i coloured colour(i).
template <class F>
void FillPalette(ccColorPocketArray& t, F colour) {
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) {
        const tagRGBQUAD c = colour(i);
        t.SetPalEntryBYTE(i, c.rgbRed, c.rgbGreen, c.rgbBlue, 1, 256);
    }
}

tagRGBQUAD Bgr(int b, int g, int r) {
    return tagRGBQUAD{static_cast<BYTE>(b), static_cast<BYTE>(g), static_cast<BYTE>(r), 0};
}

class PalImage : public ::testing::Test {
protected:
    void SetUp() override { handles_ = hv::LiveHandles(); }
    void TearDown() override { EXPECT_EQ(hv::LiveHandles(), handles_); }
    long handles_ = 0;
};

}  // namespace

TEST_F(PalImage, GetPalDibReducesOnceAndKeepsTheFirstImage) {
    void* image = Dib24(5, 3, [](int x, int y) { return Bgr(40 * x, 80 * y, 200); });
    {
        ccColorPocketArray t;
        EXPECT_EQ(t.GetPalDib(), -1);  // no true image yet
        EXPECT_EQ(t.palDib, nullptr);
        t.SetTrueDib(image);
        ASSERT_EQ(t.GetPalDib(), 0);
        void* first = t.palDib;
        EXPECT_TRUE(t.ownsPalDib);
        ipDibStuff v(first, false);
        EXPECT_TRUE(v.isPalette8());
        EXPECT_EQ(v.width(), 5);
        EXPECT_EQ(v.height(), 3);
        EXPECT_EQ(t.GetPalDib(), -1);
        EXPECT_EQ(t.palDib, first);
    }
    hv::FreeHandle(image);  // the theme left the host's image alone
}

TEST_F(PalImage, SavePalDibNeedsBothImagesAndWritesTheEightBitForm) {
    const std::string path = tool::Temp("pal.bmp");
    void* image = Dib24(6, 2, [](int x, int) { return x < 3 ? Bgr(0, 0, 255) : Bgr(255, 0, 0); });
    {
        ccColorPocketArray t;
        EXPECT_EQ(t.SavePalDib(path.c_str()), -1);
        t.SetTrueDib(image);
        EXPECT_EQ(t.SavePalDib(path.c_str()), -1);  // no palette image yet
        ASSERT_EQ(t.GetPalDib(), 0);
        ccColorPocketArray noTrue;
        noTrue.SetPalDib(t.palDib, false);
        EXPECT_EQ(noTrue.SavePalDib(path.c_str()), -1);
        EXPECT_EQ(t.SavePalDib(path.c_str()), 0);
        void* back = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(tfix::Pixels(back), tfix::Pixels(t.palDib));
        EXPECT_EQ(tfix::Colors(back).size(), 256u);
        hv::FreeHandle(back);
        // A path that cannot be written still gives 0.
        EXPECT_EQ(t.SavePalDib("/nonexistent-dir/x.bmp"), 0);
    }
    std::remove(path.c_str());
    hv::FreeHandle(image);
}

TEST_F(PalImage, ConvertToPalDibRefusals) {
    void* image = Dib24(2, 2, [](int, int) { return Bgr(1, 2, 3); });
    void* eight = MakeEmptyDib(2, 2, 8, true);
    struct Case {
        const char* what;
        void* trueDib;
        int paletteSize;
        bool hasPalDib;
        int want;
    } cases[] = {
        {"no true image", nullptr, 256, false, -1},
        {"palette of 255", image, 255, false, -1},
        {"no palette", image, 0, false, -1},
        {"palette image exists", image, 256, true, -2},
        {"eight-bit true image", eight, 256, false, -1},
    };
    for (const Case& c : cases) {
        ccColorPocketArray t;
        if (c.paletteSize) FillPalette(t, [](int i) { return Bgr(i, i, i); });
        if (c.paletteSize && c.paletteSize != 256) t.paletteSize = c.paletteSize;
        t.SetTrueDib(c.trueDib);
        if (c.hasPalDib) t.SetPalDib(eight, false);
        void* before = t.palDib;
        EXPECT_EQ(t.ConvertToPalDib(), c.want) << c.what;
        EXPECT_EQ(t.palDib, before) << c.what;
        if (c.paletteSize && c.paletteSize != 256) t.paletteSize = 256;
    }
    hv::FreeHandle(image);
    hv::FreeHandle(eight);
}

TEST_F(PalImage, ConvertToPalDibMapsEachPixelToTheNearestPaletteColour) {
    // 7 x 3 (rows padded to 8 bytes at 8 bits, 24 at 24 bits); every pixel
    // differs, so a swapped row or column shows.
    auto colour = [](int x, int y) { return Bgr(x * 30, y * 100, (x * 37 + y * 61) % 256); };
    void* image = Dib24(7, 3, colour);
    {
        ccColorPocketArray t;
        // Index 0 black, 1 white, the rest mid grey twice over; a pixel near
        // grey ties between 2 and 3 and takes the lower.
        FillPalette(t, [](int i) { return i == 0 ? Bgr(0, 0, 0) : i == 1 ? Bgr(255, 255, 255) : Bgr(128, 128, 128); });
        t.SetTrueDib(image);
        ASSERT_EQ(t.ConvertToPalDib(), 0);
        EXPECT_TRUE(t.ownsPalDib);
        ipDibStuff pal(t.palDib, false);
        ASSERT_TRUE(pal.isPalette8());
        ASSERT_EQ(pal.width(), 7);
        ASSERT_EQ(pal.height(), 3);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(RgbWord(pal.colors[i]), RgbWord(t.palette[i].rgb)) << i;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) {
                const tagRGBQUAD c = colour(x, y);
                auto dist = [&](int v) {
                    return (c.rgbBlue - v) * (c.rgbBlue - v) + (c.rgbGreen - v) * (c.rgbGreen - v) +
                           (c.rgbRed - v) * (c.rgbRed - v);
                };
                int want = 0;
                if (dist(255) < dist(0)) want = 1;
                if (dist(128) < dist(want == 0 ? 0 : 255)) want = 2;
                EXPECT_EQ(pal.rows[y][x], want) << x << "," << y;
            }
        EXPECT_EQ(t.ConvertToPalDib(), -2);
    }
    hv::FreeHandle(image);
}

TEST_F(PalImage, ConvertToPalDibAgreesWithTheQueryOnAPhoto) {
    void* photo = tfix::Photo("autumn_256.bmp");
    ASSERT_NE(photo, nullptr);
    {
        ccColorPocketArray t;
        // A coarse palette: many photo colours share a slot of the cache.
        FillPalette(t, [](int i) { return Bgr((i & 7) * 36, ((i >> 3) & 7) * 36, (i >> 6) * 85); });
        t.SetTrueDib(photo);
        ASSERT_EQ(t.ConvertToPalDib(), 0);
        ipDibStuff pal(t.palDib, false), tru(photo, false);
        int wrong = 0;
        for (int y = 0; y < tru.height(); ++y)
            for (int x = 0; x < tru.width(); ++x) wrong += pal.rows[y][x] != pal.GetNearestColor(tru.rows[y] + 3 * x);
        EXPECT_EQ(wrong, 0);
    }
    hv::FreeHandle(photo);
}

TEST_F(PalImage, MakeTrueDibCopyTakesOneOwnedBackup) {
    void* image = Dib24(3, 3, [](int x, int y) { return Bgr(x, y, 9); });
    {
        ccColorPocketArray none;
        none.MakeTrueDibCopy();
        EXPECT_EQ(none.trueDibCopy, nullptr);

        ccColorPocketArray t;
        t.SetTrueDib(image);
        t.MakeTrueDibCopy();
        ASSERT_NE(t.trueDibCopy, nullptr);
        EXPECT_NE(t.trueDibCopy, image);
        EXPECT_FALSE(t.trueDibCopyBorrowed);
        const std::vector<BYTE> first = tfix::Pixels(image);
        EXPECT_EQ(tfix::Pixels(t.trueDibCopy), first);
        void* copy = t.trueDibCopy;
        ipDibStuff(image, false).rows[0][0] = 200;
        t.MakeTrueDibCopy();  // never replaced
        EXPECT_EQ(t.trueDibCopy, copy);
        EXPECT_EQ(tfix::Pixels(t.trueDibCopy), first);
    }  // the theme releases its backup (the fixture counts handles)
    hv::FreeHandle(image);
}

TEST_F(PalImage, RestorePalDibColorsWritesAllFourBytes) {
    ccColorPocketArray t;
    EXPECT_EQ(t.RestorePalDibColors(), -1);
    FillPalette(t, [](int i) { return Bgr(i, 255 - i, i / 2); });
    t.palette[9].rgb.rgbReserved = 77;
    t.SetPalDib(MakeEmptyDib(4, 4, 8, true), true);
    {
        ipDibStuff v(t.palDib, false);
        for (int i = 0; i < 256; ++i) v.colors[i] = Bgr(1, 1, 1);
    }
    EXPECT_EQ(t.RestorePalDibColors(), 0);
    const std::vector<tagRGBQUAD> c = tfix::Colors(t.palDib);
    ASSERT_EQ(c.size(), 256u);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(RgbWord(c[i]), RgbWord(t.palette[i].rgb)) << i;
    EXPECT_EQ(c[9].rgbReserved, 77);

    // A palette image of 16 table entries is refused and left alone.
    ccColorPocketArray small;
    FillPalette(small, [](int) { return Bgr(5, 5, 5); });
    void* dib16 = MakeEmptyDib(4, 4, 8, true);
    {
        ipDibStuff v(dib16, false);
        v.header->biClrUsed = 16;
    }
    small.SetPalDib(dib16, true);
    EXPECT_EQ(small.RestorePalDibColors(), -1);
    EXPECT_EQ(small.RestoreColors(), -1);
    EXPECT_EQ(tfix::Colors(dib16)[0].rgbBlue, 0);
}

TEST_F(PalImage, RestoreColorsWithoutBackupFailsYetEndsTheHighlight) {
    void* image = Dib24(2, 2, [](int, int) { return Bgr(3, 3, 3); });
    {
        ccColorPocketArray t;
        t.SetTrueDib(image);
        t.highlighted = true;
        EXPECT_EQ(t.RestoreColors(), -1);
        EXPECT_FALSE(t.highlighted);
    }
    {
        ccColorPocketArray t;  // neither image: the palette-image branch fails
        t.highlighted = true;
        EXPECT_EQ(t.RestoreColors(), -1);
        EXPECT_FALSE(t.highlighted);
    }
    hv::FreeHandle(image);
}

TEST_F(PalImage, RestoreColorsWithoutTrueImageRestoresThePaletteColours) {
    ccColorPocketArray t;
    FillPalette(t, [](int i) { return Bgr(i, i, 0); });
    t.SetPalDib(MakeEmptyDib(2, 2, 8, true), true);
    t.highlighted = true;
    EXPECT_EQ(t.RestoreColors(), 0);
    EXPECT_FALSE(t.highlighted);
    EXPECT_EQ(tfix::Colors(t.palDib)[200].rgbGreen, 200);
}

TEST_F(PalImage, RestoreColorsAfterTransfersReturnsTheFirstColours) {
    void* photo = tfix::Photo("autumn_256.bmp");
    void* stylePhoto = tfix::Photo("cups_256.bmp");
    ASSERT_NE(photo, nullptr);
    ASSERT_NE(stylePhoto, nullptr);
    const std::vector<BYTE> first = tfix::Pixels(photo);
    {
        ccColorPocketArray style;
        style.SetPalDib(DecreaseBpp24to8(stylePhoto), true);
        ASSERT_EQ(style.GetColorPockets(), 0);

        ccColorPocketArray t;
        t.SetTrueDib(photo);
        ASSERT_EQ(t.GetPalDib(), 0);
        ASSERT_EQ(t.GetColorPockets(), 0);
        ASSERT_EQ(t.ApplyColorTrans(&style, false, false, true), 0);
        ASSERT_NE(tfix::Pixels(photo), first);
        ASSERT_EQ(t.ApplyColorTrans(&style, false, true, false), 0);  // a second transfer
        const std::vector<tagRGBQUAD> table = tfix::Colors(t.palDib);
        t.highlighted = true;
        EXPECT_EQ(t.RestoreColors(), 0);
        EXPECT_FALSE(t.highlighted);
        EXPECT_EQ(tfix::Pixels(photo), first);
        // The palette image keeps its transferred table until asked.
        const std::vector<tagRGBQUAD> after = tfix::Colors(t.palDib);
        ASSERT_EQ(after.size(), table.size());
        for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(RgbWord(after[i]), RgbWord(table[i])) << i;
        EXPECT_EQ(t.RestorePalDibColors(), 0);
        EXPECT_EQ(RgbWord(tfix::Colors(t.palDib)[17]), RgbWord(t.palette[17].rgb));
    }
    hv::FreeHandle(photo);
    hv::FreeHandle(stylePhoto);
}

TEST_F(PalImage, RestoreColorsRefusesABackupOfAnotherSize) {
    void* image = Dib24(4, 4, [](int, int) { return Bgr(10, 10, 10); });
    void* other = Dib24(3, 4, [](int, int) { return Bgr(99, 99, 99); });
    {
        ccColorPocketArray t;
        t.SetTrueDib(image);
        t.SetTrueDibCopy(other);  // lent by the host
        EXPECT_EQ(t.RestoreColors(), -1);
        EXPECT_EQ(tfix::Pixels(image)[0], 10);
    }
    hv::FreeHandle(image);
    hv::FreeHandle(other);
}
