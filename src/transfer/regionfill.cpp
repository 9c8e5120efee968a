#include "transfer/regionfill.h"

#include <algorithm>
#include <cstring>

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

void RegionFill::Scan(int width, int height, void (*span)(void*, int, int, int), void* ctx) const {
    if (edges_.empty() || width <= 0 || height <= 0) return;
    // Rows above the picture are skipped: edges that start there enter at
    // the first row with their x advanced to it. Rows below it are never
    // reached.
    const int64_t first = std::max<int64_t>(minY_, 0), last = std::min<int64_t>(maxY_, height - 1);
    std::vector<Edge> active;
    size_t next = 0;
    auto before = [](const Edge& a, const Edge& b) {  // a's key is greater than b's
        if (std::abs(a.x - b.x) < 0.0001f) return a.slope > b.slope;
        return a.x > b.x;
    };
    for (int64_t y = first; y <= last; ++y) {
        active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge& e) { return e.yMax == y; }),
                     active.end());
        for (; next < edges_.size() && edges_[next].yMin <= y; ++next) {
            Edge e = edges_[next];
            if (e.yMax <= y) continue;  // ended above the picture
            if (e.yMin < y) e.x = static_cast<float>(e.x + static_cast<double>(e.slope) * (y - e.yMin));
            // After every edge of an equal key.
            auto at = std::find_if(active.begin(), active.end(), [&](const Edge& a) { return before(a, e); });
            active.insert(at, e);
        }
        for (size_t i = 0; i + 1 < active.size(); i += 2) {
            int64_t xa = Column(active[i].x), xb = Column(active[i + 1].x);
            if (xa > xb) continue;
            xa = std::max<int64_t>(xa, 0);
            xb = std::min<int64_t>(xb, width - 1);
            if (xa <= xb) span(ctx, static_cast<int>(y), static_cast<int>(xa), static_cast<int>(xb));
        }
        for (Edge& e : active) e.x += e.slope;
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
