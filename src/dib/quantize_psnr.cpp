#include "dib/quantize_psnr.h"

#include <cmath>
#include <limits>

#include "dib/dib.h"

namespace hv {
namespace {

// Pixel x of row y as red, green, blue.
struct Pixels {
    ipDibStuff& view;
    bool paletted;
    void Get(int y, int x, int rgb[3]) const {
        const BYTE* row = view.rows[static_cast<size_t>(y)];
        if (paletted) {
            const tagRGBQUAD& q = view.colors[row[x]];
            rgb[0] = q.rgbRed;
            rgb[1] = q.rgbGreen;
            rgb[2] = q.rgbBlue;
        } else {
            rgb[0] = row[3 * x + 2];
            rgb[1] = row[3 * x + 1];
            rgb[2] = row[3 * x];
        }
    }
};

}  // namespace

double ImagePsnr(void* a, void* b) {
    ipDibStuff va(a, false), vb(b, false);
    if (!(va.is24() || va.isPalette8()) || !(vb.is24() || vb.isPalette8())) return -1;
    if (va.width() != vb.width() || va.height() != vb.height()) return -1;
    const Pixels pa{va, !va.is24()}, pb{vb, !vb.is24()};
    uint64_t sum = 0;
    const int w = va.width(), h = va.height();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int ca[3], cb[3];
            pa.Get(y, x, ca);
            pb.Get(y, x, cb);
            for (int c = 0; c < 3; ++c) sum += uint64_t((ca[c] - cb[c]) * (ca[c] - cb[c]));
        }
    if (sum == 0) return std::numeric_limits<double>::infinity();
    const double mse = double(sum) / (3.0 * double(w) * double(h));
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace hv
