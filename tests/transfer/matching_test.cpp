// Pairing target pockets with style pockets: the greedy methods with their
// flags and fallback, the hue refinement, the colour-difference search and
// the neighbour chains.
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>

#include "transfer/matching.h"
#include "transfer_fixtures.h"

using tfix::Add;
using tfix::HslPocket;

namespace {

// Links of the target pockets as positions in the style theme (-1 unpaired).
std::vector<int> Links(ccColorPocketArray& t, ccColorPocketArray& s) {
    std::vector<int> out;
    for (ccColorPocket* p : t.pockets) out.push_back(p->destLink ? s.GetIndex(p->destLink) : -1);
    return out;
}

bool StyleLinksClear(ccColorPocketArray& s) {
    for (ccColorPocket* p : s.pockets)
        if (p->destLink) return false;
    return true;
}

}  // namespace

TEST(Matching, GreedyBySizeWithFallbackToNearestHue) {
    ccColorPocketArray t, s;
    // Added out of order: the method sorts both themes by size first.
    ccColorPocket* d = Add(t, HslPocket(105, 200, 120, 20));
    ccColorPocket* a = Add(t, HslPocket(10, 200, 120, 50));
    ccColorPocket* e = Add(t, HslPocket(250, 200, 120, 10));  // 16 from a, 50 from c
    ccColorPocket* c = Add(t, HslPocket(200, 200, 120, 30));
    ccColorPocket* b = Add(t, HslPocket(100, 200, 120, 40));
    ccColorPocket* x = Add(s, HslPocket(30, 100, 100, 10));
    ccColorPocket* y = Add(s, HslPocket(60, 100, 100, 30));
    ccColorPocket* z = Add(s, HslPocket(90, 100, 100, 20));

    EXPECT_EQ(t.GetDstPockets(&s, false, 1), 0);
    // Target ends sorted by size; the three largest take the style pockets
    // in size order, d and e share the destination of the nearest in hue.
    EXPECT_EQ(t.GetIndex(a), 0);
    EXPECT_EQ(t.GetIndex(e), 4);
    EXPECT_EQ(a->destLink, y);
    EXPECT_EQ(b->destLink, z);
    EXPECT_EQ(c->destLink, x);
    EXPECT_EQ(d->destLink, z);
    EXPECT_EQ(e->destLink, y);
    for (ccColorPocket* p : t.pockets) {
        EXPECT_EQ(RgbWord(p->destRGB), RgbWord(p->destLink->aveRGB));
        EXPECT_EQ(p->destHSL, p->destLink->aveHSL);
    }
    EXPECT_TRUE(StyleLinksClear(s));
    EXPECT_EQ(t.sortMode, 2);

    // Equally near earlier pockets: the first one wins.
    ccColorPocketArray t2, s2;
    Add(t2, HslPocket(40, 200, 120, 30));
    Add(t2, HslPocket(80, 200, 120, 20));
    ccColorPocket* mid = Add(t2, HslPocket(60, 200, 120, 10));
    Add(s2, HslPocket(0, 100, 100, 20));
    Add(s2, HslPocket(128, 100, 100, 10));
    t2.GetDstPockets(&s2, true, 1);
    EXPECT_EQ(mid->destLink, s2.pockets[0]);

    // An empty style theme leaves every pocket unpaired.
    ccColorPocketArray empty;
    EXPECT_EQ(t.GetDstPockets(&empty, true, 1), 0);
    for (ccColorPocket* p : t.pockets) EXPECT_EQ(p->destLink, nullptr);
}

