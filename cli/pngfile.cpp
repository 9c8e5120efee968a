// PNG reading and writing over libpng.
//
// libpng reports errors by longjmp back to the setjmp of the call. The
// functions that call setjmp therefore hold nothing with a destructor, and
// keep everything they allocate in a job structure owned by their caller,
// which releases it on either outcome.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"

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
    void* dib;             // the result; freed by the caller on failure
    BYTE* bits;            // the locked pixels of dib
    unsigned char* rgba;   // decoded rows of an image with alpha
    png_bytep* rowPtrs;    // one pointer per decoded row, top row first
    long long maxPixels;   // the reading limit
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
    if (WithinLimits("PNG", width, height, uint64_t(job->end - job->begin), 8256, scratch, job->maxPixels, &why))
        return true;
    std::snprintf(job->message, sizeof job->message, "%s", why.c_str());
    return false;
}

bool RunDecode(PngReadJob* job) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, static_cast<PngJob*>(job), OnError, OnWarning);
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

struct PngWriteJob : PngJob {
    std::FILE* out;
    png_uint_32 width, height;
    bool palette;          // 8-bit palette image, else 24-bit
    png_color colors[256];
    int numColors;
    png_bytep* rows;       // top row first
};

bool RunEncode(PngWriteJob* job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, static_cast<PngJob*>(job), OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(job->message, sizeof job->message, "out of memory");
        return false;
    }
    if (setjmp(job->jump)) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, job->out);
    png_set_IHDR(png, info, job->width, job->height, 8, job->palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job->palette) {
        png_set_PLTE(png, info, job->colors, job->numColors);
    } else {
        // Photos: a lighter zlib level and three filters write about three
        // times faster than the defaults for some 8% more bytes.
        png_set_compression_level(png, 3);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP | PNG_FILTER_PAETH);
    }
    png_write_info(png, info);
    if (!job->palette) png_set_bgr(png);
    png_write_image(png, job->rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
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

bool EncodePng(void* dib, std::FILE* out, std::string* error) {
    ipDibStuff view(dib, false);
    if (!view.usable() || (view.bitCount() != 8 && view.bitCount() != 24)) {
        if (error) *error = "only uncompressed 8-bit and 24-bit images can be written as PNG";
        return false;
    }
    PngWriteJob job{};
    job.out = out;
    job.width = static_cast<png_uint_32>(view.width());
    job.height = static_cast<png_uint_32>(view.height());
    job.palette = view.bitCount() == 8;
    if (job.palette) {
        // The palette covers every index in use, even one past the colour
        // table (written black), so that readers never meet a bad index.
        int top = 0;
        for (const BYTE* row : view.rows)
            for (int x = 0; x < view.width(); ++x) top = row[x] > top ? row[x] : top;
        job.numColors = std::max(std::min(view.numColors, 256), top + 1);
        for (int i = 0; i < std::min(view.numColors, 256); ++i)
            job.colors[i] = {view.colors[i].rgbRed, view.colors[i].rgbGreen, view.colors[i].rgbBlue};
    }
    std::vector<png_bytep> rows(view.rows.rbegin(), view.rows.rend());
    job.rows = rows.data();
    if (!RunEncode(&job)) {
        if (error) *error = std::string("PNG encoding failed: ") + job.message;
        return false;
    }
    return true;
}

}  // namespace detail
}  // namespace hvio
