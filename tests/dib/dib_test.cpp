// Bitmap files (LoadDIB and SaveDIB, their round trip and a corpus of bad
// files), the DIB view and the services over it, the 24-to-8-bit reduction,
// its nearest-entry lookup and the PSNR measure.
#include "dib/dib.h"

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>

#if !defined(_WIN32)
#include <csignal>
#include <sys/resource.h>
#endif

#include "dib/quantize_map.h"
#include "dib/quantize_psnr.h"
#include "platform/core_fixtures.h"

namespace {
const std::string kBmp = std::string(HUEVANE_TEST_DATA) + "/bmp/";
void* Load(const std::string& name) { return reinterpret_cast<void*>(LoadDIB((kBmp + name).c_str())); }

// A DIB of w x h at 8 or 24 bits whose pixel (x, y), y = 0 the bottom row,
// is pick(x, y): a palette index, or an RGB word.
template <class Pick>
void* Make(int w, int h, int bits, Pick pick) {
    void* dib = MakeEmptyDib(w, h, bits, true);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int k = 0, c = int(pick(x, y)); k < bits / 8; ++k)
                v.rows[y][x * bits / 8 + k] = BYTE(c >> 8 * k);
    return dib;
}
// An 8-bit image whose indices are the digits of a top-to-bottom list of rows.
void* Make8(const std::vector<std::string>& rows) {
    return Make(int(rows[0].size()), int(rows.size()), 8,
                [&](int x, int y) { return rows[rows.size() - 1 - y][x] - '0'; });
}

// A block of c[6] bytes holding a header of width c[0], height c[1], depth
// c[2], size c[3], compression c[4], table size c[5] and image size c[7].
HGLOBAL Headed(const Row& c) {
    HGLOBAL h = GlobalAlloc(GHND, size_t(c[6]));
    const BITMAPINFOHEADER head = {DWORD(c[3]), LONG(c[0]), LONG(c[1]), 1,           WORD(c[2]), DWORD(c[4]),
                                   DWORD(c[7]), 0,          0,          DWORD(c[5]), 0};
    std::memcpy(hv::HandleLock(h).ptr(), &head, std::min(size_t(c[6]), sizeof head));
    return h;
}

// Lowest index of the nearest entry by a full scan.
int BruteNearest(const tagRGBQUAD* pal, int n, const tagRGBQUAD& c) {
    int best = 0, bestDist = 1 << 30;
    for (int i = 0; i < n; ++i) {
        const int dr = pal[i].rgbRed - c.rgbRed, dg = pal[i].rgbGreen - c.rgbGreen,
                  db = pal[i].rgbBlue - c.rgbBlue;
        if (dr * dr + dg * dg + db * db < bestDist) bestDist = dr * dr + dg * dg + db * db, best = i;
    }
    return best;
}

// Reduces dib24 and checks that each pixel of the 8-bit result, its table of
// 256 entries after a 40-byte header, holds the entry a full scan picks for
// the source colour; returns the colours drawn.
std::set<uint32_t> ExpectNearestMapping(void* dib24) {
    void* dib8 = DecreaseBpp24to8(dib24);
    std::set<uint32_t> drawn;
    {
        ipDibStuff src(dib24, false), dst(dib8, false);
        EXPECT_TRUE(dst.isPalette8() && dst.header->biSize == 40 && dst.width() == src.width() &&
                    dst.height() == src.height());
        for (int y = 0; dst.usable() && y < src.height(); ++y)
            for (int x = 0; x < src.width(); ++x) {
                const BYTE* p = src.rows[y] + 3 * x;
                EXPECT_EQ(dst.rows[y][x], BruteNearest(dst.colors, 256, {p[0], p[1], p[2], 0}))
                    << x << "," << y;
                drawn.insert(RgbWord(dst.colors[dst.rows[y][x]]));
            }
    }
    hv::FreeHandle(dib8);
    return drawn;
}
}  // namespace

