// Moving colours between pockets with strokes, pixel runs and cuts.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "edit/edit_fixtures.h"

using namespace ed;

namespace {

// Reds 0, 1, 7, 8 (8 near the others), greens 2, 3, blues 4, 5, grey 6.
const std::map<int, tagRGBQUAD> kColours = {
    {0, Rgb(200, 0, 0)},   {1, Rgb(190, 10, 10)},   {2, Rgb(0, 200, 0)}, {3, Rgb(10, 190, 10)}, {4, Rgb(0, 0, 200)},
    {5, Rgb(10, 10, 190)}, {6, Rgb(128, 128, 128)}, {7, Rgb(205, 5, 5)}, {8, Rgb(198, 4, 4)},
};
// Rows from the top as the user sees them.
const std::vector<V> kRows = {
    {0, 0, 0, 1, 2, 2, 3, 3},
    {4, 4, 5, 5, 5, 6, 7, 7},
    {0, 1, 2, 3, 4, 5, 6, 7},
    {8, 6, 5, 4, 3, 2, 1, 0},
};
const G kPockets = {{0, 1}, {2, 3}, {4}};

}  // namespace

TEST(MoveClrItem, CarriesCountsSharesAndMeans) {
    Scene s(kRows, kColours, {{0, 1, 7}, {2}});
    ccColorPocket *a = s.P(0), *b = s.P(1);
    a->percentage = 0.5f;
    b->percentage = 0.25f;
    s.t.palette[1].percentage = 0.125f;
    EXPECT_EQ((V{s.t.MoveClrItem(a, 0, a), s.t.MoveClrItem(nullptr, 0, a), s.t.MoveClrItem(a, 0, nullptr)}),
              (V{-1, -1, -1}));
    EXPECT_THROW(s.t.MoveClrItem(a, 3, b), std::out_of_range);
    EXPECT_THROW(s.t.MoveClrItem(a, -1, b), std::out_of_range);
    EXPECT_EQ(s.t.MoveClrItem(a, 1, b), 0);
    EXPECT_EQ(Groups(s.t), (G{{0, 7}, {2, 1}}));
    EXPECT_FLOAT_EQ(a->percentage, 0.375f);
    EXPECT_FLOAT_EQ(b->percentage, 0.375f);
    ExpectConsistent(s.t);
    // An emptied pocket keeps its last colour and stays.
    s.t.MoveClrItem(a, 0, b);
    const tagRGBQUAD last = a->aveRGB;
    const uint32_t lastHsl = a->aveHSL;
    s.t.MoveClrItem(a, 0, b);
    EXPECT_EQ((V{a->items.GetSize(), a->pixelNum, s.t.pockets.GetSize()}), (V{0, 0, 2}));
    EXPECT_TRUE(RgbWord(a->aveRGB) == RgbWord(last) && a->aveHSL == lastHsl);
    ExpectConsistent(s.t);
}

TEST(StrokeEdits, NewPocketTakesTheColoursUnderTheStrokeAndNearColours) {
    struct Case {
        const char* what;
        G pockets;
        Pts stroke;
        G after;
    } cases[] = {
        // A click rasterises to nothing: the new pocket comes and goes.
        {"click", kPockets, {{2, 1}}, kPockets},
        // Moved from A (which goes when emptied), then 7 and 8 by nearness.
        {"row 0", kPockets, {{0, 0}, {3, 0}}, {{2, 3}, {4}, {0, 1, 7, 8}}},
        {"row 0, A keeps grey", {{0, 1, 6}, {2, 3}, {4}}, {{0, 0}, {3, 0}}, {{6}, {2, 3}, {4}, {0, 1, 7, 8}}},
        // Far ends: only the pixels inside the image count.
        {"huge", kPockets, {{INT_MIN, 0}, {INT_MAX, 0}}, {{4}, {0, 1, 2, 3}}},
        // Only free colours: the first one decides the hue (blue 5; grey 6
        // and red 7 refused), nothing near.
        {"free", {{0, 1}, {2, 3}}, {{3, 1}, {7, 1}}, {{0, 1}, {2, 3}, {5}}},
        {"outside", kPockets, {{-5, -1}, {20, -1}}, kPockets},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, c.pockets);
        wStroke st = Stroke(c.stroke);
        ASSERT_EQ(s.t.NewPocket(&st), 0) << c.what;
        EXPECT_EQ(Groups(s.t), c.after) << c.what;
        ExpectConsistent(s.t);
        EXPECT_TRUE(c.after == c.pockets || (s.Last()->origin == 3 && s.Last()->selState == -1)) << c.what;
        // Shares come only with the moved colours.
        const float moved = s.t.palette[0].percentage + s.t.palette[1].percentage;
        const bool rowZero = c.after.back() == V{0, 1, 7, 8};
        EXPECT_FLOAT_EQ(s.Last()->percentage, rowZero ? moved : s.Last()->percentage) << c.what;
    }
}

