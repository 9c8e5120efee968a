// The palette image of a theme, the backup of its 24-bit image and restore.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "edit/edit_fixtures.h"

using namespace ed;

namespace {

// A palette of 256 items, item i coloured colour(i); the items' colours as words.
template <class F>
std::vector<uint32_t> FillPalette(ccColorPocketArray& t, F colour) {
    std::vector<uint32_t> words;
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i)
        t.SetPalEntryBYTE(i, colour(i).rgbRed, colour(i).rgbGreen, colour(i).rgbBlue, 1, 256);
    for (int i = 0; i < 256; ++i) words.push_back(RgbWord(t.palette[i].rgb));
    return words;
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
    void* image = Photo("cups_256.bmp");
    {
        ccColorPocketArray t, noTrue;
        EXPECT_EQ((V{t.GetPalDib(), t.SavePalDib(path.c_str())}), (V{-1, -1}));  // no true image yet
        t.SetTrueDib(image);
        EXPECT_EQ(t.SavePalDib(path.c_str()), -1);  // no palette image yet
        ASSERT_EQ(t.GetPalDib(), 0);
        void* first = t.palDib;
        EXPECT_TRUE(t.ownsPalDib && ipDibStuff(first, false).isPalette8() && t.GetPalDib() == -1 &&
                    t.palDib == first);
        noTrue.SetPalDib(first, false);
        EXPECT_EQ((V{noTrue.SavePalDib(path.c_str()), t.SavePalDib(path.c_str())}), (V{-1, 0}));
        void* back = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        EXPECT_TRUE(back && Pixels(back) == Pixels(first) && Colours(back) == Colours(first));
        hv::FreeHandle(back);
        EXPECT_EQ(t.SavePalDib("/nonexistent-dir/x.bmp"), 0);  // a failed write still gives 0
        noTrue.SetPalDib(nullptr, false);
    }
    std::remove(path.c_str());
    hv::FreeHandle(image);  // the theme left the host's image alone
}

TEST_F(PalImage, ConvertToPalDibMapsEachPixelToTheNearestPaletteColour) {
    void* photo = Photo("autumn_256.bmp");
    void* eight = MakeEmptyDib(2, 2, 8, true);
    {
        // Refusals: no true image, a palette of 255 or none, a palette image
        // already there (-2), an 8-bit true image.
        for (int c = 0; c < 5; ++c) {
            ccColorPocketArray t;
            if (c != 2) FillPalette(t, [](int i) { return Rgb(i, i, i); });
            t.SetTrueDib(c == 0 ? nullptr : c == 4 ? eight : photo);
            if (c == 1) t.paletteSize = 255;
            if (c == 3) t.SetPalDib(eight, false);
            EXPECT_EQ(t.ConvertToPalDib(), c == 3 ? -2 : -1) << c;
            EXPECT_EQ(t.palDib, c == 3 ? eight : nullptr) << c;
            t.paletteSize = c == 2 ? 0 : 256;
            t.SetPalDib(nullptr, false);
        }
        // A coarse palette, so that many photo colours share a slot of the
        // cache, with white at 0 and black at 1: the first pixel, made
        // black, takes 1 (a cache whose empty slots matched black would give 0).
        ccColorPocketArray t;
        const std::vector<uint32_t> words = FillPalette(t, [](int i) {
            return i ? Rgb(((i - 1) >> 6) * 85, ((i - 1) >> 3 & 7) * 36, ((i - 1) & 7) * 36)
                     : Rgb(255, 255, 255);
        });
        std::memset(ipDibStuff(photo, false).rows[0], 0, 3);
        t.SetTrueDib(photo);
        ASSERT_EQ(t.ConvertToPalDib(), 0);
        EXPECT_TRUE(t.ownsPalDib && t.ConvertToPalDib() == -2 && Colours(t.palDib) == words);
        ipDibStuff pal(t.palDib, false), tru(photo, false);
        ASSERT_TRUE(pal.isPalette8() && pal.width() == tru.width() && pal.height() == tru.height());
        int wrong = 0;
        for (int y = 0; y < tru.height(); ++y)
            for (int x = 0; x < tru.width(); ++x)
                wrong += pal.rows[y][x] != pal.GetNearestColor(tru.rows[y] + 3 * x);
        EXPECT_TRUE(wrong == 0 && pal.rows[0][0] == 1) << wrong;
    }
    hv::FreeHandle(photo);
    hv::FreeHandle(eight);
}

