// The colour card file, group edits, the exact bytes of the group file, and
// a corpus of card and group files off the grammar.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/tool_run.h"
#include "color/colorword.h"
#include "huevane/colorsystem.h"

namespace {
using Groups = std::vector<std::vector<int>>;
using Names = std::vector<std::string>;
const std::string kData = std::string(HUEVANE_TEST_DATA) + "/colorsystem/";

// The samples as "name=r,g,b", checking each stored HSL word on the way.
Names Samples(const csColorSystem& cs) {
    Names out;
    for (const csColorSample* s : cs.samples) {
        EXPECT_TRUE(s->hsl == RGBtoHSL(s->rgb) && s->rgb.rgbReserved == 0) << s->name;
        out.push_back(s->name + "=" + std::to_string(s->rgb.rgbRed) + "," + std::to_string(s->rgb.rgbGreen) +
                      "," + std::to_string(s->rgb.rgbBlue));
    }
    return out;
}
}  // namespace

TEST(ColorSystemFile, ReadsSamplesAndGroupsAndCrLfReadsAsLf) {
    // The R of "Dark Red" lies before the colon; 300, -1, 511 are taken
    // modulo 256; the last line has no line feed.
    const Names card = {"Sample A=250,94,20", "Dark Red=139,0,0", "  Wide  Name =1,2,3", "Over=44,255,255",
                        "Tabs=7,8,9"};
    const std::string path = kData + "card.txt", copy = tool::Temp("crlf.txt");
    csColorSystem cs, b;
    cs.AddSample("x", 1, 1, 1);  // loading appends
    cs.groups = {{9}};
    EXPECT_EQ(cs.LoadFromFile(path.c_str()), 0);
    Names want = card;
    want.insert(want.begin(), "x=1,1,1");
    EXPECT_EQ(Samples(cs), want);
    EXPECT_EQ(cs.groups, (Groups{{4, 0}, {}, {2}}));
    EXPECT_EQ(cs.LoadFromFile((kData + "no_such_card.txt").c_str()), 0);  // changes nothing
    EXPECT_EQ(cs.samples.GetSize(), 6);
    EXPECT_EQ(cs.path, path);
    std::string crlf;
    for (char c : tool::Slurp(path)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    std::ofstream(copy, std::ios::binary) << crlf << "\r\n";  // a final line end starts no line
    b.LoadFromFile(copy.c_str());
    EXPECT_EQ(Samples(b), card);
    EXPECT_TRUE(b.groups.empty());  // no group file beside this one
    std::remove(copy.c_str());
}

TEST(ColorSystemGroups, SplitAndDeleteSelectedSamples) {
    csColorSystem cs;
    for (int i = 0; i < 8; ++i) cs.AddSample("s", BYTE(i), BYTE(i), BYTE(i));
    std::vector<int> sel = {0, 0, 0, 0, 1, 0, -3, 0};  // any non-zero value selects
    cs.groups = {{1}, {4, 2, 4, 6}, {0}};
    EXPECT_EQ(cs.SplitGroup(1, sel.data()), 0);  // into a new group right after, in reverse order
    EXPECT_EQ(cs.SplitGroup(3, sel.data()), 0);  // nothing selected: no new group
    EXPECT_EQ(cs.groups, (Groups{{1}, {2}, {6, 4, 4}, {0}}));
    // Indices outside the card are never selected (the sanitizer watches reads past sel).
    cs.groups = {{6, -1, 8, 1, 4}, {4}};
    EXPECT_EQ(cs.DeleteGroupSelItems(0, sel.data()), 2);
    EXPECT_EQ(cs.DeleteGroupSelItems(1, sel.data()), 1);
    for (auto edit : {&csColorSystem::SplitGroup, &csColorSystem::DeleteGroupSelItems}) {
        EXPECT_EQ((cs.*edit)(-1, sel.data()), -1);
        EXPECT_EQ((cs.*edit)(0, nullptr), -1);
        EXPECT_THROW((cs.*edit)(2, sel.data()), std::out_of_range);
    }
    EXPECT_EQ(cs.groups, (Groups{{-1, 8, 1}, {}}));  // an emptied group stays
}

TEST(ColorSystemGroups, SaveWritesExactLittleEndianBytesAndLoadReadsThemBack) {
    csColorSystem cs, back;
    const std::string base = tool::Temp("card.txt"), file = base + ".grp";
    cs.groups = {{258, -2}, {}};
    EXPECT_EQ(cs.SaveGroup(), -1);  // no path yet
    cs.path = back.path = base;
    ASSERT_EQ(cs.SaveGroup(), 0);
    const std::string bytes("\x10\0\0\0\x02\0\0\0\x02\0\0\0\x02\x01\0\0\xFE\xFF\xFF\xFF\0\0\0\0", 24);
    EXPECT_EQ(tool::Slurp(file), bytes);
    EXPECT_EQ(back.LoadGroup(), 0);
    EXPECT_EQ(back.groups, cs.groups);
    cs.groups.clear();
    EXPECT_EQ(cs.SaveGroup(), -1);  // nothing to save: the file stays
    EXPECT_EQ(tool::Slurp(file), bytes);
    cs.groups = {{1}};
    cs.path = tool::Temp("no_such_folder/card.txt");
    EXPECT_EQ(cs.SaveGroup(), -1);
    std::remove(file.c_str());
}

TEST(ColorSystemFile, CorpusOfFilesOffTheGrammar) {
    // Group files are refused whole (the groups stay) or read as they stand:
    // indices outside the card are kept, a stray byte at the end ignored.
    for (const auto& [name, want] :
         std::vector<std::pair<std::string, Groups>>{{"truncated_records", {}},
                                                     {"truncated_header", {}},
                                                     {"empty", {}},
                                                     {"negative_groups", {}},
                                                     {"negative_entries", {}},
                                                     {"huge_groups", {}},
                                                     {"huge_entries", {}},
                                                     {"no_such_file", {}},
                                                     {"outside", {{-7, 1, 1000000}, {}}},
                                                     {"trailing", {{5}}}}) {
        csColorSystem cs;
        cs.path = kData + name;
        cs.groups = {{9}};
        EXPECT_EQ(cs.LoadGroup(), want.empty() ? -1 : 0) << name;
        EXPECT_EQ(cs.groups, want.empty() ? Groups{{9}} : want) << name;
    }
    // Every card line makes its own sample: an empty line, no colon (all
    // name), no capital R, one or two values (nothing left over from the line
    // before), a colon past the 259-character cut, a long tail, pieces not
    // starting with a digit, the R of "Red" starting the colour, a NUL byte.
    csColorSystem cs;
    cs.LoadFromFile((kData + "bad_lines.txt").c_str());
    EXPECT_EQ(Samples(cs),
              (Names{"First=1,2,3", "=0,0,0", "No colon RGB(4, 5, 6)=0,0,0", "No r=0,0,0", "Short=7,0,0",
                     "Two=10,20,0", std::string(259, 'N') + "=0,0,0", "Long tail=14,15,16", "Letters=0,2,3",
                     "Name=0,1,2", "Nul=0,0,0", "Last=17,18,19"}));
    // Binary garbage: one sample per line, names cut and free of NUL bytes.
    const std::string garbage = tool::Slurp(kData + "garbage.txt");
    ASSERT_EQ(garbage.size(), 6000u);
    cs.ClearAll();
    cs.LoadFromFile((kData + "garbage.txt").c_str());
    EXPECT_EQ(cs.samples.GetSize(),
              std::count(garbage.begin(), garbage.end(), '\n') + (garbage.back() != '\n'));
    for (const csColorSample* s : cs.samples)
        EXPECT_TRUE(s->name.size() <= 259 && s->name.find('\0') == std::string::npos) << s->name;
}
