// The alternative extractions G, D and CG on images made to test one rule
// each, and the invariants every extraction keeps on small and odd images.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <numeric>
#include <string>
#include <random>

#include "extract/extract_fixtures.h"
#include "huevane/colorsystem.h"

using namespace xt;

namespace {

using Table = std::vector<tagRGBQUAD>;

// A one-row image whose pixel x carries palette index layout[x].
void* Strip(const Table& table, V layout) {
    return Host8(static_cast<int>(layout.size()), 1, table, [layout](int x, int) { return layout[x]; });
}

// An image whose colour table is `fill` except the given entries, with
// counts[i] pixels of index i (in one row per index, padded with index 0).
void* Counted(const Set& entries, tagRGBQUAD fill, V counts) {
    Table table(256, fill);
    for (auto& e : entries) table[e.first] = e.second;
    V px;
    for (int i = 0; i < static_cast<int>(counts.size()); ++i) px.insert(px.end(), counts[i], i);
    return Host8(static_cast<int>(px.size()), 1, table, [px](int x, int) { return px[x]; });
}

// Red, green or blue maximal colours whose hue is exactly h (searched).
tagRGBQUAD GreenMaxOfHue(int h) {
    for (int r = 0; r < 256; ++r)
        if (HslHue(RGBtoHSL(Rgb(r, 255, 0))) == h) return Rgb(r, 255, 0);
    ADD_FAILURE() << "no colour of hue " << h;
    return Rgb(0, 0, 0);
}

}  // namespace

// ---------------------------------------------------------------- G

TEST(ExtractG, ColoursJoinWithinThirtyCityBlockStepsOfTheMovingMean) {
    struct Case {
        const char* what;
        Set entries;
        V counts;
        G want;
    };
    const tagRGBQUAD a = Rgb(100, 100, 100);
    const Case cases[] = {
        {"20 apart", {{1, Rgb(110, 105, 95)}}, {50, 50}, {{0, 1}}},
        {"30 apart", {{1, Rgb(120, 100, 90)}}, {50, 50}, {{0, 1}}},
        {"31 apart", {{1, Rgb(121, 100, 90)}}, {50, 50}, {{0}, {1}}},
        {"40 apart", {{1, Rgb(120, 90, 110)}}, {50, 50}, {{0}, {1}}},
        // 25 from the seed joins; the pixel-weighted mean moves to red 112,
        // so a colour 40 from the seed but 28 from the mean joins too.
        {"moving mean", {{1, Rgb(125, 100, 100)}, {2, Rgb(140, 100, 100)}}, {40, 40, 20}, {{0, 1, 2}}},
        // The seed is the most frequent colour: from red 140 the colour at
        // 100 lies 40 away, though it is within 30 of the mean of the others.
        {"seed by count", {{1, Rgb(125, 100, 100)}, {2, Rgb(140, 100, 100)}}, {20, 30, 50}, {{2, 1}, {0}}},
    };
    for (const Case& c : cases) {
        // Every unused entry repeats colour 0: it joins colour 0's pocket
        // without pixels, so only the used indices are compared.
        HostDib dib(Counted(c.entries, a, c.counts));
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsG(), 0) << c.what;
        G used;
        for (const V& g : Groups(t)) {
            used.emplace_back();
            for (int i : g)
                if (i < static_cast<int>(c.counts.size())) used.back().push_back(i);
        }
        std::sort(used.begin(), used.end(), [](const V& x, const V& y) { return x.size() > y.size(); });
        EXPECT_EQ(used, c.want) << c.what;
        for (ccColorPocket* p : t.pockets) EXPECT_EQ(p->index, -1) << c.what;
        EXPECT_EQ(t.sortMode, c.want.size() > 1 ? 2 : 0) << c.what;  // one pocket is not sorted
    }
}