TEST(Matching, BackgroundAndExclusionFlags) {
    auto build = [](ccColorPocketArray& t, ccColorPocketArray& s) {
        Add(t, HslPocket(10, 200, 120, 50));
        Add(t, HslPocket(20, 200, 120, 40, 0, 1));  // background
        Add(t, HslPocket(30, 200, 120, 30, 0, 4));  // left out
        Add(t, HslPocket(40, 200, 120, 20));
        Add(s, HslPocket(100, 90, 90, 50, 0, 1));
        Add(s, HslPocket(110, 90, 90, 40));
        Add(s, HslPocket(120, 90, 90, 30, 0, 1));
        Add(s, HslPocket(130, 90, 90, 20));
        for (ccColorPocket* p : t.pockets) {
            p->destRGB = {1, 2, 3, 0};
            p->destHSL = 0x01020304;
        }
    };
    {
        ccColorPocketArray t, s;
        build(t, s);
        EXPECT_EQ(t.GetDstPockets(&s, true, 1), 0);
        EXPECT_EQ(Links(t, s), (std::vector<int>{1, 0, -1, 3}));
        // The left-out pocket's colour copies are not written.
        EXPECT_EQ(RgbWord(t.pockets[2]->destRGB), RgbWord(tagRGBQUAD{1, 2, 3, 0}));
        EXPECT_EQ(t.pockets[2]->destHSL, 0x01020304u);
        EXPECT_TRUE(StyleLinksClear(s));
    }
    {
        // Without respectBackground flags play no part.
        ccColorPocketArray t, s;
        build(t, s);
        t.GetDstPockets(&s, false, 1);
        EXPECT_EQ(Links(t, s), (std::vector<int>{0, 1, 2, 3}));
    }
    {
        // A second background pocket finds no free background style pocket
        // and shares the destination of the earlier pocket nearest in hue.
        ccColorPocketArray t, s;
        Add(t, HslPocket(10, 200, 120, 50, 0, 1));
        Add(t, HslPocket(100, 200, 120, 40));
        Add(t, HslPocket(95, 200, 120, 30, 0, 1));
        Add(s, HslPocket(0, 90, 90, 50));
        Add(s, HslPocket(50, 90, 90, 40, 0, 1));
        Add(s, HslPocket(60, 90, 90, 30));
        t.GetDstPockets(&s, true, 1);
        EXPECT_EQ(Links(t, s), (std::vector<int>{1, 0, 0}));
    }
    {
        // Stale links on the style theme do not block its pockets.
        ccColorPocketArray t, s;
        build(t, s);
        for (ccColorPocket* q : s.pockets) q->destLink = q;
        t.GetDstPockets(&s, false, 1);
        EXPECT_EQ(Links(t, s), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_TRUE(StyleLinksClear(s));
    }
}

TEST(Matching, LightnessOrderOfMethodThree) {
    ccColorPocketArray t, s;
    ccColorPocket* light = Add(t, HslPocket(10, 100, 200, 10));
    ccColorPocket* dark = Add(t, HslPocket(10, 100, 50, 100));
    ccColorPocket* mid = Add(s, HslPocket(90, 100, 100, 5));
    ccColorPocket* bright = Add(s, HslPocket(90, 100, 220, 50));
    EXPECT_EQ(t.GetDstPockets(&s, true, 3), 0);
    EXPECT_EQ(light->destLink, bright);
    EXPECT_EQ(dark->destLink, mid);
    // The target is back in size order afterwards.
    EXPECT_EQ(t.pockets[0], dark);
    EXPECT_EQ(s.sortMode, 3);
}

TEST(Matching, HueRefinementOfMethodTwo) {
    {
        // Greedy pairs by size; the refinement hands each pocket the
        // candidate of nearest hue, weighted by the candidate's share.
        ccColorPocketArray t, s;
        ccColorPocket* p0 = Add(t, HslPocket(10, 200, 120, 300));
        ccColorPocket* p1 = Add(t, HslPocket(100, 200, 120, 200));
        ccColorPocket* p2 = Add(t, HslPocket(200, 200, 120, 100));
        ccColorPocket* q0 = Add(s, HslPocket(200, 90, 90, 300, 0.5f));
        ccColorPocket* q1 = Add(s, HslPocket(100, 90, 90, 200, 0.3f));
        ccColorPocket* q2 = Add(s, HslPocket(10, 90, 90, 100, 0.2f));
        EXPECT_EQ(t.GetDstPockets(&s, true, 2), 0);
        EXPECT_EQ(p0->destLink, q2);
        EXPECT_EQ(p1->destLink, q1);
        EXPECT_EQ(p2->destLink, q0);
        EXPECT_EQ(RgbWord(p0->destRGB), RgbWord(q2->aveRGB));
        EXPECT_TRUE(StyleLinksClear(s));
        t.GetDstPockets(&s, true, 1);
        EXPECT_EQ(p0->destLink, q0);
    }
    {
        // Hue differences are taken without the circular wrap: 250 is
        // "nearer" to 200 than to 5 here.
        ccColorPocketArray t, s;
        ccColorPocket* p0 = Add(t, HslPocket(250, 200, 120, 200));
        ccColorPocket* p1 = Add(t, HslPocket(100, 200, 120, 100));
        ccColorPocket* q0 = Add(s, HslPocket(5, 90, 90, 200, 0));
        ccColorPocket* q1 = Add(s, HslPocket(200, 90, 90, 100, 0));
        t.GetDstPockets(&s, true, 2);
        EXPECT_EQ(p0->destLink, q1);
        EXPECT_EQ(p1->destLink, q0);
    }
    {
        // Equal costs keep the greedy choice; the share weighs in.
        ccColorPocketArray t, s;
        ccColorPocket* p0 = Add(t, HslPocket(100, 200, 120, 200));
        ccColorPocket* p1 = Add(t, HslPocket(0, 200, 120, 100));
        ccColorPocket* q0 = Add(s, HslPocket(50, 90, 90, 200, 0.5f));   // cost 25
        ccColorPocket* q1 = Add(s, HslPocket(150, 90, 90, 100, 0.5f));  // cost 25
        t.GetDstPockets(&s, true, 2);
        EXPECT_EQ(p0->destLink, q0);
        EXPECT_EQ(p1->destLink, q1);
        q1->percentage = 0.6f;  // cost 20 now: the better candidate for p0
        t.GetDstPockets(&s, true, 2);
        EXPECT_EQ(p0->destLink, q1);
        EXPECT_EQ(p1->destLink, q0);
    }
    {
        // One paired pocket keeps its destination.
        ccColorPocketArray t, s;
        ccColorPocket* p0 = Add(t, HslPocket(0, 200, 120, 200));
        Add(t, HslPocket(0, 200, 120, 100, 0, 4));
        ccColorPocket* q0 = Add(s, HslPocket(128, 90, 90, 200, 0.9f));
        t.GetDstPockets(&s, true, 2);
        EXPECT_EQ(p0->destLink, q0);
        EXPECT_EQ(t.pockets[1]->destLink, nullptr);
    }
}

namespace {

// Every tuple in lexicographic order, the first of smallest cost kept.
std::vector<int> BruteForce(const hv::ColorDiffProblem& pr) {
    std::vector<int> x(static_cast<size_t>(pr.k), 0), best = x;
    int64_t bestCost = INT64_MAX;
    for (;;) {
        int64_t c = 0;
        for (int i = 0; i < pr.k; ++i)
            for (int j = 0; j < pr.k; ++j) {
                const int64_t diff = std::llabs(int64_t(pr.da[i][j]) - pr.db[x[i]][x[j]]);
                c += (diff * pr.n[i][j]) >> 8;
            }
        if (c < bestCost) {
            bestCost = c;
            best = x;
        }
        int p = pr.k - 1;
        while (p >= 1 && ++x[p] == pr.nB) x[p--] = 0;
        if (p < 1) break;
    }
    return best;
}

void RandomProblem(std::mt19937& rng, hv::ColorDiffProblem& pr, int k, int nB, int range, int nRange) {
    pr = hv::ColorDiffProblem();
    pr.k = k;
    pr.nB = nB;
    std::uniform_int_distribution<int> v(0, range), nv(0, nRange);
    auto symmetric = [&](int m[16][16], int n, std::uniform_int_distribution<int>& dist) {
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) m[i][j] = m[j][i] = dist(rng);
    };
    symmetric(pr.da, 16, v);
    symmetric(pr.db, 16, v);
    symmetric(pr.n, 16, nv);
}

}  // namespace

