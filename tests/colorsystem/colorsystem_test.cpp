// Samples, the three nearest-sample metrics with their tie rules, the
// ordering by distance, and copies of a card.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "color/colorword.h"
#include "huevane/colorsystem.h"

namespace {

tagRGBQUAD Q(int r, int g, int b) {
    tagRGBQUAD q;
    q.rgbRed = static_cast<BYTE>(r);
    q.rgbGreen = static_cast<BYTE>(g);
    q.rgbBlue = static_cast<BYTE>(b);
    q.rgbReserved = 0;
    return q;
}

int Hue(int r, int g, int b) { return HslHue(RGBtoHSL(Q(r, g, b))); }

}  // namespace

TEST(ColorSystem, AddSampleKeepsOrderDuplicatesAndComputesHsl) {
    csColorSystem cs;
    EXPECT_EQ(cs.AddSample("A", 0, 0, 0), 0);
    EXPECT_EQ(cs.AddSample("B", 0, 0, 0), 1);
    EXPECT_EQ(cs.AddSample("A", 255, 165, 0), 2);
    ASSERT_EQ(cs.samples.GetSize(), 3);
    const csColorSample* orange = cs.samples[2];
    EXPECT_EQ(orange->name, "A");
    EXPECT_EQ(orange->rgb.rgbRed, 255);
    EXPECT_EQ(orange->rgb.rgbGreen, 165);
    EXPECT_EQ(orange->rgb.rgbBlue, 0);
    EXPECT_EQ(orange->rgb.rgbReserved, 0);
    EXPECT_EQ(HslHue(orange->hsl), 27);
    EXPECT_EQ(HslGrey(orange->hsl), 0);
    EXPECT_EQ(HslGrey(cs.samples[0]->hsl), 1);
    EXPECT_EQ(cs.AddSample(nullptr, 1, 2, 3), 3);
    EXPECT_EQ(cs.samples[3]->name, "");

    // Equal colours: every search answers with the lower index.
    tagRGBQUAD black = Q(0, 0, 0);
    EXPECT_EQ(cs.GetNearestSample(black), cs.samples[0]);
    EXPECT_EQ(cs.GetNearestSampleIndex(black), 0);
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(5, 5, 5)), 0);

    cs.groups = {{0, 1}};
    cs.path = "card.txt";
    cs.ClearAll();
    EXPECT_EQ(cs.samples.GetSize(), 0);
    EXPECT_EQ(cs.groups.size(), 1u);  // groups and path survive
    EXPECT_EQ(cs.path, "card.txt");
    EXPECT_EQ(cs.AddSample("again", 1, 1, 1), 0);
}

TEST(ColorSystem, EmptyCardFindsNothing) {
    csColorSystem cs;
    EXPECT_EQ(cs.GetNearestSample(Q(1, 2, 3)), nullptr);
    EXPECT_EQ(cs.GetNearestSampleIndex(Q(1, 2, 3)), -1);
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(1, 2, 3)), -1);
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(0, 0, 0)), -1);
    tagRGBQUAD colors[2] = {Q(1, 2, 3), Q(200, 0, 0)};
    csColorSample marker("marker", 0, 0, 0);
    csColorSample* pal[3] = {&marker, &marker, &marker};
    int idx[3] = {7, 7, 7};
    EXPECT_EQ(cs.GetCardPal(colors, 2, pal), 0);
    EXPECT_EQ(pal[0], nullptr);
    EXPECT_EQ(pal[1], nullptr);
    EXPECT_EQ(pal[2], &marker);  // only n entries written
    EXPECT_EQ(cs.GetCardPalIndices(colors, 2, idx), 0);
    EXPECT_EQ(idx[0], -1);
    EXPECT_EQ(idx[1], -1);
    EXPECT_EQ(idx[2], 7);
}

