// The 24-to-8-bit reduction, its nearest-entry lookup and the PSNR measure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "dib/dib.h"
#include "dib/quantize_map.h"
#include "dib/quantize_psnr.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator<(const Rgb& o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
};

// A 24-bit DIB whose pixel (x, y) is colors[pick(x, y)].
template <class Pick>
void* Make24(int w, int h, Pick pick) {
    void* dib = MakeEmptyDib(w, h, 24, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = pick(x, y);
            BYTE* p = v.rows[y] + 3 * x;
            p[0] = BYTE(c.b);
            p[1] = BYTE(c.g);
            p[2] = BYTE(c.r);
        }
    return dib;
}

Rgb PixelOf(ipDibStuff& v, int x, int y) {
    const BYTE* p = v.rows[y] + 3 * x;
    return {p[2], p[1], p[0]};
}

// Lowest index of the nearest entry by a full scan.
int BruteNearest(const tagRGBQUAD* pal, int n, const Rgb& c) {
    int best = 0, bestDist = 1 << 30;
    for (int i = 0; i < n; ++i) {
        const int dr = pal[i].rgbRed - c.r, dg = pal[i].rgbGreen - c.g, db = pal[i].rgbBlue - c.b;
        const int d = dr * dr + dg * dg + db * db;
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

// Checks the output's layout and that each pixel holds the entry a full scan
// of the 256-entry table picks for the source colour.
void ExpectNearestMapping(void* dib24, void* dib8) {
    ipDibStuff src(dib24, false), dst(dib8, false);
    ASSERT_TRUE(dst.isPalette8());
    EXPECT_EQ(dst.header->biSize, 40u);
    EXPECT_EQ(dst.header->biClrUsed, 256u);
    ASSERT_EQ(dst.width(), src.width());
    ASSERT_EQ(dst.height(), src.height());
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const Rgb c = PixelOf(src, x, y);
            ASSERT_EQ(dst.rows[y][x], BruteNearest(dst.colors, 256, c)) << x << "," << y;
        }
}

}  // namespace

TEST(DecreaseBpp24to8, KeepsEveryColourOfImagesWithFewColours) {
    std::mt19937 rng(7);
    for (int n : {1, 2, 7, 255, 256}) {
        std::vector<Rgb> colors;
        std::set<Rgb> seen;
        while (int(colors.size()) < n) {
            const Rgb c{int(rng() & 255), int(rng() & 255), int(rng() & 255)};
            if (seen.insert(c).second) colors.push_back(c);
        }
        // Odd width: rows carry padding. Every colour appears at least once.
        const int w = 37, h = 29;
        void* in = Make24(w, h, [&](int x, int y) { return colors[(x * 7 + y * 13) % n]; });
        const long live = hv::LiveHandles();
        void* out = DecreaseBpp24to8(in);
        ASSERT_NE(out, nullptr) << n;
        EXPECT_EQ(hv::LiveHandles(), live + 1);
        ExpectNearestMapping(in, out);
        {
            ipDibStuff src(in, false), dst(out, false);
            std::set<int> used;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const Rgb c = PixelOf(src, x, y);
                    const tagRGBQUAD& q = dst.colors[dst.rows[y][x]];
                    ASSERT_EQ(q.rgbRed, c.r);
                    ASSERT_EQ(q.rgbGreen, c.g);
                    ASSERT_EQ(q.rgbBlue, c.b);
                    used.insert(dst.rows[y][x]);
                }
            EXPECT_EQ(int(used.size()), n);
            // The leftover entries never draw a colour of the image away from
            // its own entry.
            for (const Rgb& c : colors) {
                const unsigned char bgr[3] = {BYTE(c.b), BYTE(c.g), BYTE(c.r)};
                const tagRGBQUAD& q = dst.colors[dst.GetNearestColor(bgr)];
                EXPECT_TRUE(q.rgbRed == c.r && q.rgbGreen == c.g && q.rgbBlue == c.b);
            }
        }
        hv::FreeHandle(out);
        hv::FreeHandle(in);
    }
}

