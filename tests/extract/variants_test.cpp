// The alternative extractions G, D and CG on images made to test one rule
// each, and the invariants every extraction keeps on small and odd images.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "extract/extract_fixtures.h"
#include "huevane/colorsystem.h"

using namespace xt;

namespace {

using Table = std::vector<tagRGBQUAD>;

// A one-row image whose pixel x carries palette index layout[x].
void* Strip(const Table& table, V layout) {
    return Host8(static_cast<int>(layout.size()), 1, table, [layout](int x, int) { return layout[x]; });
}

// A one-row image with counts[i] pixels of index i, its colour table `fill`
// except the given entries.
void* Counted(const Set& entries, tagRGBQUAD fill, V counts) {
    Table table(256, fill);
    for (auto& e : entries) table[e.first] = e.second;
    V px;
    for (int i = 0; i < static_cast<int>(counts.size()); ++i) px.insert(px.end(), counts[i], i);
    return Strip(table, px);
}

}  // namespace

TEST(ExtractG, ColoursJoinWithinThirtyCityBlockStepsOfTheMovingMean) {
    struct Case {
        const char* what;
        Set entries;
        V counts;
        G want;
    } cases[] = {
        {"30 apart", {{1, Rgb(120, 100, 90)}}, {50, 50}, {{0, 1}}},
        {"31 apart", {{1, Rgb(121, 100, 90)}}, {50, 50}, {{0}, {1}}},
        // 25 from the seed joins; the pixel-weighted mean moves to red 112,
        // so a colour 40 from the seed but 28 from the mean joins too.
        {"moving mean", {{1, Rgb(125, 100, 100)}, {2, Rgb(140, 100, 100)}}, {40, 40, 20}, {{0, 1, 2}}},
        // The seed is the most frequent colour: from red 140 the colour at
        // 100 lies 40 away, though it is within 30 of the mean of the others.
        {"seed by count", {{1, Rgb(125, 100, 100)}, {2, Rgb(140, 100, 100)}}, {20, 30, 50}, {{2, 1}, {0}}},
    };
    for (const Case& c : cases) {
        // Every unused entry repeats colour 0 and joins its pocket without
        // pixels, so only the used indices are compared.
        HostDib dib(Counted(c.entries, Rgb(100, 100, 100), c.counts));
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsG(), 0) << c.what;
        G used = Groups(t);
        for (V& g : used)
            g.erase(std::remove_if(g.begin(), g.end(), [&](int i) { return i >= int(c.counts.size()); }), g.end());
        EXPECT_EQ(used, c.want) << c.what;
        for (ccColorPocket* p : t.pockets) EXPECT_EQ(p->index, -1) << c.what;
        EXPECT_EQ(t.sortMode, c.want.size() > 1 ? 2 : 0) << c.what;  // one pocket is not sorted
    }
}

TEST(ExtractG, AtMostSixteenPocketsAndSmallSharesMergedIntoTheirNearestEarlierPocket) {
    // 20 colours on a 3 x 3 x 3 grid of steps 100, the i-th with 200 - i
    // pixels: seeds in index order; colours 16 to 19 go to the pocket of
    // their nearest among the first 16, one blue step below.
    Set entries;
    V counts;
    for (int i = 0; i < 20; ++i) {
        entries.push_back({i, Rgb(i % 3 * 100 + 20, i / 3 % 3 * 100 + 20, i / 9 * 100 + 20)});
        counts.push_back(200 - i);
    }
    HostDib dib(Counted(entries, Rgb(20, 20, 20), counts));
    ccColorPocketArray t;
    t.SetPalDib(dib.h, false);
    ASSERT_EQ(t.GetColorPocketsG(), 0);
    ASSERT_EQ(t.pockets.GetSize(), 16);
    V owner(256, -1);
    for (int k = 0; k < 16; ++k)
        for (ccColorItem* it : t.pockets[k]->items) owner[it->palIndex] = k;
    for (int i = 16; i < 20; ++i) EXPECT_EQ(owner[i], owner[i - 9]) << i;

    // 60%, 38.5% and 1.5%: the small one joins the nearer of the two before
    // it (blue), whose share stays as computed before the merge.
    HostDib small(Counted({{0, Rgb(250, 0, 0)}, {1, Rgb(0, 0, 250)}, {2, Rgb(40, 40, 200)}}, Rgb(250, 0, 0),
                          {600, 385, 15}));
    ccColorPocketArray s;
    s.SetPalDib(small.h, false);
    ASSERT_EQ(s.GetColorPocketsG(), 0);
    ASSERT_EQ(s.pockets.GetSize(), 2);
    EXPECT_EQ(s.pockets[1]->items[1]->palIndex, 2);
    EXPECT_EQ(s.pockets[1]->pixelNum, 400);
    EXPECT_FLOAT_EQ(s.pockets[1]->percentage, 0.385f);
}

