// DIB helpers of the image I/O: new handles, conversion to 24 bits, PSNR and
// the side-by-side picture.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "codecs.h"
#include "dib/dib.h"
#include "imageio.h"

namespace hvio {
namespace detail {

bool WithinLimits(const char* format, uint64_t width, uint64_t height, uint64_t fileBytes,
                  uint64_t pixelsPerByte, uint64_t scratch, long long maxPixels, std::string* error) {
    const uint64_t pixels = width * height;  // each side is below 2^32
    const uint64_t limit = static_cast<uint64_t>(std::max(0LL, std::min<long long>(maxPixels, hv::kMaxPixels)));
    const std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (width > uint64_t(hv::kMaxSide) || height > uint64_t(hv::kMaxSide) || pixels > limit) {
        *error = std::string("a ") + format + " of " + size + " pixels is beyond the limit of " +
                 std::to_string(limit) + " pixels";
        return false;
    }
    if (pixels > pixelsPerByte * fileBytes) {
        *error = "the file is too short for the " + size + " pixels it claims";
        return false;
    }
    // The image at 3 bytes a pixel and the decoder's buffers against the
    // same for the limit (row padding aside); every term is below 2^40.
    const uint64_t need = 3 * pixels + scratch;
    if (need > 3 * limit) {
        *error = std::string("decoding this ") + format + " of " + size + " pixels would take " +
                 std::to_string((need + (1u << 20) - 1) >> 20) + " MB, more than the limit of " +
                 std::to_string(limit) + " pixels allows";
        return false;
    }
    return true;
}

void* NewDib(long long width, long long height, int bits, std::string* error) {
    if (width <= 0 || height <= 0 || width > hv::kMaxSide || height > hv::kMaxSide ||
        width * height > hv::kMaxPixels) {
        if (error)
            *error = "an image of " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels is beyond the supported size";
        return nullptr;
    }
    if (bits != 8 && bits != 24) {
        if (error) *error = "unsupported depth";
        return nullptr;
    }
    const int entries = bits == 8 ? 256 : 0;
    const uint64_t image = hv::RowBytes(width, bits) * static_cast<uint64_t>(height);
    const uint64_t total = sizeof(BITMAPINFOHEADER) + 4u * entries + image;
    void* dib = GlobalAlloc(GHND, static_cast<SIZE_T>(total));
    if (!dib) {
        if (error) *error = "out of memory";
        return nullptr;
    }
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = static_cast<LONG>(width);
    h->biHeight = static_cast<LONG>(height);
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bits);
    h->biCompression = BI_RGB;
    h->biSizeImage = static_cast<DWORD>(image);
    h->biClrUsed = static_cast<DWORD>(entries);
    GlobalUnlock(dib);
    return dib;
}

}  // namespace detail

namespace {

// Reads the rows of any uncompressed DIB as blue, green, red bytes. Indexed
// pixels go through a full 256-entry table; indices past the colour table
// come out black.
class RgbRows {
public:
    explicit RgbRows(ipDibStuff& src) : src_(src), bits_(src.bitCount()), row_(3 * size_t(src.width())) {
        if (bits_ <= 8) std::memcpy(table_, src.colors, sizeof(tagRGBQUAD) * std::min(src.numColors, 256));
    }

    // Row y: the view's own bytes at 24 bits, otherwise `out` (3 x width
    // bytes) or, when out is null, a buffer of this object.
    const BYTE* Row(int y, BYTE* out = nullptr) {
        const BYTE* in = src_.rows[static_cast<size_t>(y)];
        const int w = src_.width();
        if (bits_ == 24 && !out) return in;
        BYTE* o = out ? out : row_.data();
        BYTE* const start = o;
        if (bits_ == 24) {
            std::memcpy(o, in, 3 * static_cast<size_t>(w));
        } else if (bits_ == 32) {
            for (int x = 0; x < w; ++x) std::memcpy(o + 3 * x, in + 4 * x, 3);
        } else if (bits_ == 16) {
            for (int x = 0; x < w; ++x, o += 3) {
                const unsigned v = in[2 * x] | in[2 * x + 1] << 8;  // x-rrrrr-ggggg-bbbbb
                const unsigned b = v & 31, g = (v >> 5) & 31, r = (v >> 10) & 31;
                o[0] = static_cast<BYTE>(b << 3 | b >> 2);
                o[1] = static_cast<BYTE>(g << 3 | g >> 2);
                o[2] = static_cast<BYTE>(r << 3 | r >> 2);
            }
        } else {  // 1, 4 or 8 bits, the leftmost pixel in the high bits
            const int perByte = 8 / bits_, mask = (1 << bits_) - 1;
            for (int x = 0; x < w; ++x, o += 3) {
                const int shift = (perByte - 1 - x % perByte) * bits_;
                const tagRGBQUAD& c = table_[(in[x / perByte] >> shift) & mask];
                o[0] = c.rgbBlue;
                o[1] = c.rgbGreen;
                o[2] = c.rgbRed;
            }
        }
        return start;
    }

private:
    ipDibStuff& src_;
    int bits_;
    tagRGBQUAD table_[256] = {};
    std::vector<BYTE> row_;
};

}  // namespace

