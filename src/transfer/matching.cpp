// Theme matching: pairing each pocket of a target theme with a pocket of a
// style theme. The result is every target pocket's destLink with copies of
// its destination's colours; the colour transfer reads only those.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#include "transfer/matching.h"

namespace {

constexpr int kBackground = 1;  // flags bit 0: background pocket
constexpr int kExcluded = 4;    // flags bit 2: left out of matching

// Greedy pairing of methods 1 to 3 (the themes are already in their order).
void PairGreedy(ccDynaArray<ccColorPocket*>& target, ccDynaArray<ccColorPocket*>& style,
                bool respectBackground) {
    const int nA = target.GetSize(), nB = style.GetSize();
    // A style pocket is taken once a target pocket chose it. The flags live
    // here rather than in the style pockets' links, so that stale links left
    // on a style theme cannot block pairing.
    std::vector<char> taken(static_cast<size_t>(nB), 0);
    for (int i = 0; i < nA; ++i) {
        ccColorPocket* p = target[i];
        if (respectBackground && (p->flags & kExcluded)) continue;
        const bool wantBackground = respectBackground && (p->flags & kBackground);
        int found = -1;
        for (int k = 0; k < nB && found < 0; ++k) {
            if (taken[k]) continue;
            const bool isBackground = (style[k]->flags & kBackground) != 0;
            if (wantBackground ? isBackground : (!respectBackground || !isBackground)) found = k;
        }
        if (found >= 0) {
            p->destLink = style[found];
            taken[found] = 1;
            continue;
        }
        // No free style pocket: share the destination of the earlier paired
        // pocket nearest in hue (the first of equally near ones).
        ccColorPocket* nearest = nullptr;
        int best = 0;
        for (int k = 0; k < i; ++k) {
            ccColorPocket* q = target[k];
            if (!q->destLink) continue;
            const int d = p->HueDistance(q);
            if (!nearest || d < best) {
                nearest = q;
                best = d;
            }
        }
        if (nearest) p->destLink = nearest->destLink;
    }
}

// Method 2's refinement: the destinations chosen greedily are handed out
// again, each paired pocket in turn taking the candidate nearest in hue,
// weighted towards large style pockets.
void RefineByHue(ccDynaArray<ccColorPocket*>& target) {
    std::vector<ccColorPocket*> paired, cand;
    for (ccColorPocket* p : target)
        if (p->destLink) paired.push_back(p);
    const int n = static_cast<int>(paired.size());
    if (n < 2) return;
    cand.assign(paired.rbegin(), paired.rend());
    for (ccColorPocket*& c : cand) c = c->destLink;
    int m = n - 1;
    for (ccColorPocket* p : paired) {
        if (m > 0) {
            const int h = HslHue(p->aveHSL);
            auto cost = [h](ccColorPocket* c) {
                return std::abs(HslHue(c->aveHSL) - h) * (1.0 - c->percentage);
            };
            for (int k = 0; k < m; ++k)
                if (cost(cand[k + 1]) > cost(cand[k])) std::swap(cand[k], cand[k + 1]);
            p->destLink = cand[m];
            --m;
        } else {
            p->destLink = cand[0];
        }
    }
}

}  // namespace

