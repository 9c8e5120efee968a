// Selecting, highlighting, deleting and merging pockets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "edit/edit_fixtures.h"

using namespace ed;

namespace {

const std::map<int, tagRGBQUAD> kColours = {
    {0, Rgb(200, 0, 0)}, {1, Rgb(190, 10, 10)}, {2, Rgb(0, 200, 0)},     {3, Rgb(10, 190, 10)},
    {4, Rgb(0, 0, 200)}, {5, Rgb(10, 10, 190)}, {6, Rgb(128, 128, 128)}, {7, Rgb(205, 5, 5)},
};
const std::vector<V> kRows = {{0, 0, 1, 1, 2, 2, 3, 3}, {4, 4, 5, 5, 6, 6, 7, 7}, {0, 1, 2, 3, 4, 5, 6, 7}};
const G kPockets = {{0, 1}, {2, 3}, {4}};

}  // namespace

TEST(Selection, SelectedMeansAStateOfAtLeast256) {
    Scene s(kRows, kColours, kPockets);
    EXPECT_EQ(s.t.GetFirstSelected(), nullptr);
    EXPECT_EQ(s.t.GetFirstSelectedIndex(), -1);
    s.Select({255, 300, 256});
    EXPECT_EQ(s.t.GetFirstSelectedIndex(), 1);
    EXPECT_EQ(s.t.GetFirstSelected(), s.P(1));
    EXPECT_EQ(s.t.SelectAll(), 3);
    for (ccColorPocket* p : s.t.pockets) EXPECT_EQ(p->selState, 256);
    EXPECT_EQ(s.t.UnselectAll(), 3);
    s.t.SetRDSFlag(9);
    for (ccColorPocket* p : s.t.pockets) EXPECT_TRUE(p->selState == -1 && p->rdsFlag == 9);
}

TEST(Highlight, GreysAllButTheChosenColoursAndRestoresExactly) {
    Scene s(kRows, kColours, kPockets);
    {
        ipDibStuff v(s.dib.h, false);  // distinct reserved bytes, so a restore is checked byte for byte
        for (int i = 0; i < 256; ++i) v.colors[i].rgbReserved = static_cast<BYTE>(i ^ 0x5A);
    }
    const std::vector<tagRGBQUAD> before = Colours(s.dib.h);
    auto grey = [&](int i) { return 100 + HslLight(s.t.palette[i].hsl) * 100 / 255; };
    ASSERT_EQ(grey(6), 150);
    // Each case: the pocket shown, withSelected, the selection; the colours in colour.
    struct Case {
        int pocket;
        bool withSelected;
        V selState, shown;
    } cases[] = {{-1, false, {}, {}}, {0, true, {-1, -1, 256}, {0, 1, 4}}, {1, false, {-1, -1, 256}, {2, 3}}};
    for (const Case& c : cases) {  // a highlight over a highlight keeps the first colours
        s.Select(c.selState);
        ASSERT_EQ(s.t.HighlightColors(c.pocket < 0 ? nullptr : s.P(c.pocket), c.withSelected), 0);
        EXPECT_TRUE(s.t.highlighted);
        const std::vector<tagRGBQUAD> table = Colours(s.dib.h);
        for (int i = 0; i < 256; ++i) {
            const bool shown = std::find(c.shown.begin(), c.shown.end(), i) != c.shown.end();
            const tagRGBQUAD want = shown ? s.t.palette[i].rgb : Rgb(grey(i), grey(i), grey(i));
            EXPECT_EQ(RgbWord(table[i]) & 0xFFFFFF, RgbWord(want) & 0xFFFFFF) << i;
            // Showing writes the fourth byte, greying leaves it (as the last highlight left it).
            const BYTE reserved = shown ? s.t.palette[i].rgb.rgbReserved : before[i].rgbReserved;
            EXPECT_TRUE(table[i].rgbReserved == reserved || (!shown && c.pocket >= 0)) << i;
        }
    }
    EXPECT_EQ(s.t.UnhighlightColors(), 0);
    EXPECT_FALSE(s.t.highlighted);
    EXPECT_EQ(std::memcmp(Colours(s.dib.h).data(), before.data(), 1024), 0);
    EXPECT_EQ(s.t.UnhighlightColors(), -1);

    // Restoring ends a highlight; with a true image but no backup it fails
    // and the grey table stays until the palette colours are written back.
    xt::HostDib image(xt::Image(24, 8, 3, {0x102030}));
    s.t.SetTrueDib(image.h);
    ASSERT_EQ(s.t.HighlightColors(nullptr, false), 0);
    EXPECT_EQ(s.t.RestoreColors(), -1);
    EXPECT_EQ(s.t.UnhighlightColors(), -1);
    EXPECT_EQ(Colours(s.dib.h)[6].rgbRed, 150);
    s.t.SetTrueDib(nullptr);
}

