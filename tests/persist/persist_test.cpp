// The theme buffer and file: exact layout, round trips, older versions,
// corrupt buffers and files, file access.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cli/tool_run.h"
#include "huevane/theme.h"
#include "platform/file.h"

namespace {
using Buf = std::vector<unsigned char>;
const std::string kData = std::string(HUEVANE_TEST_DATA) + "/persist/";

// Appends little-endian fields.
struct Bytes {
    Buf v;
    Bytes& u8(unsigned x) { return v.push_back(static_cast<unsigned char>(x)), *this; }
    Bytes& i32(int64_t x) { return u8(x & 0xFF).u8(x >> 8 & 0xFF).u8(x >> 16 & 0xFF).u8(x >> 24 & 0xFF); }
    Bytes& f32(float f) { uint32_t b; std::memcpy(&b, &f, 4); return i32(b); }
    Bytes& text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
        return *this;
    }
    // A palette item whose colour, hsl, palIndex and count derive from i.
    Bytes& item(int i, int tag) {
        return u8(i).u8(tag).u8(255 - i).u8(0).i32(0x100 * i).i32(i + tag).i32(2 * i).f32(i / 256.0f);
    }
    // A pocket record: flags, name, flags again, averages, count, share, members.
    Bytes& pocket(int flags0, const std::string& name, int flags1, int count, std::vector<int> members) {
        i32(flags0).text(name, 16).i32(flags1).i32(0x00010203).i32(9).i32(count).f32(0.5f).i32(int(members.size()));
        for (int m : members) i32(m);
        return *this;
    }
    // A version-21 start announcing n palette items and holding `items` of them.
    static Bytes V21(int n, int items) {
        Bytes b;
        b.u8('C').u8('C').i32(21).text("bad", 32).i32(n);
        for (int i = 0; i < items; ++i) b.item(i, 0);
        return b;
    }
    // The bytes behind a length field holding their count.
    Buf framed() const {
        Bytes b;
        b.i32(int64_t(v.size())).v.insert(b.v.end(), v.begin(), v.end());
        return b.v;
    }
};

// Loads from a heap copy of exactly these bytes, so that the sanitizer sees any read past them.
int Load(ccColorPocketArray& t, Buf bytes) { return t.LoadFromBuf(reinterpret_cast<char*>(bytes.data())); }

// The theme's buffer, its length field included.
Buf Saved(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int len = t.SaveToBuf(buf);
    Buf out(buf, buf + (buf ? len + 4 : 0));
    t.FreeDataBuf(buf);
    return out;
}

// 256 palette items and four pockets with positions and selection that
// differ from a new pocket's; long theme and pocket names.
void FillSample(ccColorPocketArray& t) {
    t.name = std::string(40, 'n');
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, BYTE(i), BYTE(255 - i), BYTE(i * 7), i * 3 + 1, 1000);
    for (int j = 0; j < 4; ++j) {
        auto* p = new ccColorPocket;
        for (int k = 0; k < 3 + j; ++k) p->AddColorItemAny(&t.palette[(j * 37 + k * 11) % 256]);
        p->name = std::string(20, 'a' + j);
        p->flags = j & 1;
        p->index = 40 + j;
        p->selState = 300;
        t.pockets.Add(p);
    }
}

// A theme holding one pocket, to see what a failed load leaves.
void Prime(ccColorPocketArray& t) {
    t.name = "before";
    t.InitPalette(2);
    t.pockets.Add(new ccColorPocket);
    t.pockets[0]->items.Add(&t.palette[1]);
}
// What a failed load leaves of a primed theme: no pockets, the old name and palette.
bool Untouched(const ccColorPocketArray& t) { return t.pockets.GetSize() == 0 && t.name == "before" && t.paletteSize == 2; }
}  // namespace