namespace hv {

namespace {
int64_t Term(const ColorDiffProblem& pr, int i, int j, int a, int b) {
    const int64_t diff = std::llabs(int64_t(pr.da[i][j]) - pr.db[a][b]);
    return (diff * pr.n[i][j]) >> 8;
}
}  // namespace

int64_t ColorDiffCost(const ColorDiffProblem& pr, const int* x) {
    int64_t cost = 0;
    for (int i = 0; i < pr.k; ++i)
        for (int j = 0; j < pr.k; ++j) cost += Term(pr, i, j, x[i], x[j]);
    return cost;
}

void ColorDiffSearch(const ColorDiffProblem& pr, int* best) {
    constexpr int K = kMaxColorDiffPositions;
    const int k = std::min(pr.k, K), nB = pr.nB;
    for (int i = 0; i < k; ++i) best[i] = 0;
    if (k <= 1 || nB <= 0 || nB > 16) return;

    // link[i][e][a][b]: what the pair of positions i < e adds to the cost
    // when they hold style pockets a and b (both orders of the pair; the
    // diagonal terms are always 0 since a pocket's distance to itself is 0).
    std::vector<int64_t> link(static_cast<size_t>(K) * K * nB * nB, 0);
    auto at = [&](int i, int e, int a, int b) -> int64_t& {
        return link[((static_cast<size_t>(i) * K + e) * nB + a) * nB + b];
    };
    for (int i = 0; i < k; ++i)
        for (int e = i + 1; e < k; ++e)
            for (int a = 0; a < nB; ++a)
                for (int b = 0; b < nB; ++b) at(i, e, a, b) = Term(pr, i, e, a, b) + Term(pr, e, i, b, a);

    // Depth-first search in lexicographic order (last position fastest),
    // position 0 fixed at 0. acc[d][e][b] is what style pocket b at position
    // e adds through its links to the fixed prefix 0..d-1. Every term is
    // non-negative, so a prefix whose cost plus the cheapest possible links
    // of the remaining positions to it already reaches the best cost cannot
    // lead to a strictly cheaper tuple and is cut: the first tuple of
    // smallest cost wins, exactly as in a full enumeration.
    int64_t acc[K + 1][K][16];
    int64_t partial[K + 1] = {0};  // cost among the prefix 0..d-1
    int x[K] = {0};
    for (int e = 1; e < k; ++e)
        for (int b = 0; b < nB; ++b) acc[1][e][b] = at(0, e, 0, b);
    int64_t bestCost = INT64_MAX;
    int d = 1;
    x[1] = -1;
    while (d >= 1) {
        if (++x[d] >= nB) {
            --d;
            continue;
        }
        const int64_t c = partial[d] + acc[d][d][x[d]];
        if (c >= bestCost) continue;
        if (d == k - 1) {
            bestCost = c;
            for (int i = 0; i < k; ++i) best[i] = x[i];
            continue;
        }
        int64_t bound = c;
        for (int e = d + 1; e < k; ++e) {
            int64_t m = INT64_MAX;
            for (int b = 0; b < nB; ++b) {
                const int64_t v = acc[d][e][b] + at(d, e, x[d], b);
                acc[d + 1][e][b] = v;
                if (v < m) m = v;
            }
            bound += m;
        }
        if (bound >= bestCost) continue;
        partial[d + 1] = c;
        ++d;
        x[d] = -1;
    }
}

}  // namespace hv

int ccColorPocketArray::GetDstPockets(ccColorPocketArray* style, bool respectBackground, int method) {
    int result = -1;
    if (style) {
        switch (method) {
            case 1:
            case 2:
            case 3: {
                ClearDstPockets();
                if (method == 3) {
                    if (sortMode != 3) SortOnLight();
                    if (style->sortMode != 3) style->SortOnLight();
                } else {
                    if (sortMode != 2) SortOnPercentage();
                    if (style->sortMode != 2) style->SortOnPercentage();
                }
                PairGreedy(pockets, style->pockets, respectBackground);
                // The style's links are cleared after pairing; a theme
                // matched with itself thereby loses its own and stays
                // unpaired.
                style->ClearDstPockets();
                if (method == 2) RefineByHue(pockets);
                result = 0;
                break;
            }
            case 4:
                result = GetMapOnColorDiff(style, respectBackground);
                break;
            case 5:
                result = GetMapOnMixNeighboring(style, respectBackground);
                break;
            default:
                break;
        }
    }
    for (ccColorPocket* p : pockets)
        if (p->destLink) {
            p->destRGB = p->destLink->aveRGB;
            p->destHSL = p->destLink->aveHSL;
        }
    if (sortMode != 2) SortOnPercentage();
    return result;
}

void ccColorPocketArray::ClearDstPockets() {
    for (ccColorPocket* p : pockets) p->destLink = nullptr;
}

int ccColorPocketArray::AdjustDstPocketOnHue() { return 0; }

int ccColorPocketArray::GetClrDiffMatrix(int (*m)[16]) {
    const int n = pockets.GetSize();
    if (n > 16 || !m) return -1;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) m[i][j] = hv::ColorDist2(pockets[i]->aveRGB, pockets[j]->aveRGB);
    return 0;
}

