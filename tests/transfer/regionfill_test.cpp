// The region fill: even-odd spans over the edges of all regions, clipped to
// the picture, and its blocked active list against a plain one (every edge
// inserted by a linear search of the list, the list never re-sorted, so that
// crossing edges keep the order they entered in).
#include "transfer/regionfill.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <random>

#include "transfer/transfer_fixtures.h"

namespace {

using Span = std::array<int, 3>;  // y, xa, xb
using Coords = std::vector<int32_t>;
using Regions = std::vector<std::pair<Coords, Coords>>;  // xs and ys of each

// A span end rounded to a column (far outside the picture: held there).
int64_t Round(float x) { return static_cast<int64_t>(std::clamp(static_cast<double>(x) + 0.5, -1e12, 1e12)); }

// The regions filled with the plain list.
std::vector<Span> PlainFill(const Regions& regions, int w, int h) {
    std::vector<hv::RegionFill::Edge> table;
    int64_t minY = INT64_MAX, maxY = INT64_MIN;
    for (const auto& [xs, ys] : regions)
        for (int i = 0, n = static_cast<int>(xs.size()); n >= 3 && i < n; ++i) {
            minY = std::min<int64_t>(minY, ys[i]);
            maxY = std::max<int64_t>(maxY, ys[i]);
            const int j = (i + 1) % n;
            if (ys[i] == ys[j]) continue;
            table.push_back(
                {std::max(ys[i], ys[j]), std::min(ys[i], ys[j]),
                 static_cast<float>(ys[i] < ys[j] ? xs[i] : xs[j]),
                 static_cast<float>(int64_t(xs[i]) - xs[j]) / static_cast<float>(int64_t(ys[i]) - ys[j])});
        }
    std::stable_sort(table.begin(), table.end(), [](auto& a, auto& b) { return a.yMin < b.yMin; });
    std::vector<Span> out;
    std::vector<hv::RegionFill::Edge> active;
    size_t next = 0;
    for (int64_t y = std::max<int64_t>(minY, 0); y <= std::min<int64_t>(maxY, h - 1); ++y) {
        active.erase(std::remove_if(active.begin(), active.end(), [y](auto& e) { return e.yMax == y; }),
                     active.end());
        for (; next < table.size() && table[next].yMin <= y; ++next) {
            auto e = table[next];
            if (e.yMax <= y) continue;
            if (e.yMin < y) e.x = static_cast<float>(e.x + static_cast<double>(e.slope) * (y - e.yMin));
            size_t at = 0;
            for (; at < active.size(); ++at)
                if (std::abs(active[at].x - e.x) < 0.0001f ? active[at].slope > e.slope : active[at].x > e.x)
                    break;
            active.insert(active.begin() + static_cast<std::ptrdiff_t>(at), e);
        }
        for (size_t i = 0; i + 1 < active.size(); i += 2) {
            const int64_t xa = std::max<int64_t>(Round(active[i].x), 0);
            const int64_t xb = std::min<int64_t>(Round(active[i + 1].x), w - 1);
            if (Round(active[i].x) <= Round(active[i + 1].x) && xa <= xb)
                out.push_back({int(y), int(xa), int(xb)});
        }
        for (auto& e : active) e.x += e.slope;
    }
    return out;
}

// The spans of the regions as the library fills them.
std::vector<Span> Fill(Regions regions, int w, int h) {
    std::vector<RegionPolygon> list;
    for (auto& [xs, ys] : regions) list.push_back({static_cast<int32_t>(xs.size()), xs.data(), ys.data()});
    hv::RegionFill fill;
    EXPECT_TRUE(fill.Build(list.data(), static_cast<int>(list.size())));
    std::vector<Span> out;
    fill.ForEachSpan(w, h, [&](int y, int xa, int xb) { out.push_back({y, xa, xb}); });
    return out;
}

}  // namespace

TEST(RegionFill, EvenOddOverAllRegionsClippedToThePicture) {
    std::vector<Span> rectangle, squares, clipped, slanted;
    for (int y = 0; y < 100; ++y) {
        // A rectangle: rows 20..39, the row of largest y not filled.
        if (y >= 20 && y < 40) rectangle.push_back({y, 10, 30});
        // Overlapping squares: even-odd over all edges leaves the overlap out.
        if (y < 10) squares.push_back({y, 0, y < 5 ? 10 : 5});
        if (y >= 5 && y < 15) squares.push_back({y, y < 10 ? 10 : 5, 15});
        clipped.push_back({y, 0, 99});
        if (y < 10) slanted.push_back({y, 0, y + 10});
    }
    const std::pair<Regions, std::vector<Span>> cases[] = {
        {{{{10, 30, 30, 10}, {20, 20, 40, 40}}}, rectangle},
        {{{{0, 10, 10, 0}, {0, 0, 10, 10}}, {{5, 15, 15, 5}, {5, 5, 15, 15}}}, squares},
        // Clipped to the picture, however far outside the vertices lie.
        {{{{INT_MIN, INT_MAX, INT_MAX, INT_MIN}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}}}, clipped},
        {{{{0, 20, 0}, {-10, 10, 10}}}, slanted},  // entering from above, the edge keeps its course
        {{{{0, 20, 40}, {5, 5, 5}}, {{0, 10}, {0, 10}}}, {}},  // flat or two-vertex regions fill nothing
    };
    for (const auto& [regions, want] : cases) {
        EXPECT_EQ(Fill(regions, 100, 100), want) << &want - &cases[0].second;
        EXPECT_EQ(PlainFill(regions, 100, 100), want);
    }
    // Malformed lists are refused, whichever region is at fault.
    Coords xs{0, 10, 0}, ys{0, 0, 10};
    RegionPolygon bad[2] = {{3, xs.data(), nullptr}, {3, xs.data(), ys.data()}};
    hv::RegionFill fill;
    EXPECT_FALSE(fill.Build(bad, 2));
    bad[0].ys = ys.data();
    bad[1].count = -1;
    EXPECT_FALSE(fill.Build(bad, 2) || fill.Build(nullptr, 1) || fill.Build(bad, -1));
}

// Polygons of hundreds of edges crossing one another, entering on many
// rows and at equal x, partly outside the picture: the same spans in the
// same order as the plain list.
TEST(RegionFill, ManyCrossingEdgesMatchThePlainList) {
    std::mt19937 rng(11);
    for (auto [vertices, w, h, spread] :
         {std::array<int, 4>{300, 200, 120, 240}, {1000, 300, 200, 200}, {2000, 64, 400, 80}})
        for (int shape = 0; shape < 3; ++shape) {
            Coords xs, ys;
            std::uniform_int_distribution<int> x(-spread / 4, spread), y(-10, h + 10), few(0, 6);
            for (int i = 0; i < vertices; ++i) {
                // Anywhere; a zigzag, every edge crossing every row; few distinct x.
                xs.push_back(shape == 2 ? few(rng) * w / 6 : x(rng));
                ys.push_back(shape == 1 ? (i % 2 ? h - 1 : 0) : y(rng));
            }
            const std::vector<Span> want = PlainFill({{xs, ys}}, w, h);
            EXPECT_FALSE(want.empty());
            EXPECT_EQ(Fill({{xs, ys}}, w, h), want) << vertices << " vertices, shape " << shape;
        }
}