TEST(ThemeBuffer, WritesTheLayoutByteForByte) {
    // Two items and a pocket listing them in reverse order; L = 46 + 2 x 20 + 44 + 2 x 4.
    Buf want = {0x8A, 0, 0, 0, 'C', 'C', 21, 0, 0, 0, 'S', 'k', 'y'};
    want.resize(42, 0);                                                  // name field: 32 bytes
    const Buf rest = {
        2, 0, 0, 0,                                                      // palette count
        30, 20, 10, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x40, 0x3F,
        50, 100, 200, 7, 0xEE, 0xFF, 0xC0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3E,
        1, 0, 0, 0,                                                      // pocket count
        1, 0, 0, 0, 'S', 'e', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // flags, name
        1, 0, 0, 0, 1, 2, 3, 4, 0xD4, 0xC3, 0xB2, 0xA1,                   // flags, aveRGB, aveHSL
        4, 0, 0, 0, 0, 0, 0x80, 0x3F, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};  // count, share, members
    want.insert(want.end(), rest.begin(), rest.end());
    ccColorPocketArray t, empty;
    ASSERT_EQ(Load(t, want), 138);
    EXPECT_EQ(t.GetDataBufLength(), 138);
    EXPECT_EQ(Saved(t), want);
    Buf e = {46, 0, 0, 0, 'C', 'C', 21, 0, 0, 0};
    e.resize(50, 0);
    empty.paletteSize = 5;  // a size without a palette array writes no items
    EXPECT_EQ(Saved(empty), e);
    empty.paletteSize = 0;
}

TEST(ThemeBuffer, RoundTripCutsNamesKeepsUncarriedFieldsAndStoresMembersByPosition) {
    ccColorPocketArray src, dst(1);
    FillSample(src);
    src.palette[0].palIndex = 5;  // members are positions, whatever palIndex says
    src.palette[11].palIndex = 300;
    src.palette[22].palIndex = -1;
    const Buf b = Saved(src);
    dst.sortMode = 3;
    dst.tagText = "tag";
    Prime(dst);
    ASSERT_EQ(Load(dst, b), static_cast<int>(b.size()) - 4);
    EXPECT_EQ(dst.name, std::string(31, 'n'));
    EXPECT_EQ(dst.pockets[2]->name, std::string(15, 'c'));
    EXPECT_TRUE(dst.sortMode == 3 && dst.tagText == "tag" && dst.themeType == 1);
    ASSERT_EQ(dst.pockets.GetSize(), 4);
    for (int j = 0; j < 4; ++j) {
        const ccColorPocket* d = dst.pockets[j];
        EXPECT_EQ((std::vector<int>{d->index, d->selState}), (std::vector<int>{j, -1}));  // position, default
        for (int k = 0; k < d->items.GetSize(); ++k)
            EXPECT_EQ(d->items[k] - dst.palette, src.pockets[j]->items[k] - src.palette);
    }
    EXPECT_EQ(Saved(dst), b);  // every carried field came back exactly

    // A member that is no item of the palette (null, or an item held
    // elsewhere) cannot be stored: it is left out and the length says so.
    ccColorItem stray;
    ccColorPocketArray part, bare;
    part.InitPalette(2);
    for (auto* t : {&part, &bare}) {
        t->pockets.Add(new ccColorPocket);
        for (ccColorItem* it : {&stray, &part.palette[1], static_cast<ccColorItem*>(nullptr), &part.palette[0]})
            t->pockets[0]->items.Add(it);
    }
    EXPECT_EQ(bare.GetDataBufLength(), 46 + 44);  // without a palette no member can be stored
    EXPECT_EQ(part.GetDataBufLength(), 46 + 2 * 20 + 44 + 2 * 4);
    ASSERT_GT(Load(dst, Saved(part)), 0);
    EXPECT_EQ(dst.pockets[0]->items.GetSize(), 2);
    EXPECT_EQ(dst.pockets[0]->items[0], &dst.palette[1]);
    EXPECT_EQ(dst.pockets[0]->items[1], &dst.palette[0]);
}

