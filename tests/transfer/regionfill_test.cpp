// The region fill's blocked active list against a plain one: every edge
// inserted by a linear search of the list, the list never re-sorted, so that
// crossing edges keep the order they entered in.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "transfer/regionfill.h"

namespace {

using Span = std::array<int, 3>;  // y, xa, xb

struct PlainEdge {
    int yMax, yMin;
    float x, slope;
};

int64_t Round(float x) {
    const double v = static_cast<double>(x) + 0.5;
    if (!(v > -1e12)) return INT64_MIN / 2;
    if (v > 1e12) return INT64_MAX / 2;
    return static_cast<int64_t>(v);
}

// One polygon, filled with the plain list.
std::vector<Span> PlainFill(const std::vector<int32_t>& xs, const std::vector<int32_t>& ys, int w, int h) {
    std::vector<PlainEdge> table;
    const int n = static_cast<int>(xs.size());
    int64_t minY = ys[0], maxY = ys[0];
    for (int i = 0; i < n; ++i) {
        minY = std::min<int64_t>(minY, ys[i]);
        maxY = std::max<int64_t>(maxY, ys[i]);
        const int j = (i + 1) % n;
        if (ys[i] == ys[j]) continue;
        PlainEdge e;
        e.yMax = std::max(ys[i], ys[j]);
        e.yMin = std::min(ys[i], ys[j]);
        e.x = static_cast<float>(ys[i] < ys[j] ? xs[i] : xs[j]);
        e.slope = static_cast<float>(static_cast<float>(int64_t(xs[i]) - xs[j]) /
                                     static_cast<float>(int64_t(ys[i]) - ys[j]));
        table.push_back(e);
    }
    std::stable_sort(table.begin(), table.end(), [](auto& a, auto& b) { return a.yMin < b.yMin; });
    std::vector<Span> out;
    std::vector<PlainEdge> active;
    size_t next = 0;
    for (int64_t y = std::max<int64_t>(minY, 0); y <= std::min<int64_t>(maxY, h - 1); ++y) {
        active.erase(std::remove_if(active.begin(), active.end(), [y](auto& e) { return e.yMax == y; }),
                     active.end());
        for (; next < table.size() && table[next].yMin <= y; ++next) {
            PlainEdge e = table[next];
            if (e.yMax <= y) continue;
            if (e.yMin < y) e.x = static_cast<float>(e.x + static_cast<double>(e.slope) * (y - e.yMin));
            size_t at = 0;
            while (at < active.size()) {
                const PlainEdge& a = active[at];
                const bool after = std::abs(a.x - e.x) < 0.0001f ? a.slope > e.slope : a.x > e.x;
                if (after) break;
                ++at;
            }
            active.insert(active.begin() + static_cast<std::ptrdiff_t>(at), e);
        }
        for (size_t i = 0; i + 1 < active.size(); i += 2) {
            int64_t xa = Round(active[i].x), xb = Round(active[i + 1].x);
            if (xa > xb) continue;
            xa = std::max<int64_t>(xa, 0);
            xb = std::min<int64_t>(xb, w - 1);
            if (xa <= xb) out.push_back({int(y), int(xa), int(xb)});
        }
        for (PlainEdge& e : active) e.x += e.slope;
    }
    return out;
}

std::vector<Span> Fill(std::vector<int32_t>& xs, std::vector<int32_t>& ys, int w, int h) {
    RegionPolygon region{static_cast<int32_t>(xs.size()), xs.data(), ys.data()};
    hv::RegionFill fill;
    EXPECT_TRUE(fill.Build(&region, 1));
    std::vector<Span> out;
    fill.ForEachSpan(w, h, [&](int y, int xa, int xb) { out.push_back({y, xa, xb}); });
    return out;
}

}  // namespace

// Polygons of hundreds of edges crossing one another, entering on many
// rows and at equal x, partly outside the picture: the same spans in the
// same order as the plain list.
TEST(RegionFill, ManyCrossingEdgesMatchThePlainList) {
    std::mt19937 rng(11);
    struct Case {
        int vertices, w, h, spread;
    };
    for (const Case c : {Case{300, 200, 120, 240}, Case{1000, 300, 200, 200}, Case{2000, 64, 400, 80},
                         Case{600, 100, 100, 130}}) {
        for (int shape = 0; shape < 3; ++shape) {
            std::vector<int32_t> xs, ys;
            std::uniform_int_distribution<int> x(-c.spread / 4, c.spread), y(-10, c.h + 10), few(0, 6);
            for (int i = 0; i < c.vertices; ++i) {
                if (shape == 0) {  // anywhere
                    xs.push_back(x(rng));
                    ys.push_back(y(rng));
                } else if (shape == 1) {  // a zigzag, every edge crossing every row
                    xs.push_back(x(rng));
                    ys.push_back(i % 2 ? c.h - 1 : 0);
                } else {  // few distinct x: many equal keys
                    xs.push_back(few(rng) * c.w / 6);
                    ys.push_back(y(rng));
                }
            }
            SCOPED_TRACE(testing::Message() << c.vertices << " vertices, shape " << shape);
            const std::vector<Span> want = PlainFill(xs, ys, c.w, c.h);
            EXPECT_FALSE(want.empty());
            EXPECT_EQ(Fill(xs, ys, c.w, c.h), want);
        }
    }
}