void* ToRgb24(void* dib, std::string* error) {
    ipDibStuff src(dib, false);
    if (!src.usable()) {
        if (error) *error = "not a usable uncompressed bottom-up DIB";
        return nullptr;
    }
    void* out = detail::NewDib(src.width(), src.height(), 24, error);
    if (!out) return nullptr;
    ipDibStuff dst(out, false);
    RgbRows rows(src);
    for (int y = 0; y < src.height(); ++y) rows.Row(y, dst.rows[static_cast<size_t>(y)]);
    return out;
}

double Psnr(void* a, void* b) {
    // Row by row: neither image is copied.
    ipDibStuff va(a, false), vb(b, false);
    if (!va.usable() || !vb.usable() || va.width() != vb.width() || va.height() != vb.height()) return -1;
    RgbRows ra(va), rb(vb);
    const int n = 3 * va.width();
    uint64_t sum = 0;
    for (int y = 0; y < va.height(); ++y) {
        const BYTE* p = ra.Row(y);
        const BYTE* q = rb.Row(y);
        uint64_t rowSum = 0;  // at most 3 * 2^17 * 255^2, far inside 64 bits
        for (int i = 0; i < n; ++i) {
            const int d = p[i] - q[i];
            rowSum += static_cast<uint64_t>(d * d);
        }
        sum += rowSum;
    }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = static_cast<double>(sum) / (static_cast<double>(n) * va.height());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

void PlaceShrunk(ipDibStuff& src, int factor, ipDibStuff& dst, int left, int top) {
    const int sw = src.width(), sh = src.height();
    const int ow = (sw + factor - 1) / factor, oh = (sh + factor - 1) / factor;
    std::vector<uint64_t> sums(3 * static_cast<size_t>(ow));
    std::vector<uint64_t> counts(static_cast<size_t>(ow));
    for (int oy = 0; oy < oh; ++oy) {
        std::fill(sums.begin(), sums.end(), 0);
        std::fill(counts.begin(), counts.end(), 0);
        const int yEnd = std::min(sh, (oy + 1) * factor);
        for (int sy = oy * factor; sy < yEnd; ++sy) {
            const BYTE* in = src.rows[sh - 1 - sy];  // rows from the top
            for (int sx = 0; sx < sw; ++sx) {
                const int ox = sx / factor;
                sums[3 * ox] += in[3 * sx];
                sums[3 * ox + 1] += in[3 * sx + 1];
                sums[3 * ox + 2] += in[3 * sx + 2];
                ++counts[ox];
            }
        }
        BYTE* out = dst.rows[dst.height() - 1 - (top + oy)] + 3 * left;
        for (int ox = 0; ox < ow; ++ox)
            for (int c = 0; c < 3; ++c)
                out[3 * ox + c] = static_cast<BYTE>((sums[3 * ox + c] + counts[ox] / 2) / counts[ox]);
    }
}

void* SideBySide(void* a, void* b, int maxSide, std::string* error) {
    OwnedDib ca(ToRgb24(a, error));
    if (!ca.get()) return nullptr;
    OwnedDib cb(ToRgb24(b, error));
    if (!cb.get()) return nullptr;
    ipDibStuff va(ca.get(), false), vb(cb.get(), false);
    auto factorOf = [maxSide](const ipDibStuff& v) {
        const int side = std::max(v.width(), v.height());
        return maxSide > 0 && side > maxSide ? (side + maxSide - 1) / maxSide : 1;
    };
    const int fa = factorOf(va), fb = factorOf(vb);
    const int wa = (va.width() + fa - 1) / fa, ha = (va.height() + fa - 1) / fa;
    const int wb = (vb.width() + fb - 1) / fb, hb = (vb.height() + fb - 1) / fb;
    constexpr int kGap = 8;
    const long long width = static_cast<long long>(wa) + kGap + wb;
    const int height = std::max(ha, hb);
    void* out = detail::NewDib(width, height, 24, error);
    if (!out) return nullptr;
    ipDibStuff vo(out, false);
    for (BYTE* row : vo.rows) std::memset(row, 255, static_cast<size_t>(3 * width));
    PlaceShrunk(va, fa, vo, 0, 0);
    PlaceShrunk(vb, fb, vo, wa + kGap, 0);
    return out;
}

}  // namespace hvio
