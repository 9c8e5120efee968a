// The theme buffer and file: exact layout, round trips, older versions,
// corrupt buffers and files, file access.
#include <climits>

#include "huevane/theme.h"
#include "platform/core_fixtures.h"
#include "platform/file.h"

namespace {
const std::string kData = std::string(HUEVANE_TEST_DATA) + "/persist/";

// A theme "Sky" of two items (palIndex 5 and 0, not their positions) and a
// pocket "Sea" listing them in reverse order, length field first:
// L = 46 + 2 x 20 + 44 + 2 x 4.
const std::string kLayout = "\x8A\0\0\0CC\x15\0\0\0Sky"s + std::string(29, '\0') +
                            // palette count; two items: rgb, hsl, palIndex, count, share
                            "\x02\0\0\0\x1E\x14\x0A\0\x04\x03\x02\x01\x05\0\0\0\x03\0\0\0\0\0\x40\x3F"s +
                            "\x32\x64\xC8\x07\xEE\xFF\xC0\0\0\0\0\0\x01\0\0\0\0\0\x80\x3E"s +
                            // pocket count, flags, name, flags, aveRGB, aveHSL, count, share, members
                            "\x01\0\0\0\x01\0\0\0Sea"s + std::string(13, '\0') +
                            "\x01\0\0\0\x01\x02\x03\x04\xD4\xC3\xB2\xA1\x04\0\0\0\0\0\x80\x3F"s +
                            "\x02\0\0\0\x01\0\0\0\0\0\0\0"s;

// Appends little-endian fields.
struct Bytes {
    std::string v;
    Bytes& i32(int64_t x) { return v.append({char(x), char(x >> 8), char(x >> 16), char(x >> 24)}), *this; }
    // A palette item whose colour, hsl, palIndex and count derive from i.
    Bytes& item(int i, int tag) {
        return i32(i | tag << 8 | (255 - i) << 16).i32(0x100 * i).i32(i + tag).i32(2 * i).i32(0);
    }
    // A pocket record: flags, name, flags again, averages, count, share, members.
    Bytes& pocket(int flags0, int flags1, int count, V members) {
        i32(flags0).v += "p" + std::string(15, '\0');
        i32(flags1).i32(0x00010203).i32(9).i32(count).i32(0).i32(int(members.size()));
        for (int m : members) i32(m);
        return *this;
    }
    // A start of the given version and name width announcing n palette items and holding `items` of them.
    static Bytes Start(int version, size_t width, int n, int items) {
        Bytes b;
        b.v = "CC";
        b.i32(version).v += std::string(width, 'x');
        if (n >= 0 || version >= 21) b.i32(n);
        for (int i = 0; i < items; ++i) b.item(i, 0);
        return b;
    }
    // The bytes behind a length field holding their count.
    std::string framed() const { return Bytes().i32(int64_t(v.size())).v + v; }
};

// Loads from a heap copy of exactly these bytes, so that the sanitizer sees any read past them.
int Load(ccColorPocketArray& t, const std::string& bytes) {
    std::vector<char> exact(bytes.begin(), bytes.end());
    return t.LoadFromBuf(exact.data());
}

// The theme's buffer, its length field included.
std::string Saved(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int len = t.SaveToBuf(buf);
    const std::string out(buf, buf ? len + 4 : 0);
    EXPECT_EQ(t.FreeDataBuf(buf), 0);
    return out;
}

// A theme holding one pocket, to see what a failed load leaves: no pockets,
// the old name and palette.
void Prime(ccColorPocketArray& t) {
    t.name = "before";
    t.InitPalette(2);
    t.pockets.Add(new ccColorPocket);
    t.pockets[0]->items.Add(&t.palette[1]);
}
bool Untouched(const ccColorPocketArray& t) {
    return t.pockets.GetSize() == 0 && t.name == "before" && t.paletteSize == 2;
}
std::vector<ccColorItem*> Members(const ccColorPocket* p) { return {p->items.begin(), p->items.end()}; }
}  // namespace

