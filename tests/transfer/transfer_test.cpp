// The transfer: pairing target pockets with style pockets (the greedy
// methods with their flags, fallback and hue refinement, the
// colour-difference search, the neighbour chains), the palette and true-DIB
// passes against the per-pixel definition, repeated transfers, the region
// fill against a plain scan line, and the same bytes whatever the thread
// count.
#include "transfer/transfer.h"

#include <algorithm>
#include <array>
#include <climits>
#include <numeric>
#include <random>
#include <sstream>

#include "platform/workers.h"
#include "transfer/matching.h"
#include "transfer/regionfill.h"
#include "transfer/transfer_fixtures.h"

using tfix::Add;
using V = std::vector<int>;
using Span = std::array<int, 3>;  // y, xa, xb
using Coords = std::vector<int32_t>;
using Regions = std::vector<std::pair<Coords, Coords>>;  // xs and ys of each

namespace {

// Links of the target pockets as positions in the style theme (-1 unpaired).
V Links(ccColorPocketArray& t, ccColorPocketArray& s) {
    V out;
    for (ccColorPocket* p : t.pockets) out.push_back(p->destLink ? s.GetIndex(p->destLink) : -1);
    return out;
}

// Adds pockets written "hue:pixels[:flags[:share in %]] ..." of saturation
// s and lightness l.
void Pockets(ccColorPocketArray& t, const char* written, int s, int l) {
    std::istringstream in(written);
    for (std::string p; in >> p;) {
        int h = 0, n = 0, flags = 0, share = 0;
        std::sscanf(p.c_str(), "%d:%d:%d:%d", &h, &n, &flags, &share);
        Add(t, h, s, l, n, share / 100.0f, flags);
    }
}

// A theme over a one-row image whose columns hold the pockets named by the
// layout, pocket k of hue hues[k].
void Strip(ccColorPocketArray& t, const V& hues, const V& sizes, const std::vector<BYTE>& layout) {
    std::vector<tagRGBQUAD> colours;
    for (int h : hues) colours.push_back(RgbQuad(HSLtoRGB(MakeHsl(h, 200, 120, 0))));
    tfix::PaletteTheme(t, colours, sizes, static_cast<int>(layout.size()), layout);
    for (size_t i = 0; i < hues.size(); ++i) t.pockets[int(i)]->aveHSL = MakeHsl(hues[i], 200, 120, 0);
}

// A span end rounded to a column (far outside the picture: held there).
int64_t Round(float x) { return static_cast<int64_t>(std::clamp(static_cast<double>(x) + 0.5, -1e12, 1e12)); }

// The regions filled with a plain active list: every edge inserted by a
// linear search of the list, the list never re-sorted, so that crossing
// edges keep the order they entered in; rows above the picture are walked
// (without filling) from the top vertex.
std::vector<Span> PlainFill(const Regions& regions, int w, int h) {
    std::vector<hv::RegionFill::Edge> table;
    int64_t minY = INT64_MAX, maxY = INT64_MIN;
    for (const auto& [xs, ys] : regions)
        for (int i = 0, n = int(xs.size()); n >= 3 && i < n; ++i) {
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
    std::vector<hv::RegionFill::Edge> list;
    size_t next = 0;
    for (int64_t y = minY; y <= std::min<int64_t>(maxY, h - 1); ++y) {
        list.erase(std::remove_if(list.begin(), list.end(), [y](auto& e) { return e.yMax == y; }),
                   list.end());
        for (; next < table.size() && table[next].yMin == y; ++next) {
            const auto e = table[next];
            size_t at = 0;
            for (; at < list.size(); ++at)
                if (std::abs(list[at].x - e.x) < 0.0001f ? list[at].slope > e.slope : list[at].x > e.x) break;
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), e);
        }
        for (size_t i = 0; y >= 0 && i + 1 < list.size(); i += 2) {
            const int64_t xa = std::max<int64_t>(Round(list[i].x), 0);
            const int64_t xb = std::min<int64_t>(Round(list[i + 1].x), w - 1);
            if (Round(list[i].x) <= Round(list[i + 1].x) && xa <= xb)
                out.push_back({int(y), int(xa), int(xb)});
        }
        for (auto& e : list) e.x += e.slope;
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

// Every byte of a DIB: header, colour table and pixels.
std::vector<BYTE> Bytes(void* dib) {
    hv::HandleLock lock(dib);
    return {lock.bytes(), lock.bytes() + lock.size()};
}

}  // namespace

TEST(Matching, GreedyPairingWithBackgroundsAndFallbackAndTheHueRefinement) {
    // Target and style pockets (out of size order: the method sorts by size),
    // respectBackground, the method, and the links by position in the sorted
    // themes. In order: the three largest take the style pockets in size
    // order, the rest share the destination of the earlier pocket nearest in
    // hue; equally near earlier pockets: the first one wins; background (1)
    // to background, left out (4) unpaired, or all alike; a second
    // background pocket finds no free background style pocket. Method 2:
    // greedy pairs by size, then the refinement hands each pocket the
    // candidate of nearest hue weighted by (1 - share) (costs 25 and 25 for
    // the first pocket of the last two cases, then 25 and 20), ties keeping
    // the greedy order.
    const std::tuple<const char*, const char*, bool, int, V> cases[] = {
        {"105:20 10:50 250:10 200:30 100:40", "30:10 60:30 90:20", false, 1, {0, 1, 2, 1, 0}},
        {"40:30 80:20 60:10", "0:20 128:10", true, 1, {0, 1, 0}},
        {"10:50 20:40:1 30:30:4 40:20", "100:50:1 110:40 120:30:1 130:20", true, 1, {1, 0, -1, 3}},
        {"10:50 20:40:1 30:30:4 40:20", "100:50:1 110:40 120:30:1 130:20", false, 1, {0, 1, 2, 3}},
        {"10:50:1 100:40 95:30:1", "0:50 50:40:1 60:30", true, 1, {1, 0, 0}},
        {"10:290 100:200 200:100", "200:300:0:50 100:200:0:30 10:100:0:20", true, 2, {2, 1, 0}},
        {"100:200 0:100", "50:200:0:50 150:100:0:50", true, 2, {0, 1}},
        {"100:200 0:100", "50:200:0:50 150:100:0:60", true, 2, {1, 0}},
    };
    for (const auto& [target, style, respect, method, want] : cases) {
        ccColorPocketArray t, s;
        Pockets(t, target, 200, 120);
        Pockets(s, style, 100, 100);
        for (ccColorPocket* q : s.pockets) q->destLink = q;  // stale links must not block
        EXPECT_EQ(t.GetDstPockets(&s, respect, method), 0);
        EXPECT_EQ(Links(t, s), want) << target;
        for (auto* p : t.pockets) EXPECT_EQ(p->destHSL, p->destLink ? p->destLink->aveHSL : p->destHSL);
        for (ccColorPocket* q : s.pockets) EXPECT_EQ(q->destLink, nullptr);
        // No style, no such method.
        EXPECT_EQ(t.GetDstPockets(nullptr, true, 1) + t.GetDstPockets(&s, true, 6), -2);
    }
    // The style's links are cleared after the greedy pairing: a target
    // matched with itself stays unpaired and copies no colour.
    for (int method : {1, 2, 3}) {
        ccColorPocketArray t;
        Pockets(t, "10:50 90:30", 200, 100);
        for (ccColorPocket* p : t.pockets) p->destRGB = {1, 2, 3, 0};
        EXPECT_EQ(t.GetDstPockets(&t, false, method), 0);
        EXPECT_EQ(Links(t, t), (V{-1, -1})) << method;
        EXPECT_EQ(RgbWord(t.pockets[0]->destRGB), 0x030201u);
    }
}

TEST(Matching, ColorDiffSearchEqualsFullEnumeration) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 120; ++round) {
        hv::ColorDiffProblem pr;
        pr.k = 2 + round % 6;  // up to the largest tuple searched
        pr.nB = 1 + (round / 4) % 6;
        // Narrow ranges make many ties; wide ones overflow 32-bit products.
        const bool narrow = round % 3 == 0;
        std::uniform_int_distribution<int> v(0, narrow ? 3 : 195075), nv(0, narrow ? 2 : 1000000);
        for (int i = 0; i < 16; ++i)
            for (int j = i + 1; j < 16; ++j) {
                pr.da[i][j] = pr.da[j][i] = v(rng);
                pr.db[i][j] = pr.db[j][i] = v(rng);
                pr.n[i][j] = pr.n[j][i] = nv(rng);
            }
        // Every tuple with x[0] = 0 in lexicographic order; the first of
        // smallest cost is the answer.
        V x(static_cast<size_t>(pr.k), 0), want = x;
        int64_t wantCost = INT64_MAX;
        for (int p = 1; p >= 1;) {
            const int64_t cost = hv::ColorDiffCost(pr, x.data());
            if (cost < wantCost) wantCost = cost, want = x;
            for (p = pr.k - 1; p >= 1 && ++x[p] == pr.nB;) x[p--] = 0;
        }
        int best[hv::kMaxColorDiffPositions];
        hv::ColorDiffSearch(pr, best);
        ASSERT_EQ(V(best, best + pr.k), want) << "round " << round;
    }
}

