// The palette image of a theme (its 8-bit form), the backup of the 24-bit
// image, and the operations that put an image's first colours back.
#include <cstring>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

int ccColorPocketArray::GetPalDib() {
    if (palDib) return -1;
    void* dib = DecreaseBpp24to8(trueDib);
    if (!dib) return -1;
    palDib = dib;
    ownsPalDib = true;
    return 0;
}

int ccColorPocketArray::SavePalDib(const char* path) {
    if (!palDib || !trueDib) return -1;
    SaveDIB(palDib, path);
    return 0;
}

int ccColorPocketArray::ConvertToPalDib() {
    if (!trueDib || paletteSize != 256 || !palette) return -1;
    if (palDib) return -2;
    ipDibStuff tru(trueDib, false);
    // Only a readable 24-bit image is mapped: other depths would be read
    // past their rows.
    if (!tru.is24()) return -1;
    const int w = tru.width(), h = tru.height();
    void* dib = MakeEmptyDib(w, h, 8, true);
    if (!dib) return -3;
    ipDibStuff pal(dib, false);
    if (!pal.isPalette8()) {
        hv::FreeHandle(dib);
        return -3;
    }
    for (int i = 0; i < 256; ++i) pal.colors[i] = palette[i].rgb;

    // Photos repeat colours: a small direct-mapped cache in front of the
    // nearest-colour query keeps the result and saves most of the searches.
    constexpr uint32_t kCacheBits = 14;
    std::vector<uint32_t> cacheKey(size_t(1) << kCacheBits, 0xFFFFFFFFu);
    std::vector<BYTE> cacheIndex(size_t(1) << kCacheBits, 0);
    for (int y = 0; y < h; ++y) {
        const BYTE* src = tru.rows[y];
        BYTE* dst = pal.rows[y];
        for (int x = 0; x < w; ++x, src += 3) {
            const uint32_t key = uint32_t(src[0]) | uint32_t(src[1]) << 8 | uint32_t(src[2]) << 16;
            const uint32_t slot = (key * 2654435761u) >> (32 - kCacheBits);
            if (cacheKey[slot] != key) {
                cacheKey[slot] = key;
                cacheIndex[slot] = static_cast<BYTE>(pal.GetNearestColor(src));
            }
            dst[x] = cacheIndex[slot];
        }
    }
    palDib = dib;
    ownsPalDib = true;
    return 0;
}

void ccColorPocketArray::MakeTrueDibCopy() {
    if (!trueDib || trueDibCopy) return;
    ipDibStuff tru(trueDib, false);
    void* copy = tru.CopyToHandle();
    if (!copy) return;
    trueDibCopy = copy;
    trueDibCopyBorrowed = false;
}

int ccColorPocketArray::RestorePalDibColors() {
    if (!palDib) return -1;
    ipDibStuff pal(palDib, true);
    if (!pal.colors || pal.numColors != 256) return -1;
    const int n = paletteSize < 256 ? paletteSize : 256;
    for (int i = 0; i < n; ++i) pal.colors[i] = palette[i].rgb;
    return 0;
}

int ccColorPocketArray::RestoreColors() {
    highlighted = false;
    if (!trueDib) return RestorePalDibColors();
    if (!trueDibCopy) return -1;
    ipDibStuff tru(trueDib, true), copy(trueDibCopy, true);
    return tru.Restore(copy);
}
