// Image files: round trips through PNG, JPEG and BMP, expansion of the PNG
// colour types, the DIB helpers, and a corpus of damaged files.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <unistd.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "imageio.h"
#include "platform/memory.h"

namespace {

std::string Temp(const std::string& name) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "hv_" + info->test_suite_name() + "_" + info->name() + "_" + name;
}
std::string Corpus(const std::string& name) { return std::string(HUEVANE_TEST_DATA) + "/imageio/" + name; }

std::vector<unsigned char> Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(f), {});
}
void Spill(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

struct Bgr {
    int b, g, r;
};

// A 24-bit DIB whose pixel at column x, row y from the top is f(x, y).
void* MakeDib24(int w, int h, const std::function<Bgr(int, int)>& f) {
    void* dib = hvio::detail::NewDib(w, h, 24, nullptr);
    ipDibStuff v(dib, false);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Bgr c = f(x, y);
            BYTE* p = v.rows[h - 1 - y] + 3 * x;
            p[0] = BYTE(c.b), p[1] = BYTE(c.g), p[2] = BYTE(c.r);
        }
    return dib;
}

// The pixel at column x, row y from the top of a 24-bit DIB.
Bgr At(void* dib, int x, int y) {
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[v.height() - 1 - y] + 3 * x;
    return {p[0], p[1], p[2]};
}

void ExpectPixel(void* dib, int x, int y, Bgr want, int tolerance = 0) {
    const Bgr got = At(dib, x, y);
    EXPECT_NEAR(got.b, want.b, tolerance) << "blue at " << x << "," << y;
    EXPECT_NEAR(got.g, want.g, tolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(got.r, want.r, tolerance) << "red at " << x << "," << y;
}

// A DIB made by hand: any depth, a colour table of `entries` entries
// (entry i is 10i, 20i, 30i), zero pixels.
void* MakeIndexed(int bits, int w, int h, int entries) {
    const uint64_t image = hv::RowBytes(w, bits) * h;
    void* dib = GlobalAlloc(GHND, 40 + 4 * entries + image);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    *hd = {40, w, h, 1, WORD(bits), BI_RGB, DWORD(image), 0, 0, DWORD(entries), 0};
    auto* table = reinterpret_cast<tagRGBQUAD*>(hd + 1);
    for (int i = 0; i < entries; ++i) table[i] = {BYTE(i * 10), BYTE(i * 20), BYTE(i * 30), 0};
    GlobalUnlock(dib);
    return dib;
}

Bgr Pattern(int x, int y) { return {(x * 37 + y * 11) & 255, (x * 5 + y * 71) & 255, (x * y * 3 + 17) & 255}; }

// A PNG built byte by byte, so that every colour type can be tried.
struct PngBuilder {
    std::vector<unsigned char> bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    void Chunk(const char* type, const std::vector<unsigned char>& data) {
        const uint32_t n = static_cast<uint32_t>(data.size());
        for (int s = 24; s >= 0; s -= 8) bytes.push_back(static_cast<unsigned char>(n >> s));
        const size_t start = bytes.size();
        bytes.insert(bytes.end(), type, type + 4);
        bytes.insert(bytes.end(), data.begin(), data.end());
        const uint32_t crc = static_cast<uint32_t>(crc32(0, bytes.data() + start, static_cast<uInt>(bytes.size() - start)));
        for (int s = 24; s >= 0; s -= 8) bytes.push_back(static_cast<unsigned char>(crc >> s));
    }
    // rows: the filtered scanlines without their filter byte (filter 0 added).
    PngBuilder(uint32_t w, uint32_t h, int depth, int type, const std::vector<std::vector<unsigned char>>& rows,
               const std::vector<unsigned char>& plte = {}, const std::vector<unsigned char>& trns = {},
               bool interlaced = false) {
        std::vector<unsigned char> ihdr;
        for (uint32_t v : {w, h})
            for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<unsigned char>(v >> s));
        ihdr.insert(ihdr.end(), {static_cast<unsigned char>(depth), static_cast<unsigned char>(type), 0, 0,
                                 static_cast<unsigned char>(interlaced)});
        Chunk("IHDR", ihdr);
        if (!plte.empty()) Chunk("PLTE", plte);
        if (!trns.empty()) Chunk("tRNS", trns);
        std::vector<unsigned char> raw;
        for (const auto& r : rows) {
            raw.push_back(0);
            raw.insert(raw.end(), r.begin(), r.end());
        }
        uLongf len = compressBound(static_cast<uLong>(raw.size()));
        std::vector<unsigned char> z(len);
        compress(z.data(), &len, raw.data(), static_cast<uLong>(raw.size()));
        z.resize(len);
        Chunk("IDAT", z);
        Chunk("IEND", {});
    }
};

