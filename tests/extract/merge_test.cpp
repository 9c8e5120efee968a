// Nearest pocket, merging, shares, reclustering and empty-pocket removal.
#include <gtest/gtest.h>

#include <stdexcept>

#include "extract/extract_fixtures.h"

using xt::AddPocket;
using xt::Item;
using xt::Members;
using xt::Rgb;

TEST(ExtractMerge, NearestPocketTiesGoToTheLowestPositionAndFarColoursStillMatch) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    Item(t, 0, Rgb(10, 0, 0), 1);
    Item(t, 1, Rgb(0, 10, 0), 1);
    Item(t, 2, Rgb(0, 0, 10), 1);
    Item(t, 3, Rgb(0, 0, 0), 1);
    for (int i = 0; i < 4; ++i) AddPocket(t, {i});
    ccColorItem* black = Item(t, 10, Rgb(0, 0, 0), 1);
    ccColorPocket probe;
    probe.aveRGB = Rgb(0, 0, 0);

    // Three pockets at distance 100: the first wins; a later exact match wins.
    EXPECT_EQ(t.FindNearestPocket(black, 3), 0);
    EXPECT_EQ(t.FindNearestPocket(&probe, 3), 0);
    EXPECT_EQ(t.FindNearestPocket(black, 4), 3);
    EXPECT_EQ(t.FindNearestPocket(&probe, 4), 3);
    // n limits the candidates.
    EXPECT_EQ(t.FindNearestPocket(black, 1), 0);
    EXPECT_EQ(t.FindNearestPocket(black, 0), -1);
    EXPECT_EQ(t.FindNearestPocket(&probe, -2), -1);
    EXPECT_EQ(t.FindNearestPocket(static_cast<ccColorItem*>(nullptr), 4), -1);
    EXPECT_THROW(t.FindNearestPocket(black, 5), std::out_of_range);

    // Two identical pockets: the lower position.
    ccColorPocketArray twins;
    xt::BlankPalette(twins);
    Item(twins, 0, Rgb(7, 8, 9), 1);
    AddPocket(twins, {0});
    AddPocket(twins, {0});
    EXPECT_EQ(twins.FindNearestPocket(&twins.palette[0], 2), 0);

    // The largest possible distance (black to white) still finds its pocket.
    ccColorPocketArray white;
    xt::BlankPalette(white);
    Item(white, 0, Rgb(255, 255, 255), 1);
    AddPocket(white, {0});
    EXPECT_EQ(white.FindNearestPocket(black, 1), 0);
    probe.aveRGB = Rgb(0, 0, 0);
    EXPECT_EQ(white.FindNearestPocket(&probe, 1), 0);
}

TEST(ExtractMerge, MergePocketsPoursItemsAndRecomputesTheUnweightedMean) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    Item(t, 1, Rgb(10, 20, 30), 100);
    Item(t, 2, Rgb(21, 0, 0), 1);
    Item(t, 3, Rgb(0, 0, 1), 5);
    ccColorPocket* dest = AddPocket(t, {1}, 0.25f);
    ccColorPocket* src = AddPocket(t, {2, 3}, 0.5f);

    EXPECT_EQ(t.MergePockets(0, src), 0);
    EXPECT_EQ(Members(dest), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(dest->pixelNum, 106);
    // Unweighted, truncated: (10+21+0)/3, (20+0+0)/3, (30+0+1)/3.
    EXPECT_EQ(dest->aveRGB.rgbRed, 10);
    EXPECT_EQ(dest->aveRGB.rgbGreen, 6);
    EXPECT_EQ(dest->aveRGB.rgbBlue, 10);
    EXPECT_EQ(dest->aveHSL, RGBtoHSL(dest->aveRGB));
    EXPECT_FLOAT_EQ(dest->percentage, 0.25f);
    // The source is emptied but stays in the theme.
    EXPECT_EQ(src->items.GetSize(), 0);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    EXPECT_EQ(t.pockets[1], src);

    // A bad position raises and changes nothing; merging into itself is a no-op.
    ccColorPocket* other = AddPocket(t, {2});
    EXPECT_THROW(t.MergePockets(5, other), std::out_of_range);
    EXPECT_THROW(t.MergePockets(-1, other), std::out_of_range);
    EXPECT_EQ(Members(other), (std::vector<int>{2}));
    EXPECT_EQ(t.MergePockets(0, dest), 0);
    EXPECT_EQ(Members(dest), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(dest->pixelNum, 106);
}

TEST(ExtractMerge, MergeAfterComparesWithMeansMovedByEarlierMerges) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    Item(t, 0, Rgb(0, 0, 0), 1);
    Item(t, 1, Rgb(100, 0, 0), 1);
    Item(t, 2, Rgb(0, 0, 200), 1);
    Item(t, 3, Rgb(200, 0, 0), 1);
    Item(t, 4, Rgb(70, 0, 0), 1);
    ccColorPocket* a = AddPocket(t, {0});
    ccColorPocket* b = AddPocket(t, {1});
    ccColorPocket* c = AddPocket(t, {2});
    AddPocket(t, {3});
    AddPocket(t, {4});

    // The 4th goes to B, moving B to red 150; the 5th (red 70) is then nearer
    // to A (70) than to B (80), though it was nearer to B before.
    EXPECT_EQ(t.MergeAfter(3), 0);
    ASSERT_EQ(t.pockets.GetSize(), 3);
    EXPECT_EQ(t.pockets[0], a);
    EXPECT_EQ(t.pockets[1], b);
    EXPECT_EQ(t.pockets[2], c);
    EXPECT_EQ(Members(a), (std::vector<int>{0, 4}));
    EXPECT_EQ(Members(b), (std::vector<int>{1, 3}));
    EXPECT_EQ(b->aveRGB.rgbRed, 150);
    EXPECT_EQ(Members(c), (std::vector<int>{2}));

    // With n at the pocket count only empty pockets go.
    AddPocket(t, {});
    EXPECT_EQ(t.MergeAfter(4), 0);
    EXPECT_EQ(t.pockets.GetSize(), 3);
    EXPECT_EQ(t.MergeAfter(10), 0);
    EXPECT_EQ(t.pockets.GetSize(), 3);
    // n below 1 has no pocket to merge into.
    EXPECT_EQ(t.MergeAfter(0), -1);
    EXPECT_EQ(t.pockets.GetSize(), 3);
}

