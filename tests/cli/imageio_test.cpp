// Image files: round trips through PNG, JPEG and BMP, expansion of the PNG
// colour types, every JPEG coding, damaged files and the reading limits.
#include "imageio.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
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
std::string Corpus(const std::string& name) { return std::string(HUEVANE_TEST_DATA) + "/imageio/" + name; }

struct Bgr {
    int b, g, r;
};
Bgr Pattern(int x, int y) {
    return {(x * 37 + y * 11) & 255, (x * 5 + y * 71) & 255, (x * y * 3 + 17) & 255};
}
// A gentle ramp, which JPEG keeps well.
Bgr Smooth(int x, int y) { return {(2 * x + y) & 255, (3 * y) & 255, (200 - x) & 255}; }

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

// A host 8-bit DIB with a table of `entries` entries, entry i being blue
// 10i, green 20i, red 30i, and zero pixels.
void* MakePalette8(int w, int h, int entries) {
    void* dib = GlobalAlloc(GHND, 40 + 4 * entries + hv::RowBytes(w, 8) * h);
    auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    *hd = {40, w, h, 1, 8, BI_RGB, 0, 0, 0, DWORD(entries), 0};
    for (int i = 0; i < entries; ++i)
        reinterpret_cast<tagRGBQUAD*>(hd + 1)[i] = {BYTE(10 * i), BYTE(20 * i), BYTE(30 * i), 0};
    GlobalUnlock(dib);
    return dib;
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

// A JPEG of the Smooth ramp made by libjpeg: progressive or sequential, Huffman
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
    hvio::OwnedDib dib(MakeDib24(w, h, Smooth));
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
    hvio::OwnedDib dib(MakeDib24(37, 23));  // odd width: padded rows
    std::string error;
    ASSERT_TRUE(hvio::WriteImage(dib.get(), png, &error)) << error;
    const long live = hv::LiveHandles();
    for (const std::string& path : {png, bmp}) {
        if (path == bmp) {
            ASSERT_TRUE(hvio::WriteImage(dib.get(), bmp, &error)) << error;
        }
        hvio::OwnedDib back(hvio::ReadImage(path, &error));
        ASSERT_NE(back.get(), nullptr) << error;
        EXPECT_EQ(GlobalSize(back.get()), 40u + 112 * 23);  // 37 x 3 bytes padded to 112
        EXPECT_TRUE(std::isinf(hvio::Psnr(dib.get(), back.get())));
    }
    // An 8-bit image: a palette PNG (PLTE right after the IHDR) that covers
    // every index in use: index 9 of a 4-entry table grows it to 10 (black);
    // a bitmap keeps the depth.
    hvio::OwnedDib pal(MakePalette8(3, 2, 4));
    ipDibStuff(pal.get(), false).rows[1][0] = 9, ipDibStuff(pal.get(), false).rows[1][1] = 3;
    ipDibStuff(pal.get(), false).rows[0][2] = 1;  // rows[0] is the bottom
    ASSERT_TRUE(hvio::WriteImage(pal.get(), png, &error)) << error;
    EXPECT_EQ(tool::Slurp(png).substr(25, 1), "\3");
    EXPECT_EQ(tool::Slurp(png).substr(33, 8), std::string("\0\0\0\x1EPLTE", 8));  // 3 x 10 bytes
    hvio::OwnedDib back(hvio::ReadImage(png, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    const Bgr want[2][3] = {{{0, 0, 0}, {30, 60, 90}, {0, 0, 0}}, {{0, 0, 0}, {0, 0, 0}, {10, 20, 30}}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) ExpectPixel(back.get(), x, y, want[y][x]);
    pal.reset(MakePalette8(3, 2, 256));
    ipDibStuff(pal.get(), false).rows[1][2] = 2;
    ASSERT_TRUE(hvio::WriteImage(pal.get(), bmp, &error)) << error;
    back.reset(hvio::ReadImage(bmp, &error));
    {
        ipDibStuff v(back.get(), false);
        EXPECT_TRUE(v.isPalette8() && v.rows[1][2] == 2 && v.colors[2].rgbRed == 60);
    }

    // JPEG comes back close.
    hvio::OwnedDib quad(MakeDib24(64, 48, Smooth));
    ASSERT_TRUE(hvio::WriteImage(quad.get(), jpg, &error)) << error;
    EXPECT_EQ(tool::Slurp(jpg).substr(0, 2), "\xFF\xD8");
    back.reset(hvio::ReadImage(jpg, &error));
    ASSERT_NE(back.get(), nullptr) << error;
    EXPECT_GT(hvio::Psnr(quad.get(), back.get()), 25.0);
    // Grey and CMYK JPEGs: left-to-right ramps, white to black, yellow to blue.
    back.reset(hvio::ReadImage(Corpus("good_grey.jpg"), &error));
    ExpectPixel(back.get(), 0, 4, {255, 255, 255}, 6);
    ExpectPixel(back.get(), 15, 4, {0, 0, 0}, 6);
    back.reset(hvio::ReadImage(Corpus("good_cmyk.jpg"), &error));
    ExpectPixel(back.get(), 0, 4, {0, 255, 255}, 12);
    ExpectPixel(back.get(), 15, 4, {255, 0, 0}, 12);
    back.reset(nullptr);
    EXPECT_EQ(hv::LiveHandles(), live);  // the library's own bitmap handles are freed
    for (const std::string& f : {png, jpg, bmp}) std::remove(f.c_str());
}

TEST(ImageIo, PngColourTypesAreExpandedToRgb) {
    const Bytes plte = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    const struct {
        const char* what;
        Bytes png;
        std::vector<Bgr> top;  // the top row, left to right
    } cases[] = {
        {"grey 8", Png(3, 1, 8, 0, {{0, 128, 255}}), {{0, 0, 0}, {128, 128, 128}, {255, 255, 255}}},
        {"grey 1", Png(4, 1, 1, 0, {{0xB0}}), {{255, 255, 255}, {0, 0, 0}, {255, 255, 255}, {255, 255, 255}}},
        {"palette 4", Png(3, 1, 4, 3, {{0x12, 0x00}}, plte), {{0, 255, 0}, {255, 0, 0}, {0, 0, 255}}},
        {"palette 8", Png(3, 1, 8, 3, {{2, 0, 1}}, plte), {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}}},
        // Alpha over white, rounded: (1 x 128 + 255 x 127 + 127) / 255 = 128.
        {"palette tRNS",
         Png(3, 1, 8, 3, {{0, 1, 2}}, {0, 0, 0, 1, 0, 0, 0, 0, 100}, {0, 128}),
         {{255, 255, 255}, {127, 127, 128}, {100, 0, 0}}},
        // 16 bits to 8 with rounding: 0x1234 / 257 = 18.1, 0x0081 / 257 = 0.5.
        {"rgb 16",
         Png(2, 1, 16, 2, {{0xFF, 0xFF, 0, 0, 0x80, 0x80, 0x12, 0x34, 0, 0x81, 0xFE, 0xFF}}),
         {{0x80, 0, 255}, {254, 1, 18}}},
        // (3 x 51 + 255 x 204 + 127) / 255 = 205.1
        {"rgba 8",
         Png(3, 1, 8, 6, {{10, 20, 30, 0, 10, 20, 30, 255, 3, 100, 200, 51}}),
         {{255, 255, 255}, {30, 20, 10}, {244, 224, 205}}},
        {"grey alpha 16",
         Png(2, 1, 16, 4, {{0x40, 0, 0xFF, 0xFF, 0x40, 0, 0, 0}}),
         {{64, 64, 64}, {255, 255, 255}}},
        {"grey tRNS", Png(2, 1, 8, 0, {{7, 9}}, {}, {0, 7}), {{255, 255, 255}, {9, 9, 9}}},
        // Adam7 passes of a 2 x 2 image: (0,0); (1,0); the bottom row.
        {"interlaced", Png(2, 2, 8, 0, {{10}, {20}, {30, 40}}, {}, {}, true), {{10, 10, 10}, {20, 20, 20}}},
        {"row order", Png(2, 2, 8, 3, {{0, 1}, {2, 2}}, plte), {{0, 0, 255}, {0, 255, 0}}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string error;
        hvio::OwnedDib d(hvio::detail::DecodePng(c.png.data(), c.png.size(), &error));
        ASSERT_NE(d.get(), nullptr) << error;
        for (size_t x = 0; x < c.top.size(); ++x) ExpectPixel(d.get(), static_cast<int>(x), 0, c.top[x]);
    }
}

TEST(ImageIo, EveryJpegCodingDecodesAndScansCutShortAreRefused) {
    hvio::OwnedDib want(MakeDib24(96, 96, Smooth));
    for (int k = 0; k < 8; ++k) {
        const bool progressive = k & 1, arith = k & 2, restarts = k & 4;
        SCOPED_TRACE(std::string(progressive ? "progressive" : "sequential") +
                     (arith ? " arithmetic" : " Huffman") + (restarts ? " with restarts" : ""));
        const Bytes jpeg = EncodeJpeg(96, 96, progressive, arith, restarts);
        std::string error;
        hvio::OwnedDib got(hvio::detail::DecodeJpeg(jpeg.data(), jpeg.size(), &error));
        ASSERT_NE(got.get(), nullptr) << error;
        EXPECT_GT(hvio::Psnr(want.get(), got.get()), 30.0);
        if (restarts) continue;
        // The first scan cut in the middle. A file that simply ends there is
        // refused. Closed right after by an end-of-image marker, a Huffman
        // scan is refused too; an arithmetic-coded one is decoded, its decoder
        // reading zeros past the data as that coding defines (encoders drop
        // trailing zero bytes, so good files end their scans early).
        size_t sos = 2;
        while (sos + 3 < jpeg.size() && !(jpeg[sos] == 0xFF && jpeg[sos + 1] == 0xDA))
            sos += 2 + (size_t(jpeg[sos + 2]) << 8 | jpeg[sos + 3]);
        const size_t data = sos + 2 + (size_t(jpeg[sos + 2]) << 8 | jpeg[sos + 3]);
        size_t end = data;  // the first marker other than a restart
        while (end + 1 < jpeg.size() &&
               !(jpeg[end] == 0xFF && jpeg[end + 1] && (jpeg[end + 1] & 0xF8) != 0xD0))
            ++end;
        ASSERT_GT(end, data + 8);
        for (const bool closed : {false, true}) {
            Bytes bytes(jpeg.begin(), jpeg.begin() + static_cast<long>(data + (end - data) / 2));
            if (closed) bytes.insert(bytes.end(), {0xFF, 0xD9});
            got.reset(hvio::detail::DecodeJpeg(bytes.data(), bytes.size(), &error));
            EXPECT_EQ(got.get() != nullptr, closed && arith) << error;
            EXPECT_TRUE(got.get() || Contains(error, closed ? "premature end of data segment"
                                                            : "Premature end of JPEG file"))
                << error;
        }
    }
}

TEST(ImageIo, DamagedFilesAreRefusedWithAMessage) {
    // Every file of the corpus but the good ones, each refused with a message
    // that names it and says why (in these words where given).
    const std::map<std::string, std::string> reasons = {
        {"claims_too_much.jpg", "too short for the 4000 x 4000"},
        {"claims_too_much.png", "too short for the 8000 x 8000"},
        {"empty.png", "empty"},
        {"gif_named.png", "a GIF image"},
        {"huge_100000x100000.png", "100000 x 100000"},
        {"huge_65000x65000.jpg", "beyond the limit"},
        {"arith_progressive_16384.jpg", "16384 x 16384 pixels is beyond the limit of 178000000 pixels"},
        {"arith_empty_scan_4096.jpg", "too short for the 4096 x 4096 pixels"},
        {"interlaced_alpha_16384.png", "16384 x 16384 pixels is beyond the limit of 178000000 pixels"},
        {"text_named.png", "not a BMP, PNG or JPEG"},
        {"truncated_half.jpg", "Premature end"},
        {"truncated_in_idat.png", "truncated"},
        {"no_such_file.png", "No such file"},
        {"", "read error"}};  // the folder itself
    std::vector<std::string> names = {"no_such_file.png", ""};
    DIR* dir = opendir(Corpus("").c_str());
    ASSERT_NE(dir, nullptr);
    while (dirent* e = readdir(dir))
        if (e->d_name[0] != '.' && std::strncmp(e->d_name, "good_", 5) &&
            std::strcmp(e->d_name, "make_corpus.py"))
            names.push_back(e->d_name);
    closedir(dir);
    EXPECT_EQ(names.size(), 23u);
    const long live = hv::LiveHandles();
    for (const std::string& name : names) {
        std::string error;
        EXPECT_EQ(hvio::ReadImage(Corpus(name), &error), nullptr) << name;
        const auto reason = reasons.find(name);
        EXPECT_TRUE(Contains(error, name) && (reason == reasons.end() || Contains(error, reason->second)))
            << error;
        EXPECT_GT(error.size(), name.size() + 10) << error;  // names the file and says why
    }
    EXPECT_EQ(hvio::ReadImage(Corpus("random.bin"), nullptr), nullptr);  // no message wanted
    for (const std::string& head : {std::string("MM\0*", 4), std::string("RIFF\0\0\0\0WEBPVP8 ", 16)}) {
        std::string error;
        tool::Write(Temp("other"), head + "more");
        EXPECT_EQ(hvio::ReadImage(Temp("other"), &error), nullptr);
        EXPECT_TRUE(Contains(error, head[0] == 'M' ? "a TIFF image" : "a WebP image")) << error;
    }
    EXPECT_EQ(hv::LiveHandles(), live);

    // Every 7th cut of a good file is refused (only a cut in the PNG's
    // closing chunk may still give the image).
    hvio::OwnedDib dib(MakeDib24(20, 12));
    for (const char* ext : {".png", ".jpg"}) {
        const std::string good = Temp(std::string("good") + ext), bad = Temp(std::string("bad") + ext);
        std::string error;
        ASSERT_TRUE(hvio::WriteImage(dib.get(), good, &error)) << error;
        const std::string bytes = tool::Slurp(good);
        for (size_t n = 0; n < bytes.size(); n += 7) {
            tool::Write(bad, bytes.substr(0, n));
            hvio::OwnedDib part(hvio::ReadImage(bad, &error));
            EXPECT_TRUE(!part.get() || (ext[1] == 'p' && n >= bytes.size() - 12)) << ext << " cut at " << n;
        }
        std::remove(good.c_str());
        std::remove(bad.c_str());
    }
}

TEST(ImageIo, RefusedWritesAndPsnr) {
    hvio::OwnedDib a(MakeDib24(6, 4, [](int, int) { return Bgr{100, 100, 100}; }));
    hvio::OwnedDib b(MakeDib24(6, 4, [](int, int) { return Bgr{101, 100, 100}; }));
    EXPECT_NEAR(hvio::Psnr(a.get(), b.get()), 10 * std::log10(255.0 * 255.0 * 3), 1e-9);  // MSE 1/3
    std::string error;
    for (const std::string& path : {Temp("x.gif"), std::string("/no/such/folder/x.png")}) {
        error.clear();
        EXPECT_FALSE(hvio::WriteImage(a.get(), path, &error) || error.empty()) << path;
    }
    EXPECT_FALSE(hvio::WriteImage(nullptr, Temp("null.bmp"), &error));
    ipDibStuff(a.get(), false).header->biHeight = 400;  // more rows than the handle holds
    EXPECT_FALSE(hvio::WriteImage(a.get(), Temp("liar.png"), &error));
    EXPECT_TRUE(tool::Slurp(Temp("liar.png")).empty());
}

TEST(ImageIo, PixelLimitMemoryLimitAndPlausibility) {
    // 1000 x 1000 grey pixels of one bit with a transparent grey: 3 MB of
    // image; interlaced, 4 MB more for the passes (rows do not count). Its
    // image data: zero bytes, enough for the rows of all 7 passes.
    const Bytes flat = Png(1000, 1000, 1, 0, std::vector<Bytes>(1000, Bytes(125, 0)), {}, {0, 0});
    const Bytes laced = Png(1000, 1000, 1, 0, std::vector<Bytes>(1000, Bytes(250, 0)), {}, {0, 0}, true);
    const Bytes sequential = EncodeJpeg(256, 256, false, false, false);
    const Bytes progressive = EncodeJpeg(256, 256, true, false, false);
    // A progressive JPEG keeps all its coefficients while decoding: 128
    // bytes a block, 2 bytes a pixel of luma and 1/2 of each subsampled
    // chroma: 196,608 bytes at 256 x 256, as much as the image itself.
    const struct {
        const Bytes* file;
        long long maxPixels;
        const char* refusal;  // null: decoded
    } cases[] = {{&flat, 1000000, nullptr},
                 {&flat, 999999, "beyond the limit of 999999 pixels"},
                 {&laced, 1000000, "would take 7 MB"},  // 3,000,000 + 4,000,000 bytes
                 {&laced, 2333334, nullptr},            // a budget of 7,000,002 bytes
                 {&laced, 2333333, "would take"},
                 {&sequential, 65536, nullptr},
                 {&sequential, 65535, "beyond the limit of 65535 pixels"},
                 {&progressive, 131072, nullptr},
                 {&progressive, 131070, "would take"}};
    std::string error;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.maxPixels);
        const bool isPng = c.file->at(0) == 0x89;
        hvio::OwnedDib got(
            isPng ? hvio::detail::DecodePng(c.file->data(), c.file->size(), &error, c.maxPixels)
                  : hvio::detail::DecodeJpeg(c.file->data(), c.file->size(), &error, c.maxPixels));
        EXPECT_EQ(got.get() == nullptr, c.refusal != nullptr) << error;
        if (c.refusal) {
            EXPECT_TRUE(Contains(error, c.refusal)) << error;
        }
        if (got.get() && isPng) ExpectPixel(got.get(), 999, 999, {255, 255, 255});  // transparent over white
    }
    // A bitmap is held to the pixel limit too.
    const std::string bmp = Temp("limit.bmp");
    hvio::OwnedDib small(MakeDib24(30, 20));
    ASSERT_TRUE(hvio::WriteImage(small.get(), bmp, &error)) << error;
    EXPECT_NE(hvio::OwnedDib(hvio::ReadImage(bmp, &error, 600)).get(), nullptr) << error;
    EXPECT_EQ(hvio::ReadImage(bmp, &error, 599), nullptr);
    EXPECT_TRUE(Contains(error, "a BMP of 30 x 20 pixels is beyond the limit of 599 pixels")) << error;
    std::remove(bmp.c_str());
}