TEST(ThemeBuffer, ReadsHandBuiltBuffersOfEveryVersion) {
    // blocks: 256-item palettes before the pockets (the last one is kept);
    // 0 for a counted palette of 3 items.
    struct Case { int version; size_t width; std::string name; int blocks; };
    for (const Case& c : {Case{16, 16, "sixteen-chars-xx", 256}, {17, 16, "seventeen", 1}, {19, 32, "nineteen", 1},
                          {21, 32, std::string(31, 'x'), 0}, {30, 32, "later", 0}}) {
        Bytes b;
        b.u8('X').u8('Y').i32(c.version).text(c.name, c.width);  // the magic is not examined
        const int blocks = c.blocks ? c.blocks : 1, n = c.blocks ? 256 : 3;
        if (!c.blocks) b.i32(n);
        for (int blk = 0; blk < blocks; ++blk)
            for (int i = 0; i < n; ++i) b.item(i, blk + 1 == blocks ? 70 : 5);
        // The second copy of the flags counts; members are palette positions.
        b.i32(2).pocket(6, "first", 1, 11, {2, 0}).pocket(1, "second", 0, 12, {});
        b.i32(0xDEADBEEF);  // a surplus inside L is ignored
        ccColorPocketArray t;
        ASSERT_EQ(Load(t, b.framed()), static_cast<int>(b.v.size())) << c.version;
        EXPECT_EQ(t.name, c.name);
        ASSERT_TRUE(t.paletteSize == n && t.pockets.GetSize() == 2) << c.version;
        EXPECT_EQ(RgbWord(t.palette[2].rgb), 0x00FD4602u);
        EXPECT_EQ(t.palette[2].palIndex, 72);  // from the last block
        const ccColorPocket *p = t.pockets[0], *q = t.pockets[1];
        EXPECT_EQ((std::vector<int>{p->flags, q->flags, p->pixelNum, q->index, q->items.GetSize()}),
                  (std::vector<int>{1, 0, 11, 1, 0}));
        ASSERT_EQ(p->items.GetSize(), 2);
        EXPECT_TRUE(p->items[0] == &t.palette[2] && p->items[1] == &t.palette[0]) << c.version;
    }
}

TEST(ThemeBuffer, CorruptBuffersAreRefusedAndLeaveTheThemeConsistent) {
    std::vector<std::pair<std::string, Buf>> bad;
    ccColorPocketArray src;
    FillSample(src);
    const Buf full = Saved(src);
    for (size_t cut = 4; cut < full.size(); ++cut) {  // every truncation, L telling the truth about it
        Bytes part;
        part.i32(int64_t(cut - 4)).v.insert(part.v.end(), full.begin() + 4, full.begin() + cut);
        bad.push_back({"cut at " + std::to_string(cut), part.v});
    }
    Buf shorter(full.begin(), full.end() - 1), huge = full;
    --shorter[0];
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;
    Bytes v17, v3, many = Bytes::V21(1, 1).i32(257), members = Bytes::V21(2, 2).i32(1).pocket(0, "p", 0, 0, {});
    v17.u8('C').u8('C').i32(17).text("x", 16);
    for (int i = 0; i < 255; ++i) v17.item(i, 0);
    v3.u8('C').u8('C').i32(3).text("x", 16).i32(0);
    for (int j = 0; j < 257; ++j) many.pocket(0, "p", 0, 1, {0});  // one more than the 256 read below
    members.v.resize(members.v.size() - 4);  // without its member count
    bad.insert(bad.end(), {{"L smaller than the data", shorter}, {"L huge", huge}, {"v17 with 255 items", v17.framed()},
                           {"v3 without its blocks", v3.framed()},
                           {"negative palette count", Bytes::V21(-1, 0).i32(0).framed()},
                           {"huge palette count", Bytes::V21(0x7FFFFFFF, 3).i32(0).framed()},
                           {"negative pocket count", Bytes::V21(0, 0).i32(-3).framed()},
                           {"huge pocket count", Bytes::V21(0, 0).i32(0x7FFFFFFF).framed()},
                           {"257 pockets", many.framed()},
                           {"negative member count", Bytes(members).i32(-1).framed()},
                           {"huge member count", Bytes(members).i32(0x40000000).i32(0).framed()},
                           {"index 300", Bytes::V21(256, 256).i32(1).pocket(0, "p", 0, 0, {0, 300}).framed()},
                           {"index 256", Bytes::V21(256, 256).i32(1).pocket(0, "p", 0, 0, {256}).framed()},
                           {"index -1", Bytes::V21(256, 256).i32(1).pocket(0, "p", 0, 0, {-1}).framed()},
                           {"index into no palette", Bytes::V21(0, 0).i32(1).pocket(0, "p", 0, 0, {0}).framed()}});
    for (const auto& [what, bytes] : bad) {
        ccColorPocketArray t;
        Prime(t);
        const ccColorItem* pal = t.palette;
        EXPECT_EQ(Load(t, bytes), -1) << what;
        EXPECT_TRUE(Untouched(t)) << what;
        EXPECT_EQ(t.palette, pal) << what;
    }
    ccColorPocketArray t;
    EXPECT_EQ(t.LoadFromBuf(nullptr), -1);
    // As many pockets as a palette has colours are read.
    Bytes full256 = Bytes::V21(1, 1).i32(256);
    for (int j = 0; j < 256; ++j) full256.pocket(0, "p", 0, j, {0});
    ASSERT_EQ(Load(t, full256.framed()), static_cast<int>(full256.v.size()));
    ASSERT_EQ(t.pockets.GetSize(), 256);
    EXPECT_EQ((std::vector<int>{t.pockets[255]->pixelNum, t.pockets[255]->index}), (std::vector<int>{255, 255}));
}