TEST(LoadDib, StoresGoodFilesBottomUpWithA40ByteHeaderAndTheirTableAndRefusesTheOthers) {
    // No colour count (the full table); top-down rows; a larger header; pixels at bfOffBits past a gap.
    void* d[4] = {Load("good_8bit_clrused0.bmp"), Load("good_24bit_topdown.bmp"),
                  Load("good_8bit_v5header.bmp"), Load("good_8bit_gap.bmp")};
    {
        ipDibStuff p(d[0], false), t(d[1], false), v(d[2], false), g(d[3], false);
        ASSERT_TRUE(p.isPalette8() && t.is24() && v.isPalette8() && g.usable());
        // The colour count and image size (stored as 0) filled in; the bottom row first.
        EXPECT_EQ((V{int(p.header->biClrUsed), int(p.header->biSizeImage), p.colors[200].rgbGreen,
                     p.rows[0][0], p.rows[3][3]}),
                  (V{256, 16, 200, 0, 15}));
        // The file's last row is the bottom row; no table.
        EXPECT_EQ((V{t.header->biHeight, int(t.header->biClrUsed), t.numColors, t.rows[0][0], t.rows[1][0]}),
                  (V{2, 0, 0, 7, 1}));
        // The colour-space part dropped; the table before the gap.
        EXPECT_EQ((V{int(v.header->biSize), v.colors[255].rgbRed, v.rows[2][1], g.numColors, g.rows[1][0]}),
                  (V{40, 255, 9, 2, 4}));
    }
    for (void* x : d) hv::FreeHandle(x);
    // Every other file of the corpus is refused (the fuzz replay checks that nothing leaks).
    for (const auto& e : std::filesystem::directory_iterator(kBmp)) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() != ".bmp" || name.rfind("good_", 0) == 0) continue;
        EXPECT_EQ(Load(name), nullptr) << name;
    }
    EXPECT_TRUE(!Load("no_such_file.bmp") && !LoadDIB(nullptr));
}

TEST(SaveDib, RewritesTheImageSizeWritesTheFileHeaderAndRefusesWhatItCannotWriteSafely) {
    void* dib = MakeEmptyDib(5, 3, 24, true);  // rows of 15 bytes padded to 16
    const std::string path = tool::Temp("saved.bmp");
    {
        ipDibStuff v(dib, false);
        for (int i = 0; i < 48; ++i) v.rows[0][i] = static_cast<BYTE>(i * 5);
        v.header->biSizeImage = 0;
        ASSERT_EQ(SaveDIB(dib, path.c_str()), 1);
        EXPECT_EQ(v.header->biSizeImage, 48u);  // written back into the host's memory
        // "BM", the file's length 14 + 40 + 48, two reserved words, the pixels' offset 54; then the DIB.
        EXPECT_EQ(tool::Slurp(path), "BM\x66\0\0\0\0\0\0\0\x36\0\0\0"s +
                                         std::string(reinterpret_cast<char*>(v.header), 40 + 48));
    }
    hv::FreeHandle(dib);
    for (const Row& c : DataRows("dib/unsaveable.txt")) {
        HGLOBAL h = Headed(c);
        EXPECT_EQ((std::pair{SaveDIB(h, path.c_str()), tool::Slurp(path)}), std::pair(0, ""s))
            << c[0] << " " << c[5];
        GlobalFree(h);
    }
    EXPECT_EQ(SaveDIB(nullptr, path.c_str()), 0);
    std::remove(path.c_str());
}

// Any width and height that give no negative size are written: a DIB
// without pixels, and one row wider than the images the library builds;
// 1 and 4 bits without a colour count carry their full tables.
TEST(SaveDib, WritesEmptyAndVeryWideImages) {
    const std::string path = tool::Temp("wide.bmp");
    const int wide = (1 << 17) + 3;
    const std::vector<std::array<int, 5>> sizes = {{0, 0, 8, 1024, 0},
                                                   {5, 0, 8, 1024, 0},
                                                   {0, 3, 8, 1024, 0},
                                                   {wide, 1, 8, 1024, (wide + 3) / 4 * 4},
                                                   {3, 2, 4, 64, 8},
                                                   {40, 2, 1, 8, 16}};
    for (const auto& [w, h, bits, table, image] : sizes) {
        HGLOBAL dib = Headed({w, h, bits, 40, 0, 0, 40 + table + image, 77});
        EXPECT_EQ(SaveDIB(dib, path.c_str()), 1) << w << " x " << h;
        const std::string file = tool::Slurp(path);
        EXPECT_EQ(file.size(), 14u + 40 + table + image) << w << " x " << h;
        {
            hv::HandleLock lock(dib);
            EXPECT_EQ(static_cast<BITMAPINFOHEADER*>(lock.ptr())->biSizeImage, DWORD(image));
            EXPECT_EQ(file.substr(14), std::string(static_cast<char*>(lock.ptr()), file.size() - 14));
        }
        GlobalFree(dib);
    }
    std::remove(path.c_str());
}

