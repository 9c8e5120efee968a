// The octree quantizer and the extraction built on it (Q).
#include "extract/quantizer.h"

#include <gtest/gtest.h>

#include <set>

#include "extract/extract_fixtures.h"

using namespace xt;

namespace {

using Node = CQuantizer::Node;

int Leaves(const Node* n) {
    if (!n) return 0;
    if (n->leaf) return 1;
    int c = 0;
    for (const Node* k : n->children) c += Leaves(k);
    return c;
}

int ListLength(const Node* n) {
    int c = 0;
    for (; n; n = n->nextFoldable) ++c;
    return c;
}

}  // namespace

TEST(Quantizer, InsertionBuildsOnePathPerColourByTheChannelBits) {
    CQuantizer q;
    EXPECT_EQ((V{int(q.leafLimit), int(q.outputColors), int(q.depth), int(q.leafTotal)}), (V{16, 10, 8, 0}));
    // Red 0x80 only: child 4 (red bit) at level 0, then child 0 seven times.
    ASSERT_TRUE(q.InsertColor(&q.root, 0x80, 0, 0, 0, 0));
    const Node* n = q.root;
    ASSERT_NE(n->children[4], nullptr);
    for (int c = 0; c < 8; ++c) EXPECT_EQ(n->children[c] != nullptr, c == 4);
    n = n->children[4];
    for (int level = 1; level < 8; ++level) {
        ASSERT_FALSE(n->leaf) << level;
        ASSERT_NE(n->children[0], nullptr) << level;
        n = n->children[0];
    }
    EXPECT_TRUE(n->leaf);
    EXPECT_EQ(q.leafTotal, 1u);
    // Green 1 and blue 1 differ only at level 7: children 2 and 1 there.
    ASSERT_TRUE(q.InsertColor(&q.root, 0, 1, 0, 0, 0));
    ASSERT_TRUE(q.InsertColor(&q.root, 0, 0, 1, 7, 0));
    ASSERT_TRUE(q.InsertColor(&q.root, 0, 0, 1, 9, 0));
    const Node* m = q.root->children[0];
    for (int level = 1; level < 7; ++level) m = m->children[0];
    ASSERT_NE(m->children[2], nullptr);
    ASSERT_NE(m->children[1], nullptr);
    EXPECT_EQ((V{int(m->children[1]->count), int(m->children[1]->sumBlue), int(m->children[1]->sumReserved)}),
              (V{2, 2, 16}));
    EXPECT_EQ(q.leafTotal, 3u);
    // One inner node per level and path, newest first in each list.
    EXPECT_EQ(ListLength(q.foldLists[0]), 1);
    EXPECT_EQ(ListLength(q.foldLists[1]), 2);
    EXPECT_EQ(ListLength(q.foldLists[7]), 2);
    EXPECT_EQ(q.foldLists[7], m);
    EXPECT_EQ(q.foldLists[8], nullptr);
}

TEST(Quantizer, FoldingTakesTheNewestInnerNodeOfTheDeepestLevel) {
    CQuantizer q;
    // Two level-7 nodes: the older (red path) and the newer (blue path).
    for (int c : {0x80, 0x81}) ASSERT_TRUE(q.InsertColor(&q.root, static_cast<BYTE>(c), 0, 0, 0, 0));
    for (int c : {0x02, 0x03, 0x03}) ASSERT_TRUE(q.InsertColor(&q.root, 0, 0, static_cast<BYTE>(c), 0, 0));
    ASSERT_EQ(q.leafTotal, 4u);
    Node* newest = q.foldLists[7];
    Node* older = newest->nextFoldable;
    ASSERT_TRUE(q.FoldOnce());
    EXPECT_TRUE(newest->leaf);
    EXPECT_EQ((V{int(newest->count), int(newest->sumBlue)}), (V{3, 8}));
    for (Node* c : newest->children) EXPECT_EQ(c, nullptr);
    EXPECT_EQ(q.foldLists[7], older);
    EXPECT_EQ(q.leafTotal, 3u);  // two leaves became one
    ASSERT_TRUE(q.FoldOnce());
    EXPECT_TRUE(older->leaf);
    EXPECT_EQ(q.foldLists[7], nullptr);
    EXPECT_EQ(q.leafTotal, 2u);
    // Level 6 next: the newest there is the blue path's.
    Node* six = q.foldLists[6];
    ASSERT_TRUE(q.FoldOnce());
    EXPECT_TRUE(six->leaf);
    EXPECT_EQ(six->count, 3u);
    EXPECT_EQ(q.leafTotal, 2u);  // one child: the count stays
    // Down to the root, which is taken last.
    while (q.foldLists[1] || q.foldLists[2] || q.foldLists[3] || q.foldLists[4] || q.foldLists[5] ||
           q.foldLists[6])
        ASSERT_TRUE(q.FoldOnce());
    ASSERT_TRUE(q.FoldOnce());
    EXPECT_TRUE(q.root->leaf);
    EXPECT_EQ(q.root->count, 5u);
    EXPECT_EQ(q.leafTotal, 1u);
    EXPECT_FALSE(q.FoldOnce());
}

