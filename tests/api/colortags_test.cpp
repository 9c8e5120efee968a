// Colour tags: family boundaries by hue, the grey bands, the pixel threshold,
// the pixel-weighted means and shares, 64-bit sums and the built-in card.
#include <gtest/gtest.h>

#include <vector>

#include "api/colortags.h"
#include "extract/extract_fixtures.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {

using xt::HostDib;
using xt::Rgb;

enum { kRed, kOrange, kYellow, kGreen, kCyan, kBlue, kPurple, kBeige, kBlack, kGray, kWhite };

struct Tag {
    int tag, r, g, b;
    float share;
};

// Runs GetColorTags and releases the result; status in *rc.
std::vector<Tag> Tags(void* dib, int* rc) {
    ColorThemeStruct s;
    s.count = 99;
    s.entries = reinterpret_cast<ColorThemeEntry*>(&s);  // must be overwritten
    *rc = GetColorTags(dib, &s);
    std::vector<Tag> out;
    if (*rc != 0) {
        EXPECT_EQ(s.count, 0);
        EXPECT_EQ(s.entries, nullptr);
        return out;
    }
    for (int i = 0; i < s.count; ++i) {
        const ColorThemeEntry& e = s.entries[i];
        out.push_back({e.color.rgbReserved, e.color.rgbRed, e.color.rgbGreen, e.color.rgbBlue, e.share});
    }
    FreeThemeStruct(&s);
    EXPECT_EQ(s.entries, nullptr);
    return out;
}

// A uniform 8-bit image of one colour.
void* Uniform8(int w, int h, tagRGBQUAD c) {
    return xt::Host8(w, h, {c}, [](int, int) { return 0; });
}

// An 8-bit image whose first `counts[k]` pixels (in row order) carry colour k.
void* Counted8(int w, int h, const std::vector<tagRGBQUAD>& colors, const std::vector<int>& counts) {
    return xt::Host8(w, h, colors, [w, counts](int x, int y) {
        int i = y * w + x;
        for (size_t k = 0; k < counts.size(); ++k) {
            if (i < counts[k]) return static_cast<int>(k);
            i -= counts[k];
        }
        return static_cast<int>(counts.size());
    });
}

}  // namespace

TEST(ColorTags, FamiliesHandOverAtTheirHueBytes) {
    struct Case {
        int r, g, b, tag;
    };
    // Fully saturated colours on either side of each boundary (hue bytes in
    // the comments), a pale and a dark one, Beige itself and a near-grey.
    const Case cases[] = {
        {255, 76, 0, kRed},      // 13
        {255, 82, 0, kOrange},   // 14
        {255, 204, 0, kOrange},  // 34
        {255, 210, 0, kYellow},  // 35
        {240, 255, 0, kYellow},  // 45
        {234, 255, 0, kGreen},   // 46
        {0, 255, 174, kGreen},   // 114
        {0, 255, 180, kCyan},    // 115
        {0, 198, 255, kCyan},    // 137: equally near Cyan and the first Blue
        {0, 192, 255, kBlue},    // 138
        {76, 0, 255, kBlue},     // 183: equally near Blue and Purple
        {82, 0, 255, kPurple},   // 184
        {255, 0, 186, kPurple},  // 225
        {255, 0, 180, kRed},     // 226: equally near Purple and Red
        {255, 0, 1, kRed},       // 255
        {250, 240, 240, kRed},   // pale pink: hue alone decides
        {20, 0, 40, kPurple},    // dark violet
        {245, 245, 220, kYellow},  // the Beige sample's own colour
        {90, 91, 90, kGreen},      // near-grey is chromatic
    };
    for (const Case& c : cases) {
        HostDib dib(Uniform8(5, 4, Rgb(c.r, c.g, c.b)));
        int rc = 0;
        std::vector<Tag> tags = Tags(dib.h, &rc);
        ASSERT_EQ(rc, 0) << c.r << "," << c.g << "," << c.b;
        ASSERT_EQ(tags.size(), 1u);
        EXPECT_EQ(tags[0].tag, c.tag) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(tags[0].r, c.r);
        EXPECT_EQ(tags[0].g, c.g);
        EXPECT_EQ(tags[0].b, c.b);
        EXPECT_FLOAT_EQ(tags[0].share, 1.0f);
    }
    EXPECT_EQ(hv::TagCard().samples.GetSize(), 14);  // filled once, never again
}