#if !defined(_WIN32)
// A write cut short by a full disk (here a file-size limit) is a failure,
// however many of the bitmap's bytes reached the file, its file header
// included.
TEST(SaveDib, AWriteCutShortIsAFailure) {
    void* dib = MakeEmptyDib(4, 4, 8, true);  // 40 + 1024 + 16 bytes after the file header
    const std::string path = tool::Temp("short.bmp");
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &old), 0);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    std::vector<std::pair<int, size_t>> got;
    for (rlim_t limit : {rlim_t(13), rlim_t(14), rlim_t(15), rlim_t(1093), rlim_t(1094)}) {
        rlimit r = before;
        r.rlim_cur = limit;
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) break;
        const int saved = SaveDIB(dib, path.c_str());
        setrlimit(RLIMIT_FSIZE, &before);
        got.emplace_back(saved, tool::Slurp(path).size());
    }
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_EQ(got, (std::vector<std::pair<int, size_t>>{{0, 13}, {0, 14}, {0, 15}, {0, 1093}, {1, 1094}}));
    std::remove(path.c_str());
    hv::FreeHandle(dib);
}
#endif

TEST(DibView, ReportsLayoutAndHistogramAndRefusesHeadersThatDoNotFit) {
    void* dib = Make8({"11299", "31298"});
    {
        ipDibStuff v(dib, true);
        int histo[256];
        ASSERT_TRUE(v.isPalette8());
        EXPECT_EQ((V{v.width(), v.height(), int(v.rows[1] - v.rows[0]), v.StatHisto(histo)}),
                  (V{5, 2, 8, 0}));
        EXPECT_EQ(V(histo, histo + 10), (V{0, 3, 2, 1, 0, 0, 0, 0, 1, 3}));
        for (WORD bits : {1, 7}) {  // a depth a bitmap may have, and one it may not
            v.header->biBitCount = bits;
            EXPECT_EQ(ipDibStuff(dib, false).usable(), bits == 1) << bits;
        }
        v.header->biBitCount = 8;
        v.header->biHeight = 3;  // now claims a row the handle does not hold
    }
    // One row wider than the largest side the view accepts, in a block that holds it; a block short of a
    // header.
    HGLOBAL wide = Headed({(1 << 17) + 4, 1, 8, 40, 0, 0, 40 + 1024 + (1 << 17) + 4, 0}),
            tiny = GlobalAlloc(GHND, 20);
    EXPECT_FALSE(ipDibStuff(dib, false).usable() || ipDibStuff(nullptr, false).usable() ||
                 ipDibStuff(wide, false).usable() || ipDibStuff(tiny, false).usable());
    GlobalFree(wide);
    GlobalFree(tiny);
    hv::FreeHandle(dib);
}

TEST(DibServices, CopyRestoreZoomAtPixelCentresAndRefusalsAt24Bits) {
    const long before = hv::LiveHandles();
    void* dib = Make8({"1234", "5678"});
    void* other = Make8({"00", "00"});
    void* copy = ipDibStuff(dib, false).CopyToHandle();
    {
        ipDibStuff v(dib, true), o(other, false), c(copy, false);
        v.rows[0][0] = 200;
        EXPECT_EQ((V{v.Restore(c), v.rows[0][0], v.Restore(o)}), (V{0, 5, -1}));  // not from another size
        v.colors[4] = {1, 2, 3, 0};
    }
    void* half = ZoomImage8(dib, 2, 1);
    void* d24 = MakeEmptyDib(2, 2, 24, true);
    {
        ipDibStuff z(half, false), v24(d24, false);
        static BYTE marks[256][256];  // histograms, neighbours and nearest entries need a table
        int histo[256];
        const unsigned char grey77[3] = {77, 77, 77};
        EXPECT_EQ((V{v24.StatHisto(histo), v24.MarkNeighbors(marks), v24.GetNearestColor(grey77)}), V(3, -1));
        ASSERT_TRUE(z.isPalette8());
        // The palette comes along. Output pixel 0's centre lies over source
        // column 1, pixel 1's over 3; the single row samples source row 1
        // (memory order), the top row.
        EXPECT_EQ((V{z.colors[4].rgbRed, z.rows[0][0], z.rows[0][1]}), (V{3, 2, 4}));
    }
    void* grey = MakeEmptyDib(3, 1, 8, true);
    {
        ipDibStuff g(grey, false);  // the grey table runs evenly from black to white
        EXPECT_TRUE(g.numColors == 256 && RgbWord(g.colors[0]) == 0 && RgbWord(g.colors[128]) == 0x808080 &&
                    RgbWord(g.colors[255]) == 0xFFFFFF);
    }
    hv::FreeHandle(grey);
    EXPECT_TRUE(!ZoomImage8(dib, 0, 4) && !ZoomImage8(d24, 1, 1) && !MakeEmptyDib(0, 5, 8, true) &&
                !MakeEmptyDib(5, 5, 12, true) && !MakeEmptyDib(1 << 20, 1 << 20, 24, true));
    for (void* d : {d24, half, dib, other, copy}) hv::FreeHandle(d);
    EXPECT_EQ(hv::LiveHandles(), before);
}

