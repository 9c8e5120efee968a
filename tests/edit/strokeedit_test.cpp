// Moving colours between pockets with strokes, pixel runs and cuts.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "edit/edit_fixtures.h"

namespace {

using ed::G;
using ed::Rgb;
using ed::Scene;
using ed::Stroke;
using Pts = std::vector<tagPOINT>;

// The address of a temporary stroke, valid for the call it is passed to.
wStroke* Ptr(wStroke&& s) { return &s; }

// Reds 0, 1, 7, 8 (8 near the others), greens 2, 3, blues 4, 5, grey 6.
const std::map<int, tagRGBQUAD> kColours = {
    {0, Rgb(200, 0, 0)},     {1, Rgb(190, 10, 10)}, {2, Rgb(0, 200, 0)},  {3, Rgb(10, 190, 10)}, {4, Rgb(0, 0, 200)},
    {5, Rgb(10, 10, 190)},   {6, Rgb(128, 128, 128)}, {7, Rgb(205, 5, 5)}, {8, Rgb(198, 4, 4)},
};
// Rows from the top as the user sees them.
const std::vector<ed::V> kRows = {
    {0, 0, 0, 1, 2, 2, 3, 3},
    {4, 4, 5, 5, 5, 6, 7, 7},
    {0, 1, 2, 3, 4, 5, 6, 7},
    {8, 6, 5, 4, 3, 2, 1, 0},
};
const G kPockets = {{0, 1}, {2, 3}, {4}};

// Palette images other than 8-bit, 256 colours.
struct Unusable {
    xt::HostDib dib;
    ccColorPocketArray t;
    explicit Unusable(void* d) : dib(d) {
        t.InitPalette(256);
        t.pockets.Add(new ccColorPocket);
        t.pockets[0]->items.Add(&t.palette[0]);
        t.palette[0].palIndex = 0;
        t.SetPalDib(dib.h, false);
    }
    ~Unusable() { t.SetPalDib(nullptr, false); }
};

}  // namespace

TEST(MoveClrItem, CarriesCountsSharesAndMeans) {
    Scene s(kRows, kColours, {{0, 1, 7}, {2}});
    ccColorPocket *a = s.P(0), *b = s.P(1);
    a->percentage = 0.5f;
    b->percentage = 0.25f;
    s.t.palette[1].percentage = 0.125f;
    EXPECT_EQ(s.t.MoveClrItem(a, 0, a), -1);
    EXPECT_EQ(s.t.MoveClrItem(nullptr, 0, a), -1);
    EXPECT_EQ(s.t.MoveClrItem(a, 0, nullptr), -1);
    EXPECT_THROW(s.t.MoveClrItem(a, 3, b), std::out_of_range);
    EXPECT_THROW(s.t.MoveClrItem(a, -1, b), std::out_of_range);
    EXPECT_EQ(xt::Groups(s.t), (G{{0, 1, 7}, {2}}));

    EXPECT_EQ(s.t.MoveClrItem(a, 1, b), 0);
    EXPECT_EQ(xt::Groups(s.t), (G{{0, 7}, {2, 1}}));
    EXPECT_FLOAT_EQ(a->percentage, 0.375f);
    EXPECT_FLOAT_EQ(b->percentage, 0.375f);
    EXPECT_EQ(RgbWord(b->aveRGB), RgbWord(Rgb(95, 105, 5)));
    ed::ExpectConsistent(s.t);
    // An emptied pocket keeps its last colour and stays.
    s.t.MoveClrItem(a, 0, b);
    const tagRGBQUAD last = a->aveRGB;
    const uint32_t lastHsl = a->aveHSL;
    s.t.MoveClrItem(a, 0, b);
    EXPECT_EQ(a->items.GetSize(), 0);
    EXPECT_EQ(a->pixelNum, 0);
    EXPECT_EQ(RgbWord(a->aveRGB), RgbWord(last));
    EXPECT_EQ(a->aveHSL, lastHsl);
    EXPECT_EQ(s.t.pockets.GetSize(), 2);
    ed::ExpectConsistent(s.t);
}

TEST(NewPocket, TakesTheColoursUnderTheStrokeAndNearColours) {
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
        // Outside the image: nothing.
        {"outside", kPockets, {{-5, -1}, {20, -1}}, kPockets},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, c.pockets);
        ASSERT_EQ(s.t.NewPocket(Ptr(Stroke(c.stroke))), 0) << c.what;
        EXPECT_EQ(xt::Groups(s.t), c.after) << c.what;
        ed::ExpectConsistent(s.t);
        ccColorPocket* last = s.t.pockets[s.t.pockets.GetSize() - 1];
        if (c.after != c.pockets) {
            EXPECT_EQ(last->origin, 3) << c.what;
            EXPECT_EQ(last->selState, -1) << c.what;
        }
    }
}

