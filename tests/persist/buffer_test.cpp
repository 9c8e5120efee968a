// The theme buffer: exact layout, round trips, older versions and corrupt
// buffers.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "huevane/theme.h"
#include "persist/theme_bytes.h"

using testbytes::Bytes;
using testbytes::Exact;
using testbytes::PocketsInsidePalette;

namespace {

std::vector<unsigned char> Saved(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int len = t.SaveToBuf(buf);
    EXPECT_GE(len, 46);
    EXPECT_NE(buf, nullptr);
    if (!buf || len < 0) return {};
    std::vector<unsigned char> out(buf, buf + len + 4);
    t.FreeDataBuf(buf);
    return out;
}

void Append(std::vector<unsigned char>& v, std::initializer_list<int> bytes) {
    for (int b : bytes) v.push_back(static_cast<unsigned char>(b));
}
void Zeros(std::vector<unsigned char>& v, int n) { v.insert(v.end(), static_cast<size_t>(n), 0); }

// A theme of 256 grey-ramp items and a few pockets of varied fields.
void FillSample(ccColorPocketArray& t) {
    t.name = "Evening harbour";
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, (unsigned char)i, (unsigned char)(255 - i),
                                                     (unsigned char)(i * 7), i * 3 + 1, 1000);
    t.palette[9].rgb.rgbReserved = 0x5A;  // carried as held
    for (int j = 0; j < 4; ++j) {
        auto* p = new ccColorPocket;
        for (int k = 0; k < 3 + j; ++k) p->items.Add(&t.palette[(j * 37 + k * 11) % 256]);
        p->aveRGB = {(BYTE)(j + 1), (BYTE)(2 * j), 77, 0};
        p->aveHSL = 0x00102030u + j;
        p->pixelNum = 1000 - j;       // deliberately not the members' sum
        p->percentage = 0.125f * j;   // deliberately not pixelNum / total
        p->flags = j & 1;
        p->name = "pocket " + std::to_string(j);
        p->index = 40 + j;
        p->selState = 300;
        p->rdsFlag = 7;
        p->origin = 3;
        p->groupIndex = 5;
        t.pockets.Add(p);
    }
}

}  // namespace

TEST(ThemeBuffer, WritesTheLayoutByteForByte) {
    ccColorPocketArray t;
    t.name = "Sky";
    t.InitPalette(2);
    t.palette[0].rgb = {30, 20, 10, 0};
    t.palette[0].hsl = 0x01020304u;
    t.palette[0].palIndex = 0;
    t.palette[0].pixelNum = 3;
    t.palette[0].percentage = 0.75f;
    t.palette[1].rgb = {50, 100, 200, 7};
    t.palette[1].hsl = 0x00C0FFEEu;
    t.palette[1].palIndex = 1;
    t.palette[1].pixelNum = 1;
    t.palette[1].percentage = 0.25f;
    auto* p = new ccColorPocket;
    p->flags = 1;
    p->name = "Sea";
    p->aveRGB = {1, 2, 3, 4};
    p->aveHSL = 0xA1B2C3D4u;
    p->pixelNum = 4;
    p->percentage = 1.0f;
    p->items.Add(&t.palette[1]);
    p->items.Add(&t.palette[0]);
    t.pockets.Add(p);

    std::vector<unsigned char> want;
    Append(want, {0x8A, 0, 0, 0});                      // L = 46 + 2 x 20 + 44 + 2 x 4 = 138
    Append(want, {'C', 'C', 21, 0, 0, 0});              // magic, version
    Append(want, {'S', 'k', 'y'});                      // name, NUL-padded to 32
    Zeros(want, 29);
    Append(want, {2, 0, 0, 0});                         // palette count
    Append(want, {30, 20, 10, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x40, 0x3F});
    Append(want, {50, 100, 200, 7, 0xEE, 0xFF, 0xC0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x80, 0x3E});
    Append(want, {1, 0, 0, 0});                         // pocket count
    Append(want, {1, 0, 0, 0, 'S', 'e', 'a'});          // flags, name
    Zeros(want, 13);
    Append(want, {1, 0, 0, 0, 1, 2, 3, 4, 0xD4, 0xC3, 0xB2, 0xA1});  // flags again, aveRGB, aveHSL
    Append(want, {4, 0, 0, 0, 0, 0, 0x80, 0x3F, 2, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0});

    EXPECT_EQ(t.GetDataBufLength(), 138);
    char* buf = nullptr;
    ASSERT_EQ(t.SaveToBuf(buf), 138);
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(std::vector<unsigned char>(buf, buf + 142), want);
    EXPECT_EQ(t.FreeDataBuf(buf), 0);

    // An empty theme: 50 bytes, L = 46.
    ccColorPocketArray empty;
    std::vector<unsigned char> e;
    Append(e, {46, 0, 0, 0, 'C', 'C', 21, 0, 0, 0});
    Zeros(e, 40);
    EXPECT_EQ(empty.GetDataBufLength(), 46);
    EXPECT_EQ(Saved(empty), e);
}

