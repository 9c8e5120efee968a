// Gathering the colours of a background rectangle into one flagged pocket.
#include <gtest/gtest.h>

#include <climits>

#include "edit/edit_fixtures.h"

namespace {

using ed::G;
using ed::Rgb;
using ed::Scene;

const std::map<int, tagRGBQUAD> kColours = {{0, Rgb(200, 0, 0)}, {1, Rgb(190, 10, 10)}, {2, Rgb(0, 200, 0)},
                                            {3, Rgb(10, 190, 10)}, {4, Rgb(0, 0, 200)},  {5, Rgb(10, 10, 190)},
                                            {6, Rgb(90, 90, 90)},  {7, Rgb(250, 250, 0)}};
// From the top; storage row 0 is the last of these.
const std::vector<ed::V> kRows = {{0, 0, 1, 1}, {2, 2, 3, 3}, {4, 5, 6, 7}};
const G kPockets = {{0, 1}, {2, 3}, {4, 5}};

std::vector<int> Flags(const ccColorPocketArray& t) {
    std::vector<int> f;
    for (ccColorPocket* p : t.pockets) f.push_back(p->flags);
    return f;
}

}  // namespace

TEST(Background, GathersTheRectanglesColours) {
    struct Case {
        const char* what;
        tagRECT rect;  // columns left..right, storage rows top..bottom
        G after;
    } cases[] = {
        {"one pixel", {1, 0, 1, 0}, {{0, 1}, {2, 3}, {4}, {5}}},
        {"top above bottom", {0, 2, 3, 0}, kPockets},
        {"left beyond right", {3, 0, 0, 2}, kPockets},
        // A pocket whose colours all go is removed; items go last first.
        {"top row", {0, 2, 3, 2}, {{2, 3}, {4, 5}, {1, 0}}},
        // Clipped to the image; free colours 6 and 7 stay free.
        {"everything", {-100, -100, 100, 100}, {{1, 0, 3, 2, 5, 4}}},
        {"32-bit limits", {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {{1, 0, 3, 2, 5, 4}}},
        {"outside", {10, 0, 20, 2}, kPockets},
        {"free only", {2, 0, 3, 0}, kPockets},
    };
    for (Case& c : cases) {
        Scene s(kRows, kColours, kPockets);
        EXPECT_EQ(s.t.GetBackground(&c.rect), 0) << c.what;
        EXPECT_EQ(xt::Groups(s.t), c.after) << c.what;
        if (c.after != kPockets) {
            EXPECT_EQ(Flags(s.t).back(), 1) << c.what;
        }
        ed::ExpectConsistent(s.t);
    }
}

TEST(Background, ReusesTheFirstBackgroundPocket) {
    Scene s(kRows, kColours, kPockets);
    tagRECT top{0, 2, 3, 2}, middle{0, 1, 3, 1};
    ASSERT_EQ(s.t.GetBackground(&top), 0);
    ASSERT_EQ(s.t.GetBackground(&middle), 0);
    EXPECT_EQ(xt::Groups(s.t), (G{{4, 5}, {1, 0, 3, 2}}));
    EXPECT_EQ(Flags(s.t), (std::vector<int>{0, 1}));

    // An existing background pocket in the middle takes the colours; a later
    // one with the flag is left alone.
    Scene t(kRows, kColours, {{0}, {1, 2}, {3}, {4, 5}});
    t.P(1)->flags = 3;
    t.P(3)->flags = 1;
    tagRECT all{0, 0, 3, 2};
    ASSERT_EQ(t.t.GetBackground(&all), 0);
    EXPECT_EQ(xt::Groups(t.t), (G{{1, 2, 0, 3}, {4, 5}}));
    EXPECT_EQ(Flags(t.t), (std::vector<int>{3, 1}));
    ed::ExpectConsistent(t.t);
}

TEST(Background, StrokeFormOnlyReportsReadiness) {
    Scene s(kRows, kColours, kPockets);
    wStroke st(2);
    st.AddPoint(0, 0);
    st.AddPoint(3, 2);
    EXPECT_EQ(s.t.GetBackground(&st), 0);
    EXPECT_EQ(s.t.GetBackground(static_cast<wStroke*>(nullptr)), 0);
    EXPECT_EQ(xt::Groups(s.t), kPockets);

    ccColorPocketArray none;
    tagRECT r{0, 0, 1, 1};
    EXPECT_EQ(none.GetBackground(&st), -1);
    EXPECT_EQ(none.GetBackground(&r), -1);
    EXPECT_EQ(s.t.GetBackground(static_cast<tagRECT*>(nullptr)), -1);
    xt::HostDib small(xt::Image8(4, 1, {0, 1, 2, 3}, {}, 16));
    none.SetPalDib(small.h, false);
    EXPECT_EQ(none.GetBackground(&st), -1);
    EXPECT_EQ(none.GetBackground(&r), -1);
    EXPECT_EQ(none.pockets.GetSize(), 0);
    none.SetPalDib(nullptr, false);
}
