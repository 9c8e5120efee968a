// Host images for the tests of the flat functions.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#include "transfer/transfer_fixtures.h"

namespace api {

inline tagRGBQUAD Rgb(int r, int g, int b) { return {BYTE(b), BYTE(g), BYTE(r), 0}; }

// A host DIB (GlobalAlloc, freed with the object) of w x h at 8, 24 or 32
// bits. px(x, y), y counting memory rows, gives an index at 8 bits (into a
// table of `entries` colours, black where `table` is short) and 0xRRGGBB
// otherwise; all pixels are 0 without px.
struct Host {
    void* h;
    Host(int w, int height, int bits, std::function<uint32_t(int, int)> px,
         std::vector<tagRGBQUAD> table = {}, int entries = 256) {
        entries = bits == 8 ? entries : 0;
        const size_t stride = (w * bits / 8 + 3) / 4 * 4, head = sizeof(BITMAPINFOHEADER) + 4 * entries;
        h = GlobalAlloc(GHND, head + stride * height);
        auto* b = static_cast<BYTE*>(GlobalLock(h));
        *reinterpret_cast<BITMAPINFOHEADER*>(b) = {
            sizeof(BITMAPINFOHEADER), w, height, 1, WORD(bits), BI_RGB, 0, 0, 0, DWORD(entries), 0};
        table.resize(entries);
        std::copy(table.begin(), table.end(), reinterpret_cast<tagRGBQUAD*>(b + sizeof(BITMAPINFOHEADER)));
        for (int y = 0; px && y < height; ++y)
            for (int x = 0; x < w; ++x)
                for (int k = 0; k < bits / 8; ++k)
                    b[head + y * stride + x * bits / 8 + k] = BYTE(px(x, y) >> 8 * k);
        GlobalUnlock(h);
    }
    Host(const Host&) = delete;
    ~Host() { GlobalFree(h); }
};

}  // namespace api
