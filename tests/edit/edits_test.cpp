// Reshaping a theme by hand: selecting, highlighting, deleting and merging
// pockets, the background rectangle, and moving colours with strokes, pixel
// runs and cuts.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <stdexcept>

#include "edit/edit_fixtures.h"

using namespace ed;
using xt::Lists;

namespace {

// The scene: reds 0, 1 and 7, greens 2 and 3, blues 4 and 5, grey 6, dark
// grey 8, and 9 a red near 0 and 1 that no pixel has. The cuts' rows have
// brightness 10 (30, 31, 32), 200 (33, 34, 35), 0 (40, 60, 73, 80), 100
// (41, 70, 82), 101 (71), 99 (72), 10 (81), 4 (61) and, as the channel sum
// over 3 truncated, 0 (63).
const std::map<int, tagRGBQUAD> kColours = {
    {0, Rgb(200, 0, 0)},  {1, Rgb(190, 10, 10)},    {2, Rgb(0, 200, 0)},      {3, Rgb(10, 190, 10)},
    {4, Rgb(0, 0, 200)},  {5, Rgb(10, 10, 190)},    {6, Rgb(128, 128, 128)},  {7, Rgb(205, 5, 5)},
    {8, Rgb(5, 5, 5)},    {9, Rgb(204, 0, 0)},      {30, Rgb(10, 10, 10)},    {31, Rgb(12, 9, 9)},
    {32, Rgb(8, 11, 11)}, {33, Rgb(200, 200, 200)}, {34, Rgb(210, 195, 195)}, {35, Rgb(190, 205, 205)},
    {40, Rgb(0, 0, 0)},   {41, Rgb(100, 100, 100)}, {60, Rgb(0, 0, 0)},       {61, Rgb(4, 4, 4)},
    {63, Rgb(1, 0, 1)},   {70, Rgb(100, 100, 100)}, {71, Rgb(101, 100, 99)},  {72, Rgb(99, 100, 101)},
    {73, Rgb(0, 0, 0)},   {80, Rgb(0, 0, 0)},       {81, Rgb(10, 10, 10)},    {82, Rgb(100, 100, 100)},
};
// Rows from the top as the user sees them; storage row 0 is the last.
const std::vector<V> kRows = {
    {0, 0, 0, 1, 2, 2, 3, 3},
    {4, 4, 5, 5, 5, 6, 7, 7},
    {0, 1, 2, 3, 4, 5, 6, 7},
    {8, 6, 5, 4, 3, 2, 1, 0},
};
const G kPockets = {{0, 1}, {2, 3}, {4}};

// Palette images no edit can use: none, one of 16 colours, one of 24 bits.
struct Unusable {
    xt::HostDib sixteen{xt::Image(8, 4, 1, {0, 1, 2, 3}, {}, 16)}, rgb{xt::Image(24, 4, 1, {0})};
    std::vector<void*> all() const { return {nullptr, sixteen.h, rgb.h}; }
};

// Shares move with the colours taken from pockets (`start`), free colours
// bring none, and a new pocket starts at 0.
void ExpectShares(const ccColorPocketArray& t, const G& start) {
    for (ccColorPocket* p : t.pockets) {
        float sum = 0;
        for (ccColorItem* it : p->items)
            for (const V& g : start) sum += std::count(g.begin(), g.end(), it->palIndex) * it->percentage;
        EXPECT_NEAR(p->percentage, sum, 1e-6);
    }
}

}  // namespace

TEST(Selection, SelectedMeansAStateOfAtLeast256) {
    Scene s(kRows, kColours, kPockets);
    EXPECT_TRUE(s.t.GetFirstSelected() == nullptr && s.t.GetFirstSelectedIndex() == -1);
    s.Select({255, 300, 256});
    EXPECT_TRUE(s.t.GetFirstSelectedIndex() == 1 && s.t.GetFirstSelected() == s.P(1));
    EXPECT_EQ(s.t.SelectAll(), 3);
    for (ccColorPocket* p : s.t.pockets) EXPECT_EQ(p->selState, 256);
    EXPECT_EQ(s.t.UnselectAll(), 3);
    s.t.SetRDSFlag(9);
    for (ccColorPocket* p : s.t.pockets) EXPECT_TRUE(p->selState == -1 && p->rdsFlag == 9);
}

