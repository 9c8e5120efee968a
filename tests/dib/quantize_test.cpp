// The 24-to-8-bit reduction, its nearest-entry lookup and the PSNR measure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "dib/dib.h"
#include "dib/quantize_map.h"
#include "dib/quantize_psnr.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {
struct Rgb {
    int r, g, b;
};

// A 24-bit DIB whose pixel (x, y) is pick(x, y).
template <class Pick>
void* Make24(int w, int h, Pick pick) {
    void* dib = MakeEmptyDib(w, h, 24, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = pick(x, y);
            v.rows[y][3 * x] = BYTE(c.b), v.rows[y][3 * x + 1] = BYTE(c.g), v.rows[y][3 * x + 2] = BYTE(c.r);
        }
    return dib;
}

// Lowest index of the nearest entry by a full scan.
int BruteNearest(const tagRGBQUAD* pal, int n, const Rgb& c) {
    int best = 0, bestDist = 1 << 30;
    for (int i = 0; i < n; ++i) {
        const int dr = pal[i].rgbRed - c.r, dg = pal[i].rgbGreen - c.g, db = pal[i].rgbBlue - c.b;
        if (dr * dr + dg * dg + db * db < bestDist) bestDist = dr * dr + dg * dg + db * db, best = i;
    }
    return best;
}

// Reduces dib24 and checks the layout and that each pixel holds the entry a
// full scan of the 256-entry table picks for the source colour; returns the
// colours drawn, or nothing when the reduction failed.
std::set<int> ExpectNearestMapping(void* dib24) {
    void* dib8 = DecreaseBpp24to8(dib24);
    std::set<int> drawn;
    {
        ipDibStuff src(dib24, false), dst(dib8, false);
        EXPECT_TRUE(dst.isPalette8() && dst.header->biSize == 40 && dst.header->biClrUsed == 256);
        EXPECT_TRUE(dst.usable() && dst.width() == src.width() && dst.height() == src.height());
        for (int y = 0; dst.usable() && y < src.height(); ++y)
            for (int x = 0; x < src.width(); ++x) {
                const BYTE* p = src.rows[y] + 3 * x;
                const Rgb c{p[2], p[1], p[0]};
                const tagRGBQUAD q = dst.colors[dst.rows[y][x]];
                EXPECT_EQ(dst.rows[y][x], BruteNearest(dst.colors, 256, c)) << x << "," << y;
                drawn.insert(q.rgbRed << 16 | q.rgbGreen << 8 | q.rgbBlue);
            }
    }
    hv::FreeHandle(dib8);
    return drawn;
}
}  // namespace

TEST(DecreaseBpp24to8, KeepsEveryColourOfImagesWithFewColours) {
    std::mt19937 rng(7);
    for (int n : {1, 2, 7, 255, 256}) {
        std::vector<Rgb> colors;
        std::set<int> seen;
        while (int(colors.size()) < n) {
            const Rgb c{int(rng() & 255), int(rng() & 255), int(rng() & 255)};
            if (seen.insert(c.r << 16 | c.g << 8 | c.b).second) colors.push_back(c);
        }
        // Odd width: rows carry padding. Every colour appears at least once.
        void* in = Make24(37, 29, [&](int x, int y) { return colors[(x * 7 + y * 13) % n]; });
        const long live = hv::LiveHandles();
        EXPECT_EQ(ExpectNearestMapping(in), seen) << n;  // each colour its own exact entry
        EXPECT_EQ(hv::LiveHandles(), live);
        hv::FreeHandle(in);
    }
}

TEST(DecreaseBpp24to8, MapsEveryPixelToTheNearestEntryOfManyColourImagesAlike) {
    std::mt19937 rng(11);
    // Random colours spread over the cube; 300 colours squeezed into a few
    // histogram cells; a smooth gradient with a band of noise.
    void* noise = Make24(61, 47, [&](int, int) {
        return Rgb{int(rng() & 255), int(rng() & 255), int(rng() & 255)};
    });
    void* tight = Make24(30, 20, [&](int x, int y) {
        return Rgb{100 + x % 6, 50 + y % 10, 200 + (x / 6) % 5};
    });
    void* ramp = Make24(128, 64, [&](int x, int y) {
        return Rgb{x * 2, y * 4, (y > 30 && y < 40) ? int(rng() & 255) : (x + y) & 255};
    });
    for (void* in : {noise, tight, ramp}) ExpectNearestMapping(in);
    void* a = DecreaseBpp24to8(ramp);  // twice the same bytes
    void* b = DecreaseBpp24to8(ramp);
    ASSERT_EQ(GlobalSize(a), GlobalSize(b));
    EXPECT_EQ(std::memcmp(hv::HandleLock(a).ptr(), hv::HandleLock(b).ptr(), GlobalSize(a)), 0);
    for (void* d : {noise, tight, ramp, a, b}) hv::FreeHandle(d);
}

