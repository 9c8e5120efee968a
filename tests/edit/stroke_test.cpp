// Strokes, their rasterisation into bottom-up rows, and point buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "edit/edit_fixtures.h"
#include "edit/linewalk.h"

using namespace ed;

namespace {
using Walk = std::vector<std::pair<int64_t, int64_t>>;
Walk Stored(const dPointBuf& b) {
    Walk w;
    for (int k = 0; k < b.count; ++k) w.push_back({b.points[k].x, b.points[k].y});
    return w;
}

// The walk done step by step with a running error term: the reference for
// the closed form of the line walk.
Walk StepWalk(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    const int64_t adx = x1 > x0 ? x1 - x0 : x0 - x1, ady = y1 > y0 ? y1 - y0 : y0 - y1;
    const int64_t sx = x1 > x0 ? 1 : (x1 < x0 ? -1 : 0), sy = y1 > y0 ? 1 : (y1 < y0 ? -1 : 0);
    const bool xMajor = adx > ady;
    const int64_t aM = xMajor ? adx : ady, am = xMajor ? ady : adx;
    Walk out;
    int64_t x = x0, y = y0, err = aM / 2;
    for (int64_t k = 0; k <= aM; ++k) {
        out.push_back({x, y});
        err += am;
        const bool step = err >= aM;
        if (step) err -= aM;
        x += xMajor || step ? sx : 0;
        y += !xMajor || step ? sy : 0;
    }
    return out;
}
}  // namespace

TEST(Stroke, BoundingRectKeepsLargestYInTopAndALengthBound) {
    const CRect full(INT_MIN, INT_MAX, INT_MAX, INT_MIN);
    struct Case {
        Pts pts;
        unsigned width;
        CRect rect;
        int bound;  // the pixels a rasterisation can give
    } cases[] = {
        {{{10, 5}, {10, 5}, {13, 9}}, 2, CRect(8, 11, 15, 3), 1 + 5},
        {{{4, 7}}, 0, CRect(4, 7, 4, 7), 0},
        {{{3, -2}, {-6, 8}, {0, 1}}, 1, CRect(-7, 9, 4, -3), 11 + 8},
        {{{0, 0}, {-2, 7}}, 0, CRect(-2, 7, 0, 0), 8},
        {{{1, 1}, {4, 4}, {0, 4}}, 0, CRect(0, 4, 4, 1), 9},
        // Sides and sums past the 32-bit range stop at its limits.
        {{{INT_MIN, INT_MAX}, {INT_MAX, INT_MIN}}, 5, full, INT_MAX},
        {{{0, 0}}, 0xFFFFFFFFu, full, 0},
        {{{0, 0}, {1000000000, 0}, {0, 0}, {1000000000, 0}}, 0, CRect(0, 0, 1000000000, 0), INT_MAX},
    };
    for (Case& c : cases) {
        wStroke s = Stroke(c.pts, c.width);
        EXPECT_TRUE(s.GetBoundingRect() == c.rect && !s.IsDrawing())
            << c.pts.size() << " points, width " << c.width;
        EXPECT_EQ(s.GetMaxDiscretePointNum(), c.bound) << c.pts.size() << " points";
    }
    wStroke s = Stroke({{1, 2}, {5, 9}}, 1);
    s.StartStroke();
    EXPECT_TRUE(s.IsDrawing() && s.GetPointList().empty() && s.GetMaxDiscretePointNum() == 0);
    EXPECT_TRUE(s.GetBoundingRect() == CRect(0, 10, 6, 1));  // kept until the next finish
    s.FinishStroke();
    EXPECT_TRUE(s.GetBoundingRect() == CRect() && s.IsDrawing());
    EXPECT_EQ((V{s.AddPoint(3, 3), s.AddPoint(3, 3)}), (V{0, 1}));  // repeats are kept
    wStroke copy = s;                                               // with a list of its own
    copy.AddPoint(9, 9);
    EXPECT_EQ(s.GetPointList().size(), 2u);
}