TEST(StrokeEdits, NearColourPassNeedsATakenColourAndPixels) {
    // Dark greys: 0, 50 and 53 in the image, 52 only in the palette (no pixels).
    const std::map<int, tagRGBQUAD> colours = {
        {0, Rgb(7, 7, 7)}, {50, Rgb(5, 5, 5)}, {51, Rgb(200, 0, 0)}, {52, Rgb(8, 8, 8)}, {53, Rgb(9, 9, 9)}};
    struct Case {
        Pts stroke;
        G after;
    } cases[] = {{{{0, 0}, {1, 0}}, {{51}, {50, 0, 53}}}, {{{0, 0}}, {{51}}}};  // a click takes nothing
    for (Case& c : cases) {
        Scene s({{50, 50, 53, 51, 0}}, colours, {{51}});
        wStroke st = Stroke(c.stroke);
        ASSERT_EQ(s.t.NewPocket(&st), 0);
        EXPECT_EQ(Groups(s.t), c.after) << c.stroke.size() << " points";
        ExpectConsistent(s.t);
    }
}

TEST(StrokeEdits, AddingGrowsTheOneStrokeSelectedPocketWithFreeColours) {
    const Pts row1 = {{0, 1}, {7, 1}};
    struct Case {
        V selState;
        Pts stroke;
        int result;
        G after;
    } cases[] = {
        {{-1, -1, -1}, row1, -2, kPockets},
        {{-1, 300, -1}, row1, -2, kPockets},  // selected, but not by a stroke mark
        {{256, -1, 256}, row1, -3, kPockets},
        // Free blue 5 taken once, grey 6 and red 7 refused.
        {{-1, -1, 256}, row1, 0, {{0, 1}, {2, 3}, {4, 5}}},
        // Colours of other pockets stay where they are.
        {{-1, -1, 256}, {{0, 2}, {7, 2}}, 0, {{0, 1}, {2, 3}, {4, 5}}},
        {{256, -1, -1}, {{0, 3}, {7, 3}}, 0, {{0, 1, 8}, {2, 3}, {4}}},
        {{-1, -1, 256}, {{4, 1}}, 0, kPockets},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, kPockets);
        s.Select(c.selState);
        wStroke st = Stroke(c.stroke);
        EXPECT_EQ(s.t.AddToSelFromStroke(&st), c.result);
        EXPECT_EQ(Groups(s.t), c.after);
        ExpectConsistent(s.t);
    }
}

TEST(StrokeEdits, DetachingMovesOnlyColoursOfStrokeSelectedPockets) {
    struct Case {
        V selState;
        G after;
    } cases[] = {
        // Over row 2 (0..7): A's 0 and 1 move, free red 7 joins, free blue 5
        // and grey 6 are refused; B and C stay; no near-colour pass (8 stays free).
        {{256, -1, -1}, {{2, 3}, {4}, {0, 1, 7}}},
        {{256, 300, -1}, {{2, 3}, {4}, {0, 1, 7}}},
        {{256, 256, -1}, {{4}, {0, 1, 2, 3}}},
        // Nothing selected: only free colours; the first, 5, sets the hue.
        {{-1, -1, -1}, {{0, 1}, {2, 3}, {4}, {5}}},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, kPockets);
        s.Select(c.selState);
        wStroke st = Stroke({{0, 2}, {7, 2}});
        ASSERT_EQ(s.t.DetachColor(&st), 0);
        EXPECT_EQ(Groups(s.t), c.after);
        EXPECT_EQ(s.Last()->origin, 2);
        ExpectConsistent(s.t);
    }
}