TEST(ExtractD, OnlyTouchingPairsWithinSixtyHueStepsMergeAndTiesGoToTheFirstPair) {
    const tagRGBQUAD red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), yellow = Rgb(255, 255, 0);
    const tagRGBQUAD blue2 = Rgb(0, 0, 200), yellow2 = Rgb(200, 200, 0), blue3 = Rgb(0, 0, 150);
    auto grey = [](int l) { return Rgb(l, l, l); };
    auto ofHue = [](int h) {  // the green-maximal colour of hue h
        int r = 0;
        while (r < 255 && HslHue(RGBtoHSL(Rgb(r, 255, 0))) != h) ++r;
        return Rgb(r, 255, 0);
    };
    const V inOrder = {0, 1, 2, 3, 4, 5, 6};
    const G apart = {{0}, {1}, {2}, {3}, {4}, {5}, {6}};
    struct Case {
        const char* what;
        Table table;
        V layout;
        G want;
    } cases[] = {
        // Red touches a colour 60 hue steps away and merges with it; at 61
        // nothing qualifies (the others alternate over 60 steps apart).
        {"hue 60", {red, ofHue(60), blue, yellow, blue2, yellow2, blue3}, inOrder, {{0, 1}, {2}, {3}, {4}, {5}, {6}}},
        {"hue 61", {red, ofHue(61), blue, yellow, blue2, yellow2, blue3}, inOrder, apart},
        // Nearly equal reds apart from each other, red and blue touching.
        {"no touch", {red, blue, Rgb(250, 0, 0), blue2, Rgb(200, 0, 0), blue3, Rgb(150, 0, 0)}, inOrder, apart},
        // Grey 100 touches greys 110 and 90 at equal distance: the lower j.
        {"tie on j", {grey(100), grey(110), grey(90), yellow, blue, yellow2, blue2}, {1, 0, 2, 3, 4, 5, 6},
         {{0, 1}, {2}, {3}, {4}, {5}, {6}}},
        // Pairs (0, 1) and (2, 3) at equal distance: the lower i.
        {"tie on i", {grey(100), grey(110), grey(150), grey(160), yellow, blue, yellow2}, {0, 1, 4, 2, 3, 5, 6},
         {{0, 1}, {2}, {3}, {4}, {5}, {6}}},
        // The closest pair wins over an earlier one.
        {"closest", {grey(100), grey(130), grey(150), grey(152), yellow, blue, yellow2}, {0, 1, 4, 2, 3, 5, 6},
         {{0}, {1}, {2, 3}, {4}, {5}, {6}}},
        // Five touching, alike colours: too few to merge.
        {"five", {red, Rgb(254, 0, 0), Rgb(253, 0, 0), Rgb(252, 0, 0), Rgb(251, 0, 0)}, {4, 0, 1, 1, 2, 2, 2, 3, 3, 3},
         {{0}, {1}, {2}, {3}, {4}}},
    };
    // CG with an empty card follows the same rules (by RGB distance, equal
    // to the HSL distance's order here).
    for (const Case& c : cases)
        for (bool cg : {false, true}) {
            HostDib dib(Strip(c.table, c.layout));
            ccColorPocketArray t;
            t.SetPalDib(dib.h, false);
            csColorSystem card;
            V cardIndex(256, -1);
            ASSERT_EQ(cg ? t.GetColorPocketsCG(&card, cardIndex.data()) : t.GetColorPocketsD(), 0) << c.what;
            EXPECT_EQ(Groups(t), c.want) << c.what << cg;
            for (ccColorPocket* p : t.pockets) {  // shares of the pockets' pixels, no order
                EXPECT_FLOAT_EQ(p->percentage, p->pixelNum / float(c.layout.size())) << c.what;
                EXPECT_EQ(p->index, -1) << c.what;
            }
            EXPECT_EQ(t.sortMode, 0) << c.what;
        }
}