TEST(Matching, ImageMethodsColourDifferencesAndNeighbourChains) {
    // The style holds the target's colours in another size order: method 4
    // finds the pairing that keeps every colour difference.
    const tagRGBQUAD red{0, 0, 255, 0}, green{0, 200, 0, 0}, blue{100, 0, 0, 0}, white{255, 255, 255, 0};
    ccColorPocketArray t, s;
    std::vector<BYTE> grid;
    for (int i = 0; i < 16; ++i) grid.push_back(BYTE((i % 4 + 2 * (i / 4)) % 4));
    tfix::PaletteTheme(t, {red, green, blue, white}, {40, 30, 20, 10}, 4, grid);
    tfix::PaletteTheme(s, {green, white, red, blue}, {20, 30, 40, 10}, 4, grid);
    s.SetPalDib(nullptr, false);  // the style needs no image
    EXPECT_EQ(t.GetDstPockets(&s, true, 4), 0);
    for (ccColorPocket* p : t.pockets) EXPECT_EQ(RgbWord(p->destRGB), RgbWord(p->aveRGB));
    // Beyond the searched positions (here two: the style has two pockets) a
    // pocket takes the destination of the searched one nearest in colour.
    ccColorPocketArray t3, s2;
    tfix::PaletteTheme(t3, {red, green, {0, 150, 0, 0}}, {40, 30, 20}, 3, {0, 1, 2, 1, 2, 0, 2, 0, 1});
    tfix::PaletteTheme(s2, {blue, white}, {60, 40}, 2, {0, 1, 1, 0});
    EXPECT_EQ(t3.GetDstPockets(&s2, true, 4), 0);
    EXPECT_EQ(Links(t3, s2), (V{0, 1, 1}));
    int m[16][16];  // squared RGB distances between the pockets' means
    EXPECT_EQ(t.GetClrDiffMatrix(m), 0);
    EXPECT_EQ((V{m[0][1], m[1][0], m[2][2]}), (V{255 * 255 + 200 * 200, 255 * 255 + 200 * 200, 0}));
    // Without the target's image (a theme read back from its buffer) there
    // are no neighbour counts to weigh the differences by: nothing is paired
    // (-1), by method 4 as by method 5.
    char* buf = nullptr;
    ASSERT_GT(t.SaveToBuf(buf), 0);
    ccColorPocketArray loaded;
    ASSERT_GT(loaded.LoadFromBuf(buf), 0);
    t.FreeDataBuf(buf);
    EXPECT_EQ(loaded.GetDstPockets(&s, true, 5) + loaded.GetDstPockets(&s, true, 4), -2);
    EXPECT_EQ(Links(loaded, s), (V{-1, -1, -1, -1}));
    for (ccColorPocket* p : loaded.pockets) EXPECT_EQ(RgbWord(p->destRGB), 0u);
    // The chain starts at the largest pocket and follows adjacency; equal
    // adjacency keeps the earlier candidate, none left continues in order.
    // Also of two pockets the larger starts; more than 16 are refused.
    const std::tuple<V, V, std::vector<BYTE>, V> cases[] = {
        {{0, 50, 100, 150}, {10, 20, 90, 30}, {2, 2, 0, 0, 3, 1}, {2, 0, 3, 1}},
        {{0, 50, 100, 150}, {10, 20, 90, 30}, {0, 2, 3, 1}, {2, 0, 1, 3}},
        {{0, 100}, {10, 20}, {0, 1}, {1, 0}},
    };
    for (const auto& [hues, sizes, layout, want] : cases) {
        ccColorPocketArray chain;
        Strip(chain, hues, sizes, layout);
        int order[16] = {};
        EXPECT_EQ(chain.SortOnMixNeighboring(order), 0);
        EXPECT_EQ(V(order, order + want.size()), want);
    }
    ccColorPocketArray many;
    Strip(many, V(16, 0), V(16, 5), std::vector<BYTE>(16, 0));
    int order[16];
    EXPECT_EQ(many.SortOnMixNeighboring(order), 0);
    Add(many, 0, 0, 0, 1);
    EXPECT_EQ(many.SortOnMixNeighboring(order), -1);
    // Hue step 40 > 30 advances the style chain, 5 < 70 stays, 75 > 70
    // advances, then the style chain is exhausted.
    ccColorPocketArray u, v;
    Strip(u, {0, 40, 45, 120, 0}, {50, 40, 30, 20, 10}, {0, 1, 2, 3, 4});
    Strip(v, {100, 130, 200}, {30, 20, 10}, {0, 1, 2});
    EXPECT_EQ(u.GetDstPockets(&v, true, 5), 0);
    EXPECT_EQ(Links(u, v), (V{0, 1, 1, 2, 2}));
    EXPECT_EQ(many.GetMapOnMixNeighboring(&v, false), -2);  // 17 pockets
}