TEST(StrokeEdits, EditsRefuseWithoutAUsablePaletteImageOrStroke) {
    Scene s(kRows, kColours, kPockets);
    s.Select({256});
    wStroke none(3);
    EXPECT_EQ((V{s.t.AddToSelFromStroke(&none), s.t.NewPocket(&none), s.t.DetachColor(&none), s.t.NewPocket(nullptr),
                 s.t.MergePocketOnStroke(nullptr), s.t.GetColorPocketsFromCut(nullptr),
                 s.t.GetBackground(static_cast<tagRECT*>(nullptr))}),
              (V{-1, -1, -1, -1, -1, -3, -1}));
    EXPECT_EQ(Groups(s.t), kPockets);
    // No palette image, one of 16 colours, one of 24 bits: nothing changes.
    for (void* d : {static_cast<void*>(nullptr), xt::Image8(4, 1, {0, 1, 2, 3}, {}, 16), xt::Image(24, 4, 1, {0})}) {
        xt::HostDib dib(d);
        const std::vector<BYTE> bytes = d ? Pixels(d) : std::vector<BYTE>();
        Scene u(kRows, kColours, {{0}});
        u.t.SetPalDib(d, false);
        u.Select({256});
        wStroke st = Stroke({{0, 0}, {1, 0}});
        dPointBuf buf(2);
        buf.AddPoint(0, 0);
        buf.AddPoint(1, 0);
        cPointsCut cut{buf.points, 2};
        tagRECT r{0, 0, 1, 1};
        EXPECT_EQ((V{u.t.AddToSelFromStroke(&st), u.t.NewPocket(&st), u.t.DetachColor(&st), u.t.MergePocketOnStroke(&buf),
                     u.t.GetColorPocketsFromCut(&cut), u.t.GetBackground(&r), u.t.GetBackground(&st),
                     u.t.HighlightColors(nullptr, true), u.t.highlighted}),
                  (V{-1, -1, -1, -1, -1, -1, -1, -1, 0}));
        u.t.highlighted = true;
        EXPECT_EQ(u.t.UnhighlightColors(), -1);
        EXPECT_TRUE(u.t.highlighted);
        EXPECT_EQ(Groups(u.t), (G{{0}}));
        EXPECT_EQ(d ? Pixels(d) : bytes, bytes);
        u.t.SetPalDib(nullptr, false);
    }
}

