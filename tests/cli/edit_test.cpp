// The edit command run as a user runs it: a script end to end against the
// library's own operations, the edited theme used by restyle, and scripts
// with mistakes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "cli/tool_run.h"
#include "dib/dib.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "platform/memory.h"

namespace {

using tool::Contains;
using tool::Huevane;
using tool::Temp;

const std::string kImage = std::string(HUEVANE_TEST_DATA) + "/coffee_small.bmp";  // 160 x 107, 24 bits

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
bool Exists(const std::string& path) { return std::ifstream(path).good(); }

using Groups = std::vector<std::vector<int>>;
Groups GroupsOf(const ccColorPocketArray& t) {
    Groups g;
    for (ccColorPocket* p : t.pockets) {
        g.emplace_back();
        for (ccColorItem* it : p->items) g.back().push_back(it->palIndex);
    }
    return g;
}

// The image's theme as the tool extracts it, its 8-bit form attached.
struct Extracted {
    hvio::OwnedDib image;
    ccColorPocketArray theme;
    Extracted() {
        std::string error;
        image.reset(hvio::ReadImage(kImage, &error));
        theme.SetPalDib(DecreaseBpp24to8(image.get()), true);
        theme.GetColorPockets();
    }
};

wStroke Stroke(unsigned width, std::vector<tagPOINT> pts) {
    wStroke s(width);
    s.StartStroke();
    for (const tagPOINT& p : pts) s.AddPoint(p.x, p.y);
    s.FinishStroke();
    return s;
}

const char kScript[] =
    "# every kind of edit once\n"
    "select 0\n"
    "SELECT NONE   # case does not matter\n"
    "\n"
    "stroke 2 10,10 80,60 150,100\n"
    "new pocket\n"
    "select last\n"
    "grow\n"
    "stroke 0 5,100 60,40\r\n"
    "detach\n"
    "select none\n"
    "stroke 1 140,20 20,20 20,90\n"
    "merge on stroke\n"
    "cut 5,5 40,30 80,53 120,80 155,100 20,90\n"
    "select 0 1\n"
    "merge selected\n"
    "background 0,0 30,20\n"
    "stroke 3 100,90 110,95\n"
    "background stroke\n"
    "select none\n"
    "select 1\n"
    "delete selected\n"
    "select all\n"
    "highlight 0\n";

// The same edits through the library.
void Replay(ccColorPocketArray& t) {
    const int h = 107;
    t.UnselectAll();
    wStroke a = Stroke(2, {{10, 10}, {80, 60}, {150, 100}});
    ASSERT_EQ(t.NewPocket(&a), 0);
    t.pockets[t.pockets.GetSize() - 1]->selState = 256;
    ASSERT_EQ(t.AddToSelFromStroke(&a), 0);
    wStroke b = Stroke(0, {{5, 100}, {60, 40}});
    ASSERT_EQ(t.DetachColor(&b), 0);
    t.UnselectAll();
    wStroke c = Stroke(1, {{140, 20}, {20, 20}, {20, 90}});
    dPointBuf pixels(c.GetMaxDiscretePointNum());
    ASSERT_EQ(c.DiscreteToBuff(h, &pixels), 0);
    ASSERT_EQ(t.MergePocketOnStroke(&pixels), 0);
    std::vector<tagPOINT> cutPoints = {{5, 5}, {40, 30}, {80, 53}, {120, 80}, {155, 100}, {20, 90}};
    cPointsCut cut{cutPoints.data(), 6};
    ASSERT_EQ(t.GetColorPocketsFromCut(&cut), 0);
    t.pockets[0]->selState = t.pockets[1]->selState = 256;
    ASSERT_GE(t.MergeSelectedPockets(), 0);
    tagRECT r{0, h - 1 - 20, 30, h - 1};
    ASSERT_EQ(t.GetBackground(&r), 0);
    // The stroke's rectangle, pen width 3 on every side.
    tagRECT s{97, h - 1 - 98, 113, h - 1 - 87};
    ASSERT_EQ(t.GetBackground(&s), 0);
    t.UnselectAll();
    t.pockets[1]->selState = 256;
    t.DelSelPockets();
}

}  // namespace

