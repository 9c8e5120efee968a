// The theme buffer and file: exact layout, round trips, older versions,
// corrupt buffers and files, file access.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "huevane/theme.h"
#include "platform/file.h"

namespace {

// Appends little-endian fields to a byte vector.
struct Bytes {
    std::vector<unsigned char> v;
    Bytes& u8(unsigned x) { v.push_back(static_cast<unsigned char>(x)); return *this; }
    Bytes& u32(uint32_t x) { for (int i = 0; i < 4; ++i) u8((x >> (8 * i)) & 0xFF); return *this; }
    Bytes& i32(int x) { return u32(static_cast<uint32_t>(x)); }
    Bytes& f32(float f) { uint32_t b; std::memcpy(&b, &f, 4); return u32(b); }
    Bytes& text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
        return *this;
    }
    // A palette item whose colour, hsl, palIndex and count derive from i.
    Bytes& item(int i, int tag) {
        return u8(i).u8(tag).u8(255 - i).u8(0).u32(0x100u * i).i32(i + tag).i32(2 * i).f32(i / 256.0f);
    }
    // A pocket record: flags, name, flags again, averages, count, share, members.
    Bytes& pocket(int flags0, const std::string& name, int flags1, int count, std::vector<int> members) {
        i32(flags0).text(name, 16).i32(flags1).u32(0x00010203).u32(9).i32(count).f32(0.5f);
        i32(static_cast<int>(members.size()));
        for (int m : members) i32(m);
        return *this;
    }
    // The bytes behind a length field holding their count.
    std::vector<unsigned char> framed() const {
        Bytes b;
        b.u32(static_cast<uint32_t>(v.size())).v.insert(b.v.end(), v.begin(), v.end());
        return b.v;
    }
};

// A heap copy of exactly these bytes, so that the sanitizer sees any read past them.
std::unique_ptr<char[]> Exact(const std::vector<unsigned char>& bytes) {
    std::unique_ptr<char[]> p(new char[bytes.empty() ? 1 : bytes.size()]);
    if (!bytes.empty()) std::memcpy(p.get(), bytes.data(), bytes.size());
    return p;
}

// The theme's buffer, its length field included.
std::vector<unsigned char> Saved(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int len = t.SaveToBuf(buf);
    if (!buf || len < 0) return {};
    std::vector<unsigned char> out(buf, buf + len + 4);
    t.FreeDataBuf(buf);
    return out;
}

// 256 palette items and four pockets with positions and selection that
// differ from a new pocket's; long theme and pocket names.
void FillSample(ccColorPocketArray& t) {
    t.name = std::string(40, 'n');
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i)
        t.SetPalEntryBYTE(i, (BYTE)i, (BYTE)(255 - i), (BYTE)(i * 7), i * 3 + 1, 1000);
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

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

std::string Temp(const char* name) { return ::testing::TempDir() + name; }

// A theme holding one pocket, to see what a failed load leaves.
void Prime(ccColorPocketArray& t) {
    t.name = "before";
    t.InitPalette(2);
    t.pockets.Add(new ccColorPocket);
    t.pockets[0]->items.Add(&t.palette[1]);
}

}  // namespace

TEST(ThemeBuffer, WritesTheLayoutByteForByte) {
    // Two items and a pocket listing them in reverse order; L = 46 + 2 x 20 + 44 + 2 x 4.
    std::vector<unsigned char> want = {0x8A, 0, 0, 0, 'C', 'C', 21, 0, 0, 0, 'S', 'k', 'y'};
    want.resize(42, 0);                                                  // name field: 32 bytes
    const std::vector<unsigned char> rest = {
        2, 0, 0, 0,                                                      // palette count
        30, 20, 10, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x40, 0x3F,
        50, 100, 200, 7, 0xEE, 0xFF, 0xC0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3E,
        1, 0, 0, 0,                                                      // pocket count
        1, 0, 0, 0, 'S', 'e', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // flags, name
        1, 0, 0, 0, 1, 2, 3, 4, 0xD4, 0xC3, 0xB2, 0xA1,                   // flags, aveRGB, aveHSL
        4, 0, 0, 0, 0, 0, 0x80, 0x3F, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};  // count, share, members
    want.insert(want.end(), rest.begin(), rest.end());
    ccColorPocketArray t;
    auto in = Exact(want);
    ASSERT_EQ(t.LoadFromBuf(in.get()), 138);
    EXPECT_EQ(t.GetDataBufLength(), 138);
    EXPECT_EQ(Saved(t), want);

    ccColorPocketArray empty;
    std::vector<unsigned char> e = {46, 0, 0, 0, 'C', 'C', 21, 0, 0, 0};
    e.resize(50, 0);
    EXPECT_EQ(Saved(empty), e);
    empty.paletteSize = 5;  // a size without a palette array writes no items
    EXPECT_EQ(Saved(empty), e);
    empty.paletteSize = 0;
}

