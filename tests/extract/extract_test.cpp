// The extractions: the default one, G, D, CG and Q on images made to pin
// one rule each and on small and odd images (every method keeps the theme's
// invariants), D and CG on real photos against direct implementations of
// their loops, the octree quantizer behind Q; the pocket-number image, the
// refusals of bad input, and the steps the extractions share: nearest pocket,
// merging, shares, reclustering and the orders of pockets and palette.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>

#include "extract/extract_fixtures.h"
#include "extract/quantizer.h"
#include "huevane/colorsystem.h"

using namespace xt;

namespace {
// The reference order: passes from the end, exchanging neighbours at
// positions from.. only when outOfOrder(left, right) holds, so equal keys
// keep their order.
V ExchangeSort(V v, const std::function<bool(int, int)>& outOfOrder, size_t from = 0) {
    for (size_t p = v.size(); p-- > from + 1;)
        for (size_t i = from; i < p; ++i)
            if (outOfOrder(v[i], v[i + 1])) std::swap(v[i], v[i + 1]);
    return v;
}

int Dist(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    const int dr = a.rgbRed - b.rgbRed, dg = a.rgbGreen - b.rgbGreen, db = a.rgbBlue - b.rgbBlue;
    return dr * dr + dg * dg + db * db;
}

using Table = std::vector<tagRGBQUAD>;
using Node = CQuantizer::Node;

const std::map<char, std::function<int(ccColorPocketArray&, csColorSystem*, int*)>> kMethods = {
    {'e', [](ccColorPocketArray& t, csColorSystem*, int*) { return t.GetColorPockets(); }},
    {'g', [](ccColorPocketArray& t, csColorSystem*, int*) { return t.GetColorPocketsG(); }},
    {'d', [](ccColorPocketArray& t, csColorSystem*, int*) { return t.GetColorPocketsD(); }},
    {'c', [](ccColorPocketArray& t, csColorSystem* cs, int* ci) { return t.GetColorPocketsCG(cs, ci); }},
    {'q', [](ccColorPocketArray& t, csColorSystem*, int*) { return t.GetColorPocketsQ(); }},
};

// Everything a theme's pockets carry that the extractions decide.
std::vector<std::vector<long long>> Decided(const ccColorPocketArray& t) {
    std::vector<std::vector<long long>> v;
    for (ccColorPocket* p : t.pockets) {
        v.push_back({p->pixelNum, RgbWord(p->aveRGB), p->aveHSL, p->groupIndex, p->index,
                     static_cast<long long>(p->percentage * 1e7f)});
        for (ccColorItem* it : p->items) v.back().push_back(it->palIndex);
    }
    return v;
}

// The merging loop of D (cg false) and CG (cg true) as stated, from one
// pocket per palette item with pixels: every pair rescanned and the
// neighbour counts summed over every item pair before each merge.
void DirectMerge(ccColorPocketArray& t, bool cg) {
    std::vector<int> nb(256 * 256);
    ASSERT_EQ(ipDibStuff(t.palDib, false).SetNeighbor(reinterpret_cast<int(*)[256]>(nb.data())), 0);
    while (t.pockets.GetSize() > 6) {
        int best = INT_MAX, bi = -1, bj = -1;
        for (int i = 0; i < t.pockets.GetSize(); ++i)
            for (int j = i + 1; j < t.pockets.GetSize(); ++j) {
                ccColorPocket *P = t.pockets[i], *Q = t.pockets[j];
                long long sum = 0;
                for (ccColorItem* a : Q->items)
                    for (ccColorItem* b : P->items) sum += nb[a->palIndex * 256 + b->palIndex];
                const bool apart =
                    cg && P->groupIndex >= 0 && Q->groupIndex >= 0 && P->groupIndex != Q->groupIndex;
                const int d = cg ? hv::ColorDist2(P->aveRGB, Q->aveRGB) : P->HSLDist2(Q);
                if (sum > 0 && P->HueDistance(Q) <= 60 && !apart && d < best)
                    std::tie(best, bi, bj) = std::tie(d, i, j);
            }
        if (bi < 0) break;
        ccColorPocket* gone = t.pockets[bj];
        t.MergePockets(bi, gone);
        if (t.pockets[bi]->groupIndex < 0) t.pockets[bi]->groupIndex = gone->groupIndex;
        delete gone;
        t.pockets.RemoveAt(bj);
    }
    t.GetPercentage();
}

int Leaves(const Node* n) {
    int c = n && n->leaf;
    for (int k = 0; n && !n->leaf && k < 8; ++k) c += Leaves(n->children[k]);
    return c;
}
bool Insert(CQuantizer& q, int r, int g, int b) {
    return q.InsertColor(&q.root, static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b), 0, 0);
}

}  // namespace

