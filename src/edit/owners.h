// Working data shared by the editing operations (internal).
#pragma once

#include "huevane/theme.h"

namespace hv {

// For each palette index, the pocket holding its colour item, or null.
// Items whose palette index lies outside 0..255 are not entered.
struct OwnerTable {
    ccColorPocket* of[256];

    explicit OwnerTable(const ccDynaArray<ccColorPocket*>& pockets) {
        for (ccColorPocket*& o : of) o = nullptr;
        for (ccColorPocket* p : pockets)
            for (ccColorItem* it : p->items)
                if (it && it->palIndex >= 0 && it->palIndex < 256) of[it->palIndex] = p;
    }
};

// The theme's colour item of palette index i, or null where the palette
// has none.
inline ccColorItem* PaletteItem(ccColorPocketArray& theme, int i) {
    return theme.palette && i >= 0 && i < theme.paletteSize ? &theme.palette[i] : nullptr;
}

}  // namespace hv
