// The edit command: a script of every kind of edit against the library's own
// operations, the edited theme used by restyle, and scripts with mistakes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "platform/memory.h"
#include "tool_run.h"

using tool::Contains;
using tool::Huevane;
using tool::Temp;

namespace {

const std::string kImage = std::string(HUEVANE_TEST_DATA) + "/coffee_small.bmp";  // 160 x 107, 24 bits

wStroke Stroke(unsigned width, std::vector<tagPOINT> pts) {
    wStroke s(width);
    s.StartStroke();
    for (const tagPOINT& p : pts) s.AddPoint(p.x, p.y);
    s.FinishStroke();
    return s;
}

// Each pocket's palette indices and flags.
std::vector<std::vector<int>> Shape(const ccColorPocketArray& t) {
    std::vector<std::vector<int>> g;
    for (ccColorPocket* p : t.pockets) {
        g.push_back({p->flags});
        for (ccColorItem* it : p->items) g.back().push_back(it->palIndex);
    }
    return g;
}

}  // namespace

TEST(EditCommand, RunsAScriptLikeTheLibraryAndRestyleKeepsItsBackground) {
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs"), show = Temp("show.png");
    tool::Write(script,
                "# every kind of edit once\nselect 0\nSELECT NONE   # case does not matter\n\n"
                "stroke 2 10,10 80,60 150,100\nnew pocket\nselect last\ngrow\nstroke 0 5,100 60,40\r\ndetach\n"
                "select none\nstroke 1 140,20 20,20 20,90\nmerge on stroke\ncut 5,5 40,30 80,53 120,80 155,100 20,90\n"
                "select 0 1\nmerge selected\nbackground 0,0 30,20\nstroke 3 100,90 110,95\nbackground stroke\n"
                "select none\nselect 1\ndelete selected\nselect all\nhighlight 0\n");
    tool::Run r = Huevane({"edit", kImage, script, "-o", out, "--show", show});
    ASSERT_EQ(r.code, 0) << r.err;
    // The same edits through the library (rows counted from the bottom there).
    std::string error;
    hvio::OwnedDib image(hvio::ReadImage(kImage, &error));
    ccColorPocketArray t;
    t.SetPalDib(DecreaseBpp24to8(image.get()), true);
    t.GetColorPockets();
    wStroke a = Stroke(2, {{10, 10}, {80, 60}, {150, 100}});
    ASSERT_EQ(t.NewPocket(&a), 0);
    t.pockets[t.pockets.GetSize() - 1]->selState = 256;
    ASSERT_EQ(t.AddToSelFromStroke(&a), 0);
    wStroke b = Stroke(0, {{5, 100}, {60, 40}});
    ASSERT_EQ(t.DetachColor(&b), 0);
    t.UnselectAll();
    wStroke c = Stroke(1, {{140, 20}, {20, 20}, {20, 90}});
    dPointBuf pixels(c.GetMaxDiscretePointNum());
    ASSERT_EQ(c.DiscreteToBuff(107, &pixels), 0);
    ASSERT_EQ(t.MergePocketOnStroke(&pixels), 0);
    std::vector<tagPOINT> cutPoints = {{5, 5}, {40, 30}, {80, 53}, {120, 80}, {155, 100}, {20, 90}};
    cPointsCut cut{cutPoints.data(), 6};
    ASSERT_EQ(t.GetColorPocketsFromCut(&cut), 0);
    t.pockets[0]->selState = t.pockets[1]->selState = 256;
    ASSERT_GE(t.MergeSelectedPockets(), 0);
    tagRECT rect{0, 106 - 20, 30, 106}, around{97, 106 - 98, 113, 106 - 87};  // the stroke's, pen 3 on every side
    ASSERT_EQ(t.GetBackground(&rect), 0);
    ASSERT_EQ(t.GetBackground(&around), 0);
    t.UnselectAll();
    t.pockets[1]->selState = 256;
    t.DelSelPockets();
    ccColorPocketArray saved;
    ASSERT_EQ(saved.LoadFromFile(out.c_str()), 0);
    EXPECT_EQ(Shape(saved), Shape(t));
    // The picture: the image and its highlighted form side by side, the bar under them.
    hvio::OwnedDib picture(hvio::ReadImage(show, &error));
    ASSERT_NE(picture.get(), nullptr) << error;
    EXPECT_GT(ipDibStuff(picture.get(), false).width(), 2 * 160);
    EXPECT_GT(ipDibStuff(picture.get(), false).height(), 107 + 28);

    // Restyled with an edited theme whose background is the top 41 rows,
    // those rows keep their colours and the others change.
    tool::Write(script, "background 0,0 159,40\n");
    ASSERT_EQ(Huevane({"edit", kImage, script, "-o", out}).code, 0);
    r = Huevane({"restyle", kImage, std::string(HUEVANE_TEST_DATA) + "/transfer/cups_256.bmp", "--target-theme", out,
                 "-o", show});
    ASSERT_EQ(r.code, 0) << r.err;
    hvio::OwnedDib result(hvio::ReadImage(show, &error));
    ipDibStuff before(image.get(), false), after(result.get(), false);
    int changedAbove = 0, changedBelow = 0;
    for (int y = 0; y < 107; ++y)
        (y > 106 - 41 ? changedAbove : changedBelow) += !std::equal(before.rows[y], before.rows[y] + 480, after.rows[y]);
    EXPECT_EQ(changedAbove, 0);
    EXPECT_GT(changedBelow, 0);
    for (const std::string& f : {script, out, show}) std::remove(f.c_str());
}