TEST(ExtractG, AtMostSixteenPocketsAndSmallSharesMergedIntoTheirNearestEarlierPocket) {
    // 20 colours far apart (a 3 x 3 x 3 grid of steps 100), the i-th with
    // 200 - i pixels: seeds in index order, each its own pocket.
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
    // Colours 16 to 19 went to the pocket of their nearest among colours 0
    // to 15 (the grid neighbour one blue step below).
    V owner(256, -1);
    for (int k = 0; k < 16; ++k)
        for (ccColorItem* it : t.pockets[k]->items) owner[it->palIndex] = k;
    for (int i = 16; i < 20; ++i) EXPECT_EQ(owner[i], owner[i - 9]) << i;
    long long sum = 0;
    for (ccColorPocket* p : t.pockets) sum += p->pixelNum;
    EXPECT_EQ(sum, std::accumulate(counts.begin(), counts.end(), 0LL));

    // 60%, 38.5% and 1.5%: the small one joins the nearer of the two before
    // it (blue), whose share stays as computed before the merge.
    HostDib small(Counted({{0, Rgb(250, 0, 0)}, {1, Rgb(0, 0, 250)}, {2, Rgb(40, 40, 200)}}, Rgb(250, 0, 0),
                          {600, 385, 15}));
    ccColorPocketArray s;
    s.SetPalDib(small.h, false);
    ASSERT_EQ(s.GetColorPocketsG(), 0);
    ASSERT_EQ(s.pockets.GetSize(), 2);
    EXPECT_EQ(s.pockets[1]->items.GetSize(), 2);
    EXPECT_EQ(s.pockets[1]->items[1]->palIndex, 2);
    EXPECT_EQ(s.pockets[1]->pixelNum, 400);
    EXPECT_FLOAT_EQ(s.pockets[1]->percentage, 0.385f);
    EXPECT_FLOAT_EQ(s.pockets[0]->percentage, 0.6f);
}

// ---------------------------------------------------------------- D

TEST(ExtractD, OnlyTouchingPairsWithinSixtyHueStepsMergeAndTiesGoToTheFirstPair) {
    const tagRGBQUAD red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), yellow = Rgb(255, 255, 0);
    const tagRGBQUAD blue2 = Rgb(0, 0, 200), yellow2 = Rgb(200, 200, 0), blue3 = Rgb(0, 0, 150);
    auto grey = [](int l) { return Rgb(l, l, l); };
    struct Case {
        const char* what;
        Table table;
        V layout;
        G want;
    };
    const Case cases[] = {
        // Red touches a colour 60 hue steps away and merges with it; at 61
        // nothing qualifies (the others alternate over 60 steps apart).
        {"hue 60", {red, GreenMaxOfHue(60), blue, yellow, blue2, yellow2, blue3}, {0, 1, 2, 3, 4, 5, 6},
         {{0, 1}, {2}, {3}, {4}, {5}, {6}}},
        {"hue 61", {red, GreenMaxOfHue(61), blue, yellow, blue2, yellow2, blue3}, {0, 1, 2, 3, 4, 5, 6},
         {{0}, {1}, {2}, {3}, {4}, {5}, {6}}},
        // Two nearly equal reds apart from each other, red and blue touching.
        {"no touch",
         {red, blue, Rgb(250, 0, 0), blue2, Rgb(200, 0, 0), blue3, Rgb(150, 0, 0)},
         {0, 1, 2, 3, 4, 5, 6},
         {{0}, {1}, {2}, {3}, {4}, {5}, {6}}},
        // Grey 100 touches greys 110 and 90 at equal distance: the lower j.
        {"tie on j", {grey(100), grey(110), grey(90), yellow, blue, yellow2, blue2}, {1, 0, 2, 3, 4, 5, 6},
         {{0, 1}, {2}, {3}, {4}, {5}, {6}}},
        // Pairs (0, 1) and (2, 3) at equal distance: the lower i.
        {"tie on i", {grey(100), grey(110), grey(150), grey(160), yellow, blue, yellow2}, {0, 1, 4, 2, 3, 5, 6},
         {{0, 1}, {2}, {3}, {4}, {5}, {6}}},
        // The closest pair wins over an earlier one.
        {"closest", {grey(100), grey(130), grey(150), grey(152), yellow, blue, yellow2}, {0, 1, 4, 2, 3, 5, 6},
         {{0}, {1}, {2, 3}, {4}, {5}, {6}}},
    };
    for (const Case& c : cases) {
        HostDib dib(Strip(c.table, c.layout));
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsD(), 0) << c.what;
        EXPECT_EQ(Groups(t), c.want) << c.what;
    }
}

