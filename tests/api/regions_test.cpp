// Region style application: the even-odd scan-line fill and the regions
// kept in their first colours, with hostile vertex lists.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>

#include "huevane/huevane.h"
#include "transfer/regionfill.h"
#include "transfer/transfer_fixtures.h"

namespace {

struct Poly {
    std::vector<int32_t> xs, ys;
    Poly(std::initializer_list<std::pair<int, int>> pts) {
        for (auto& p : pts) {
            xs.push_back(p.first);
            ys.push_back(p.second);
        }
    }
    RegionPolygon region() { return RegionPolygon{static_cast<int32_t>(xs.size()), xs.data(), ys.data()}; }
};

// The filled spans of a region list as (y, xa, xb) triples.
std::vector<std::array<int, 3>> Spans(std::vector<RegionPolygon> regions, int w, int h) {
    hv::RegionFill fill;
    EXPECT_TRUE(fill.Build(regions.data(), static_cast<int>(regions.size())));
    std::vector<std::array<int, 3>> out;
    fill.ForEachSpan(w, h, [&](int y, int xa, int xb) { out.push_back({y, xa, xb}); });
    return out;
}

}  // namespace

TEST(RegionFill, SpansOfSimpleShapes) {
    Poly rect{{10, 20}, {30, 20}, {30, 40}, {10, 40}};
    auto spans = Spans({rect.region()}, 100, 100);
    ASSERT_EQ(spans.size(), 20u);  // rows 20..39; the row of largest y is not filled
    for (int i = 0; i < 20; ++i) EXPECT_EQ(spans[i], (std::array<int, 3>{20 + i, 10, 30}));

    // A triangle and a pentagon, each with its own vertex count.
    Poly tri{{0, 0}, {10, 0}, {0, 10}};
    Poly penta{{50, 0}, {60, 5}, {60, 15}, {40, 15}, {40, 5}};
    spans = Spans({tri.region(), penta.region()}, 100, 100);
    std::vector<std::array<int, 3>> want;
    for (int y = 0; y < 15; ++y) {
        if (y < 10) want.push_back({y, 0, 10 - y});
        if (y < 5)
            want.push_back({y, 50 - 2 * y, 50 + 2 * y});
        else
            want.push_back({y, 40, 60});
    }
    EXPECT_EQ(spans, want);

    // Overlapping squares: even-odd over all edges leaves the overlap out
    // (its border columns belong to the spans on either side).
    Poly a{{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    Poly b{{5, 5}, {15, 5}, {15, 15}, {5, 15}};
    spans = Spans({a.region(), b.region()}, 100, 100);
    want.clear();
    for (int y = 0; y < 15; ++y) {
        if (y < 5)
            want.push_back({y, 0, 10});
        else if (y < 10) {
            want.push_back({y, 0, 5});
            want.push_back({y, 10, 15});
        } else
            want.push_back({y, 5, 15});
    }
    EXPECT_EQ(spans, want);

    // Degenerate regions restore nothing: all vertices on one row, fewer
    // than three vertices.
    Poly flat{{0, 5}, {20, 5}, {40, 5}};
    Poly two{{0, 0}, {10, 10}};
    EXPECT_TRUE(Spans({flat.region(), two.region()}, 100, 100).empty());
}

TEST(RegionFill, ClippedToTheImageAndHostileLists) {
    // Far outside on every side: only the picture is covered, and rows above
    // it are skipped without walking them.
    Poly huge{{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}};
    auto spans = Spans({huge.region()}, 30, 20);
    ASSERT_EQ(spans.size(), 20u);
    for (int y = 0; y < 20; ++y) EXPECT_EQ(spans[y], (std::array<int, 3>{y, 0, 29}));
    Poly band{{-100, -50}, {1000000, -50}, {1000000, 7}, {-100, 7}};
    spans = Spans({band.region()}, 30, 20);
    ASSERT_EQ(spans.size(), 7u);
    EXPECT_EQ(spans[6], (std::array<int, 3>{6, 0, 29}));
    // A slanted edge entering from above keeps its course.
    Poly slant{{0, -10}, {20, 10}, {0, 10}};
    spans = Spans({slant.region()}, 30, 20);
    ASSERT_EQ(spans.size(), 10u);
    EXPECT_EQ(spans[0], (std::array<int, 3>{0, 0, 10}));
    EXPECT_EQ(spans[9], (std::array<int, 3>{9, 0, 19}));
    // Entirely outside.
    Poly away{{-50, -50}, {-10, -50}, {-10, -10}};
    EXPECT_TRUE(Spans({away.region()}, 30, 20).empty());

    // A lasso of 40,000 vertices around a circle (M_PI is not standard C++).
    const double kPi = std::acos(-1.0);
    std::vector<int32_t> xs, ys;
    for (int i = 0; i < 40000; ++i) {
        const double t = i * 2 * kPi / 40000;
        xs.push_back(static_cast<int32_t>(std::lround(100 + 60 * std::cos(t))));
        ys.push_back(static_cast<int32_t>(std::lround(100 + 60 * std::sin(t))));
    }
    RegionPolygon lasso{40000, xs.data(), ys.data()};
    spans = Spans({lasso}, 200, 200);
    int64_t area = 0;
    for (auto& s : spans) area += s[2] - s[1] + 1;
    EXPECT_NEAR(static_cast<double>(area), kPi * 60 * 60, 400.0);
    EXPECT_EQ(spans.front()[0], 40);

    // Malformed lists are refused.
    hv::RegionFill fill;
    Poly ok{{0, 0}, {5, 0}, {5, 5}};
    RegionPolygon bad[2] = {ok.region(), ok.region()};
    bad[1].count = -1;
    EXPECT_FALSE(fill.Build(bad, 2));
    bad[1] = ok.region();
    bad[1].ys = nullptr;
    EXPECT_FALSE(fill.Build(bad, 2));
    EXPECT_FALSE(fill.Build(nullptr, 1));
    EXPECT_FALSE(fill.Build(bad, -1));
    EXPECT_TRUE(fill.Build(nullptr, 0));
    bad[1].count = 2;  // too few vertices: not read at all
    EXPECT_TRUE(fill.Build(bad, 2));
}

namespace {

// A 24-bit photo re-coloured with regions, and the same re-colouring with a
// region list that keeps nothing.
struct Recoloured {
    void* original = tfix::Photo("autumn_256.bmp");
    void* style = tfix::Photo("cups_256.bmp");
    std::vector<char> styleBuf = tfix::StyleOf(style);
    std::vector<BYTE> whole;  // re-coloured everywhere
    Recoloured() {
        void* img = tfix::Copy(original);
        Poly nothing{{0, 0}, {10, 0}};
        RegionPolygon r = nothing.region();
        EXPECT_EQ(AdjustImageStyleWithRegions(img, styleBuf.data(), &r, 1), 0);
        whole = tfix::Pixels(img);
        hv::FreeHandle(img);
    }
    ~Recoloured() {
        hv::FreeHandle(original);
        hv::FreeHandle(style);
    }
};

}  // namespace

TEST(AdjustImageStyleWithRegions, KeepsRegionsInTheirFirstColours) {
    const long handles = hv::LiveHandles();
    {
        Recoloured rc;
        const std::vector<BYTE> first = tfix::Pixels(rc.original);
        ASSERT_NE(rc.whole, first);
        Poly rect{{10, 20}, {30, 20}, {30, 40}, {10, 40}};
        Poly tri{{100, 50}, {140, 50}, {100, 90}};
        RegionPolygon regions[2] = {rect.region(), tri.region()};
        void* img = tfix::Copy(rc.original);
        EXPECT_EQ(AdjustImageStyleWithRegions(img, rc.styleBuf.data(), regions, 2), 0);
        const std::vector<BYTE> out = tfix::Pixels(img);
        // Expected: the whole re-colouring with the spans' pixels from the
        // first image (rows counted from the top).
        std::vector<BYTE> want = rc.whole;
        const int w = 256, h = 160;
        hv::RegionFill fill;
        ASSERT_TRUE(fill.Build(regions, 2));
        size_t kept = 0;
        fill.ForEachSpan(w, h, [&](int y, int xa, int xb) {
            const size_t row = static_cast<size_t>(h - 1 - y) * w * 3;
            for (int x = xa; x <= xb; ++x, ++kept)
                for (int c = 0; c < 3; ++c) want[row + 3 * x + c] = first[row + 3 * x + c];
        });
        EXPECT_EQ(kept, 20u * 21 + 860);  // rectangle rows 20..39, triangle widths 41 down to 2
        EXPECT_EQ(out, want);
        // Row 40 of the rectangle is re-coloured, row 39 kept.
        auto at = [&](const std::vector<BYTE>& v, int x, int y) { return v[(static_cast<size_t>(h - 1 - y) * w + x) * 3]; };
        EXPECT_EQ(at(out, 20, 39), at(first, 20, 39));
        EXPECT_EQ(at(out, 20, 40), at(rc.whole, 20, 40));

        // The second form with a target buffer, the host's 8-bit form and
        // backup gives the same; the host's handles are not changed.
        void* img2 = tfix::Copy(rc.original);
        void* dib8 = DecreaseBpp24to8(rc.original);
        void* backup = tfix::Copy(rc.original);
        std::vector<char> own = tfix::StyleOf(rc.original);
        EXPECT_EQ(AdjustImageStyleWithRegions2(img2, own.data(), rc.styleBuf.data(), regions, 2, dib8, backup), 0);
        EXPECT_EQ(tfix::Pixels(img2), out);
        EXPECT_EQ(tfix::Pixels(backup), first);
        for (void* hd : {img, img2, dib8, backup}) hv::FreeHandle(hd);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(AdjustImageStyleWithRegions, NoRegionsBadListsAndPaletteImages) {
    const long handles = hv::LiveHandles();
    {
        Recoloured rc;
        // n = 0: the plain function; the target, dib8 and backup given are
        // not used even when they do not fit.
        void* a = tfix::Copy(rc.original);
        void* b = tfix::Copy(rc.original);
        void* wrong8 = MakeEmptyDib(3, 3, 8, true);
        EXPECT_EQ(AdjustImageStyleWithRegions2(a, rc.styleBuf.data(), rc.styleBuf.data(), nullptr, 0, wrong8, wrong8),
                  0);
        EXPECT_EQ(AdjustImageStyle(b, rc.styleBuf.data(), nullptr), 0);
        EXPECT_EQ(tfix::Pixels(a), tfix::Pixels(b));
        EXPECT_NE(tfix::Pixels(a), tfix::Pixels(rc.original));

        // Malformed lists: refused, image unchanged.
        void* c = tfix::Copy(rc.original);
        const std::vector<BYTE> first = tfix::Pixels(c);
        Poly tri{{0, 0}, {50, 0}, {0, 50}};
        RegionPolygon r[2] = {tri.region(), tri.region()};
        r[1].count = -4;
        EXPECT_EQ(AdjustImageStyleWithRegions(c, rc.styleBuf.data(), r, 2), -1);
        EXPECT_EQ(AdjustImageStyleWithRegions(c, rc.styleBuf.data(), r, -1), -1);
        EXPECT_EQ(AdjustImageStyleWithRegions(c, rc.styleBuf.data(), nullptr, 2), -1);
        r[1] = tri.region();
        r[1].xs = nullptr;
        EXPECT_EQ(AdjustImageStyleWithRegions2(c, nullptr, rc.styleBuf.data(), r, 2, nullptr, nullptr), -1);
        EXPECT_EQ(tfix::Pixels(c), first);
        // Other depths.
        void* deep = MakeEmptyDib(8, 8, 32, true);
        EXPECT_EQ(AdjustImageStyleWithRegions(deep, rc.styleBuf.data(), r, 1), -1);
        EXPECT_EQ(AdjustImageStyleWithRegions(nullptr, rc.styleBuf.data(), r, 1), -1);

        // An 8-bit image keeps its indices; its colour table is that of the
        // whole-image re-colouring whatever the regions.
        void* p1 = DecreaseBpp24to8(rc.original);
        void* p2 = tfix::Copy(p1);
        const std::vector<BYTE> indices = tfix::Pixels(p1);
        const std::vector<tagRGBQUAD> before8 = tfix::Colors(p1);
        Poly everything{{-5, -5}, {300, -5}, {300, 300}, {-5, 300}};
        RegionPolygon all = everything.region();
        Poly nothing{{1, 1}, {2, 2}};
        RegionPolygon none = nothing.region();
        EXPECT_EQ(AdjustImageStyleWithRegions(p1, rc.styleBuf.data(), &all, 1), 0);
        EXPECT_EQ(AdjustImageStyleWithRegions(p2, rc.styleBuf.data(), &none, 1), 0);
        EXPECT_EQ(tfix::Pixels(p1), indices);
        EXPECT_EQ(tfix::Pixels(p2), indices);
        const std::vector<tagRGBQUAD> c1 = tfix::Colors(p1), c2 = tfix::Colors(p2);
        int changed = 0;
        for (int i = 0; i < 256; ++i) {
            EXPECT_TRUE(tfix::Same(c1[i], c2[i]));
            changed += !tfix::Same(c1[i], before8[i]);
        }
        EXPECT_GT(changed, 0);
        for (void* hd : {a, b, wrong8, c, deep, p1, p2}) hv::FreeHandle(hd);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}
