// Selecting, highlighting, deleting and merging pockets.
#include <gtest/gtest.h>

#include <cstring>

#include "edit/edit_fixtures.h"

namespace {

using ed::G;
using ed::Rgb;
using ed::Scene;

const std::map<int, tagRGBQUAD> kColours = {
    {0, Rgb(200, 0, 0)}, {1, Rgb(190, 10, 10)}, {2, Rgb(0, 200, 0)},     {3, Rgb(10, 190, 10)},
    {4, Rgb(0, 0, 200)}, {5, Rgb(10, 10, 190)}, {6, Rgb(128, 128, 128)}, {7, Rgb(205, 5, 5)},
};
const std::vector<ed::V> kRows = {
    {0, 0, 1, 1, 2, 2, 3, 3},
    {4, 4, 5, 5, 6, 6, 7, 7},
    {0, 1, 2, 3, 4, 5, 6, 7},
    {7, 6, 5, 4, 3, 2, 1, 0},
};

// Distinct reserved bytes, so that a restore is checked byte for byte.
void MarkReserved(Scene& s) {
    ipDibStuff v(s.dib.h, false);
    for (int i = 0; i < 256; ++i) v.colors[i].rgbReserved = static_cast<BYTE>(i ^ 0x5A);
}

BYTE Grey(Scene& s, int i) { return static_cast<BYTE>(100 + HslLight(s.t.palette[i].hsl) * 100 / 255); }

}  // namespace

TEST(Selection, QueriesAndBulkChanges) {
    Scene s(kRows, kColours, {{0, 1}, {2, 3}, {4}});
    EXPECT_EQ(s.t.GetFirstSelected(), nullptr);
    EXPECT_EQ(s.t.GetFirstSelectedIndex(), -1);
    s.P(0)->selState = 255;  // below the mark: not selected
    s.P(1)->selState = 300;
    s.P(2)->selState = 256;
    EXPECT_EQ(s.t.GetFirstSelectedIndex(), 1);
    EXPECT_EQ(s.t.GetFirstSelected(), s.P(1));
    EXPECT_EQ(s.t.SelectAll(), 3);
    for (ccColorPocket* p : s.t.pockets) EXPECT_EQ(p->selState, 256);
    EXPECT_EQ(s.t.UnselectAll(), 3);
    for (ccColorPocket* p : s.t.pockets) EXPECT_EQ(p->selState, -1);
    s.t.SetRDSFlag(9);
    for (ccColorPocket* p : s.t.pockets) EXPECT_EQ(p->rdsFlag, 9);
    ccColorPocketArray empty;
    EXPECT_EQ(empty.SelectAll(), 0);
    EXPECT_EQ(empty.UnselectAll(), 0);
    EXPECT_EQ(empty.GetFirstSelected(), nullptr);
}

TEST(Highlight, GreysAllButTheChosenColoursAndRestoresExactly) {
    Scene s(kRows, kColours, {{0, 1}, {2, 3}, {4}});
    MarkReserved(s);
    const std::vector<tagRGBQUAD> before = s.Table();
    ASSERT_EQ(HslLight(s.t.palette[6].hsl), 128);

    ASSERT_EQ(s.t.HighlightColors(nullptr, false), 0);
    EXPECT_TRUE(s.t.highlighted);
    std::vector<tagRGBQUAD> grey = s.Table();
    EXPECT_EQ(grey[6].rgbRed, 150);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(grey[i].rgbBlue, Grey(s, i));
        EXPECT_EQ(grey[i].rgbGreen, grey[i].rgbBlue);
        EXPECT_EQ(grey[i].rgbRed, grey[i].rgbBlue);
        EXPECT_EQ(grey[i].rgbReserved, before[i].rgbReserved);
    }
    EXPECT_EQ(s.t.UnhighlightColors(), 0);
    EXPECT_FALSE(s.t.highlighted);
    EXPECT_EQ(std::memcmp(s.Table().data(), before.data(), 1024), 0);
    EXPECT_EQ(s.t.UnhighlightColors(), -1);

    // The given pocket and the selected ones in colour, all four bytes.
    s.P(2)->selState = 256;
    ASSERT_EQ(s.t.HighlightColors(s.P(0), true), 0);
    std::vector<tagRGBQUAD> shown = s.Table();
    for (int i : {0, 1, 4}) EXPECT_EQ(RgbWord(shown[i]), RgbWord(s.t.palette[i].rgb)) << i;
    for (int i : {2, 3, 5, 6, 7}) EXPECT_EQ(shown[i].rgbGreen, Grey(s, i)) << i;
    // Without withSelected only the pocket itself.
    ASSERT_EQ(s.t.HighlightColors(s.P(1), false), 0);
    shown = s.Table();
    for (int i : {2, 3}) EXPECT_EQ(RgbWord(shown[i]), RgbWord(s.t.palette[i].rgb)) << i;
    for (int i : {0, 1, 4}) EXPECT_EQ(shown[i].rgbRed, Grey(s, i)) << i;
    // A highlight over a highlight still goes back to the first colours.
    EXPECT_EQ(s.t.UnhighlightColors(), 0);
    EXPECT_EQ(std::memcmp(s.Table().data(), before.data(), 1024), 0);
}

