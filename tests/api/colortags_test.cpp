// Colour tags: family boundaries by hue, the grey bands, the pixel threshold,
// the pixel-weighted means and shares, 64-bit sums and the built-in card.
#include "api/colortags.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "extract/extract_fixtures.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {

using xt::HostDib;
using xt::Rgb;

enum { kRed, kOrange, kYellow, kGreen, kCyan, kBlue, kPurple, kBeige, kBlack, kGray, kWhite };

std::string Entry(int tag, int r, int g, int b, double share) {
    char text[64];
    std::snprintf(text, sizeof text, "%d:%d,%d,%d:%.4f ", tag, r, g, b, share);
    return text;
}

// GetColorTags as "tag:r,g,b:share " per entry, or "rc N" on failure.
std::string Tags(void* dib) {
    ColorThemeStruct s{99, reinterpret_cast<ColorThemeEntry*>(&s)};  // must be overwritten
    const int rc = GetColorTags(dib, &s);
    if (rc != 0) return "rc " + std::to_string(rc) + (s.count || s.entries ? " with entries" : "");
    std::string out;
    for (int i = 0; i < s.count; ++i) {
        const tagRGBQUAD c = s.entries[i].color;
        out += Entry(c.rgbReserved, c.rgbRed, c.rgbGreen, c.rgbBlue, s.entries[i].share);
    }
    FreeThemeStruct(&s);
    return out;
}

// An 8-bit w x h image whose first counts[k] pixels carry colour k.
void* Counted8(int w, int h, const std::vector<tagRGBQUAD>& colors, const std::vector<int>& counts) {
    return xt::Host8(w, h, colors, [w, counts](int x, int y) {
        int i = y * w + x, k = 0;
        for (; k < static_cast<int>(counts.size()) && i >= counts[k]; ++k) i -= counts[k];
        return k;
    });
}

}  // namespace

TEST(ColorTags, FamiliesHandOverAtTheirHueBytesAndGreyBands) {
    // Colours on either side of each boundary; at hue bytes 137|138,
    // 183|184 and 225|226 the first is equally near the samples either side.
    const struct {
        uint32_t a;
        int tagA;
        uint32_t b;
        int tagB;
    } cases[] = {
        {0xFF4C00, kRed, 0xFF5200, kOrange},     // hue 13 | 14
        {0xFFCC00, kOrange, 0xFFD200, kYellow},  // 34 | 35
        {0xF0FF00, kYellow, 0xEAFF00, kGreen},   // 45 | 46
        {0x00FFAE, kGreen, 0x00FFB4, kCyan},     // 114 | 115
        {0x00C6FF, kCyan, 0x00C0FF, kBlue},      // 137 | 138
        {0x4C00FF, kBlue, 0x5200FF, kPurple},    // 183 | 184
        {0xFF00BA, kPurple, 0xFF00B4, kRed},     // 225 | 226
        {0xFF0001, kRed, 0xFAF0F0, kRed},        // 255, and a pale pink: hue alone decides
        {0xF5F5DC, kYellow, 0x5A5B5A, kGreen},   // Beige's own colour; a near-grey is chromatic
        {0x434343, kBlack, 0x444444, -1},        // grey bands: 67 | 68
        {0x7A7A7A, -1, 0x7B7B7B, kGray},         // 122 | 123
        {0xD7D7D7, kGray, 0xD8D8D8, kWhite},     // 215 | 216
    };
    for (const auto& c : cases)
        for (auto [rgb, tag] : {std::pair(c.a, c.tagA), std::pair(c.b, c.tagB)}) {
            const int r = rgb >> 16, g = rgb >> 8 & 255, b = rgb & 255;
            HostDib dib(Counted8(5, 4, {Rgb(r, g, b)}, {20}));
            EXPECT_EQ(Tags(dib.h), tag < 0 ? "rc -2" : Entry(tag, r, g, b, 1.0)) << std::hex << rgb;
        }
    EXPECT_EQ(hv::TagCard().samples.GetSize(), 14);  // filled once, not once per call
}