// The full walk is the step-by-step one; the clipped walk of the editing
// operations visits exactly the window's part of it, in the same order; a
// stroke's pixels are its segments' walks in flipped rows, without a pixel
// repeated in a row (each joint is stored once).
TEST(LineWalk, WalksFollowTheStepByStepWalkClippedFlippedAndJoined) {
    std::mt19937 rng(7);
    const hv::Window win{0, 9, 0, 6}, all{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX};
    for (int round = 0; round < 400; ++round) {
        std::uniform_int_distribution<int64_t> d(-(round < 300 ? 30 : 20000), round < 300 ? 30 : 20000);
        const int64_t x0 = d(rng), y0 = d(rng) / (round % 3 + 1), x1 = d(rng), y1 = d(rng);
        Walk whole, full, clipped;
        hv::WalkLine(x0, y0, x1, y1, all, [&](int64_t x, int64_t y) {
            return whole.push_back({x, y}), true;
        });
        ASSERT_EQ(whole, StepWalk(x0, y0, x1, y1)) << x0 << "," << y0 << " to " << x1 << "," << y1;
        for (const auto& p : whole)
            if (p.first >= win.xlo && p.first <= win.xhi && p.second >= win.ylo && p.second <= win.yhi)
                full.push_back(p);
        hv::WalkLine(x0, y0, x1, y1, win, [&](int64_t x, int64_t y) {
            return clipped.push_back({x, y}), true;
        });
        ASSERT_EQ(clipped, full) << x0 << "," << y0 << " to " << x1 << "," << y1;
        // Strokes of one to four segments, repeated points included, as rows of a 5-row image.
        Pts pts(2 + round % 4);
        for (tagPOINT& p : pts) p = {static_cast<LONG>(x0 + d(rng) % 4), static_cast<LONG>(y1 + d(rng) % 3)};
        Walk want;
        for (size_t i = 1; i < pts.size(); ++i)
            for (auto& p : StepWalk(pts[i - 1].x, 4 - pts[i - 1].y, pts[i].x, 4 - pts[i].y))
                if (want.empty() || p != want.back()) want.push_back(p);
        wStroke s = Stroke(pts);
        dPointBuf buf(s.GetMaxDiscretePointNum());
        ASSERT_EQ(s.DiscreteToBuff(5, &buf), 0);
        ASSERT_EQ(Stored(buf), want) << round;
    }
    // A nearly horizontal line across the whole 32-bit range: the row steps
    // once, half way, at x = 0 (the middle of the line).
    Walk seen;
    hv::WalkLine(INT32_MIN, 0, INT32_MAX, 1, hv::Window{-2, 1, -5, 5}, [&](int64_t x, int64_t y) {
        return seen.push_back({x, y}), true;
    });
    EXPECT_EQ(seen, (Walk{{-2, 0}, {-1, 0}, {0, 1}, {1, 1}}));
    uint64_t q = 0, r = 0;
    hv::MulAddDiv(0xFFFFFFFFull, 0xFFFFFFFFull, 5, 0x100000000ull, &q, &r);
    EXPECT_EQ((std::vector<uint64_t>{q, r}), (std::vector<uint64_t>{0xFFFFFFFEull, 6u}));
}

TEST(Stroke, DiscreteToBuffNeedsTwoPointsAndRoomAndStaysWithin32Bits) {
    dPointBuf buf(8), small(3), exact(6), far(10), none(100);
    EXPECT_EQ((V{Stroke({{1, 1}}).DiscreteToBuff(5, &buf),
                 Stroke({{0, 0}, {5, 0}}).DiscreteToBuff(5, nullptr), buf.count}),
              (V{-1, -1, 0}));
    // A buffer too small keeps the first pixels and says so; exactly full is no overflow.
    EXPECT_EQ(Stroke({{0, 0}, {5, 0}}).DiscreteToBuff(1, &small), -2);
    EXPECT_EQ(Stored(small), (Walk{{0, 0}, {1, 0}, {2, 0}}));
    EXPECT_EQ(Stroke({{0, 0}, {5, 0}, {5, 0}}).DiscreteToBuff(1, &exact), 0);
    EXPECT_EQ(exact.count, 6);
    // Far-apart ends: the buffer fills from the first step whose row fits
    // 32 bits; a row beyond them gives no pixel.
    EXPECT_EQ(Stroke({{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}).DiscreteToBuff(INT_MAX, &far), -2);
    EXPECT_EQ((V{far.count, far.points[0].x, far.points[0].y}), (V{10, -1, INT_MAX}));
    EXPECT_EQ(Stroke({{0, INT_MIN}, {3, INT_MIN}}).DiscreteToBuff(100, &none), 0);
    EXPECT_EQ(none.count, 0);
}

TEST(PointBuf, RefusesRepeatsAndOverflowAndCopiesOwnTheirArrays) {
    dPointBuf b(2), none(-4), c(1), empty(0);
    EXPECT_EQ((V{b.AddPoint(5, 5), b.AddPoint(5, 5), b.AddPoint(6, 5), b.AddPoint(5, 5), b.AddPoint(6, 5)}),
              (V{0, -1, 1, -2, -1}));
    EXPECT_TRUE(b.GetPointNum() == 2 && b[1].x == 6);
    EXPECT_TRUE(none.capacity == 0 && none.GetPoints() == nullptr && none.AddPoint(0, 0) == -2);
    c = b;
    c = c;
    c.count = 1;  // the copy has an array of its own
    EXPECT_TRUE(c.capacity == 2 && c.points[0].x == 5 && c.AddPoint(7, 7) == 1 && b[1].x == 6);
    dPointBuf d(c);
    EXPECT_TRUE(d.points != c.points && Stored(d) == Stored(c) && d.AddPoint(1, 1) == -2);
    d = empty;
    EXPECT_EQ((V{d.count, d.capacity}), (V{0, 0}));
}
