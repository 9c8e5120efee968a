// JPEG reading and writing over libjpeg.
//
// libjpeg reports fatal errors through the error manager, which jumps back
// to the setjmp of the call; as with PNG, the functions that call setjmp
// hold nothing with a destructor and keep their allocations in a job
// structure that their caller releases.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first; jerror.h needs its
// configuration (arithmetic coding's messages) from jpeglib.h.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"

namespace hvio {
namespace detail {
namespace {

struct JpegErrors {
    jpeg_error_mgr mgr;  // first, so that the library's pointer is ours
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void OnError(j_common_ptr cinfo) {
    auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, errors->message);
    std::longjmp(errors->jump, 1);
}

// Warnings that mean the image data is damaged or cut short fail the read;
// harmless ones (stray bytes between markers, unknown versions) do not.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_MUST_RESYNC:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_ARITH_BAD_CODE:
        OnError(cinfo);
        break;
    default:
        break;
    }
}

struct JpegReadJob {
    JpegErrors errors;
    jpeg_decompress_struct cinfo;
    long long maxPixels;    // the reading limit
    bool created;
    void* dib;              // the result; freed by the caller on failure
    BYTE* bits;             // the locked pixels of dib
    unsigned char* scratch; // one CMYK row
};

// The limits for the job's file, checked after its header has been read;
// false with the job's message set. Kept out of RunDecode, which may not
// hold a string across its longjmp.
//
// With Huffman coding every 8 x 8 block costs at least a bit, so a file
// holds at most 1024 pixels per byte (with room for odd sampling factors).
// Arithmetic coding can go below a bit per block on flat areas, and its
// decoder reads zeros past the end of a scan's data (encoders drop trailing
// zero bytes), so a scan cut short cannot be told from a flat one: there
// the same figure is a plausibility bound, which no photograph comes near,
// and it is what keeps a few bytes from buying a huge image. An image
// of several scans (progressive, or one component per scan) is decoded into
// a buffer of all its coefficients first, 128 bytes per block of each
// component, which counts against the memory limit with the image (buffers
// of a row do not).
bool CheckLimits(JpegReadJob* job, size_t fileBytes) {
    const jpeg_decompress_struct* cinfo = &job->cinfo;
    uint64_t scratch = 0;
    if (cinfo->progressive_mode || cinfo->comps_in_scan < cinfo->num_components) {
        for (int c = 0; c < cinfo->num_components; ++c) {
            const jpeg_component_info& comp = cinfo->comp_info[c];
            const uint64_t h = comp.h_samp_factor, v = comp.v_samp_factor;
            const uint64_t across = (comp.width_in_blocks + h - 1) / h * h;
            const uint64_t down = (comp.height_in_blocks + v - 1) / v * v;
            scratch += across * down * sizeof(JBLOCK);
        }
    }
    std::string why;
    if (WithinLimits("JPEG", cinfo->image_width, cinfo->image_height, fileBytes, 2048, scratch, job->maxPixels,
                     &why))
        return true;
    std::snprintf(job->errors.message, sizeof job->errors.message, "%s", why.c_str());
    return false;
}

bool RunDecode(JpegReadJob* job, const unsigned char* data, size_t size) {
    jpeg_decompress_struct* cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->errors.mgr);
    job->errors.mgr.error_exit = OnError;
    job->errors.mgr.emit_message = OnMessage;
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_decompress(cinfo);
    job->created = true;
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(cinfo, TRUE);
    const JDIMENSION width = cinfo->image_width, height = cinfo->image_height;
    if (!CheckLimits(job, size)) return false;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != width || cinfo->output_height != height ||
        cinfo->output_components != (cmyk ? 4 : 3)) {
        std::snprintf(job->errors.message, sizeof job->errors.message, "unexpected JPEG layout");
        return false;
    }
    job->dib = NewDib(width, height, 24, nullptr);
    if (!job->dib) {
        std::snprintf(job->errors.message, sizeof job->errors.message, "out of memory");
        return false;
    }
    job->bits = static_cast<BYTE*>(GlobalLock(job->dib)) + sizeof(BITMAPINFOHEADER);
    const size_t stride = static_cast<size_t>(hv::RowBytes(width, 24));
    if (cmyk) {
        job->scratch = static_cast<unsigned char*>(std::malloc(size_t(width) * 4));
        if (!job->scratch) {
            std::snprintf(job->errors.message, sizeof job->errors.message, "out of memory");
            return false;
        }
    }
    while (cinfo->output_scanline < height) {
        BYTE* row = job->bits + (height - 1 - cinfo->output_scanline) * stride;  // from the top
        if (!cmyk) {
            jpeg_read_scanlines(cinfo, &row, 1);
            continue;
        }
        JSAMPROW in = job->scratch;
        jpeg_read_scanlines(cinfo, &in, 1);
        // Stored inverted, as Adobe writes CMYK: each value is 255 - ink.
        for (JDIMENSION x = 0; x < width; ++x, in += 4, row += 3) {
            const unsigned k = in[3];
            row[0] = static_cast<BYTE>((in[2] * k + 127) / 255);
            row[1] = static_cast<BYTE>((in[1] * k + 127) / 255);
            row[2] = static_cast<BYTE>((in[0] * k + 127) / 255);
        }
    }
    jpeg_finish_decompress(cinfo);
    return true;
}

struct JpegWriteJob {
    JpegErrors errors;
    jpeg_compress_struct cinfo;
    bool created;
};

bool RunEncode(JpegWriteJob* job, std::FILE* out, int quality, JDIMENSION width, JDIMENSION height,
               BYTE** rows) {
    jpeg_compress_struct* cinfo = &job->cinfo;
    cinfo->err = jpeg_std_error(&job->errors.mgr);
    job->errors.mgr.error_exit = OnError;
    if (setjmp(job->errors.jump)) return false;
    jpeg_create_compress(cinfo);
    job->created = true;
    jpeg_stdio_dest(cinfo, out);
    cinfo->image_width = width;
    cinfo->image_height = height;
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, quality, TRUE);
    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < height) {
        JSAMPROW row = rows[cinfo->next_scanline];
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    return true;
}

}  // namespace

void* DecodeJpeg(const unsigned char* data, size_t size, std::string* error, long long maxPixels) {
    JpegReadJob job{};
    job.maxPixels = maxPixels;
    const bool ok = RunDecode(&job, data, size);
    if (job.created) jpeg_destroy_decompress(&job.cinfo);
    std::free(job.scratch);
    if (job.bits) GlobalUnlock(job.dib);
    if (!ok) {
        if (job.dib) GlobalFree(job.dib);
        if (error) *error = job.errors.message;
        return nullptr;
    }
    return job.dib;
}

bool EncodeJpeg(void* dib, std::FILE* out, int quality, std::string* error) {
    ipDibStuff view(dib, false);
    if (!view.is24()) {
        if (error) *error = "only 24-bit images can be written as JPEG";
        return false;
    }
    std::vector<BYTE*> rows(view.rows.rbegin(), view.rows.rend());  // top row first
    JpegWriteJob job{};
    const bool ok = RunEncode(&job, out, quality, static_cast<JDIMENSION>(view.width()),
                              static_cast<JDIMENSION>(view.height()), rows.data());
    if (job.created) jpeg_destroy_compress(&job.cinfo);
    if (!ok && error) *error = std::string("JPEG encoding failed: ") + job.errors.message;
    return ok;
}

}  // namespace detail
}  // namespace hvio
