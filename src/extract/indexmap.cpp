// The pocket-number image of a theme's palette DIB.
#include "dib/dib.h"
#include "huevane/theme.h"

void* ccColorPocketArray::FillPocketIndexInDib() {
    if (!palDib) return nullptr;
    ipDibStuff in(palDib, false);
    if (!in.usable() || in.bitCount() != 8) return nullptr;
    const int width = in.width(), height = in.height();
    void* out = MakeEmptyDib(width, height, 8, true);
    if (!out) return nullptr;

    // Palette index -> pocket position; a later pocket wins a shared index.
    BYTE table[256] = {};
    for (int k = 0; k < pockets.GetSize(); ++k)
        for (ccColorItem* it : pockets[k]->items)
            if (it && it->palIndex >= 0 && it->palIndex < 256) table[it->palIndex] = static_cast<BYTE>(k);

    ipDibStuff map(out, false);
    for (int y = 0; y < height; ++y) {
        const BYTE* src = in.rows[y];
        BYTE* dst = map.rows[y];
        for (int x = 0; x < width; ++x) dst[x] = table[src[x]];
    }
    return out;
}
