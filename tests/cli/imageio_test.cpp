// Image files: round trips through PNG, JPEG and BMP, expansion of the PNG
// colour types, every JPEG coding, damaged files and the reading limits.
#include "imageio.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"
#include "platform/memory.h"
#include "tool_run.h"

using tool::Contains;
using tool::Temp;

namespace {

using Bytes = std::vector<unsigned char>;
using Bgr = std::vector<int>;  // blue, green, red
std::string Corpus(const std::string& name) { return std::string(HUEVANE_TEST_DATA) + "/imageio/" + name; }

// The pixel at column x, row y from the top of a 24-bit DIB; none for
// another depth or no DIB.
Bgr At(void* dib, int x, int y) {
    if (!dib || !ipDibStuff(dib, false).is24()) return {};
    ipDibStuff v(dib, false);
    const BYTE* p = v.rows[v.height() - 1 - y] + 3 * x;
    return {p[0], p[1], p[2]};
}
bool Near(const Bgr& got, const Bgr& want, int tolerance) {
    for (size_t i = 0; i < got.size(); ++i)
        if (std::abs(got[i] - want[i]) > tolerance) return false;
    return got.size() == 3;
}

// A host DIB of `bits` with a table of `entries` entries, entry i being
// blue 10i, green 20i, red 30i; its pixels zero, or at 24 bits a gentle
// ramp, which JPEG keeps well.
void* MakeDib(int w, int h, int bits = 24, int entries = 0) {
    void* dib = GlobalAlloc(GHND, 40 + 4 * entries + hv::RowBytes(w, bits) * h);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    *hd = {40, w, h, 1, WORD(bits), BI_RGB, 0, 0, 0, DWORD(entries), 0};
    for (int i = 0; i < entries; ++i)
        reinterpret_cast<tagRGBQUAD*>(hd + 1)[i] = {BYTE(10 * i), BYTE(20 * i), BYTE(30 * i), 0};
    for (int y = 0; y < h && bits == 24; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* p = reinterpret_cast<BYTE*>(hd + 1) + hv::RowBytes(w, 24) * (h - 1 - y) + 3 * x;
            p[0] = BYTE(2 * x + y), p[1] = BYTE(3 * y), p[2] = BYTE(200 - x);
        }
    GlobalUnlock(dib);
    return dib;
}

// Hex digits two by two, anything else between them skipped.
Bytes Hex(const std::string& text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (std::isxdigit(text[i]) && std::isxdigit(text[i + 1]))
            out.push_back(static_cast<unsigned char>(std::stoi(text.substr(i++, 2), nullptr, 16)));
    return out;
}

// rrggbb words as pixels; the top row of a 24-bit DIB.
std::vector<Bgr> Colours(const std::string& text) {
    const Bytes b = Hex(text);
    std::vector<Bgr> out;
    for (size_t i = 0; i + 2 < b.size(); i += 3) out.push_back({b[i + 2], b[i + 1], b[i]});
    return out;
}
std::vector<Bgr> TopRow(void* dib, size_t width) {
    std::vector<Bgr> row;
    for (size_t x = 0; x < width; ++x) row.push_back(At(dib, static_cast<int>(x), 0));
    return row;
}

void Put(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}
void Chunk(Bytes& png, const char* type, const Bytes& data) {
    Put(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Put(png, static_cast<uint32_t>(crc32(0, png.data() + start, static_cast<uInt>(png.size() - start))));
}
// A PNG built byte by byte; rows are scanlines without their filter byte.
Bytes Png(uint32_t w, uint32_t h, int depth, int type, const std::vector<Bytes>& rows, const Bytes& plte = {},
          const Bytes& trns = {}, bool interlaced = false) {
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, ihdr, raw;
    Put(ihdr, w);
    Put(ihdr, h);
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

// A JPEG of the ramp made by libjpeg: progressive or sequential, Huffman
// or arithmetic coding, with a restart marker after every row of MCUs or none.
Bytes EncodeJpeg(int w, int h, bool progressive, bool arith, bool restarts) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    c.input_components = 3;
    c.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    if (progressive) jpeg_simple_progression(&c);
    c.arith_code = arith ? TRUE : FALSE;
    c.restart_in_rows = restarts ? 1 : 0;
    jpeg_start_compress(&c, TRUE);
    hvio::OwnedDib dib(MakeDib(w, h));
    for (ipDibStuff v(dib.get(), false); c.next_scanline < c.image_height;) {
        JSAMPROW row = v.rows[h - 1 - c.next_scanline];
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Bytes bytes(out, out + size);
    std::free(out);
    return bytes;
}

}  // namespace

TEST(ImageIo, PngJpegAndBmpRoundTrips) {
    const std::string png = Temp("img.png"), jpg = Temp("photo.JPG"), bmp = Temp("img.bmp");  // any case
    hvio::OwnedDib dib(MakeDib(37, 23));  // odd width: padded rows
    std::string error;
    const long live = hv::LiveHandles();
    for (const std::string& path : {png, bmp}) {
        ASSERT_TRUE(hvio::WriteImage(dib.get(), path, &error)) << error;
        hvio::OwnedDib back(hvio::ReadImage(path, &error));
        ASSERT_NE(back.get(), nullptr) << error;
        EXPECT_EQ(GlobalSize(back.get()), 40u + 112 * 23);  // 37 x 3 bytes padded to 112
        EXPECT_TRUE(std::isinf(hvio::Psnr(dib.get(), back.get())));
    }
    // An 8-bit image: a palette PNG (PLTE right after the IHDR) that covers
    // every index in use: index 9 of a 4-entry table grows it to 10 (black).
    hvio::OwnedDib pal(MakeDib(3, 2, 8, 4));
    std::copy_n("\x09\x03\x01", 3, ipDibStuff(pal.get(), false).rows[1]);  // the top row; the bottom one is 0
    ASSERT_TRUE(hvio::WriteImage(pal.get(), png, &error)) << error;
    EXPECT_EQ(tool::Slurp(png).substr(25, 1), "\3");
    EXPECT_EQ(tool::Slurp(png).substr(33, 8), std::string("\0\0\0\x1EPLTE", 8));  // 3 x 10 bytes
    hvio::OwnedDib back(hvio::ReadImage(png, &error));
    EXPECT_EQ(TopRow(back.get(), 3), Colours("000000 5a3c1e 1e140a"));
    // JPEG comes back close.
    hvio::OwnedDib quad(MakeDib(64, 48));
    ASSERT_TRUE(hvio::WriteImage(quad.get(), jpg, &error)) << error;
    back.reset(hvio::ReadImage(jpg, &error));
    EXPECT_GT(hvio::Psnr(quad.get(), back.get()), 25.0) << error;
    // Grey and CMYK JPEGs: left-to-right ramps, white to black, yellow to blue.
    back.reset(hvio::ReadImage(Corpus("good_grey.jpg"), &error));
    EXPECT_TRUE(Near(At(back.get(), 0, 4), {255, 255, 255}, 6) && Near(At(back.get(), 15, 4), {0, 0, 0}, 6));
    back.reset(hvio::ReadImage(Corpus("good_cmyk.jpg"), &error));
    EXPECT_TRUE(Near(At(back.get(), 0, 4), {0, 255, 255}, 12) &&
                Near(At(back.get(), 15, 4), {255, 0, 0}, 12));
    back.reset(nullptr);
    EXPECT_EQ(hv::LiveHandles(), live);  // the library's own bitmap handles are freed
    for (const std::string& f : {png, jpg, bmp}) std::remove(f.c_str());
}

TEST(ImageIo, PngColourTypesAreExpandedToRgb) {
    for (const auto& c : tool::Rows("png_colour_types.txt")) {
        SCOPED_TRACE(c.at(0));
        std::istringstream head(c.at(1)), scanlines(c.at(2));
        uint32_t w = 0, h = 0;
        int depth = 0, type = 0, interlaced = 0;
        head >> w >> h >> depth >> type >> interlaced;
        std::vector<Bytes> rows;
        for (std::string line; std::getline(scanlines, line, '/');) rows.push_back(Hex(line));
        const Bytes png = Png(w, h, depth, type, rows, Hex(c.at(3)), Hex(c.at(4)), interlaced);
        std::string error;
        hvio::OwnedDib d(hvio::detail::DecodePng(png.data(), png.size(), &error));
        const std::vector<Bgr> top = Colours(c.at(5));
        EXPECT_EQ(TopRow(d.get(), top.size()), top) << error;
    }
}

TEST(ImageIo, EveryJpegCodingDecodes) {
    hvio::OwnedDib want(MakeDib(96, 96));
    for (int k = 0; k < 8; ++k) {
        SCOPED_TRACE(k);  // progressive, arithmetic-coded, with restarts by its bits
        const Bytes jpeg = EncodeJpeg(96, 96, k & 1, k & 2, k & 4);
        std::string error;
        hvio::OwnedDib got(hvio::detail::DecodeJpeg(jpeg.data(), jpeg.size(), &error));
        EXPECT_GT(hvio::Psnr(want.get(), got.get()), 30.0) << error;
    }
}

TEST(ImageIo, DamagedFilesAreRefusedWithAMessage) {
    // Every file of the corpus but the good ones, each refused with a message
    // that names it and says why (in the table's words where it gives them).
    std::map<std::string, std::string> reasons;
    for (const auto& row : tool::Rows("imageio_refusals.txt")) reasons[row.at(0)] = row.at(1);
    std::set<std::string> names = {"no_such_file.png", ""};
    DIR* dir = opendir(Corpus("").c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.' && std::strncmp(e->d_name, "good_", 5) &&
            std::strcmp(e->d_name, "make_corpus.py"))
            names.insert(e->d_name);
    closedir(dir);
    EXPECT_EQ(names.size(), 23u);
    const long live = hv::LiveHandles();
    for (const std::string& name : names) {
        std::string error;
        EXPECT_EQ(hvio::ReadImage(Corpus(name), &error), nullptr) << name;
        EXPECT_TRUE(Contains(error, name) && Contains(error, reasons[name])) << error;
        EXPECT_GT(error.size(), name.size() + 10) << error;  // names the file and says why
    }
    EXPECT_EQ(hvio::ReadImage(Corpus("random.bin"), nullptr), nullptr);  // no message wanted
    EXPECT_EQ(hv::LiveHandles(), live);
}

TEST(ImageIo, RefusedWritesAndPsnr) {
    hvio::OwnedDib a(MakeDib(6, 4)), b(MakeDib(6, 4));
    ipDibStuff(b.get(), false).rows[0][0] ^= 1;  // one sample of 72 off by one
    EXPECT_NEAR(hvio::Psnr(a.get(), b.get()), 10 * std::log10(255.0 * 255.0 * 72), 1e-9);
    std::string error;
    EXPECT_FALSE(hvio::WriteImage(nullptr, Temp("null.bmp"), &error));
    ipDibStuff(a.get(), false).header->biHeight = 400;  // more rows than the handle holds
    EXPECT_FALSE(hvio::WriteImage(a.get(), Temp("liar.png"), &error));
    EXPECT_TRUE(tool::Slurp(Temp("liar.png")).empty());
}

TEST(ImageIo, PixelLimitMemoryLimitAndPlausibility) {
    // The images of tests/data/cli/pixel_limits.txt, those of 1000 x 1000
    // made of zero bytes, enough for the rows of all 7 passes.
    const std::map<std::string, Bytes> files = {
        {"flat.png", Png(1000, 1000, 1, 0, std::vector<Bytes>(1000, Bytes(125, 0)), {}, {0, 0})},
        {"laced.png", Png(1000, 1000, 1, 0, std::vector<Bytes>(1000, Bytes(250, 0)), {}, {0, 0}, true)},
        {"sequential.jpg", EncodeJpeg(256, 256, false, false, false)},
        {"progressive.jpg", EncodeJpeg(256, 256, true, false, false)}};
    for (const auto& c : tool::Rows("pixel_limits.txt")) {
        const Bytes& file = files.at(c.at(0));
        const long long limit = std::stoll(c.at(1));
        const bool png = file[0] == 0x89;
        std::string error;
        hvio::OwnedDib got(png ? hvio::detail::DecodePng(file.data(), file.size(), &error, limit)
                               : hvio::detail::DecodeJpeg(file.data(), file.size(), &error, limit));
        EXPECT_TRUE(c.at(2) == "-" ? got.get() != nullptr : !got.get() && Contains(error, c[2]))
            << c[1] << error;
        if (got.get() && png) EXPECT_EQ(At(got.get(), 999, 999), (Bgr{255, 255, 255}));  // transparent: white
    }
}

TEST(ImageIo, OneSixteenAndThirtyTwoBitDibsConvertToRgb) {
    for (const auto& c : tool::Rows("dib_depths.txt")) {
        const int bits = std::stoi(c.at(0));
        const Bytes row = Hex(c.at(1));
        const std::vector<Bgr> want = Colours(c.at(2));
        hvio::OwnedDib dib(MakeDib(static_cast<int>(want.size()), 1, bits, bits == 1 ? 2 : 0));
        std::memcpy(static_cast<BYTE*>(GlobalLock(dib.get())) + 40 + (bits == 1 ? 8 : 0), row.data(),
                    row.size());
        GlobalUnlock(dib.get());
        std::string error;
        hvio::OwnedDib rgb(hvio::ToRgb24(dib.get(), &error));
        EXPECT_EQ(TopRow(rgb.get(), want.size()), want) << bits << error;
    }
}