TEST(ThemeBuffer, RoundTripCutsNamesAndKeepsUncarriedFields) {
    ccColorPocketArray src;
    FillSample(src);
    const std::vector<unsigned char> b = Saved(src);

    ccColorPocketArray dst(1);
    dst.sortMode = 3;
    dst.tagText = "tag";
    dst.InitPalette(3);
    dst.pockets.Add(new ccColorPocket);
    auto in = Exact(b);
    ASSERT_EQ(dst.LoadFromBuf(in.get()), static_cast<int>(b.size()) - 4);
    EXPECT_EQ(dst.name, std::string(31, 'n'));
    EXPECT_EQ(dst.pockets[2]->name, std::string(15, 'c'));
    EXPECT_EQ(dst.sortMode, 3);
    EXPECT_EQ(dst.tagText, "tag");
    EXPECT_EQ(dst.themeType, 1);
    ASSERT_EQ(dst.paletteSize, 256);
    ASSERT_EQ(dst.pockets.GetSize(), 4);
    for (int j = 0; j < 4; ++j) {
        const ccColorPocket* d = dst.pockets[j];
        EXPECT_EQ(d->index, j);  // the position; uncarried fields take their defaults
        EXPECT_EQ(d->selState, -1);
        for (int k = 0; k < d->items.GetSize(); ++k)
            EXPECT_EQ(d->items[k] - dst.palette, src.pockets[j]->items[k] - src.palette);
    }
    EXPECT_EQ(Saved(dst), b);  // every carried field came back exactly
}

// Members are stored by their position in the palette, whatever the items'
// palIndex fields say, so that every theme comes back with the same pockets.
TEST(ThemeBuffer, MembersSurviveSaveAndLoadWhateverTheirPalIndex) {
    struct Case { const char* what; std::vector<int> palIndex; };
    const Case cases[] = {
        {"position 0 carries 5", {5, 1, 2}},
        {"two fields swapped", {1, 0, 2}},
        {"default -1 everywhere", {-1, -1, -1}},
        {"past the palette", {300, 7, -9}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ccColorPocketArray src;
        src.InitPalette(3);
        for (int i = 0; i < 3; ++i) {
            src.SetPalEntryBYTE(i, (BYTE)(40 * i), (BYTE)(90 + i), (BYTE)(200 - 30 * i), 10 + i, 100);
            src.palette[i].palIndex = c.palIndex[static_cast<size_t>(i)];
        }
        auto* a = new ccColorPocket;
        a->items.Add(&src.palette[0]);
        a->items.Add(&src.palette[2]);
        auto* b = new ccColorPocket;
        b->items.Add(&src.palette[1]);
        src.pockets.Add(a);
        src.pockets.Add(b);
        const std::vector<unsigned char> bytes = Saved(src);

        ccColorPocketArray dst;
        auto in = Exact(bytes);
        ASSERT_EQ(dst.LoadFromBuf(in.get()), static_cast<int>(bytes.size()) - 4);
        ASSERT_EQ(dst.paletteSize, 3);
        ASSERT_EQ(dst.pockets.GetSize(), 2);
        ASSERT_EQ(dst.pockets[0]->items.GetSize(), 2);
        EXPECT_EQ(dst.pockets[0]->items[0], &dst.palette[0]);
        EXPECT_EQ(dst.pockets[0]->items[1], &dst.palette[2]);
        ASSERT_EQ(dst.pockets[1]->items.GetSize(), 1);
        EXPECT_EQ(dst.pockets[1]->items[0], &dst.palette[1]);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(dst.palette[i].palIndex, c.palIndex[static_cast<size_t>(i)]);
        EXPECT_EQ(Saved(dst), bytes);  // and a second round changes nothing

        // The theme file takes the same road.
        const std::string path = Temp("members_by_position.ccs");
        ASSERT_EQ(src.SaveToFile(path.c_str()), 0);
        ccColorPocketArray fromFile;
        ASSERT_EQ(fromFile.LoadFromFile(path.c_str()), 0);
        ASSERT_EQ(fromFile.pockets.GetSize(), 2);
        ASSERT_EQ(fromFile.pockets[0]->items.GetSize(), 2);
        EXPECT_EQ(fromFile.pockets[0]->items[1], &fromFile.palette[2]);
        std::remove(path.c_str());
    }
}

// A member that is no item of the theme's palette (null, or an item held
// elsewhere) cannot be stored; it is left out and the length says so.
TEST(ThemeBuffer, MembersOutsideThePaletteAreLeftOut) {
    ccColorItem stray;
    stray.palIndex = 0;
    ccColorPocketArray src;
    src.InitPalette(2);
    auto* p = new ccColorPocket;
    p->items.Add(&stray);
    p->items.Add(&src.palette[1]);
    p->items.Add(nullptr);
    p->items.Add(&src.palette[0]);
    src.pockets.Add(p);
    EXPECT_EQ(src.GetDataBufLength(), 46 + 2 * 20 + 44 + 2 * 4);
    const std::vector<unsigned char> bytes = Saved(src);
    ASSERT_EQ(bytes.size(), 4u + 46 + 2 * 20 + 44 + 2 * 4);
    ccColorPocketArray dst;
    auto in = Exact(bytes);
    ASSERT_GT(dst.LoadFromBuf(in.get()), 0);
    ASSERT_EQ(dst.pockets[0]->items.GetSize(), 2);
    EXPECT_EQ(dst.pockets[0]->items[0], &dst.palette[1]);
    EXPECT_EQ(dst.pockets[0]->items[1], &dst.palette[0]);

    // Without a palette array no member can be stored.
    ccColorPocketArray bare;
    auto* q = new ccColorPocket;
    q->items.Add(&stray);
    bare.pockets.Add(q);
    EXPECT_EQ(bare.GetDataBufLength(), 46 + 44);
}

TEST(ThemeBuffer, ReadsUpTo256Pockets) {
    // As many pockets as a palette has colours: read; one more is refused
    // (see the corrupt buffers), so that a small buffer cannot make sorting
    // and pairing, quadratic in the count, take seconds.
    Bytes b;
    b.u8('C').u8('C').i32(21).text("full", 32).i32(1).item(0, 0).i32(256);
    for (int j = 0; j < 256; ++j) b.pocket(0, "p", 0, j, {0});
    auto in = Exact(b.framed());
    ccColorPocketArray t;
    ASSERT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(b.v.size()));
    ASSERT_EQ(t.pockets.GetSize(), 256);
    EXPECT_EQ(t.pockets[255]->pixelNum, 255);
    EXPECT_EQ(t.pockets[255]->index, 255);
}

