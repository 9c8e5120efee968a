// Nearest pocket, merging, shares and reclustering.
#include <gtest/gtest.h>

#include <algorithm>

#include "extract/extract_fixtures.h"

using namespace xt;

TEST(ExtractMerge, NearestPocketTiesGoToTheLowestPositionAndAnyDistanceMatches) {
    ccColorPocketArray t;
    // White first (the farthest colour from black), then three at distance
    // 100 from black, then black itself.
    OnePocketEach(t, {Rgb(255, 255, 255), Rgb(10, 0, 0), Rgb(0, 10, 0), Rgb(0, 0, 10), Rgb(0, 0, 0)});
    ccColorItem* black = Item(t, 10, Rgb(0, 0, 0), 1);
    ccColorPocket probe;
    EXPECT_EQ(
        (V{t.FindNearestPocket(black, 1), t.FindNearestPocket(black, 4), t.FindNearestPocket(black, 5),
           t.FindNearestPocket(&probe, 1), t.FindNearestPocket(&probe, 4), t.FindNearestPocket(&probe, 5)}),
        (V{0, 1, 4, 0, 1, 4}));
}

TEST(ExtractMerge, MergingPoursItemsIntoTheNearestOfTheFirstPockets) {
    ccColorPocketArray t;
    OnePocketEach(t, {Rgb(10, 20, 30), Rgb(21, 0, 0), Rgb(0, 0, 1)}, {100, 1, 5}, {0.25f, 0, 0});
    ccColorPocket* dest = t.pockets[0];
    // Merging into itself changes nothing.
    EXPECT_EQ((V{t.MergePockets(0, t.pockets[1]), t.MergePockets(0, t.pockets[2]), t.MergePockets(0, dest)}),
              (V{0, 0, 0}));
    EXPECT_EQ(Groups(t), (G{{0, 1, 2}, {}, {}}));  // the sources stay, emptied
    EXPECT_EQ(dest->pixelNum, 106);
    // Unweighted, truncated mean: (10+21+0)/3, (20+0+0)/3, (30+0+1)/3.
    EXPECT_EQ(RgbWord(dest->aveRGB), RgbWord(Rgb(10, 6, 10)));
    EXPECT_EQ(dest->aveHSL, RGBtoHSL(dest->aveRGB));
    EXPECT_FLOAT_EQ(dest->percentage, 0.25f);

    // The 4th pocket goes to B, moving B to red 150; the 5th (red 70) is then
    // nearer to A than to B, though it was nearer to B before.
    ccColorPocketArray m;
    OnePocketEach(m, {Rgb(0, 0, 0), Rgb(100, 0, 0), Rgb(0, 0, 200), Rgb(200, 0, 0), Rgb(70, 0, 0)});
    EXPECT_EQ(m.MergeAfter(3), 0);
    EXPECT_EQ(Groups(m), (G{{0, 4}, {1, 3}, {2}}));

    // Shares from 50% down: a 2% cut starts at the first share strictly below
    // it (none when one is exactly 2%); at 60% the first pocket survives.
    for (int c = 0; c < 3; ++c) {
        ccColorPocketArray s;
        OnePocketEach(s,
                      {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 255, 255), Rgb(10, 10, 250),
                       Rgb(240, 250, 240)},
                      {}, {0.5f, 0.3f, 0.15f, 0.03f, c == 1 ? 0.02f : 0.015f, 0.005f});
        EXPECT_EQ(s.MergePercentLess(c == 2 ? 60 : 2), 0);
        const G want[] = {{{0}, {1}, {2, 4}, {3, 5}}, {{0}, {1}, {2}, {3, 5}, {4}}, {{0, 1, 2, 3, 4, 5}}};
        EXPECT_EQ(Groups(s), want[c]) << c;
    }

    // Shares of the pockets' own pixels (one pixel is a whole); none when they hold none.
    ccColorPocketArray g;
    OnePocketEach(g, {Rgb(1, 0, 0), Rgb(0, 1, 0)}, {30, 10}, {0.9f, 0.9f});
    for (V counts : {V{30, 10}, V{1, 0}, V{0, 0}}) {
        g.pockets[0]->pixelNum = counts[0], g.pockets[1]->pixelNum = counts[1];
        EXPECT_EQ(g.GetPercentage(), 0);
        const float total = static_cast<float>(std::max(counts[0] + counts[1], 1));
        EXPECT_TRUE(g.pockets[0]->percentage == counts[0] / total && g.pockets[1]->percentage == counts[1] / total)
            << counts[0];
    }
}

TEST(ExtractMerge, ReclusterChoosesFromTheMeansAsTheyWereBeforeTheCall) {
    ccColorPocketArray t;
    // Items 0 and 2 have no pixels and are left out; B's mean is set by hand.
    OnePocketEach(t, {Rgb(0, 0, 0), Rgb(150, 40, 0), Rgb(0, 255, 0)}, {0, 7, 0}, {0.125f, 0, 0});
    Item(t, 3, Rgb(40, 0, 0), 1000);
    Item(t, 4, Rgb(55, 0, 0), 1);
    t.pockets[1]->aveRGB = Rgb(100, 0, 0);
    ccColorPocket* a = t.pockets[0];
    ccColorPocket* b = t.pockets[1];
    EXPECT_EQ(t.Recluster(), 0);
    // Item 3 goes to A (40 < 60), moving A's mean to red 40; item 4 still goes
    // by the old means: B (45) beats A (55). C received nothing and is gone.
    EXPECT_EQ(Groups(t), (G{{3}, {1, 4}}));
    EXPECT_EQ((V{a->pixelNum, b->pixelNum}), (V{1000, 8}));
    // Pixel-weighted mean: (7*150 + 55)/8 = 138, (7*40)/8 = 35.
    EXPECT_EQ(RgbWord(b->aveRGB), RgbWord(Rgb(138, 35, 0)));
    EXPECT_EQ(b->aveHSL, RGBtoHSL(b->aveRGB));
    EXPECT_EQ(a->percentage, 0.125f);  // not refreshed

    // Equal distances go to the lower position, grey or not.
    ccColorPocketArray u;
    OnePocketEach(u, {Rgb(110, 100, 100), Rgb(90, 100, 100)}, {5, 5});
    Item(u, 2, Rgb(100, 100, 100), 5);
    EXPECT_EQ(u.Recluster(), 0);
    EXPECT_EQ(Groups(u), (G{{0, 2}, {1}}));
}