int ccColorPocketArray::GetMapOnColorDiff(ccColorPocketArray* style, bool /*unused*/) {
    if (!style) return -1;
    // The search works on 16 x 16 matrices; larger themes are refused before
    // anything changes rather than searched at unbounded cost.
    if (pockets.GetSize() > 16 || style->pockets.GetSize() > 16) return -2;
    // The costs weigh colour differences by how often the target's pockets
    // touch in its image. Without that image (a theme read from a buffer)
    // every cost would be 0 and every pocket paired with the first style
    // pocket as if that were a result: nothing is paired, as in method 5.
    {
        ipDibStuff view(palDib, false);
        if (!view.usable() || view.bitCount() != 8) return -1;
    }
    SortOnPercentage();
    if (style != this) style->SortOnPercentage();

    hv::ColorDiffProblem pr;
    const int nA = pockets.GetSize(), nB = style->pockets.GetSize();
    // Adjacency of the target's pockets in its image.
    void* map = FillPocketIndexInDib();
    if (!map) return -1;  // memory short: nothing paired
    {
        auto table = std::make_unique<int[][256]>(256);
        {
            ipDibStuff view(map, false);
            if (view.SetNeighbor(table.get()) != 0) std::fill(&table[0][0], &table[0][0] + 65536, 0);
        }
        hv::FreeHandle(map);
        for (int i = 0; i < 16; ++i)
            for (int j = 0; j < 16; ++j) pr.n[i][j] = table[i][j];
    }
    GetClrDiffMatrix(pr.da);
    style->GetClrDiffMatrix(pr.db);

    ccColorPocket* first = pockets.GetAt(0);
    first->destLink = style->pockets.GetAt(0);

    pr.nB = nB;
    pr.k = std::min(std::min(nA, nB), hv::kMaxColorDiffPositions);
    int best[hv::kMaxColorDiffPositions];
    hv::ColorDiffSearch(pr, best);
    for (int i = 1; i < pr.k; ++i) pockets[i]->destLink = style->pockets[best[i]];
    // The rest share the destination of the nearest searched pocket.
    for (int i = pr.k; i < nA; ++i) {
        int nearest = 0;
        for (int j = 1; j < pr.k; ++j)
            if (pr.da[i][j] < pr.da[i][nearest]) nearest = j;
        pockets[i]->destLink = pockets[nearest]->destLink;
    }
    return 0;
}

int ccColorPocketArray::SortOnMixNeighboring(int* order) {
    const int n = pockets.GetSize();
    if (!order || n > 16) return -1;
    ipDibStuff view(palDib, false);
    if (!view.usable() || view.bitCount() != 8) return -1;
    auto table = std::make_unique<int[][256]>(256);
    view.SetNeighbor(table.get());

    int owner[256];
    std::fill(owner, owner + 256, -1);
    for (int k = 0; k < n; ++k)
        for (ccColorItem* it : pockets[k]->items)
            if (it && it->palIndex >= 0 && it->palIndex < 256) owner[it->palIndex] = k;
    int64_t m[16][16] = {};
    for (int a = 0; a < 256; ++a) {
        if (owner[a] < 0) continue;
        for (int b = 0; b < 256; ++b)
            if (owner[b] >= 0) m[owner[a]][owner[b]] += table[a][b];
    }

    int s = 0;
    if (n >= 2)
        for (int k = 1; k < n; ++k)
            if (pockets[k]->pixelNum > pockets[s]->pixelNum) s = k;
    int chain[16];
    for (int k = 0; k < n; ++k) chain[k] = k;
    if (n > 0) std::swap(chain[0], chain[s]);
    for (int p = 1; p < n; ++p) {
        int q = p;
        for (int r = p + 1; r < n; ++r)
            if (m[chain[p - 1]][chain[r]] > m[chain[p - 1]][chain[q]]) q = r;
        std::swap(chain[p], chain[q]);
    }
    for (int k = 0; k < n; ++k) order[k] = chain[k];
    return 0;
}

int ccColorPocketArray::GetMapOnMixNeighboring(ccColorPocketArray* style, bool /*unused*/) {
    if (!style || !palDib || !style->palDib) return -1;
    if (pockets.GetSize() > 16 || style->pockets.GetSize() > 16) return -2;
    int a[16], b[16];
    if (SortOnMixNeighboring(a) != 0 || style->SortOnMixNeighboring(b) != 0) return -1;
    const int nA = pockets.GetSize(), nB = style->pockets.GetSize();
    // Both chains start at their largest pocket; the style chain advances
    // when the target's hue step is larger than the style's would be.
    pockets.GetAt(nA > 0 ? a[0] : 0)->destLink = style->pockets.GetAt(nB > 0 ? b[0] : 0);
    int j = 0;
    for (int i = 1; i < nA; ++i) {
        ccColorPocket* p = pockets[a[i]];
        if (j < nB - 1) {
            const int d1 = p->HueDistance(pockets[a[i - 1]]);
            const int d2 = pockets[a[i - 1]]->destLink->HueDistance(style->pockets[b[j + 1]]);
            if (d1 > d2) ++j;
        }
        p->destLink = style->pockets[b[j]];
    }
    return 0;
}