TEST(ThemeBuffer, LengthAndNameFieldsAreCut) {
    ccColorPocketArray t;
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i) t.SetPalEntryBYTE(i, 1, 2, 3, 0, 1);
    for (int j = 0; j < 5; ++j) {
        auto* p = new ccColorPocket;
        for (int k = 0; k < 10; ++k) p->items.Add(&t.palette[j * 10 + k]);
        t.pockets.Add(p);
    }
    EXPECT_EQ(t.GetDataBufLength(), 5586);  // 46 + 5120 + 5 x 84

    t.name = std::string(40, 'n');
    t.pockets[2]->name = "abcdefghijklmnopqrst";  // 20 characters
    const std::vector<unsigned char> b = Saved(t);
    ASSERT_EQ(b.size(), 5590u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[10])), std::string(31, 'n'));
    EXPECT_EQ(b[41], 0);
    const size_t third = 50 + 5120 + 2 * 84;  // start of the third pocket record
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[third + 4])), "abcdefghijklmno");
    EXPECT_EQ(b[third + 19], 0);

    ccColorPocketArray back;
    ASSERT_EQ(back.LoadFromBuf(reinterpret_cast<char*>(const_cast<unsigned char*>(b.data()))), 5586);
    EXPECT_EQ(back.name, std::string(31, 'n'));
    EXPECT_EQ(back.pockets[2]->name, "abcdefghijklmno");

    // A size without a palette array writes no items, and L says so.
    ccColorPocketArray bare;
    bare.paletteSize = 5;
    EXPECT_EQ(bare.GetDataBufLength(), 46);
    char* buf = nullptr;
    EXPECT_EQ(bare.SaveToBuf(buf), 46);
    EXPECT_EQ(buf[42], 0);
    bare.FreeDataBuf(buf);
    bare.paletteSize = 0;
}

TEST(ThemeBuffer, RoundTripRestoresCarriedFieldsAndKeepsTheOthers) {
    ccColorPocketArray src;
    FillSample(src);
    const std::vector<unsigned char> b = Saved(src);

    ccColorPocketArray dst(1);
    dst.sortMode = 3;
    dst.tagText = "tag";
    dst.transferCount = 4;
    dst.name = "old";
    dst.InitPalette(3);
    auto* stale = new ccColorPocket;
    stale->items.Add(&dst.palette[1]);
    dst.pockets.Add(stale);

    auto in = Exact(b);
    EXPECT_EQ(dst.LoadFromBuf(in.get()), static_cast<int>(b.size()) - 4);
    EXPECT_EQ(dst.name, src.name);
    EXPECT_EQ(dst.sortMode, 3);
    EXPECT_EQ(dst.tagText, "tag");
    EXPECT_EQ(dst.transferCount, 4);
    EXPECT_EQ(dst.themeType, 1);
    ASSERT_EQ(dst.paletteSize, 256);
    ASSERT_EQ(dst.pockets.GetSize(), 4);
    EXPECT_TRUE(PocketsInsidePalette(dst));
    for (int j = 0; j < 4; ++j) {
        // Fields not carried take a new pocket's defaults; index is the position.
        ccColorPocket* d = dst.pockets[j];
        EXPECT_EQ(d->index, j);
        EXPECT_EQ(d->selState, -1);
        EXPECT_EQ(d->destLink, nullptr);
        EXPECT_EQ(d->rdsFlag, 2);
        EXPECT_EQ(d->origin, 0);
        EXPECT_EQ(d->groupIndex, 0);
        for (int k = 0; k < d->items.GetSize(); ++k)
            EXPECT_EQ(d->items[k] - dst.palette, src.pockets[j]->items[k] - src.palette);
    }
    // The carried fields (stored averages and counts included, not
    // recomputed) come back exactly: writing again gives the same bytes.
    EXPECT_EQ(Saved(dst), b);
}

