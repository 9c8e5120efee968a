// Style extraction: GenStyle, FetchStyle, Preprocess, FreeStyleBuf.
#include <cstring>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace {

// The buffer of the last successful GenStyle; the only state kept between
// calls, released when the library unloads.
struct StyleBuffer {
    char* data = nullptr;
    int length = 0;  // L + 4: the whole buffer, its length field included
    ~StyleBuffer() { delete[] data; }
};
StyleBuffer g_style;

// biBitCount of the image, read through the view; from the bare header
// when the view refuses the image's layout, so that such a 24-bit image is
// still reported as one that cannot be reduced.
int BitCount(void* dib) {
    {
        ipDibStuff view(dib, false);
        if (view.header) return view.bitCount();
    }
    hv::HandleLock lock(dib);
    if (lock.size() < sizeof(BITMAPINFOHEADER)) return 0;
    return static_cast<const BITMAPINFOHEADER*>(lock.ptr())->biBitCount;
}

// Extracts the theme of an 8- or 24-bit image (any other depth leaves it
// empty) and serialises it into a new buffer. Returns L, or -1 with out
// null when a 24-bit image cannot be reduced or memory is short.
int ExtractToBuf(void* dib, char*& out) {
    out = nullptr;
    ccColorPocketArray theme(0);
    const int bits = BitCount(dib);
    if (bits == 24) {
        void* reduced = DecreaseBpp24to8(dib);
        if (!reduced) return -1;
        theme.SetPalDib(reduced, true);  // released with the theme
    } else if (bits == 8) {
        theme.SetPalDib(dib, false);     // stays the host's
    }
    // A failed extraction leaves the theme without pockets; its buffer is
    // still a valid style.
    if (bits == 8 || bits == 24) theme.GetColorPockets();
    return theme.SaveToBuf(out);
}

}  // namespace

extern "C" HUEVANE_API int HUEVANE_CALL GenStyle(void* dib) {
    try {
        char* buf = nullptr;
        const int len = ExtractToBuf(dib, buf);
        if (len < 0) return -1;
        delete[] g_style.data;
        g_style.data = buf;
        g_style.length = len + 4;
        return g_style.length;
    } catch (...) {
        return -1;
    }
}

extern "C" HUEVANE_API int HUEVANE_CALL FetchStyle(void* dest) {
    if (!g_style.data || !dest) return -1;
    std::memcpy(dest, g_style.data, static_cast<size_t>(g_style.length));
    return g_style.length;
}

extern "C" HUEVANE_API int HUEVANE_CALL Preprocess(void* dib, char** out) {
    if (!out) return -1;
    try {
        char* buf = nullptr;
        if (ExtractToBuf(dib, buf) < 0) return -1;
        *out = buf;
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" HUEVANE_API void HUEVANE_CALL FreeStyleBuf(char* buffer) { delete[] buffer; }
