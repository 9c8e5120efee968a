#include "transfer/regionfill.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "dib/dib.h"

namespace hv {

bool RegionFill::Build(const RegionPolygon* regions, int n) {
    edges_.clear();
    minY_ = 0;
    maxY_ = -1;
    if (n < 0 || (n > 0 && !regions)) return false;
    int64_t total = 0;
    for (int r = 0; r < n; ++r) {
        const RegionPolygon& g = regions[r];
        if (g.count < 0) return false;
        if (g.count < 3) continue;
        if (!g.xs || !g.ys) return false;
        total += g.count;
    }
    edges_.reserve(static_cast<size_t>(total));
    bool any = false;
    for (int r = 0; r < n; ++r) {
        const RegionPolygon& g = regions[r];
        if (g.count < 3) continue;
        for (int i = 0; i < g.count; ++i) {
            if (!any || g.ys[i] < minY_) minY_ = g.ys[i];
            if (!any || g.ys[i] > maxY_) maxY_ = g.ys[i];
            any = true;
            const int j = i + 1 == g.count ? 0 : i + 1;
            const int y1 = g.ys[i], y2 = g.ys[j];
            if (y1 == y2) continue;  // horizontal edges add nothing
            const int x1 = g.xs[i], x2 = g.xs[j];
            Edge e;
            e.yMax = std::max(y1, y2);
            e.yMin = std::min(y1, y2);
            e.x = static_cast<float>(y1 < y2 ? x1 : x2);
            e.slope = static_cast<float>(static_cast<float>(int64_t(x1) - x2) / static_cast<float>(int64_t(y1) - y2));
            edges_.push_back(e);
        }
    }
    std::stable_sort(edges_.begin(), edges_.end(), [](const Edge& a, const Edge& b) { return a.yMin < b.yMin; });
    return true;
}

namespace {
// Rounds a span end to a column, clamped far outside any image.
int64_t Column(float x) {
    const double v = static_cast<double>(x) + 0.5;
    if (!(v > -1e12)) return INT64_MIN / 2;
    if (v > 1e12) return INT64_MAX / 2;
    return static_cast<int64_t>(v);  // truncates toward zero
}
}  // namespace

namespace {

// The active edges in list order, held in blocks of a few dozen so that an
// edge is inserted without moving all the others. The largest x of each
// block, and their running maxima, let the search for an insertion point
// start at the first block that can hold it and pass over the others.
class ActiveList {
public:
    using Edge = RegionFill::Edge;

    // Inserts e before the first edge whose key is greater than its own
    // (after every edge of an equal key); the list is searched in order,
    // as the edges may have crossed since they entered.
    void Insert(const Edge& e) {
        // An edge at x <= e.x - 0.0002 is neither within the tie distance
        // of e nor to its right; the margin covers the rounding of the
        // float comparison below.
        const double pass = static_cast<double>(e.x) - 0.0003;
        if (maxStale_) {
            float upTo = -std::numeric_limits<float>::infinity();
            for (size_t b = 0; b < blocks_.size(); ++b) {
                maxX_[b] = MaxX(blocks_[b]);
                upTo = std::max(upTo, maxX_[b]);
                prefixMax_[b] = upTo;
            }
            maxStale_ = false;
        }
        // The first block that can hold a later edge is the first whose
        // prefix maximum reaches `pass` (the prefix maxima never fall).
        const auto from = std::lower_bound(prefixMax_.begin(), prefixMax_.end(), pass,
                                           [](float m, double v) { return static_cast<double>(m) < v; });
        for (size_t b = size_t(from - prefixMax_.begin()); b < blocks_.size(); ++b) {
            if (static_cast<double>(maxX_[b]) < pass) continue;
            Block& block = blocks_[b];
            for (size_t i = 0; i < block.edges.size(); ++i)
                if (After(block.edges[i], e)) {
                    block.edges.insert(block.edges.begin() + static_cast<std::ptrdiff_t>(i), e);
                    Grew(b, e.x, e.yMax);
                    return;
                }
        }
        if (blocks_.empty()) {
            blocks_.emplace_back();
            maxX_.push_back(-std::numeric_limits<float>::infinity());
            prefixMax_.push_back(-std::numeric_limits<float>::infinity());
        }
        blocks_.back().edges.push_back(e);
        Grew(blocks_.size() - 1, e.x, e.yMax);
    }

    // Pairs the edges in order, f(first, second), f(third, fourth), ...,
    // then moves every edge to the next row and drops those that end there,
    // in one pass. The blocks' largest x are worked out again only when an
    // edge next enters.
    template <typename F>
    void PairsThenAdvance(int64_t nextRow, F f) {
        Edge open;  // the first edge of a pair, as it was on this row
        bool isOpen = false;
        size_t kept = 0;
        for (size_t b = 0; b < blocks_.size(); ++b) {
            Block& block = blocks_[b];
            const bool ends = block.minYMax <= nextRow;
            size_t n = 0;
            int minYMax = std::numeric_limits<int>::max();
            for (Edge& e : block.edges) {
                if (isOpen) f(open, e);
                else open = e;
                isOpen = !isOpen;
                e.x += e.slope;
                if (ends) {
                    if (e.yMax == nextRow) continue;
                    block.edges[n++] = e;
                    minYMax = std::min(minYMax, e.yMax);
                }
            }
            if (ends) {
                block.edges.resize(n);
                block.minYMax = minYMax;
            }
            if (!block.edges.empty()) {
                if (kept != b) std::swap(blocks_[kept], block);
                ++kept;
            }
        }
        blocks_.resize(kept);
        maxX_.resize(kept);
        prefixMax_.resize(kept);
        maxStale_ = true;
    }

private:
    static constexpr size_t kBlock = 64;
    struct Block {
        std::vector<Edge> edges;
        int minYMax = std::numeric_limits<int>::max();  // no edge ends before this row
    };
    std::vector<Block> blocks_;
    // Per block: the largest x of its edges, side by side so that a search
    // passes over blocks quickly; stale once the edges have moved.
    std::vector<float> maxX_, prefixMax_;  // prefixMax_[b]: the largest of maxX_[0..b]
    bool maxStale_ = false;