TEST(ThemeBuffer, ReaderTakesSecondFlagsIgnoresMagicAndMembersArePositions) {
    Bytes b;
    b.u8('X').u8('Y').i32(21).text("m", 32).i32(3);
    b.item(1, 1, 1, 0, 0, 77, 5, 0.5f).item(2, 2, 2, 0, 0, 78, 6, 0.25f).item(3, 3, 3, 0, 0, 79, 7, 0.25f);
    b.i32(2);
    b.pocket(6, "first", 1, 0x00010203, 9, 11, 0.5f, {2, 0});
    b.pocket(1, "second", 0, 0x00040506, 8, 12, 0.5f, {});
    const auto framed = b.framed();
    auto in = Exact(framed);
    ccColorPocketArray t;
    ASSERT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(framed.size()) - 4);
    ASSERT_EQ(t.pockets.GetSize(), 2);
    EXPECT_EQ(t.pockets[0]->flags, 1);
    EXPECT_EQ(t.pockets[1]->flags, 0);
    // Members name positions in the palette, not the items' stored palIndex.
    ASSERT_EQ(t.pockets[0]->items.GetSize(), 2);
    EXPECT_EQ(t.pockets[0]->items[0], &t.palette[2]);
    EXPECT_EQ(t.pockets[0]->items[1], &t.palette[0]);
    EXPECT_EQ(t.palette[2].palIndex, 79);
    EXPECT_EQ(t.pockets[1]->items.GetSize(), 0);
    EXPECT_EQ(t.pockets[1]->index, 1);

    // A trailing surplus inside L is allowed and ignored.
    Bytes more = b;
    more.u32(0xDEADBEEF);
    const auto f2 = more.framed();
    auto in2 = Exact(f2);
    EXPECT_EQ(t.LoadFromBuf(in2.get()), static_cast<int>(f2.size()) - 4);
    EXPECT_EQ(t.pockets.GetSize(), 2);
}