TEST(ExtractCG, GroupsBarMergesAndAMergedPocketInheritsItsPartnersGroup) {
    // Red and a red 10 hue steps away touch; the rest alternate red and blue.
    const Table table = {Rgb(255, 0, 0), Rgb(255, 60, 0), Rgb(0, 0, 255), Rgb(200, 0, 0),
                         Rgb(0, 0, 200), Rgb(150, 0, 0),  Rgb(0, 0, 150)};
    ASSERT_EQ(hv::HueDiff256(HslHue(RGBtoHSL(table[0])), HslHue(RGBtoHSL(table[1]))), 10);
    const G merged = {{0, 1}, {2}, {3}, {4}, {5}, {6}}, apart = {{0}, {1}, {2}, {3}, {4}, {5}, {6}};
    struct Case {
        const char* what;
        G groups;
        int first, rest;  // the card index cache: entry 0 and the others (-1 and 77: fill it)
        G want;
        V groupIndex;  // of the pockets afterwards
        bool emptyCard;
    } cases[] = {
        {"different groups", {{0}, {1}}, -1, 77, apart, {0, 1, -1, -1, -1, -1, -1}, false},
        {"same group", {{1, 0}}, -1, 77, merged, {0, -1, -1, -1, -1, -1}, false},
        {"no groups", {}, -1, 77, merged, {-1, -1, -1, -1, -1, -1}, false},
        {"none into 3", {{}, {}, {}, {1}}, -1, 77, merged, {3, -1, -1, -1, -1, -1}, false},
        {"3 into none", {{}, {}, {}, {0}}, -1, 77, merged, {3, -1, -1, -1, -1, -1}, false},
        // Sample 0 is listed in groups 0 and 4: the last wins.
        {"last group wins", {{0, 1}, {}, {}, {}, {0}}, -1, 77, apart, {4, 0, -1, -1, -1, -1, -1}, false},
        {"entries off the card", {{0, 99, -5, 1, 7}}, -1, 77, merged, {0, -1, -1, -1, -1, -1}, false},
        {"empty card", {{0}, {1}}, -1, 77, merged, {-1, -1, -1, -1, -1, -1}, true},
        // A filled cache is used as it is: every colour as sample 1, one group.
        {"all sample 1", {{0}, {1}}, 1, 1, merged, {1, 1, 1, 1, 1, 1}, false},
        // Stale entries beyond the card: no group for colours 1 to 6.
        {"stale", {{0}, {1}}, 0, 500, merged, {0, -1, -1, -1, -1, -1}, false},
    };
    for (const Case& c : cases) {
        HostDib dib(Strip(table, {0, 1, 2, 3, 4, 5, 6}));
        csColorSystem cs;
        for (int i = 0; i < 7 && !c.emptyCard; ++i)
            cs.AddSample("s", table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
        cs.groups = c.groups;
        V cardIndex(256, c.rest);
        cardIndex[0] = c.first;
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsCG(&cs, cardIndex.data()), 0) << c.what;
        EXPECT_EQ(Groups(t), c.want) << c.what;
        V groups;
        for (ccColorPocket* p : t.pockets) groups.push_back(p->groupIndex);
        EXPECT_EQ(groups, c.groupIndex) << c.what;
        // An empty cache is filled (palette colour i is sample i), a filled one kept.
        for (int i = 0; i < (c.first < 0 ? 7 : 256); ++i)
            ASSERT_EQ(cardIndex[i], c.first >= 0 ? (i ? c.rest : c.first) : c.emptyCard ? -1 : i) << c.what << i;
    }
}