// An 8-bit image whose colour table runs past 256 entries zooms too: its
// pixels can name only the first 256, which the zoom's table takes.
TEST(DibServices, ZoomOfALongColourTableKeepsItsFirst256Entries) {
    HGLOBAL dib = Headed({4, 2, 8, 40, 0, 300, 40 + 1200 + 8, 0});
    {
        ipDibStuff v(dib, false);
        ASSERT_TRUE(v.usable() && v.numColors == 300);
        for (int i = 0; i < 300; ++i) v.colors[i] = {BYTE(i), BYTE(i / 2), BYTE(255 - i % 256), 0};
        for (int x = 0; x < 4; ++x) v.rows[0][x] = v.rows[1][x] = BYTE(250 + x);
    }
    void* zoomed = ZoomImage8(dib, 2, 1);
    {
        ipDibStuff v(dib, false), z(zoomed, false);
        ASSERT_TRUE(z.isPalette8() && z.width() == 2 && z.height() == 1);
        EXPECT_EQ(0, std::memcmp(z.colors, v.colors, 256 * sizeof(tagRGBQUAD)));
        EXPECT_EQ((V{z.rows[0][0], z.rows[0][1]}), (V{251, 253}));
    }
    hv::FreeHandle(zoomed);
    GlobalFree(dib);
}

TEST(DecreaseBpp24to8, KeepsFewColoursAndAPhotoCloseGivesTheSameBytesEachTimeAndRefusesWhatIsNotA24BitImage) {
    std::mt19937 rng(7);
    for (int n : {1, 2, 7, 255, 256}) {
        std::vector<uint32_t> colors;
        std::set<uint32_t> seen;
        while (int(colors.size()) < n) {
            const uint32_t c = rng() & 0xFFFFFF;
            if (seen.insert(c).second) colors.push_back(c);
        }
        // Odd width: rows carry padding. Every colour appears at least once.
        void* in = Make(37, 29, 24, [&](int x, int y) { return colors[(x * 7 + y * 13) % n]; });
        EXPECT_EQ(ExpectNearestMapping(in), seen) << n;  // each colour its own exact entry
        hv::FreeHandle(in);
    }
    // A large image counts every other row in its histogram, yet reads every
    // row for its colours: 255 of its 256 colours lie in row 1 only.
    {
        std::vector<uint32_t> colors(256);
        for (uint32_t& c : colors) c = rng() & 0xFFFFFF;
        void* in = Make(2000, 1100, 24, [&](int x, int y) { return y == 1 && x < 255 ? colors[x] : colors[255]; });
        void* out = DecreaseBpp24to8(in);
        {
            ipDibStuff v(out, false);
            for (int x = 0; x < 256; ++x) EXPECT_EQ(RgbWord(v.colors[v.rows[1][x]]), colors[x]) << x;
        }
        for (void* d : {in, out}) hv::FreeHandle(d);
    }
    // 512 colours in one box of the palette's first split: k-means with one
    // centre.
    {
        void* in = Make(32, 16, 24, [&](int x, int y) { return Rgb(x & 7, x >> 3 | (y & 1) << 2, y >> 1); });
        EXPECT_EQ(ExpectNearestMapping(in).size(), 1u);
        hv::FreeHandle(in);
    }
    // Not a 24-bit image, or a header that lies about the block that holds it.
    void* dib8 = MakeEmptyDib(8, 8, 8, true);
    EXPECT_TRUE(!DecreaseBpp24to8(dib8) && !DecreaseBpp24to8(nullptr));
    hv::FreeHandle(dib8);
    for (const Row& c : DataRows("dib/unreducible.txt")) {
        HGLOBAL h = Headed(c);
        EXPECT_EQ(DecreaseBpp24to8(h), nullptr) << c[0] << "x" << c[1] << " in " << c[6];
        GlobalFree(h);
    }

    void* photo = reinterpret_cast<void*>(LoadDIB(HUEVANE_TEST_DATA "/coffee_small.bmp"));
    void* a = DecreaseBpp24to8(photo);
    void* b = DecreaseBpp24to8(photo);
    void* c = ipDibStuff(photo, false).CopyToHandle();
    // This 160 x 107 photo keeps about 41 dB through 256 well-chosen colours
    // (a popular stand-alone quantizer without dithering gets 40.9 dB); a
    // fixed 3-3-2 palette reaches only 24 dB, the box split without its
    // k-means passes 40.66 dB, a histogram of every other row 40.90 dB,
    // k-means that misses half of a point's nearest neighbours 40.96 dB, or
    // that measures its farther ones wrongly 40.99 dB (today 41.008 dB).
    // Each of its pixels is mapped to its nearest entry.
    const double psnr = hv::ImagePsnr(photo, a);
    EXPECT_TRUE(psnr > 41.0 && psnr < 60.0) << psnr;
    ASSERT_EQ(GlobalSize(a), GlobalSize(b));
    EXPECT_EQ(std::memcmp(hv::HandleLock(a).ptr(), hv::HandleLock(b).ptr(), GlobalSize(a)), 0);
    ExpectNearestMapping(photo);
    // The measure itself: identical colours; the top bit of one channel of
    // one pixel flipped (an error of 128 among 3 x 160 x 107 values).
    EXPECT_TRUE(std::isinf(hv::ImagePsnr(photo, c)));
    ipDibStuff(c, false).rows[4][7] ^= 0x80;
    EXPECT_NEAR(hv::ImagePsnr(photo, c), 10 * std::log10(255.0 * 255.0 * 3 * 160 * 107 / (128 * 128)), 1e-9);
    // Colours that all lie in the darkest red cells (red below 8, green and
    // blue in steps of 4): a fixed grid of 16 x 16 greens and blues keeps
    // about 36 dB.
    void* dark = Make(64, 64, 24, [&](int x, int y) { return Rgb(rng() & 7, x * 4, y * 4); });
    void* dark8 = DecreaseBpp24to8(dark);
    EXPECT_GT(hv::ImagePsnr(dark, dark8), 30.0);
    for (void* d : {photo, a, b, c, dark, dark8}) hv::FreeHandle(d);
}