TEST(Highlight, RefusesWithoutAPaletteImage) {
    ccColorPocketArray none;
    EXPECT_EQ(none.HighlightColors(nullptr, true), -1);
    EXPECT_FALSE(none.highlighted);
    none.highlighted = true;
    EXPECT_EQ(none.UnhighlightColors(), -1);

    xt::HostDib small(xt::Image8(4, 1, {0, 1, 2, 3}, {}, 16));
    ccColorPocketArray t;
    t.SetPalDib(small.h, false);
    const std::vector<BYTE> bytes = [&] {
        hv::HandleLock l(small.h);
        return std::vector<BYTE>(l.bytes(), l.bytes() + l.size());
    }();
    EXPECT_EQ(t.HighlightColors(nullptr, false), -1);
    EXPECT_FALSE(t.highlighted);
    t.highlighted = true;
    EXPECT_EQ(t.UnhighlightColors(), -1);
    EXPECT_TRUE(t.highlighted);
    hv::HandleLock l(small.h);
    EXPECT_EQ(std::vector<BYTE>(l.bytes(), l.bytes() + l.size()), bytes);
    t.SetPalDib(nullptr, false);
}

TEST(Selection, DelSelPockets) {
    struct Case {
        std::vector<int> selected;
        bool extraEmpty;
        int removed;
        G left;
    } cases[] = {
        {{}, false, 0, {{0, 1}, {2, 3}, {4}}},
        {{}, true, 0, {{0, 1}, {2, 3}, {4}}},  // an empty pocket goes anyway
        {{1}, false, 1, {{0, 1}, {4}}},
        {{0, 2}, true, 2, {{2, 3}}},
        {{0, 1, 2}, false, 3, {}},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, {{0, 1}, {2, 3}, {4}});
        if (c.extraEmpty) s.t.pockets.InsertAt(1, new ccColorPocket);
        const int a = s.P(0)->pixelNum;
        for (int k : c.selected) s.P(k + (c.extraEmpty && k > 0))->selState = 256;
        EXPECT_EQ(s.t.DelSelPockets(), c.removed);
        EXPECT_EQ(xt::Groups(s.t), c.left);
        if (!c.left.empty() && c.left[0] == ed::V{0, 1}) {
            EXPECT_EQ(s.P(0)->pixelNum, a);
        }
        ed::ExpectConsistent(s.t);
        // The colours of deleted pockets stay in the palette.
        EXPECT_EQ(s.t.palette[2].palIndex, 2);
    }
}

