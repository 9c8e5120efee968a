// The octree quantizer behind GetColorPocketsQ.
#include "extract/quantizer.h"

#include <new>
#include <vector>

namespace {
// min(255, trunc(sum / count + 0.5)); 0 for an empty leaf.
BYTE MeanChannel(double sum, double count) {
    if (count <= 0) return 0;
    const double v = sum / count + 0.5;
    return v >= 255.0 ? 255 : static_cast<BYTE>(v);
}
}  // namespace

CQuantizer::~CQuantizer() {
    if (root) FreeSubtree(&root);
}

CQuantizer::Node* CQuantizer::NewNode() {
    if (nodeBudget == 0) return nullptr;
    --nodeBudget;
    return new (std::nothrow) Node();
}

bool CQuantizer::InsertColor(Node** slot, BYTE r, BYTE g, BYTE b, BYTE a, uint32_t level) {
    const uint32_t leafLevel = depth < 8 ? depth : 8;
    for (;;) {
        if (!*slot) {
            Node* n = NewNode();
            if (!n) return false;
            *slot = n;
            if (level >= leafLevel) {
                n->leaf = 1;
                ++leafTotal;
            } else {
                n->nextFoldable = foldLists[level];
                foldLists[level] = n;
            }
        }
        Node* n = *slot;
        if (n->leaf) {
            ++n->count;
            n->sumRed += r;
            n->sumGreen += g;
            n->sumBlue += b;
            n->sumReserved += a;
            return true;
        }
        const int shift = 7 - static_cast<int>(level);
        const int child = (((r >> shift) & 1) << 2) | (((g >> shift) & 1) << 1) | ((b >> shift) & 1);
        slot = &n->children[child];
        ++level;
    }
}

bool CQuantizer::InsertPalette(const tagRGBQUAD* palette) {
    if (!palette) return false;
    for (int i = 0; i < 256; ++i) {
        const tagRGBQUAD& c = palette[i];
        if (!InsertColor(&root, c.rgbRed, c.rgbGreen, c.rgbBlue, 0, 0)) return false;
        while (leafTotal > leafLimit)
            if (!FoldOnce()) break;
    }
    return true;
}

bool CQuantizer::FoldOnce() {
    int level = static_cast<int>(depth < 8 ? depth : 8) - 1;
    while (level > 0 && !foldLists[level]) --level;
    if (level < 0 || !foldLists[level]) return false;
    Node* n = foldLists[level];
    foldLists[level] = n->nextFoldable;
    n->nextFoldable = nullptr;
    uint32_t c = 0;
    for (Node*& child : n->children) {
        if (!child) continue;
        n->count += child->count;
        n->sumRed += child->sumRed;
        n->sumGreen += child->sumGreen;
        n->sumBlue += child->sumBlue;
        n->sumReserved += child->sumReserved;
        FreeSubtree(&child);
        ++c;
    }
    n->leaf = 1;
    leafTotal = leafTotal + 1 - c;
    return true;
}

void CQuantizer::CollectLeaves(Node* node, tagRGBQUAD* out, int* index, int* counts) {
    if (!node) return;
    if (node->leaf) {
        tagRGBQUAD& o = out[*index];
        o.rgbRed = MeanChannel(node->sumRed, node->count);
        o.rgbGreen = MeanChannel(node->sumGreen, node->count);
        o.rgbBlue = MeanChannel(node->sumBlue, node->count);
        o.rgbReserved = MeanChannel(node->sumReserved, node->count);
        if (counts) counts[*index] = static_cast<int>(node->count);
        ++*index;
        return;
    }
    for (Node* child : node->children) CollectLeaves(child, out, index, counts);
}

int CQuantizer::CountLeaves(const Node* node) {
    if (!node) return 0;
    if (node->leaf) return 1;
    int n = 0;
    for (const Node* child : node->children) n += CountLeaves(child);
    return n;
}

int CQuantizer::MakeOutputColors(tagRGBQUAD* out, int* counts) {
    if (!out || outputColors == 0) return 0;
    // The leaves are counted rather than taken from leafTotal, so the table
    // always fits them.
    const int leaves = CountLeaves(root);
    std::vector<tagRGBQUAD> colour(static_cast<size_t>(leaves));
    std::vector<int> count(static_cast<size_t>(leaves));
    int listed = 0;
    CollectLeaves(root, colour.data(), &listed, count.data());
    const uint32_t L = static_cast<uint32_t>(listed);
    if (L <= outputColors || outputColors >= 16) {
        // As many leaves as fit, as they are.
        const uint32_t n = L < outputColors ? L : outputColors;
        for (uint32_t k = 0; k < n; ++k) {
            out[k] = colour[k];
            if (counts) counts[k] = count[k];
        }
        return static_cast<int>(n);
    }
    // Runs of consecutive leaves in tree order (sorted by the colour bits,
    // red first) make one output colour each.
    for (uint32_t j = 0; j < outputColors; ++j) {
        const uint32_t a = j * L / outputColors, b = (j + 1) * L / outputColors;
        double r = 0, g = 0, bl = 0, res = 0, total = 0;
        for (uint32_t k = a; k < b; ++k) {
            const double w = count[k];
            r += colour[k].rgbRed * w;
            g += colour[k].rgbGreen * w;
            bl += colour[k].rgbBlue * w;
            res += colour[k].rgbReserved * w;
            total += w;
        }
        out[j].rgbRed = MeanChannel(r, total);
        out[j].rgbGreen = MeanChannel(g, total);
        out[j].rgbBlue = MeanChannel(bl, total);
        out[j].rgbReserved = MeanChannel(res, total);
        if (counts) counts[j] = static_cast<int>(total);
    }
    return static_cast<int>(outputColors);
}

void CQuantizer::FreeSubtree(Node** slot) {
    if (!slot || !*slot) return;
    Node* n = *slot;
    for (Node*& child : n->children) FreeSubtree(&child);
    // A node freed before it was folded leaves its fold list.
    if (!n->leaf) {
        for (Node*& list : foldLists) {
            for (Node** link = &list; *link; link = &(*link)->nextFoldable) {
                if (*link == n) {
                    *link = n->nextFoldable;
                    break;
                }
            }
        }
    }
    delete n;
    *slot = nullptr;
}