TEST(ThemeBuffer, ReadsOlderVersions) {
    auto palette256 = [](Bytes& b, int tag) {
        for (int i = 0; i < 256; ++i)
            b.item(i, tag, 255 - i, 0, 0x00000100u * i, i + tag, i * 2, i / 256.0f);
    };
    // Version 19: 32-byte name, 256 items without a count.
    {
        Bytes b;
        b.u8('C').u8('C').i32(19).text("nineteen", 32);
        palette256(b, 0);
        b.i32(1).pocket(0, "p", 0, 0x00112233, 0x44, 9, 0.5f, {255, 1});
        auto in = Exact(b.framed());
        ccColorPocketArray t;
        EXPECT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(b.v.size()));
        EXPECT_EQ(t.name, "nineteen");
        ASSERT_EQ(t.paletteSize, 256);
        EXPECT_EQ(t.palette[200].rgb.rgbRed, 55);
        EXPECT_EQ(t.palette[200].pixelNum, 400);
        ASSERT_EQ(t.pockets.GetSize(), 1);
        EXPECT_EQ(t.pockets[0]->items[0], &t.palette[255]);
        EXPECT_EQ(t.pockets[0]->pixelNum, 9);
    }
    // Version 17: a 16-byte name with no NUL keeps all 16 characters.
    {
        Bytes b;
        b.u8('C').u8('C').i32(17).text("sixteen-chars-xx", 16);
        palette256(b, 0);
        b.i32(2).pocket(1, "a", 1, 0, 0, 1, 0.1f, {3}).pocket(0, "b", 0, 0, 0, 2, 0.2f, {4, 5, 6});
        auto in = Exact(b.framed());
        ccColorPocketArray t;
        EXPECT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(b.v.size()));
        EXPECT_EQ(t.name, "sixteen-chars-xx");
        EXPECT_EQ(t.paletteSize, 256);
        EXPECT_EQ(t.palette[3].hsl, 0x300u);
        ASSERT_EQ(t.pockets.GetSize(), 2);
        EXPECT_EQ(t.pockets[1]->items.GetSize(), 3);
        EXPECT_EQ(t.pockets[1]->items[2], &t.palette[6]);
        EXPECT_EQ(t.pockets[1]->index, 1);
    }
    // Version 16: 256 blocks of 256 items; only the last block is read.
    {
        Bytes b;
        b.u8('C').u8('C').i32(16).text("old", 16);
        for (int blk = 0; blk < 255; ++blk) palette256(b, 100);
        palette256(b, 1);
        b.i32(1).pocket(0, "q", 0, 0, 0, 3, 1.0f, {0, 128});
        auto in = Exact(b.framed());
        ccColorPocketArray t;
        EXPECT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(b.v.size()));
        EXPECT_EQ(t.name, "old");
        ASSERT_EQ(t.paletteSize, 256);
        EXPECT_EQ(t.palette[0].palIndex, 1);
        EXPECT_EQ(t.palette[128].rgb.rgbGreen, 1);
        ASSERT_EQ(t.pockets.GetSize(), 1);
        EXPECT_EQ(t.pockets[0]->items[1], &t.palette[128]);
    }
    // A version above 21 reads as version 21.
    {
        Bytes b;
        b.u8('C').u8('C').i32(30).text("new", 32).i32(1).item(9, 9, 9, 0, 0, 0, 1, 1.0f).i32(0);
        auto in = Exact(b.framed());
        ccColorPocketArray t;
        EXPECT_EQ(t.LoadFromBuf(in.get()), static_cast<int>(b.v.size()));
        EXPECT_EQ(t.paletteSize, 1);
        EXPECT_EQ(t.pockets.GetSize(), 0);
    }
}

namespace {

// Loads bytes that must be refused: -1, no pockets, name and palette of the
// theme as they were.
void ExpectRefused(const std::vector<unsigned char>& bytes, const char* what) {
    ccColorPocketArray t;
    t.name = "keep";
    t.InitPalette(4);
    auto* p = new ccColorPocket;
    p->items.Add(&t.palette[2]);
    t.pockets.Add(p);
    ccColorItem* pal = t.palette;
    auto in = Exact(bytes);
    EXPECT_EQ(t.LoadFromBuf(in.get()), -1) << what;
    EXPECT_EQ(t.pockets.GetSize(), 0) << what;
    EXPECT_EQ(t.name, "keep") << what;
    EXPECT_EQ(t.palette, pal) << what;
    EXPECT_EQ(t.paletteSize, 4) << what;
}

// A version-21 start announcing n palette items and holding `items` of them
// (all n when items is negative).
Bytes Header21(int n, int items = -1) {
    Bytes b;
    b.u8('C').u8('C').i32(21).text("bad", 32).i32(n);
    for (int i = 0; i < (items < 0 ? n : items); ++i) b.item(i, i, i, 0, 0, i, 1, 0.0f);
    return b;
}

}  // namespace

