// Strokes, their rasterisation into bottom-up rows, and point buffers.
#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "edit/linewalk.h"
#include "huevane/stroke.h"

namespace {

using Pts = std::vector<tagPOINT>;

wStroke Through(const Pts& pts, unsigned width = 0) {
    wStroke s(width);
    s.StartStroke();
    for (const tagPOINT& p : pts) s.AddPoint(p.x, p.y);
    s.FinishStroke();
    return s;
}

Pts Stored(dPointBuf& b) { return Pts(b.points, b.points + b.count); }

}  // namespace

static bool operator==(const tagPOINT& a, const tagPOINT& b) { return a.x == b.x && a.y == b.y; }

TEST(Stroke, BoundingRectKeepsLargestYInTop) {
    struct Case {
        Pts pts;
        unsigned width;
        CRect rect;
    } cases[] = {
        {{{10, 5}, {10, 5}, {13, 9}}, 2, CRect(8, 11, 15, 3)},
        {{{4, 7}}, 0, CRect(4, 7, 4, 7)},
        {{{3, -2}, {-6, 8}, {0, 1}}, 1, CRect(-7, 9, 4, -3)},
        // Sides past the 32-bit range stop at its limits.
        {{{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}}, 5, CRect(INT_MIN, INT_MAX, INT_MAX, INT_MIN)},
        {{{0, 0}}, 0xFFFFFFFFu, CRect(INT_MIN, INT_MAX, INT_MAX, INT_MIN)},
    };
    for (Case& c : cases) {
        wStroke s = Through(c.pts, c.width);
        EXPECT_TRUE(s.GetBoundingRect() == c.rect) << c.pts.size() << " points, width " << c.width;
        EXPECT_FALSE(s.IsDrawing());
    }
}

TEST(Stroke, StartAndFinishWithoutPoints) {
    wStroke s = Through({{1, 2}, {5, 9}}, 1);
    s.StartStroke();
    EXPECT_TRUE(s.IsDrawing());
    EXPECT_TRUE(s.GetBoundingRect() == CRect(0, 10, 6, 1));  // kept until the next finish
    EXPECT_EQ(s.GetPointList().size(), 0u);
    s.FinishStroke();
    EXPECT_TRUE(s.GetBoundingRect() == CRect());
    EXPECT_TRUE(s.IsDrawing());
    EXPECT_EQ(s.AddPoint(3, 3), 0);
    EXPECT_EQ(s.AddPoint(3, 3), 1);  // repeats are kept
    // A copy has a list of its own.
    wStroke copy = s;
    copy.AddPoint(9, 9);
    EXPECT_EQ(s.GetPointList().size(), 2u);
    EXPECT_EQ(copy.GetPointList().size(), 3u);
    EXPECT_EQ(copy.GetWidth(), 1u);
}

TEST(Stroke, MaxDiscretePointNum) {
    struct Case {
        Pts pts;
        int bound;
    } cases[] = {
        {{}, 0},
        {{{5, 5}}, 0},
        {{{0, 0}, {3, 1}, {3, 1}}, 5},
        {{{0, 0}, {-2, 7}}, 8},
        {{{1, 1}, {4, 4}, {0, 4}}, 9},
        {{{INT_MIN, 0}, {INT_MAX, 0}}, INT_MAX},
        {{{0, 0}, {1000000000, 0}, {0, 0}, {1000000000, 0}}, INT_MAX},
    };
    for (Case& c : cases) EXPECT_EQ(Through(c.pts).GetMaxDiscretePointNum(), c.bound) << c.pts.size() << " points";
}

TEST(Stroke, DiscreteToBuffDrawsBottomUpRows) {
    struct Case {
        Pts pts;
        int height;
        Pts pixels;
    } cases[] = {
        {{{0, 0}, {3, 1}}, 100, {{0, 99}, {1, 99}, {2, 98}, {3, 98}}},
        {{{0, 0}, {3, 1}, {3, 1}}, 100, {{0, 99}, {1, 99}, {2, 98}, {3, 98}}},
        // Drawn the other way the error term rounds differently.
        {{{3, 1}, {0, 0}}, 100, {{3, 98}, {2, 98}, {1, 99}, {0, 99}}},
        {{{0, 0}, {2, 2}}, 3, {{0, 2}, {1, 1}, {2, 0}}},
        {{{0, 0}, {1, 3}}, 10, {{0, 9}, {0, 8}, {1, 7}, {1, 6}}},
        {{{0, 3}, {4, 0}}, 4, {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}}},
        // The joint is stored once; equal points apart from each other twice.
        {{{0, 0}, {2, 0}, {2, 2}}, 3, {{0, 2}, {1, 2}, {2, 2}, {2, 1}, {2, 0}}},
        {{{0, 0}, {1, 0}, {0, 0}}, 1, {{0, 0}, {1, 0}, {0, 0}}},
        {{{7, 7}, {7, 7}}, 8, {{7, 0}}},
        {{{-2, 5}, {1, 5}}, 2, {{-2, -4}, {-1, -4}, {0, -4}, {1, -4}}},
    };
    for (Case& c : cases) {
        wStroke s = Through(c.pts);
        dPointBuf buf(s.GetMaxDiscretePointNum());
        EXPECT_EQ(s.DiscreteToBuff(c.height, &buf), 0);
        EXPECT_EQ(Stored(buf), c.pixels) << "from (" << c.pts[0].x << "," << c.pts[0].y << ")";
    }
}

