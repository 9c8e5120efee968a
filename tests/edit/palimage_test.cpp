// The palette image of a theme, the backup of its 24-bit image and restore.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string>

#include "edit/edit_fixtures.h"

using namespace ed;

namespace {

// A 24-bit DIB of w x h whose memory row y, column x gets colour(x, y).
template <class F>
void* Dib24(int w, int h, F colour) {
    void* dib = MakeEmptyDib(w, h, 24, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const tagRGBQUAD c = colour(x, y);
            BYTE* p = v.rows[y] + 3 * x;
            p[0] = c.rgbBlue, p[1] = c.rgbGreen, p[2] = c.rgbRed;
        }
    return dib;
}

// A palette of 256 items, item i coloured colour(i).
template <class F>
void FillPalette(ccColorPocketArray& t, F colour) {
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, colour(i).rgbRed, colour(i).rgbGreen, colour(i).rgbBlue, 1, 256);
}

void* Photo(const char* name) {
    return reinterpret_cast<void*>(LoadDIB((std::string(HUEVANE_TEST_DATA) + "/transfer/" + name).c_str()));
}

class PalImage : public ::testing::Test {
protected:
    void SetUp() override { handles_ = hv::LiveHandles(); }
    void TearDown() override { EXPECT_EQ(hv::LiveHandles(), handles_); }
    long handles_ = 0;
};

}  // namespace

TEST_F(PalImage, GetPalDibReducesOnceAndSavePalDibNeedsBothImages) {
    const std::string path = ::testing::TempDir() + "hv_palimage_pal.bmp";
    void* image = Dib24(5, 3, [](int x, int y) { return Rgb(200, 80 * y, 40 * x); });
    {
        ccColorPocketArray t;
        EXPECT_EQ(t.GetPalDib(), -1);  // no true image yet
        EXPECT_EQ(t.SavePalDib(path.c_str()), -1);
        t.SetTrueDib(image);
        EXPECT_EQ(t.SavePalDib(path.c_str()), -1);  // no palette image yet
        ASSERT_EQ(t.GetPalDib(), 0);
        void* first = t.palDib;
        EXPECT_TRUE(t.ownsPalDib);
        ipDibStuff v(first, false);
        EXPECT_TRUE(v.isPalette8() && v.width() == 5 && v.height() == 3);
        EXPECT_EQ(t.GetPalDib(), -1);
        EXPECT_EQ(t.palDib, first);
        ccColorPocketArray noTrue;
        noTrue.SetPalDib(t.palDib, false);
        EXPECT_EQ(noTrue.SavePalDib(path.c_str()), -1);
        noTrue.SetPalDib(nullptr, false);
        EXPECT_EQ(t.SavePalDib(path.c_str()), 0);
        void* back = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(Pixels(back), Pixels(t.palDib));
        EXPECT_EQ(Colours(back).size(), 256u);
        hv::FreeHandle(back);
        EXPECT_EQ(t.SavePalDib("/nonexistent-dir/x.bmp"), 0);  // a failed write still gives 0
    }
    std::remove(path.c_str());
    hv::FreeHandle(image);  // the theme left the host's image alone
}

TEST_F(PalImage, ConvertToPalDibMapsEachPixelToTheNearestPaletteColour) {
    // 7 x 3 (rows padded at 8 bits and at 24); every pixel differs, so a
    // swapped row or column shows.
    auto colour = [](int x, int y) { return Rgb((x * 37 + y * 61) % 256, y * 100, x * 30); };
    void* image = Dib24(7, 3, colour);
    void* eight = MakeEmptyDib(2, 2, 8, true);
    {
        // Refusals: no true image, a palette of 255 or none, a palette image
        // already there (-2), an 8-bit true image.
        for (int c = 0; c < 5; ++c) {
            ccColorPocketArray t;
            if (c != 2) FillPalette(t, [](int i) { return Rgb(i, i, i); });
            t.SetTrueDib(c == 0 ? nullptr : c == 4 ? eight : image);
            if (c == 1) t.paletteSize = 255;
            if (c == 3) t.SetPalDib(eight, false);
            EXPECT_EQ(t.ConvertToPalDib(), c == 3 ? -2 : -1) << c;
            EXPECT_EQ(t.palDib, c == 3 ? eight : nullptr) << c;
            t.paletteSize = c == 2 ? 0 : 256;
            t.SetPalDib(nullptr, false);
        }
        ccColorPocketArray t;
        // Index 0 white, 1 black, the rest mid grey twice over; a pixel near
        // grey ties between 2 and 3 and takes the lower, black (0, 0) takes 1.
        const int level[] = {255, 0, 128};
        FillPalette(t, [&](int i) { return Rgb(level[std::min(i, 2)], level[std::min(i, 2)], level[std::min(i, 2)]); });
        t.SetTrueDib(image);
        ASSERT_EQ(t.ConvertToPalDib(), 0);
        EXPECT_TRUE(t.ownsPalDib);
        ipDibStuff pal(t.palDib, false);
        ASSERT_TRUE(pal.isPalette8() && pal.width() == 7 && pal.height() == 3);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(RgbWord(pal.colors[i]), RgbWord(t.palette[i].rgb)) << i;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 7; ++x) {
                const tagRGBQUAD c = colour(x, y);
                int want = 0, best = INT_MAX;
                for (int k = 0; k < 3; ++k) {
                    const int d = (c.rgbBlue - level[k]) * (c.rgbBlue - level[k]) +
                                  (c.rgbGreen - level[k]) * (c.rgbGreen - level[k]) + (c.rgbRed - level[k]) * (c.rgbRed - level[k]);
                    if (d < best) best = d, want = k;
                }
                EXPECT_EQ(pal.rows[y][x], want) << x << "," << y;
            }
        EXPECT_EQ(t.ConvertToPalDib(), -2);
    }
    hv::FreeHandle(image);
    hv::FreeHandle(eight);
}