TEST(EditCommand, RunsAScriptLikeTheLibrary) {
    const std::string script = Temp("edits.txt"), out = Temp("edited.ccs"), show = Temp("show.png");
    Write(script, kScript);
    tool::Run r = Huevane({"edit", kImage, script, "-o", out, "--show", show});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "theme saved to"));

    Extracted x;
    Replay(x.theme);
    ccColorPocketArray saved;
    ASSERT_EQ(saved.LoadFromFile(out.c_str()), 0);
    EXPECT_EQ(GroupsOf(saved), GroupsOf(x.theme));
    ASSERT_EQ(saved.pockets.GetSize(), x.theme.pockets.GetSize());
    for (int k = 0; k < saved.pockets.GetSize(); ++k) EXPECT_EQ(saved.pockets[k]->flags, x.theme.pockets[k]->flags);

    // The picture: the image and its highlighted form side by side, the bar under them.
    std::string error;
    hvio::OwnedDib picture(hvio::ReadImage(show, &error));
    ASSERT_NE(picture.get(), nullptr) << error;
    ipDibStuff v(picture.get(), false);
    EXPECT_GT(v.width(), 2 * 160);
    EXPECT_GT(v.height(), 107 + 28);
    std::remove(script.c_str());
    std::remove(out.c_str());
    std::remove(show.c_str());
}

TEST(EditCommand, RestyleKeepsTheBackgroundOfAnEditedTheme) {
    const std::string script = Temp("edits.txt"), edited = Temp("edited.ccs"), out = Temp("out.bmp");
    const std::string style = std::string(HUEVANE_TEST_DATA) + "/transfer/cups_256.bmp";
    Write(script, "background 0,0 159,40\n");
    ASSERT_EQ(Huevane({"edit", kImage, script, "-o", edited}).code, 0);
    tool::Run r = Huevane({"restyle", kImage, style, "--target-theme", edited, "-o", out});
    ASSERT_EQ(r.code, 0) << r.err;

    // Every pixel whose colour is in the background pocket keeps its colour;
    // the others change.
    Extracted x;
    ccColorPocketArray saved;
    ASSERT_EQ(saved.LoadFromFile(edited.c_str()), 0);
    ccColorPocket* bg = saved.pockets[saved.pockets.GetSize() - 1];
    ASSERT_EQ(bg->flags & 1, 1);
    bool inBackground[256] = {};
    for (ccColorItem* it : bg->items) inBackground[it->palIndex] = true;
    std::string error;
    hvio::OwnedDib result(hvio::ReadImage(out, &error));
    ipDibStuff before(x.image.get(), false), after(result.get(), false), index(x.theme.palDib, false);
    ASSERT_TRUE(after.is24());
    long kept = 0, changed = 0, wrong = 0;
    for (int y = 0; y < 107; ++y)
        for (int px = 0; px < 160; ++px) {
            const bool same = std::equal(before.rows[y] + 3 * px, before.rows[y] + 3 * px + 3, after.rows[y] + 3 * px);
            if (inBackground[index.rows[y][px]]) {
                wrong += !same;
                ++kept;
            } else {
                changed += !same;
            }
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(kept, 160 * 41 - 1);
    EXPECT_GT(changed, 0);

    // A theme made for another image is refused.
    const std::string other = Temp("other.ccs");
    ASSERT_EQ(Huevane({"theme", style, "-o", other}).code, 0);
    r = Huevane({"restyle", kImage, style, "--target-theme", other, "-o", out});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(Contains(r.err, "was not made from this image")) << r.err;
    for (const std::string& f : {script, edited, out, other}) std::remove(f.c_str());
}

TEST(EditCommand, MistakesAreReportedByLineAndNothingIsWritten) {
    struct Case {
        std::string script;
        std::string message;  // expected in the error, after "FILE:"
    } cases[] = {
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
    for (const Case& c : cases) {
        Write(script, c.script);
        tool::Run r = Huevane({"edit", kImage, script, "-o", out});
        EXPECT_EQ(r.code, 1) << c.script;
        EXPECT_TRUE(Contains(r.err, script + ":" + c.message)) << r.err;
        EXPECT_FALSE(Exists(out)) << c.script;
    }
    // Wrong command lines.
    Write(script, "select all\n");
    EXPECT_EQ(Huevane({"edit", kImage, script}).code, 2);
    EXPECT_EQ(Huevane({"edit", kImage, script, "-o", Temp("theme.txt")}).code, 2);
    EXPECT_EQ(Huevane({"edit", kImage, script, "-o", out, "--show", Temp("x.gif")}).code, 2);
    EXPECT_EQ(Huevane({"edit", kImage, Temp("missing.txt"), "-o", out}).code, 1);
    EXPECT_EQ(Huevane({"edit", Temp("missing.png"), script, "-o", out}).code, 1);
    EXPECT_FALSE(Exists(out));
    std::remove(script.c_str());
}