TEST(DecreaseBpp24to8, MapsEveryPixelToTheNearestEntryOfManyColourImages) {
    std::mt19937 rng(11);
    // Random colours: far more than 256 of them, spread over the cube.
    void* noise = Make24(61, 47, [&](int, int) { return Rgb{int(rng() & 255), int(rng() & 255), int(rng() & 255)}; });
    // 300 colours squeezed into a few histogram cells.
    void* tight = Make24(30, 20, [&](int x, int y) { return Rgb{100 + x % 6, 50 + y % 10, 200 + (x / 6) % 5}; });
    // A smooth gradient with a band of noise.
    void* ramp = Make24(128, 64, [&](int x, int y) {
        return Rgb{x * 2, y * 4, (y > 30 && y < 40) ? int(rng() & 255) : (x + y) & 255};
    });
    for (void* in : {noise, tight, ramp}) {
        void* out = DecreaseBpp24to8(in);
        ASSERT_NE(out, nullptr);
        ExpectNearestMapping(in, out);
        hv::FreeHandle(out);
        hv::FreeHandle(in);
    }
}

TEST(DecreaseBpp24to8, IsDeterministic) {
    std::mt19937 rng(3);
    void* in = Make24(97, 66, [&](int x, int y) {
        return Rgb{(x * 3 + int(rng() % 9)) & 255, (y * 4) & 255, (x * y) & 255};
    });
    void* a = DecreaseBpp24to8(in);
    void* b = DecreaseBpp24to8(in);
    ASSERT_TRUE(a && b);
    {
        hv::HandleLock la(a), lb(b);
        ASSERT_EQ(la.size(), lb.size());
        EXPECT_EQ(std::memcmp(la.ptr(), lb.ptr(), la.size()), 0);
    }
    hv::FreeHandle(a);
    hv::FreeHandle(b);
    hv::FreeHandle(in);
}