TEST(ExtractD, FewColoursStayApartWithSharesOfTheClusteredPixels) {
    // Five colours of 1, 2, 3, 4 and 10 pixels, all touching and alike.
    const Table table = {Rgb(200, 0, 0), Rgb(201, 0, 0), Rgb(202, 0, 0), Rgb(203, 0, 0), Rgb(204, 0, 0)};
    HostDib dib(Strip(table, {4, 0, 1, 1, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4, 4, 4}));
    ccColorPocketArray t;
    t.SetPalDib(dib.h, false);
    ASSERT_EQ(t.GetColorPocketsD(), 0);
    EXPECT_EQ(Groups(t), (G{{0}, {1}, {2}, {3}, {4}}));
    const float want[] = {0.05f, 0.1f, 0.15f, 0.2f, 0.5f};
    for (int k = 0; k < 5; ++k) {
        EXPECT_FLOAT_EQ(t.pockets[k]->percentage, want[k]) << k;
        EXPECT_EQ(t.pockets[k]->index, -1);
    }
    EXPECT_EQ(t.sortMode, 0);
}

// ---------------------------------------------------------------- CG

namespace {

// Red and a red 10 hue steps away touch; the rest alternate red and blue.
const Table kCgTable = {Rgb(255, 0, 0), Rgb(255, 60, 0), Rgb(0, 0, 255), Rgb(200, 0, 0),
                        Rgb(0, 0, 200), Rgb(150, 0, 0),  Rgb(0, 0, 150)};

// A card whose sample i is palette colour i.
void CardOfTable(csColorSystem& cs, const Table& table) {
    for (const tagRGBQUAD& c : table) cs.AddSample("s", c.rgbRed, c.rgbGreen, c.rgbBlue);
}

}  // namespace

TEST(ExtractCG, GroupsBarMergesAndAMergedPocketInheritsItsPartnersGroup) {
    ASSERT_EQ(hv::HueDiff256(HslHue(RGBtoHSL(kCgTable[0])), HslHue(RGBtoHSL(kCgTable[1]))), 10);
    const G merged = {{0, 1}, {2}, {3}, {4}, {5}, {6}}, apart = {{0}, {1}, {2}, {3}, {4}, {5}, {6}};
    struct Case {
        const char* what;
        G groups;
        G want;
        int group0;  // groupIndex of the first pocket afterwards
        bool emptyCard;
    };
    const Case cases[] = {
        {"different groups", {{0}, {1}}, apart, 0, false},
        {"same group", {{1, 0}}, merged, 0, false},
        {"no groups", {}, merged, -1, false},
        {"none into 3", {{}, {}, {}, {1}}, merged, 3, false},
        {"3 into none", {{}, {}, {}, {0}}, merged, 3, false},
        // Sample 0 is listed in groups 0 and 4: the last wins.
        {"last group wins", {{0, 1}, {}, {}, {}, {0}}, apart, 4, false},
        {"entries off the card", {{0, 99, -5, 1, 7}}, merged, 0, false},
        {"empty card", {{0}, {1}}, merged, -1, true},
    };
    for (const Case& c : cases) {
        HostDib dib(Strip(kCgTable, {0, 1, 2, 3, 4, 5, 6}));
        csColorSystem cs;
        if (!c.emptyCard) CardOfTable(cs, kCgTable);
        cs.groups = c.groups;
        int cardIndex[256];
        std::fill(cardIndex, cardIndex + 256, 77);
        cardIndex[0] = -1;
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsCG(&cs, cardIndex), 0) << c.what;
        EXPECT_EQ(Groups(t), c.want) << c.what;
        EXPECT_EQ(t.pockets[0]->groupIndex, c.group0) << c.what;
        // The cache was filled: palette colour i is sample i.
        for (int i = 0; i < 7; ++i) EXPECT_EQ(cardIndex[i], c.emptyCard ? -1 : i) << c.what;
        float shares = 0;
        for (ccColorPocket* p : t.pockets) shares += p->percentage;
        EXPECT_FLOAT_EQ(shares, 1.0f) << c.what;
    }
}

