// The colour card file: the grammar, line ends, the group file beside it and
// lines or files that do not follow the grammar.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "huevane/colorsystem.h"

namespace {

using Groups = std::vector<std::vector<int>>;

const std::string kData = std::string(HUEVANE_TEST_DATA) + "/colorsystem/";

std::string ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

void ExpectSample(const csColorSystem& cs, int i, const std::string& name, int r, int g, int b) {
    ASSERT_LT(i, cs.samples.GetSize());
    const csColorSample* s = cs.samples[i];
    EXPECT_EQ(s->name, name) << "sample " << i;
    EXPECT_EQ(s->rgb.rgbRed, r) << "sample " << i;
    EXPECT_EQ(s->rgb.rgbGreen, g) << "sample " << i;
    EXPECT_EQ(s->rgb.rgbBlue, b) << "sample " << i;
    EXPECT_EQ(s->rgb.rgbReserved, 0) << "sample " << i;
}

}  // namespace

TEST(ColorSystemFile, ReadsNamesValuesAndItsGroupFile) {
    csColorSystem cs;
    const std::string path = kData + "card.txt";
    EXPECT_EQ(cs.LoadFromFile(path.c_str()), 0);
    ASSERT_EQ(cs.samples.GetSize(), 5);
    ExpectSample(cs, 0, "Sample A", 250, 94, 20);
    ExpectSample(cs, 1, "Dark Red", 139, 0, 0);  // the R of Red lies before the colon
    ExpectSample(cs, 2, "  Wide  Name ", 1, 2, 3);
    ExpectSample(cs, 3, "Over", 44, 255, 255);   // 300, -1 and 511 modulo 256
    ExpectSample(cs, 4, "Tabs", 7, 8, 9);        // last line without a line feed
    EXPECT_EQ(cs.path, path);
    EXPECT_EQ(cs.groups, (Groups{{4, 0}, {}, {2}}));
    EXPECT_EQ(HslHue(cs.samples[1]->hsl), 0);

    // Loading appends: the file's first line becomes the next index, and the
    // group file replaces the groups.
    csColorSystem more;
    more.AddSample("x", 1, 1, 1);
    more.AddSample("y", 2, 2, 2);
    more.AddSample("z", 3, 3, 3);
    more.groups = {{1}};
    more.LoadFromFile(path.c_str());
    ASSERT_EQ(more.samples.GetSize(), 8);
    ExpectSample(more, 3, "Sample A", 250, 94, 20);
    ExpectSample(more, 2, "z", 3, 3, 3);
    EXPECT_EQ(more.groups, (Groups{{4, 0}, {}, {2}}));
}

TEST(ColorSystemFile, CrLfAndLfGiveTheSameSamples) {
    const std::string lf = ReadAll(kData + "card.txt");
    ASSERT_FALSE(lf.empty());
    std::string crlf;
    for (char c : lf) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    crlf += "\r\n";  // a final line end does not start another line
    const std::string path = ::testing::TempDir() + "huevane_card_crlf.txt";
    WriteAll(path, crlf);
    csColorSystem a, b;
    a.LoadFromFile((kData + "card.txt").c_str());
    b.LoadFromFile(path.c_str());
    ASSERT_EQ(b.samples.GetSize(), a.samples.GetSize());
    for (int i = 0; i < a.samples.GetSize(); ++i) {
        EXPECT_EQ(b.samples[i]->name, a.samples[i]->name) << i;
        EXPECT_EQ(RgbWord(b.samples[i]->rgb), RgbWord(a.samples[i]->rgb)) << i;
        EXPECT_EQ(b.samples[i]->hsl, a.samples[i]->hsl) << i;
    }
    EXPECT_TRUE(b.groups.empty());  // no group file beside this one
    EXPECT_EQ(b.SaveGroup(), -1);
    std::remove(path.c_str());
}

TEST(ColorSystemFile, MissingFileChangesNothing) {
    csColorSystem cs;
    cs.AddSample("kept", 5, 6, 7);
    cs.path = "before.txt";
    cs.groups = {{0}};
    EXPECT_EQ(cs.LoadFromFile((kData + "no_such_card.txt").c_str()), 0);
    EXPECT_EQ(cs.LoadFromFile(nullptr), 0);
    EXPECT_EQ(cs.samples.GetSize(), 1);
    EXPECT_EQ(cs.path, "before.txt");
    EXPECT_EQ(cs.groups, (Groups{{0}}));
}

TEST(ColorSystemFile, EveryLineOffTheGrammarStillMakesItsOwnSample) {
    csColorSystem cs;
    cs.LoadFromFile((kData + "bad_lines.txt").c_str());
    ASSERT_EQ(cs.samples.GetSize(), 12);
    ExpectSample(cs, 0, "First", 1, 2, 3);
    ExpectSample(cs, 1, "", 0, 0, 0);                       // empty line
    ExpectSample(cs, 2, "No colon RGB(4, 5, 6)", 0, 0, 0);  // all name
    ExpectSample(cs, 3, "No r", 0, 0, 0);                   // no capital R
    ExpectSample(cs, 4, "Short", 7, 0, 0);                  // nothing left over from line 0
    ExpectSample(cs, 5, "Two", 10, 20, 0);
    ExpectSample(cs, 6, std::string(259, 'N'), 0, 0, 0);    // cut before its colon
    ExpectSample(cs, 7, "Long tail", 14, 15, 16);
    ExpectSample(cs, 8, "Letters", 0, 2, 3);
    ExpectSample(cs, 9, "Name", 0, 1, 2);                   // "ed RGB 1 2": the R of Red counts
    ExpectSample(cs, 10, "Nul", 0, 0, 0);                   // cut at the NUL byte
    ExpectSample(cs, 11, "Last", 17, 18, 19);
}

TEST(ColorSystemFile, BinaryGarbageGivesOneSamplePerLine) {
    const std::string path = kData + "garbage.txt";
    const std::string bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 6000u);
    size_t lines = 0;
    for (char c : bytes) lines += c == '\n';
    if (bytes.back() != '\n') ++lines;
    csColorSystem cs;
    EXPECT_EQ(cs.LoadFromFile(path.c_str()), 0);
    EXPECT_EQ(static_cast<size_t>(cs.samples.GetSize()), lines);
    for (const csColorSample* s : cs.samples) {
        EXPECT_LE(s->name.size(), 259u);
        EXPECT_EQ(s->name.find('\0'), std::string::npos);
        EXPECT_EQ(s->rgb.rgbReserved, 0);
    }
}