TEST(Matching, ColorDiffSearchEqualsFullEnumeration) {
    std::mt19937 rng(12345);
    hv::ColorDiffProblem pr;
    int checked = 0;
    for (int k = 2; k <= 5; ++k)
        for (int nB = 1; nB <= 6; ++nB)
            for (int round = 0; round < 6; ++round) {
                // Narrow ranges make many ties, wide ones distinct costs; the
                // widest overflow 32-bit products.
                const int range = round < 2 ? 3 : round < 4 ? 195075 : 195075;
                const int nRange = round < 2 ? 2 : round < 4 ? 50 : 1000000;
                RandomProblem(rng, pr, k, nB, range, nRange);
                int best[hv::kMaxColorDiffPositions];
                hv::ColorDiffSearch(pr, best);
                const std::vector<int> expect = BruteForce(pr);
                ASSERT_EQ(std::vector<int>(best, best + k), expect) << "k " << k << " nB " << nB;
                EXPECT_EQ(hv::ColorDiffCost(pr, best), hv::ColorDiffCost(pr, expect.data()));
                ++checked;
            }
    EXPECT_EQ(checked, 4 * 6 * 6);

    // All costs zero: the very first tuple wins.
    pr = hv::ColorDiffProblem();
    pr.k = 7;
    pr.nB = 16;
    int best[7];
    hv::ColorDiffSearch(pr, best);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(best[i], 0);

    // Large counts: the products exceed 32 bits.
    pr = hv::ColorDiffProblem();
    pr.k = 3;
    pr.nB = 3;
    pr.da[0][1] = pr.da[1][0] = 195075;
    pr.da[0][2] = pr.da[2][0] = 1000;
    pr.da[1][2] = pr.da[2][1] = 190000;
    pr.db[0][1] = pr.db[1][0] = 1000;
    pr.db[0][2] = pr.db[2][0] = 195075;
    pr.db[1][2] = pr.db[2][1] = 190000;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) pr.n[i][j] = i == j ? 0 : 3000000;
    hv::ColorDiffSearch(pr, best);
    EXPECT_EQ(best[1], 2);
    EXPECT_EQ(best[2], 1);
    EXPECT_EQ(hv::ColorDiffCost(pr, best), 0);
}