TEST_F(PalImage, RestoreWritesThePaletteBackWhereThereIsNoTrueImage) {
    ccColorPocketArray t, small;
    EXPECT_EQ(t.RestorePalDibColors(), -1);
    t.highlighted = true;
    EXPECT_TRUE(t.RestoreColors() == -1 && !t.highlighted);  // neither image, yet the highlight is over
    std::vector<uint32_t> words = FillPalette(t, [](int i) { return Rgb(i / 2, 255 - i, i); });
    t.palette[9].rgb.rgbReserved = 77;
    words[9] = RgbWord(t.palette[9].rgb);
    t.SetPalDib(MakeEmptyDib(4, 4, 8, true), true);
    for (int restore = 0; restore < 2; ++restore) {  // all four bytes, by either call
        ipDibStuff(t.palDib, false).colors[9] = Rgb(1, 1, 1);
        t.highlighted = true;
        EXPECT_EQ(restore ? t.RestoreColors() : t.RestorePalDibColors(), 0);
        EXPECT_EQ(t.highlighted, restore == 0);
        EXPECT_EQ(Colours(t.palDib), words);
    }
    // A palette image of 16 table entries is refused and left alone.
    FillPalette(small, [](int) { return Rgb(5, 5, 5); });
    void* dib16 = MakeEmptyDib(4, 4, 8, true);
    ipDibStuff(dib16, false).header->biClrUsed = 16;
    small.SetPalDib(dib16, true);
    EXPECT_EQ((V{small.RestorePalDibColors(), small.RestoreColors(), int(Colours(dib16)[0])}),
              (V{-1, -1, 0}));
}

TEST_F(PalImage, RestoreColorsPutsBackTheTrueImageFromItsBackup) {
    void* photo = Photo("autumn_256.bmp");
    void* other = MakeEmptyDib(3, 4, 24, true);
    const std::vector<BYTE> first = Pixels(photo);
    {
        ccColorPocketArray t, lent, none;
        none.MakeTrueDibCopy();
        EXPECT_EQ(none.trueDibCopy, nullptr);
        t.SetTrueDib(photo);
        t.highlighted = true;
        EXPECT_TRUE(t.RestoreColors() == -1 && !t.highlighted);  // no backup: fails, yet ends the highlight
        t.MakeTrueDibCopy();                                     // an owned copy, taken once
        void* copy = t.trueDibCopy;
        ASSERT_TRUE(copy && copy != photo && !t.trueDibCopyBorrowed && Pixels(copy) == first);
        ASSERT_EQ(t.GetPalDib(), 0);
        ipDibStuff(photo, false).rows[90][700] ^= 0x40;
        ipDibStuff(t.palDib, false).colors[3] = Rgb(1, 2, 3);
        const std::vector<uint32_t> table = Colours(t.palDib);
        t.MakeTrueDibCopy();
        EXPECT_TRUE(t.trueDibCopy == copy && Pixels(copy) == first);
        EXPECT_EQ(t.RestoreColors(), 0);
        EXPECT_TRUE(Pixels(photo) == first &&
                    Colours(t.palDib) == table);  // the palette image keeps its table
        // A lent backup of another size is refused.
        lent.SetTrueDib(photo);
        lent.SetTrueDibCopy(other);
        ipDibStuff(photo, false).rows[0][0] ^= 1;
        EXPECT_EQ(lent.RestoreColors(), -1);
        EXPECT_NE(Pixels(photo), first);
    }
    hv::FreeHandle(photo);
    hv::FreeHandle(other);
}