TEST(ColorTags, GreyBandsAndTheGapBetweenThem) {
    // Of 100 pixels: 15 of 67 (Black), 20 each of 68 and 122 (no family),
    // 20 each of 123 and 215 (Gray), 5 of 216 (White, but too few).
    std::vector<tagRGBQUAD> greys = {Rgb(67, 67, 67),    Rgb(68, 68, 68),    Rgb(122, 122, 122),
                                     Rgb(123, 123, 123), Rgb(215, 215, 215), Rgb(216, 216, 216)};
    HostDib dib(Counted8(10, 10, greys, {15, 20, 20, 20, 20, 5}));
    int rc = 0;
    std::vector<Tag> tags = Tags(dib.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 2u);  // the 5 pixels of 216 are too few
    EXPECT_EQ(tags[0].tag, kBlack);
    EXPECT_EQ(tags[0].r, 67);
    EXPECT_FLOAT_EQ(tags[0].share, 0.15f);
    EXPECT_EQ(tags[1].tag, kGray);
    EXPECT_EQ(tags[1].r, 169);  // (123 x 20 + 215 x 20) / 40
    EXPECT_EQ(tags[1].g, 169);
    EXPECT_EQ(tags[1].b, 169);
    EXPECT_FLOAT_EQ(tags[1].share, 0.4f);

    HostDib white(Counted8(10, 10, greys, {0, 0, 0, 0, 0, 100}));
    tags = Tags(white.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].tag, kWhite);

    // Only greys in the gap: no family at all.
    HostDib mid(Uniform8(10, 10, Rgb(90, 90, 90)));
    EXPECT_TRUE(Tags(mid.h, &rc).empty());
    EXPECT_EQ(rc, -2);
    HostDib light(Uniform8(10, 10, Rgb(200, 200, 200)));
    tags = Tags(light.h, &rc);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].tag, kGray);
    HostDib lighter(Uniform8(10, 10, Rgb(220, 220, 220)));
    tags = Tags(lighter.h, &rc);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].tag, kWhite);
}

TEST(ColorTags, TenPixelsAreIgnoredElevenCount) {
    std::vector<tagRGBQUAD> colors = {Rgb(0, 255, 0), Rgb(255, 0, 0)};
    HostDib ten(Counted8(10, 10, colors, {10, 90}));
    int rc = 0;
    std::vector<Tag> tags = Tags(ten.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].tag, kRed);
    EXPECT_FLOAT_EQ(tags[0].share, 0.9f);  // shares are of the whole image

    HostDib eleven(Counted8(10, 10, colors, {11, 89}));
    tags = Tags(eleven.h, &rc);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].tag, kRed);
    EXPECT_EQ(tags[1].tag, kGreen);
    EXPECT_FLOAT_EQ(tags[1].share, 0.11f);

    // Nothing but scattered colours of 10 pixels each: no family.
    HostDib thin(Counted8(10, 3, {Rgb(255, 0, 0), Rgb(0, 0, 255), Rgb(0, 255, 0)}, {10, 10, 10}));
    EXPECT_TRUE(Tags(thin.h, &rc).empty());
    EXPECT_EQ(rc, -2);
}