namespace {

// A theme whose pockets are the given colours, one palette index each,
// with an image where every pair of pockets touches.
void GridTheme(ccColorPocketArray& t, const std::vector<tagRGBQUAD>& colours, const std::vector<int>& sizes) {
    const int n = static_cast<int>(colours.size());
    tfix::InitPalette(t, colours, 100);
    std::vector<BYTE> px;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) px.push_back(BYTE((x + 2 * y) % n));
    t.SetPalDib(tfix::Dib8(n, n, colours, px), true);
    for (int i = 0; i < n; ++i) {
        ccColorPocket* p = Add(t, tfix::Pocket(colours[i].rgbRed, colours[i].rgbGreen, colours[i].rgbBlue, sizes[i]));
        p->items.Add(&t.palette[i]);
    }
}

}  // namespace

TEST(Matching, ColourDifferenceMethod) {
    // Colours whose pairwise distances all differ.
    const tagRGBQUAD red{0, 0, 255, 0}, green{0, 200, 0, 0}, blue{100, 0, 0, 0}, white{255, 255, 255, 0},
        grey{128, 128, 128, 0};
    {
        // The style theme holds the target's colours in another size order:
        // the search finds the pairing that keeps every colour difference.
        ccColorPocketArray t, s;
        GridTheme(t, {red, green, blue, white}, {40, 30, 20, 10});
        GridTheme(s, {green, white, red, blue}, {20, 30, 40, 10});
        EXPECT_EQ(t.GetDstPockets(&s, true, 4), 0);
        for (ccColorPocket* p : t.pockets) {
            ASSERT_NE(p->destLink, nullptr);
            EXPECT_EQ(RgbWord(p->destLink->aveRGB), RgbWord(p->aveRGB));
            EXPECT_EQ(RgbWord(p->destRGB), RgbWord(p->aveRGB));
        }
        EXPECT_EQ(s.pockets[0]->aveRGB.rgbRed, 255);  // style sorted by size
    }
    {
        // One style pocket: everything takes it.
        ccColorPocketArray t, s;
        GridTheme(t, {red, green, blue}, {40, 30, 20});
        GridTheme(s, {grey}, {5});
        EXPECT_EQ(t.GetDstPockets(&s, true, 4), 0);
        for (ccColorPocket* p : t.pockets) EXPECT_EQ(p->destLink, s.pockets[0]);
    }
    {
        // Pockets beyond the searched ones share the destination of the
        // searched pocket nearest in colour.
        ccColorPocketArray t, s;
        const tagRGBQUAD darkRed{0, 0, 200, 0}, paleGreen{120, 250, 120, 0};
        GridTheme(t, {red, green, darkRed, paleGreen}, {40, 30, 20, 10});
        GridTheme(s, {blue, white}, {40, 30});
        t.GetDstPockets(&s, true, 4);
        EXPECT_EQ(t.pockets[2]->destLink, t.pockets[0]->destLink);
        EXPECT_EQ(t.pockets[3]->destLink, t.pockets[1]->destLink);
        EXPECT_NE(t.pockets[0]->destLink, nullptr);
    }
    {
        // More than 16 pockets: refused before anything changes.
        ccColorPocketArray t, s;
        for (int i = 0; i < 17; ++i) Add(t, HslPocket(i * 10, 100, 100, 17 - i));
        Add(s, HslPocket(0, 100, 100, 1));
        t.pockets[3]->destLink = s.pockets[0];
        EXPECT_EQ(t.GetDstPockets(&s, true, 4), -2);
        EXPECT_EQ(t.pockets[3]->destLink, s.pockets[0]);
        EXPECT_EQ(t.pockets[0]->destLink, nullptr);
    }
    {
        // Empty themes raise the array's range error.
        ccColorPocketArray t, s;
        GridTheme(t, {red}, {1});
        EXPECT_THROW(t.GetDstPockets(&s, true, 4), std::out_of_range);
        EXPECT_THROW(s.GetDstPockets(&t, true, 4), std::out_of_range);
    }
}

