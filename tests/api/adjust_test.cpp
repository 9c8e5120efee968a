// The style-application functions on real photos: argument order, lent
// 8-bit forms and backups, host-supplied pairings and regions kept in their
// first colours.
#include "api/api_fixtures.h"
#include "transfer/regionfill.h"

using tfix::Copy;
using tfix::Pixels;

namespace {

struct Photos {
    tfix::NoLeak noLeak;
    void* autumn = tfix::Photo("autumn_256.bmp");
    void* cups = tfix::Photo("cups_256.bmp");
    std::vector<char> style = tfix::StyleOf(cups);
    std::vector<char> own = tfix::StyleOf(autumn);
    std::vector<BYTE> original = Pixels(autumn);
    std::vector<void*> made;  // released at the end
    void* Keep(void* h) { return made.push_back(h), h; }
    ~Photos() {
        for (void* h : made) hv::FreeHandle(h);
        hv::FreeHandle(autumn);
        hv::FreeHandle(cups);
    }
};

}  // namespace

TEST(AdjustImageStyle, ArgumentOrderLentFormsAndBackups) {
    Photos ph;
    void* plain = ph.Keep(Copy(ph.autumn));
    EXPECT_EQ(AdjustImageStyle(plain, ph.style.data(), nullptr), 0);
    const std::vector<BYTE> result = Pixels(plain);
    EXPECT_NE(result, ph.original);

    // The second form takes the target buffer before the style buffer;
    // twice with a backup is the same as once (no drift).
    void* image = ph.Keep(Copy(ph.autumn));
    void* backup = ph.Keep(Copy(ph.autumn));
    void* dib8 = ph.Keep(DecreaseBpp24to8(ph.autumn));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(AdjustImageStyle2(image, ph.own.data(), ph.style.data(), dib8, backup), 0);
        EXPECT_EQ(Pixels(image), result);
    }
    EXPECT_EQ(Pixels(backup), ph.original);

    // An 8-bit form or a backup of another size leaves the image as it is.
    void* again = ph.Keep(Copy(ph.autumn));
    EXPECT_EQ(AdjustImageStyle2(again, nullptr, ph.style.data(), ph.Keep(ZoomImage8(dib8, 100, 60)), nullptr),
              0);
    EXPECT_EQ(AdjustImageStyle2(again, ph.own.data(), ph.style.data(), dib8,
                                ph.Keep(MakeEmptyDib(100, 60, 24, true))),
              0);
    EXPECT_EQ(Pixels(again), ph.original);

    // An 8-bit image keeps its indices; its colours change.
    const std::vector<BYTE> indices = Pixels(dib8);
    const tagRGBQUAD before = tfix::Colors(dib8)[indices[0]];
    EXPECT_EQ(AdjustImageStyle(dib8, ph.style.data(), nullptr), 0);
    EXPECT_EQ(Pixels(dib8), indices);
    EXPECT_NE(RgbWord(tfix::Colors(dib8)[indices[0]]), RgbWord(before));
}

TEST(AdjustImageStyle, MatchLinksRoundTripAndEmptyThemes) {
    Photos ph;
    std::vector<MatchLink> links(300, MatchLink{-5, -5});
    MatchLinkTable table{0, links.data()};
    EXPECT_EQ(GetMatchLinks(ph.style.data(), ph.own.data(), 2, &table), 0);
    ASSERT_GT(table.count, 2);
    EXPECT_EQ(links[table.count].targetIndex, -5);  // nothing past the count
    // The table, unchanged, re-colours exactly as the plain call.
    void* a = ph.Keep(Copy(ph.autumn));
    void* b = ph.Keep(Copy(ph.autumn));
    EXPECT_EQ(AdjustImageStyle3(a, ph.style.data(), ph.own.data(), &table), 0);
    EXPECT_EQ(AdjustImageStyle(b, ph.style.data(), ph.own.data()), 0);
    EXPECT_EQ(Pixels(a), Pixels(b));
    EXPECT_NE(Pixels(a), ph.original);

    // Buffers carry no image, so methods 4 and 5 have no neighbour counts:
    // they pair nothing, also with an empty style; an empty target gives no
    // entries, and no exception escapes.
    ccColorPocketArray empty(0);
    char* emptyBuf = nullptr;
    empty.SaveToBuf(emptyBuf);
    for (int method : {4, 5})
        for (char* style : {ph.style.data(), emptyBuf}) {
            table = {0, links.data()};
            EXPECT_EQ(GetMatchLinks(style, ph.own.data(), method, &table), 0);
            ASSERT_GT(table.count, 0);
            for (int i = 0; i < table.count; ++i) EXPECT_EQ(links[i].styleIndex, -1) << method;
            table = {-3, links.data()};
            EXPECT_EQ(GetMatchLinks(style, emptyBuf, method, &table), 0);
            EXPECT_EQ(table.count, 0);
        }
    empty.FreeDataBuf(emptyBuf);
}