TEST(Extract, EachMethodFollowsItsRulesAndKeepsTheThemeInvariants) {
    std::map<std::string, Table> named;  // 256 distinct colours spread over the cube; four repeated
    const tagRGBQUAD c4[] = {Rgb(250, 0, 0), Rgb(0, 250, 0), Rgb(0, 0, 250), Rgb(250, 250, 250)};
    for (int i = 0; i < 256; ++i) {
        named["all"].push_back(Rgb(i, (i * 97) & 0xFF, (i * 181) & 0xFF));
        named["four"].push_back(c4[i % 4]);
    }
    csColorSystem empty, cs;  // a card of every fifth colour of "all", in six groups
    for (int i = 0; i < 256; i += 5) cs.AddSample("s", i, (i * 97) & 0xFF, (i * 181) & 0xFF);
    for (int k = 0; k < 6; ++k) {
        cs.groups.emplace_back();
        for (int s = k; s < cs.samples.GetSize(); s += 7) cs.groups.back().push_back(s);
    }
    const long live = hv::LiveHandles();
    const auto cases = CaseTable("extract/extractions.txt");
    ASSERT_EQ(cases.size(), 23u);  // the whole file read
    for (const auto& f : cases) {
        ASSERT_EQ(f.size(), 5u) << f[0];
        const G want = Lists(f[3]), late = Lists(f[4]);
        Table table;
        V px;
        std::istringstream words(f[1]);
        for (std::string w; words >> w;)
            if (named.count(w))
                table = named.at(w);
            else
                table.push_back(RgbQuad(static_cast<uint32_t>(std::stoul(w, nullptr, 16))));
        for (const V& run : Lists(f[2])) px.insert(px.end(), run.size() > 1 ? run[1] : 1, run[0]);
        table.resize(256);  // black beyond
        HostDib dib(Image(8, static_cast<int>(px.size()), 1, px, table));
        int histo[256];
        ASSERT_EQ(ipDibStuff(dib.h, false).StatHisto(histo), 0);
        for (const char m : f[0].substr(0, f[0].find(' '))) {
            const std::string what = f[0] + "/" + m + " on " + f[1].substr(0, 30);
            int cardIndex[256] = {-1};
            ccColorPocketArray t;
            t.SetPalDib(dib.h, false);
            G once;
            for (int run = 0; run < 2; ++run) {  // the second run reuses the palette
                ASSERT_EQ(kMethods.at(m)(t, want.empty() ? &cs : &empty, cardIndex), 0) << what;
                ExpectCover(t, histo, static_cast<long long>(px.size()), m == 'g', what);
                EXPECT_TRUE(run == 0 || Groups(t) == once) << what;
                once = Groups(t);
            }
            EXPECT_EQ(once, want.empty() ? once : want) << what;  // when given
            for (int i = 0; i < 256; ++i) {  // the palette describes the image, used entries or not
                const ccColorItem& it = t.palette[i];
                const float share = static_cast<float>(histo[i]) / static_cast<float>(px.size());
                ASSERT_TRUE(it.palIndex == i && RgbWord(it.rgb) == RgbWord(table[i]) &&
                            it.hsl == RGBtoHSL(table[i]) && it.percentage == share)
                    << what << i;
            }
            for (int k = 0; k < t.pockets.GetSize() && !want.empty(); ++k) {
                ccColorPocket* p = t.pockets[k];
                const int gained = late.empty() || k >= static_cast<int>(late[0].size()) ? 0 : late[0][k];
                const float share = m == 'q' ? 0.0f : static_cast<float>(p->pixelNum - gained) / px.size();
                EXPECT_FLOAT_EQ(p->percentage, share) << what << k;
                EXPECT_EQ(p->index, m == 'e' ? k : -1) << what;
            }
            EXPECT_EQ(t.sortMode, (m == 'e' || m == 'g') && t.pockets.GetSize() > 1 ? 2 : 0) << what;
        }
    }
    // No usable image: -1, the pockets and the card cache unchanged.
    HostDib small(Image(8, 4, 4, {1, 2, 3}, {}, 16));  // a 16-entry colour table
    for (const auto& [m, method] : kMethods)
        for (void* dib : {static_cast<void*>(nullptr), small.h}) {
            V cardIndex(256, -1);
            ccColorPocketArray t;
            OnePocketEach(t, {Rgb(1, 2, 3)});
            t.SetPalDib(dib, false);
            EXPECT_EQ(method(t, &cs, cardIndex.data()), -1) << m;
            EXPECT_TRUE(Groups(t) == G{{0}} && cardIndex[0] == -1) << m;
        }
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ExtractCG, GroupsBarMergesAndAMergedPocketInheritsItsPartnersGroup) {
    // Red and a red 10 hue steps away touch; the rest alternate red and blue.
    const Table table = {Rgb(255, 0, 0), Rgb(255, 60, 0), Rgb(0, 0, 255), Rgb(200, 0, 0),
                         Rgb(0, 0, 200), Rgb(150, 0, 0),  Rgb(0, 0, 150)};
    ASSERT_EQ(hv::HueDiff256(HslHue(RGBtoHSL(table[0])), HslHue(RGBtoHSL(table[1]))), 10);
    const auto cases = CaseTable("extract/cg.txt");
    ASSERT_EQ(cases.size(), 10u);  // the whole file read
    for (const auto& f : cases) {
        const G cache = Lists(f[1]);
        const V want = Lists(f[3]).at(0);
        const bool emptyCard = f[2].find("empty") != std::string::npos;
        const int first = cache.empty() ? -1 : cache[0][0], rest = cache.empty() ? 77 : cache[0][1];
        HostDib dib(Image(8, 7, 1, {0, 1, 2, 3, 4, 5, 6}, table));
        csColorSystem cs;
        for (int i = 0; i < 7 && !emptyCard; ++i)
            cs.AddSample("s", table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue);
        cs.groups = Lists(f[0]);
        V cardIndex(256, rest), groups;
        cardIndex[0] = first;
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        ASSERT_EQ(t.GetColorPocketsCG(&cs, cardIndex.data()), 0);
        const G merged = {{0, 1}, {2}, {3}, {4}, {5}, {6}}, apart = {{0}, {1}, {2}, {3}, {4}, {5}, {6}};
        EXPECT_EQ(Groups(t), want.size() == 7 ? apart : merged) << f[0];
        for (ccColorPocket* p : t.pockets) groups.push_back(p->groupIndex);
        EXPECT_EQ(groups, want) << f[0];
        // An empty cache is filled (palette colour i is sample i), a filled one kept.
        for (int i = 0; i < (first < 0 ? 7 : 256); ++i)
            ASSERT_EQ(cardIndex[i], first >= 0 ? (i ? rest : first) : emptyCard ? -1 : i) << f[0] << i;
    }
}