TEST(Transfer, PaletteItemsScaleSaturationAndDarkenGreys) {
    ccColorPocketArray t, s;
    tfix::PaletteTheme(t, std::vector<tagRGBQUAD>(8, {10, 200, 30, 0}), {}, 8, {0, 1, 2, 3, 4, 5, 6, 7});
    ccColorPocket* p = Add(t, 30, 5, 4, 1);  // both divisors are raised to 10
    p->SetDestLink(Add(s, 100, 200, 150, 1));
    t.palette[1].hsl = MakeHsl(20, 3, 80, 0);
    t.palette[2].hsl = MakeHsl(40, 20, 200, 0);
    t.palette[3].hsl = MakeHsl(170, 0, 200, 1);  // grey
    t.palette[4].hsl = MakeHsl(170, 0, 5, 1);
    t.palette[6].palIndex = 256;  // past the colour table: not written
    for (int i : {1, 2, 3, 4, 6}) p->items.Add(&t.palette[i]);
    const std::vector<BYTE> pixels = tfix::Pixels(t.palDib);
    auto colour = [&](int i) { return RgbWord(tfix::Colors(t.palDib)[i]) & 0xFFFFFF; };
    auto hsl = [](int h, int s, int l) { return HSLtoRGB(MakeHsl(h, s, l, 0)) & 0xFFFFFF; };
    const uint32_t before = colour(0);
    EXPECT_EQ(t.ApplyFinalTransToPalDib(false), 0);
    EXPECT_EQ(colour(1), hsl(100, 60, 80));    // 3 x 200 / 10
    EXPECT_EQ(colour(2), hsl(100, 255, 200));  // 400, limited
    EXPECT_EQ(colour(3), 0xB4B4B4u);           // a grey loses a tenth: 180
    EXPECT_EQ(colour(0), before);              // in no pocket
    // With lightness: scaled by 150 / max(4, 10), limited, greys darkened.
    EXPECT_EQ(t.ApplyFinalTransToPalDib(true), 0);
    EXPECT_EQ(colour(1), hsl(100, 60, 255));
    EXPECT_EQ(colour(4), hsl(100, 0, 67));  // 5 x 15 = 75, less a tenth
    EXPECT_EQ(tfix::Pixels(t.palDib), pixels);
    // The true-DIB passes need both images.
    ccColorPocketArray bare;
    bare.SetTrueDib(t.palDib);
    EXPECT_EQ(bare.ApplyColorTransToTrueDib(&s, true, false, false) + hv::TrueDibPassOnce(bare), -2);
}

