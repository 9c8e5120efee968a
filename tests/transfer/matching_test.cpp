// Pairing target pockets with style pockets: the greedy methods with their
// flags and fallback, the hue refinement, the colour-difference search and
// the neighbour chains.
#include "transfer/matching.h"

#include <random>
#include <sstream>

#include "transfer_fixtures.h"

using tfix::Add;
using V = std::vector<int>;

namespace {

// Links of the target pockets as positions in the style theme (-1 unpaired).
V Links(ccColorPocketArray& t, ccColorPocketArray& s) {
    V out;
    for (ccColorPocket* p : t.pockets) out.push_back(p->destLink ? s.GetIndex(p->destLink) : -1);
    return out;
}

// Adds pockets written "hue:pixels[:flags[:share in %]] ..." of saturation
// s and lightness l.
void Pockets(ccColorPocketArray& t, const char* spec, int s, int l) {
    std::istringstream in(spec);
    for (std::string p; in >> p;) {
        int h = 0, n = 0, flags = 0, share = 0;
        std::sscanf(p.c_str(), "%d:%d:%d:%d", &h, &n, &flags, &share);
        Add(t, h, s, l, n, share / 100.0f, flags);
    }
}

// A theme over a one-row image whose columns hold the pockets named by the
// layout, pocket k of hue hues[k].
void Strip(ccColorPocketArray& t, const V& hues, const V& sizes, const std::vector<BYTE>& layout) {
    std::vector<tagRGBQUAD> colours;
    for (int h : hues) colours.push_back(RgbQuad(HSLtoRGB(MakeHsl(h, 200, 120, 0))));
    tfix::PaletteTheme(t, colours, sizes, static_cast<int>(layout.size()), layout);
    for (size_t i = 0; i < hues.size(); ++i)
        t.pockets[static_cast<int>(i)]->aveHSL = MakeHsl(hues[i], 200, 120, 0);
}

}  // namespace

TEST(Matching, GreedyPairingWithBackgroundsAndFallbackAndTheHueRefinement) {
    // Target and style pockets (out of size order: the method sorts by size),
    // respectBackground, the method, and the links by position in the sorted
    // themes. In order: the three largest take the style pockets in size
    // order, the rest share the destination of the earlier pocket nearest in
    // hue; equally near earlier pockets: the first one wins; background (1)
    // to background, left out (4) unpaired, or all alike; a second
    // background pocket finds no free background style pocket. Method 2:
    // greedy pairs by size, then the refinement hands each pocket the
    // candidate of nearest hue weighted by (1 - share) (costs 25 and 25 for
    // the first pocket of the last two cases, then 25 and 20), ties keeping
    // the greedy order.
    const std::tuple<const char*, const char*, bool, int, V> cases[] = {
        {"105:20 10:50 250:10 200:30 100:40", "30:10 60:30 90:20", false, 1, {0, 1, 2, 1, 0}},
        {"40:30 80:20 60:10", "0:20 128:10", true, 1, {0, 1, 0}},
        {"10:50 20:40:1 30:30:4 40:20", "100:50:1 110:40 120:30:1 130:20", true, 1, {1, 0, -1, 3}},
        {"10:50 20:40:1 30:30:4 40:20", "100:50:1 110:40 120:30:1 130:20", false, 1, {0, 1, 2, 3}},
        {"10:50:1 100:40 95:30:1", "0:50 50:40:1 60:30", true, 1, {1, 0, 0}},
        {"10:290 100:200 200:100", "200:300:0:50 100:200:0:30 10:100:0:20", true, 2, {2, 1, 0}},
        {"100:200 0:100", "50:200:0:50 150:100:0:50", true, 2, {0, 1}},
        {"100:200 0:100", "50:200:0:50 150:100:0:60", true, 2, {1, 0}},
    };
    for (const auto& [target, style, respect, method, want] : cases) {
        ccColorPocketArray t, s;
        Pockets(t, target, 200, 120);
        Pockets(s, style, 100, 100);
        for (ccColorPocket* q : s.pockets) q->destLink = q;  // stale links must not block
        EXPECT_EQ(t.GetDstPockets(&s, respect, method), 0);
        EXPECT_EQ(Links(t, s), want) << target;
        for (ccColorPocket* p : t.pockets)
            EXPECT_EQ(p->destHSL, p->destLink ? p->destLink->aveHSL : p->destHSL);
        for (ccColorPocket* q : s.pockets) EXPECT_EQ(q->destLink, nullptr);
        EXPECT_EQ(t.GetDstPockets(nullptr, true, 1) + t.GetDstPockets(&s, true, 6),
                  -2);  // no style, no method
    }
    // The style's links are cleared after the greedy pairing: a target
    // matched with itself stays unpaired and copies no colour.
    for (int method : {1, 2, 3}) {
        ccColorPocketArray t;
        Pockets(t, "10:50 90:30", 200, 100);
        for (ccColorPocket* p : t.pockets) p->destRGB = {1, 2, 3, 0};
        EXPECT_EQ(t.GetDstPockets(&t, false, method), 0);
        EXPECT_EQ(Links(t, t), (V{-1, -1})) << method;
        EXPECT_EQ(RgbWord(t.pockets[0]->destRGB), 0x030201u);
    }
}