    // a's key is greater than b's: x, or the slope when the x are within
    // 0.0001 of each other.
    static bool After(const Edge& a, const Edge& b) {
        if (std::abs(a.x - b.x) < 0.0001f) return a.slope > b.slope;
        return a.x > b.x;
    }

    // Block b took an edge at x ending at yMax: splits it when it has grown too long.
    void Grew(size_t b, float x, int yMax) {
        Block& block = blocks_[b];
        maxX_[b] = std::max(maxX_[b], x);
        for (size_t c = b; c < prefixMax_.size(); ++c) prefixMax_[c] = std::max(prefixMax_[c], x);
        block.minYMax = std::min(block.minYMax, yMax);
        if (block.edges.size() < 2 * kBlock) return;
        Block upper;
        upper.edges.assign(block.edges.begin() + kBlock, block.edges.end());
        block.edges.resize(kBlock);
        upper.minYMax = block.minYMax;  // a bound is enough
        maxX_[b] = MaxX(block);
        maxX_.insert(maxX_.begin() + static_cast<std::ptrdiff_t>(b) + 1, MaxX(upper));
        // Block b's prefix maximum may fall; those after it stay.
        prefixMax_[b] = std::max(b ? prefixMax_[b - 1] : -std::numeric_limits<float>::infinity(), maxX_[b]);
        prefixMax_.insert(prefixMax_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::max(prefixMax_[b], maxX_[b + 1]));
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(upper));
    }
    static float MaxX(const Block& block) {
        float m = -std::numeric_limits<float>::infinity();
        for (const Edge& e : block.edges) m = std::max(m, e.x);
        return m;
    }
};

}  // namespace

void RegionFill::Scan(int width, int height, void (*row)(void*, int, const int*, size_t), void* ctx) const {
    if (edges_.empty() || width <= 0 || height <= 0) return;
    const int64_t last = std::min<int64_t>(maxY_, height - 1);
    if (last < 0) return;
    // Rows above the picture are walked without filling, so that each edge
    // reaches the first row with the x its row-by-row single-precision steps
    // give. When that walk would cost more than kWalkAbove edge steps, they
    // are skipped instead: edges that start there enter at the first row
    // with their x advanced in one step. Rows below the picture are never
    // reached.
    constexpr int64_t kWalkAbove = int64_t(1) << 22;
    const int64_t above = minY_ < 0 ? -minY_ : 0;
    const bool walk = above <= kWalkAbove / static_cast<int64_t>(edges_.size());
    const int64_t first = walk ? minY_ : std::max<int64_t>(minY_, 0);
    ActiveList active;
    // xa, xb of the runs of one row: at most one run per two edges. Written
    // through a plain pointer, so that the pass over the edges calls nothing.
    std::vector<int> runs(edges_.size() + 2);
    size_t next = 0;
    for (int64_t y = first; y <= last; ++y) {
        // Edges ending at this row left at the end of the one before.
        for (; next < edges_.size() && edges_[next].yMin <= y; ++next) {
            Edge e = edges_[next];
            if (e.yMax <= y) continue;  // ended above the picture
            if (e.yMin < y) e.x = static_cast<float>(e.x + static_cast<double>(e.slope) * (y - e.yMin));
            active.Insert(e);
        }
        int* out = runs.data();
        size_t n = 0;
        const bool visible = y >= 0;
        active.PairsThenAdvance(y + 1, [&](const Edge& a, const Edge& b) {
            if (!visible) return;
            int64_t xa = Column(a.x), xb = Column(b.x);
            if (xa > xb) return;
            xa = std::max<int64_t>(xa, 0);
            xb = std::min<int64_t>(xb, width - 1);
            if (xa <= xb) {
                out[2 * n] = static_cast<int>(xa);
                out[2 * n + 1] = static_cast<int>(xb);
                ++n;
            }
        });
        if (n) row(ctx, static_cast<int>(y), out, n);
    }
}

bool RegionFill::Restore(ipDibStuff& dst, ipDibStuff& src) const {
    if (!dst.usable() || !src.usable() || dst.width() != src.width() || dst.height() != src.height() ||
        dst.bitCount() != src.bitCount() || (dst.bitCount() != 8 && dst.bitCount() != 24))
        return false;
    const int bpp = dst.bitCount() / 8, h = dst.height();
    ForEachSpan(dst.width(), h, [&](int y, int xa, int xb) {
        const size_t row = static_cast<size_t>(h - 1 - y);
        std::memcpy(dst.rows[row] + static_cast<size_t>(xa) * bpp, src.rows[row] + static_cast<size_t>(xa) * bpp,
                    static_cast<size_t>(xb - xa + 1) * bpp);
    });
    return true;
}

}  // namespace hv