TEST(ThemeBuffer, CorruptBuffersAreRefusedSafely) {
    // Every truncation of a valid buffer, with L telling the truth about
    // the shorter length: each one lacks a field it announces.
    ccColorPocketArray src;
    FillSample(src);
    const std::vector<unsigned char> full = Saved(src);
    for (size_t cut = 4; cut < full.size(); ++cut) {
        std::vector<unsigned char> part(full.begin(), full.begin() + cut);
        const uint32_t len = static_cast<uint32_t>(cut - 4);
        for (int i = 0; i < 4; ++i) part[i] = static_cast<unsigned char>(len >> (8 * i));
        ExpectRefused(part, ("truncated at " + std::to_string(cut)).c_str());
    }
    // L smaller than the data: the bytes beyond L + 4 are never reached.
    {
        std::vector<unsigned char> shorter(full.begin(), full.end() - 1);
        shorter[0] = static_cast<unsigned char>(shorter[0] - 1);
        ExpectRefused(shorter, "L one short");
    }
    // Version-17 and version-16 buffers cut inside the fixed palette.
    {
        Bytes b;
        b.u8('C').u8('C').i32(17).text("x", 16);
        for (int i = 0; i < 255; ++i) b.item(0, 0, 0, 0, 0, i, 0, 0.0f);
        ExpectRefused(b.framed(), "v17 with 255 items");
        Bytes c;
        c.u8('C').u8('C').i32(3).text("x", 16).i32(0);
        ExpectRefused(c.framed(), "v3 without its blocks");
    }
    // Negative and oversized counts.
    ExpectRefused(Header21(-1, 0).i32(0).framed(), "negative palette count");
    ExpectRefused(Header21(0x7FFFFFFF, 3).i32(0).framed(), "huge palette count");
    ExpectRefused(Header21(0).i32(-3).framed(), "negative pocket count");
    ExpectRefused(Header21(0).i32(0x7FFFFFFF).framed(), "huge pocket count");
    {
        Bytes b = Header21(2).i32(1);
        b.i32(0).text("p", 16).i32(0).u32(0).u32(0).i32(0).f32(0).i32(-1);
        ExpectRefused(b.framed(), "negative member count");
        Bytes c = Header21(2).i32(1);
        c.i32(0).text("p", 16).i32(0).u32(0).u32(0).i32(0).f32(0).i32(0x40000000).i32(0);
        ExpectRefused(c.framed(), "huge member count");
    }
    // Member indices outside the palette.
    ExpectRefused(Header21(256).i32(1).pocket(0, "p", 0, 0, 0, 0, 0, {0, 300}).framed(), "index 300");
    ExpectRefused(Header21(256).i32(1).pocket(0, "p", 0, 0, 0, 0, 0, {256}).framed(), "index 256");
    ExpectRefused(Header21(256).i32(1).pocket(0, "p", 0, 0, 0, 0, 0, {-1}).framed(), "index -1");
    ExpectRefused(Header21(0).i32(1).pocket(0, "p", 0, 0, 0, 0, 0, {0}).framed(), "index into no palette");
    // A length field that cannot be honoured as an int.
    {
        std::vector<unsigned char> b = Header21(0).i32(0).framed();
        b[0] = b[1] = b[2] = b[3] = 0xFF;
        ExpectRefused(b, "L = 0xFFFFFFFF");
    }
    // A null buffer.
    ccColorPocketArray t;
    EXPECT_EQ(t.LoadFromBuf(nullptr), -1);
}

TEST(ThemeBuffer, RandomDamageNeverBreaksTheTheme) {
    ccColorPocketArray src;
    FillSample(src);
    const std::vector<unsigned char> full = Saved(src);
    std::mt19937 rng(20261206);
    int loaded = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<unsigned char> b = full;
        const int hits = 1 + static_cast<int>(rng() % 6);
        for (int h = 0; h < hits; ++h) {
            // Skip the length field; damage counts, indices and text alike.
            const size_t at = 4 + rng() % (b.size() - 4);
            b[at] = static_cast<unsigned char>(rng());
        }
        if (round % 3 == 0) b.resize(4 + rng() % (b.size() - 4));
        const uint32_t len = static_cast<uint32_t>(b.size() - 4);
        for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(len >> (8 * i));
        auto in = Exact(b);
        ccColorPocketArray t;
        const int r = t.LoadFromBuf(in.get());
        if (r == -1) {
            ++refused;
            EXPECT_EQ(t.pockets.GetSize(), 0);
        } else {
            ++loaded;
            EXPECT_EQ(r, static_cast<int>(len));
            for (int j = 0; j < t.pockets.GetSize(); ++j) EXPECT_EQ(t.pockets[j]->index, j);
        }
        EXPECT_TRUE(PocketsInsidePalette(t)) << "round " << round;
    }
    // The damage must exercise both outcomes.
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
}
