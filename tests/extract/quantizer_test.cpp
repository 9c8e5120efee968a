// The octree quantizer and the extraction built on it (Q).
#include "extract/quantizer.h"

#include <gtest/gtest.h>

#include "extract/extract_fixtures.h"

using namespace xt;

namespace {
using Node = CQuantizer::Node;
int Leaves(const Node* n) {
    int c = n && n->leaf;
    for (int k = 0; n && !n->leaf && k < 8; ++k) c += Leaves(n->children[k]);
    return c;
}
bool Insert(CQuantizer& q, int r, int g, int b) {
    return q.InsertColor(&q.root, static_cast<BYTE>(r), static_cast<BYTE>(g), static_cast<BYTE>(b), 0, 0);
}
}  // namespace

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
    EXPECT_TRUE(q.foldLists[6]->children[2] && q.foldLists[6]->children[1]);
    EXPECT_TRUE(blue7->children[0] && blue7->children[1] && blue7->children[1]->count == 2);
    EXPECT_EQ(q.foldLists[8], nullptr);
    ASSERT_TRUE(q.FoldOnce());  // the blue pair (2, 3, 3) becomes one leaf
    EXPECT_TRUE(blue7->leaf && blue7->count == 3 && blue7->sumBlue == 8);
    for (Node* c : blue7->children) EXPECT_EQ(c, nullptr);
    EXPECT_EQ(q.leafTotal, 3u);
    EXPECT_NE(q.foldLists[7], blue7);
    int folds = 1;
    while (q.FoldOnce()) ++folds;
    EXPECT_TRUE(q.root->leaf && q.root->count == 5 && q.leafTotal == 1);
    EXPECT_EQ(folds, 16);  // each inner node once: the root, two per level 1 to 6, three at 7
}

TEST(Quantizer, OutputColoursMergeRunsOfLeavesInTreeOrder) {
    for (auto c : {V{256, 10}, V{4, 4}, V{10, 10}, V{16, 10}, V{1, 1}}) {  // distinct colours, outputs
        tagRGBQUAD pal[256];
        for (int i = 0; i < 256; ++i) pal[i] = Rgb(i % c[0], (i % c[0] * 37) & 0xFF, (i % c[0] * 91) & 0xFF);
        CQuantizer q;
        ASSERT_TRUE(q.InsertPalette(pal));
        EXPECT_TRUE(c[0] > 16 || q.leafTotal == uint32_t(c[0])) << c[0];  // folded only past 16 leaves
        EXPECT_LE(q.leafTotal, 16u);
        EXPECT_EQ(Leaves(q.root), static_cast<int>(q.leafTotal)) << c[0];
        tagRGBQUAD out[10];
        int counts[10], total = 0;
        ASSERT_EQ(q.MakeOutputColors(out, counts), c[1]) << c[0];
        for (int j = 0; j < c[1]; ++j) total += counts[j];
        EXPECT_EQ(total, 256) << c[0];  // every entry counted once
    }
    // Twelve leaves, red 0, 20, ..., 220 with k + 1 colours each: output j
    // takes leaves j*12/10 .. (j+1)*12/10-1, runs of 1, 1, 1, 1, 2, 1, 1, 1, 1, 2.
    CQuantizer p;
    p.leafLimit = 100;
    for (int k = 0; k < 12; ++k)
        for (int r = 0; r <= k; ++r) ASSERT_TRUE(Insert(p, k * 20, 0, 0));
    tagRGBQUAD out[10];
    int counts[10];
    ASSERT_EQ(p.MakeOutputColors(out, counts), 10);
    EXPECT_EQ((V{counts[0], counts[3], counts[4], counts[5], counts[9]}), (V{1, 4, 11, 7, 23}));
    // (80*5 + 100*6) / 11 = 90.9 -> 91; (200*11 + 220*12) / 23 = 210.4 -> 210.
    EXPECT_EQ((V{out[3].rgbRed, out[4].rgbRed, out[9].rgbRed}), (V{60, 91, 210}));
    // A folded leaf's mean rounds half up: red 2 and 3 give 3.
    CQuantizer h;
    for (int c : {2, 3}) ASSERT_TRUE(Insert(h, c, 255, 254));
    ASSERT_TRUE(h.FoldOnce());
    int index = 0;
    h.CollectLeaves(h.root, out, &index, counts);
    ASSERT_EQ(index, 1);
    EXPECT_EQ((V{out[0].rgbRed, out[0].rgbGreen, out[0].rgbBlue, counts[0]}), (V{3, 255, 254, 2}));
}

TEST(Quantizer, AFailedNodeAllocationStopsTheInsertionWithoutALeak) {
    tagRGBQUAD pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = Rgb(i, 255 - i, (i * 53) & 0xFF);
    CQuantizer whole;
    ASSERT_TRUE(whole.InsertPalette(pal));
    const uint32_t used = 0xFFFFFFFFu - whole.nodeBudget;
    CQuantizer exact;
    exact.nodeBudget = used;
    EXPECT_TRUE(exact.InsertPalette(pal));
    for (uint32_t budget : {0u, 1u, 8u, 9u, 20u, 100u, used - 1}) {
        CQuantizer q;
        q.nodeBudget = budget;
        EXPECT_FALSE(q.InsertPalette(pal)) << budget;
        // The tree is whole: every leaf counted, outputs made without a missing node.
        EXPECT_EQ(Leaves(q.root), static_cast<int>(q.leafTotal)) << budget;
        tagRGBQUAD out[10];
        int counts[10];
        EXPECT_LE(q.MakeOutputColors(out, counts), 10);
    }  // LeakSanitizer checks that the destructor freed every node
    EXPECT_FALSE(CQuantizer().InsertPalette(nullptr));
}

TEST(ExtractQ, PocketsFromTheNearestOutputColourOfEachUsedColour) {
    // 256 distinct colours, all used: 10 output colours, the nonempty
    // pockets reclustered.
    std::vector<tagRGBQUAD> table, four;
    for (int i = 0; i < 256; ++i) table.push_back(Rgb(i, (i * 37) & 0xFF, (i * 91) & 0xFF));
    HostDib all(Host8(16, 16, table, [](int x, int y) { return y * 16 + x; }));
    ccColorPocketArray t;
    t.SetPalDib(all.h, false);
    ASSERT_EQ(t.GetColorPocketsQ(), 0);
    EXPECT_TRUE(t.pockets.GetSize() >= 2 && t.pockets.GetSize() <= 10);
    for (ccColorPocket* p : t.pockets) EXPECT_TRUE(p->index == -1 && p->percentage == 0.0f);
    // Four distinct colours over the table, two of them used: two pockets,
    // blue (child 1 at the first level) before green (child 2) in tree order.
    const tagRGBQUAD c4[] = {Rgb(250, 0, 0), Rgb(0, 250, 0), Rgb(0, 0, 250), Rgb(250, 250, 250)};
    for (int i = 0; i < 256; ++i) four.push_back(c4[i % 4]);
    HostDib two(Host8(4, 2, four, [](int x, int) { return x < 2 ? 1 : 6; }));  // indices 1 and 6
    ccColorPocketArray u;
    u.SetPalDib(two.h, false);
    ASSERT_EQ(u.GetColorPocketsQ(), 0);
    EXPECT_EQ(Groups(u), (G{{6}, {1}}));
}
