// Merging of touching pockets with a per-pocket touch matrix.
#include "extract/touchmerge.h"

#include <climits>
#include <cstdint>
#include <vector>

namespace hv {
namespace {
bool Touch(const ccColorPocket& a, const ccColorPocket& b, const int (*nb)[256]) {
    // The counts are never negative, so their sum is not zero exactly when
    // one of them is not.
    for (const ccColorItem* x : a.items) {
        if (!x || x->palIndex < 0 || x->palIndex > 255) continue;
        const int* row = nb[x->palIndex];
        for (const ccColorItem* y : b.items)
            if (y && y->palIndex >= 0 && y->palIndex <= 255 && row[y->palIndex] != 0) return true;
    }
    return false;
}
}  // namespace

void MergeTouchingPairs(ccColorPocketArray& theme, const int (*neighbours)[256], int target, PairCost cost,
                        bool inheritGroups) {
    const int n = theme.pockets.GetSize();
    if (n <= target) return;
    // Pockets are named by their first position; merging keeps the survivors'
    // order, so ascending names remain ascending positions.
    std::vector<ccColorPocket*> pocket(theme.pockets.begin(), theme.pockets.end());
    const size_t N = static_cast<size_t>(n);
    std::vector<uint8_t> touch(N * N, 0);
    std::vector<int> pairCost(N * N, -1);  // for i < j at [i * n + j]; -1: may not merge
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (Touch(*pocket[j], *pocket[i], neighbours)) {
                touch[i * N + j] = touch[j * N + i] = 1;
                pairCost[i * N + j] = cost(*pocket[i], *pocket[j]);
            }
    std::vector<int> alive;  // names in position order
    for (int i = 0; i < n; ++i) alive.push_back(i);

    while (static_cast<int>(alive.size()) > target) {
        const int m = static_cast<int>(alive.size());
        int best = INT_MAX, bi = -1, bj = -1;
        for (int a = 0; a < m; ++a) {
            const int* row = &pairCost[static_cast<size_t>(alive[a]) * N];
            for (int b = a + 1; b < m; ++b) {
                const int d = row[alive[b]];
                if (d >= 0 && d < best) {
                    best = d;
                    bi = a;
                    bj = b;
                }
            }
        }
        if (bi < 0) break;
        const int i = alive[bi], j = alive[bj];
        ccColorPocket* keep = pocket[i];
        ccColorPocket* gone = pocket[j];
        theme.MergePockets(bi, gone);
        if (inheritGroups && keep->groupIndex < 0 && gone->groupIndex >= 0) keep->groupIndex = gone->groupIndex;
        delete gone;
        theme.pockets.RemoveAt(bj);
        alive.erase(alive.begin() + bj);
        // Pocket i now touches what either touched; its costs are new.
        for (int k : alive) {
            if (k == i) continue;
            uint8_t& t = touch[static_cast<size_t>(i) * N + k];
            t = static_cast<uint8_t>(t | touch[static_cast<size_t>(j) * N + k]);
            touch[static_cast<size_t>(k) * N + i] = t;
            const int lo = k < i ? k : i, hi = k < i ? i : k;
            pairCost[static_cast<size_t>(lo) * N + hi] = t ? cost(*pocket[lo], *pocket[hi]) : -1;
        }
    }
}

}  // namespace hv