TEST(ColorSystem, PlainAndWeightedMetricsDisagreeWhereTheyShould) {
    // Plain: green 40 away (1600) beats red 50 away (2500). Weighted: green
    // counts four times (6400), red at low red-mean about twice (5244).
    csColorSystem cs;
    cs.AddSample("green", 0, 40, 0);
    cs.AddSample("red", 50, 0, 0);
    EXPECT_EQ(cs.GetNearestSample(Q(0, 0, 0)), cs.samples[0]);
    EXPECT_EQ(cs.GetNearestSampleIndex(Q(0, 0, 0)), 1);

    // The red mean decides: at a high red mean blue differences weigh less
    // and red ones more than the plain metric says, so the weighted search
    // picks sample 1 where the plain one (and a metric with the weights
    // swapped or the mean taken from the query alone) picks sample 0.
    csColorSystem card;
    card.AddSample("b", 105, 40, 80);
    card.AddSample("a", 15, 195, 35);
    tagRGBQUAD q = Q(165, 170, 130);
    EXPECT_EQ(card.GetNearestSample(q), card.samples[0]);
    EXPECT_EQ(card.GetNearestSampleIndex(q), 1);

    // Each weighted term is shifted on its own: both samples then sum to 453
    // (shifting the total would give 454 and 453) and the tie goes to the
    // lower index, whichever sample that is. The plain metric prefers
    // (31, 113, 153) in both orders (125 against 150).
    tagRGBQUAD t = Q(36, 103, 153);
    csColorSystem tie;
    tie.AddSample("x", 34, 108, 164);
    tie.AddSample("y", 31, 113, 153);
    EXPECT_EQ(tie.GetNearestSampleIndex(t), 0);
    EXPECT_EQ(tie.GetNearestSample(t), tie.samples[1]);
    csColorSystem tie2;
    tie2.AddSample("y", 31, 113, 153);
    tie2.AddSample("x", 34, 108, 164);
    EXPECT_EQ(tie2.GetNearestSampleIndex(t), 0);
    EXPECT_EQ(tie2.GetNearestSample(t), tie2.samples[0]);

    // The ranked form agrees, keeps ties in index order and reports the
    // distances: sqrt(453) for both tied samples.
    int order[3] = {-5, -5, -5};
    double dist[3] = {-1, -1, -1};
    EXPECT_EQ(tie2.GetNearestSamplesByWeight(t, order, dist, 3), 2);
    EXPECT_EQ(order[0], 0);
    EXPECT_EQ(order[1], 1);
    EXPECT_EQ(order[2], -5);
    EXPECT_DOUBLE_EQ(dist[0], std::sqrt(453.0));
    EXPECT_DOUBLE_EQ(dist[1], std::sqrt(453.0));
    EXPECT_EQ(card.GetNearestSamplesByWeight(q, order, nullptr, 1), 1);
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(card.GetNearestSamplesByWeight(q, order, dist, 0), 0);
    EXPECT_EQ(csColorSystem().GetNearestSamplesByWeight(q, order, dist, 3), 0);

    // Plain ties (100 both ways) go to the lower index as well.
    csColorSystem plainTie;
    plainTie.AddSample("up", 100, 110, 100);
    plainTie.AddSample("down", 100, 90, 100);
    EXPECT_EQ(plainTie.GetNearestSample(Q(100, 100, 100)), plainTie.samples[0]);

    // The batch forms answer as the single queries; the reserved byte is ignored.
    tagRGBQUAD colors[3] = {Q(0, 0, 0), q, t};
    colors[1].rgbReserved = 200;
    int idx[3];
    csColorSample* pal[3];
    EXPECT_EQ(card.GetCardPalIndices(colors, 3, idx), 0);
    EXPECT_EQ(card.GetCardPal(colors, 3, pal), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(idx[i], card.GetNearestSampleIndex(colors[i])) << i;
        EXPECT_EQ(pal[i], card.GetNearestSample(colors[i])) << i;
    }
    EXPECT_EQ(idx[1], 1);
    EXPECT_EQ(card.GetCardPal(colors, 0, pal), 0);
    EXPECT_EQ(card.GetCardPalIndices(nullptr, 3, idx), -1);
    EXPECT_EQ(card.GetCardPal(colors, 3, nullptr), -1);
}

TEST(ColorSystem, HueSearchSeparatesGreysAndWrapsTheCircle) {
    ASSERT_EQ(Hue(255, 58, 0), 10);
    ASSERT_EQ(Hue(180, 0, 255), 200);
    ASSERT_EQ(Hue(255, 0, 34), 250);
    csColorSystem cs;
    cs.AddSample("dark", 10, 10, 10);
    cs.AddSample("hue200", 180, 0, 255);
    cs.AddSample("hue10", 255, 58, 0);
    cs.AddSample("light", 180, 180, 180);
    // 250 is 6 steps from 10 across the wrap and 50 from 200.
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(255, 0, 34)), 2);
    // Saturation and lightness play no part: a dull dark red still goes by hue.
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(60, 50, 50)), 2);
    // Grey (90,90,90): 3 x 80^2 = 19200 and 3 x 90^2 = 24300, neither below 10000.
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(90, 90, 90)), -1);
    // 3 x 57^2 = 9747 is near enough, 3 x 58^2 = 10092 is not.
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(67, 67, 67)), 0);
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(68, 68, 68)), -1);
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(140, 140, 140)), 3);
    // A near-grey is chromatic and never goes to a grey sample.
    ASSERT_EQ(Hue(10, 11, 10), 85);
    EXPECT_EQ(cs.GetNearestSampleIndexByHue(Q(10, 11, 10)), 2);

    csColorSystem greys;
    greys.AddSample("black", 0, 0, 0);
    greys.AddSample("white", 255, 255, 255);
    EXPECT_EQ(greys.GetNearestSampleIndexByHue(Q(255, 0, 0)), -1);
    EXPECT_EQ(greys.GetNearestSampleIndexByHue(Q(250, 250, 250)), 1);

    // Hue 4 lies 10 steps from both 14 and 250: the lower index wins in
    // either order; off the midpoint the nearer one wins.
    ASSERT_EQ(Hue(255, 82, 0), 14);
    ASSERT_EQ(Hue(255, 24, 0), 4);
    csColorSystem sides;
    sides.AddSample("hue14", 255, 82, 0);
    sides.AddSample("hue250", 255, 0, 34);
    EXPECT_EQ(sides.GetNearestSampleIndexByHue(Q(255, 24, 0)), 0);
    EXPECT_EQ(sides.GetNearestSampleIndexByHue(Q(255, 0, 0)), 1);  // 6 beats 14
    csColorSystem sides2;
    sides2.AddSample("hue250", 255, 0, 34);
    sides2.AddSample("hue14", 255, 82, 0);
    EXPECT_EQ(sides2.GetNearestSampleIndexByHue(Q(255, 24, 0)), 0);
    EXPECT_EQ(sides2.GetNearestSampleIndexByHue(Q(255, 58, 0)), 1);  // hue 10: 4 beats 16
}

