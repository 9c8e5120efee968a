// PNG reading over libpng; PNG writing over zlib.
//
// libpng reports read errors by longjmp back to the setjmp of the call. The
// decoder that calls setjmp therefore holds nothing with a destructor, and
// keeps everything it allocates in a job structure owned by its caller,
// which releases it on either outcome.
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"
#include "platform/workers.h"

namespace hvio {
namespace detail {
namespace {

struct PngJob {
    std::jmp_buf jump;
    char message[256];
};

struct PngReadJob : PngJob {
    const unsigned char* begin;
    const unsigned char* pos;  // unread input
    const unsigned char* end;
    void* dib;            // the result; freed by the caller on failure
    BYTE* bits;           // the locked pixels of dib
    unsigned char* rgba;  // decoded rows of an image with alpha
    png_bytep* rowPtrs;   // one pointer per decoded row, top row first
    long long maxPixels;  // the reading limit
};

void OnError(png_structp png, png_const_charp msg) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", msg);
    std::longjmp(job->jump, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep out, size_t n) {
    auto* job = static_cast<PngReadJob*>(png_get_io_ptr(png));
    if (static_cast<size_t>(job->end - job->pos) < n) png_error(png, "the PNG data is truncated");
    std::memcpy(out, job->pos, n);
    job->pos += n;
}

// Blends a row of blue, green, red, alpha pixels over white into 24 bits.
void OverWhite(const unsigned char* in, BYTE* out, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned a = in[3];
        for (int c = 0; c < 3; ++c) out[c] = static_cast<BYTE>((in[c] * a + 255 * (255 - a) + 127) / 255);
    }
}

// WithinLimits for the job's file; false with the job's message set. Kept
// out of RunDecode, which may not hold a string across its longjmp.
bool CheckLimits(PngReadJob* job, png_uint_32 width, png_uint_32 height, uint64_t scratch) {
    std::string why;
    if (WithinLimits("PNG", width, height, uint64_t(job->end - job->begin), 8256, scratch, job->maxPixels,
                     &why))
        return true;
    std::snprintf(job->message, sizeof job->message, "%s", why.c_str());
    return false;
}

bool RunDecode(PngReadJob* job) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, static_cast<PngJob*>(job), OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    if (setjmp(job->jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, job, ReadBytes);
    png_set_user_limits(png, hv::kMaxSide, hv::kMaxSide);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, type = 0, interlace = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &type, &interlace, nullptr, nullptr);
    if (depth == 16) png_set_scale_16(png);
    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const int channels = png_get_channels(png, info);
    if ((channels != 3 && channels != 4) || png_get_rowbytes(png, info) != size_t(width) * channels)
        png_error(png, "unexpected PNG layout after expansion");
    // Deflate packs at most 1032 bytes into one, and a pixel takes at least
    // 1/8 byte before packing: a header claiming more pixels than that is
    // refused before its image is allocated. An interlaced image with alpha
    // is decoded whole into a buffer of 4 bytes a pixel first, which counts
    // against the memory limit with the image (buffers of a row do not).
    const uint64_t scratch = channels == 4 && passes > 1 ? 4 * uint64_t(width) * height : 0;
    if (!CheckLimits(job, width, height, scratch)) std::longjmp(job->jump, 1);

    job->dib = NewDib(width, height, 24, nullptr);
    if (!job->dib) png_error(png, "out of memory");
    job->bits = static_cast<BYTE*>(GlobalLock(job->dib)) + sizeof(BITMAPINFOHEADER);
    const size_t stride = static_cast<size_t>(hv::RowBytes(width, 24));
    auto dibRow = [&](png_uint_32 y) { return job->bits + (height - 1 - y) * stride; };  // from the top

