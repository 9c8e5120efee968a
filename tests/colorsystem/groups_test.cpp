// Group edits, the exact bytes of the group file, and group files that are
// short, negative, huge or point outside the card.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "huevane/colorsystem.h"

namespace {

using Groups = std::vector<std::vector<int>>;

// A card of n grey samples.
void Fill(csColorSystem& cs, int n) {
    for (int i = 0; i < n; ++i) cs.AddSample("s", static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i));
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string TempBase(const char* name) { return ::testing::TempDir() + "huevane_groups_" + name; }

const std::string kData = std::string(HUEVANE_TEST_DATA) + "/colorsystem/";

}  // namespace

TEST(ColorSystemGroups, SplitMovesSelectedSamplesInReverseOrder) {
    csColorSystem cs;
    Fill(cs, 8);
    std::vector<int> sel(8, 0);
    sel[3] = sel[7] = 1;
    cs.groups = {{3, 5, 7}, {1}};
    EXPECT_EQ(cs.SplitGroup(0, sel.data()), 0);
    EXPECT_EQ(cs.groups, (Groups{{5}, {7, 3}, {1}}));

    // Nothing selected in the group: no new group.
    EXPECT_EQ(cs.SplitGroup(2, sel.data()), 0);
    EXPECT_EQ(cs.groups.size(), 3u);

    // A sample listed twice moves twice; the split lands right after its
    // group, pushing the later groups back.
    cs.groups = {{1}, {4, 2, 4, 6}, {0}};
    std::fill(sel.begin(), sel.end(), 0);
    sel[4] = 1;
    sel[6] = -3;  // any non-zero value selects
    EXPECT_EQ(cs.SplitGroup(1, sel.data()), 0);
    EXPECT_EQ(cs.groups, (Groups{{1}, {2}, {6, 4, 4}, {0}}));

    // Splitting the last group appends.
    cs.groups = {{0}, {6, 7}};
    EXPECT_EQ(cs.SplitGroup(1, sel.data()), 0);
    EXPECT_EQ(cs.groups, (Groups{{0}, {7}, {6}}));

    EXPECT_EQ(cs.SplitGroup(-1, sel.data()), -1);
    EXPECT_EQ(cs.SplitGroup(0, nullptr), -1);
    EXPECT_THROW(cs.SplitGroup(3, sel.data()), std::out_of_range);
    EXPECT_EQ(cs.groups, (Groups{{0}, {7}, {6}}));
}

TEST(ColorSystemGroups, DeleteRemovesSelectedAndKeepsEmptyGroups) {
    csColorSystem cs;
    Fill(cs, 6);
    std::vector<int> sel(6, 0);
    cs.groups = {{5, 4, 1, 4}, {4}};
    sel[4] = 1;
    EXPECT_EQ(cs.DeleteGroupSelItems(0, sel.data()), 2);
    EXPECT_EQ(cs.groups, (Groups{{5, 1}, {4}}));
    EXPECT_EQ(cs.DeleteGroupSelItems(0, sel.data()), 0);

    std::fill(sel.begin(), sel.end(), 1);
    EXPECT_EQ(cs.DeleteGroupSelItems(0, sel.data()), 2);
    EXPECT_EQ(cs.groups, (Groups{{}, {4}}));  // the emptied group stays

    EXPECT_EQ(cs.DeleteGroupSelItems(-2, sel.data()), -1);
    EXPECT_EQ(cs.DeleteGroupSelItems(1, nullptr), -1);
    EXPECT_THROW(cs.DeleteGroupSelItems(2, sel.data()), std::out_of_range);
    EXPECT_EQ(cs.groups, (Groups{{}, {4}}));
}

TEST(ColorSystemGroups, IndicesOutsideTheCardAreNeverLookedUp) {
    // sel has exactly one entry per sample; the sanitizer would report any
    // read past it. Entries outside the card stay where they are.
    csColorSystem cs;
    Fill(cs, 3);
    std::vector<int> sel(3, 1);
    cs.groups = {{-1, 2, 3, 1000000, 0}};
    EXPECT_EQ(cs.DeleteGroupSelItems(0, sel.data()), 2);
    EXPECT_EQ(cs.groups, (Groups{{-1, 3, 1000000}}));
    EXPECT_EQ(cs.SplitGroup(0, sel.data()), 0);
    EXPECT_EQ(cs.groups.size(), 1u);
    cs.ClearAll();  // with no samples nothing is selected at all
    cs.groups = {{0, 1, 2}};
    EXPECT_EQ(cs.DeleteGroupSelItems(0, sel.data()), 0);
}

TEST(ColorSystemGroups, SaveWritesExactLittleEndianBytesAndLoadReadsThemBack) {
    csColorSystem cs;
    const std::string base = TempBase("save.txt");
    std::remove((base + ".grp").c_str());
    cs.groups = {{2, 0}, {}};
    EXPECT_EQ(cs.SaveGroup(), -1);  // no path yet
    cs.path = base;
    ASSERT_EQ(cs.SaveGroup(), 0);
    const std::vector<unsigned char> expected = {16, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                                                 2,  0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ReadBytes(base + ".grp"), expected);

    // Byte order of larger and negative values; saving replaces the old file.
    cs.groups = {{258, -2}};
    ASSERT_EQ(cs.SaveGroup(), 0);
    const std::vector<unsigned char> expected2 = {16, 0, 0, 0, 1, 0, 0, 0, 2,    0,    0,    0,
                                                  2,  1, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(ReadBytes(base + ".grp"), expected2);

    csColorSystem back;
    back.path = base;
    back.groups = {{9}};
    EXPECT_EQ(back.LoadGroup(), 0);
    EXPECT_EQ(back.groups, (Groups{{258, -2}}));

    cs.groups.clear();
    EXPECT_EQ(cs.SaveGroup(), -1);  // nothing to save: the file stays
    EXPECT_EQ(ReadBytes(base + ".grp"), expected2);

    csColorSystem nowhere;
    nowhere.groups = {{1}};
    nowhere.path = ::testing::TempDir() + "no_such_folder_huevane/card.txt";
    EXPECT_EQ(nowhere.SaveGroup(), -1);
    EXPECT_EQ(nowhere.LoadGroup(), -1);
    EXPECT_EQ(nowhere.groups, (Groups{{1}}));  // a missing file keeps the groups
    std::remove((base + ".grp").c_str());
}

TEST(ColorSystemGroups, MalformedGroupFilesAreRefusedWholeAndKeepTheGroups) {
    for (const char* name : {"truncated_records", "truncated_header", "empty", "negative_groups",
                             "negative_entries", "huge_groups", "huge_entries"}) {
        csColorSystem cs;
        Fill(cs, 3);
        cs.path = kData + name;
        cs.groups = {{9, 8}};
        EXPECT_EQ(cs.LoadGroup(), -1) << name;
        EXPECT_EQ(cs.groups, (Groups{{9, 8}})) << name;
    }

    // Indices outside the card are kept as read; a stray byte after the last
    // record is ignored.
    csColorSystem cs;
    Fill(cs, 2);
    cs.path = kData + "outside";
    ASSERT_EQ(cs.LoadGroup(), 0);
    EXPECT_EQ(cs.groups, (Groups{{-7, 1, 1000000}, {}}));
    cs.path = kData + "trailing";
    ASSERT_EQ(cs.LoadGroup(), 0);
    EXPECT_EQ(cs.groups, (Groups{{5}}));
}
