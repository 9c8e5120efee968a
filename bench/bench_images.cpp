#include "bench_images.h"

#include <algorithm>
#include <cmath>

#include "dib/dib.h"
#include "huevane/huevane.h"

#ifdef HUEVANE_HAVE_IMAGEIO
#include "cli/imageio.h"
#endif

namespace bench {

std::string g_bmpDir;

namespace {
bool IsBmp(const std::string& path) {
    return path.size() >= 4 && (path.compare(path.size() - 4, 4, ".bmp") == 0 ||
                                path.compare(path.size() - 4, 4, ".BMP") == 0);
}
}  // namespace

void* ReadImage(const std::string& path, std::string* error) {
    if (IsBmp(path)) {
        void* dib = reinterpret_cast<void*>(LoadDIB(path.c_str()));
        if (!dib) *error = "cannot read bitmap " + path;
        return dib;
    }
#ifdef HUEVANE_HAVE_IMAGEIO
    return hvio::ReadImage(path, error);
#else
    *error = "built without image I/O; use a BMP copy of " + path;
    return nullptr;
#endif
}

void FreeImage(void* dib) {
    if (dib) GlobalFree(dib);
}

void* ReadSample(const std::string& name, std::string* error) {
    if (!g_bmpDir.empty()) {
        const std::string stem = name.substr(0, name.rfind('.'));
        return ReadImage(g_bmpDir + "/" + stem + ".bmp", error);
    }
    return ReadImage(std::string(HUEVANE_SAMPLES) + "/" + name, error);
}

bool WriteImage(void* dib, const std::string& path, std::string* error) {
    if (IsBmp(path)) {
        if (SaveDIB(dib, path.c_str()) == 1) return true;
        *error = "cannot write bitmap " + path;
        return false;
    }
#ifdef HUEVANE_HAVE_IMAGEIO
    return hvio::WriteImage(dib, path, error);
#else
    *error = "built without image I/O; write a .bmp instead of " + path;
    return false;
#endif
}

void* Resample(void* src, int w, int h) {
    ipDibStuff s(src, false);
    if (!s.is24()) return nullptr;
    void* out = MakeEmptyDib(w, h, 24, true);
    ipDibStuff d(out, false);
    const int sw = s.width(), sh = s.height();
    for (int y = 0; y < h; ++y) {
        const double fy = std::max(0.0, (y + 0.5) * sh / h - 0.5);
        const int y0 = std::min(int(fy), sh - 1), y1 = std::min(y0 + 1, sh - 1);
        const double ty = fy - y0;
        BYTE* row = d.rows[size_t(y)];
        for (int x = 0; x < w; ++x) {
            const double fx = std::max(0.0, (x + 0.5) * sw / w - 0.5);
            const int x0 = std::min(int(fx), sw - 1), x1 = std::min(x0 + 1, sw - 1);
            const double tx = fx - x0;
            for (int c = 0; c < 3; ++c) {
                const double top = s.rows[size_t(y0)][3 * x0 + c] * (1 - tx) + s.rows[size_t(y0)][3 * x1 + c] * tx;
                const double bot = s.rows[size_t(y1)][3 * x0 + c] * (1 - tx) + s.rows[size_t(y1)][3 * x1 + c] * tx;
                row[3 * x + c] = BYTE(std::lround(top * (1 - ty) + bot * ty));
            }
        }
    }
    return out;
}

}  // namespace bench
