// Exact nearest-palette-entry lookup through per-cell candidate lists.
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
    // Block 0 holds zeros: a cell not built yet has entry 0, so its colours
    // read answer 0, which equals its `unknown` 0 and sends them to be built.
    // Blocks 1 to 256 hold one index each, for the cells served by one entry.
    answers_.reserve((cells + kConstBlocks) * kFineColors);
    answers_.resize(kConstBlocks * kFineColors);
    for (int v = 0; v < 256; ++v)
        std::fill_n(answers_.begin() + (v + 1) * kFineColors, kFineColors, uint8_t(v));
    listOf_.reserve(cells + kConstBlocks);
    listOf_.resize(kConstBlocks, 0);
    lists_.reserve(cells * 4);
}

// An entry can be nearest to some colour of a box only if its nearest
// distance to the box does not exceed the smallest farthest distance of any
// entry; every other entry is strictly farther for every colour inside.
// Appends to `out` the entries of `from` (ascending) that pass for the box.
void NearestMap::Filter(const BoxDistance& box, const uint8_t* from, size_t n, std::vector<uint8_t>& out) const {
    int bound = 0x7FFFFFFF;
    for (size_t t = 0; t < n; ++t) {
        const int i = from[t];
        bound = std::min(bound, box.Max(pr_[i], pg_[i], pb_[i]));
    }
    // Kept without branches, into a local list first.
    uint8_t kept[256];
    size_t m = 0;
    for (size_t t = 0; t < n; ++t) {
        const int i = from[t];
        kept[m] = uint8_t(i);
        m += box.Min(pr_[i], pg_[i], pb_[i]) <= bound;
    }
    out.insert(out.end(), kept, kept + m);
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
        const size_t start = lv.lists.size();
        lv.lists.push_back(0);
        Filter(CellBox(cell, bits), parent, count, lv.lists);
        lv.lists[start] = uint8_t(lv.lists.size() - start - 2);
        at = lv.offsets[static_cast<size_t>(cell)] = uint32_t(start + 1);
    }
    *n = size_t(lv.lists[at - 1]) + 1;
    return &lv.lists[at];
}

uint32_t NearestMap::Build(int cell) {
    // The cell of the last level holding this fine cell: drop the low bits
    // of each axis.
    constexpr int up = kLevelBits[kLevels - 1], drop = kFineBits - up, fm = (1 << kFineBits) - 1;
    const int r = (cell >> (2 * kFineBits)) & fm, g = (cell >> kFineBits) & fm, b = cell & fm;
    size_t n = 0;
    const uint8_t* parent =
        Candidates(kLevels - 1, ((r >> drop) << (2 * up)) | ((g >> drop) << up) | (b >> drop), &n);
    const size_t start = lists_.size();
    lists_.push_back(0);
    Filter(CellBox(cell, kFineBits), parent, n, lists_);
    // The lowest index left out marks colours not looked up yet (the list is
    // ascending).
    int unknown = 0;
    for (size_t t = start + 1; t < lists_.size() && lists_[t] == unknown && unknown < 255; ++t) ++unknown;
    const size_t count = lists_.size() - start - 1;
    size_t block;
    if (count == 1) {
        // A cell served by one entry shares that entry's block of answers.
        block = size_t(lists_[start + 1]) + 1;
        lists_.resize(start);
    } else {
        lists_[start] = uint8_t(count - 1);
        block = listOf_.size();
        listOf_.push_back(uint32_t(start));
        answers_.resize(answers_.size() + kFineColors, uint8_t(unknown));
    }
    const uint32_t entry = uint32_t(block << 8) | uint32_t(unknown);
    fine_[cell] = entry;
    return entry;
}

int NearestMap::Search(uint32_t list, int r, int g, int b) const {
    const uint8_t* p = &lists_[list];
    const int count = p[0] + 1;
    int best = p[1], bestDist = 0x7FFFFFFF;
    for (int t = 1; t <= count; ++t) {
        const int i = p[t];
        const int dr = pr_[i] - r, dg = pg_[i] - g, db = pb_[i] - b;
        const int d = dr * dr + dg * dg + db * db;
        // Selects rather than branches: which entry wins is hard to guess.
        const bool nearer = d < bestDist;
        best = nearer ? i : best;
        bestDist = nearer ? d : bestDist;
    }
    return best;
}

// The answer for a colour whose cell is not built yet or whose answer is
// not known yet.
int NearestMap::LookupSlow(int r, int g, int b) {
    constexpr int subBits = 3 * (8 - kFineBits);
    const uint32_t key = spreadR_[r] | spreadG_[g] | spreadB_[b];
    const uint32_t cell = key >> subBits;
    uint32_t entry = fine_[cell];
    if (!entry) entry = Build(int(cell));
    const size_t block = entry >> 8;
    uint8_t& answer = answers_[(block << subBits) | (key & (kFineColors - 1))];
    if (answer == (entry & 0xFF)) answer = uint8_t(Search(listOf_[block], r, g, b));
    return answer;
}

int NearestMap::Nearest(int r, int g, int b) { return LookupSlow(r, g, b); }

void NearestMap::MapRow(const BYTE* bgr, BYTE* out, int width) {
    constexpr int subBits = 3 * (8 - kFineBits);
    // Local copies: the writes to `out` could otherwise alias them.
    const uint32_t* fine = fine_.data();
    const uint8_t* answers = answers_.data();
    for (int x = 0; x < width; ++x, bgr += 3) {
        const uint32_t key = spreadR_[bgr[2]] | spreadG_[bgr[1]] | spreadB_[bgr[0]];
        const uint32_t entry = fine[key >> subBits];
        const uint8_t answer = answers[((entry >> 8) << subBits) | (key & (kFineColors - 1))];
        if (answer != (entry & 0xFF)) {
            out[x] = answer;
            continue;
        }
        out[x] = BYTE(LookupSlow(bgr[2], bgr[1], bgr[0]));
        fine = fine_.data();
        answers = answers_.data();
    }
}

}  // namespace hv
