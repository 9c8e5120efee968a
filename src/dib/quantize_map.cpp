// Exact nearest-palette-entry lookup: per-cell answers, each cell's worked
// out among the entries that can be nearest somewhere inside it.
#include "dib/quantize_map.h"

#include <algorithm>

namespace hv {

namespace {

constexpr int kFineBits = 6;    // fine cells: 4 values per channel
constexpr int kFineColors = 1 << (3 * (8 - kFineBits));  // colours in a fine cell
constexpr size_t kConstBlocks = 257;  // block 0 and one per palette index

}  // namespace

// Squared distances from a colour to the nearest and to the farthest point
// of the box [lo, lo + side) on every channel.
struct NearestMap::BoxDistance {
    int lo[3], hi[3];
    int Min(int r, int g, int b) const { return Near(r, 0) + Near(g, 1) + Near(b, 2); }
    int Max(int r, int g, int b) const { return Far(r, 0) + Far(g, 1) + Far(b, 2); }
    int Near(int v, int c) const {
        // Without branches: whether a colour lies below, inside or above
        // the box is as good as random from one entry to the next.
        const int d = std::max(0, std::max(lo[c] - v, v - hi[c]));
        return d * d;
    }
    int Far(int v, int c) const {
        const int d = std::max(v - lo[c], hi[c] - v);
        return d * d;
    }
};

namespace {

NearestMap::BoxDistance CellBox(int cell, int bits) {
    const int side = 1 << (8 - bits), mask = (1 << bits) - 1;
    NearestMap::BoxDistance box;
    const int coord[3] = {(cell >> (2 * bits)) & mask, (cell >> bits) & mask, cell & mask};
    for (int c = 0; c < 3; ++c) {
        box.lo[c] = coord[c] * side;
        box.hi[c] = box.lo[c] + side - 1;
    }
    return box;
}

}  // namespace

NearestMap::NearestMap(const tagRGBQUAD* palette, int used, size_t cells)
    : used_(std::clamp(used, 1, 256)),
      fine_(size_t(1) << (3 * kFineBits), 0),
      levels_{} {
    for (int level = 0; level < kLevels; ++level)
        levels_[level].offsets.assign(size_t(1) << (3 * kLevelBits[level]), 0);
    for (int i = 0; i < used_; ++i) {
        all_[i] = uint8_t(i);
        pr_[i] = palette[i].rgbRed;
        pg_[i] = palette[i].rgbGreen;
        pb_[i] = palette[i].rgbBlue;
    }
    // Each channel's share of a colour's key: the fine cell's number above
    // the colour's place inside it (6 bits).
    constexpr int s = 8 - kFineBits, m = (1 << s) - 1;
    for (int v = 0; v < 256; ++v) {
        spreadR_[v] = uint32_t(((v >> s) << (2 * kFineBits + 3 * s)) | ((v & m) << (2 * s)));
        spreadG_[v] = uint32_t(((v >> s) << (kFineBits + 3 * s)) | ((v & m) << s));
        spreadB_[v] = uint32_t(((v >> s) << (3 * s)) | (v & m));
    }
    cells = std::min(cells, fine_.size());
    // Block 0 is never used; blocks 1 to 256 hold one index each.
    answers_.reserve((cells + kConstBlocks) * kFineColors);
    answers_.resize(kConstBlocks * kFineColors);
    for (int v = 0; v < 256; ++v)
        std::fill_n(answers_.begin() + (v + 1) * kFineColors, kFineColors, uint8_t(v));
}

// An entry can be nearest to some colour of a box only if its nearest
// distance to the box does not exceed the smallest farthest distance of any
// entry; every other entry is strictly farther for every colour inside.
// Writes to `out` the entries of `from` (ascending) that pass for the box;
// returns how many.
size_t NearestMap::Filter(const BoxDistance& box, const uint8_t* from, size_t n, uint8_t* out) const {
    // The entries' channels side by side, so that the two passes run on
    // several entries at a time.
    int32_t r[256], g[256], b[256], near[256];
    for (size_t t = 0; t < n; ++t) {
        const int i = from[t];
        r[t] = pr_[i];
        g[t] = pg_[i];
        b[t] = pb_[i];
    }
    int32_t bound = 0x7FFFFFFF;
    for (size_t t = 0; t < n; ++t) bound = std::min(bound, box.Max(r[t], g[t], b[t]));
    for (size_t t = 0; t < n; ++t) near[t] = box.Min(r[t], g[t], b[t]);
    // Kept without branches.
    size_t m = 0;
    for (size_t t = 0; t < n; ++t) {
        out[m] = from[t];
        m += near[t] <= bound;
    }
    return m;
}

// The candidates of cell `cell` of level `level` (cells of 2^(8 - bits)
// colours a side, bits = kLevelBits[level]), drawn from the list of the cell
// of the level above that holds it (all entries above the first level).
// Stored in lists of that level as a byte with the length less one, then
// the indices; offsets hold each cell's position plus one (0: not built).
const uint8_t* NearestMap::Candidates(int level, int cell, size_t* n) {
    Level& lv = levels_[level];
    uint32_t at = lv.offsets[static_cast<size_t>(cell)];
    if (!at) {
        const int bits = kLevelBits[level];
        const uint8_t* parent = all_;
        size_t count = size_t(used_);
        if (level > 0) {
            const int up = kLevelBits[level - 1], drop = bits - up, mask = (1 << bits) - 1;
            const int r = (cell >> (2 * bits)) & mask, g = (cell >> bits) & mask, b = cell & mask;
            parent = Candidates(level - 1, ((r >> drop) << (2 * up)) | ((g >> drop) << up) | (b >> drop), &count);
        }
        uint8_t kept[256];
        const size_t m = Filter(CellBox(cell, bits), parent, count, kept);
        const size_t start = lv.lists.size();
        lv.lists.push_back(uint8_t(m - 1));
        lv.lists.insert(lv.lists.end(), kept, kept + m);
        at = lv.offsets[static_cast<size_t>(cell)] = uint32_t(start + 1);
    }
    *n = size_t(lv.lists[at - 1]) + 1;
    return &lv.lists[at];
}

// The answers of the 64 colours of fine cell `cell` among the candidates
// `list` (ascending): a strict comparison keeps the lowest index on ties.
// A colour's squared distance is the sum of one term per channel, and each
// channel takes only four values in the cell.
void NearestMap::Answer(int cell, const uint8_t* list, size_t n, uint8_t* out) const {
    constexpr int side = 1 << (8 - kFineBits), fm = (1 << kFineBits) - 1;
    const int r0 = ((cell >> (2 * kFineBits)) & fm) * side, g0 = ((cell >> kFineBits) & fm) * side,
              b0 = (cell & fm) * side;
    int32_t best[kFineColors], index[kFineColors];
    for (size_t t = 0; t < n; ++t) {
        const int e = list[t];
        int32_t dr[side], dg[side], db[side];
        for (int i = 0; i < side; ++i) {
            dr[i] = (r0 + i - pr_[e]) * (r0 + i - pr_[e]);
            dg[i] = (g0 + i - pg_[e]) * (g0 + i - pg_[e]);
            db[i] = (b0 + i - pb_[e]) * (b0 + i - pb_[e]);
        }
        for (int i = 0; i < side; ++i)
            for (int j = 0; j < side; ++j) {
                const int32_t base = dr[i] + dg[j];
                int32_t* bq = best + (i * side + j) * side;
                int32_t* iq = index + (i * side + j) * side;
                for (int k = 0; k < side; ++k) {
                    const int32_t d = base + db[k];
                    const bool nearer = t == 0 || d < bq[k];
                    bq[k] = nearer ? d : bq[k];
                    iq[k] = nearer ? e : iq[k];
                }
            }
    }
    for (int q = 0; q < kFineColors; ++q) out[q] = uint8_t(index[q]);
}

uint32_t NearestMap::Build(int cell) {
    // The cell of the last level holding this fine cell: drop the low bits
    // of each axis.
    constexpr int up = kLevelBits[kLevels - 1], drop = kFineBits - up, fm = (1 << kFineBits) - 1;
    const int r = (cell >> (2 * kFineBits)) & fm, g = (cell >> kFineBits) & fm, b = cell & fm;
    size_t n = 0;
    const uint8_t* parent =
        Candidates(kLevels - 1, ((r >> drop) << (2 * up)) | ((g >> drop) << up) | (b >> drop), &n);
    uint8_t kept[256];
    const size_t count = Filter(CellBox(cell, kFineBits), parent, n, kept);
    uint32_t block;
    if (count == 1) {
        // A cell served by one entry shares that entry's block.
        block = uint32_t(kept[0]) + 1;
    } else {
        block = uint32_t(answers_.size() / kFineColors);
        answers_.resize(answers_.size() + kFineColors);
        Answer(cell, kept, count, &answers_[size_t(block) * kFineColors]);
    }
    fine_[static_cast<size_t>(cell)] = block;
    return block;
}

int NearestMap::Nearest(int r, int g, int b) {
    const BYTE bgr[3] = {BYTE(b), BYTE(g), BYTE(r)};
    BYTE index = 0;
    MapRow(bgr, &index, 1);
    return index;
}

void NearestMap::Prepare(const int* cells, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!fine_[size_t(cells[i])]) Build(cells[i]);
}

void NearestMap::MapRow(const BYTE* bgr, BYTE* out, int width) {
    constexpr int subBits = 3 * (8 - kFineBits);
    // Local copies: the writes to `out` could otherwise alias them.
    const uint32_t* fine = fine_.data();
    const uint8_t* answers = answers_.data();
    for (int x = 0; x < width; ++x, bgr += 3) {
        const uint32_t key = spreadR_[bgr[2]] | spreadG_[bgr[1]] | spreadB_[bgr[0]];
        uint32_t block = fine[key >> subBits];
        if (!block) {
            block = Build(int(key >> subBits));
            answers = answers_.data();
        }
        out[x] = answers[(size_t(block) << subBits) | (key & (kFineColors - 1))];
    }
}

}  // namespace hv
