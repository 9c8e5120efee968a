// Image files: round trips through PNG, JPEG and BMP, expansion of the PNG
// colour types, conversions to 24 bits, and damaged files.
#include "imageio.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"
#include "platform/memory.h"
#include "tool_run.h"

using tool::Temp;

namespace {

using Bytes = std::vector<unsigned char>;
std::string Corpus(const std::string& name) { return std::string(HUEVANE_TEST_DATA) + "/imageio/" + name; }
void Spill(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct Bgr {
    int b, g, r;
};
Bgr Pattern(int x, int y) {
    return {(x * 37 + y * 11) & 255, (x * 5 + y * 71) & 255, (x * y * 3 + 17) & 255};
}

// A 24-bit DIB whose pixel at column x, row y from the top is f(x, y).
void* MakeDib24(int w, int h, const std::function<Bgr(int, int)>& f = Pattern) {
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

// Compares the pixel at column x, row y from the top of a 24-bit DIB.
void ExpectPixel(void* dib, int x, int y, Bgr want, int tolerance = 0) {
    ipDibStuff v(dib, false);
    ASSERT_TRUE(v.is24());
    const BYTE* p = v.rows[v.height() - 1 - y] + 3 * x;
    EXPECT_NEAR(p[0], want.b, tolerance) << "blue at " << x << "," << y;
    EXPECT_NEAR(p[1], want.g, tolerance) << "green at " << x << "," << y;
    EXPECT_NEAR(p[2], want.r, tolerance) << "red at " << x << "," << y;
}

// A host DIB of any depth with a table of `entries` entries (entry i is
// 10i, 20i, 30i) and zero pixels.
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

void PutBE32(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}
void Chunk(Bytes& png, const char* type, const Bytes& data) {
    PutBE32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBE32(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}
// A PNG built byte by byte; rows are scanlines without their filter byte.
Bytes Png(uint32_t w, uint32_t h, int depth, int type, const std::vector<Bytes>& rows, const Bytes& plte = {},
          const Bytes& trns = {}, bool interlaced = false) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr, raw;
    PutBE32(ihdr, w);
    PutBE32(ihdr, h);
    ihdr.insert(ihdr.end(), {BYTE(depth), BYTE(type), 0, 0, BYTE(interlaced)});
    Chunk(png, "IHDR", ihdr);
    if (!plte.empty()) Chunk(png, "PLTE", plte);
    if (!trns.empty()) Chunk(png, "tRNS", trns);
    for (const Bytes& r : rows) {
        raw.push_back(0);
        raw.insert(raw.end(), r.begin(), r.end());
    }
    uLongf len = compressBound(static_cast<uLong>(raw.size()));
    Bytes z(len);
    compress(z.data(), &len, raw.data(), static_cast<uLong>(raw.size()));
    z.resize(len);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

}  // namespace

TEST(ImageIo, PngRoundTripsRgbAndPalette) {
    const std::string path = Temp("rgb.png");
    hvio::OwnedDib dib(MakeDib24(37, 23));  // odd width: padded rows
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
    // libpng's own simple reader checks the file independently.
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width * 100 + image.height, 3723u);
    EXPECT_EQ(image.format, PNG_FORMAT_RGB);
    Bytes rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    const Bgr c = Pattern(36, 0);
    EXPECT_EQ((Bytes{rgb[108], rgb[109], rgb[110]}), (Bytes{BYTE(c.r), BYTE(c.g), BYTE(c.b)}));
    hvio::OwnedDib back(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    EXPECT_EQ(GlobalSize(back.get()), 40u + 112 * 23);  // 37 x 3 bytes padded to 112
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x) ExpectPixel(back.get(), x, y, Pattern(x, y));

    // An 8-bit image: a palette PNG whose PLTE follows the IHDR.
    hvio::OwnedDib pal(MakeIndexed(8, 10, 3, 256));
    ipDibStuff v(pal.get(), false);
    for (int i = 0; i < 256; ++i) v.colors[i] = {BYTE(i), BYTE(255 - i), BYTE(i / 2), 0};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 10; ++x) v.rows[y][x] = BYTE(y * 100 + x);  // row 0 at the bottom
    ASSERT_TRUE(hvio::WriteImage(pal.get(), path, &error)) << error;
    std::string file = tool::Slurp(path);
    EXPECT_EQ(file.substr(33, 8), std::string("\0\0\x03\0PLTE", 8));  // 3 x 256 bytes
    EXPECT_EQ(file[25], 3);
    back.reset(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    for (int y = 0; y < 3; ++y)
        for (int x = 0, i = (2 - y) * 100; x < 10; ++x)
            ExpectPixel(back.get(), x, y, {i + x, 255 - i - x, (i + x) / 2});

    // A table of 4 entries with index 9 in use: the palette grows to 10
    // entries, the extra ones black.
    hvio::OwnedDib small(MakeIndexed(8, 3, 1, 4));
    ipDibStuff(small.get(), false).rows[0][0] = 9;
    ipDibStuff(small.get(), false).rows[0][1] = 3;
    ASSERT_TRUE(hvio::WriteImage(small.get(), path, &error)) << error;
    EXPECT_EQ(tool::Slurp(path).substr(33, 8), std::string("\0\0\0\x1EPLTE", 8));
    back.reset(hvio::ReadImage(path, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ExpectPixel(back.get(), 0, 0, {0, 0, 0});
    ExpectPixel(back.get(), 1, 0, {30, 60, 90});
    std::remove(path.c_str());
}

TEST(ImageIo, JpegAndBmpRoundTrips) {
    const std::string jpg = Temp("photo.JPG"), bmp = Temp("img.bmp");  // the extension's case does not matter
    // Four flat quadrants: red, green / blue, grey.
    hvio::OwnedDib quad(MakeDib24(64, 48, [](int x, int y) -> Bgr {
        return y < 24 ? (x < 32 ? Bgr{0, 0, 230} : Bgr{0, 200, 0})
                      : (x < 32 ? Bgr{220, 0, 0} : Bgr{128, 128, 128});
    }));
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(quad.get(), jpg, &error)) << error;
    EXPECT_EQ(tool::Slurp(jpg).substr(0, 2), "\xFF\xD8");
    hvio::OwnedDib back(hvio::ReadImage(jpg, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ExpectPixel(back.get(), 8, 8, {0, 0, 230}, 12);
    ExpectPixel(back.get(), 56, 8, {0, 200, 0}, 12);
    ExpectPixel(back.get(), 8, 40, {220, 0, 0}, 12);
    ExpectPixel(back.get(), 56, 40, {128, 128, 128}, 12);
    const double psnr = hvio::Psnr(quad.get(), back.get());
    EXPECT_TRUE(psnr > 25.0 && !std::isinf(psnr)) << psnr;

    // Grey and CMYK JPEGs: left-to-right ramps, white to black, yellow to blue.
    back.reset(hvio::ReadImage(Corpus("good_grey.jpg"), &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ExpectPixel(back.get(), 0, 4, {255, 255, 255}, 6);
    ExpectPixel(back.get(), 15, 4, {0, 0, 0}, 6);
    back.reset(hvio::ReadImage(Corpus("good_cmyk.jpg"), &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ExpectPixel(back.get(), 0, 4, {0, 255, 255}, 12);
    ExpectPixel(back.get(), 15, 4, {255, 0, 0}, 12);

    // BMP keeps the depth; the library's own handle is freed.
    const long live = hv::LiveHandles();
    hvio::OwnedDib dib(MakeDib24(5, 3));
    ASSERT_TRUE(hvio::WriteImage(dib.get(), bmp, &error)) << error;
    back.reset(hvio::ReadImage(bmp, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    EXPECT_EQ(hv::LiveHandles(), live);
    EXPECT_TRUE(std::isinf(hvio::Psnr(dib.get(), back.get())));
    hvio::OwnedDib pal(MakeIndexed(8, 3, 2, 256));
    ipDibStuff(pal.get(), false).rows[1][2] = 2;
    ASSERT_TRUE(hvio::WriteImage(pal.get(), bmp, &error)) << error;
    back.reset(hvio::ReadImage(bmp, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    ipDibStuff v(back.get(), false);
    ASSERT_TRUE(v.isPalette8());
    EXPECT_EQ(v.rows[1][2], 2);
    EXPECT_EQ(v.colors[2].rgbRed, 60);
    std::remove(jpg.c_str());
    std::remove(bmp.c_str());
}

TEST(ImageIo, PngColourTypesAreExpandedToRgb) {
    const Bytes plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    struct Case {
        const char* what;
        Bytes png;
        std::vector<Bgr> top;  // the top row, left to right
    };
    const Case cases[] = {
        {"grey 8", Png(3, 1, 8, 0, {{0, 128, 255}}), {{0, 0, 0}, {128, 128, 128}, {255, 255, 255}}},
        {"grey 1", Png(4, 1, 1, 0, {{0xB0}}), {{255, 255, 255}, {0, 0, 0}, {255, 255, 255}, {255, 255, 255}}},
        {"palette 4", Png(3, 1, 4, 3, {{0x12, 0x00}}, plte), {{0, 255, 0}, {255, 0, 0}, {0, 0, 255}}},
        {"palette 8", Png(3, 1, 8, 3, {{2, 0, 1}}, plte), {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}}},
        // tRNS: entry 0 clear, entry 1 half over white: (200 x 128 + 255 x 127 + 127) / 255.
        {"palette alpha",
         Png(3, 1, 8, 3, {{0, 1, 2}}, {0, 0, 0, 200, 0, 0, 0, 0, 100}, {0, 128}),
         {{255, 255, 255}, {127, 127, 227}, {100, 0, 0}}},
        // 16 bits to 8 with rounding: 0x1234 / 257 = 18.1, 0x0081 / 257 = 0.5.
        {"rgb 16",
         Png(2, 1, 16, 2, {{0xFF, 0xFF, 0, 0, 0x80, 0x80, 0x12, 0x34, 0, 0x81, 0xFE, 0xFF}}),
         {{0x80, 0, 255}, {254, 1, 18}}},
        {"rgba 8",
         Png(3, 1, 8, 6, {{10, 20, 30, 0, 10, 20, 30, 255, 0, 100, 200, 51}}),
         {{255, 255, 255}, {30, 20, 10}, {244, 224, 204}}},
        {"grey alpha 16",
         Png(2, 1, 16, 4, {{0x40, 0, 0xFF, 0xFF, 0x40, 0, 0, 0}}),
         {{64, 64, 64}, {255, 255, 255}}},
        {"grey tRNS", Png(2, 1, 8, 0, {{7, 9}}, {}, {0, 7}), {{255, 255, 255}, {9, 9, 9}}},
        // Adam7 passes of a 2 x 2 image: (0,0); (1,0); the bottom row.
        {"interlaced", Png(2, 2, 8, 0, {{10}, {20}, {30, 40}}, {}, {}, true), {{10, 10, 10}, {20, 20, 20}}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        hvio::OwnedDib d(hvio::detail::DecodePng(c.png.data(), c.png.size(), &error));
        ASSERT_NE(d.get(), nullptr) << error;
        for (size_t x = 0; x < c.top.size(); ++x) ExpectPixel(d.get(), static_cast<int>(x), 0, c.top[x]);
    }
    // Row order: the second row is the bottom one.
    const Bytes two = Png(1, 2, 8, 3, {{0}, {2}}, plte);
    hvio::OwnedDib d(hvio::detail::DecodePng(two.data(), two.size(), nullptr));
    ASSERT_NE(d.get(), nullptr);
    ExpectPixel(d.get(), 0, 1, {255, 0, 0});
}

TEST(ImageIo, DamagedFilesAreRefusedWithAMessage) {
    // Each file with a word from its reason ("" when any reason will do);
    // the last two are a missing file and a folder.
    std::vector<std::pair<std::string, std::string>> corpus = {
        {"claims_too_much.jpg", "too short for the 4000 x 4000"},
        {"claims_too_much.png", "too short for the 8000 x 8000"},
        {"empty.png", "empty"},
        {"gif_named.png", "a GIF image"},
        {"huge_100000x100000.png", "100000 x 100000"},
        {"huge_65000x65000.jpg", "beyond the supported size"},
        {"text_named.png", "not a BMP, PNG or JPEG"},
        {"truncated_half.jpg", "Premature end"},
        {"truncated_in_idat.png", "truncated"}};
    for (const char* name : {"bad_ihdr_crc.png", "bmp_signature_only.bmp", "header_only.jpg", "random.bin",
                             "scan_cut_short.jpg", "short_image_data.png", "signature_then_noise.png",
                             "truncated_in_ihdr.png", "zero_width.png", "no_such_file.png", ""})
        corpus.emplace_back(name, "");
    corpus.back().second = "read error";
    corpus.end()[-2].second = "No such file";
    const long live = hv::LiveHandles();
    size_t damaged = 0;
    DIR* dir = opendir(Corpus("").c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir))
        damaged += e->d_name[0] != '.' && std::strncmp(e->d_name, "good_", 5) &&
                   std::strcmp(e->d_name, "make_corpus.py");
    closedir(dir);
    EXPECT_EQ(damaged + 2, corpus.size());  // every damaged file is listed
    for (const auto& [name, reason] : corpus) {
        std::string error;
        hvio::OwnedDib dib(hvio::ReadImage(Corpus(name), &error));
        EXPECT_EQ(dib.get(), nullptr) << name;
        EXPECT_TRUE(tool::Contains(error, name) && tool::Contains(error, reason)) << error;
        EXPECT_GT(error.size(), name.size() + 10) << error;  // names the file and says why
    }
    EXPECT_EQ(hvio::ReadImage(Corpus("random.bin"), nullptr), nullptr);  // no message wanted
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ImageIo, CutAndFlippedBytesNeverBreakTheReader) {
    // Every 7th cut of a good file is refused (only a cut in the PNG's
    // closing chunk may still give the image); three flipped bytes give a
    // refusal with a message or a 24-bit image. The sanitizers watch reads.
    hvio::OwnedDib dib(MakeDib24(20, 12));
    unsigned seed = 12345;
    auto next = [&seed] { return (seed = seed * 1103515245u + 12345u) >> 8; };
    for (const char* ext : {".png", ".jpg"}) {
        const std::string good = Temp(std::string("good") + ext), bad = Temp(std::string("bad") + ext);
        std::string error;
        ASSERT_TRUE(hvio::WriteImage(dib.get(), good, &error)) << error;
        const std::string bytes = tool::Slurp(good);
        for (size_t n = 0; n < bytes.size(); n += 7) {
            Spill(bad, bytes.substr(0, n));
            hvio::OwnedDib part(hvio::ReadImage(bad, &error));
            EXPECT_TRUE(!part.get() || (ext[1] == 'p' && n >= bytes.size() - 12)) << ext << " cut at " << n;
        }
        for (int round = 0; round < 100; ++round) {
            std::string damaged = bytes;
            for (int k = 0; k < 3; ++k)
                damaged[next() % damaged.size()] ^= static_cast<char>(1 + next() % 255);
            Spill(bad, damaged);
            error.clear();
            hvio::OwnedDib got(hvio::ReadImage(bad, &error));
            EXPECT_TRUE(got.get() ? ipDibStuff(got.get(), false).is24() : !error.empty()) << ext << round;
        }
        std::remove(good.c_str());
        std::remove(bad.c_str());
    }
}

TEST(ImageIo, ConversionsPsnrAndRefusedWrites) {
    std::string error;
    hvio::OwnedDib one(MakeIndexed(1, 10, 1, 2));  // 10 pixels, high bit first
    ipDibStuff(one.get(), false).rows[0][0] = 0x81;
    ipDibStuff(one.get(), false).rows[0][1] = 0x40;
    hvio::OwnedDib four(MakeIndexed(4, 3, 1, 3));  // index 5 has no entry: black
    ipDibStuff(four.get(), false).rows[0][0] = 0x25;
    hvio::OwnedDib sixteen(MakeIndexed(16, 1, 1, 0));  // 5-5-5
    const unsigned v = 31u << 10 | 16u << 5 | 1u;
    std::memcpy(ipDibStuff(sixteen.get(), false).rows[0], &v, 2);
    // Expected: the table entry of each pixel (index 5 has none: black).
    const std::pair<void*, std::vector<int>> cases[] = {{one.get(), {1, 0, 0, 0, 0, 0, 0, 1, 0, 1}},
                                                        {four.get(), {2, 0, 0}}};
    for (const auto& [dib, entries] : cases) {
        hvio::OwnedDib rgb(hvio::ToRgb24(dib, &error));
        ASSERT_NE(rgb.get(), nullptr) << error;
        for (int x = 0; x < static_cast<int>(entries.size()); ++x)
            ExpectPixel(rgb.get(), x, 0, {10 * entries[x], 20 * entries[x], 30 * entries[x]});
    }
    hvio::OwnedDib rgb(hvio::ToRgb24(sixteen.get(), &error));
    ASSERT_NE(rgb.get(), nullptr) << error;
    ExpectPixel(rgb.get(), 0, 0, {8, 132, 255});
    EXPECT_EQ(hvio::ToRgb24(nullptr, nullptr), nullptr);

    // One sample in three off by 1 gives an MSE of 1/3.
    hvio::OwnedDib a(MakeDib24(6, 4, [](int, int) { return Bgr{100, 100, 100}; }));
    hvio::OwnedDib b(MakeDib24(6, 4, [](int, int) { return Bgr{101, 100, 100}; }));
    EXPECT_NEAR(hvio::Psnr(a.get(), b.get()), 10 * std::log10(255.0 * 255.0 * 3), 1e-9);
    EXPECT_EQ(hvio::Psnr(a.get(), one.get()), -1);

    for (const std::string& path : {Temp("x.gif"), std::string("/no/such/folder/x.png")}) {
        error.clear();
        EXPECT_FALSE(hvio::WriteImage(a.get(), path, &error)) << path;
        EXPECT_FALSE(error.empty()) << path;
    }
    EXPECT_FALSE(hvio::WriteImage(nullptr, Temp("null.bmp"), &error));
    ipDibStuff(a.get(), false).header->biHeight = 400;  // more rows than the handle holds
    EXPECT_FALSE(hvio::WriteImage(a.get(), Temp("liar.png"), &error));
    EXPECT_TRUE(tool::Slurp(Temp("liar.png")).empty());
    EXPECT_TRUE(hvio::IsWritableFormat("A.JPEG"));
    EXPECT_FALSE(hvio::IsWritableFormat("dir.png/file"));
}
