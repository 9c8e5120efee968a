// Exact nearest-palette-entry lookup for whole rows of 24-bit pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "huevane/platform.h"

namespace hv {

// Maps blue, green, red pixels to the index of the nearest of the first
// `used` palette entries by squared RGB distance, the lowest index on ties:
// the same choice as a full scan of the table. The colour cube is divided
// into cells; each cell met keeps, built on first use, the short list of
// entries that can be nearest to some colour inside it, and a pixel is
// compared with that list only.
class NearestMap {
public:
    NearestMap(const tagRGBQUAD* palette, int used);

    // Index of the entry nearest to one colour.
    int Nearest(int r, int g, int b);
    // out[x] = index nearest to the pixel bgr[3x..3x+2], for x < width.
    void MapRow(const BYTE* bgr, BYTE* out, int width);

private:
    uint32_t Build(int cell);
    const std::vector<uint8_t>& Coarse(int cell);

    int used_;
    int pr_[256], pg_[256], pb_[256];
    // Per fine cell: 0 until built; kSingle | index when one entry serves the
    // whole cell; otherwise the offset + 1 of its list in lists_ (a byte with
    // the length less one, then the indices ascending).
    std::vector<uint32_t> fine_;
    std::vector<uint8_t> lists_;
    std::vector<std::vector<uint8_t>> coarse_;  // candidate lists of coarse cells
};

}  // namespace hv