TEST(NewPocket, SharesComeOnlyWithMovedColours) {
    Scene s(kRows, kColours, kPockets);
    ASSERT_EQ(s.t.NewPocket(Ptr(Stroke({{0, 0}, {3, 0}}))), 0);
    ccColorPocket* p = s.P(2);
    EXPECT_FLOAT_EQ(p->percentage, s.t.palette[0].percentage + s.t.palette[1].percentage);
    EXPECT_EQ(p->pixelNum, 5 + 3 + 3 + 1);  // 0, 1, then 7 and 8 by nearness
}

TEST(AddToSelFromStroke, GrowsTheOneSelectedPocket) {
    const Pts row1 = {{0, 1}, {7, 1}};
    struct Case {
        std::vector<int> selState;
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
        for (int k = 0; k < 3; ++k) s.P(k)->selState = c.selState[k];
        EXPECT_EQ(s.t.AddToSelFromStroke(Ptr(Stroke(c.stroke))), c.result);
        EXPECT_EQ(xt::Groups(s.t), c.after);
        ed::ExpectConsistent(s.t);
    }
}

TEST(DetachColor, MovesOnlyColoursOfStrokeSelectedPockets) {
    struct Case {
        std::vector<int> selState;
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
        for (int k = 0; k < 3; ++k) s.P(k)->selState = c.selState[k];
        const int pixelsB = s.P(1)->pixelNum;
        ASSERT_EQ(s.t.DetachColor(Ptr(Stroke({{0, 2}, {7, 2}}))), 0);
        EXPECT_EQ(xt::Groups(s.t), c.after);
        ccColorPocket* last = s.P(s.t.pockets.GetSize() - 1);
        EXPECT_EQ(last->origin, 2);
        if (c.selState[1] != 256) {
            EXPECT_EQ(s.P(s.t.pockets.GetSize() - 3)->pixelNum, pixelsB);
        }
        ed::ExpectConsistent(s.t);
    }
}

TEST(StrokeEdits, RefuseWithoutAUsablePaletteImageOrStroke) {
    Scene s(kRows, kColours, kPockets);
    s.P(0)->selState = 256;
    wStroke none(3);
    EXPECT_EQ(s.t.AddToSelFromStroke(&none), -1);
    EXPECT_EQ(s.t.NewPocket(&none), -1);
    EXPECT_EQ(s.t.DetachColor(&none), -1);
    EXPECT_EQ(s.t.NewPocket(nullptr), -1);
    EXPECT_EQ(xt::Groups(s.t), kPockets);

    const Pts pts = {{0, 0}, {1, 0}};
    for (void* d : {static_cast<void*>(nullptr), xt::Image8(4, 1, {0, 1, 2, 3}, {}, 16),
                    xt::Image(24, 4, 1, {0, 1, 2, 3})}) {
        Unusable u(d);
        u.t.pockets[0]->selState = 256;
        wStroke st = Stroke(pts);
        EXPECT_EQ(u.t.AddToSelFromStroke(&st), -1);
        EXPECT_EQ(u.t.NewPocket(&st), -1);
        EXPECT_EQ(u.t.DetachColor(&st), -1);
        dPointBuf buf(2);
        buf.AddPoint(0, 0);
        buf.AddPoint(1, 0);
        EXPECT_EQ(u.t.MergePocketOnStroke(&buf), -1);
        cPointsCut cut{buf.points, 2};
        EXPECT_EQ(u.t.GetColorPocketsFromCut(&cut), -1);
        EXPECT_EQ(u.t.pockets.GetSize(), 1);
    }
}

TEST(MergePocketOnStroke, MovesExactlyTheColoursUnderLaterPixels) {
    const std::map<int, tagRGBQUAD> colours = {{20, Rgb(10, 0, 0)},  {21, Rgb(20, 0, 0)}, {22, Rgb(30, 0, 0)},
                                               {23, Rgb(40, 0, 0)},  {24, Rgb(50, 0, 0)}, {25, Rgb(60, 0, 0)},
                                               {26, Rgb(70, 0, 0)}};
    const std::vector<ed::V> rows = {{20, 21, 22, 23, 24, 25, 26}, {26, 26, 26, 26, 26, 26, 26}};
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
        {{{3, 1}, {0, 1}}, 0, {{}, {21, 22, 23, 24, 25, 20}}},
        // No pocket under the first pixel: nothing changes.
        {{{6, 1}, {0, 1}}, -2, {{20}, {21, 22, 23, 24, 25}}},
        {{{3, 0}, {0, 1}}, -2, {{20}, {21, 22, 23, 24, 25}}},
        {{{7, 1}, {0, 1}}, -2, {{20}, {21, 22, 23, 24, 25}}},
        {{{0, INT_MIN}, {0, 1}}, -2, {{20}, {21, 22, 23, 24, 25}}},
        {{{0, 1}}, -1, {{20}, {21, 22, 23, 24, 25}}},
    };
    for (Case& c : cases) {
        Scene s(rows, colours, {{20}, {21, 22, 23, 24, 25}});
        dPointBuf buf(static_cast<int>(c.pixels.size()));
        for (const tagPOINT& p : c.pixels) buf.AddPoint(p.x, p.y);
        EXPECT_EQ(s.t.MergePocketOnStroke(&buf), c.result);
        EXPECT_EQ(xt::Groups(s.t), c.after);
        ed::ExpectConsistent(s.t);
    }
    Scene s(rows, colours, {{20}});
    EXPECT_EQ(s.t.MergePocketOnStroke(nullptr), -1);
}