void* ReadBytes(const std::vector<unsigned char>& bytes, std::string* error = nullptr) {
    return hvio::detail::DecodePng(bytes.data(), bytes.size(), error);
}

// Reads a PNG with libpng's own simple interface: an independent check of
// what the writer put in the file (row order, channel order).
std::vector<unsigned char> ReadRgbIndependently(const std::string& path, int* w, int* h) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    std::vector<unsigned char> out;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
    image.format = PNG_FORMAT_RGB;
    out.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.data(), 0, nullptr)) out.clear();
    *w = static_cast<int>(image.width);
    *h = static_cast<int>(image.height);
    return out;
}

}  // namespace

TEST(ImageIo, PngRgbRoundTripKeepsEveryPixelRowAndChannelOrder) {
    const std::string path = Temp("rgb.png");
    hvio::OwnedDib dib(MakeDib24(37, 23, Pattern));  // odd width: padded rows
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
    const auto file = Slurp(path);
    ASSERT_GT(file.size(), 33u);
    EXPECT_EQ(file[24], 8);  // bit depth
    EXPECT_EQ(file[25], 2);  // colour type RGB

    int w = 0, h = 0;
    const auto rgb = ReadRgbIndependently(path, &w, &h);
    ASSERT_EQ(rgb.size(), 37u * 23 * 3);
    EXPECT_EQ(w, 37);
    EXPECT_EQ(h, 23);
    for (int y : {0, 11, 22})
        for (int x : {0, 18, 36}) {
            const Bgr c = Pattern(x, y);
            const unsigned char* p = &rgb[(y * 37 + x) * 3];
            EXPECT_EQ(p[0], c.r);
            EXPECT_EQ(p[1], c.g);
            EXPECT_EQ(p[2], c.b);
        }

    hvio::OwnedDib back(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ipDibStuff v(back.get(), false);
    ASSERT_TRUE(v.is24());
    ASSERT_EQ(v.width(), 37);
    ASSERT_EQ(v.height(), 23);
    EXPECT_EQ(GlobalSize(back.get()), 40u + 112 * 23);  // 37 * 3 = 111, padded to 112
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) ExpectPixel(back.get(), x, y, Pattern(x, y));
    std::remove(path.c_str());
}

TEST(ImageIo, PngPaletteRoundTripWritesIndicesAndCoversStrayOnes) {
    const std::string path = Temp("pal.png");
    void* dib = MakeEmptyDib(10, 3, 8, true);
    {
        ipDibStuff v(dib, false);
        for (int i = 0; i < 256; ++i) v.colors[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 10; ++x) v.rows[y][x] = BYTE(y * 100 + x);  // row 0 at the bottom
    }
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(dib, path, &error)) << error;
    auto file = Slurp(path);
    ASSERT_GT(file.size(), 41u);
    EXPECT_EQ(file[25], 3);  // colour type palette
    // PLTE follows the 13-byte IHDR: its length is 3 per entry.
    EXPECT_EQ(std::string(file.begin() + 37, file.begin() + 41), "PLTE");
    EXPECT_EQ((file[35] << 8 | file[36]), 3 * 256);

    hvio::OwnedDib back(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) {
            const int i = (2 - y) * 100 + x;  // y counts from the top here
            ExpectPixel(back.get(), x, y, {i, 255 - i, i / 2});
        }

    // A table of 4 entries with index 9 in use: the palette grows to 10
    // entries, the extra ones black.
    hvio::OwnedDib small(MakeIndexed(8, 3, 1, 4));
    ipDibStuff(small.get(), false).rows[0][0] = 9;
    ipDibStuff(small.get(), false).rows[0][1] = 3;
    ASSERT_TRUE(hvio::WriteImage(small.get(), path, &error)) << error;
    file = Slurp(path);
    EXPECT_EQ((file[35] << 8 | file[36]), 3 * 10);
    hvio::OwnedDib back2(hvio::ReadImage(path, &error));
    ASSERT_NE(back2.get(), nullptr) << error;
    ExpectPixel(back2.get(), 0, 0, {0, 0, 0});
    ExpectPixel(back2.get(), 1, 0, {30, 60, 90});
    hv::FreeHandle(dib);
    std::remove(path.c_str());
}