TEST(EditCommand, MistakesAreReportedByLineAndNothingIsWritten) {
    const std::pair<const char*, const char*> cases[] = {  // the script, the message after "FILE:"
        {"select 0\nfrobnicate\n", "2: unknown edit 'frobnicate'"},
        {"select\n", "1: select what?"},
        {"select -1\n", "1: '-1' is not a pocket position"},
        {"# ok\nstroke 2\n", "2: a stroke needs at least one point"},
        {"stroke -1 1,1\n", "1: a stroke starts with its pen width"},
        {"stroke 1 1,1 2;2\n", "1: '2;2' is not a point"},
        {"stroke 1 1,1 2000000,2\n", "1: '2000000,2' is not a point"},
        {"cut 1,1 2,2 3,3 4,4\n", "1: a cut needs at least 5 points, found 4"},
        {"background 1,1\n", "1: a background rectangle takes two corners"},
        {"merge selected now\n", "1: 'merge selected now' takes nothing more"},
        {"highlight\n", "1: highlight takes one pocket position"},
        // Edits that cannot be done.
        {"new pocket\n", "1: new pocket: no stroke drawn yet"},
        {"select 0\nselect 99\n", "2: select 99: there is no pocket 99"},
        {"stroke 1 1,1 5,5\ngrow\n", "2: grow: no pocket is selected"},
        {"select all\nstroke 1 1,1 5,5\ngrow\n", "3: grow: grow needs exactly one selected pocket"},
        {"merge selected\n", "1: merge selected: no pocket is selected"},
        {"cut 1,1 2,2 3,3 4,4 -5,-5\n", "1: cut 1,1 2,2 3,3 4,4 -5,-5: fewer than 5 of the cut's points"},
        {"stroke 1 -9,-9 -3,-3\nmerge on stroke\n", "2: merge on stroke: the stroke's first point"},
        {"stroke 1 5,5\nmerge on stroke\n", "2: merge on stroke: the stroke needs at least two pixels"},
    };
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs");
    for (const auto& [text, message] : cases) {
        tool::Write(script, text);
        const tool::Run r = Huevane({"edit", kImage, script, "-o", out});
        EXPECT_EQ(r.code, 1) << text;
        EXPECT_TRUE(Contains(r.err, script + ":" + message)) << r.err;
    }
    EXPECT_TRUE(tool::Slurp(out).empty());
    std::remove(script.c_str());
}
