// Marking the image's background: the colours of a rectangle gathered into
// one pocket flagged as background, which matching keeps apart.
#include <cstdint>

#include "dib/dib.h"
#include "huevane/theme.h"

int ccColorPocketArray::GetBackground(tagRECT* rect) {
    if (!palDib || !rect) return -1;
    ipDibStuff v(palDib, true);
    if (!v.isPalette8()) return -1;
    // Marks of the palette indices inside the rectangle, clipped to the image.
    bool marked[256] = {};
    const int64_t left = rect->left < 0 ? 0 : rect->left, top = rect->top < 0 ? 0 : rect->top;
    const int64_t right = rect->right >= v.width() ? v.width() - 1 : rect->right;
    const int64_t bottom = rect->bottom >= v.height() ? v.height() - 1 : rect->bottom;
    for (int64_t y = top; y <= bottom; ++y) {
        const BYTE* row = v.rows[static_cast<size_t>(y)];
        for (int64_t x = left; x <= right; ++x) marked[row[x]] = true;
    }
    ccColorPocket* background = nullptr;
    for (ccColorPocket* p : pockets)
        if (p->flags & 1) {
            background = p;
            break;
        }
    if (!background) {
        background = new ccColorPocket();
        background->percentage = 0;
        background->flags = 1;
        pockets.Add(background);
    }
    for (ccColorPocket* p : pockets) {
        if (p->flags & 1) continue;
        for (int k = p->items.GetSize() - 1; k >= 0; --k) {
            const ccColorItem* it = p->items[k];
            if (it && it->palIndex >= 0 && it->palIndex < 256 && marked[it->palIndex]) MoveClrItem(p, k, background);
        }
    }
    RemoveEmptyPockets();
    return 0;
}

int ccColorPocketArray::GetBackground(wStroke* /*stroke*/) {
    if (!palDib) return -1;
    ipDibStuff v(palDib, true);
    return v.isPalette8() ? 0 : -1;
}