TEST(ColorTags, ThresholdWeightedMeansAndFamilyOrder) {
    // Of 200 pixels: 20 of a dark red, 9 of red 255, 30 of green 200 and 25
    // of green 100, 11 of blue, 15 of grey 67, 20 each of greys 68, 122,
    // 123, 215, and 10 of 216. Families come in tag order; more than 10
    // pixels count; means are weighted by pixels (154, not 150, for green).
    const std::vector<tagRGBQUAD> colors = {Rgb(67, 67, 67),    Rgb(68, 68, 68),    Rgb(122, 122, 122),
                                            Rgb(123, 123, 123), Rgb(215, 215, 215), Rgb(216, 216, 216),
                                            Rgb(0, 200, 0),     Rgb(0, 100, 0),     Rgb(0, 0, 255),
                                            Rgb(120, 0, 10),    Rgb(255, 0, 0)};
    HostDib dib(Counted8(20, 10, colors, {15, 20, 20, 20, 20, 10, 30, 25, 11, 20, 9}));
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 120, 0, 10, 0.1) + Entry(kGreen, 0, 154, 0, 0.275) +
                               Entry(kBlue, 0, 0, 255, 0.055) + Entry(kBlack, 67, 67, 67, 0.075) +
                               Entry(kGray, 169, 169, 169, 0.2));
    HostDib thin(Counted8(10, 2, {Rgb(255, 0, 0), Rgb(0, 0, 255)}, {10, 10}));
    EXPECT_EQ(Tags(thin.h), "rc -2");
}

TEST(ColorTags, SumsBeyondThirtyTwoBitsStayExact) {
    // 4112 x 4097 zeroed pixels of entry 0, red 255: the red sum is 4.3e9.
    const int w = 4112, h = 4097;
    HostDib dib(GlobalAlloc(GHND, sizeof(BITMAPINFOHEADER) + 4 + static_cast<size_t>(w) * h));
    ASSERT_NE(dib.h, nullptr);
    {
        hv::HandleLock lock(dib.h);
        auto* hdr = static_cast<BITMAPINFOHEADER*>(lock.ptr());
        *hdr = {sizeof(BITMAPINFOHEADER), w, h, 1, 8, BI_RGB, 0, 0, 0, 1, 0};
        *reinterpret_cast<tagRGBQUAD*>(hdr + 1) = Rgb(255, 0, 0);
    }
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 255, 0, 0, 1.0));
}

TEST(ColorTags, TrueColourImagesShortTablesAndBadInput) {
    const long before = hv::LiveHandles();
    HostDib dib(xt::Host24(40, 20, [](int x, int) { return x < 20 ? Rgb(255, 0, 0) : Rgb(0, 0, 255); }));
    EXPECT_EQ(Tags(dib.h), Entry(kRed, 255, 0, 0, 0.5) + Entry(kBlue, 0, 0, 255, 0.5));
    EXPECT_EQ(hv::LiveHandles(), before);  // the reduced image is released
    // Pixels past a short colour table join no family but count in the size.
    HostDib shortTable(xt::Host8(
        10, 10, {Rgb(255, 0, 0)}, [](int x, int) { return x < 5 ? 0 : 7; }, 2));
    EXPECT_EQ(Tags(shortTable.h), Entry(kRed, 255, 0, 0, 0.5));

    HostDib deep(xt::Host24(4, 4, [](int, int) { return Rgb(1, 2, 3); }));
    static_cast<BITMAPINFOHEADER*>(hv::HandleLock(deep.h).ptr())->biBitCount = 16;
    EXPECT_EQ(Tags(deep.h), "rc -1");
    EXPECT_EQ(Tags(nullptr), "rc -1");
    EXPECT_EQ(GetColorTags(dib.h, nullptr), -1);
}
