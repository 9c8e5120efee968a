// Internals of theme matching shared with the tests and benchmarks.
#pragma once

#include <cstdint>
#include <vector>

namespace hv {

// Method 4 searches tuples of at most this many target positions.
constexpr int kMaxColorDiffPositions = 7;

// The colour-difference search: da (target) and db (style) are the squared
// RGB distances between pockets, n the adjacency counts of the target's
// pockets; k positions are assigned style pockets 0..nB-1, position 0 fixed
// to style pocket 0.
struct ColorDiffProblem {
    int da[16][16] = {};
    int db[16][16] = {};
    int n[16][16] = {};
    int k = 0;
    int nB = 0;
};

// Cost of a full tuple x[0..k-1]: the sum over all position pairs i, j of
// (|da[i][j] - db[x[i]][x[j]]| * n[i][j]) >> 8, each term shifted on its
// own, in 64 bits.
int64_t ColorDiffCost(const ColorDiffProblem& pr, const int* x);

// Writes to best[0..k-1] the first tuple, in lexicographic order with the
// last position changing fastest and best[0] = 0, whose cost is smallest.
// Exact branch and bound: the same answer as enumerating every tuple.
void ColorDiffSearch(const ColorDiffProblem& pr, int* best);

}  // namespace hv