TEST(ImageIo, SixteenAndThirtyTwoBitDibsConvertToRgb) {
    // 16 bits as x-r5-g5-b5, each sample widened by repeating its top bits;
    // 32 bits as blue, green, red and a byte unused.
    const std::pair<int, Bytes> cases[] = {{16, {0xE0, 0x03, 0x41, 0x40}}, {32, {1, 2, 3, 9, 4, 5, 6, 9}}};
    const Bgr want[2][2] = {{{0, 255, 0}, {8, 16, 132}}, {{1, 2, 3}, {4, 5, 6}}};
    for (int k = 0; k < 2; ++k) {
        hvio::OwnedDib dib(GlobalAlloc(GHND, 40 + 8));
        auto* hd = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib.get()));
        *hd = {40, 2, 1, 1, WORD(cases[k].first), BI_RGB, 0, 0, 0, 0, 0};
        std::memcpy(hd + 1, cases[k].second.data(), cases[k].second.size());
        GlobalUnlock(dib.get());
        std::string error;
        hvio::OwnedDib rgb(hvio::ToRgb24(dib.get(), &error));
        ASSERT_NE(rgb.get(), nullptr) << error;
        ExpectPixel(rgb.get(), 0, 0, want[k][0]);
        ExpectPixel(rgb.get(), 1, 0, want[k][1]);
    }
}
