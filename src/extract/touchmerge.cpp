// Merging of touching pockets with a per-pocket touch matrix and row minima.
#include "extract/touchmerge.h"

#include <climits>
#include <cstdint>
#include <vector>

namespace hv {
namespace {
bool Touch(const ccColorPocket& a, const ccColorPocket& b, const BYTE (*touching)[256]) {
    for (const ccColorItem* x : a.items) {
        if (!x || x->palIndex < 0 || x->palIndex > 255) continue;
        const BYTE* row = touching[x->palIndex];
        for (const ccColorItem* y : b.items)
            if (y && y->palIndex >= 0 && y->palIndex <= 255 && row[y->palIndex] != 0) return true;
    }
    return false;
}

// The pair costs of the living pockets (named by their first position, so
// ascending names are ascending positions) and, per row, the cheapest later
// partner, the lowest name on ties.
class CostRows {
public:
    explicit CostRows(size_t n) : n_(n), cost_(n * n, -1), best_(n, INT_MAX), arg_(n, -1) {}

    int& at(int i, int j) { return cost_[static_cast<size_t>(i) * n_ + static_cast<size_t>(j)]; }
    int best(int i) const { return best_[static_cast<size_t>(i)]; }
    int arg(int i) const { return arg_[static_cast<size_t>(i)]; }

    // Row alive[a] against every later living name.
    void Rescan(const std::vector<int>& alive, size_t a) {
        const int i = alive[a];
        const int* row = &cost_[static_cast<size_t>(i) * n_];
        int best = INT_MAX, arg = -1;
        for (size_t b = a + 1; b < alive.size(); ++b) {
            const int d = row[alive[b]];
            if (d >= 0 && d < best) {
                best = d;
                arg = alive[b];
            }
        }
        best_[static_cast<size_t>(i)] = best;
        arg_[static_cast<size_t>(i)] = arg;
    }

    // Row i's entry for the later name j changed, no other entry did, and
    // the cached partner is another name: j replaces it when cheaper, or as
    // cheap and earlier.
    void Offer(int i, int j) {
        const int d = at(i, j);
        const size_t r = static_cast<size_t>(i);
        if (d >= 0 && (d < best_[r] || (d == best_[r] && j < arg_[r]))) {
            best_[r] = d;
            arg_[r] = j;
        }
    }

private:
    size_t n_;
    std::vector<int> cost_;  // [i][j] for i < j; -1: may not merge
    std::vector<int> best_, arg_;
};
}  // namespace

void MergeTouchingPairs(ccColorPocketArray& theme, const BYTE (*touching)[256], int target, PairCost cost,
                        bool inheritGroups) {
    const int n = theme.pockets.GetSize();
    if (n <= target) return;
    std::vector<ccColorPocket*> pocket(theme.pockets.begin(), theme.pockets.end());
    const size_t N = static_cast<size_t>(n);
    std::vector<uint8_t> touch(N * N, 0);
    CostRows rows(N);
    for (int i = 0; i < n; ++i)
        for (int j = i + 1; j < n; ++j)
            if (Touch(*pocket[j], *pocket[i], touching)) {
                touch[i * N + j] = touch[j * N + i] = 1;
                rows.at(i, j) = cost(*pocket[i], *pocket[j]);
            }
    std::vector<int> alive;  // names in position order
    for (int i = 0; i < n; ++i) alive.push_back(i);
    for (size_t a = 0; a < alive.size(); ++a) rows.Rescan(alive, a);

    while (static_cast<int>(alive.size()) > target) {
        // The least row minimum, the first row on ties: the first pair of
        // least cost in scan order.
        int best = INT_MAX, bi = -1;
        for (size_t a = 0; a < alive.size(); ++a)
            if (rows.arg(alive[a]) >= 0 && rows.best(alive[a]) < best) {
                best = rows.best(alive[a]);
                bi = static_cast<int>(a);
            }
        if (bi < 0) break;
        const int i = alive[static_cast<size_t>(bi)], j = rows.arg(i);
        int bj = bi + 1;
        while (alive[static_cast<size_t>(bj)] != j) ++bj;
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
            rows.at(lo, hi) = t ? cost(*pocket[lo], *pocket[hi]) : -1;
        }
        // Rows before i saw one entry change; rows whose partner was i or j,
        // and row i itself, are scanned again.
        for (size_t a = 0; a < alive.size(); ++a) {
            const int k = alive[a];
            if (k == i || rows.arg(k) == j || (k < i && rows.arg(k) == i))
                rows.Rescan(alive, a);
            else if (k < i)
                rows.Offer(k, i);
        }
    }
}

}  // namespace hv