TEST(ThemeBuffer, ReadsHandBuiltBuffersOfEveryVersion) {
    // blocks: 256-item palettes before the pockets (the last one is kept);
    // 0 for a counted palette of 3 items.
    struct Case { int version; size_t width; std::string name; int blocks; };
    const Case cases[] = {{16, 16, "sixteen-chars-xx", 256}, {17, 16, "seventeen", 1},
                          {19, 32, "nineteen", 1}, {21, 32, std::string(31, 'x'), 0}, {30, 32, "later", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        Bytes b;
        b.u8('X').u8('Y').i32(c.version).text(c.name, c.width);  // the magic is not examined
        const int blocks = c.blocks ? c.blocks : 1, n = c.blocks ? 256 : 3;
        if (!c.blocks) b.i32(n);
        for (int blk = 0; blk < blocks; ++blk)
            for (int i = 0; i < n; ++i) b.item(i, blk + 1 == blocks ? 70 : 5);
        // The second copy of the flags counts; members are palette positions.
        b.i32(2).pocket(6, "first", 1, 11, {2, 0}).pocket(1, "second", 0, 12, {});
        b.u32(0xDEADBEEF);  // a surplus inside L is ignored
        auto in = Exact(b.framed());
        ccColorPocketArray t;
        ASSERT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(b.v.size()));
        EXPECT_EQ(t.name, c.name);
        ASSERT_EQ(t.paletteSize, n);
        EXPECT_EQ(RgbWord(t.palette[2].rgb), 0x00FD4602u);
        EXPECT_EQ(t.palette[2].palIndex, 72);  // from the last block
        ASSERT_EQ(t.pockets.GetSize(), 2);
        const ccColorPocket* p = t.pockets[0];
        EXPECT_EQ(p->flags, 1);
        EXPECT_EQ(t.pockets[1]->flags, 0);
        EXPECT_EQ(p->pixelNum, 11);
        ASSERT_EQ(p->items.GetSize(), 2);
        EXPECT_EQ(p->items[0], &t.palette[2]);
        EXPECT_EQ(p->items[1], &t.palette[0]);
        EXPECT_EQ(t.pockets[1]->index, 1);
        EXPECT_EQ(t.pockets[1]->items.GetSize(), 0);
    }
}