TEST(ThemeBuffer, WritesTheLayoutByteForByteAndRoundTrips) {
    ccColorPocketArray t, empty, dst(1);
    ASSERT_EQ(Load(t, kLayout), 138);
    EXPECT_EQ(Saved(t), kLayout);  // palIndex fields kept as read; members stored by position
    empty.paletteSize = 5;         // a size without a palette array writes no items
    EXPECT_EQ(Saved(empty), "\x2E\0\0\0CC\x15\0\0\0"s + std::string(40, '\0'));
    EXPECT_EQ(Load(dst, Saved(empty)), 46);  // and loads: a palette of no items is well formed
    // Names are cut to 31 and 15 characters, fields the buffer does not carry
    // stay, a pocket's index becomes its position and its selection a new one's.
    t.name = std::string(40, 'n');
    t.pockets[0]->name = std::string(20, 'p');
    t.pockets[0]->index = t.pockets[0]->selState = 7;
    const std::string b = Saved(t);
    dst.sortMode = 3;
    dst.tagText = "tag";
    Prime(dst);
    ASSERT_EQ(Load(dst, b), 138);
    EXPECT_TRUE(dst.name == std::string(31, 'n') && dst.pockets[0]->name == std::string(15, 'p') &&
                dst.sortMode == 3 && dst.tagText == "tag" && dst.themeType == 1);
    EXPECT_EQ((V{dst.pockets[0]->index, dst.pockets[0]->selState}), (V{0, -1}));
    EXPECT_EQ(Saved(dst), b);
    // A member that is no item of the palette (null, or an item held
    // elsewhere) cannot be stored: it is left out and the length says so.
    ccColorItem stray;
    ccColorPocketArray part;
    part.InitPalette(2);
    part.pockets.Add(new ccColorPocket);
    for (ccColorItem* it : {&stray, &part.palette[1], static_cast<ccColorItem*>(nullptr), &part.palette[0]})
        part.pockets[0]->items.Add(it);
    EXPECT_EQ(part.GetDataBufLength(), 46 + 2 * 20 + 44 + 2 * 4);
    ASSERT_GT(Load(dst, Saved(part)), 0);
    EXPECT_EQ(Members(dst.pockets[0]), (std::vector<ccColorItem*>{&dst.palette[1], &dst.palette[0]}));
    part.InitPalette(0);  // without a palette no member can be stored
    EXPECT_EQ(part.GetDataBufLength(), 46 + 44);
}

TEST(ThemeBuffer, ReadsHandBuiltBuffersOfEveryVersion) {
    // Name widths 16 up to version 17, 32 from 18; up to 16, 256 palettes
    // of 256 items before the pockets (the last one kept); 256 items without
    // a count up to 20; from 21 a counted palette. The magic is not examined.
    for (auto [version, width, blocks] :
         {std::tuple{16, 16, 256}, {17, 16, 1}, {19, 32, 1}, {21, 32, 0}, {30, 32, 0}}) {
        Bytes b = Bytes::Start(version, width, blocks ? -1 : 3, 0);
        b.v[0] = 'X';
        for (int blk = 0; blk < std::max(blocks, 1); ++blk)
            for (int i = 0; i < (blocks ? 256 : 3); ++i) b.item(i, blk + 1 >= blocks ? 70 : 5);
        // The second copy of the flags counts; members are palette positions.
        b.i32(2).pocket(6, 1, 11, {2, 0}).pocket(1, 0, 12, {});
        b.i32(0xDEADBEEF);  // a surplus inside L is ignored
        ccColorPocketArray t;
        ASSERT_EQ(Load(t, b.framed()), static_cast<int>(b.v.size())) << version;
        ASSERT_TRUE(t.name == std::string(width, 'x') && t.paletteSize == (blocks ? 256 : 3) &&
                    t.pockets.GetSize() == 2)
            << version;
        const ccColorPocket *p = t.pockets[0], *q = t.pockets[1];
        // An item of the last block; each pocket's second flags; positions as indices.
        EXPECT_EQ((V{int(RgbWord(t.palette[2].rgb)), t.palette[2].palIndex, p->flags, q->flags, p->pixelNum,
                     q->index, q->items.GetSize()}),
                  (V{0xFD4602, 72, 1, 0, 11, 1, 0}));
        EXPECT_EQ(Members(p), (std::vector<ccColorItem*>{&t.palette[2], &t.palette[0]}));
    }
}