TEST(ImageIo, JpegRoundTripStaysCloseAndUpright) {
    const std::string path = Temp("photo.JPG");  // the extension's case does not matter
    // Four flat quadrants: red top left, green top right, blue bottom left,
    // grey bottom right.
    auto quad = [](int x, int y) -> Bgr {
        if (y < 24) return x < 32 ? Bgr{0, 0, 230} : Bgr{0, 200, 0};
        return x < 32 ? Bgr{220, 0, 0} : Bgr{128, 128, 128};
    };
    hvio::OwnedDib dib(MakeDib24(64, 48, quad));
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
    const auto file = Slurp(path);
    ASSERT_GE(file.size(), 4u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xD8);
    hvio::OwnedDib back(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ExpectPixel(back.get(), 8, 8, {0, 0, 230}, 12);
    ExpectPixel(back.get(), 56, 8, {0, 200, 0}, 12);
    ExpectPixel(back.get(), 8, 40, {220, 0, 0}, 12);
    ExpectPixel(back.get(), 56, 40, {128, 128, 128}, 12);
    const double psnr = hvio::Psnr(dib.get(), back.get());
    EXPECT_GT(psnr, 25.0);  // sharp colour edges cost a JPEG most
    EXPECT_FALSE(std::isinf(psnr));  // it is lossy after all

    // An 8-bit image goes through its palette.
    void* pal = MakeEmptyDib(16, 16, 8, true);
    {
        ipDibStuff v(pal, false);
        v.colors[7] = {10, 180, 250, 0};
        for (BYTE* row : v.rows) std::memset(row, 7, 16);
    }
    ASSERT_TRUE(hvio::WriteImage(pal, path, &error)) << error;
    hvio::OwnedDib back8(hvio::ReadImage(path, &error));
    ASSERT_NE(back8.get(), nullptr) << error;
    ExpectPixel(back8.get(), 8, 8, {10, 180, 250}, 6);
    hv::FreeHandle(pal);
    std::remove(path.c_str());
}

TEST(ImageIo, GreyAndCmykJpegsComeOutAsRgb) {
    std::string error;
    // Both ramps run from left to right: white to black, yellow to blue.
    hvio::OwnedDib grey(hvio::ReadImage(Corpus("good_grey.jpg"), &error));
    ASSERT_NE(grey.get(), nullptr) << error;
    ExpectPixel(grey.get(), 0, 4, {255, 255, 255}, 6);
    ExpectPixel(grey.get(), 15, 4, {0, 0, 0}, 6);
    const Bgr mid = At(grey.get(), 7, 4);
    EXPECT_EQ(mid.b, mid.r);
    EXPECT_EQ(mid.g, mid.r);
    EXPECT_NEAR(mid.r, 137, 8);
    hvio::OwnedDib cmyk(hvio::ReadImage(Corpus("good_cmyk.jpg"), &error));
    ASSERT_NE(cmyk.get(), nullptr) << error;
    ExpectPixel(cmyk.get(), 0, 4, {0, 255, 255}, 12);
    ExpectPixel(cmyk.get(), 15, 4, {255, 0, 0}, 12);
}

TEST(ImageIo, BmpRoundTripKeepsDepthAndLeavesNoLibraryHandle) {
    const std::string path = Temp("img.bmp");
    const long live = hv::LiveHandles();
    hvio::OwnedDib dib(MakeDib24(5, 3, Pattern));
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
    hvio::OwnedDib back(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    EXPECT_EQ(hv::LiveHandles(), live);  // the library's own handle was freed
    ASSERT_TRUE(ipDibStuff(back.get(), false).is24());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) ExpectPixel(back.get(), x, y, Pattern(x, y));

    void* pal = MakeEmptyDib(3, 2, 8, true);
    { ipDibStuff(pal, false).rows[1][2] = 200; }
    ASSERT_TRUE(hvio::WriteImage(pal, path, &error)) << error;
    hvio::OwnedDib back8(hvio::ReadImage(path, &error));
    ASSERT_NE(back8.get(), nullptr) << error;
    ipDibStuff v(back8.get(), false);
    ASSERT_TRUE(v.isPalette8());
    EXPECT_EQ(v.rows[1][2], 200);
    EXPECT_EQ(v.colors[200].rgbRed, 200);
    hv::FreeHandle(pal);
    std::remove(path.c_str());
}

TEST(ImageIo, PngColourTypesAreExpandedToRgb) {
    std::string error;
    {  // 8-bit grey
        hvio::OwnedDib d(ReadBytes(PngBuilder(3, 1, 8, 0, {{0, 128, 255}}).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ASSERT_TRUE(ipDibStuff(d.get(), false).is24());
        ExpectPixel(d.get(), 0, 0, {0, 0, 0});
        ExpectPixel(d.get(), 1, 0, {128, 128, 128});
        ExpectPixel(d.get(), 2, 0, {255, 255, 255});
    }
    {  // 1-bit grey: bits 1,0,1,1 then padding
        hvio::OwnedDib d(ReadBytes(PngBuilder(4, 1, 1, 0, {{0xB0}}).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ExpectPixel(d.get(), 0, 0, {255, 255, 255});
        ExpectPixel(d.get(), 1, 0, {0, 0, 0});
        ExpectPixel(d.get(), 3, 0, {255, 255, 255});
    }
    {  // 4-bit palette of three colours, two rows (row order checked)
        const std::vector<unsigned char> plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
        hvio::OwnedDib d(ReadBytes(PngBuilder(2, 2, 4, 3, {{0x01}, {0x22}}, plte).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ExpectPixel(d.get(), 0, 0, {0, 0, 255});    // red
        ExpectPixel(d.get(), 1, 0, {0, 255, 0});    // green
        ExpectPixel(d.get(), 0, 1, {255, 0, 0});    // blue, bottom row
    }
    {  // palette with transparency: entry 0 clear, entry 1 half, entry 2 opaque
        const std::vector<unsigned char> plte = {0, 0, 0, 200, 0, 0, 0, 0, 100};
        hvio::OwnedDib d(ReadBytes(PngBuilder(3, 1, 8, 3, {{0, 1, 2}}, plte, {0, 128}).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ExpectPixel(d.get(), 0, 0, {255, 255, 255});
        // over white: (200 * 128 + 255 * 127 + 127) / 255 = 227; 127 for the zeros
        ExpectPixel(d.get(), 1, 0, {127, 127, 227});
        ExpectPixel(d.get(), 2, 0, {100, 0, 0});
    }
    {  // 16-bit RGB: samples scaled to 8 bits with rounding
        std::vector<unsigned char> row = {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x80, 0x12, 0x34, 0x00, 0x81, 0xFE, 0xFF};
        hvio::OwnedDib d(ReadBytes(PngBuilder(2, 1, 16, 2, {row}).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ExpectPixel(d.get(), 0, 0, {0x80, 0, 255});
        // 0x1234 / 257 = 18.1, 0x0081 / 257 = 0.5 (rounds up), 0xFEFF / 257 = 254.0
        ExpectPixel(d.get(), 1, 0, {254, 1, 18});
    }
    {  // 8-bit RGBA over white
        std::vector<unsigned char> row = {10, 20, 30, 0, 10, 20, 30, 255, 0, 100, 200, 51};
        hvio::OwnedDib d(ReadBytes(PngBuilder(3, 1, 8, 6, {row}).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ExpectPixel(d.get(), 0, 0, {255, 255, 255});
        ExpectPixel(d.get(), 1, 0, {30, 20, 10});
        // 0.2 of the colour: (c * 51 + 255 * 204 + 127) / 255
        ExpectPixel(d.get(), 2, 0, {244, 224, 204});
    }
    {  // 16-bit grey with alpha, and 8-bit grey with a transparent grey value
        std::vector<unsigned char> row = {0x40, 0x00, 0xFF, 0xFF, 0x40, 0x00, 0x00, 0x00};
        hvio::OwnedDib d(ReadBytes(PngBuilder(2, 1, 16, 4, {row}).bytes, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        ExpectPixel(d.get(), 0, 0, {64, 64, 64});
        ExpectPixel(d.get(), 1, 0, {255, 255, 255});
        hvio::OwnedDib g(ReadBytes(PngBuilder(2, 1, 8, 0, {{7, 9}}, {}, {0, 7}).bytes, &error));
        ASSERT_NE(g.get(), nullptr) << error;
        ExpectPixel(g.get(), 0, 0, {255, 255, 255});
        ExpectPixel(g.get(), 1, 0, {9, 9, 9});
    }
}

TEST(ImageIo, InterlacedPngsAreReadWhole) {
    // Written by libpng itself, which splits the rows into the seven passes.
    for (int type : {PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGBA}) {
        const int n = type == PNG_COLOR_TYPE_RGB ? 3 : 4;
        std::vector<std::vector<png_byte>> rows(9);
        std::vector<png_bytep> ptrs;
        for (int y = 0; y < 9; ++y) {
            for (int x = 0; x < 9; ++x) {
                const Bgr c = Pattern(x, y);
                rows[y].insert(rows[y].end(), {png_byte(c.r), png_byte(c.g), png_byte(c.b), png_byte(x * 30)});
                rows[y].resize(static_cast<size_t>(n * (x + 1)));
            }
            ptrs.push_back(rows[y].data());
        }
        const std::string path = Temp("laced.png");
        std::FILE* f = std::fopen(path.c_str(), "wb");
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, f);
        png_set_IHDR(png, info, 9, 9, 8, type, PNG_INTERLACE_ADAM7, 0, 0);
        png_write_info(png, info);
        png_write_image(png, ptrs.data());
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        std::fclose(f);

        std::string error;
        hvio::OwnedDib d(hvio::ReadImage(path, &error));
        ASSERT_NE(d.get(), nullptr) << error;
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 9; ++x) {
                Bgr c = Pattern(x, y);
                if (n == 4)
                    for (int* v : {&c.b, &c.g, &c.r}) *v = (*v * x * 30 + 255 * (255 - x * 30) + 127) / 255;
                ExpectPixel(d.get(), x, y, c);
            }
        std::remove(path.c_str());
    }
}

TEST(ImageIo, DamagedFilesAreRefusedWithAMessage) {
    const long live = hv::LiveHandles();
    DIR* dir = opendir((std::string(HUEVANE_TEST_DATA) + "/imageio").c_str());
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> names;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && name != "make_corpus.py" && name.rfind("good_", 0) != 0)
            names.push_back(name);
    }
    closedir(dir);
    EXPECT_GE(names.size(), 15u);
    for (const std::string& name : names) {
        std::string error;
        void* dib = hvio::ReadImage(Corpus(name), &error);
        EXPECT_EQ(dib, nullptr) << name;
        if (dib) GlobalFree(dib);
        EXPECT_NE(error.find(name), std::string::npos) << name << ": " << error;  // names the file
        EXPECT_GT(error.size(), name.size() + 10) << name;                        // and says why
    }
    EXPECT_EQ(hv::LiveHandles(), live);

    auto reason = [](const std::string& path) {
        std::string error;
        EXPECT_EQ(hvio::ReadImage(path, &error), nullptr);
        return error;
    };
    EXPECT_NE(reason(Corpus("huge_100000x100000.png")).find("100000 x 100000"), std::string::npos);
    EXPECT_NE(reason(Corpus("huge_65000x65000.jpg")).find("beyond the supported size"), std::string::npos);
    EXPECT_NE(reason(Corpus("claims_too_much.png")).find("too short for the 8000 x 8000"), std::string::npos);
    EXPECT_NE(reason(Corpus("claims_too_much.jpg")).find("too short for the 4000 x 4000"), std::string::npos);
    EXPECT_NE(reason(Corpus("empty.png")).find("empty"), std::string::npos);
    EXPECT_NE(reason(Corpus("text_named.png")).find("not a BMP, PNG or JPEG"), std::string::npos);
    EXPECT_NE(reason(Corpus("gif_named.png")).find("a GIF image"), std::string::npos);
    EXPECT_NE(reason(Corpus("truncated_in_idat.png")).find("truncated"), std::string::npos);
    EXPECT_NE(reason(Corpus("truncated_half.jpg")).find("Premature end"), std::string::npos);
    EXPECT_NE(reason(Corpus("no_such_file.png")).find("No such file"), std::string::npos);
    EXPECT_NE(reason(HUEVANE_TEST_DATA).find("read error"), std::string::npos);  // a folder
    EXPECT_EQ(hvio::ReadImage(Corpus("random.bin"), nullptr), nullptr);  // no message wanted
}

TEST(ImageIo, EveryCutOfAGoodFileIsRefusedOrComplete) {
    hvio::OwnedDib dib(MakeDib24(24, 16, Pattern));
    std::string error;
    for (const char* ext : {".png", ".jpg"}) {
        const std::string path = Temp(std::string("whole") + ext), cut = Temp(std::string("cut") + ext);
        ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
        hvio::OwnedDib whole(hvio::ReadImage(path, &error));
        ASSERT_NE(whole.get(), nullptr) << error;
        const auto bytes = Slurp(path);
        int refused = 0;
        for (size_t n = 0; n < bytes.size(); n += 7) {
            Spill(cut, std::vector<unsigned char>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
            hvio::OwnedDib part(hvio::ReadImage(cut, &error));
            if (!part.get()) {
                ++refused;
                continue;
            }
            // Only a cut in the PNG's closing chunk may still give the image.
            EXPECT_STREQ(ext, ".png") << n;
            EXPECT_GE(n, bytes.size() - 12) << n;
            EXPECT_TRUE(std::isinf(hvio::Psnr(part.get(), whole.get()))) << n;
        }
        EXPECT_GE(refused, static_cast<int>(bytes.size() / 7) - 2) << ext;
        std::remove(path.c_str());
        std::remove(cut.c_str());
    }
}

TEST(ImageIo, FlippedBytesNeverBreakTheReader) {
    // Damage anywhere in a good file gives either a refusal with a message
    // or an image of the right size; the sanitizers watch every read.
    hvio::OwnedDib dib(MakeDib24(20, 12, Pattern));
    std::string error;
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (const char* ext : {".png", ".jpg"}) {
        const std::string path = Temp(std::string("good") + ext), bad = Temp(std::string("bad") + ext);
        ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
        const auto bytes = Slurp(path);
        for (int round = 0; round < 150; ++round) {
            auto damaged = bytes;
            for (int k = 0; k < 3; ++k) damaged[next() % damaged.size()] ^= static_cast<unsigned char>(1 + next() % 255);
            Spill(bad, damaged);
            error.clear();
            hvio::OwnedDib got(hvio::ReadImage(bad, &error));
            if (!got.get()) {
                EXPECT_FALSE(error.empty()) << ext << " round " << round;
                continue;
            }
            ipDibStuff v(got.get(), false);
            EXPECT_TRUE(v.is24()) << ext << " round " << round;
        }
        std::remove(path.c_str());
        std::remove(bad.c_str());
    }
}

TEST(ImageIo, WritingRefusesUnknownFormatsBadPathsAndBadImages) {
    hvio::OwnedDib dib(MakeDib24(4, 4, Pattern));
    std::string error;
    const std::string gif = Temp("x.gif");
    EXPECT_FALSE(hvio::WriteImage(dib.get(), gif, &error));
    EXPECT_NE(error.find(".gif"), std::string::npos);
    EXPECT_TRUE(Slurp(gif).empty());
    EXPECT_FALSE(hvio::IsWritableFormat("a.png.txt"));
    EXPECT_FALSE(hvio::IsWritableFormat("dir.png/file"));
    EXPECT_TRUE(hvio::IsWritableFormat("A.JPEG"));
    EXPECT_TRUE(hvio::IsWritableFormat("x.bmp"));

    for (const char* ext : {".png", ".jpg", ".bmp"}) {
        error.clear();
        EXPECT_FALSE(hvio::WriteImage(dib.get(), std::string("/no/such/folder/x") + ext, &error)) << ext;
        EXPECT_FALSE(error.empty()) << ext;
        error.clear();
        EXPECT_FALSE(hvio::WriteImage(nullptr, Temp(std::string("null") + ext), &error)) << ext;
        EXPECT_FALSE(error.empty()) << ext;
    }
    // A header that claims more rows than the handle holds is refused
    // before any file is made.
    {
        ipDibStuff(dib.get(), false).header->biHeight = 400;
    }
    const std::string png = Temp("liar.png");
    EXPECT_FALSE(hvio::WriteImage(dib.get(), png, &error));
    EXPECT_TRUE(Slurp(png).empty());
}

TEST(ImageIo, AFailedWriteLeavesADeviceAlone) {
    hvio::OwnedDib dib(MakeDib24(64, 64, Pattern));
    std::string error;
    // A full disk: the write fails, and the device behind the name stays.
    const std::string full = Temp("full.png");
    std::remove(full.c_str());
    if (access("/dev/full", W_OK) == 0 && symlink("/dev/full", full.c_str()) == 0) {
        EXPECT_FALSE(hvio::WriteImage(dib.get(), full, &error));
        EXPECT_NE(error.find("rror"), std::string::npos) << error;
        EXPECT_EQ(access("/dev/full", F_OK), 0);
        std::remove(full.c_str());
    }
}

TEST(ImageIo, ConversionTo24BitsReadsEveryDepth) {
    std::string error;
    {  // 1 bit: 10 pixels over two bytes, high bit first
        hvio::OwnedDib d(MakeIndexed(1, 10, 1, 2));
        ipDibStuff(d.get(), false).rows[0][0] = 0x81;
        ipDibStuff(d.get(), false).rows[0][1] = 0x40;
        hvio::OwnedDib c(hvio::ToRgb24(d.get(), &error));
        ASSERT_NE(c.get(), nullptr) << error;
        ExpectPixel(c.get(), 0, 0, {10, 20, 30});
        ExpectPixel(c.get(), 1, 0, {0, 0, 0});
        ExpectPixel(c.get(), 7, 0, {10, 20, 30});
        ExpectPixel(c.get(), 9, 0, {10, 20, 30});
        ExpectPixel(c.get(), 8, 0, {0, 0, 0});
    }
    {  // 4 bits with a table of 3: index 5 has no entry and comes out black
        hvio::OwnedDib d(MakeIndexed(4, 3, 1, 3));
        ipDibStuff(d.get(), false).rows[0][0] = 0x25;
        ipDibStuff(d.get(), false).rows[0][1] = 0x10;
        hvio::OwnedDib c(hvio::ToRgb24(d.get(), &error));
        ASSERT_NE(c.get(), nullptr) << error;
        ExpectPixel(c.get(), 0, 0, {20, 40, 60});
        ExpectPixel(c.get(), 1, 0, {0, 0, 0});
        ExpectPixel(c.get(), 2, 0, {10, 20, 30});
    }
    {  // 16 bits as 5-5-5, 32 bits as blue, green, red, unused
        hvio::OwnedDib d(MakeIndexed(16, 2, 1, 0));
        BYTE* p = ipDibStuff(d.get(), false).rows[0];
        const unsigned v = 31u << 10 | 16u << 5 | 1u;
        p[0] = BYTE(v), p[1] = BYTE(v >> 8);
        hvio::OwnedDib c(hvio::ToRgb24(d.get(), &error));
        ASSERT_NE(c.get(), nullptr) << error;
        ExpectPixel(c.get(), 0, 0, {8, 132, 255});
        hvio::OwnedDib e(MakeIndexed(32, 2, 1, 0));
        BYTE* q = ipDibStuff(e.get(), false).rows[0];
        const BYTE px[8] = {1, 2, 3, 99, 4, 5, 6, 99};
        std::memcpy(q, px, 8);
        hvio::OwnedDib c32(hvio::ToRgb24(e.get(), &error));
        ASSERT_NE(c32.get(), nullptr) << error;
        ExpectPixel(c32.get(), 1, 0, {4, 5, 6});
    }
    {  // compressed and null images are refused
        hvio::OwnedDib d(MakeIndexed(8, 2, 2, 256));
        ipDibStuff(d.get(), false).header->biCompression = BI_RLE8;
        EXPECT_EQ(hvio::ToRgb24(d.get(), &error), nullptr);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(hvio::ToRgb24(nullptr, nullptr), nullptr);
    }
}

TEST(ImageIo, PsnrAndSideBySide) {
    hvio::OwnedDib a(MakeDib24(6, 4, [](int, int) { return Bgr{100, 100, 100}; }));
    hvio::OwnedDib b(MakeDib24(6, 4, [](int, int) { return Bgr{101, 100, 100}; }));
    hvio::OwnedDib c(MakeDib24(6, 4, [](int x, int) { return Bgr{x == 0 ? 110 : 100, 100, 100}; }));
    EXPECT_TRUE(std::isinf(hvio::Psnr(a.get(), a.get())));
    // One sample in three off by 1: MSE 1/3.
    EXPECT_NEAR(hvio::Psnr(a.get(), b.get()), 10 * std::log10(255.0 * 255.0 * 3), 1e-9);
    // One column in six, one sample in three, off by 10: MSE 100/18.
    EXPECT_NEAR(hvio::Psnr(a.get(), c.get()), 10 * std::log10(255.0 * 255.0 * 18 / 100), 1e-9);
    hvio::OwnedDib small(MakeDib24(5, 4, Pattern));
    EXPECT_EQ(hvio::Psnr(a.get(), small.get()), -1);
    EXPECT_EQ(hvio::Psnr(a.get(), nullptr), -1);

    std::string error;
    hvio::OwnedDib tall(MakeDib24(2, 6, [](int, int y) { return Bgr{y * 10, 0, 0}; }));
    hvio::OwnedDib pair(hvio::SideBySide(a.get(), tall.get(), 0, &error));
    ASSERT_NE(pair.get(), nullptr) << error;
    ipDibStuff v(pair.get(), false);
    EXPECT_EQ(v.width(), 6 + 8 + 2);
    EXPECT_EQ(v.height(), 6);
    ExpectPixel(pair.get(), 0, 0, {100, 100, 100});   // a at the top left
    ExpectPixel(pair.get(), 5, 3, {100, 100, 100});
    ExpectPixel(pair.get(), 0, 4, {255, 255, 255});   // under a: white
    ExpectPixel(pair.get(), 6, 0, {255, 255, 255});   // the gap
    ExpectPixel(pair.get(), 13, 5, {255, 255, 255});
    ExpectPixel(pair.get(), 14, 0, {0, 0, 0});        // the tall image's top row
    ExpectPixel(pair.get(), 15, 5, {50, 0, 0});

    // Shrinking averages blocks: 5 x 3 at most 2 wide gives factor 3, so a
    // 2 x 1 picture whose left pixel averages columns 0-2 and right 3-4.
    hvio::OwnedDib ramp(MakeDib24(5, 3, [](int x, int y) { return Bgr{x * 30 + y, 0, 255}; }));
    hvio::OwnedDib shrunk(hvio::SideBySide(ramp.get(), ramp.get(), 2, &error));
    ASSERT_NE(shrunk.get(), nullptr) << error;
    ipDibStuff s(shrunk.get(), false);
    EXPECT_EQ(s.width(), 2 + 8 + 2);
    EXPECT_EQ(s.height(), 1);
    ExpectPixel(shrunk.get(), 0, 0, {31, 0, 255});   // (0+30+60)*3/9 + 1
    ExpectPixel(shrunk.get(), 11, 0, {106, 0, 255});  // (90+120)*3/6 + 1
    EXPECT_EQ(hvio::SideBySide(a.get(), nullptr, 0, &error), nullptr);
    EXPECT_FALSE(error.empty());
}