TEST(ThemeBuffer, CorruptBuffersAreRefusedAndLeaveTheThemeConsistent) {
    std::vector<std::pair<std::string, std::vector<unsigned char>>> bad;
    // Every truncation of a valid buffer, L telling the truth about it.
    ccColorPocketArray src;
    FillSample(src);
    const std::vector<unsigned char> full = Saved(src);
    for (size_t cut = 4; cut < full.size(); ++cut) {
        Bytes part;
        part.u32(static_cast<uint32_t>(cut - 4)).v.insert(part.v.end(), full.begin() + 4, full.begin() + cut);
        bad.push_back({"cut at " + std::to_string(cut), part.v});
    }
    std::vector<unsigned char> shorter(full.begin(), full.end() - 1);
    --shorter[0];
    bad.push_back({"L smaller than the data", shorter});
    std::vector<unsigned char> huge = full;
    huge[0] = huge[1] = huge[2] = huge[3] = 0xFF;
    bad.push_back({"L huge", huge});
    Bytes v17, v3;
    v17.u8('C').u8('C').i32(17).text("x", 16);
    for (int i = 0; i < 255; ++i) v17.item(i, 0);
    v3.u8('C').u8('C').i32(3).text("x", 16).i32(0);
    bad.push_back({"v17 with 255 items", v17.framed()});
    bad.push_back({"v3 without its blocks", v3.framed()});
    // A version-21 start announcing n items and holding `items` of them.
    auto v21 = [](int n, int items) {
        Bytes b;
        b.u8('C').u8('C').i32(21).text("bad", 32).i32(n);
        for (int i = 0; i < items; ++i) b.item(i, 0);
        return b;
    };
    bad.push_back({"negative palette count", v21(-1, 0).i32(0).framed()});
    bad.push_back({"huge palette count", v21(0x7FFFFFFF, 3).i32(0).framed()});
    bad.push_back({"negative pocket count", v21(0, 0).i32(-3).framed()});
    bad.push_back({"huge pocket count", v21(0, 0).i32(0x7FFFFFFF).framed()});
    Bytes many = v21(1, 1).i32(257);
    for (int j = 0; j < 257; ++j) many.pocket(0, "p", 0, 1, {0});
    bad.push_back({"257 pockets", many.framed()});
    Bytes negMembers = v21(2, 2).i32(1).pocket(0, "p", 0, 0, {});
    negMembers.v.resize(negMembers.v.size() - 4);  // without its member count
    bad.push_back({"negative member count", Bytes(negMembers).i32(-1).framed()});
    bad.push_back({"huge member count", Bytes(negMembers).i32(0x40000000).i32(0).framed()});
    bad.push_back({"index 300", v21(256, 256).i32(1).pocket(0, "p", 0, 0, {0, 300}).framed()});
    bad.push_back({"index 256", v21(256, 256).i32(1).pocket(0, "p", 0, 0, {256}).framed()});
    bad.push_back({"index -1", v21(256, 256).i32(1).pocket(0, "p", 0, 0, {-1}).framed()});
    bad.push_back({"index into no palette", v21(0, 0).i32(1).pocket(0, "p", 0, 0, {0}).framed()});

    for (const auto& [what, bytes] : bad) {
        ccColorPocketArray t;
        Prime(t);
        const ccColorItem* pal = t.palette;
        auto in = Exact(bytes);
        EXPECT_EQ(t.LoadFromBuf(in.get()), -1) << what;
        EXPECT_EQ(t.pockets.GetSize(), 0) << what;
        EXPECT_EQ(t.name, "before") << what;
        EXPECT_EQ(t.palette, pal) << what;
        EXPECT_EQ(t.paletteSize, 2) << what;
    }
    ccColorPocketArray t;
    EXPECT_EQ(t.LoadFromBuf(nullptr), -1);
}