TEST(ThemeBuffer, CorruptBuffersAreRefusedAndLeaveTheThemeConsistent) {
    // Beside the damaged files of the corpus (each goes through this reader too).
    std::vector<std::pair<std::string, std::string>> bad;
    for (size_t cut = 4; cut < kLayout.size(); ++cut)  // every truncation, L telling the truth about it
        bad.push_back({"cut at " + std::to_string(cut), Bytes{kLayout.substr(4, cut - 4)}.framed()});
    std::string members = Bytes::Start(21, 32, 2, 2).i32(1).pocket(0, 0, 0, {}).v;
    members.resize(members.size() - 4);  // without its member count
    bad.insert(bad.end(),
               {{"L huge", "\xFF\xFF\xFF\xFF"s + kLayout.substr(4)},
                {"v17 with 255 items", Bytes::Start(17, 16, -1, 255).framed()},
                {"v3 without its blocks", Bytes::Start(3, 16, -1, 0).i32(0).framed()},
                {"huge palette count", Bytes::Start(21, 32, 0x7FFFFFFF, 3).i32(0).framed()},
                {"huge member count", Bytes{members}.i32(0x40000000).i32(0).framed()},
                {"index 256", Bytes::Start(21, 32, 256, 256).i32(1).pocket(0, 0, 0, {0, 256}).framed()},
                {"index -1", Bytes::Start(21, 32, 256, 256).i32(1).pocket(0, 0, 0, {-1}).framed()},
                {"index into no palette", Bytes::Start(21, 32, 0, 0).i32(1).pocket(0, 0, 0, {0}).framed()}});
    for (const auto& [what, bytes] : bad) {
        ccColorPocketArray t;
        Prime(t);
        const ccColorItem* pal = t.palette;
        EXPECT_EQ(Load(t, bytes), -1) << what;
        EXPECT_TRUE(Untouched(t) && t.palette == pal) << what;
    }
    ccColorPocketArray t;
    EXPECT_EQ(t.LoadFromBuf(nullptr), -1);
    Bytes full = Bytes::Start(21, 32, 1, 1).i32(256);  // as many pockets as a palette has colours are read
    for (int j = 0; j < 256; ++j) full.pocket(0, 0, j, {0});
    ASSERT_EQ(Load(t, full.framed()), static_cast<int>(full.v.size()));
    EXPECT_TRUE(t.pockets.GetSize() == 256 && t.pockets[255]->pixelNum == 255 &&
                t.pockets[255]->index == 255);
}

TEST(ThemeBuffer, APocketCountOfZeroOrLessEndsTheTheme) {
    // Name and palette are read, then no pocket; whatever follows the count
    // is not looked at, and the result is the length field.
    for (int m : {0, -1, -3, INT_MIN}) {
        Bytes b = Bytes::Start(21, 32, 2, 2).i32(m);
        b.i32(0x7FFFFFFF);  // not a pocket record
        ccColorPocketArray t;
        Prime(t);
        ASSERT_EQ(Load(t, b.framed()), static_cast<int>(b.v.size())) << m;
        EXPECT_TRUE(t.name == std::string(32, 'x') && t.paletteSize == 2 && t.pockets.GetSize() == 0) << m;
        EXPECT_EQ((V{t.palette[1].palIndex, t.palette[1].pixelNum}), (V{1, 2})) << m;
    }
}