TEST(Highlight, GreysAllButTheChosenColoursAndRestoresExactly) {
    Scene s(kRows, kColours, kPockets);
    {
        ipDibStuff v(s.dib.h, false);  // distinct reserved bytes, so a restore is checked byte for byte
        for (int i = 0; i < 256; ++i) v.colors[i].rgbReserved = static_cast<BYTE>(i ^ 0x5A);
    }
    const std::vector<uint32_t> before = Colours(s.dib.h);
    auto grey = [&](int i) { return 100 + HslLight(s.t.palette[i].hsl) * 100 / 255; };
    ASSERT_EQ(grey(6), 150);
    // Each case: the pocket shown, withSelected, the selection; the colours in colour.
    struct Case {
        int pocket;
        bool withSelected;
        V selState, shown;
    } cases[] = {{-1, false, {}, {}}, {0, true, {-1, -1, 256}, {0, 1, 4}}, {1, false, {-1, -1, 256}, {2, 3}}};
    for (const Case& c : cases) {  // a highlight over a highlight keeps the first colours
        s.Select(c.selState);
        ASSERT_TRUE(s.t.HighlightColors(c.pocket < 0 ? nullptr : s.P(c.pocket), c.withSelected) == 0 &&
                    s.t.highlighted);
        const std::vector<uint32_t> table = Colours(s.dib.h);
        for (int i = 0; i < 256; ++i) {
            const bool shown = std::count(c.shown.begin(), c.shown.end(), i) > 0;
            const uint32_t want = RgbWord(shown ? s.t.palette[i].rgb : Rgb(grey(i), grey(i), grey(i)));
            EXPECT_EQ(table[i] & 0xFFFFFF, want & 0xFFFFFF) << i;
            // Showing writes the fourth byte, greying leaves it (as the last highlight left it).
            EXPECT_TRUE(table[i] >> 24 == (shown ? want : before[i]) >> 24 || (!shown && c.pocket >= 0)) << i;
        }
    }
    EXPECT_TRUE(s.t.UnhighlightColors() == 0 && !s.t.highlighted && Colours(s.dib.h) == before);
    EXPECT_EQ(s.t.UnhighlightColors(), -1);
    // Restoring ends a highlight; with a true image but no backup it fails
    // and the grey table stays until the palette colours are written back.
    xt::HostDib image(xt::Image(24, 8, 3, {0x102030}));
    s.t.SetTrueDib(image.h);
    ASSERT_EQ(s.t.HighlightColors(nullptr, false), 0);
    EXPECT_EQ((V{s.t.RestoreColors(), s.t.UnhighlightColors(), int(Colours(s.dib.h)[6] >> 16 & 0xFF)}),
              (V{-1, -1, 150}));
    s.t.SetTrueDib(nullptr);
}

TEST(MoveClrItem, CarriesCountsSharesAndMeans) {
    Scene s(kRows, kColours, {{0, 1, 7}, {2}});
    ccColorPocket *a = s.P(0), *b = s.P(1);
    EXPECT_EQ((V{s.t.MoveClrItem(a, 0, a), s.t.MoveClrItem(nullptr, 0, a), s.t.MoveClrItem(a, 0, nullptr)}),
              (V{-1, -1, -1}));
    EXPECT_THROW(s.t.MoveClrItem(a, 3, b), std::out_of_range);
    EXPECT_THROW(s.t.MoveClrItem(a, -1, b), std::out_of_range);
    EXPECT_EQ(s.t.MoveClrItem(a, 1, b), 0);
    EXPECT_EQ(Groups(s.t), (G{{0, 7}, {2, 1}}));
    ExpectShares(s.t, {{0, 1, 7}, {2}});
    ExpectConsistent(s.t);
    // An emptied pocket keeps its last colour and stays.
    s.t.MoveClrItem(a, 0, b);
    const tagRGBQUAD last = a->aveRGB;
    const uint32_t lastHsl = a->aveHSL;
    s.t.MoveClrItem(a, 0, b);
    EXPECT_EQ((V{a->items.GetSize(), a->pixelNum, s.t.pockets.GetSize()}), (V{0, 0, 2}));
    EXPECT_TRUE(RgbWord(a->aveRGB) == RgbWord(last) && a->aveHSL == lastHsl);
    ExpectShares(s.t, {{0, 1, 7}, {2}});
    ExpectConsistent(s.t);
}

