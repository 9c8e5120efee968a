#include "bench_images.h"

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

}  // namespace bench