TEST(AdjustImageStyleWithRegions, KeepsRegionsInTheirFirstColours) {
    Photos ph;
    // A rectangle (rows 20..39) and a triangle (widths 41 down to 2).
    std::vector<int32_t> rx{10, 30, 30, 10}, ry{20, 20, 40, 40}, tx{100, 140, 100}, ty{50, 50, 90};
    RegionPolygon regions[2] = {{4, rx.data(), ry.data()}, {3, tx.data(), ty.data()}};
    // Expected: the whole re-colouring with the spans' pixels from the first
    // image (rows counted from the top).
    void* whole = ph.Keep(Copy(ph.autumn));
    EXPECT_EQ(AdjustImageStyle(whole, ph.style.data(), nullptr), 0);
    std::vector<BYTE> want = Pixels(whole);
    hv::RegionFill fill;
    ASSERT_TRUE(fill.Build(regions, 2));
    size_t kept = 0;
    fill.ForEachSpan(256, 160, [&](int y, int xa, int xb) {
        const size_t at = (static_cast<size_t>(159 - y) * 256 + xa) * 3, n = size_t(xb - xa + 1) * 3;
        std::copy(ph.original.begin() + at, ph.original.begin() + at + n, want.begin() + at);
        kept += xb - xa + 1;
    });
    EXPECT_EQ(kept, 20u * 21 + 860);
    void* img = ph.Keep(Copy(ph.autumn));
    EXPECT_EQ(AdjustImageStyleWithRegions(img, ph.style.data(), regions, 2), 0);
    EXPECT_EQ(Pixels(img), want);
    // The second form takes the target buffer before the style buffer.
    void* img2 = ph.Keep(Copy(ph.autumn));
    EXPECT_EQ(
        AdjustImageStyleWithRegions2(img2, ph.own.data(), ph.style.data(), regions, 2, nullptr, nullptr), 0);
    EXPECT_EQ(Pixels(img2), want);
    // An 8-bit image keeps its indices; its colours change.
    void* dib8 = ph.Keep(DecreaseBpp24to8(ph.autumn));
    const std::vector<BYTE> indices = Pixels(dib8);
    const tagRGBQUAD before = tfix::Colors(dib8)[indices[0]];
    EXPECT_EQ(AdjustImageStyleWithRegions(dib8, ph.style.data(), regions, 2), 0);
    EXPECT_EQ(Pixels(dib8), indices);
    EXPECT_NE(RgbWord(tfix::Colors(dib8)[indices[0]]), RgbWord(before));

    // Malformed lists and other depths: refused, image unchanged.
    void* c = ph.Keep(Copy(ph.autumn));
    regions[1].count = -4;
    EXPECT_EQ(AdjustImageStyleWithRegions(c, ph.style.data(), regions, 2), -1);
    EXPECT_EQ(AdjustImageStyleWithRegions(c, ph.style.data(), nullptr, 2), -1);
    EXPECT_EQ(Pixels(c), ph.original);
    EXPECT_EQ(AdjustImageStyleWithRegions(ph.Keep(MakeEmptyDib(8, 8, 32, true)), ph.style.data(), regions, 1),
              -1);
}