TEST(ColorTags, MeansArePixelWeightedAndEntriesComeInTagOrder) {
    // Blue first in the table, red second: the result is still red, blue.
    HostDib halves(Counted8(100, 100, {Rgb(0, 0, 255), Rgb(255, 0, 0)}, {5000, 5000}));
    int rc = 0;
    std::vector<Tag> tags = Tags(halves.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].tag, kRed);
    EXPECT_FLOAT_EQ(tags[0].share, 0.5f);
    EXPECT_EQ(tags[1].tag, kBlue);
    EXPECT_EQ(tags[1].b, 255);
    EXPECT_FLOAT_EQ(tags[1].share, 0.5f);

    HostDib reds(Counted8(100, 100, {Rgb(100, 0, 0), Rgb(255, 0, 0)}, {5000, 5000}));
    tags = Tags(reds.h, &rc);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].r, 177);  // (100 + 255) / 2, truncated
    EXPECT_FLOAT_EQ(tags[0].share, 1.0f);

    // Weighted by pixels, not averaged over colours: 30 pixels of green 200
    // and 25 of green 100 give 154 (an unweighted mean would give 150).
    HostDib greens(Counted8(10, 6, {Rgb(0, 200, 0), Rgb(0, 0, 0), Rgb(0, 100, 0)}, {30, 5, 25}));
    tags = Tags(greens.h, &rc);
    ASSERT_EQ(tags.size(), 1u);  // black (5 pixels) ignored
    EXPECT_EQ(tags[0].tag, kGreen);
    EXPECT_EQ(tags[0].g, (200 * 30 + 100 * 25) / 55);
    EXPECT_FLOAT_EQ(tags[0].share, 55.0f / 60.0f);
}

TEST(ColorTags, SumsBeyondThirtyTwoBitsStayExact) {
    // 4800 x 4800 pixels of red 255 and 250 in halves: the red sums reach
    // 5.8e9, past 32 bits; the mean is 252.
    const int side = 4800;
    HostDib dib(xt::Host8(side, side, {Rgb(255, 0, 0), Rgb(250, 0, 0)},
                          [](int, int y) { return y < side / 2 ? 0 : 1; }));
    int rc = 0;
    std::vector<Tag> tags = Tags(dib.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].r, 252);
    EXPECT_FLOAT_EQ(tags[0].share, 1.0f);
}

TEST(ColorTags, TrueColourImagesAndBadInput) {
    const long before = hv::LiveHandles();
    HostDib dib(xt::Host24(40, 20, [](int x, int) { return x < 20 ? Rgb(255, 0, 0) : Rgb(0, 0, 255); }));
    int rc = 0;
    std::vector<Tag> tags = Tags(dib.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].tag, kRed);
    EXPECT_FLOAT_EQ(tags[0].share, 0.5f);
    EXPECT_EQ(tags[1].tag, kBlue);
    EXPECT_EQ(hv::LiveHandles(), before);  // the reduced image is released

    // A short colour table: pixels past it join no family but count in the size.
    HostDib shortTable(xt::Host8(10, 10, {Rgb(255, 0, 0), Rgb(0, 0, 255)},
                                 [](int x, int) { return x < 5 ? 0 : 7; }, 2));
    tags = Tags(shortTable.h, &rc);
    ASSERT_EQ(rc, 0);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_FLOAT_EQ(tags[0].share, 0.5f);

    EXPECT_TRUE(Tags(nullptr, &rc).empty());
    EXPECT_EQ(rc, -1);
    HostDib deep(xt::Host24(4, 4, [](int, int) { return Rgb(1, 2, 3); }));
    {
        auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(deep.h));
        h->biBitCount = 16;
        GlobalUnlock(deep.h);
    }
    EXPECT_TRUE(Tags(deep.h, &rc).empty());
    EXPECT_EQ(rc, -1);
    HostDib red(Uniform8(4, 4, Rgb(255, 0, 0)));
    EXPECT_EQ(GetColorTags(red.h, nullptr), -1);
    EXPECT_EQ(hv::TagCard().samples.GetSize(), 14);
}