TEST(Matching, ColorDiffSearchEqualsFullEnumeration) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 120; ++round) {
        hv::ColorDiffProblem pr;
        pr.k = 2 + round % 6;  // up to the largest tuple searched
        pr.nB = 1 + (round / 4) % 6;
        // Narrow ranges make many ties; wide ones overflow 32-bit products.
        const bool narrow = round % 3 == 0;
        std::uniform_int_distribution<int> v(0, narrow ? 3 : 195075), nv(0, narrow ? 2 : 1000000);
        for (int i = 0; i < 16; ++i)
            for (int j = i + 1; j < 16; ++j) {
                pr.da[i][j] = pr.da[j][i] = v(rng);
                pr.db[i][j] = pr.db[j][i] = v(rng);
                pr.n[i][j] = pr.n[j][i] = nv(rng);
            }
        // Every tuple with x[0] = 0 in lexicographic order; the first of
        // smallest cost is the answer.
        V x(static_cast<size_t>(pr.k), 0), want = x;
        int64_t wantCost = INT64_MAX;
        for (int p = 1; p >= 1;) {
            const int64_t cost = hv::ColorDiffCost(pr, x.data());
            if (cost < wantCost) wantCost = cost, want = x;
            for (p = pr.k - 1; p >= 1 && ++x[p] == pr.nB;) x[p--] = 0;
        }
        int best[hv::kMaxColorDiffPositions];
        hv::ColorDiffSearch(pr, best);
        ASSERT_EQ(V(best, best + pr.k), want) << "round " << round;
    }
    const int zeros[hv::kMaxColorDiffPositions] = {};
    EXPECT_EQ(hv::ColorDiffCost(hv::ColorDiffProblem{}, zeros), 0);
}

TEST(Matching, ColourDifferenceMethodKeepsDistancesAndNeedsTheTargetsImage) {
    // The style holds the target's colours in another size order: method 4
    // finds the pairing that keeps every colour difference.
    const tagRGBQUAD red{0, 0, 255, 0}, green{0, 200, 0, 0}, blue{100, 0, 0, 0}, white{255, 255, 255, 0};
    ccColorPocketArray t, s;
    std::vector<BYTE> grid;
    for (int i = 0; i < 16; ++i) grid.push_back(BYTE((i % 4 + 2 * (i / 4)) % 4));
    tfix::PaletteTheme(t, {red, green, blue, white}, {40, 30, 20, 10}, 4, grid);
    tfix::PaletteTheme(s, {green, white, red, blue}, {20, 30, 40, 10}, 4, grid);
    s.SetPalDib(nullptr, false);  // the style needs no image
    EXPECT_EQ(t.GetDstPockets(&s, true, 4), 0);
    for (ccColorPocket* p : t.pockets) EXPECT_EQ(RgbWord(p->destRGB), RgbWord(p->aveRGB));
    // Without the target's image there are no neighbour counts to weigh the
    // differences by: nothing is paired (-1), as method 5 does. The theme
    // read back from its buffer carries no image; a palette image of another
    // depth counts as none.
    char* buf = nullptr;
    ASSERT_GT(t.SaveToBuf(buf), 0);
    ccColorPocketArray loaded, deep;
    ASSERT_TRUE(loaded.LoadFromBuf(buf) > 0 && deep.LoadFromBuf(buf) > 0);
    t.FreeDataBuf(buf);
    deep.SetPalDib(MakeEmptyDib(4, 4, 24, true), true);
    for (ccColorPocketArray* target : {&loaded, &deep}) {
        EXPECT_EQ(target->GetDstPockets(&s, true, 4), -1);
        EXPECT_EQ(Links(*target, s), (V{-1, -1, -1, -1}));
        for (ccColorPocket* p : target->pockets) EXPECT_EQ(RgbWord(p->destRGB), 0u);
    }
}

TEST(Matching, NeighbourChainsOfMethodFive) {
    // The chain starts at the largest pocket and follows adjacency; equal
    // adjacency keeps the earlier candidate, none left continues in order.
    // Also of two pockets the larger starts; more than 16 are refused.
    const std::tuple<V, V, std::vector<BYTE>, V> cases[] = {
        {{0, 50, 100, 150}, {10, 20, 90, 30}, {2, 2, 0, 0, 3, 1}, {2, 0, 3, 1}},
        {{0, 50, 100, 150}, {10, 20, 90, 30}, {0, 2, 3, 1}, {2, 0, 1, 3}},
        {{0, 100}, {10, 20}, {0, 1}, {1, 0}},
    };
    for (const auto& [hues, sizes, layout, want] : cases) {
        ccColorPocketArray t;
        Strip(t, hues, sizes, layout);
        int order[16] = {};
        EXPECT_EQ(t.SortOnMixNeighboring(order), 0);
        EXPECT_EQ(V(order, order + want.size()), want);
    }
    ccColorPocketArray many;
    V hues;
    std::vector<BYTE> layout;
    for (int i = 0; i < 16; ++i) hues.push_back(i * 16), layout.push_back(BYTE(i));
    Strip(many, hues, V(16, 5), layout);
    int order[16];
    EXPECT_EQ(many.SortOnMixNeighboring(order), 0);
    Add(many, 0, 0, 0, 1);
    EXPECT_EQ(many.SortOnMixNeighboring(order), -1);
    // Hue step 40 > 30 advances the style chain, 5 < 70 stays, 75 > 70
    // advances, then the style chain is exhausted.
    ccColorPocketArray t, s;
    Strip(t, {0, 40, 45, 120, 0}, {50, 40, 30, 20, 10}, {0, 1, 2, 3, 4});
    Strip(s, {100, 130, 200}, {30, 20, 10}, {0, 1, 2});
    EXPECT_EQ(t.GetDstPockets(&s, true, 5), 0);
    EXPECT_EQ(Links(t, s), (V{0, 1, 1, 2, 2}));
}