TEST(Edits, EachEditMovesTheColoursItsRulesName) {
    struct Edit {
        char op;
        std::vector<V> rows;
        G pockets;
        V marks;
        Pts points;
        int result;
        G after;
    };
    std::vector<Edit> edits;
    for (const auto& f : xt::CaseTable("edit/edits.txt")) {
        ASSERT_EQ(f.size(), 7u) << f[0];
        Pts pts;
        for (const V& p : Lists(f[4])) pts.push_back({p.at(0), p.at(1)});
        const G marks = Lists(f[3]);
        edits.push_back({f[0].at(0), Lists(f[1]), Lists(f[2]), marks.empty() ? V() : marks[0], pts,
                         Lists(f[5]).at(0).at(0), Lists(f[6])});
    }
    ASSERT_EQ(edits.size(), 55u);  // the whole file read
    const Unusable bad;
    for (const Edit& e : edits) {
        Pts pts = e.points;
        wStroke stroke = Stroke(pts);
        dPointBuf pixels(static_cast<int>(pts.size()) + 1);
        for (const tagPOINT& p : pts) pixels.AddPoint(p.x, p.y);
        pixels.points[pixels.count] = {4, 3};  // past the count: not read
        cPointsCut cut{pts.empty() ? nullptr : pts.data(), pts.empty() ? 9 : static_cast<int>(pts.size())};
        auto apply = [&](Scene& s) {
            dPointBuf line(e.op == 'r' ? stroke.GetMaxDiscretePointNum() : 0);
            for (int k = 0; k < static_cast<int>(e.marks.size()); ++k)
                (e.op == 'c' ? s.P(k)->origin : e.op == 'b' ? s.P(k)->flags : s.P(k)->selState) = e.marks[k];
            int r = e.op == 'n'   ? s.t.NewPocket(&stroke)
                    : e.op == 'a' ? s.t.AddToSelFromStroke(&stroke)
                    : e.op == 'd' ? s.t.DetachColor(&stroke)
                    : e.op == 'm' ? s.t.MergePocketOnStroke(&pixels)
                    : e.op == 'c' ? s.t.GetColorPocketsFromCut(&cut)
                    : e.op == 'r' ? stroke.DiscreteToBuff(s.h, &line) + s.t.MergePocketOnStroke(&line)
                    : e.op == 'x' ? s.t.DelSelPockets()
                    : e.op == 's' ? s.t.MergeSelectedPockets()
                                  : 0;
            for (size_t k = 0; e.op == 'b' && k + 1 < pts.size(); k += 2) {
                tagRECT rect{pts[k].x, pts[k].y, pts[k + 1].x, pts[k + 1].y};
                r = s.t.GetBackground(&rect);
            }
            return r;
        };
        const std::string what = std::string(1, e.op) + " to " + ::testing::PrintToString(e.after);
        // Without a usable palette image every edit but x and s refuses and changes nothing.
        for (void* d : bad.all()) {
            Scene u(e.rows.empty() ? kRows : e.rows, kColours, e.pockets);
            u.t.SetPalDib(d, false);
            EXPECT_TRUE(e.op == 'x' || e.op == 's' || (apply(u) == -1 && Groups(u.t) == e.pockets)) << what;
        }
        Scene s(e.rows.empty() ? kRows : e.rows, kColours, e.pockets);
        const std::vector<BYTE> image = Pixels(s.dib.h);
        std::map<ccColorPocket*, int> before;
        for (int k = 0; k < s.t.pockets.GetSize(); ++k) before[s.P(k)] = k;
        EXPECT_EQ(apply(s), e.result) << what;
        EXPECT_EQ(Groups(s.t), e.after) << what;
        EXPECT_EQ(Pixels(s.dib.h), image);  // only the palette indices are read
        ExpectConsistent(s.t);
        ExpectShares(s.t, e.pockets);
        for (ccColorPocket* p : s.t.pockets) {  // a new pocket: unselected, its origin the edit's
            const int origin = e.op == 'n' ? 3 : e.op == 'd' ? 2 : e.op == 'c' ? 1 : 0;
            EXPECT_TRUE(before.count(p) ||
                        (p->selState == -1 && p->origin == origin && p->flags == (e.op == 'b')))
                << what;
        }
    }
    // Missing or empty strokes and other arguments; the stroke form of the
    // background only reports readiness.
    Scene s(kRows, kColours, kPockets);
    s.Select({256});
    wStroke none(3), st = Stroke({{0, 0}, {3, 2}}, 2);
    EXPECT_EQ((V{s.t.AddToSelFromStroke(&none), s.t.NewPocket(&none), s.t.DetachColor(&none),
                 s.t.NewPocket(nullptr), s.t.MergePocketOnStroke(nullptr),
                 s.t.GetColorPocketsFromCut(nullptr), s.t.GetBackground(static_cast<tagRECT*>(nullptr)),
                 s.t.GetBackground(&st), s.t.GetBackground(static_cast<wStroke*>(nullptr))}),
              (V{-1, -1, -1, -1, -1, -3, -1, 0, 0}));
    EXPECT_EQ(Groups(s.t), kPockets);
    for (void* d : bad.all()) {
        s.t.SetPalDib(d, false);
        EXPECT_EQ(s.t.GetBackground(&st), -1);
    }
    // A selected pocket alone gets its plain mean back.
    s.P(1)->aveRGB = Rgb(1, 2, 3);
    s.Select({-1, 256});
    EXPECT_EQ(s.t.MergeSelectedPockets(), 0);
    ExpectConsistent(s.t);
}