TEST(Selection, MergeSelectedPockets) {
    Scene s(kRows, kColours, {{0, 1}, {2, 3}, {4}, {5}});
    EXPECT_EQ(s.t.MergeSelectedPockets(), -1);
    s.P(1)->selState = 256;
    s.P(3)->selState = 300;
    s.P(1)->percentage = 0.25f;
    s.P(3)->percentage = 0.5f;
    s.P(1)->aveRGB.rgbReserved = 77;
    const int pixels = s.P(1)->pixelNum + s.P(3)->pixelNum;
    const ccColorPocket before0 = *s.P(0), before2 = *s.P(2);
    EXPECT_EQ(s.t.MergeSelectedPockets(), 1);
    EXPECT_EQ(xt::Groups(s.t), (G{{0, 1}, {2, 3, 5}, {4}}));
    ccColorPocket* m = s.P(1);
    EXPECT_EQ(m->pixelNum, pixels);
    EXPECT_FLOAT_EQ(m->percentage, 0.75f);
    EXPECT_EQ(m->selState, 256);
    EXPECT_EQ(m->aveRGB.rgbReserved, 77);
    EXPECT_EQ(RgbWord(m->aveRGB) & 0xFFFFFF, RgbWord(Rgb(6, 133, 66)));  // (0+10+10)/3, (200+190+10)/3, (0+10+190)/3
    EXPECT_EQ(RgbWord(s.P(0)->aveRGB), RgbWord(before0.aveRGB));
    EXPECT_EQ(s.P(2)->pixelNum, before2.pixelNum);
    ed::ExpectConsistent(s.t);
}

TEST(Selection, MergeOfOneSelectedPocketResetsItsMean) {
    Scene s({{10, 11, 11, 12}}, {{10, Rgb(10, 20, 30)}, {11, Rgb(11, 21, 31)}, {12, Rgb(90, 90, 90)}},
            {{10}, {11}, {12}});
    s.t.pockets.Add(new ccColorPocket);  // already empty: removed
    s.P(0)->selState = s.P(1)->selState = 256;
    EXPECT_EQ(s.t.MergeSelectedPockets(), 1);
    EXPECT_EQ(RgbWord(s.P(0)->aveRGB), RgbWord(Rgb(10, 20, 30)));
    EXPECT_EQ(s.P(0)->pixelNum, 3);
    EXPECT_EQ(s.t.pockets.GetSize(), 2);

    s.P(0)->aveRGB = Rgb(1, 2, 3);
    s.P(1)->selState = -1;
    s.t.pockets.Add(new ccColorPocket);
    EXPECT_EQ(s.t.MergeSelectedPockets(), 0);
    EXPECT_EQ(RgbWord(s.P(0)->aveRGB), RgbWord(Rgb(10, 20, 30)));
    EXPECT_EQ(xt::Groups(s.t), (G{{10, 11}, {12}}));
    ed::ExpectConsistent(s.t);
}

TEST(Highlight, RestoringColoursEndsIt) {
    Scene s(kRows, kColours, {{0, 1}, {2, 3}, {4}});
    MarkReserved(s);
    // Without a true image, restoring writes the palette's colours back.
    ASSERT_EQ(s.t.HighlightColors(s.P(0), false), 0);
    EXPECT_EQ(s.t.RestoreColors(), 0);
    EXPECT_FALSE(s.t.highlighted);
    EXPECT_EQ(s.t.UnhighlightColors(), -1);
    std::vector<tagRGBQUAD> table = s.Table();
    for (int i = 0; i < 256; ++i) EXPECT_EQ(RgbWord(table[i]), RgbWord(s.t.palette[i].rgb)) << i;

    // With a true image but no backup it fails, yet the highlight is over:
    // the grey table stays until the palette colours are written back.
    xt::HostDib image(xt::Image(24, 8, 4, {0x102030}));
    s.t.SetTrueDib(image.h);
    ASSERT_EQ(s.t.HighlightColors(nullptr, false), 0);
    EXPECT_EQ(s.t.RestoreColors(), -1);
    EXPECT_EQ(s.t.UnhighlightColors(), -1);
    EXPECT_EQ(s.Table()[6].rgbRed, 150);
    EXPECT_EQ(s.t.RestorePalDibColors(), 0);
    EXPECT_EQ(RgbWord(s.Table()[6]), RgbWord(s.t.palette[6].rgb));
    s.t.SetTrueDib(nullptr);
}
