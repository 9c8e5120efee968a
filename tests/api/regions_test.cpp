// Region style application: the even-odd scan-line fill and the regions
// kept in their first colours.
#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "huevane/huevane.h"
#include "transfer/regionfill.h"
#include "transfer/transfer_fixtures.h"

namespace {

using Span = std::array<int, 3>;  // y, xa, xb

struct Poly {
    std::vector<int32_t> xs, ys;
    Poly(std::initializer_list<std::pair<int, int>> pts) {
        for (auto& p : pts) xs.push_back(p.first), ys.push_back(p.second);
    }
    RegionPolygon region() { return RegionPolygon{static_cast<int32_t>(xs.size()), xs.data(), ys.data()}; }
};

std::vector<Span> Spans(std::vector<RegionPolygon> regions, int w, int h) {
    hv::RegionFill fill;
    EXPECT_TRUE(fill.Build(regions.data(), static_cast<int>(regions.size())));
    std::vector<Span> out;
    fill.ForEachSpan(w, h, [&](int y, int xa, int xb) { out.push_back({y, xa, xb}); });
    return out;
}

}  // namespace

TEST(RegionFill, ShapesOverlapsClippingAndBadLists) {
    // A rectangle: rows 20..39, the row of largest y not filled.
    Poly rect{{10, 20}, {30, 20}, {30, 40}, {10, 40}};
    std::vector<Span> want;
    for (int y = 20; y < 40; ++y) want.push_back({y, 10, 30});
    EXPECT_EQ(Spans({rect.region()}, 100, 100), want);

    // A triangle and a pentagon, each with its own vertex count.
    Poly tri{{0, 0}, {10, 0}, {0, 10}}, penta{{50, 0}, {60, 5}, {60, 15}, {40, 15}, {40, 5}};
    want.clear();
    for (int y = 0; y < 15; ++y) {
        if (y < 10) want.push_back({y, 0, 10 - y});
        want.push_back(y < 5 ? Span{y, 50 - 2 * y, 50 + 2 * y} : Span{y, 40, 60});
    }
    EXPECT_EQ(Spans({tri.region(), penta.region()}, 100, 100), want);

    // Overlapping squares: even-odd over all edges leaves the overlap out.
    Poly a{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, b{{5, 5}, {15, 5}, {15, 15}, {5, 15}};
    want.clear();
    for (int y = 0; y < 15; ++y) {
        if (y < 10) want.push_back({y, 0, y < 5 ? 10 : 5});
        if (y >= 5) want.push_back({y, y < 10 ? 10 : 5, 15});
    }
    EXPECT_EQ(Spans({a.region(), b.region()}, 100, 100), want);

    // Clipped to the picture, however far outside the vertices lie; a
    // slanted edge entering from above keeps its course.
    Poly huge{{INT_MIN, INT_MIN}, {INT_MAX, INT_MIN}, {INT_MAX, INT_MAX}, {INT_MIN, INT_MAX}};
    want.clear();
    for (int y = 0; y < 20; ++y) want.push_back({y, 0, 29});
    EXPECT_EQ(Spans({huge.region()}, 30, 20), want);
    Poly slant{{0, -10}, {20, 10}, {0, 10}};
    const std::vector<Span> s = Spans({slant.region()}, 30, 20);
    ASSERT_EQ(s.size(), 10u);
    EXPECT_EQ(s[0], (Span{0, 0, 10}));
    EXPECT_EQ(s[9], (Span{9, 0, 19}));
    Poly flat{{0, 5}, {20, 5}, {40, 5}}, two{{0, 0}, {10, 10}};
    EXPECT_TRUE(Spans({flat.region(), two.region()}, 100, 100).empty());

    // Malformed lists are refused.
    hv::RegionFill fill;
    RegionPolygon bad[2] = {tri.region(), tri.region()};
    bad[1].count = -1;
    EXPECT_FALSE(fill.Build(bad, 2));
    bad[1] = tri.region();
    bad[1].ys = nullptr;
    EXPECT_FALSE(fill.Build(bad, 2));
    EXPECT_FALSE(fill.Build(nullptr, 1));
    EXPECT_FALSE(fill.Build(bad, -1));
}

TEST(AdjustImageStyleWithRegions, KeepsRegionsInTheirFirstColours) {
    const long handles = hv::LiveHandles();
    {
        void* original = tfix::Photo("autumn_256.bmp");
        void* style = tfix::Photo("cups_256.bmp");
        ASSERT_NE(original, nullptr);
        std::vector<char> styleBuf = tfix::StyleOf(style), own = tfix::StyleOf(original);
        const std::vector<BYTE> first = tfix::Pixels(original);
        void* whole = tfix::Copy(original);
        EXPECT_EQ(AdjustImageStyle(whole, styleBuf.data(), nullptr), 0);

        // Expected: the whole re-colouring with the spans' pixels from the
        // first image (rows counted from the top).
        Poly rect{{10, 20}, {30, 20}, {30, 40}, {10, 40}}, tri{{100, 50}, {140, 50}, {100, 90}};
        RegionPolygon regions[2] = {rect.region(), tri.region()};
        std::vector<BYTE> want = tfix::Pixels(whole);
        ASSERT_NE(want, first);
        size_t kept = 0;
        for (const Span& sp : Spans({regions[0], regions[1]}, 256, 160)) {
            const size_t row = static_cast<size_t>(159 - sp[0]) * 256 * 3;
            for (int x = sp[1]; x <= sp[2]; ++x, ++kept)
                for (int c = 0; c < 3; ++c) want[row + 3 * x + c] = first[row + 3 * x + c];
        }
        EXPECT_EQ(kept, 20u * 21 + 860);  // rectangle rows 20..39, triangle widths 41 down to 2
        void* img = tfix::Copy(original);
        EXPECT_EQ(AdjustImageStyleWithRegions(img, styleBuf.data(), regions, 2), 0);
        EXPECT_EQ(tfix::Pixels(img), want);
        // The second form takes the target buffer before the style buffer.
        void* img2 = tfix::Copy(original);
        EXPECT_EQ(AdjustImageStyleWithRegions2(img2, own.data(), styleBuf.data(), regions, 2, nullptr, nullptr), 0);
        EXPECT_EQ(tfix::Pixels(img2), want);

        // Malformed lists and other depths: refused, image unchanged.
        void* c = tfix::Copy(original);
        regions[1].count = -4;
        EXPECT_EQ(AdjustImageStyleWithRegions(c, styleBuf.data(), regions, 2), -1);
        EXPECT_EQ(AdjustImageStyleWithRegions(c, styleBuf.data(), nullptr, 2), -1);
        EXPECT_EQ(tfix::Pixels(c), first);
        void* deep = MakeEmptyDib(8, 8, 32, true);
        EXPECT_EQ(AdjustImageStyleWithRegions(deep, styleBuf.data(), regions, 1), -1);
        for (void* h : {original, style, whole, img, img2, c, deep}) hv::FreeHandle(h);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}