TEST(ExtractCG, AFilledCacheIsUsedAsItIsAndEntriesOffTheCardHaveNoGroup) {
    struct Case {
        const char* what;
        int first, rest;
        G want;
        V groupsAfter;
    };
    const Case cases[] = {
        // Every colour taken as sample 1: one group, so the reds merge.
        {"all sample 1", 1, 1, {{0, 1}, {2}, {3}, {4}, {5}, {6}}, {1, 1, 1, 1, 1, 1}},
        // Stale entries beyond the card: no group for colours 1 to 6.
        {"stale", 0, 500, {{0, 1}, {2}, {3}, {4}, {5}, {6}}, {0, -1, -1, -1, -1, -1}},
    };
    for (const Case& c : cases) {
        HostDib dib(Strip(kCgTable, {0, 1, 2, 3, 4, 5, 6}));
        csColorSystem cs;
        CardOfTable(cs, kCgTable);
        cs.groups = {{0}, {1}};
        int cardIndex[256];
        std::fill(cardIndex, cardIndex + 256, c.rest);
        cardIndex[0] = c.first;
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsCG(&cs, cardIndex), 0) << c.what;
        EXPECT_EQ(Groups(t), c.want) << c.what;
        V groups;
        for (ccColorPocket* p : t.pockets) groups.push_back(p->groupIndex);
        EXPECT_EQ(groups, c.groupsAfter) << c.what;
        EXPECT_EQ(cardIndex[0], c.first);
        for (int i = 1; i < 256; ++i) ASSERT_EQ(cardIndex[i], c.rest) << c.what << " " << i;
    }
}

// ---------------------------------------------------------------- all

namespace {

struct Method {
    const char* name;
    std::function<int(ccColorPocketArray&, csColorSystem&, int*)> run;
};

const Method kMethods[] = {
    {"default", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPockets(); }},
    {"G", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPocketsG(); }},
    {"D", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPocketsD(); }},
    {"CG", [](ccColorPocketArray& t, csColorSystem& cs, int* ci) { return t.GetColorPocketsCG(&cs, ci); }},
    {"Q", [](ccColorPocketArray& t, csColorSystem&, int*) { return t.GetColorPocketsQ(); }},
};

}  // namespace