TEST(Quantizer, OutputColoursMergeRunsOfLeavesInTreeOrder) {
    struct Case {
        const char* what;
        int distinct;  // palette colours 0..distinct-1 repeated over the table
        int want;
    };
    const Case cases[] = {{"256 distinct", 256, 10}, {"4 distinct", 4, 4}, {"10 distinct", 10, 10}, {"1", 1, 1}};
    for (const Case& c : cases) {
        tagRGBQUAD pal[256];
        for (int i = 0; i < 256; ++i) {
            const int k = i % c.distinct;
            pal[i] = Rgb(k, (k * 37) & 0xFF, (k * 91) & 0xFF);
        }
        CQuantizer q;
        ASSERT_TRUE(q.InsertPalette(pal));
        EXPECT_LE(q.leafTotal, 16u);
        EXPECT_EQ(Leaves(q.root), static_cast<int>(q.leafTotal)) << c.what;
        tagRGBQUAD out[10];
        int counts[10];
        ASSERT_EQ(q.MakeOutputColors(out, counts), c.want) << c.what;
        int total = 0;
        for (int j = 0; j < c.want; ++j) {
            EXPECT_GT(counts[j], 0);
            total += counts[j];
        }
        EXPECT_EQ(total, 256) << c.what;  // every entry counted once
    }

    // Twelve leaves by hand: output j takes leaves j*12/10 .. (j+1)*12/10-1,
    // so runs of 1, 1, 1, 1, 2, 1, 1, 1, 1, 2 leaves.
    CQuantizer p;
    p.leafLimit = 100;
    for (int k = 0; k < 12; ++k)
        for (int r = 0; r <= k; ++r) ASSERT_TRUE(p.InsertColor(&p.root, static_cast<BYTE>(k * 20), 0, 0, 0, 0));
    ASSERT_EQ(p.leafTotal, 12u);
    tagRGBQUAD out[10];
    int counts[10];
    ASSERT_EQ(p.MakeOutputColors(out, counts), 10);
    EXPECT_EQ((V{counts[0], counts[3], counts[4], counts[5], counts[9]}), (V{1, 4, 11, 7, 23}));
    // Output 4: leaves red 80 (5 colours) and red 100 (6): (400 + 600) / 11 = 90.9 -> 91.
    EXPECT_EQ(out[4].rgbRed, 91);
    // Output 9: red 200 (11) and 220 (12): (2200 + 2640) / 23 = 210.4 -> 210.
    EXPECT_EQ(out[9].rgbRed, 210);
    EXPECT_EQ(out[3].rgbRed, 60);
}

TEST(Quantizer, LeafMeansRoundHalfUp) {
    CQuantizer q;
    // Red 2 and 3 share a level-7 node; folded, their mean 2.5 gives 3.
    for (int c : {2, 3}) ASSERT_TRUE(q.InsertColor(&q.root, static_cast<BYTE>(c), 255, 254, 0, 0));
    ASSERT_TRUE(q.FoldOnce());
    tagRGBQUAD out[4];
    int index = 0, counts[4];
    q.CollectLeaves(q.root, out, &index, counts);
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

TEST(ExtractQ, AtMostTenPocketsFromTheNearestOutputColourOfEachUsedColour) {
    // 256 distinct colours, all used: exactly 10 output colours; the
    // pockets are the nonempty ones, reclustered.
    std::vector<tagRGBQUAD> table;
    for (int i = 0; i < 256; ++i) table.push_back(Rgb(i, (i * 37) & 0xFF, (i * 91) & 0xFF));
    HostDib all(Host8(16, 16, table, [](int x, int y) { return y * 16 + x; }));
    ccColorPocketArray t;
    t.SetPalDib(all.h, false);
    ASSERT_EQ(t.GetColorPocketsQ(), 0);
    EXPECT_GE(t.pockets.GetSize(), 2);
    EXPECT_LE(t.pockets.GetSize(), 10);
    for (ccColorPocket* p : t.pockets) EXPECT_TRUE(p->index == -1 && p->percentage == 0.0f);

    // Four distinct colours over the table, two of them used: two pockets.
    std::vector<tagRGBQUAD> four;
    const tagRGBQUAD c4[] = {Rgb(250, 0, 0), Rgb(0, 250, 0), Rgb(0, 0, 250), Rgb(250, 250, 250)};
    for (int i = 0; i < 256; ++i) four.push_back(c4[i % 4]);
    HostDib two(Host8(4, 2, four, [](int x, int) { return x < 2 ? 1 : 6; }));  // indices 1 and 6
    ccColorPocketArray u;
    u.SetPalDib(two.h, false);
    ASSERT_EQ(u.GetColorPocketsQ(), 0);
    // Tree order puts blue (child 1 at the first level) before green (child 2).
    EXPECT_EQ(Groups(u), (G{{6}, {1}}));
}
