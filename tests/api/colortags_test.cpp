// Colour tags: family boundaries by hue, the grey bands, the pixel threshold,
// the pixel-weighted means and shares, 64-bit sums and the built-in card.
#include "api/colortags.h"

#include <cstdio>
#include <string>

#include "api/api_fixtures.h"

using api::Host;
using api::Rgb;

namespace {

enum { kRed, kOrange, kYellow, kGreen, kCyan, kBlue, kPurple, kBeige, kBlack, kGray, kWhite };

std::string Entry(int tag, uint32_t rgb, double share) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%06X:%.4f ", tag, rgb, share);
    return text;
}

// GetColorTags as "tag:RRGGBB:share " per entry, or "rc N" on failure.
std::string Tags(void* dib) {
    ColorThemeStruct s{99, reinterpret_cast<ColorThemeEntry*>(&s)};  // must be overwritten
    const int rc = GetColorTags(dib, &s);
    if (rc != 0) return "rc " + std::to_string(rc) + (s.count || s.entries ? " with entries" : "");
    std::string out;
    for (int i = 0; i < s.count; ++i)
        out +=
            Entry(s.entries[i].color.rgbReserved, RgbWord(s.entries[i].color) & 0xFFFFFF, s.entries[i].share);
    FreeThemeStruct(&s);
    return out;
}

// An 8-bit w x h image whose first counts[0] pixels carry colour 0, the next
// counts[1] colour 1, and so on.
Host Counted8(int w, int h, const std::vector<uint32_t>& colours, const std::vector<int>& counts) {
    std::vector<tagRGBQUAD> table;
    for (uint32_t c : colours) table.push_back(Rgb(c >> 16, c >> 8 & 255, c & 255));
    return Host(
        w, h, 8,
        [w, counts](int x, int y) {
            int i = y * w + x, k = 0;
            for (; k < static_cast<int>(counts.size()) && i >= counts[k]; ++k) i -= counts[k];
            return uint32_t(k);
        },
        table);
}

}  // namespace

TEST(ColorTags, FamiliesHandOverAtTheirHueBytesAndGreyBands) {
    // Colours on either side of each boundary; at hue bytes 137|138,
    // 183|184 and 225|226 the first is equally near the samples either side.
    const struct {
        uint32_t rgb;
        int tag;
    } cases[] = {
        {0xFF4C00, kRed},    {0xFF5200, kOrange},  // hue 13 | 14
        {0xFFCC00, kOrange}, {0xFFD200, kYellow},  // 34 | 35
        {0xF0FF00, kYellow}, {0xEAFF00, kGreen},   // 45 | 46
        {0x00FFAE, kGreen},  {0x00FFB4, kCyan},    // 114 | 115
        {0x00C6FF, kCyan},   {0x00C0FF, kBlue},    // 137 | 138
        {0x4C00FF, kBlue},   {0x5200FF, kPurple},  // 183 | 184
        {0xFF00BA, kPurple}, {0xFF00B4, kRed},     // 225 | 226
        {0xFF0001, kRed},    {0xFAF0F0, kRed},     // 255, and a pale pink: hue alone decides
        {0xF5F5DC, kYellow}, {0x5A5B5A, kGreen},   // Beige's own colour; a near-grey is chromatic
        {0x434343, kBlack},  {0x444444, -1},       // grey bands: 67 | 68
        {0x7A7A7A, -1},      {0x7B7B7B, kGray},    // 122 | 123
        {0xD7D7D7, kGray},   {0xD8D8D8, kWhite},   // 215 | 216
    };
    for (const auto& c : cases) {
        Host dib = Counted8(5, 4, {c.rgb}, {20});
        EXPECT_EQ(Tags(dib.h), c.tag < 0 ? "rc -2" : Entry(c.tag, c.rgb, 1.0)) << std::hex << c.rgb;
    }
    EXPECT_EQ(hv::TagCard().samples.GetSize(), 14);  // filled once, not once per call
}

TEST(ColorTags, ThresholdWeightedMeansAndFamilyOrder) {
    // Of 200 pixels: 15 of grey 67, 20 each of greys 68, 122, 123, 215 and
    // 10 of 216, 30 of green 200 and 25 of green 100, 11 of blue, 20 of a
    // dark red and 9 of red 255. Families come in tag order; more than 10
    // pixels count; means are weighted by pixels (154, not 150, for green).
    Host dib = Counted8(20, 10,
                        {0x434343, 0x444444, 0x7A7A7A, 0x7B7B7B, 0xD7D7D7, 0xD8D8D8, 0x00C800, 0x006400,
                         0x0000FF, 0x78000A, 0xFF0000},
                        {15, 20, 20, 20, 20, 10, 30, 25, 11, 20, 9});
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 0x78000A, 0.1) + Entry(kGreen, 0x009A00, 0.275) +
                               Entry(kBlue, 0x0000FF, 0.055) + Entry(kBlack, 0x434343, 0.075) +
                               Entry(kGray, 0xA9A9A9, 0.2));
    Host thin = Counted8(10, 2, {0xFF0000, 0x0000FF}, {10, 10});
    EXPECT_EQ(Tags(thin.h), "rc -2");
}

TEST(ColorTags, SumsBeyondThirtyTwoBitsStayExact) {
    // 4112 x 4097 pixels of entry 0, red 255: the red sum is 4.3e9.
    Host dib(4112, 4097, 8, nullptr, {Rgb(255, 0, 0)}, 1);
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 0xFF0000, 1.0));
}

TEST(ColorTags, TrueColourImagesShortTablesAndBadInput) {
    tfix::NoLeak noLeak;  // the reduced image is released
    Host dib(40, 20, 24, [](int x, int) { return x < 20 ? 0xFF0000u : 0x0000FFu; });
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 0xFF0000, 0.5) + Entry(kBlue, 0x0000FF, 0.5));
    // Pixels past a short colour table join no family but count in the size.
    Host shortTable(
        10, 10, 8, [](int x, int) { return x < 5 ? 0u : 7u; }, {Rgb(255, 0, 0)}, 2);
    EXPECT_EQ(Tags(shortTable.h), Entry(kRed, 0xFF0000, 0.5));
    Host deep(4, 4, 16, [](int, int) { return 0x010203u; });
    EXPECT_EQ(Tags(deep.h), "rc -1");
    EXPECT_EQ(Tags(nullptr), "rc -1");
    EXPECT_EQ(GetColorTags(dib.h, nullptr), -1);
}