TEST(DecreaseBpp24to8, RefusesWhatIsNotA24BitImage) {
    const long live = hv::LiveHandles();
    void* dib8 = MakeEmptyDib(8, 8, 8, true);
    EXPECT_EQ(DecreaseBpp24to8(dib8), nullptr);
    EXPECT_EQ(DecreaseBpp24to8(nullptr), nullptr);
    hv::FreeHandle(dib8);
    // Headers that lie about the block that holds them: the block's size,
    // header size, height, width, compression, table size, depth.
    const size_t full = 40 + 10 * hv::RowBytes(10, 24);
    const struct {
        LONG w, h;
        WORD bits;
        DWORD size, compression, table;
        size_t bytes;
    } cases[] = {{10, 10, 24, 40, BI_RGB, 0, full - 1},  {10, 10, 24, 40, BI_RGB, 0, 20},
                 {10, 10, 24, 4000, BI_RGB, 0, full},    {10, -10, 24, 40, BI_RGB, 0, full},
                 {0, 10, 24, 40, BI_RGB, 0, full},       {10, 10, 24, 40, BI_RLE8, 0, full},
                 {10, 10, 24, 40, BI_RGB, 100000, full}, {10, 10, 32, 40, BI_RGB, 0, full * 2}};
    for (const auto& c : cases) {
        const BITMAPINFOHEADER h = {c.size, c.w, c.h, 1, c.bits, c.compression, 0, 0, 0, c.table, 0};
        void* dib = GlobalAlloc(GHND, c.bytes);
        std::memcpy(hv::HandleLock(dib).ptr(), &h, std::min(c.bytes, sizeof h));
        EXPECT_EQ(DecreaseBpp24to8(dib), nullptr) << c.w << "x" << c.h << " in " << c.bytes;
        GlobalFree(dib);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(DecreaseBpp24to8, KeepsAPhotoCloseToTheOriginal) {
    void* photo = reinterpret_cast<void*>(LoadDIB(HUEVANE_TEST_DATA "/coffee_small.bmp"));
    void* out = DecreaseBpp24to8(photo);
    // This 160 x 107 photo keeps about 41 dB through 256 well-chosen colours
    // (a popular stand-alone quantizer without dithering gets 40.9 dB); a
    // fixed 3-3-2 palette reaches only 24 dB.
    const double psnr = hv::ImagePsnr(photo, out);
    EXPECT_TRUE(psnr > 40.0 && psnr < 60.0) << psnr;
    ExpectNearestMapping(photo);
    hv::FreeHandle(out);
    hv::FreeHandle(photo);
}

TEST(NearestMap, AgreesWithAFullScanIncludingTies) {
    std::mt19937 rng(5);
    std::vector<tagRGBQUAD> pal[3];
    for (int i = 0; i < 256; ++i) {
        const BYTE v = BYTE((i % 20) * 12);  // a grey ramp of equal steps, each at several indices
        pal[0].push_back({BYTE(rng()), BYTE(rng()), BYTE(rng()), 0});
        pal[1].push_back({BYTE(rng() & 0xF0), BYTE(rng() & 0xE0), BYTE(rng() & 0xC0), 0});  // many ties
        pal[2].push_back({v, v, v, 0});
    }
    for (const auto& p : pal)
        for (int used : {1, 3, 256}) {
            hv::NearestMap map(p.data(), used);
            for (int r = 0; r < 256; r += 5)
                for (int g = 1; g < 256; g += 6)
                    for (int b = 2; b < 256; b += 3)
                        ASSERT_EQ(map.Nearest(r, g, b), BruteNearest(p.data(), used, {r, g, b}))
                            << used << ": " << r << "," << g << "," << b;
        }
}

TEST(ImagePsnr, MeasuresTheMeanSquaredErrorOverRgb) {
    void* a = Make24(10, 10, [](int x, int y) { return Rgb{x * 20, y * 20, 100}; });
    void* b = Make24(10, 10, [](int x, int y) { return Rgb{x * 20, y * 20, 100}; });
    EXPECT_TRUE(std::isinf(hv::ImagePsnr(a, b)));
    ipDibStuff(b, false).rows[4][3 * 5 + 1] += 30;  // one channel of one pixel: MSE = 900 / 300
    EXPECT_NEAR(hv::ImagePsnr(a, b), 10 * std::log10(255.0 * 255.0 / 3.0), 1e-9);
    void* pal = MakeEmptyDib(10, 10, 8, true);  // an 8-bit image is read through its table
    {
        ipDibStuff v(pal, false);
        v.colors[9] = {100, 40, 60, 0};
        for (BYTE* row : v.rows) std::fill(row, row + 10, 9);
    }
    void* flat = Make24(10, 10, [](int, int) { return Rgb{60, 40, 100}; });
    EXPECT_TRUE(std::isinf(hv::ImagePsnr(flat, pal)));
    void* small = MakeEmptyDib(9, 10, 24, true);
    EXPECT_EQ(hv::ImagePsnr(a, small), -1);
    EXPECT_EQ(hv::ImagePsnr(a, nullptr), -1);
    for (void* d : {a, b, pal, flat, small}) hv::FreeHandle(d);
}