TEST(MergePocketOnStroke, TakesThePixelsOfARasterisedStroke) {
    Scene s(kRows, kColours, kPockets);
    wStroke st = Stroke({{0, 0}, {7, 0}, {7, 1}});  // 0 0 0 1 2 2 3 3, then 7 (free)
    dPointBuf buf(st.GetMaxDiscretePointNum());
    ASSERT_EQ(st.DiscreteToBuff(s.h, &buf), 0);
    EXPECT_EQ(s.t.MergePocketOnStroke(&buf), 0);
    EXPECT_EQ(xt::Groups(s.t), (G{{0, 1, 2, 3}, {}, {4}}));
    ed::ExpectConsistent(s.t);
}

TEST(GetColorPocketsFromCut, GathersTheColoursBeforeTheStrongestEdge) {
    // Brightness 10 (30, 31, 32), 200 (33, 34, 35), 0 (40) and 100 (41).
    const std::map<int, tagRGBQUAD> colours = {{30, Rgb(10, 10, 10)},    {31, Rgb(12, 9, 9)},
                                               {32, Rgb(8, 11, 11)},     {33, Rgb(200, 200, 200)},
                                               {34, Rgb(210, 195, 195)}, {35, Rgb(190, 205, 205)},
                                               {40, Rgb(0, 0, 0)},       {41, Rgb(100, 100, 100)}};
    const std::vector<ed::V> rows = {{30, 31, 32, 33, 34, 35}, {40, 40, 41, 41, 40, 40}};
    const Pts top = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}};
    const Pts mixed = {{-1, 0}, {0, 0}, {1, 0}, {9, 0}, {2, 0}, {3, 0}, {0, 7}, {4, 0}, {5, 0}, {0, -1}};
    struct Case {
        const char* what;
        G pockets;
        std::vector<int> origins;
        Pts cut;
        int result;
        G after;
    } cases[] = {
        // Edge at 2: points 0 and 1 into a new pocket; the emptied one stays.
        {"new", {{30, 31}, {32, 33, 34, 35}}, {0, 0}, top, 0, {{}, {32, 33, 34, 35}, {30, 31}}},
        {"outside points dropped", {{30, 31}, {32, 33, 34, 35}}, {0, 0}, mixed, 0, {{}, {32, 33, 34, 35}, {30, 31}}},
        // A pocket made by an edit before is reused.
        {"reuse", {{30}, {31, 32, 33, 34, 35}}, {2, 0}, top, 0, {{30, 31}, {32, 33, 34, 35}}},
        {"reuse later", {{31}, {30, 32, 33}, {34, 35}}, {3, 0, 0}, top, 0, {{31, 30}, {32, 33}, {34, 35}}},
        // Free colours stay free; the new pocket, left empty, goes.
        {"free", {{32, 33, 34, 35}}, {0}, top, 0, {{32, 33, 34, 35}}},
        {"four points", {{30, 31}, {32, 33, 34, 35}}, {0, 0}, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, -3,
         {{30, 31}, {32, 33, 34, 35}}},
        // Steps of 50 at 1 and at 3: the first wins, gathering point 0 only.
        {"tie", {{40}, {41}}, {0, 0}, {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}}, 0, {{}, {41}, {40}}},
    };
    for (Case& c : cases) {
        Scene s(rows, colours, c.pockets);
        for (size_t k = 0; k < c.origins.size(); ++k) s.P(static_cast<int>(k))->origin = c.origins[k];
        cPointsCut cut{c.cut.data(), static_cast<int>(c.cut.size())};
        EXPECT_EQ(s.t.GetColorPocketsFromCut(&cut), c.result) << c.what;
        EXPECT_EQ(xt::Groups(s.t), c.after) << c.what;
        if (c.after.size() > c.pockets.size()) {
            EXPECT_EQ(s.P(s.t.pockets.GetSize() - 1)->origin, 1) << c.what;
        }
        ed::ExpectConsistent(s.t);
    }
    Scene s(rows, colours, {{30}});
    cPointsCut bad{nullptr, 9};
    EXPECT_EQ(s.t.GetColorPocketsFromCut(&bad), -3);
    EXPECT_EQ(s.t.GetColorPocketsFromCut(nullptr), -3);
}
