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
// edge is inserted without moving all the others. Each block knows the
// largest x among its edges, which lets the search for an insertion point
// pass over blocks that cannot hold it.
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
        for (size_t b = 0; b < blocks_.size(); ++b) {
            Block& block = blocks_[b];
            if (static_cast<double>(block.maxX) < pass) continue;
            for (size_t i = 0; i < block.edges.size(); ++i)
                if (After(block.edges[i], e)) {
                    block.edges.insert(block.edges.begin() + static_cast<std::ptrdiff_t>(i), e);
                    Grew(b, e.x, e.yMax);
                    return;
                }
        }
        if (blocks_.empty()) blocks_.emplace_back();
        blocks_.back().edges.push_back(e);
        Grew(blocks_.size() - 1, e.x, e.yMax);
    }

    // Pairs the edges in order: f(first, second), f(third, fourth), ...
    template <typename F>
    void Pairs(F f) const {
        const Edge* open = nullptr;
        for (const Block& block : blocks_)
            for (const Edge& e : block.edges) {
                if (open) {
                    f(*open, e);
                    open = nullptr;
                } else {
                    open = &e;
                }
            }
    }

    // Moves every edge to the next row and drops those that end there.
    void Advance(int64_t nextRow) {
        size_t kept = 0;
        for (size_t b = 0; b < blocks_.size(); ++b) {
            Block& block = blocks_[b];
            float maxX = -std::numeric_limits<float>::infinity();
            if (block.minYMax > nextRow) {
                for (Edge& e : block.edges) {
                    e.x += e.slope;
                    maxX = std::max(maxX, e.x);
                }
            } else {
                size_t n = 0;
                int minYMax = std::numeric_limits<int>::max();
                for (Edge& e : block.edges) {
                    e.x += e.slope;
                    if (e.yMax == nextRow) continue;
                    block.edges[n++] = e;
                    maxX = std::max(maxX, e.x);
                    minYMax = std::min(minYMax, e.yMax);
                }
                block.edges.resize(n);
                block.minYMax = minYMax;
            }
            block.maxX = maxX;
            if (!block.edges.empty()) {
                if (kept != b) std::swap(blocks_[kept], block);
                ++kept;
            }
        }
        blocks_.resize(kept);
    }

private:
    static constexpr size_t kBlock = 64;
    struct Block {
        std::vector<Edge> edges;
        float maxX = -std::numeric_limits<float>::infinity();
        int minYMax = std::numeric_limits<int>::max();  // no edge ends before this row
    };
    std::vector<Block> blocks_;

    // a's key is greater than b's: x, or the slope when the x are within
    // 0.0001 of each other.
    static bool After(const Edge& a, const Edge& b) {
        if (std::abs(a.x - b.x) < 0.0001f) return a.slope > b.slope;
        return a.x > b.x;
    }

    // Block b took an edge at x ending at yMax: splits it when it has grown too long.
    void Grew(size_t b, float x, int yMax) {
        Block& block = blocks_[b];
        block.maxX = std::max(block.maxX, x);
        block.minYMax = std::min(block.minYMax, yMax);
        if (block.edges.size() < 2 * kBlock) return;
        Block upper;
        upper.edges.assign(block.edges.begin() + kBlock, block.edges.end());
        block.edges.resize(kBlock);
        block.maxX = MaxX(block);
        upper.maxX = MaxX(upper);
        upper.minYMax = block.minYMax;  // a bound is enough
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(upper));
    }
    static float MaxX(const Block& block) {
        float m = -std::numeric_limits<float>::infinity();
        for (const Edge& e : block.edges) m = std::max(m, e.x);
        return m;
    }
};

}  // namespace

void RegionFill::Scan(int width, int height, void (*span)(void*, int, int, int), void* ctx) const {
    if (edges_.empty() || width <= 0 || height <= 0) return;
    // Rows above the picture are skipped: edges that start there enter at
    // the first row with their x advanced to it. Rows below it are never
    // reached.
    const int64_t first = std::max<int64_t>(minY_, 0), last = std::min<int64_t>(maxY_, height - 1);
    ActiveList active;
    size_t next = 0;
    for (int64_t y = first; y <= last; ++y) {
        // Edges ending at this row left at the end of the one before.
        for (; next < edges_.size() && edges_[next].yMin <= y; ++next) {
            Edge e = edges_[next];
            if (e.yMax <= y) continue;  // ended above the picture
            if (e.yMin < y) e.x = static_cast<float>(e.x + static_cast<double>(e.slope) * (y - e.yMin));
            active.Insert(e);
        }
        active.Pairs([&](const Edge& a, const Edge& b) {
            int64_t xa = Column(a.x), xb = Column(b.x);
            if (xa > xb) return;
            xa = std::max<int64_t>(xa, 0);
            xb = std::min<int64_t>(xb, width - 1);
            if (xa <= xb) span(ctx, static_cast<int>(y), static_cast<int>(xa), static_cast<int>(xb));
        });
        active.Advance(y + 1);
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