TEST(ExtractVariants, EveryMethodKeepsTheThemeInvariantsOnSmallAndOddImages) {
    std::mt19937 rng(11);
    V random37;
    for (int i = 0; i < 37; ++i) random37.push_back(static_cast<int>(rng() % 256));
    struct Image {
        const char* what;
        int w, h;
        std::function<int(int, int)> px;
    };
    const Image images[] = {
        {"one colour", 9, 7, [](int, int) { return 42; }},
        {"256 colours", 16, 16, [](int x, int y) { return y * 16 + x; }},
        {"1 x 1", 1, 1, [](int, int) { return 200; }},
        {"1 x N", 1, 37, [random37](int, int y) { return random37[y]; }},
        {"N x 1", 37, 1, [random37](int x, int) { return random37[x]; }},
        {"two halves", 40, 30, [](int x, int y) { return (x * 7 + y * 3) % 256 < 128 ? 3 : 250; }},
    };
    // A palette of 256 distinct colours spread over the cube.
    Table table;
    for (int i = 0; i < 256; ++i) table.push_back(Rgb(i, (i * 97) & 0xFF, (i * 181) & 0xFF));
    csColorSystem cs;
    for (int i = 0; i < 256; i += 5) cs.AddSample("s", table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
    for (int g = 0; g < 6; ++g) {
        cs.groups.emplace_back();
        for (int s = g; s < cs.samples.GetSize(); s += 7) cs.groups.back().push_back(s);
    }
    const long live = hv::LiveHandles();
    for (const Image& im : images) {
        HostDib dib(Host8(im.w, im.h, table, im.px));
        int histo[256];
        ASSERT_EQ(ipDibStuff(dib.h, false).StatHisto(histo), 0);
        for (const Method& m : kMethods) {
            const std::string what = std::string(im.what) + " / " + m.name;
            int cardIndex[256] = {-1};
            ccColorPocketArray t;
            t.SetPalDib(dib.h, false);
            G first;
            for (int run = 0; run < 2; ++run) {  // the second run reuses the palette
                ASSERT_EQ(m.run(t, cs, cardIndex), 0) << what;
                V owner(256, -1);
                long long pixels = 0;
                for (int k = 0; k < t.pockets.GetSize(); ++k) {
                    ccColorPocket* p = t.pockets[k];
                    EXPECT_GT(p->items.GetSize(), 0) << what;
                    long long sum = 0;
                    for (ccColorItem* it : p->items) {
                        ASSERT_TRUE(it >= t.palette && it < t.palette + 256) << what;
                        EXPECT_EQ(owner[it->palIndex], -1) << what << " index " << it->palIndex;
                        owner[it->palIndex] = k;
                        sum += it->pixelNum;
                        // Only G takes colours without pixels.
                        EXPECT_TRUE(histo[it->palIndex] > 0 || std::string(m.name) == "G") << what;
                    }
                    EXPECT_EQ(sum, p->pixelNum) << what;
                    pixels += p->pixelNum;
                }
                for (int i = 0; i < 256; ++i) EXPECT_TRUE(histo[i] == 0 || owner[i] >= 0) << what << " " << i;
                EXPECT_EQ(pixels, im.w * im.h) << what;
                if (run == 0) {
                    first = Groups(t);
                } else {
                    EXPECT_EQ(Groups(t), first) << what;
                }
            }
        }
    }
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ExtractVariants, NoUsableImageGivesMinusOneWithThePocketsUnchanged) {
    HostDib small(Image8(4, 4, {1, 2, 3}, {}, 16));  // a 16-entry colour table
    for (const Method& m : kMethods) {
        for (void* dib : {static_cast<void*>(nullptr), small.h}) {
            csColorSystem cs;
            cs.AddSample("s", 1, 2, 3);
            int cardIndex[256];
            std::fill(cardIndex, cardIndex + 256, -1);
            ccColorPocketArray t;
            t.SetPalDib(dib, false);
            BlankPalette(t);
            AddPocket(t, {5});
            EXPECT_EQ(m.run(t, cs, cardIndex), -1) << m.name;
            EXPECT_EQ(Groups(t), (G{{5}})) << m.name;
            EXPECT_EQ(cardIndex[0], -1) << m.name;
        }
    }
    // CG without a card or a cache.
    HostDib dib(Image8(4, 4, {1, 2, 3}));
    ccColorPocketArray t;
    t.SetPalDib(dib.h, false);
    csColorSystem cs;
    int cardIndex[256] = {-1};
    EXPECT_EQ(t.GetColorPocketsCG(nullptr, cardIndex), -1);
    EXPECT_EQ(t.GetColorPocketsCG(&cs, nullptr), -1);
    EXPECT_EQ(t.pockets.GetSize(), 0);
}