TEST_F(PalImage, ConvertToPalDibAgreesWithTheQueryOnAPhoto) {
    void* photo = Photo("autumn_256.bmp");
    ASSERT_NE(photo, nullptr);
    {
        ccColorPocketArray t;
        // A coarse palette: many photo colours share a slot of the cache.
        FillPalette(t, [](int i) { return Rgb((i >> 6) * 85, ((i >> 3) & 7) * 36, (i & 7) * 36); });
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

TEST_F(PalImage, RestoreWritesThePaletteBackWhereThereIsNoTrueImage) {
    ccColorPocketArray t, small;
    EXPECT_EQ(t.RestorePalDibColors(), -1);
    t.highlighted = true;
    EXPECT_EQ(t.RestoreColors(), -1);  // neither image, yet the highlight is over
    EXPECT_FALSE(t.highlighted);
    FillPalette(t, [](int i) { return Rgb(i / 2, 255 - i, i); });
    t.palette[9].rgb.rgbReserved = 77;
    t.SetPalDib(MakeEmptyDib(4, 4, 8, true), true);
    for (int restore = 0; restore < 2; ++restore) {  // all four bytes, by either call
        ipDibStuff(t.palDib, false).colors[9] = Rgb(1, 1, 1);
        t.highlighted = true;
        EXPECT_EQ(restore ? t.RestoreColors() : t.RestorePalDibColors(), 0);
        EXPECT_EQ(t.highlighted, restore == 0);
        const std::vector<tagRGBQUAD> c = Colours(t.palDib);
        ASSERT_EQ(c.size(), 256u);
        for (int i = 0; i < 256; ++i) EXPECT_EQ(RgbWord(c[i]), RgbWord(t.palette[i].rgb)) << i;
    }
    // A palette image of 16 table entries is refused and left alone.
    FillPalette(small, [](int) { return Rgb(5, 5, 5); });
    void* dib16 = MakeEmptyDib(4, 4, 8, true);
    ipDibStuff(dib16, false).header->biClrUsed = 16;
    small.SetPalDib(dib16, true);
    EXPECT_EQ((V{small.RestorePalDibColors(), small.RestoreColors(), Colours(dib16)[0].rgbBlue}), (V{-1, -1, 0}));
}

TEST_F(PalImage, RestoreColorsPutsBackTheTrueImageFromItsBackup) {
    void* photo = Photo("autumn_256.bmp");
    void* stylePhoto = Photo("cups_256.bmp");
    void* other = Dib24(3, 4, [](int, int) { return Rgb(99, 99, 99); });
    ASSERT_TRUE(photo && stylePhoto);
    const std::vector<BYTE> first = Pixels(photo);
    {
        ccColorPocketArray style, t, lent, none;
        style.SetPalDib(DecreaseBpp24to8(stylePhoto), true);
        ASSERT_EQ(style.GetColorPockets(), 0);
        none.MakeTrueDibCopy();
        EXPECT_EQ(none.trueDibCopy, nullptr);
        t.SetTrueDib(photo);
        t.highlighted = true;
        EXPECT_EQ(t.RestoreColors(), -1);  // no backup: fails, yet ends the highlight
        EXPECT_FALSE(t.highlighted);
        t.MakeTrueDibCopy();  // an owned copy, taken once
        void* copy = t.trueDibCopy;
        ASSERT_TRUE(copy && copy != photo && !t.trueDibCopyBorrowed && Pixels(copy) == first);
        ASSERT_EQ(t.GetPalDib(), 0);
        ASSERT_EQ(t.GetColorPockets(), 0);
        ASSERT_EQ(t.ApplyColorTrans(&style, false, false, true), 0);
        ASSERT_NE(Pixels(photo), first);
        t.MakeTrueDibCopy();
        EXPECT_TRUE(t.trueDibCopy == copy && Pixels(copy) == first);
        ASSERT_EQ(t.ApplyColorTrans(&style, false, true, false), 0);  // a second transfer
        const std::vector<tagRGBQUAD> table = Colours(t.palDib);
        EXPECT_EQ(t.RestoreColors(), 0);
        EXPECT_EQ(Pixels(photo), first);
        // The palette image keeps its transferred table until asked.
        const std::vector<tagRGBQUAD> after = Colours(t.palDib);
        for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(RgbWord(after[i]), RgbWord(table[i])) << i;
        // A lent backup of another size is refused.
        lent.SetTrueDib(photo);
        lent.SetTrueDibCopy(other);
        ipDibStuff(photo, false).rows[0][0] ^= 1;
        EXPECT_EQ(lent.RestoreColors(), -1);
        EXPECT_NE(Pixels(photo), first);
    }
    hv::FreeHandle(photo);
    hv::FreeHandle(stylePhoto);
    hv::FreeHandle(other);
}