    if (channels == 3) {
        job->rowPtrs = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
        if (!job->rowPtrs) png_error(png, "out of memory");
        for (png_uint_32 y = 0; y < height; ++y) job->rowPtrs[y] = dibRow(y);
        png_read_image(png, job->rowPtrs);
    } else if (passes == 1) {
        // Alpha without interlacing: one row at a time through a scratch row.
        job->rgba = static_cast<unsigned char*>(std::malloc(size_t(width) * 4));
        if (!job->rgba) png_error(png, "out of memory");
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, job->rgba, nullptr);
            OverWhite(job->rgba, dibRow(y), width);
        }
    } else {
        // Interlaced with alpha: the passes need the whole image at once.
        job->rgba = static_cast<unsigned char*>(std::malloc(size_t(width) * 4 * height));
        job->rowPtrs = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
        if (!job->rgba || !job->rowPtrs) png_error(png, "out of memory");
        for (png_uint_32 y = 0; y < height; ++y) job->rowPtrs[y] = job->rgba + size_t(width) * 4 * y;
        png_read_image(png, job->rowPtrs);
        for (png_uint_32 y = 0; y < height; ++y) OverWhite(job->rowPtrs[y], dibRow(y), width);
    }
    // Chunks after the image data are not needed; a missing end is tolerated.
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

// PNG writing: our own chunks around zlib, so that the compression can
// share the rows among threads.

void Put32(unsigned char* p, uint32_t v) {
    p[0] = BYTE(v >> 24);
    p[1] = BYTE(v >> 16);
    p[2] = BYTE(v >> 8);
    p[3] = BYTE(v);
}

bool WriteChunk(std::FILE* out, const char* type, const unsigned char* data, size_t size) {
    unsigned char head[8], tail[4];
    Put32(head, uint32_t(size));
    std::memcpy(head + 4, type, 4);
    uLong crc = crc32(0, head + 4, 4);
    if (size) crc = crc32(crc, data, uInt(size));
    Put32(tail, uint32_t(crc));
    return std::fwrite(head, 1, 8, out) == 8 && (!size || std::fwrite(data, 1, size, out) == size) &&
           std::fwrite(tail, 1, 4, out) == 4;
}

struct Block {
    std::vector<unsigned char> bytes;  // raw deflate data
    uLong adler = 1;                   // of the block's scanlines
    size_t length = 0;                 // their bytes
    bool ok = false;
    std::string message;
};

// Rows y0..y1 (from the top) as PNG scanlines, deflated on their own. A
// palette image's rows are stored unfiltered; a photo's against the row
// above (about as small as choosing a filter per row, and much cheaper).
Block Compress(ipDibStuff& view, bool palette, int y0, int y1, int level, bool last) {
    Block b;
    const int w = view.width(), h = view.height();
    const size_t line = 1 + size_t(w) * (palette ? 1 : 3);
    std::vector<unsigned char> lines(line * size_t(y1 - y0));
    const std::vector<BYTE> none(y0 == 0 && !palette ? 3 * size_t(w) : 0, 0);  // above the top row
    for (int y = y0; y < y1; ++y) {
        unsigned char* d = &lines[line * size_t(y - y0)];
        const BYTE* row = view.rows[size_t(h - 1 - y)];
        if (palette) {
            d[0] = 0;
            std::memcpy(d + 1, row, size_t(w));
            continue;
        }
        const BYTE* above = y > 0 ? view.rows[size_t(h - y)] : none.data();
        d[0] = 2;
        for (int x = 0; x < 3 * w; x += 3) {  // blue, green, red to red, green, blue
            d[1 + x] = BYTE(row[x + 2] - above[x + 2]);
            d[2 + x] = BYTE(row[x + 1] - above[x + 1]);
            d[3 + x] = BYTE(row[x] - above[x]);
        }
    }
    b.length = lines.size();
    b.adler = adler32(1, lines.data(), uInt(lines.size()));
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        b.message = "cannot start zlib";
        return b;
    }
    b.bytes.resize(deflateBound(&z, uLong(lines.size())) + 16);
    z.next_in = lines.data();
    z.avail_in = uInt(lines.size());
    z.next_out = b.bytes.data();
    z.avail_out = uInt(b.bytes.size());
    const int r = deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
    b.ok = last ? r == Z_STREAM_END : r == Z_OK && z.avail_in == 0;
    b.bytes.resize(z.total_out);
    deflateEnd(&z);
    if (!b.ok) b.message = "zlib failed";
    return b;
}

}  // namespace

void* DecodePng(const unsigned char* data, size_t size, std::string* error, long long maxPixels) {
    PngReadJob job{};
    job.begin = job.pos = data;
    job.end = data + size;
    job.maxPixels = maxPixels;
    const bool ok = RunDecode(&job);
    std::free(job.rgba);
    std::free(job.rowPtrs);
    if (job.bits) GlobalUnlock(job.dib);
    if (!ok) {
        if (job.dib) GlobalFree(job.dib);
        if (error) *error = job.message;
        return nullptr;
    }
    return job.dib;
}