namespace {
const std::pair<const char*, std::function<int(ccColorPocketArray&, csColorSystem&, int*)>> kMethods[] = {
    {"default", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPockets(); }},
    {"G", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPocketsG(); }},
    {"D", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPocketsD(); }},
    {"CG", [](ccColorPocketArray& t, csColorSystem& cs, int* ci) { return t.GetColorPocketsCG(&cs, ci); }},
    {"Q", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPocketsQ(); }},
};
}  // namespace

TEST(ExtractVariants, EveryMethodKeepsTheThemeInvariantsOnSmallAndOddImages) {
    const std::tuple<const char*, int, int, std::function<int(int, int)>> images[] = {
        {"one colour", 9, 7, [](int, int) { return 42; }},
        {"256 colours", 16, 16, [](int x, int y) { return y * 16 + x; }},
        {"1 x 1", 1, 1, [](int, int) { return 200; }},
        {"1 x N", 1, 37, [](int, int y) { return y * 101 % 256; }},
        {"N x 1", 37, 1, [](int x, int) { return x * 101 % 256; }},
        {"two halves", 40, 30, [](int x, int y) { return (x * 7 + y * 3) % 256 < 128 ? 3 : 250; }},
    };
    Table table;  // 256 distinct colours spread over the cube
    for (int i = 0; i < 256; ++i) table.push_back(Rgb(i, (i * 97) & 0xFF, (i * 181) & 0xFF));
    csColorSystem cs;
    for (int i = 0; i < 256; i += 5) cs.AddSample("s", table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    for (int g = 0; g < 6; ++g) {
        cs.groups.emplace_back();
        for (int s = g; s < cs.samples.GetSize(); s += 7) cs.groups.back().push_back(s);
    }
    const long live = hv::LiveHandles();
    HostDib small(Image8(4, 4, {1, 2, 3}, {}, 16));  // a 16-entry colour table
    for (const auto& m : kMethods) {
        for (const auto& im : images) {
            HostDib dib(Host8(std::get<1>(im), std::get<2>(im), table, std::get<3>(im)));
            int histo[256];
            ASSERT_EQ(ipDibStuff(dib.h, false).StatHisto(histo), 0);
            const std::string what = std::string(std::get<0>(im)) + " / " + m.first;
            int cardIndex[256] = {-1};
            ccColorPocketArray t;
            t.SetPalDib(dib.h, false);
            G first;
            for (int run = 0; run < 2; ++run) {  // the second run reuses the palette
                ASSERT_EQ(m.second(t, cs, cardIndex), 0) << what;
                ExpectCover(t, histo, std::get<1>(im) * std::get<2>(im), std::string(m.first) == "G", what);
                EXPECT_TRUE(run == 0 || Groups(t) == first) << what;
                first = Groups(t);
            }
        }
        // No usable image: -1, the pockets and the card cache unchanged.
        for (void* dib : {static_cast<void*>(nullptr), small.h}) {
            V cardIndex(256, -1);
            ccColorPocketArray t;
            t.SetPalDib(dib, false);
            BlankPalette(t);
            AddPocket(t, {5});
            EXPECT_EQ(m.second(t, cs, cardIndex.data()), -1) << m.first;
            EXPECT_EQ(Groups(t), (G{{5}})) << m.first;
            EXPECT_EQ(cardIndex[0], -1) << m.first;
        }
    }
    EXPECT_EQ(hv::LiveHandles(), live);
    // CG without a card or a cache.
    HostDib dib(Image8(4, 4, {1, 2, 3}));
    ccColorPocketArray t;
    t.SetPalDib(dib.h, false);
    int cardIndex[256] = {-1};
    EXPECT_EQ((V{t.GetColorPocketsCG(nullptr, cardIndex), t.GetColorPocketsCG(&cs, nullptr), t.pockets.GetSize()}),
              (V{-1, -1, 0}));
}