TEST(NearestMap, AgreesWithAFullScanIncludingTies) {
    std::mt19937 rng(5);
    std::vector<tagRGBQUAD> pal[2];
    for (int i = 0; i < 256; ++i) {
        const BYTE v = BYTE((i % 20) * 12);  // a grey ramp of equal steps, each at several indices
        pal[0].push_back({BYTE(rng() & 0xF0), BYTE(rng() & 0xE0), BYTE(rng() & 0xC0), 0});  // many ties
        pal[1].push_back({v, v, v, 0});
    }
    // The view's own query on a 256-entry table answers the same.
    void* dib = MakeEmptyDib(1, 1, 8, true);
    {
        ipDibStuff v(dib, false);
        std::copy(pal[0].begin(), pal[0].end(), v.colors);
        for (int c = 0; c < 1 << 24; c += 4099) {
            unsigned char bgr[3] = {BYTE(c), BYTE(c >> 8), BYTE(c >> 16)};
            ASSERT_EQ(v.GetNearestColor(bgr), BruteNearest(pal[0].data(), 256, {bgr[0], bgr[1], bgr[2], 0}));
        }
    }
    hv::FreeHandle(dib);
    // An entry whose nearest point of a cell is exactly as far as another
    // entry's farthest point still ties there, and the lower index wins.
    {
        const tagRGBQUAD corner[2] = {{6, 6, 6, 0}, {0, 0, 0, 0}};
        hv::NearestMap map(corner, 2);
        EXPECT_EQ(map.Nearest(3, 3, 3), 0);
        EXPECT_EQ(map.Nearest(2, 3, 3), 1);
    }
    for (const auto& p : pal)
        for (int used : {1, 3, 256}) {
            hv::NearestMap map(p.data(), used);
            for (int r = 0; r < 256; r += 5)
                for (int g = 1; g < 256; g += 6)
                    for (int b = 2; b < 256; b += 3)
                        ASSERT_EQ(map.Nearest(r, g, b), BruteNearest(p.data(), used, Quad(r, g, b)))
                            << used << ": " << r << "," << g << "," << b;
        }
}
