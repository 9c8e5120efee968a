// Orders of a theme's pockets and of its palette.
#include "extract/colordist.h"
#include "huevane/color.h"
#include "huevane/theme.h"

namespace {
// Stable in-place order of a[0..n): an element moves before its left
// neighbours only while after(neighbour, element) holds, so equal keys keep
// their relative order. The result is the unique stable order by the key.
template <typename T, typename After>
void StableOrder(T* a, int n, After after) {
    for (int i = 1; i < n; ++i) {
        T v = a[i];
        int j = i;
        while (j > 0 && after(a[j - 1], v)) {
            a[j] = a[j - 1];
            --j;
        }
        a[j] = v;
    }
}

// Pockets by a key, largest first.
template <typename Key>
int SortPocketsDesc(ccDynaArray<ccColorPocket*>& pockets, int& sortMode, int mode, Key key) {
    if (pockets.GetSize() < 2) return -10;
    StableOrder(pockets.begin(), pockets.GetSize(),
                [&](ccColorPocket* a, ccColorPocket* b) { return key(a) < key(b); });
    sortMode = mode;
    return 0;
}

constexpr int kPal = 256;

// Palette indices by a key of their item; descending when desc is set.
template <typename Key>
int SortPalette(const ccColorItem* palette, int paletteSize, int* order, bool desc, Key key) {
    if (!palette || paletteSize < kPal || !order) return -1;
    int tmp[kPal];
    for (int i = 0; i < kPal; ++i) tmp[i] = i;
    StableOrder(tmp, kPal, [&](int a, int b) { return desc ? key(a) < key(b) : key(a) > key(b); });
    for (int i = 0; i < kPal; ++i) order[i] = tmp[i];
    return 0;
}
}  // namespace

int ccColorPocketArray::SortOnPercentage() {
    return SortPocketsDesc(pockets, sortMode, 2, [](ccColorPocket* p) { return p->pixelNum; });
}

int ccColorPocketArray::SortOnHue() {
    return SortPocketsDesc(pockets, sortMode, 1, [](ccColorPocket* p) { return HslHue(p->aveHSL); });
}

int ccColorPocketArray::SortOnLight() {
    return SortPocketsDesc(pockets, sortMode, 3, [](ccColorPocket* p) { return HslLight(p->aveHSL); });
}

int ccColorPocketArray::SortMainOnClrDiff() {
    const int n = pockets.GetSize();
    if (n == 0) return -1;
    int main = -1;
    for (int i = 0; i < n && main < 0; ++i)
        if (pockets[i]->selState >= 256) main = i;
    if (main >= 0)
        pockets.Swap(0, main);
    else
        SortOnPercentage();
    const tagRGBQUAD centre = pockets[0]->aveRGB;
    StableOrder(pockets.begin() + 1, n - 1, [&](ccColorPocket* a, ccColorPocket* b) {
        return hv::ColorDist2(a->aveRGB, centre) > hv::ColorDist2(b->aveRGB, centre);
    });
    // The pockets are no longer in a hue, size or lightness order.
    sortMode = 0;
    return 0;
}

int ccColorPocketArray::Sort(int mode) {
    switch (mode) {
    case 1: return SortOnHue();
    case 2: return SortOnPercentage();
    case 3: return SortOnLight();
    case 4: return SortMainOnClrDiff();
    default: return -1;
    }
}

int ccColorPocketArray::SortPalOnLight(int* order) {
    const ccColorItem* pal = palette;
    return SortPalette(pal, paletteSize, order, false, [pal](int i) { return HslLight(pal[i].hsl); });
}

int ccColorPocketArray::SortPalOnHue(int* order) {
    const ccColorItem* pal = palette;
    return SortPalette(pal, paletteSize, order, false, [pal](int i) { return HslHue(pal[i].hsl); });
}

int ccColorPocketArray::SortPalOnPixelNumDesc(int* order) {
    const ccColorItem* pal = palette;
    return SortPalette(pal, paletteSize, order, true, [pal](int i) { return pal[i].pixelNum; });
}

int ccColorPocketArray::SortPalOnCenterDist(int* order, int center) {
    if (!palette || paletteSize < kPal || !order || center < 0 || center >= kPal) return -1;
    int dist[kPal];
    for (int i = 0; i < kPal; ++i) dist[i] = hv::ColorDist2(palette[i].rgb, palette[center].rgb);
    return SortPalette(palette, paletteSize, order, false, [&dist](int i) { return dist[i]; });
}