TEST(Selection, DeletingSelectedPocketsKeepsTheirColoursInThePalette) {
    struct Case {
        V selected;
        bool extraEmpty;  // an empty pocket at position 1 goes anyway
        int removed;
        G left;
    } cases[] = {
        {{}, false, 0, kPockets}, {{}, true, 0, kPockets},  {{1}, false, 1, {{0, 1}, {4}}},
        {{0, 2}, true, 2, {{2, 3}}}, {{0, 1, 2}, false, 3, {}},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, kPockets);
        if (c.extraEmpty) s.t.pockets.InsertAt(1, new ccColorPocket);
        for (int k : c.selected) s.P(k + (c.extraEmpty && k > 0))->selState = 256;
        EXPECT_EQ(s.t.DelSelPockets(), c.removed);
        EXPECT_EQ(Groups(s.t), c.left);
        ExpectConsistent(s.t);
        EXPECT_EQ(s.t.palette[2].palIndex, 2);
    }
}

TEST(Selection, MergingGathersTheSelectedIntoTheFirstWithThePlainMean) {
    Scene s(kRows, kColours, {{0, 1}, {2, 3}, {4}, {5}});
    EXPECT_EQ(s.t.MergeSelectedPockets(), -1);
    s.Select({-1, 256, -1, 300});
    s.P(1)->percentage = 0.25f;
    s.P(3)->percentage = 0.5f;
    s.P(1)->aveRGB.rgbReserved = 77;
    const int pixels = s.P(1)->pixelNum + s.P(3)->pixelNum;
    const uint32_t first = RgbWord(s.P(0)->aveRGB);
    EXPECT_EQ(s.t.MergeSelectedPockets(), 1);
    EXPECT_EQ(Groups(s.t), (G{{0, 1}, {2, 3, 5}, {4}}));
    ccColorPocket* m = s.P(1);
    EXPECT_EQ((V{m->pixelNum, m->selState, m->aveRGB.rgbReserved}), (V{pixels, 256, 77}));
    EXPECT_FLOAT_EQ(m->percentage, 0.75f);
    // (0+10+10)/3, (200+190+10)/3, (0+10+190)/3
    EXPECT_EQ(RgbWord(m->aveRGB) & 0xFFFFFF, RgbWord(Rgb(6, 133, 66)));
    EXPECT_EQ(RgbWord(s.P(0)->aveRGB), first);
    ExpectConsistent(s.t);

    // Neighbouring selected pockets merge too; then one selected pocket
    // alone gets its mean reset; empty pockets go.
    Scene u({{10, 11, 11, 12}}, {{10, Rgb(10, 20, 30)}, {11, Rgb(11, 21, 31)}, {12, Rgb(90, 90, 90)}},
            {{10}, {11}, {12}, {}});
    u.Select({256, 256});
    EXPECT_EQ(u.t.MergeSelectedPockets(), 1);
    EXPECT_EQ(u.P(0)->pixelNum, 3);
    u.P(0)->aveRGB = Rgb(1, 2, 3);
    u.Select({256, -1});
    EXPECT_EQ(u.t.MergeSelectedPockets(), 0);
    EXPECT_EQ(Groups(u.t), (G{{10, 11}, {12}}));
    EXPECT_EQ(RgbWord(u.P(0)->aveRGB), RgbWord(Rgb(10, 20, 30)));
    ExpectConsistent(u.t);
    u.P(1)->aveRGB = Rgb(1, 2, 3);  // a one-colour pocket gets that colour back
    u.Select({-1, 256});
    EXPECT_EQ(u.t.MergeSelectedPockets(), 0);
    EXPECT_EQ(RgbWord(u.P(1)->aveRGB), RgbWord(Rgb(90, 90, 90)));
    ExpectConsistent(u.t);
}