TEST(ExtractCG, APocketsGroupComesFromTheCacheEntryOfItsPaletteIndex) {
    // A reused palette whose items carry palIndex values other than their
    // positions: the cache is read at the colour's position in the palette.
    const Table table = {Rgb(255, 0, 0), Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(255, 255, 0)};
    HostDib dib(Image(8, 4, 1, {0, 1, 2, 3}, table));
    csColorSystem cs;
    cs.AddSample("low", 10, 10, 10);
    cs.AddSample("high", 200, 200, 200);
    cs.groups = {{0}, {1}};
    V cardIndex(256, 1);  // positions 0..127 are sample 0 (group 0), the rest sample 1 (group 1)
    std::fill(cardIndex.begin(), cardIndex.begin() + 128, 0);
    for (const int shift : {255, -1}) {  // palIndex 255 - i, or none
        ccColorPocketArray t;
        t.SetPalDib(dib.h, false);
        BlankPalette(t);
        for (int i = 0; i < 4; ++i) {
            Item(t, i, table[static_cast<size_t>(i)], 1);
            t.palette[i].palIndex = shift < 0 ? -1 : shift - i;
        }
        ASSERT_EQ(t.GetColorPocketsCG(&cs, cardIndex.data()), 0) << shift;
        V groups;
        for (ccColorPocket* p : t.pockets) groups.push_back(p->groupIndex);
        EXPECT_EQ(groups, V(4, 0)) << shift;
    }
}

TEST(ExtractPhoto, FastMergingMatchesTheDirectLoop) {
    csColorSystem card;
    ASSERT_EQ(card.LoadFromFile(HUEVANE_SAMPLES "/css-colours.txt"), 0);
    // Groups that leave some samples out; sample 3 is listed in every group
    // (the last wins).
    card.groups.assign(5, {3});
    for (int s = 0; s < card.samples.GetSize(); ++s)
        if (s % 6 != 5) card.groups[static_cast<size_t>(s * 7 % 5)].push_back(s);
    V groupOf(static_cast<size_t>(card.samples.GetSize()), -1);
    for (size_t g = 0; g < card.groups.size(); ++g)
        for (int s : card.groups[g]) groupOf[static_cast<size_t>(s)] = static_cast<int>(g);
    for (const char* name : {"/extract/coffee_120x80.bmp", "/coffee_small.bmp", "/transfer/autumn_256.bmp"}) {
        void* photo = reinterpret_cast<void*>(LoadDIB((std::string(HUEVANE_TEST_DATA) + name).c_str()));
        void* dib8 = DecreaseBpp24to8(photo);
        for (bool cg : {false, true}) {
            ccColorPocketArray fast, ref;
            fast.SetPalDib(dib8, false);
            ref.SetPalDib(dib8, false);
            int fastIndex[256] = {-1}, refIndex[256] = {-1};
            tagRGBQUAD colours[256];
            ASSERT_EQ(cg ? fast.GetColorPocketsCG(&card, fastIndex) : fast.GetColorPocketsD(), 0);
            ASSERT_EQ(ref.GetColorPockets(), 0);  // builds the palette
            for (int i = 0; i < 256; ++i) colours[i] = ref.palette[i].rgb;
            card.GetCardPalIndices(colours, 256, refIndex);
            ref.ClearAll();
            // One pocket per colour with pixels; D leaves the group as made.
            for (int i = 0; i < 256; ++i)
                if (ref.palette[i].pixelNum > 0)
                    AddPocket(ref, {i})->groupIndex = cg ? groupOf[refIndex[i]] : 0;
            EXPECT_GT(ref.pockets.GetSize(), 200) << name;
            DirectMerge(ref, cg);
            EXPECT_TRUE(!cg || V(fastIndex, fastIndex + 256) == V(refIndex, refIndex + 256)) << name;
            EXPECT_EQ(Decided(fast), Decided(ref)) << name << cg;
            EXPECT_LE(fast.pockets.GetSize(), cg ? 256 : 6) << name;  // groups may stop CG early
        }
        hv::FreeHandle(dib8);
        hv::FreeHandle(photo);
    }
}

