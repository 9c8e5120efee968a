// CQuantizer: an octree colour quantizer that reduces a 256-colour palette
// to at most `outputColors` representative colours (internal to the
// extraction code).
#pragma once

#include <cstdint>

#include "huevane/platform.h"

class CQuantizer {
public:
    // One octree node, allocated zero-filled and freed by the quantizer.
    struct Node {
        int32_t leaf;  // 1 when made at level `depth` or folded
        uint32_t count;
        uint32_t sumRed, sumGreen, sumBlue, sumReserved;
        Node* children[8];  // index (red bit << 2) | (green bit << 1) | blue bit
        Node* nextFoldable;  // link in the fold list of the node's level
    };

    Node* root = nullptr;
    uint32_t leafTotal = 0;
    Node* foldLists[9] = {};  // inner nodes per level that may still be folded, newest first
    uint32_t leafLimit = 16;  // the tree is folded whenever it has more leaves
    uint32_t outputColors = 10;
    uint32_t depth = 8;  // nodes at this level are leaves (at most 8)
    // Nodes the quantizer may still allocate; an allocation beyond it fails
    // as one without memory would (lets a host bound the memory, and tests
    // exercise the failure path).
    uint32_t nodeBudget = 0xFFFFFFFFu;

    CQuantizer() = default;
    // Frees the whole tree.
    virtual ~CQuantizer();
    CQuantizer(const CQuantizer&) = delete;
    CQuantizer& operator=(const CQuantizer&) = delete;

    // Inserts the 256 colours in index order, folding after each insertion
    // while there are more than leafLimit leaves. True; false when a node
    // could not be allocated (the insertion stops there, the tree stays
    // consistent and is freed by the destructor). Null palette: false.
    bool InsertPalette(const tagRGBQUAD* palette);
    // Inserts one colour below *slot, which is at `level`. False when a node
    // could not be allocated (the slot that needed it stays null).
    bool InsertColor(Node** slot, BYTE r, BYTE g, BYTE b, BYTE a, uint32_t level);
    // Folds the newest inner node of the deepest level that has one into a
    // leaf holding its children's counts and sums. False when there is no
    // inner node to fold.
    bool FoldOnce();
    // Writes the leaves below node, depth first in child order, to
    // out[*index] (with their counts in counts[*index] when counts is not
    // null), advancing *index. The caller provides room for every leaf.
    void CollectLeaves(Node* node, tagRGBQUAD* out, int* index, int* counts);
    // The output colours and their counts into out and counts (room for
    // outputColors entries each; counts may be null); returns how many,
    // min(leaves, outputColors).
    int MakeOutputColors(tagRGBQUAD* out, int* counts);
    // Frees the subtree at *slot and nulls the slot.
    void FreeSubtree(Node** slot);

private:
    Node* NewNode();
    // Leaves below node.
    static int CountLeaves(const Node* node);
};