// In place (a theme used once) and from the backup it keeps, the true-DIB
// pass gives each pixel its own transfer (the definition); a repeated
// transfer, also with another pairing, starts from the backup.
TEST(Transfer, TrueDibPassesEqualPerPixelDefinitionOnAPhotoAlsoWhenRepeated) {
    tfix::NoLeak noLeak;
    void* original = tfix::Photo("autumn_256.bmp");
    void* pal8 = DecreaseBpp24to8(original);
    void* images[2] = {tfix::Copy(original), tfix::Copy(original)};
    {
        // The photo's pockets with random destinations, some of full or no
        // saturation, some pockets of low saturation themselves (below the
        // divisor's floor of 10); one pocket unpaired and one index in none.
        ccColorPocketArray t, s;
        t.SetPalDib(pal8, false);
        ASSERT_EQ(t.GetColorPockets(), 0);
        ipDibStuff pal(pal8, false), src(original, false);
        std::mt19937 rng(7);
        std::vector<ccColorPocket*> byIndex(256, nullptr);
        const int unpaired = t.pockets[1]->GetColorItemIndex(0) < 0 ? 1 : 2;  // palette index 0 stays paired
        for (ccColorPocket* p : t.pockets) {
            const int k = t.GetIndex(p);
            if (k % 3 == 0) p->aveHSL = MakeHsl(HslHue(p->aveHSL), rng() % 12, HslLight(p->aveHSL), 0);
            const int sat = k % 4 == 1 ? 255 : k % 4 == 2 ? 0 : rng() % 256;
            if (k != unpaired) p->SetDestLink(Add(s, rng() % 256, sat, rng() % 256, 1));
            for (ccColorItem* it : p->items) byIndex[it->palIndex] = p;
        }
        // Drop the last item of the first pocket.
        ccDynaArray<ccColorItem*>& first = t.pockets[0]->items;
        byIndex[first[first.GetSize() - 1]->palIndex] = nullptr;
        first.RemoveAt(first.GetSize() - 1);
        ASSERT_TRUE(byIndex[0] && byIndex[0]->destLink);
        auto expected = [&] {
            std::vector<BYTE> want;
            for (int y = 0; y < src.height(); ++y)
                for (int x = 0; x < src.width(); ++x) {
                    const BYTE* px = src.rows[y] + 3 * x;
                    tagRGBQUAD o{px[0], px[1], px[2], 0};
                    if (ccColorPocket* p = byIndex[pal.rows[y][x]]) t.ClrTransOnRGB(o, o, p);
                    want.insert(want.end(), {o.rgbBlue, o.rgbGreen, o.rgbRed});
                }
            return want;
        };
        const std::vector<BYTE> want = expected();
        t.SetTrueDib(images[0]);
        EXPECT_EQ(hv::TrueDibPassOnce(t), 0);
        EXPECT_EQ(t.trueDibCopy, nullptr);  // no backup made
        EXPECT_EQ(tfix::Pixels(images[0]), want);
        t.SetTrueDib(images[1]);
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(t.ApplyFinalTrans(&s, true), 0);
            EXPECT_EQ(tfix::Pixels(images[1]), want);
        }
        EXPECT_EQ(t.transferCount, 2);
        // Another pairing: each paired sector takes the next style pocket.
        for (ccColorPocket* p : t.pockets)
            if (p->destLink) p->SetDestLink(s.pockets[(s.GetIndex(p->destLink) + 1) % s.pockets.GetSize()]);
        EXPECT_EQ(t.ApplyFinalTrans(&s, false), 0);
        EXPECT_EQ(tfix::Pixels(images[1]), expected());
    }
    for (void* h : {original, pal8, images[0], images[1]}) hv::FreeHandle(h);
}