TEST(Stroke, DiscreteToBuffRefusals) {
    dPointBuf buf(8);
    EXPECT_EQ(Through({{1, 1}}).DiscreteToBuff(5, &buf), -1);
    EXPECT_EQ(Through({}).DiscreteToBuff(5, &buf), -1);
    EXPECT_EQ(buf.count, 0);
    EXPECT_EQ(Through({{0, 0}, {5, 0}}).DiscreteToBuff(5, nullptr), -1);
    // A buffer too small keeps the first pixels and says so.
    dPointBuf small(3);
    EXPECT_EQ(Through({{0, 0}, {5, 0}}).DiscreteToBuff(1, &small), -2);
    EXPECT_EQ(Stored(small), (Pts{{0, 0}, {1, 0}, {2, 0}}));
    // Exactly full at the last pixel is no overflow.
    dPointBuf exact(6);
    EXPECT_EQ(Through({{0, 0}, {5, 0}, {5, 0}}).DiscreteToBuff(1, &exact), 0);
    EXPECT_EQ(exact.count, 6);
    // Far-apart ends: the buffer fills, no row outside 32 bits is stored.
    dPointBuf far(10);
    wStroke huge = Through({{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}});
    EXPECT_EQ(huge.DiscreteToBuff(INT_MAX, &far), -2);
    EXPECT_EQ(far.count, 10);
    EXPECT_EQ(far.points[0].x, -1);  // the first step whose row fits 32 bits
    EXPECT_EQ(far.points[0].y, INT_MAX);
    dPointBuf none(4);
    EXPECT_EQ(Through({{0, INT_MIN}, {3, INT_MIN}}).DiscreteToBuff(100, &none), 0);
    EXPECT_EQ(none.count, 0);
}

TEST(PointBuf, AddPointRefusesRepeatsAndOverflow) {
    dPointBuf b(2);
    EXPECT_EQ(b.AddPoint(5, 5), 0);
    EXPECT_EQ(b.AddPoint(5, 5), -1);
    EXPECT_EQ(b.GetPointNum(), 1);
    EXPECT_EQ(b.AddPoint(6, 5), 1);
    EXPECT_EQ(b.AddPoint(5, 5), -2);
    EXPECT_EQ(b.AddPoint(6, 5), -1);
    EXPECT_EQ(b.GetPointNum(), 2);
    EXPECT_EQ(b[1].x, 6);
    dPointBuf none(-4);
    EXPECT_EQ(none.capacity, 0);
    EXPECT_EQ(none.GetPoints(), nullptr);
    EXPECT_EQ(none.AddPoint(0, 0), -2);
}

TEST(PointBuf, CopiesOwnTheirArrays) {
    dPointBuf a(4);
    a.AddPoint(1, 2);
    a.AddPoint(3, 4);
    dPointBuf b(1);
    b = a;
    EXPECT_NE(b.points, a.points);
    EXPECT_EQ(b.capacity, 4);
    EXPECT_EQ(Stored(b), Stored(a));
    b.AddPoint(9, 9);
    EXPECT_EQ(a.count, 2);
    b = b;
    EXPECT_EQ(b.count, 3);
    dPointBuf c(b);
    EXPECT_NE(c.points, b.points);
    EXPECT_EQ(Stored(c), Stored(b));
    dPointBuf empty(0);
    c = empty;
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(c.capacity, 0);
}

// The clipped walk of the editing operations visits exactly the window's
// part of the full walk, in the same order.
TEST(LineWalk, ClippedWalkIsTheFullWalkFiltered) {
    std::mt19937 rng(7);
    const hv::Window win{0, 9, 0, 6};
    const hv::Window all{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX};
    for (int round = 0; round < 400; ++round) {
        const int64_t span = round < 300 ? 30 : 20000;
        std::uniform_int_distribution<int64_t> d(-span, span);
        const int64_t x0 = d(rng), y0 = d(rng) / (round % 3 + 1), x1 = d(rng), y1 = d(rng);
        std::vector<std::pair<int64_t, int64_t>> full, clipped;
        hv::WalkLine(x0, y0, x1, y1, all, [&](int64_t x, int64_t y) {
            if (x >= win.xlo && x <= win.xhi && y >= win.ylo && y <= win.yhi) full.push_back({x, y});
            return true;
        });
        hv::WalkLine(x0, y0, x1, y1, win, [&](int64_t x, int64_t y) {
            clipped.push_back({x, y});
            return true;
        });
        ASSERT_EQ(clipped, full) << x0 << "," << y0 << " to " << x1 << "," << y1;
    }
}

TEST(LineWalk, StepsComputedWithoutOverflow) {
    // A nearly horizontal line across the whole 32-bit range: the row steps
    // once, half way, at x = 0 (the middle of the line).
    std::vector<std::pair<int64_t, int64_t>> seen;
    hv::WalkLine(INT32_MIN, 0, INT32_MAX, 1, hv::Window{-2, 1, -5, 5}, [&](int64_t x, int64_t y) {
        seen.push_back({x, y});
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::pair<int64_t, int64_t>>{{-2, 0}, {-1, 0}, {0, 1}, {1, 1}}));
    uint64_t q = 0, r = 0;
    hv::MulAddDiv(0xFFFFFFFFull, 0xFFFFFFFFull, 5, 0x100000000ull, &q, &r);
    EXPECT_EQ(q, 0xFFFFFFFEull);
    EXPECT_EQ(r, 6u);
}