TEST(Quantizer, ChannelBitsPickTheChildAndFoldingTakesTheNewestNodeOfTheDeepestLevel) {
    CQuantizer q;
    EXPECT_EQ((V{int(q.leafLimit), int(q.outputColors), int(q.depth)}), (V{16, 10, 8}));
    // Red 0x80: child 4 (the red bit) at level 0, then child 0 seven times.
    ASSERT_TRUE(Insert(q, 0x80, 0, 0));
    const Node* n = q.root;
    for (int c = 0; c < 8; ++c) EXPECT_EQ(n->children[c] != nullptr, c == 4);
    for (int level = 1; level < 8; ++level) ASSERT_NE(n = n->children[level == 1 ? 4 : 0], nullptr) << level;
    EXPECT_TRUE(n->children[0] && n->children[0]->leaf);
    // Green 2 and blue 2, 3, 3 part at level 6 (child 2 for the green bit, 1
    // for blue); blue 2 and 3 part at level 7, in the newest node there.
    for (auto c : {V{0, 2, 0}, V{0, 0, 2}, V{0, 0, 3}, V{0, 0, 3}}) ASSERT_TRUE(Insert(q, c[0], c[1], c[2]));
    ASSERT_EQ(q.leafTotal, 4u);
    Node* blue7 = q.foldLists[7];
    EXPECT_TRUE(q.foldLists[6]->children[2] && q.foldLists[6]->children[1] && !q.foldLists[8]);
    EXPECT_TRUE(blue7->children[0] && blue7->children[1] && blue7->children[1]->count == 2);
    ASSERT_TRUE(q.FoldOnce());  // the blue pair (2, 3, 3) becomes one leaf
    EXPECT_TRUE(blue7->leaf && blue7->count == 3 && blue7->sumBlue == 8 && q.leafTotal == 3);
    for (Node* c : blue7->children) EXPECT_EQ(c, nullptr);
    EXPECT_NE(q.foldLists[7], blue7);
    ASSERT_TRUE(q.FoldOnce());  // then the green one, the other node at level 7
    EXPECT_EQ(q.foldLists[6]->children[2]->sumGreen, 2u);
    int folds = 2;
    while (q.FoldOnce()) ++folds;
    const Node* r = q.root;
    EXPECT_EQ(
        (V{r->leaf, int(r->count), int(r->sumRed), int(r->sumGreen), int(r->sumBlue), int(q.leafTotal)}),
        (V{1, 5, 0x80, 2, 8, 1}));
    EXPECT_EQ(folds, 16);  // each inner node once: the root, two per level 1 to 6, three at 7
}

