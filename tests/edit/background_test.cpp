// Gathering the colours of a background rectangle into one flagged pocket.
#include <gtest/gtest.h>

#include <climits>

#include "edit/edit_fixtures.h"

using namespace ed;

namespace {
const std::map<int, tagRGBQUAD> kColours = {{0, Rgb(200, 0, 0)}, {1, Rgb(190, 10, 10)}, {2, Rgb(0, 200, 0)},
                                            {3, Rgb(10, 190, 10)}, {4, Rgb(0, 0, 200)},  {5, Rgb(10, 10, 190)},
                                            {6, Rgb(90, 90, 90)},  {7, Rgb(250, 250, 0)}};
// From the top; storage row 0 is the last of these.
const std::vector<V> kRows = {{0, 0, 1, 1}, {2, 2, 3, 3}, {4, 5, 6, 7}};
const G kPockets = {{0, 1}, {2, 3}, {4, 5}};

V Flags(const ccColorPocketArray& t) {
    V f;
    for (ccColorPocket* p : t.pockets) f.push_back(p->flags);
    return f;
}
}  // namespace

TEST(Background, GathersTheRectanglesColoursIntoTheFirstBackgroundPocket) {
    const G all = {{1, 0, 3, 2, 5, 4}};
    struct Case {
        const char* what;
        G pockets;
        V flags;
        std::vector<tagRECT> rects;  // columns left..right, storage rows top..bottom
        G after;
        V flagsAfter;
    } cases[] = {
        {"one pixel", kPockets, {}, {{1, 0, 1, 0}}, {{0, 1}, {2, 3}, {4}, {5}}, {0, 0, 0, 1}},
        {"top above bottom", kPockets, {}, {{0, 2, 3, 0}}, kPockets, {0, 0, 0}},
        {"left beyond right", kPockets, {}, {{3, 0, 0, 2}}, kPockets, {0, 0, 0}},
        // A pocket whose colours all go is removed; items go last first.
        {"top row", kPockets, {}, {{0, 2, 3, 2}}, {{2, 3}, {4, 5}, {1, 0}}, {0, 0, 1}},
        {"two rows, one pocket", kPockets, {}, {{0, 2, 3, 2}, {0, 1, 3, 1}}, {{4, 5}, {1, 0, 3, 2}}, {0, 1}},
        // Clipped to the image; free colours 6 and 7 stay free.
        {"everything", kPockets, {}, {{-100, -100, 100, 100}}, all, {1}},
        {"32-bit limits", kPockets, {}, {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}}, all, {1}},
        {"outside", kPockets, {}, {{10, 0, 20, 2}}, kPockets, {0, 0, 0}},
        {"past the right side", kPockets, {}, {{3, 1, 9, 2}}, {{0}, {2}, {4, 5}, {1, 3}}, {0, 0, 0, 1}},
        {"free only", kPockets, {}, {{2, 0, 3, 0}}, kPockets, {0, 0, 0}},
        // An existing background pocket in the middle takes the colours; a
        // later one with the flag is left alone.
        {"existing", {{0}, {1, 2}, {3}, {4, 5}}, {0, 3, 0, 1}, {{0, 0, 3, 2}}, {{1, 2, 0, 3}, {4, 5}}, {3, 1}},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, c.pockets);
        for (size_t k = 0; k < c.flags.size(); ++k) s.P(int(k))->flags = c.flags[k];
        for (tagRECT& r : c.rects) EXPECT_EQ(s.t.GetBackground(&r), 0) << c.what;
        EXPECT_EQ(Groups(s.t), c.after) << c.what;
        EXPECT_EQ(Flags(s.t), c.flagsAfter) << c.what;
        float share = 0;  // a new background pocket starts at 0 and gains its items' shares
        for (ccColorItem* it : s.Last()->items) share += it->percentage;
        if (c.flags.empty() && c.after.size() > c.pockets.size()) {
            EXPECT_FLOAT_EQ(s.Last()->percentage, share) << c.what;
        }
        ExpectConsistent(s.t);
    }
}

TEST(Background, StrokeFormOnlyReportsReadiness) {
    Scene s(kRows, kColours, kPockets);
    wStroke st = Stroke({{0, 0}, {3, 2}}, 2);
    EXPECT_EQ((V{s.t.GetBackground(&st), s.t.GetBackground(static_cast<wStroke*>(nullptr))}), (V{0, 0}));
    EXPECT_EQ(Groups(s.t), kPockets);
}