namespace {

// A one-row image whose columns are the pockets named by `layout`, each
// pocket one palette index.
void StripTheme(ccColorPocketArray& t, const std::vector<int>& hues, const std::vector<int>& sizes,
                const std::vector<int>& layout) {
    std::vector<tagRGBQUAD> colours;
    for (int h : hues) colours.push_back(RgbQuad(HSLtoRGB(MakeHsl(h, 200, 120, 0))));
    tfix::InitPalette(t, colours, 100);
    std::vector<BYTE> px;
    for (int y = 0; y < 3; ++y)
        for (int c : layout) px.push_back(BYTE(c));
    t.SetPalDib(tfix::Dib8(static_cast<int>(layout.size()), 3, colours, px), true);
    for (size_t i = 0; i < hues.size(); ++i) {
        ccColorPocket* p = Add(t, HslPocket(hues[i], 200, 120, sizes[i]));
        p->items.Add(&t.palette[i]);
    }
}

}  // namespace

TEST(Matching, NeighbourChains) {
    {
        // The chain starts at the largest pocket and follows adjacency.
        ccColorPocketArray t;
        StripTheme(t, {0, 50, 100, 150}, {10, 20, 90, 30}, {2, 2, 0, 0, 3, 1});
        int order[16] = {};
        EXPECT_EQ(t.SortOnMixNeighboring(order), 0);
        EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{2, 0, 3, 1}));
        // Equal adjacency keeps the earlier candidate; with no adjacent
        // pocket left the chain continues in position order.
        ccColorPocketArray u;
        StripTheme(u, {0, 50, 100, 150}, {10, 20, 90, 30}, {0, 2, 3, 1});
        u.SortOnMixNeighboring(order);
        EXPECT_EQ(std::vector<int>(order, order + 4), (std::vector<int>{2, 0, 1, 3}));
    }
    {
        ccColorPocketArray t, s;
        StripTheme(t, {0, 40, 45, 120, 0}, {50, 40, 30, 20, 10}, {0, 1, 2, 3, 4});
        StripTheme(s, {100, 130, 200}, {30, 20, 10}, {0, 1, 2});
        EXPECT_EQ(t.GetDstPockets(&s, true, 5), 0);
        // Step 40 > 30 advances, 5 < 70 stays, 75 > 70 advances, then the
        // style chain is exhausted.
        EXPECT_EQ(Links(t, s), (std::vector<int>{0, 1, 1, 2, 2}));
        EXPECT_EQ(t.pockets[3]->destHSL, s.pockets[2]->aveHSL);
    }
    {
        ccColorPocketArray t, s, big, nodib;
        StripTheme(t, {0, 40}, {50, 40}, {0, 1});
        std::vector<int> hues, sizes, layout;
        for (int i = 0; i < 17; ++i) {
            hues.push_back(i * 15);
            sizes.push_back(100 - i);
            layout.push_back(i);
        }
        StripTheme(big, hues, sizes, layout);
        EXPECT_EQ(t.GetDstPockets(&big, true, 5), -2);
        EXPECT_EQ(t.pockets[0]->destLink, nullptr);
        Add(nodib, HslPocket(0, 1, 1, 1));
        EXPECT_EQ(t.GetDstPockets(&nodib, true, 5), -1);
        EXPECT_EQ(t.pockets[1]->destLink, nullptr);
        int order[16];
        EXPECT_EQ(big.SortOnMixNeighboring(order), -1);
        ccColorPocketArray empty;
        empty.SetPalDib(tfix::Dib8(1, 1, {}, {0}), true);
        EXPECT_THROW(t.GetDstPockets(&empty, true, 5), std::out_of_range);
    }
}