TEST(ThemeFile, RoundTripOpenFailuresAndSharing) {
    ccColorPocketArray t;
    Prime(t);
    EXPECT_EQ(t.LoadFromFile(Temp("no_such_theme_file.ccs").c_str()), -1);
    EXPECT_EQ(t.LoadFromFile(nullptr), -1);
    EXPECT_EQ(t.LoadFromFile(::testing::TempDir().c_str()), -1);  // a folder
    EXPECT_EQ(t.SaveToFile(Temp("no_such_dir/x.ccs").c_str()), -1);
    EXPECT_EQ(t.SaveToFile(nullptr), -1);
    EXPECT_EQ(t.pockets.GetSize(), 1);
    EXPECT_EQ(t.name, "before");

    // The file is the buffer without its length field.
    ccColorPocketArray src;
    FillSample(src);
    const std::string path = Temp("theme_file.ccs");
    ASSERT_EQ(src.SaveToFile(path.c_str()), 0);
    const std::vector<unsigned char> buf = Saved(src);
    EXPECT_EQ(ReadAll(path), std::vector<unsigned char>(buf.begin() + 4, buf.end()));
    {
        hv::File holder;  // held exclusively: neither replaced nor read
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadExclusive));
        ccColorPocketArray empty;
        EXPECT_EQ(empty.SaveToFile(path.c_str()), -1);
        EXPECT_EQ(t.LoadFromFile(path.c_str()), -1);
        EXPECT_EQ(t.pockets.GetSize(), 1);
    }
    EXPECT_EQ(ReadAll(path).size(), buf.size() - 4);
    {
        hv::File reader;  // two readers may share the file
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        ccColorPocketArray dst(1);
        dst.sortMode = 1;
        dst.tagText = "tag";
        Prime(dst);
        ASSERT_EQ(dst.LoadFromFile(path.c_str()), 0);
        EXPECT_EQ(dst.sortMode, 1);
        EXPECT_EQ(dst.tagText, "tag");
        EXPECT_EQ(dst.themeType, 1);
        EXPECT_EQ(Saved(dst), buf);
    }
    ccColorPocketArray small;  // replaces the longer file completely
    ASSERT_EQ(small.SaveToFile(path.c_str()), 0);
    EXPECT_EQ(ReadAll(path).size(), 46u);
    std::remove(path.c_str());
}

TEST(ThemeFile, CorpusFileWhosePalIndexFieldsAreNotPositionsSurvivesASave) {
    const std::string dir = std::string(HUEVANE_TEST_DATA) + "/persist/";
    ccColorPocketArray t;
    ASSERT_EQ(t.LoadFromFile((dir + "palindex_not_position.ccs").c_str()), 0);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    const std::string path = Temp("palindex_not_position_again.ccs");
    ASSERT_EQ(t.SaveToFile(path.c_str()), 0);
    EXPECT_EQ(ReadAll(path), ReadAll(dir + "palindex_not_position.ccs"));
    ccColorPocketArray again;
    ASSERT_EQ(again.LoadFromFile(path.c_str()), 0);
    ASSERT_EQ(again.pockets.GetSize(), 2);
    ASSERT_EQ(again.pockets[1]->items.GetSize(), 2);
    EXPECT_EQ(again.pockets[0]->items[0], &again.palette[0]);
    EXPECT_EQ(again.pockets[1]->items[0], &again.palette[2]);
    EXPECT_EQ(again.pockets[1]->items[1], &again.palette[1]);
    std::remove(path.c_str());
}

TEST(ThemeFile, CorpusLoadsTheGoodFileAndRefusesTheDamagedOnes) {
    const std::string dir = std::string(HUEVANE_TEST_DATA) + "/persist/";
    ccColorPocketArray good;
    ASSERT_EQ(good.LoadFromFile((dir + "valid_v21.ccs").c_str()), 0);
    EXPECT_EQ(good.name, "dune");
    ASSERT_EQ(good.paletteSize, 3);
    ASSERT_EQ(good.pockets.GetSize(), 2);
    EXPECT_EQ(good.pockets[1]->name, "sky");
    ASSERT_EQ(good.pockets[1]->items.GetSize(), 2);
    EXPECT_EQ(good.pockets[1]->items[1], &good.palette[2]);
    for (const char* nm : {"empty", "magic_only", "cut_in_name", "cut_in_palette", "cut_in_pocket",
                           "no_pocket_count", "negative_palette_count", "negative_member_count",
                           "huge_pocket_count", "pockets_257", "member_index_300", "v16_cut_in_blocks", "random",
                           "random_with_magic"}) {
        ccColorPocketArray t;
        Prime(t);
        EXPECT_EQ(t.LoadFromFile((dir + nm + ".ccs").c_str()), -2) << nm;
        EXPECT_EQ(t.pockets.GetSize(), 0) << nm;
        EXPECT_EQ(t.name, "before") << nm;
        EXPECT_EQ(t.paletteSize, 2) << nm;
    }
}