TEST(DecreaseBpp24to8, RefusesWhatIsNotA24BitImage) {
    const long live = hv::LiveHandles();
    EXPECT_EQ(DecreaseBpp24to8(nullptr), nullptr);

    void* dib8 = MakeEmptyDib(8, 8, 8, true);
    EXPECT_EQ(DecreaseBpp24to8(dib8), nullptr);
    hv::FreeHandle(dib8);

    // Headers that lie about the block that holds them.
    auto check = [](void (*spoil)(BITMAPINFOHEADER*), size_t bytes, const char* what) {
        BITMAPINFOHEADER h = {};
        h.biSize = 40;
        h.biWidth = 10;
        h.biHeight = 10;
        h.biPlanes = 1;
        h.biBitCount = 24;
        h.biCompression = BI_RGB;
        spoil(&h);
        void* dib = GlobalAlloc(GHND, bytes);
        {
            hv::HandleLock lock(dib);
            std::memcpy(lock.ptr(), &h, std::min(bytes, sizeof h));
        }
        EXPECT_EQ(DecreaseBpp24to8(dib), nullptr) << what;
        GlobalFree(dib);
    };
    const size_t full = 40 + 10 * hv::RowBytes(10, 24);
    check([](BITMAPINFOHEADER*) {}, full - 1, "pixels cut short");
    check([](BITMAPINFOHEADER*) {}, 20, "header cut short");
    check([](BITMAPINFOHEADER* h) { h->biSize = 4000; }, full, "header larger than the block");
    check([](BITMAPINFOHEADER* h) { h->biHeight = -10; }, full, "top-down");
    check([](BITMAPINFOHEADER* h) { h->biWidth = 0; }, full, "no width");
    check([](BITMAPINFOHEADER* h) { h->biCompression = BI_RLE8; }, full, "compressed");
    check([](BITMAPINFOHEADER* h) { h->biClrUsed = 100000; }, full, "huge colour table");
    check([](BITMAPINFOHEADER* h) { h->biBitCount = 32; }, full * 2, "32 bits");
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(DecreaseBpp24to8, KeepsAPhotoCloseToTheOriginal) {
    void* photo = reinterpret_cast<void*>(LoadDIB(HUEVANE_TEST_DATA "/coffee_small.bmp"));
    ASSERT_NE(photo, nullptr);
    void* out = DecreaseBpp24to8(photo);
    ASSERT_NE(out, nullptr);
    // This 160 x 107 photo keeps about 41 dB through 256 well-chosen colours
    // (a popular stand-alone quantizer without dithering gets 40.9 dB); a
    // fixed 3-3-2 palette reaches only 24 dB.
    const double psnr = hv::ImagePsnr(photo, out);
    EXPECT_GT(psnr, 40.0);
    EXPECT_LT(psnr, 60.0);
    ExpectNearestMapping(photo, out);
    hv::FreeHandle(out);
    hv::FreeHandle(photo);
}

TEST(NearestMap, AgreesWithAFullScanIncludingTies) {
    std::mt19937 rng(5);
    std::vector<std::vector<tagRGBQUAD>> palettes;
    std::vector<tagRGBQUAD> p(256);
    for (auto& q : p) q = {BYTE(rng()), BYTE(rng()), BYTE(rng()), 0};
    palettes.push_back(p);
    // Even values only: many colours lie exactly half-way between entries.
    for (auto& q : p) q = {BYTE(rng() & 0xF0), BYTE(rng() & 0xE0), BYTE(rng() & 0xC0), 0};
    palettes.push_back(p);
    // Duplicates at several indices, and a grey ramp of equal steps.
    for (int i = 0; i < 256; ++i) {
        const BYTE v = BYTE((i % 20) * 12);
        p[i] = {v, v, v, 0};
    }
    palettes.push_back(p);
    for (const auto& pal : palettes)
        for (int used : {1, 3, 256}) {
            hv::NearestMap map(pal.data(), used);
            for (int r = 0; r < 256; r += 5)
                for (int g = 1; g < 256; g += 6)
                    for (int b = 2; b < 256; b += 3)
                        ASSERT_EQ(map.Nearest(r, g, b), BruteNearest(pal.data(), used, {r, g, b}))
                            << used << ": " << r << "," << g << "," << b;
        }
    // A whole row at once gives the same indices.
    hv::NearestMap map(palettes[1].data(), 256);
    std::vector<BYTE> row(3 * 200), idx(200);
    for (auto& v : row) v = BYTE(rng());
    map.MapRow(row.data(), idx.data(), 200);
    for (int x = 0; x < 200; ++x)
        EXPECT_EQ(idx[x], BruteNearest(palettes[1].data(), 256, {row[3 * x + 2], row[3 * x + 1], row[3 * x]}));
}

TEST(ImagePsnr, MeasuresTheMeanSquaredErrorOverRgb) {
    void* a = Make24(10, 10, [](int x, int y) { return Rgb{x * 20, y * 20, 100}; });
    void* b = Make24(10, 10, [](int x, int y) { return Rgb{x * 20, y * 20, 100}; });
    EXPECT_TRUE(std::isinf(hv::ImagePsnr(a, b)));
    {
        // One channel of one pixel off by 30: MSE = 900 / 300 = 3.
        ipDibStuff v(b, false);
        v.rows[4][3 * 5 + 1] = BYTE(v.rows[4][3 * 5 + 1] + 30);
    }
    EXPECT_NEAR(hv::ImagePsnr(a, b), 10 * std::log10(255.0 * 255.0 / 3.0), 1e-9);
    // An 8-bit image is read through its colour table.
    void* pal = MakeEmptyDib(10, 10, 8, true);
    {
        ipDibStuff v(pal, false);
        v.colors[9] = {100, 40, 60, 0};
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) v.rows[y][x] = 9;
    }
    void* flat = Make24(10, 10, [](int, int) { return Rgb{60, 40, 100}; });
    EXPECT_TRUE(std::isinf(hv::ImagePsnr(flat, pal)));
    void* small = MakeEmptyDib(9, 10, 24, true);
    EXPECT_EQ(hv::ImagePsnr(a, small), -1);
    EXPECT_EQ(hv::ImagePsnr(a, nullptr), -1);
    for (void* d : {a, b, pal, flat, small}) hv::FreeHandle(d);
}
