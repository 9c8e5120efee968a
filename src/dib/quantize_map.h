// Exact nearest-palette-entry lookup for whole rows of 24-bit pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "huevane/platform.h"

namespace hv {

// Maps blue, green, red pixels to the index of the nearest of the first
// `used` palette entries by squared RGB distance, the lowest index on ties:
// the same choice as a full scan of the table. The colour cube is divided
// into cells of 4 x 4 x 4 colours; each cell met gets, on first use, the
// answers for all its 64 colours, compared among the few entries that can
// be nearest to some colour inside it. Those are drawn from the list of the
// larger cell that holds it, and so on up to cells of 32 x 32 x 32 colours.
class NearestMap {
public:
    // `cells` hints how many cells of 4 x 4 x 4 colours the pixels to map
    // fall into (space is reserved for them).
    NearestMap(const tagRGBQUAD* palette, int used, size_t cells = 0);

    // Makes the answers of the given cells of 4 x 4 x 4 colours (numbered
    // red, green, blue from the top bit, 6 bits each) now, in the order
    // given: cells made in ascending order lie near each other in memory.
    void Prepare(const int* cells, size_t n);
    // Index of the entry nearest to one colour.
    int Nearest(int r, int g, int b);
    // out[x] = index nearest to the pixel bgr[3x..3x+2], for x < width.
    void MapRow(const BYTE* bgr, BYTE* out, int width);

    struct BoxDistance;

private:
    size_t Filter(const BoxDistance& box, const uint8_t* from, size_t n, uint8_t* out) const;
    uint32_t Build(int cell);
    void Answer(int cell, const uint8_t* list, size_t n, uint8_t* out) const;
    const uint8_t* Candidates(int level, int cell, size_t* n);

    int used_;
    int pr_[256], pg_[256], pb_[256];
    // Per fine cell: 0 until built, else the block of answers_ that holds
    // the answers of its 64 colours (64 bytes from 64 x block). Blocks 1 to
    // 256 are shared by the cells served by one entry (block 1 + entry);
    // the others belong to one cell each.
    std::vector<uint32_t> fine_;
    std::vector<uint8_t> answers_;
    // Candidate lists of ever smaller cells (8, 16 and 32 colours a side),
    // each drawn from the one above: a byte with the length less one, then
    // the indices ascending.
    static constexpr int kLevels = 3;
    static constexpr int kLevelBits[kLevels] = {3, 4, 5};
    struct Level {
        std::vector<uint32_t> offsets;
        std::vector<uint8_t> lists;
    };
    Level levels_[kLevels];
    uint8_t all_[256];
    // A colour's key is spreadR_[r] | spreadG_[g] | spreadB_[b]: its fine
    // cell's number, then its place in the cell.
    uint32_t spreadR_[256], spreadG_[256], spreadB_[256];
};

}  // namespace hv