bool EncodePng(void* dib, std::FILE* out, int level, std::string* error) {
    ipDibStuff view(dib, false);
    if (!view.usable() || (view.bitCount() != 8 && view.bitCount() != 24)) {
        if (error) *error = "only uncompressed 8-bit and 24-bit images can be written as PNG";
        return false;
    }
    const bool palette = view.bitCount() == 8;
    const int w = view.width(), h = view.height();
    const size_t line = 1 + size_t(w) * (palette ? 1 : 3);  // filter byte and pixels
    std::vector<unsigned char> head(13);
    Put32(&head[0], uint32_t(w));
    Put32(&head[4], uint32_t(h));
    head[8] = 8;
    head[9] = palette ? 3 : 2;
    std::string fail;
    auto write = [&](const char* type, const unsigned char* data, size_t size) {
        if (fail.empty() && !WriteChunk(out, type, data, size)) fail = "write error";
    };
    if (std::fwrite("\x89PNG\r\n\x1a\n", 1, 8, out) != 8) fail = "write error";
    write("IHDR", head.data(), head.size());
    if (palette) {
        // The palette covers every index in use, even one past the colour
        // table (written black), so that readers never meet a bad index.
        int top = 0;
        for (const BYTE* row : view.rows)
            for (int x = 0; x < w; ++x) top = std::max<int>(top, row[x]);
        const int known = std::min(view.numColors, 256), count = std::max(known, top + 1);
        std::vector<unsigned char> plte(size_t(count) * 3, 0);
        for (int i = 0; i < known; ++i) {
            plte[3 * i] = view.colors[i].rgbRed;
            plte[3 * i + 1] = view.colors[i].rgbGreen;
            plte[3 * i + 2] = view.colors[i].rgbBlue;
        }
        write("PLTE", plte.data(), plte.size());
    }
    // The scanlines, top row first, go through zlib in blocks of about a
    // megabyte, each compressed on its own and ended with a full flush so
    // that the blocks join into one stream. The blocks depend on the image
    // alone, so the file is the same whatever the number of threads.
    const int blockRows = int(std::clamp<size_t>((size_t(1) << 20) / line, 1, size_t(h)));
    const int blocks = (h + blockRows - 1) / blockRows;
    // The zlib stream: its two-byte header, the blocks, the Adler-32 of all
    // scanlines. Blocks are made a few at a time and written in order, so
    // that only those few are held.
    constexpr int kGroup = 8;
    std::vector<unsigned char> data = {0x78, 0x01};
    uLong adler = adler32(0, nullptr, 0);
    for (int g0 = 0; g0 < blocks; g0 += kGroup) {
        const int n = std::min(kGroup, blocks - g0);
        std::vector<Block> packed(static_cast<size_t>(n));
        try {
            hv::RunParts(hv::WorkersFor(int64_t(w) * h, n), n, [&](int, int b0, int b1) {
                for (int b = g0 + b0; b < g0 + b1; ++b) {
                    const int y0 = b * blockRows, y1 = std::min(h, y0 + blockRows);
                    packed[size_t(b - g0)] = Compress(view, palette, y0, y1, level, b + 1 == blocks);
                }
            });
        } catch (const std::bad_alloc&) {
            if (error) *error = "PNG encoding failed: out of memory";
            return false;
        }
        for (const Block& b : packed) {
            if (!b.ok) {
                if (error) *error = "PNG encoding failed: " + b.message;
                return false;
            }
            data.insert(data.end(), b.bytes.begin(), b.bytes.end());
            adler = adler32_combine(adler, b.adler, z_off_t(b.length));
        }
        if (g0 + n < blocks) {
            write("IDAT", data.data(), data.size());
            data.clear();
        }
    }
    data.resize(data.size() + 4);
    Put32(&data[data.size() - 4], uint32_t(adler));
    write("IDAT", data.data(), data.size());
    write("IEND", nullptr, 0);
    if (!fail.empty()) {
        if (error) *error = "PNG encoding failed: " + fail;
        return false;
    }
    return true;
}

}  // namespace detail
}  // namespace hvio