TEST(ThemeBuffer, AMemberCountOfZeroOrLessGivesAnEmptyPocket) {
    // No index is read for such a pocket: the next record follows its count
    // and the buffer loads whole, its length field the result.
    for (int k : {0, -1, -2, INT_MIN}) {
        Bytes b = Bytes::Start(21, 32, 2, 2).i32(3).pocket(0, 0, 5, {1});
        b.pocket(0, 1, 6, {});
        b.v.resize(b.v.size() - 4);  // the second pocket's member count becomes k
        b.i32(k).pocket(0, 0, 7, {0, 1});
        ccColorPocketArray t;
        Prime(t);
        ASSERT_EQ(Load(t, b.framed()), static_cast<int>(b.v.size())) << k;
        ASSERT_EQ(t.pockets.GetSize(), 3) << k;
        const ccColorPocket *p = t.pockets[0], *q = t.pockets[1], *r = t.pockets[2];
        EXPECT_EQ((V{q->items.GetSize(), q->flags, q->pixelNum, q->index, r->pixelNum, r->index}),
                  (V{0, 1, 6, 1, 7, 2}))
            << k;
        EXPECT_EQ(Members(p), (std::vector<ccColorItem*>{&t.palette[1]})) << k;
        EXPECT_EQ(Members(r), (std::vector<ccColorItem*>{&t.palette[0], &t.palette[1]})) << k;
    }
}

TEST(ThemeFile, RoundTripOpenFailuresSharingAndTheCorpus) {
    ccColorPocketArray t, src, empty;
    Prime(t);
    const std::string path = tool::Temp("theme.ccs"), missing = tool::Temp("no_such_file.ccs"),
                      folder = ::testing::TempDir(), noFolder = tool::Temp("no_such_dir/x.ccs");
    EXPECT_EQ((V{t.LoadFromFile(missing.c_str()), t.LoadFromFile(folder.c_str()), t.LoadFromFile(nullptr),
                 t.SaveToFile(nullptr), t.SaveToFile(noFolder.c_str())}),
              V(5, -1));
    ASSERT_EQ(Load(src, kLayout), 138);
    ASSERT_EQ(src.SaveToFile(path.c_str()), 0);
    EXPECT_EQ(tool::Slurp(path), kLayout.substr(4));  // the buffer without L
    {
        hv::File holder;  // held exclusively: neither replaced nor read
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadExclusive));
        EXPECT_EQ((V{empty.SaveToFile(path.c_str()), t.LoadFromFile(path.c_str())}), V(2, -1));
    }
    EXPECT_EQ(t.pockets.GetSize(), 1);  // a file not opened leaves the theme as it was
    {
        hv::File reader;  // two readers may share the file
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        ASSERT_EQ(t.LoadFromFile(path.c_str()), 0);
        EXPECT_EQ(Saved(t), kLayout);
    }
    std::remove(path.c_str());
    ASSERT_EQ(src.LoadFromFile((kData + "valid_v21.ccs").c_str()), 0);
    EXPECT_TRUE(src.name == "dune" && src.paletteSize == 3 && src.pockets.GetSize() == 2);
    // A negative member count gives the pocket no members; the indices after it are surplus.
    ASSERT_EQ(src.LoadFromFile((kData + "negative_member_count.ccs").c_str()), 0);
    EXPECT_TRUE(src.pockets.GetSize() == 2 && src.pockets[0]->items.GetSize() == 1 &&
                src.pockets[1]->name == "sky" && src.pockets[1]->items.GetSize() == 0);
    for (const char* nm :
         {"empty", "magic_only", "cut_in_name", "cut_in_palette", "cut_in_pocket", "no_pocket_count",
          "negative_palette_count", "huge_pocket_count", "pockets_257",
          "member_index_300", "v16_cut_in_blocks", "random", "random_with_magic"})
        EXPECT_EQ(empty.LoadFromFile((kData + nm + ".ccs").c_str()), -2)
            << nm;  // what it leaves: the fuzz replay
}
