// 24-to-8-bit reduction. (Placeholder: uniform 3-3-2 palette until the real
// quantizer lands.)
#include "dib/dib.h"
#include "platform/memory.h"

void* DecreaseBpp24to8(void* dib24) {
    ipDibStuff src(dib24, false);
    if (!src.is24()) return nullptr;
    void* out = MakeEmptyDib(src.width(), src.height(), 8, true);
    if (!out) return nullptr;
    ipDibStuff dst(out, false);
    for (int i = 0; i < 256; ++i)
        dst.colors[i] = {BYTE((i & 3) * 85), BYTE(((i >> 2) & 7) * 255 / 7), BYTE((i >> 5) * 255 / 7), 0};
    const int w = src.width();
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < w; ++x) dst.rows[y][x] = BYTE(dst.GetNearestColor(src.rows[y] + 3 * x));
    return out;
}