TEST(ColorSystem, DistOrderIsStableAndBounded) {
    csColorSystem cs;
    cs.AddSample("s0", 10, 10, 10);
    cs.AddSample("s1", 200, 0, 0);
    cs.AddSample("s2", 10, 10, 10);
    cs.AddSample("s3", 20, 10, 10);
    cs.AddSample("s4", 0, 10, 10);   // 100 from s2, as s3
    cs.AddSample("s5", 10, 10, 12);  // 4 from s2

    int out[8];
    std::fill(out, out + 8, 99);
    EXPECT_EQ(cs.GetCardDistOrder(2, out, 3), 3);
    EXPECT_EQ(out[0], 0);  // same colour, lower index, comes before the reference
    EXPECT_EQ(out[1], 2);
    EXPECT_EQ(out[2], 5);
    EXPECT_EQ(out[3], 99);

    std::fill(out, out + 8, 99);
    EXPECT_EQ(cs.GetCardDistOrder(1, out, 6), 6);
    const int expected[6] = {1, 3, 0, 2, 5, 4};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], expected[i]) << i;

    // Asking for more than the card holds writes only what there is.
    std::fill(out, out + 8, 99);
    EXPECT_EQ(cs.GetCardDistOrder(2, out, 8), 6);
    EXPECT_EQ(out[3], 3);  // the tie at 100 in index order
    EXPECT_EQ(out[4], 4);
    EXPECT_EQ(out[5], 1);
    EXPECT_EQ(out[6], 99);
    EXPECT_EQ(out[7], 99);

    std::fill(out, out + 8, 99);
    EXPECT_EQ(cs.GetCardDistOrder(0, out, 0), 0);
    EXPECT_EQ(cs.GetCardDistOrder(0, out, -4), 0);
    EXPECT_THROW(cs.GetCardDistOrder(6, out, 3), std::out_of_range);
    EXPECT_THROW(cs.GetCardDistOrder(-1, out, 3), std::out_of_range);
    EXPECT_EQ(out[0], 99);
    csColorSystem empty;
    EXPECT_THROW(empty.GetCardDistOrder(0, out, 1), std::out_of_range);
}

TEST(ColorSystem, CopiesOwnTheirSamplesAndGroups) {
    csColorSystem a;
    a.AddSample("one", 1, 2, 3);
    a.AddSample("two", 4, 5, 6);
    a.groups = {{1, 0}, {}};
    a.path = "cards.txt";

    csColorSystem b(a);
    ASSERT_EQ(b.samples.GetSize(), 2);
    EXPECT_NE(b.samples[0], a.samples[0]);
    EXPECT_EQ(b.samples[1]->name, "two");
    EXPECT_EQ(b.samples[1]->rgb.rgbBlue, 6);
    EXPECT_EQ(b.samples[1]->hsl, a.samples[1]->hsl);
    EXPECT_EQ(b.groups, a.groups);
    EXPECT_EQ(b.path, "cards.txt");
    b.samples[0]->name = "changed";
    b.groups[0].push_back(1);
    EXPECT_EQ(a.samples[0]->name, "one");
    EXPECT_EQ(a.groups[0].size(), 2u);

    csColorSystem c;
    c.AddSample("old", 9, 9, 9);
    c = a;
    ASSERT_EQ(c.samples.GetSize(), 2);
    EXPECT_NE(c.samples[1], a.samples[1]);
    EXPECT_EQ(c.samples[0]->name, "one");
    c = c;  // self-assignment keeps everything
    EXPECT_EQ(c.samples.GetSize(), 2);
    EXPECT_EQ(c.samples[1]->name, "two");
    a.ClearAll();  // the copies stay valid (the sanitizers watch the releases)
    EXPECT_EQ(b.samples[1]->name, "two");
    EXPECT_EQ(c.samples[1]->rgb.rgbRed, 4);
}