TEST(ThemeFile, RoundTripOpenFailuresAndSharing) {
    ccColorPocketArray t, src, dst(1), small;
    Prime(t);
    const std::string path = tool::Temp("theme.ccs");
    for (const std::string& p : {tool::Temp("no_such_file.ccs"), ::testing::TempDir()})  // the second a folder
        EXPECT_EQ(t.LoadFromFile(p.c_str()), -1) << p;
    EXPECT_EQ(t.LoadFromFile(nullptr), -1);
    EXPECT_EQ(t.SaveToFile(nullptr), -1);
    EXPECT_EQ(t.SaveToFile(tool::Temp("no_such_dir/x.ccs").c_str()), -1);
    EXPECT_EQ(t.pockets.GetSize(), 1);
    FillSample(src);
    ASSERT_EQ(src.SaveToFile(path.c_str()), 0);
    const Buf buf = Saved(src);
    EXPECT_EQ(tool::Slurp(path), std::string(buf.begin() + 4, buf.end()));  // the buffer without L
    {
        hv::File holder;  // held exclusively: neither replaced nor read
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadExclusive));
        EXPECT_EQ(small.SaveToFile(path.c_str()), -1);
        EXPECT_EQ(t.LoadFromFile(path.c_str()), -1);
        EXPECT_EQ(t.pockets.GetSize(), 1);
    }
    {
        hv::File reader;  // two readers may share the file
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        dst.tagText = "tag";
        Prime(dst);
        ASSERT_EQ(dst.LoadFromFile(path.c_str()), 0);
        EXPECT_TRUE(dst.tagText == "tag" && dst.themeType == 1);
        EXPECT_EQ(Saved(dst), buf);
    }
    ASSERT_EQ(small.SaveToFile(path.c_str()), 0);  // replaces the longer file completely
    EXPECT_EQ(tool::Slurp(path).size(), 46u);
    std::remove(path.c_str());
}

TEST(ThemeFile, CorpusLoadsTheGoodFilesAndRefusesTheDamagedOnes) {
    ccColorPocketArray good, moved;
    ASSERT_EQ(good.LoadFromFile((kData + "valid_v21.ccs").c_str()), 0);
    EXPECT_EQ(good.name, "dune");
    ASSERT_TRUE(good.paletteSize == 3 && good.pockets.GetSize() == 2);
    EXPECT_EQ(good.pockets[1]->name, "sky");
    ASSERT_EQ(good.pockets[1]->items.GetSize(), 2);
    EXPECT_EQ(good.pockets[1]->items[1], &good.palette[2]);
    // palIndex fields 5, 2, 1 at positions 0, 1, 2: saved again byte for byte.
    const std::string path = tool::Temp("again.ccs"), moving = kData + "palindex_not_position.ccs";
    ASSERT_EQ(moved.LoadFromFile(moving.c_str()), 0);
    ASSERT_EQ(moved.SaveToFile(path.c_str()), 0);
    EXPECT_EQ(tool::Slurp(path), tool::Slurp(moving));
    ASSERT_EQ(moved.pockets[1]->items.GetSize(), 2);
    EXPECT_TRUE(moved.pockets[1]->items[0] == &moved.palette[2] && moved.pockets[1]->items[1] == &moved.palette[1]);
    std::remove(path.c_str());
    for (const char* nm : {"empty", "magic_only", "cut_in_name", "cut_in_palette", "cut_in_pocket", "no_pocket_count",
                           "negative_palette_count", "negative_member_count", "huge_pocket_count", "pockets_257",
                           "member_index_300", "v16_cut_in_blocks", "random", "random_with_magic"}) {
        ccColorPocketArray t;
        Prime(t);
        EXPECT_EQ(t.LoadFromFile((kData + nm + ".ccs").c_str()), -2) << nm;
        EXPECT_TRUE(Untouched(t)) << nm;
    }
}