TEST(Quantizer, OutputColoursMergeRunsOfLeavesInTreeOrder) {
    for (auto c : {V{256, 10}, V{4, 4}, V{10, 10}, V{16, 10}, V{1, 1}}) {  // distinct colours, outputs
        tagRGBQUAD pal[256], out[10];
        int counts[10], total = 0;
        for (int i = 0; i < 256; ++i) pal[i] = Rgb(i % c[0], (i % c[0] * 37) & 0xFF, (i % c[0] * 91) & 0xFF);
        CQuantizer q;
        ASSERT_TRUE(q.InsertPalette(pal));
        EXPECT_TRUE(c[0] > 16 || q.leafTotal == uint32_t(c[0])) << c[0];  // folded only past 16 leaves
        EXPECT_LE(q.leafTotal, 16u);
        EXPECT_EQ(Leaves(q.root), static_cast<int>(q.leafTotal)) << c[0];
        ASSERT_EQ(q.MakeOutputColors(out, counts), c[1]) << c[0];
        for (int j = 0; j < c[1]; ++j) total += counts[j] + out[j].rgbReserved;
        EXPECT_EQ(total, 256) << c[0];  // every entry counted once, the fourth bytes 0
    }
    // Twelve leaves, red 0, 20, ..., 220 with k + 1 colours each: output j
    // takes leaves j*12/10 .. (j+1)*12/10-1, runs of 1, 1, 1, 1, 2, 1, 1, 1, 1, 2.
    CQuantizer p, h;
    p.leafLimit = 100;
    for (int k = 0; k < 12; ++k)
        for (int r = 0; r <= k; ++r) ASSERT_TRUE(Insert(p, k * 20, 0, 0));
    tagRGBQUAD out[10];
    int counts[10], index = 0;
    ASSERT_EQ(p.MakeOutputColors(out, counts), 10);
    EXPECT_EQ((V{counts[0], counts[3], counts[4], counts[5], counts[9]}), (V{1, 4, 11, 7, 23}));
    // (80*5 + 100*6) / 11 = 90.9 -> 91; (200*11 + 220*12) / 23 = 210.4 -> 210.
    EXPECT_EQ((V{out[3].rgbRed, out[4].rgbRed, out[9].rgbRed}), (V{60, 91, 210}));
    // A folded leaf's mean rounds half up: red 2 and 3 give 3.
    for (int c : {2, 3}) ASSERT_TRUE(Insert(h, c, 255, 254));
    ASSERT_TRUE(h.FoldOnce());
    h.CollectLeaves(h.root, out, &index, counts);
    ASSERT_EQ(index, 1);
    EXPECT_EQ((V{out[0].rgbRed, out[0].rgbGreen, out[0].rgbBlue, counts[0]}), (V{3, 255, 254, 2}));
}

TEST(Quantizer, AFailedNodeAllocationStopsTheInsertionWithoutALeak) {
    tagRGBQUAD pal[256], out[10];
    int counts[10];
    for (int i = 0; i < 256; ++i) pal[i] = Rgb(i, 255 - i, (i * 53) & 0xFF);
    CQuantizer whole, exact;
    ASSERT_TRUE(whole.InsertPalette(pal));
    const uint32_t used = 0xFFFFFFFFu - whole.nodeBudget;
    exact.nodeBudget = used;
    EXPECT_TRUE(exact.InsertPalette(pal));
    for (uint32_t budget : {0u, 1u, 8u, 9u, 20u, 100u, used - 1}) {
        CQuantizer q;
        q.nodeBudget = budget;
        EXPECT_FALSE(q.InsertPalette(pal)) << budget;
        // The tree is whole: every leaf counted, outputs made without a missing node.
        EXPECT_EQ(Leaves(q.root), static_cast<int>(q.leafTotal)) << budget;
        EXPECT_LE(q.MakeOutputColors(out, counts), 10);
    }  // LeakSanitizer checks that the destructor freed every node
    EXPECT_FALSE(CQuantizer().InsertPalette(nullptr));
}

TEST(ExtractDefault, ReusesTheStoredPaletteAndOwnsThePaletteImageItDerives) {
    // Only index 3 has pixels the second time, yet the stored counts (6, 4,
    // 0) put items 1 and 2 into its pocket when reclustering; a palette too
    // small for every index is rebuilt, not overrun.
    const std::vector<tagRGBQUAD> rgb = {Rgb(0, 0, 0), Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0)};
    HostDib first(Image(8, 5, 2, {1, 1, 1, 1, 1, 1, 2, 2, 2, 2}, rgb)), second(Image(8, 5, 2, {3}, rgb));
    HostDib true24(Image(24, 5, 3, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080}));
    const long live = hv::LiveHandles();
    ccColorPocketArray u, shortPalette, t;
    EXPECT_TRUE(u.SetDib(first.h) == 0 && u.SetDib(second.h) == 0 && Groups(u) == (G{{1, 2}}));
    EXPECT_EQ(u.pockets[0]->percentage, 0.0f);  // item 3's stored count over the image
    shortPalette.InitPalette(16);
    EXPECT_TRUE(shortPalette.SetDib(first.h) == 0 && Groups(shortPalette) == (G{{1}, {2}}));
    // The palette image derived from a true image is kept by later calls;
    // the handle already attached changes nothing; a host image replaces
    // and releases it.
    t.SetTrueDib(true24.h);
    ASSERT_EQ(t.GetColorPockets(), 0);
    void* derived = t.palDib;
    const G groups = Groups(t);
    EXPECT_TRUE(t.ownsPalDib && t.GetColorPockets() == 0 && t.palDib == derived &&
                hv::LiveHandles() == live + 1);
    EXPECT_TRUE(t.SetDib(derived) == -11 && t.palDib == derived && Groups(t) == groups);
    EXPECT_TRUE(t.SetDib(first.h) == 0 && hv::LiveHandles() == live && t.palDib == first.h && !t.ownsPalDib);
}