TEST(RegionFill, EvenOddOverAllRegionsClippedToThePicture) {
    std::vector<Span> rectangle, squares, clipped;
    for (int y = 0; y < 100; ++y) {
        // A rectangle: rows 20..39, the row of largest y not filled.
        if (y >= 20 && y < 40) rectangle.push_back({y, 10, 30});
        // Overlapping squares: even-odd over all edges leaves the overlap out.
        if (y < 10) squares.push_back({y, 0, y < 5 ? 10 : 5});
        if (y >= 5 && y < 15) squares.push_back({y, y < 10 ? 10 : 5, 15});
        clipped.push_back({y, 0, 99});
    }
    const std::pair<Regions, std::vector<Span>> cases[] = {
        {{{{10, 30, 30, 10}, {20, 20, 40, 40}}}, rectangle},
        {{{{0, 10, 10, 0}, {0, 0, 10, 10}}, {{5, 15, 15, 5}, {5, 5, 15, 15}}}, squares},
        // Clipped to the picture, however far outside the vertices lie.
        {{{{INT_MIN, INT_MAX, INT_MAX, INT_MIN}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}}}, clipped},
        {{{{0, 20, 40}, {5, 5, 5}}, {{0, 10}, {0, 10}}}, {}},  // flat or two-vertex regions fill nothing
    };
    for (const auto& [regions, want] : cases) EXPECT_EQ(Fill(regions, 100, 100), want);
    // Malformed lists are refused, whichever region is at fault.
    Coords xs{0, 10, 0}, ys{0, 0, 10};
    RegionPolygon bad[2] = {{3, xs.data(), nullptr}, {3, xs.data(), ys.data()}};
    hv::RegionFill fill;
    EXPECT_FALSE(fill.Build(bad, 2));
    bad[0].ys = ys.data();
    bad[1].count = -1;
    EXPECT_FALSE(fill.Build(bad, 2) || fill.Build(nullptr, 1) || fill.Build(bad, -1));
    // Restoring needs two views of one size and depth, 8 or 24 bits.
    bad[1].count = 3;
    ASSERT_TRUE(fill.Build(bad, 1));
    void* dibs[] = {MakeEmptyDib(8, 4, 24, true), MakeEmptyDib(6, 4, 24, true), MakeEmptyDib(8, 5, 24, true),
                    MakeEmptyDib(8, 4, 8, true), MakeEmptyDib(8, 4, 24, true)};
    {
        ipDibStuff dst(dibs[0], false), narrow(dibs[1], false), low(dibs[2], false), paletted(dibs[3], false),
            same(dibs[4], false);
        EXPECT_EQ((std::vector<bool>{fill.Restore(dst, narrow), fill.Restore(dst, low),
                                     fill.Restore(dst, paletted), fill.Restore(dst, same)}),
                  (std::vector<bool>{false, false, false, true}));
    }
    for (void* d : dibs) hv::FreeHandle(d);
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
            EXPECT_EQ(Fill({{xs, ys}}, w, h), PlainFill({{xs, ys}}, w, h))
                << vertices << " vertices, shape " << shape;
        }
}

