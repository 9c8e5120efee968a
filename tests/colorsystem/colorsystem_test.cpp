// Samples, the three nearest-sample metrics with their tie rules, the
// ordering by distance, copies of a card; the colour card file, group edits,
// the exact bytes of the group file, and a corpus of card and group files off
// the grammar.
#include "huevane/colorsystem.h"

#include <cmath>

#include "platform/core_fixtures.h"

namespace {
using Groups = std::vector<std::vector<int>>;
using Names = std::vector<std::string>;
const std::string kData = std::string(HUEVANE_TEST_DATA) + "/colorsystem/";

// The samples as "name=r,g,b" (the fuzz replay checks every stored HSL word).
Names Samples(const csColorSystem& cs) {
    Names out;
    for (const csColorSample* s : cs.samples)
        out.push_back(s->name + "=" + std::to_string(s->rgb.rgbRed) + "," + std::to_string(s->rgb.rgbGreen) +
                      "," + std::to_string(s->rgb.rgbBlue));
    return out;
}
// A card of the samples given by red, green and blue from position `from` of a row on.
csColorSystem Card(const Row& c, size_t from = 0) {
    csColorSystem cs;
    for (size_t i = from; i + 2 < c.size(); i += 3)
        cs.AddSample("s", BYTE(c[i]), BYTE(c[i + 1]), BYTE(c[i + 2]));
    return cs;
}
}  // namespace

TEST(ColorSystem, PlainAndWeightedMetricsAndTheirTies) {
    for (const Row& c : DataRows("colorsystem/nearest.txt")) {
        csColorSystem cs = Card({c[0], c[1], c[2], c[3], c[4], c[5]});
        tagRGBQUAD q = Quad(c[6], c[7], c[8]);
        const int plain = int(c[9]), weighted = int(c[10]);
        int idx = -9, order[3] = {-9, -9, -9};
        csColorSample* pal = nullptr;
        EXPECT_EQ(cs.GetNearestSample(q), cs.samples[plain]);
        EXPECT_EQ(cs.GetCardPal(&q, 1, &pal) + cs.GetCardPalIndices(&q, 1, &idx), 0);
        EXPECT_TRUE(pal == cs.samples[plain] && idx == weighted && cs.GetNearestSampleIndex(q) == weighted);
        EXPECT_EQ(cs.GetNearestSamplesByWeight(q, order, nullptr, 3), 2);
        EXPECT_EQ(V(order, order + 3), (V{weighted, 1 - weighted, -9}));
    }
    const tagRGBQUAD t = Quad(36, 103, 153);
    double dist[2] = {-1, -1};
    int order[2];
    EXPECT_EQ(Card({31, 113, 153, 34, 108, 164}).GetNearestSamplesByWeight(t, order, dist, 2), 2);
    EXPECT_TRUE(dist[0] == std::sqrt(453.0) && dist[1] == dist[0]);
    csColorSystem one = Card({34, 108, 164});
    tagRGBQUAD q = t;
    // Nothing asked is nothing to refuse; no colours or no output is refused.
    EXPECT_EQ((V{one.GetNearestSamplesByWeight(t, order, dist, 0), one.GetCardPal(&q, 0, nullptr),
                 one.GetCardPalIndices(nullptr, 1, order), one.GetCardPal(&q, 1, nullptr)}),
              (V{0, 0, -1, -1}));
}

TEST(ColorSystem, HueSearchSeparatesGreysAndWrapsTheCircle) {
    for (const Row& c : DataRows("colorsystem/hue_search.txt"))
        EXPECT_EQ(Card(c, 4).GetNearestSampleIndexByHue(Quad(c[0], c[1], c[2])), c[3])
            << c[0] << "," << c[1] << "," << c[2];
}

TEST(ColorSystem, DistOrderIsStableAndBoundedAndAnEmptyCardFindsNothing) {
    csColorSystem cs = Card({10, 10, 10, 200, 0, 0, 10, 10, 10, 20, 10, 10, 0, 10, 10, 10, 10, 12});
    V out(8, 99);
    EXPECT_EQ(cs.GetCardDistOrder(2, out.data(), 8), 8);  // the count asked for, whatever the card holds
    EXPECT_EQ(out, (V{0, 2, 5, 3, 4, 1, 99, 99}));        // equal distances in index order; nothing past the card
    // The nearest few, still in order; nothing asked; no such sample.
    EXPECT_EQ((V{cs.GetCardDistOrder(1, out.data(), 2), out[0], out[1], out[2],
                 cs.GetCardDistOrder(0, out.data(), 0), cs.GetCardDistOrder(0, out.data(), -4)}),
              (V{2, 1, 3, 5, 0, -4}));
    EXPECT_THROW(cs.GetCardDistOrder(6, out.data(), 3), std::out_of_range);
    EXPECT_THROW(cs.GetCardDistOrder(-1, out.data(), 3), std::out_of_range);
    // An empty card finds nothing.
    csColorSystem empty;
    tagRGBQUAD colors[2] = {Quad(1, 2, 3), Quad(0, 0, 0)};
    V idx(3, 7);
    EXPECT_EQ(empty.GetNearestSample(colors[0]), nullptr);
    EXPECT_EQ(
        (V{empty.GetNearestSampleIndexByHue(colors[1]), empty.GetCardPalIndices(colors, 2, idx.data())}),
        (V{-1, 0}));
    EXPECT_EQ(idx, (V{-1, -1, 7}));  // only n written
}

