// The editing operations: selecting, highlighting, deleting and merging
// pockets, the background rectangle, moving colours with strokes, pixel runs
// and cuts; the palette image of a theme, the backup of its 24-bit image and
// restore; strokes, their rasterisation into bottom-up rows and point buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "edit/linewalk.h"
#include "extract/extract_fixtures.h"

using namespace xt;

namespace {

using Pts = std::vector<tagPOINT>;

// A theme over a host palette image. rows lists the palette indices of
// each row from the top, as the user sees the image; colour-table entry and
// palette item i take colours[i] (default: a dark colour of its own), and
// pixelNum / percentage come from the image. Each group of `pockets`
// becomes a pocket with the plain mean of its items.
struct Scene {
    HostDib dib{nullptr};
    ccColorPocketArray t;
    int w, h;

    Scene(const std::vector<V>& rows, const std::map<int, tagRGBQUAD>& colours, const G& pockets)
        : w(static_cast<int>(rows[0].size())), h(static_cast<int>(rows.size())) {
        std::vector<tagRGBQUAD> table(256);
        int counts[256] = {};
        V px;  // storage row 0 is the last row
        for (int i = 0; i < 256; ++i)
            table[i] = colours.count(i) ? colours.at(i) : Rgb(i % 7, 3 + i % 5, i % 3);
        for (size_t y = rows.size(); y-- > 0;) px.insert(px.end(), rows[y].begin(), rows[y].end());
        for (int i : px) ++counts[i];
        dib.h = Image(8, w, h, px, table);
        t.InitPalette(256);
        for (int i = 0; i < 256; ++i)
            t.SetPalEntryBYTE(i, table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, counts[i], w * h);
        for (const V& g : pockets) {
            auto* p = new ccColorPocket;
            for (int i : g) {
                p->items.Add(&t.palette[i]);
                p->pixelNum += counts[i];
                p->percentage += t.palette[i].percentage;
            }
            p->GetAveRGB();
            p->GetAveHSL();
            t.pockets.Add(p);
        }
        t.SetPalDib(dib.h, false);
    }
    ccColorPocket* P(int k) { return t.pockets[k]; }
    void Select(const V& selState) {
        for (size_t k = 0; k < selState.size(); ++k) P(static_cast<int>(k))->selState = selState[k];
    }
};

// The colour table of a DIB as words (all four bytes), and its pixel bytes
// row after row.
inline std::vector<uint32_t> Colours(void* dib) {
    ipDibStuff v(dib, false);
    std::vector<uint32_t> words;
    for (int i = 0; i < v.numColors; ++i) words.push_back(RgbWord(v.colors[i]));
    return words;
}
inline std::vector<BYTE> Pixels(void* dib) {
    ipDibStuff v(dib, false);
    std::vector<BYTE> out;
    for (BYTE* row : v.rows)
        out.insert(out.end(), row, row + static_cast<size_t>(v.width()) * v.bitCount() / 8);
    return out;
}

// The points of a case table's field of x,y pairs.
Pts Points(const std::string& field) {
    Pts pts;
    for (const V& p : Lists(field)) pts.push_back({p.at(0), p.at(1)});
    return pts;
}

// A finished stroke through the given points (image coordinates).
inline wStroke Stroke(const Pts& pts, unsigned width = 1) {
    wStroke s(width);
    s.StartStroke();
    for (const tagPOINT& p : pts) s.AddPoint(p.x, p.y);
    s.FinishStroke();
    return s;
}

// The theme's invariants after any edit: each palette colour in at most one
// pocket, each pocket's pixel count the sum over its items, and the colour
// of every non-empty pocket the plain mean of its items.
inline void ExpectConsistent(const ccColorPocketArray& t) {
    std::map<int, int> seen;
    for (ccColorPocket* p : t.pockets) {
        long long pixels = 0, sum[3] = {};
        for (ccColorItem* it : p->items) {
            EXPECT_EQ(++seen[it->palIndex], 1) << "colour " << it->palIndex << " in two pockets";
            pixels += it->pixelNum;
            for (int c = 0; c < 3; ++c) sum[c] += RgbWord(it->rgb) >> 8 * c & 0xFF;  // blue, green, red
        }
        const long long n = p->items.GetSize();
        const uint32_t mean = n ? RgbWord(Rgb(int(sum[2] / n), int(sum[1] / n), int(sum[0] / n))) : 0;
        EXPECT_EQ(p->pixelNum, pixels);
        EXPECT_TRUE(n == 0 || ((RgbWord(p->aveRGB) & 0xFFFFFF) == mean && p->aveHSL == RGBtoHSL(p->aveRGB)));
    }
}

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

// A palette of 256 items, item i coloured colour(i); the items' colours as words.
template <class F>
std::vector<uint32_t> FillPalette(ccColorPocketArray& t, F colour) {
    std::vector<uint32_t> words;
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i)
        t.SetPalEntryBYTE(i, colour(i).rgbRed, colour(i).rgbGreen, colour(i).rgbBlue, 1, 256);
    for (int i = 0; i < 256; ++i) words.push_back(RgbWord(t.palette[i].rgb));
    return words;
}