// The same bytes for one, two and three threads, on images large enough to
// be split (and to count every other row in the reduction's histogram) whose
// bands of rows each hold their own run of 256 or 300 colours, where the
// colour count must be taken over all parts (no part alone holds more than
// 256).
TEST(Threads, ReductionAndRestyleAreTheSameForOneTwoAndThreeThreads) {
    tfix::NoLeak noLeak;
    void* styleImage = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(styleImage);
    hv::FreeHandle(styleImage);
    for (int runs : {256, 300}) {  // colours in the image
        void* image = MakeEmptyDib(1024, 2100, 24, true);
        {
            ipDibStuff v(image, false);
            for (int y = 0; y < 2100; ++y)
                for (int x = 0; x < 3 * 1024; ++x) {
                    const int c = (y * runs / 2100 + x / 3 % 2) % runs, bgr[3] = {c * 7, c, 255 - c / 2};
                    v.rows[y][x] = BYTE(bgr[x % 3]);
                }
        }
        std::vector<BYTE> first[2];
        for (int n = 1; n <= 3; ++n) {
            hv::SetWorkerCount(n);
            ASSERT_EQ(hv::WorkersFor(1024 * 2100, 2100), n);
            void* dib8 = DecreaseBpp24to8(image);
            void* work = tfix::Copy(image);
            ASSERT_EQ(AdjustImageStyle(work, style.data(), nullptr), 0);
            const std::vector<BYTE> got[2] = {Bytes(dib8), Bytes(work)};
            int histo[256];
            ASSERT_EQ(ipDibStuff(dib8, false).StatHisto(histo), 0);
            EXPECT_EQ(std::accumulate(histo, histo + 256, 0), 1024 * 2100) << n << " threads";
            EXPECT_TRUE(n > 1 || got[1] != Bytes(image));  // the restyle changed something
            for (int k = 0; k < 2; ++k) {
                if (n == 1) first[k] = got[k];
                EXPECT_TRUE(got[k] == first[k]) << runs << " colours, " << n << " threads";
            }
            for (void* h : {dib8, work}) hv::FreeHandle(h);
        }
        hv::SetWorkerCount(0);
        hv::FreeHandle(image);
    }
}