TEST(ExtractMerge, MergePercentLessCutsAtTheFirstShareStrictlyBelowTheLimit) {
    const float shares[] = {0.5f, 0.3f, 0.15f, 0.03f, 0.015f, 0.005f};
    auto build = [&](ccColorPocketArray& t) {
        xt::BlankPalette(t);
        const tagRGBQUAD colours[] = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255),
                                      Rgb(255, 255, 255), Rgb(10, 10, 250), Rgb(240, 250, 240)};
        for (int i = 0; i < 6; ++i) {
            Item(t, i, colours[i], 100 - i);
            AddPocket(t, {i}, shares[i]);
        }
    };
    {
        ccColorPocketArray t;
        build(t);
        EXPECT_EQ(t.MergePercentLess(2), 0);
        ASSERT_EQ(t.pockets.GetSize(), 4);
        EXPECT_EQ(Members(t.pockets[2]), (std::vector<int>{2, 4}));  // near-blue into blue
        EXPECT_EQ(Members(t.pockets[3]), (std::vector<int>{3, 5}));  // near-white into white
        // Shares are not refreshed by merging.
        EXPECT_FLOAT_EQ(t.pockets[2]->percentage, 0.15f);
    }
    {
        // A share equal to the limit is not below it.
        ccColorPocketArray t;
        build(t);
        t.pockets[4]->percentage = 0.02f;
        EXPECT_EQ(t.MergePercentLess(2), 0);
        EXPECT_EQ(t.pockets.GetSize(), 5);
    }
    {
        // The first pocket always survives.
        ccColorPocketArray t;
        build(t);
        t.pockets[0]->percentage = 0.4f;
        EXPECT_EQ(t.MergePercentLess(50), 0);
        ASSERT_EQ(t.pockets.GetSize(), 1);
        EXPECT_EQ(t.pockets[0]->items.GetSize(), 6);
    }
    {
        ccColorPocketArray t;
        xt::BlankPalette(t);
        Item(t, 0, Rgb(1, 2, 3), 4);
        AddPocket(t, {0}, 0.001f);
        EXPECT_EQ(t.MergePercentLess(2), -1);
        EXPECT_EQ(t.pockets.GetSize(), 1);
        ccColorPocketArray empty;
        EXPECT_EQ(empty.MergePercentLess(2), -1);
    }
}

TEST(ExtractMerge, GetPercentageIsAShareOfThePocketsPixels) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    Item(t, 0, Rgb(1, 0, 0), 30);
    Item(t, 1, Rgb(0, 1, 0), 10);
    AddPocket(t, {0}, 0.9f);
    AddPocket(t, {1}, 0.9f);
    EXPECT_EQ(t.GetPercentage(), 0);
    EXPECT_FLOAT_EQ(t.pockets[0]->percentage, 0.75f);
    EXPECT_FLOAT_EQ(t.pockets[1]->percentage, 0.25f);
    // No pixels at all: shares 0, not a division by zero.
    t.pockets[0]->pixelNum = 0;
    t.pockets[1]->pixelNum = 0;
    EXPECT_EQ(t.GetPercentage(), 0);
    EXPECT_EQ(t.pockets[0]->percentage, 0.0f);
    EXPECT_EQ(t.pockets[1]->percentage, 0.0f);
    ccColorPocketArray empty;
    EXPECT_EQ(empty.GetPercentage(), 0);
}