TEST(ExtractIndexMap, EachPixelHoldsThePositionOfItsPocket) {
    const int w = 5, h = 3;  // 3 bytes of row padding
    V px;
    for (int i = 0; i < w * h; ++i) px.push_back((i % w * 7 + i / w * 3) % 6 + 10);  // indices 10..15
    HostDib d(Image(8, w, h, px));
    ccColorPocketArray t;
    BlankPalette(t);
    t.SetPalDib(d.h, false);
    const long live = hv::LiveHandles();
    // Pockets {12, 13}, {10}, {14, 11} (15 in none); then {10} again, as a
    // later pocket taking the shared index; then no pockets at all.
    const V pocketOf[] = {{1, 2, 0, 0, 2, 0}, {3, 2, 0, 0, 2, 0}, {0, 0, 0, 0, 0, 0}};
    for (V members : {V{12, 13}, V{10}, V{14, 11}}) AddPocket(t, members);
    for (int round = 0; round < 3; ++round) {
        if (round == 1) AddPocket(t, {10});
        if (round == 2) t.ClearAll();
        void* map = t.FillPocketIndexInDib();
        {
            ipDibStuff v(map, false);
            ASSERT_TRUE(v.isPalette8() && v.width() == w && v.height() == h && hv::LiveHandles() == live + 1);
            for (int i = 0; i < w * h; ++i) EXPECT_EQ(v.rows[i / w][i % w], pocketOf[round][px[i] - 10]) << i;
        }
        hv::FreeHandle(map);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ExtractRefusals, BadInputIsRefusedWithoutChangesOrAllocations) {
    const long live = hv::LiveHandles();
    HostDib good(Image(8, 4, 4, {1, 2}, {Rgb(0, 0, 0), Rgb(255, 0, 0)})), rgb(Image(24, 4, 4, {0x102030}));
    HostDib sixteen(Image(8, 4, 4, {3}, {}, 16));
    ccColorPocketArray t, wrongDepth, one, none;
    csColorSystem cs;
    ASSERT_EQ(t.SetDib(good.h), 0);
    ccColorPocket* p0 = t.pockets[0];
    EXPECT_EQ(t.SetDib(sixteen.h), 0);  // 0 whatever the extraction gives
    t.SetPalDib(rgb.h, false);          // not an 8-bit image
    EXPECT_TRUE(t.GetColorPockets() == -1 && !t.FillPocketIndexInDib() && t.pockets[0] == p0);
    t.SetPalDib(nullptr, false);
    EXPECT_TRUE(!t.FillPocketIndexInDib() && Groups(t) == (G{{1}, {2}}));
    wrongDepth.SetTrueDib(good.h);  // an 8-bit image as the true DIB cannot be reduced
    EXPECT_TRUE(wrongDepth.GetColorPockets() == -1 && !wrongDepth.palDib);
    // Merging, nearest pocket and orders outside their ranges change nothing.
    one.pockets.Add(new ccColorPocket);
    one.sortMode = 3;
    none.InitPalette(16);
    V order(256, -3);
    EXPECT_EQ((V{t.FindNearestPocket(p0, 0), t.FindNearestPocket(static_cast<ccColorItem*>(nullptr), 2),
                 t.MergeAfter(0), t.Sort(0), t.Sort(5), t.SortPalOnCenterDist(order.data(), 256),
                 t.SortPalOnCenterDist(order.data(), -1), t.SortPalOnLight(nullptr), none.Sort(4),
                 none.MergePercentLess(2), none.SortPalOnLight(order.data()), none.SortPalOnHue(order.data()),
                 none.SortPalOnPixelNumDesc(order.data()), none.SortPalOnCenterDist(order.data(), 0),
                 one.MergePercentLess(2), t.GetColorPocketsCG(nullptr, order.data()),
                 t.GetColorPocketsCG(&cs, nullptr)}),
              V(17, -1));
    EXPECT_EQ((V{one.Sort(1), one.Sort(2), one.Sort(3), one.sortMode}), (V{-10, -10, -10, 3}));
    EXPECT_THROW(t.FindNearestPocket(p0, 3), std::out_of_range);
    EXPECT_THROW(t.MergePockets(2, p0), std::out_of_range);
    EXPECT_THROW(t.MergePockets(-1, p0), std::out_of_range);
    EXPECT_TRUE(order == V(256, -3) && Groups(t) == (G{{1}, {2}}));
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ExtractMerge, NearestPocketAndMergingTakeTheLowestPositionOnTiesAndPlainMeans) {
    ccColorPocketArray t, m, after;
    // White first (the farthest colour from black), then three at distance
    // 100 from black, then black itself.
    OnePocketEach(t, {Rgb(255, 255, 255), Rgb(10, 0, 0), Rgb(0, 10, 0), Rgb(0, 0, 10), Rgb(0, 0, 0)});
    ccColorItem* black = Item(t, 10, Rgb(0, 0, 0), 1);
    ccColorPocket probe;
    EXPECT_EQ(
        (V{t.FindNearestPocket(black, 1), t.FindNearestPocket(black, 4), t.FindNearestPocket(black, 5),
           t.FindNearestPocket(&probe, 1), t.FindNearestPocket(&probe, 4), t.FindNearestPocket(&probe, 5)}),
        (V{0, 1, 4, 0, 1, 4}));
    // Merging into itself changes nothing; the sources stay, emptied; the
    // share stays; the mean is the plain one, truncated: (10+21+0)/3,
    // (20+0+0)/3, (30+0+1)/3.
    OnePocketEach(m, {Rgb(10, 20, 30), Rgb(21, 0, 0), Rgb(0, 0, 1)}, {100, 1, 5}, {0.25f, 0, 0});
    ccColorPocket* dest = m.pockets[0];
    EXPECT_EQ((V{m.MergePockets(0, m.pockets[1]), m.MergePockets(0, m.pockets[2]), m.MergePockets(0, dest),
                 dest->pixelNum}),
              (V{0, 0, 0, 106}));
    EXPECT_EQ(Groups(m), (G{{0, 1, 2}, {}, {}}));
    EXPECT_TRUE(RgbWord(dest->aveRGB) == RgbWord(Rgb(10, 6, 10)) && dest->aveHSL == RGBtoHSL(dest->aveRGB) &&
                dest->percentage == 0.25f);
    // The 4th pocket goes to B, moving B to red 150; the 5th (red 70) is then
    // nearer to A than to B, though it was nearer to B before.
    OnePocketEach(after, {Rgb(0, 0, 0), Rgb(100, 0, 0), Rgb(0, 0, 200), Rgb(200, 0, 0), Rgb(70, 0, 0)});
    EXPECT_EQ(after.MergeAfter(3), 0);
    EXPECT_EQ(Groups(after), (G{{0, 4}, {1, 3}, {2}}));
}

TEST(ExtractMerge, SmallSharesMergeFromTheFirstShareBelowTheCutAndSharesCountThePocketsPixels) {
    // Shares from 50% down: a 2% cut starts at the first share strictly below
    // it (none when one is exactly 2%); at 60% the first pocket survives.
    const std::vector<tagRGBQUAD> six = {Rgb(255, 0, 0),     Rgb(0, 255, 0),   Rgb(0, 0, 255),
                                         Rgb(255, 255, 255), Rgb(10, 10, 250), Rgb(240, 250, 240)};
    const G want[] = {{{0}, {1}, {2, 4}, {3, 5}}, {{0}, {1}, {2}, {3, 5}, {4}}, {{0, 1, 2, 3, 4, 5}}};
    for (int c = 0; c < 3; ++c) {
        ccColorPocketArray s;
        OnePocketEach(s, six, {}, {0.5f, 0.3f, 0.15f, 0.03f, c == 1 ? 0.02f : 0.015f, 0.005f});
        EXPECT_EQ(s.MergePercentLess(c == 2 ? 60 : 2), 0);
        EXPECT_EQ(Groups(s), want[c]) << c;
    }
    // Shares of the pockets' own pixels (one pixel is a whole, a negative sum
    // divides as any other); none when the counts add up to 0.
    for (V counts : {V{30, 10}, V{1, 0}, V{-6, -2}, V{0, 0}}) {
        ccColorPocketArray g;
        OnePocketEach(g, {Rgb(1, 0, 0), Rgb(0, 1, 0)}, counts, {0.9f, 0.9f});
        const int sum = counts[0] + counts[1];
        const float total = static_cast<float>(sum != 0 ? sum : 1);
        EXPECT_EQ(g.GetPercentage(), 0);
        EXPECT_TRUE(g.pockets[0]->percentage == counts[0] / total &&
                    g.pockets[1]->percentage == counts[1] / total)
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
    ccColorPocket *a = t.pockets[0], *b = t.pockets[1];
    EXPECT_EQ(t.Recluster(), 0);
    // Item 3 goes to A (40 < 60), moving A's mean to red 40; item 4 still goes
    // by the old means: B (45) beats A (55). C received nothing and is gone.
    EXPECT_EQ(Groups(t), (G{{3}, {1, 4}}));
    EXPECT_EQ((V{a->pixelNum, b->pixelNum}), (V{1000, 8}));
    // Pixel-weighted mean: (7*150 + 55)/8 = 138, (7*40)/8 = 35.
    EXPECT_TRUE(RgbWord(b->aveRGB) == RgbWord(Rgb(138, 35, 0)) && b->aveHSL == RGBtoHSL(b->aveRGB));
    EXPECT_EQ(a->percentage, 0.125f);  // not refreshed

    // Equal distances go to the lower position, grey or not.
    ccColorPocketArray u;
    OnePocketEach(u, {Rgb(110, 100, 100), Rgb(90, 100, 100)}, {5, 5});
    Item(u, 2, Rgb(100, 100, 100), 5);
    EXPECT_EQ(u.Recluster(), 0);
    EXPECT_EQ(Groups(u), (G{{0, 2}, {1}}));
}

TEST(ExtractSort, EverySortEqualsTheExchangeSortOnThemesFullOfTies) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> few(0, 4), byte(0, 255);
    for (int round = 0; round < 40; ++round) {
        // Few distinct keys, so that ties are common; index = creation order;
        // the palette's first and last items as centres, then any.
        ccColorPocketArray t;
        BlankPalette(t);
        for (int i = 0; i < 256; ++i)
            Item(t, i, Rgb(few(rng) * 60, byte(rng) & 0xC0, few(rng) * 60), few(rng) - 2);
        const int n = 2 + round % 23, sel = round % 3 ? -1 : byte(rng) % n,
                  centre = round < 2 ? round * 255 : byte(rng);
        std::vector<ccColorPocket*> made;
        for (int i = 0; i < n; ++i) {
            ccColorPocket* p = made.emplace_back(AddPocket(t, {}));
            p->pixelNum = few(rng) * 10 - 5;
            p->aveRGB = Rgb(few(rng) * 60, few(rng) * 60, byte(rng) < 128 ? 0 : 255);
            p->aveHSL = MakeHsl(few(rng) * 60 + 10, byte(rng), few(rng) * 60 + 3, byte(rng) & 1);
            p->index = i;
            p->selState = i == sel ? 256 + round : (sel >= 0 && i > sel ? 300 : -1);  // the first one counts
        }
        const ccColorItem* pal = t.palette;
        const std::vector<ccColorItem> before(pal, pal + 256);
        V pockets(n), palette(256);
        std::iota(pockets.begin(), pockets.end(), 0);
        std::iota(palette.begin(), palette.end(), 0);
        // Pockets by a descending key, palette indices by an ascending one.
        auto desc = [&](auto key, V v, size_t from = 0) {
            return ExchangeSort(
                v, [&](int a, int b) { return key(made[a]) < key(made[b]); }, from);
        };
        auto asc = [&](auto key) {
            return ExchangeSort(palette, [&](int a, int b) { return key(a) > key(b); });
        };
        auto size = [](ccColorPocket* p) { return p->pixelNum; };
        // Main colour: the selected pocket or the largest first, the rest nearest to it first.
        V byMain = sel < 0 ? desc(size, pockets) : pockets;
        std::swap(byMain[0], byMain[sel < 0 ? 0 : sel]);
        const tagRGBQUAD c = made[byMain[0]]->aveRGB;
        const V want[] = {desc([](ccColorPocket* p) { return HslHue(p->aveHSL); }, pockets),
                          desc(size, pockets),
                          desc([](ccColorPocket* p) { return HslLight(p->aveHSL); }, pockets),
                          desc([&](ccColorPocket* p) { return -Dist(p->aveRGB, c); }, byMain, 1),
                          asc([&](int i) { return HslLight(pal[i].hsl); }),
                          asc([&](int i) { return HslHue(pal[i].hsl); }),
                          asc([&](int i) { return -pal[i].pixelNum; }),
                          asc([&](int i) { return Dist(pal[i].rgb, pal[centre].rgb); })};
        for (int k = 0; k < 8; ++k) {
            for (int i = 0; i < n; ++i)
                t.pockets.SetAt(i, made[i]);  // each sort starts from the creation order
            t.sortMode = 9;
            V got(256, -1);
            int* o = got.data();
            ASSERT_EQ(k < 4    ? t.Sort(k + 1)
                      : k == 4 ? t.SortPalOnLight(o)
                      : k == 5 ? t.SortPalOnHue(o)
                      : k == 6 ? t.SortPalOnPixelNumDesc(o)
                               : t.SortPalOnCenterDist(o, centre),
                      0);
            if (k < 4) {
                got.resize(n);
                for (int i = 0; i < n; ++i) got[i] = t.pockets[i]->index;
                EXPECT_EQ(t.sortMode, (V{1, 2, 3, 0})[k]) << k;
            }
            EXPECT_EQ(got, want[k]) << "round " << round << " case " << k;
        }
        for (int i = 0; i < 256; ++i)  // the palette orders leave the palette alone
            ASSERT_TRUE(pal[i].pixelNum == before[i].pixelNum && pal[i].hsl == before[i].hsl) << i;
    }
}
