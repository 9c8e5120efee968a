// Look-up tables of the true-DIB pass.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "huevane/color.h"

class ccColorPocketArray;

namespace hv {

// Re-colours rows of 24-bit pixels through the pockets of their palette
// indices, with the same result as transferring each pixel on its own
// (ccColorPocketArray::ClrTransOnRGB). Built once per pass from the pocket of
// each palette index (null or unpaired: the pixel is left alone).
class PixelTransferTables {
public:
    explicit PixelTransferTables(const std::vector<ccColorPocket*>& byIndex);
    // dst[x] = transfer of src[x] through the pocket of index[x], for the
    // pixels whose pocket is paired; the others are not written.
    void Row(const BYTE* index, const BYTE* src, BYTE* dst, int width);
    // Tables made so far: one per distinct destination that a pixel has
    // used, each made on its first use (a small image costs little whatever
    // the number of pockets).
    int TablesMade() const { return made_; }

private:
    struct Key {
        int hue, destSat, divisor;
        bool operator==(const Key& o) const {
            return hue == o.hue && destSat == o.destSat && divisor == o.divisor;
        }
    };
    static constexpr uint32_t kEmpty = 0xFFFFFFFFu;  // results have a 0 top byte
    uint32_t* Make(int t);
    uint32_t Fill(int t, uint32_t* lut, int mx, int mn);

    int table_[256];
    std::vector<Key> keys_;
    // Per key: null until first used. A plain array, so that a pixel reads
    // its table's pointer in one step.
    std::unique_ptr<uint32_t[]> luts_[256];
    int made_ = 0;
};

// The true-DIB pass of a theme used once: as ApplyFinalTransToTrueDib,
// except that a theme without a backup re-colours its image in place
// instead of keeping a copy of the first colours (the result is the same).
// A theme with a backup runs ApplyFinalTransToTrueDib. 0, or -1 when the
// images do not fit the pass.
int TrueDibPassOnce(ccColorPocketArray& theme);

}  // namespace hv