TEST(ColorSystemFile, ReadsSamplesAndGroupsCrLfAsLfAndFilesOffTheGrammar) {
    // The R of "Dark Red" lies before the colon; 300, -1, 511 are taken
    // modulo 256; the last line has no line feed.
    const Names card = {"Sample A=250,94,20", "Dark Red=139,0,0", "  Wide  Name =1,2,3", "Over=44,255,255",
                        "Tabs=7,8,9"};
    const std::string path = kData + "card.txt", copy = tool::Temp("crlf.txt");
    csColorSystem cs, b;
    EXPECT_EQ(cs.AddSample("x", 1, 1, 1), 0);  // loading appends
    cs.groups = {{9}};
    EXPECT_EQ(cs.LoadFromFile(path.c_str()), 0);
    EXPECT_EQ(cs.LoadFromFile((kData + "no_such_card.txt").c_str()), 0);  // changes nothing
    Names all = card;
    all.insert(all.begin(), "x=1,1,1");
    EXPECT_EQ(Samples(cs), all);
    EXPECT_TRUE(cs.groups == Groups({{4, 0}, {}, {2}}) && cs.path == path);
    std::string crlf;
    for (char c : tool::Slurp(path)) crlf += c == '\n' ? "\r\n"s : std::string(1, c);
    tool::Write(copy, crlf + "\r\n");  // a final line end starts no line
    b.LoadFromFile(copy.c_str());
    EXPECT_TRUE(Samples(b) == card && b.groups.empty());  // no group file beside this one
    std::remove(copy.c_str());
    // Group files are refused whole (the groups stay) or read as they stand:
    // indices outside the card are kept, a stray byte at the end ignored, a
    // group count below zero gives no groups and an entry count below zero
    // an empty group, the next record following its count.
    const Groups kept = {{9}};
    const std::pair<const char*, Groups> cases[] = {
        {"truncated_records", kept}, {"truncated_header", kept}, {"empty", kept},
        {"negative_groups", {}},     {"negative_entries", {{}, {2}}}, {"huge_groups", kept},
        {"huge_entries", kept},      {"no_such_file", kept},     {"outside", {{-7, 1, 1000000}, {}}},
        {"trailing", {{5}}}};
    for (const auto& [name, want] : cases) {
        csColorSystem g;
        g.path = kData + name;
        g.groups = kept;
        EXPECT_EQ(g.LoadGroup(), want == kept ? -1 : 0) << name;
        EXPECT_EQ(g.groups, want) << name;
    }
    // Every card line makes its own sample: an empty line, no colon (all
    // name), no capital R, one or two values (nothing left over from the line
    // before), a colon past the 259-character cut, a long tail, pieces not
    // starting with a digit, the R of "Red" starting the colour, a NUL byte
    // ending the name. (The fuzz replay reads binary garbage.)
    csColorSystem bad;
    bad.LoadFromFile((kData + "bad_lines.txt").c_str());
    EXPECT_EQ(Samples(bad),
              (Names{"First=1,2,3", "=0,0,0", "No colon RGB(4, 5, 6)=0,0,0", "No r=0,0,0", "Short=7,0,0",
                     "Two=10,20,0", std::string(259, 'N') + "=0,0,0", "Long tail=14,15,16", "Letters=0,2,3",
                     "Name=0,1,2", "Nul=0,0,0", "Last=17,18,19"}));
}

TEST(ColorSystemGroups, SplitAndDeleteSelectedSamplesAndSaveExactLittleEndianBytes) {
    csColorSystem cs;
    for (int i = 0; i < 8; ++i) EXPECT_EQ(cs.AddSample("s", BYTE(i), BYTE(i), BYTE(i)), i);  // its index
    V sel = {0, 0, 0, 0, 1, 0, -3, 0};  // any non-zero value selects
    cs.groups = {{1}, {4, 2, 4, 6}, {0}};
    EXPECT_EQ(cs.SplitGroup(1, sel.data()), 0);  // into a new group right after, in reverse order
    EXPECT_EQ(cs.SplitGroup(3, sel.data()), 0);  // nothing selected: no new group
    EXPECT_EQ(cs.groups, (Groups{{1}, {2}, {6, 4, 4}, {0}}));
    // Indices outside the card are never selected (the sanitizer watches reads past sel).
    cs.groups = {{6, -1, 8, 1, 4}, {4}};
    EXPECT_EQ((V{cs.DeleteGroupSelItems(0, sel.data()), cs.DeleteGroupSelItems(1, sel.data())}), (V{2, 1}));
    for (auto edit : {&csColorSystem::SplitGroup, &csColorSystem::DeleteGroupSelItems}) {
        EXPECT_EQ((V{(cs.*edit)(-1, sel.data()), (cs.*edit)(0, nullptr)}), (V{-1, -1}));
        EXPECT_THROW((cs.*edit)(2, sel.data()), std::out_of_range);
    }
    EXPECT_EQ(cs.groups, (Groups{{-1, 8, 1}, {}}));  // an emptied group stays
    const std::string base = tool::Temp("card.txt"), file = base + ".grp";
    cs.groups = {{258, -2}, {}};
    EXPECT_EQ(cs.SaveGroup(), -1);  // no path yet
    cs.path = base;
    ASSERT_EQ(cs.SaveGroup(), 0);
    // Length, group count, then each group's count and entries (the fuzz replay reads such files back).
    const std::string bytes("\x10\0\0\0\x02\0\0\0\x02\0\0\0\x02\x01\0\0\xFE\xFF\xFF\xFF\0\0\0\0", 24);
    EXPECT_EQ(tool::Slurp(file), bytes);
    cs.groups.clear();
    EXPECT_EQ(cs.SaveGroup(), -1);  // nothing to save: the file stays
    EXPECT_EQ(tool::Slurp(file), bytes);
    std::remove(file.c_str());
}