TEST(Matching, UnknownMethodAndSmallOperations) {
    ccColorPocketArray t, s;
    ccColorPocket* small = Add(t, HslPocket(10, 100, 100, 5));
    ccColorPocket* large = Add(t, HslPocket(20, 100, 100, 50));
    ccColorPocket* q = Add(s, HslPocket(90, 100, 100, 5));
    small->destLink = q;
    EXPECT_EQ(t.GetDstPockets(&s, true, 6), -1);
    EXPECT_EQ(t.GetDstPockets(&s, true, 0), -1);
    // Existing links still get their colours, and the theme its size order.
    EXPECT_EQ(small->destLink, q);
    EXPECT_EQ(small->destHSL, q->aveHSL);
    EXPECT_EQ(large->destLink, nullptr);
    EXPECT_EQ(t.pockets[0], large);

    const uint32_t before = small->destHSL;
    EXPECT_EQ(t.AdjustDstPocketOnHue(), 0);
    EXPECT_EQ(small->destLink, q);
    EXPECT_EQ(small->destHSL, before);
    t.ClearDstPockets();
    EXPECT_EQ(small->destLink, nullptr);
    EXPECT_EQ(small->destHSL, before);  // the colour copies stay

    ccColorPocketArray m;
    Add(m, tfix::Pocket(255, 0, 0, 1));
    Add(m, tfix::Pocket(0, 0, 255, 1));
    Add(m, tfix::Pocket(10, 20, 30, 1));
    int d[16][16];
    for (auto& row : d)
        for (int& v : row) v = -7;
    EXPECT_EQ(m.GetClrDiffMatrix(d), 0);
    EXPECT_EQ(d[0][1], 2 * 255 * 255);
    EXPECT_EQ(d[1][0], 2 * 255 * 255);
    EXPECT_EQ(d[0][2], 245 * 245 + 20 * 20 + 30 * 30);
    EXPECT_EQ(d[2][2], 0);
    EXPECT_EQ(d[0][3], -7);
    EXPECT_EQ(d[3][0], -7);
    for (int i = 0; i < 14; ++i) Add(m, tfix::Pocket(i, i, i, 1));
    d[0][1] = -7;
    EXPECT_EQ(m.GetClrDiffMatrix(d), -1);
    EXPECT_EQ(d[0][1], -7);
}