void* Photo(const char* name) {
    return reinterpret_cast<void*>(LoadDIB((std::string(HUEVANE_TEST_DATA) + "/transfer/" + name).c_str()));
}

class PalImage : public ::testing::Test {
protected:
    void SetUp() override { handles_ = hv::LiveHandles(); }
    void TearDown() override { EXPECT_EQ(hv::LiveHandles(), handles_); }
    long handles_ = 0;
};

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

TEST(Highlight, GreysAllButTheChosenColoursAndRestoresExactly) {
    Scene s(kRows, kColours, kPockets);
    // Distinct fourth bytes, so that a restore is checked byte for byte.
    for (int i = 0; i < 256; ++i)
        ipDibStuff(s.dib.h, false).colors[i].rgbReserved = static_cast<BYTE>(i ^ 0x5A);
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
    HostDib image(Image(24, 8, 3, {0x102030}));
    s.t.SetTrueDib(image.h);
    ASSERT_EQ(s.t.HighlightColors(nullptr, false), 0);
    EXPECT_EQ((V{s.t.RestoreColors(), s.t.UnhighlightColors(), int(Colours(s.dib.h)[6] >> 16 & 0xFF)}),
              (V{-1, -1, 150}));
}

TEST(Selection, SelectedMeansAStateOfAtLeast256AndAMovedColourCarriesItsCountShareAndMean) {
    Scene s(kRows, kColours, {{0, 1, 7}, {2}, {3}});
    EXPECT_TRUE(s.t.GetFirstSelected() == nullptr && s.t.GetFirstSelectedIndex() == -1);
    s.Select({255, 300, 256});
    EXPECT_TRUE(s.t.GetFirstSelectedIndex() == 1 && s.t.GetFirstSelected() == s.P(1));
    EXPECT_EQ(s.t.SelectAll(), 3);
    for (ccColorPocket* p : s.t.pockets) EXPECT_EQ(p->selState, 256);
    EXPECT_EQ(s.t.UnselectAll(), 3);
    s.t.SetRDSFlag(9);
    for (ccColorPocket* p : s.t.pockets) EXPECT_TRUE(p->selState == -1 && p->rdsFlag == 9);
    ccColorPocket *a = s.P(0), *b = s.P(1);
    EXPECT_EQ((V{s.t.MoveClrItem(a, 0, a), s.t.MoveClrItem(nullptr, 0, a), s.t.MoveClrItem(a, 0, nullptr),
                 s.t.MoveClrItem(a, 1, b), s.t.MoveClrItem(a, 0, b)}),
              (V{-1, -1, -1, 0, 0}));
    EXPECT_THROW(s.t.MoveClrItem(a, 1, b), std::out_of_range);
    EXPECT_THROW(s.t.MoveClrItem(a, -1, b), std::out_of_range);
    EXPECT_EQ(Groups(s.t), (G{{7}, {2, 1, 0}, {3}}));
    ExpectShares(s.t, {{0, 1, 7}, {2}, {3}});
    ExpectConsistent(s.t);
    // An emptied pocket keeps its last colour and stays.
    const uint32_t last = RgbWord(a->aveRGB), lastHsl = a->aveHSL;
    EXPECT_EQ(s.t.MoveClrItem(a, 0, b), 0);
    EXPECT_EQ((V{a->items.GetSize(), a->pixelNum, s.t.pockets.GetSize()}), (V{0, 0, 3}));
    EXPECT_TRUE(RgbWord(a->aveRGB) == last && a->aveHSL == lastHsl);
    ExpectShares(s.t, {{0, 1, 7}, {2}, {3}});
    ExpectConsistent(s.t);
}