TEST(MergePocketOnStroke, MovesExactlyTheColoursUnderLaterPixels) {
    const std::map<int, tagRGBQUAD> colours = {{20, Rgb(10, 0, 0)}, {21, Rgb(20, 0, 0)}, {22, Rgb(30, 0, 0)},
                                               {23, Rgb(40, 0, 0)}, {24, Rgb(50, 0, 0)}, {25, Rgb(60, 0, 0)},
                                               {26, Rgb(70, 0, 0)}};
    const std::vector<V> rows = {{20, 21, 22, 23, 24, 25, 26}, {26, 26, 26, 26, 26, 26, 23}};
    const G before = {{20}, {21, 22, 23, 24, 25}};
    struct Case {
        Pts pixels;  // palette image columns and storage rows
        int result;
        G after;
    } cases[] = {
        // 22 and 25 are Q's 2nd and 5th items; free 26, outside and the
        // target's own colours are passed over.
        {{{0, 1}, {2, 1}, {6, 1}, {9, 1}, {-1, 0}, {5, 1}, {0, 1}}, 0, {{20, 22, 25}, {21, 23, 24}}},
        // Q emptied: it stays.
        {{{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}, 0, {{20, 21, 22, 23, 24, 25}, {}}},
        {{{0, 1}, {6, 0}}, 0, {{20, 23}, {21, 22, 24, 25}}},  // storage row 0 is read too
        {{{3, 1}, {0, 1}}, 0, {{}, {21, 22, 23, 24, 25, 20}}},
        // No pocket under the first pixel: nothing changes.
        {{{6, 1}, {0, 1}}, -2, before},
        {{{3, 0}, {0, 1}}, -2, before},
        {{{7, 1}, {0, 1}}, -2, before},
        {{{0, INT_MIN}, {0, 1}}, -2, before},
        {{{0, 1}}, -1, before},
    };
    for (Case& c : cases) {
        Scene s(rows, colours, before);
        dPointBuf buf(static_cast<int>(c.pixels.size()) + 1);
        for (const tagPOINT& p : c.pixels) buf.AddPoint(p.x, p.y);
        buf.points[buf.count] = {3, 1};  // past the count: not read
        EXPECT_EQ(s.t.MergePocketOnStroke(&buf), c.result);
        EXPECT_EQ(Groups(s.t), c.after);
        ExpectConsistent(s.t);
    }
    // The pixels of a rasterised stroke: 0 0 0 1 2 2 3 3, then 7 (free).
    Scene s(kRows, kColours, kPockets);
    wStroke st = Stroke({{0, 0}, {7, 0}, {7, 1}});
    dPointBuf buf(st.GetMaxDiscretePointNum());
    ASSERT_EQ(st.DiscreteToBuff(s.h, &buf), 0);
    EXPECT_EQ(s.t.MergePocketOnStroke(&buf), 0);
    EXPECT_EQ(Groups(s.t), (G{{0, 1, 2, 3}, {}, {4}}));
}

TEST(GetColorPocketsFromCut, GathersTheColoursBeforeTheStrongestEdge) {
    // Brightness 10 (30, 31, 32), 200 (33, 34, 35), 0 (40) and 100 (41).
    const std::map<int, tagRGBQUAD> colours = {{30, Rgb(10, 10, 10)},    {31, Rgb(12, 9, 9)},
                                               {32, Rgb(8, 11, 11)},     {33, Rgb(200, 200, 200)},
                                               {34, Rgb(210, 195, 195)}, {35, Rgb(190, 205, 205)},
                                               {40, Rgb(0, 0, 0)},       {41, Rgb(100, 100, 100)}};
    const std::vector<V> rows = {{30, 31, 32, 33, 34, 35}, {40, 40, 41, 41, 40, 40}};
    const Pts top = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}};
    const Pts mixed = {{-1, 0}, {0, 0}, {1, 0}, {9, 0}, {2, 0}, {3, 0}, {0, 7}, {4, 0}, {5, 0}, {0, -1}};
    const G two = {{30, 31}, {32, 33, 34, 35}};
    struct Case {
        const char* what;
        G pockets;
        V origins;
        Pts cut;
        int result;
        G after;
    } cases[] = {
        // Edge at 2: points 0 and 1 into a new pocket; the emptied one stays.
        {"new", two, {0, 0}, top, 0, {{}, {32, 33, 34, 35}, {30, 31}}},
        {"outside points dropped", two, {0, 0}, mixed, 0, {{}, {32, 33, 34, 35}, {30, 31}}},
        // A pocket made by an edit before is reused.
        {"reuse", {{30}, {31, 32, 33, 34, 35}}, {2, 0}, top, 0, two},
        {"reuse later", {{31}, {30, 32, 33}, {34, 35}}, {3, 0, 0}, top, 0, {{31, 30}, {32, 33}, {34, 35}}},
        // The pocket under the edge point itself is not a candidate.
        {"edge point", two, {0, 2}, top, 0, {{}, {32, 33, 34, 35}, {30, 31}}},
        // Free colours stay free; the new pocket, left empty, goes.
        {"free", {{32, 33, 34, 35}}, {0}, top, 0, {{32, 33, 34, 35}}},
        {"four points", two, {0, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, -3, two},
        {"no points", two, {0, 0}, {}, -3, two},
        // Steps of 50 at 1 and at 3: the first wins, gathering point 0 only.
        {"tie", {{40}, {41}}, {0, 0}, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}, 0, {{}, {41}, {40}}},
    };
    for (Case& c : cases) {
        Scene s(rows, colours, c.pockets);
        for (size_t k = 0; k < c.origins.size(); ++k) s.P(static_cast<int>(k))->origin = c.origins[k];
        cPointsCut cut{c.cut.empty() ? nullptr : c.cut.data(), c.cut.empty() ? 9 : static_cast<int>(c.cut.size())};
        EXPECT_EQ(s.t.GetColorPocketsFromCut(&cut), c.result) << c.what;
        EXPECT_EQ(Groups(s.t), c.after) << c.what;
        EXPECT_TRUE(c.after.size() <= c.pockets.size() || s.Last()->origin == 1) << c.what;  // a new pocket
        ExpectConsistent(s.t);
    }
    // A fall in brightness at the last candidate (100 100 100 100 0): edge at 3.
    Scene f({{70, 71, 72, 70, 73}},
            {{70, Rgb(100, 100, 100)}, {71, Rgb(101, 100, 99)}, {72, Rgb(99, 100, 101)}, {73, Rgb(0, 0, 0)}},
            {{70, 71, 72}, {73}});
    Pts line = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    cPointsCut fall{line.data(), 5};
    EXPECT_EQ(f.t.GetColorPocketsFromCut(&fall), 0);
    EXPECT_EQ(Groups(f.t), (G{{}, {73}, {70, 71, 72}}));
    // The mean before s is over its s + 1 points: 0 10 100 0 0 has its edge at 2.
    Scene m({{80, 81, 82, 80, 80}}, {{80, Rgb(0, 0, 0)}, {81, Rgb(10, 10, 10)}, {82, Rgb(100, 100, 100)}},
            {{80, 81}, {82}});
    EXPECT_EQ(m.t.GetColorPocketsFromCut(&fall), 0);
    EXPECT_EQ(Groups(m.t), (G{{}, {82}, {80, 81}}));
    // Brightness is the channel sum over 3, truncated: 0 0 0 4 0 puts the edge at 2.
    Scene s({{60, 63, 60, 61, 60}}, {{60, Rgb(0, 0, 0)}, {61, Rgb(4, 4, 4)}, {63, Rgb(1, 0, 1)}}, {{60, 63}, {61}});
    Pts pts = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
    cPointsCut cut{pts.data(), 5};
    EXPECT_EQ(s.t.GetColorPocketsFromCut(&cut), 0);
    EXPECT_EQ(Groups(s.t), (G{{}, {61}, {60, 63}}));
}