TEST(ExtractMerge, ReclusterChoosesFromTheMeansAsTheyWereBeforeTheCall) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    Item(t, 0, Rgb(40, 0, 0), 1000);
    Item(t, 1, Rgb(55, 0, 0), 1);
    Item(t, 2, Rgb(0, 0, 0), 0);      // no pixels: left out
    Item(t, 3, Rgb(150, 40, 0), 7);
    ccColorPocket* a = AddPocket(t, {2});
    a->aveRGB = Rgb(0, 0, 0);
    ccColorPocket* b = AddPocket(t, {3});
    b->aveRGB = Rgb(100, 0, 0);
    ccColorPocket* c = AddPocket(t, {0});
    c->aveRGB = Rgb(0, 255, 0);
    const float shareA = a->percentage = 0.125f;

    EXPECT_EQ(t.Recluster(), 0);
    // Item 0 goes to A (40 < 60), dragging A's mean to red 40; item 1 then
    // still goes by the old means: B (45) beats A (55).
    ASSERT_EQ(t.pockets.GetSize(), 2);  // C received nothing and is gone
    EXPECT_EQ(t.pockets[0], a);
    EXPECT_EQ(t.pockets[1], b);
    EXPECT_EQ(Members(a), (std::vector<int>{0}));
    EXPECT_EQ(Members(b), (std::vector<int>{1, 3}));
    EXPECT_EQ(a->pixelNum, 1000);
    EXPECT_EQ(b->pixelNum, 8);
    // Pixel-weighted mean: (55 + 7*150)/8 = 138, (7*40)/8 = 35.
    EXPECT_EQ(b->aveRGB.rgbRed, 138);
    EXPECT_EQ(b->aveRGB.rgbGreen, 35);
    EXPECT_EQ(b->aveHSL, RGBtoHSL(b->aveRGB));
    EXPECT_EQ(a->aveRGB.rgbRed, 40);
    EXPECT_EQ(a->aveHSL, t.palette[0].hsl);
    EXPECT_EQ(a->percentage, shareA);  // not refreshed

    // Equal distances go to the lower position; grey and chromatic mix here.
    ccColorPocketArray u;
    xt::BlankPalette(u);
    Item(u, 0, Rgb(100, 100, 100), 5);
    Item(u, 1, Rgb(110, 100, 100), 5);
    Item(u, 2, Rgb(90, 100, 100), 5);
    ccColorPocket* hi = AddPocket(u, {1});
    ccColorPocket* lo = AddPocket(u, {2});
    EXPECT_EQ(u.Recluster(), 0);
    ASSERT_EQ(u.pockets.GetSize(), 2);
    EXPECT_EQ(Members(hi), (std::vector<int>{0, 1}));
    EXPECT_EQ(Members(lo), (std::vector<int>{2}));

    // Without pockets every item is skipped.
    ccColorPocketArray none;
    xt::BlankPalette(none);
    Item(none, 5, Rgb(1, 2, 3), 9);
    EXPECT_EQ(none.Recluster(), 0);
    EXPECT_EQ(none.pockets.GetSize(), 0);
    EXPECT_EQ(none.palette[5].pixelNum, 9);
}

TEST(ExtractMerge, RemoveEmptyPocketsKeepsTheOrderOfTheRestAndReclusterNGDoesNothing) {
    ccColorPocketArray t;
    xt::BlankPalette(t);
    for (int i = 0; i < 4; ++i) Item(t, i, Rgb(i * 50, 0, 0), i + 1);
    AddPocket(t, {});
    ccColorPocket* p1 = AddPocket(t, {0});
    AddPocket(t, {});
    AddPocket(t, {});
    ccColorPocket* p4 = AddPocket(t, {1, 2});
    AddPocket(t, {});
    t.RemoveEmptyPockets();
    ASSERT_EQ(t.pockets.GetSize(), 2);
    EXPECT_EQ(t.pockets[0], p1);
    EXPECT_EQ(t.pockets[1], p4);

    const tagRGBQUAD mean = p4->aveRGB;
    EXPECT_EQ(t.ReclusterNG(), 0);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    EXPECT_EQ(Members(p4), (std::vector<int>{1, 2}));
    EXPECT_EQ(RgbWord(p4->aveRGB), RgbWord(mean));
}