TEST(Edits, EachEditMovesTheColoursItsRulesName) {
    const auto edits = CaseTable("edit/edits.txt");
    ASSERT_EQ(edits.size(), 55u);  // the whole file read
    // Palette images no edit can use: none, one of 16 colours, one of 24 bits.
    HostDib sixteen(Image(8, 4, 1, {0, 1, 2, 3}, {}, 16)), rgb(Image(24, 4, 1, {0}));
    void* const bad[] = {nullptr, sixteen.h, rgb.h};
    for (const auto& f : edits) {
        ASSERT_EQ(f.size(), 7u) << f[0];
        const char op = f[0].at(0);
        const std::vector<V> rows = f[1].find('-') == std::string::npos ? Lists(f[1]) : kRows;
        const G pockets = Lists(f[2]), marks = Lists(f[3]), after = Lists(f[6]);
        const std::string what = f[0] + "|" + f[2] + "|" + f[4] + "|" + f[6];
        Pts pts = Points(f[4]);
        wStroke stroke = Stroke(pts);
        dPointBuf pixels(static_cast<int>(pts.size()) + 1);
        for (const tagPOINT& p : pts) pixels.AddPoint(p.x, p.y);
        pixels.points[pixels.count] = {4, 3};  // past the count: not read
        cPointsCut cut{pts.empty() ? nullptr : pts.data(), pts.empty() ? 9 : static_cast<int>(pts.size())};
        auto apply = [&](Scene& s) {
            dPointBuf line(op == 'r' ? stroke.GetMaxDiscretePointNum() : 0);
            for (int k = 0; !marks.empty() && k < static_cast<int>(marks[0].size()); ++k)
                (op == 'c' ? s.P(k)->origin : op == 'b' ? s.P(k)->flags : s.P(k)->selState) = marks[0][k];
            int r = op == 'n'   ? s.t.NewPocket(&stroke)
                    : op == 'a' ? s.t.AddToSelFromStroke(&stroke)
                    : op == 'd' ? s.t.DetachColor(&stroke)
                    : op == 'm' ? s.t.MergePocketOnStroke(&pixels)
                    : op == 'c' ? s.t.GetColorPocketsFromCut(&cut)
                    : op == 'r' ? stroke.DiscreteToBuff(s.h, &line) + s.t.MergePocketOnStroke(&line)
                    : op == 'x' ? s.t.DelSelPockets()
                    : op == 's' ? s.t.MergeSelectedPockets()
                                : 0;
            for (size_t k = 0; op == 'b' && k + 1 < pts.size(); k += 2) {
                tagRECT rect{pts[k].x, pts[k].y, pts[k + 1].x, pts[k + 1].y};
                r = s.t.GetBackground(&rect);
            }
            return r;
        };
        // Without a usable palette image every edit but x and s refuses and changes nothing.
        for (void* d : bad) {
            Scene u(rows, kColours, pockets);
            u.t.SetPalDib(d, false);
            EXPECT_TRUE(op == 'x' || op == 's' || (apply(u) == -1 && Groups(u.t) == pockets)) << what;
        }
        Scene s(rows, kColours, pockets);
        const std::vector<BYTE> image = Pixels(s.dib.h);
        const std::vector<ccColorPocket*> before(s.t.pockets.begin(), s.t.pockets.end());
        EXPECT_EQ(apply(s), Lists(f[5]).at(0).at(0)) << what;
        EXPECT_EQ(Groups(s.t), after) << what;
        EXPECT_EQ(Pixels(s.dib.h), image);  // only the palette indices are read
        ExpectConsistent(s.t);
        ExpectShares(s.t, pockets);
        for (ccColorPocket* p : s.t.pockets) {  // a new pocket: unselected, its origin the edit's
            const int origin = op == 'n' ? 3 : op == 'd' ? 2 : op == 'c' ? 1 : 0;
            EXPECT_TRUE(std::count(before.begin(), before.end(), p) ||
                        (p->selState == -1 && p->origin == origin && p->flags == (op == 'b')))
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
    for (void* d : bad) {  // highlighting needs a usable image too
        s.t.SetPalDib(d, false);
        s.t.highlighted = true;
        EXPECT_TRUE(s.t.GetBackground(&st) == -1 && s.t.UnhighlightColors() == -1 && s.t.highlighted);
        s.t.highlighted = false;
        EXPECT_TRUE(s.t.HighlightColors(nullptr, true) == -1 && !s.t.highlighted);
    }
    // A selected pocket alone gets its plain mean back.
    s.P(1)->aveRGB = Rgb(1, 2, 3);
    s.Select({-1, 256});
    EXPECT_EQ(s.t.MergeSelectedPockets(), 0);
    ExpectConsistent(s.t);
}

TEST_F(PalImage, GetPalDibReducesOnceAndSavePalDibNeedsBothImages) {
    const std::string path = ::testing::TempDir() + "hv_palimage_pal.bmp";
    void* image = Photo("cups_256.bmp");
    {
        ccColorPocketArray t, noTrue;
        EXPECT_EQ((V{t.GetPalDib(), t.SavePalDib(path.c_str())}), (V{-1, -1}));  // no true image yet
        t.SetTrueDib(image);
        EXPECT_EQ(t.SavePalDib(path.c_str()), -1);  // no palette image yet
        ASSERT_EQ(t.GetPalDib(), 0);
        void* first = t.palDib;
        EXPECT_TRUE(t.ownsPalDib && ipDibStuff(first, false).isPalette8() && t.GetPalDib() == -1 &&
                    t.palDib == first);
        noTrue.SetPalDib(first, false);
        EXPECT_EQ((V{noTrue.SavePalDib(path.c_str()), t.SavePalDib(path.c_str())}), (V{-1, 0}));
        void* back = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        EXPECT_TRUE(back && Pixels(back) == Pixels(first) && Colours(back) == Colours(first));
        hv::FreeHandle(back);
        EXPECT_EQ(t.SavePalDib("/nonexistent-dir/x.bmp"), 0);  // a failed write still gives 0
    }
    std::remove(path.c_str());
    hv::FreeHandle(image);  // the theme left the host's image alone
}

TEST_F(PalImage, ConvertToPalDibMapsEachPixelToTheNearestPaletteColour) {
    void* photo = Photo("autumn_256.bmp");
    void* eight = MakeEmptyDib(2, 2, 8, true);
    {
        // Refusals: no true image, a palette of 255 or none, a palette image
        // already there (-2), an 8-bit true image.
        for (int c = 0; c < 5; ++c) {
            ccColorPocketArray t;
            if (c != 2) FillPalette(t, [](int i) { return Rgb(i, i, i); });
            t.SetTrueDib(c == 0 ? nullptr : c == 4 ? eight : photo);
            if (c == 1) t.paletteSize = 255;
            if (c == 3) t.SetPalDib(eight, false);
            EXPECT_TRUE(t.ConvertToPalDib() == (c == 3 ? -2 : -1) && t.palDib == (c == 3 ? eight : nullptr))
                << c;
        }
        // A coarse palette, so that many photo colours share a slot of the
        // cache, with white at 0 and black at 1: the first pixel, made
        // black, takes 1 (a cache whose empty slots matched black would give 0).
        ccColorPocketArray t;
        const std::vector<uint32_t> words = FillPalette(t, [](int i) {
            return i ? Rgb(((i - 1) >> 6) * 85, ((i - 1) >> 3 & 7) * 36, ((i - 1) & 7) * 36)
                     : Rgb(255, 255, 255);
        });
        std::memset(ipDibStuff(photo, false).rows[0], 0, 3);
        t.SetTrueDib(photo);
        ASSERT_EQ(t.ConvertToPalDib(), 0);
        EXPECT_TRUE(t.ownsPalDib && t.ConvertToPalDib() == -2 && Colours(t.palDib) == words);
        ipDibStuff pal(t.palDib, false), tru(photo, false);
        ASSERT_TRUE(pal.isPalette8() && pal.width() == tru.width() && pal.height() == tru.height());
        int wrong = 0;
        for (int y = 0; y < tru.height(); ++y)
            for (int x = 0; x < tru.width(); ++x)
                wrong += pal.rows[y][x] != pal.GetNearestColor(tru.rows[y] + 3 * x);
        EXPECT_TRUE(wrong == 0 && pal.rows[0][0] == 1) << wrong;
    }
    hv::FreeHandle(photo);
    hv::FreeHandle(eight);
}

TEST_F(PalImage, RestoreWritesThePaletteBackWhereThereIsNoTrueImage) {
    ccColorPocketArray t, small;
    EXPECT_EQ(t.RestorePalDibColors(), -1);
    t.highlighted = true;
    EXPECT_TRUE(t.RestoreColors() == -1 && !t.highlighted);  // neither image, yet the highlight is over
    std::vector<uint32_t> words = FillPalette(t, [](int i) { return Rgb(i / 2, 255 - i, i); });
    t.palette[9].rgb.rgbReserved = 77;
    words[9] = RgbWord(t.palette[9].rgb);
    t.SetPalDib(MakeEmptyDib(4, 4, 8, true), true);
    for (int restore = 0; restore < 2; ++restore) {  // all four bytes, by either call
        ipDibStuff(t.palDib, false).colors[9] = Rgb(1, 1, 1);
        t.highlighted = true;
        EXPECT_TRUE((restore ? t.RestoreColors() : t.RestorePalDibColors()) == 0 &&
                    t.highlighted == !restore);
        EXPECT_EQ(Colours(t.palDib), words);
    }
    // A palette image of 16 table entries is refused and left alone.
    FillPalette(small, [](int) { return Rgb(5, 5, 5); });
    void* dib16 = MakeEmptyDib(4, 4, 8, true);
    ipDibStuff(dib16, false).header->biClrUsed = 16;
    small.SetPalDib(dib16, true);
    EXPECT_EQ((V{small.RestorePalDibColors(), small.RestoreColors(), int(Colours(dib16)[0])}),
              (V{-1, -1, 0}));
}

TEST_F(PalImage, RestoreColorsPutsBackTheTrueImageFromItsBackup) {
    void* photo = Photo("autumn_256.bmp");
    void* other = MakeEmptyDib(3, 4, 24, true);
    const std::vector<BYTE> first = Pixels(photo);
    {
        ccColorPocketArray t, lent, none;
        none.MakeTrueDibCopy();
        EXPECT_EQ(none.trueDibCopy, nullptr);
        t.SetTrueDib(photo);
        t.highlighted = true;
        EXPECT_TRUE(t.RestoreColors() == -1 && !t.highlighted);  // no backup: fails, yet ends the highlight
        t.MakeTrueDibCopy();                                     // an owned copy, taken once
        void* copy = t.trueDibCopy;
        ASSERT_TRUE(copy && copy != photo && !t.trueDibCopyBorrowed && Pixels(copy) == first);
        ASSERT_EQ(t.GetPalDib(), 0);
        ipDibStuff(photo, false).rows[90][700] ^= 0x40;
        ipDibStuff(t.palDib, false).colors[3] = Rgb(1, 2, 3);
        const std::vector<uint32_t> table = Colours(t.palDib);
        t.MakeTrueDibCopy();
        EXPECT_TRUE(t.trueDibCopy == copy && Pixels(copy) == first);
        EXPECT_EQ(t.RestoreColors(), 0);
        EXPECT_TRUE(Pixels(photo) == first &&
                    Colours(t.palDib) == table);  // the palette image keeps its table
        // A lent backup of another size is refused.
        lent.SetTrueDib(photo);
        lent.SetTrueDibCopy(other);
        ipDibStuff(photo, false).rows[0][0] ^= 1;
        EXPECT_EQ(lent.RestoreColors(), -1);
        EXPECT_NE(Pixels(photo), first);
    }
    hv::FreeHandle(photo);
    hv::FreeHandle(other);
}

TEST(Stroke, BoundingRectKeepsLargestYInTopAndALengthBound) {
    const auto cases = CaseTable("edit/strokes.txt");
    ASSERT_EQ(cases.size(), 8u);  // the whole file read
    for (const auto& f : cases) {
        const G rect = Lists(f[2]);
        wStroke s = Stroke(Points(f[0]), static_cast<unsigned>(Lists(f[1]).at(0).at(0)));
        EXPECT_TRUE(s.GetBoundingRect() == CRect(rect[0][0], rect[0][1], rect[1][0], rect[1][1]) &&
                    !s.IsDrawing())
            << f[0];
        EXPECT_EQ(s.GetMaxDiscretePointNum(), Lists(f[3]).at(0).at(0)) << f[0];
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
    // A buffer too small keeps the first pixels and says so; exactly full is
    // no overflow. Far-apart ends: the buffer fills from the first step whose
    // row fits 32 bits; a row beyond them gives no pixel.
    EXPECT_EQ(
        (V{Stroke({{1, 1}}).DiscreteToBuff(5, &buf), Stroke({{0, 0}, {5, 0}}).DiscreteToBuff(5, nullptr),
           buf.count, Stroke({{0, 0}, {5, 0}}).DiscreteToBuff(1, &small),
           Stroke({{0, 0}, {5, 0}, {5, 0}}).DiscreteToBuff(1, &exact), exact.count,
           Stroke({{INT_MIN, INT_MIN}, {INT_MAX, INT_MAX}}).DiscreteToBuff(INT_MAX, &far), far.count,
           far.points[0].x, far.points[0].y, Stroke({{0, INT_MIN}, {3, INT_MIN}}).DiscreteToBuff(100, &none),
           none.count}),
        (V{-1, -1, 0, -2, 0, 6, -2, 10, -1, INT_MAX, 0, 0}));
    EXPECT_EQ(Stored(small), (Walk{{0, 0}, {1, 0}, {2, 0}}));
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
