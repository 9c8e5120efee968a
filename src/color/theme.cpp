#include "huevane/theme.h"

#include <new>

#include "color/colorword.h"
#include "platform/memory.h"

ccColorPocketArray::ccColorPocketArray(int type) : themeType(type) {}

ccColorPocketArray::~ccColorPocketArray() {
    ClearAll();
    delete[] palette;
    if (trueDibCopy && !trueDibCopyBorrowed) hv::FreeHandle(trueDibCopy);
    if (palDib && ownsPalDib) hv::FreeHandle(palDib);
}

void ccColorPocketArray::ClearAll() {
    pockets.FreeMem();
    pockets.RemoveAll();
}

void ccColorPocketArray::SetPalDib(void* dib, bool owns) {
    if (dib == palDib) return;
    if (palDib && ownsPalDib) hv::FreeHandle(palDib);
    palDib = dib;
    ownsPalDib = owns;
}

int ccColorPocketArray::InitPalette(int n) {
    delete[] palette;
    palette = nullptr;
    paletteSize = 0;
    if (n <= 0) return 0;
    palette = new (std::nothrow) ccColorItem[static_cast<size_t>(n)];
    if (!palette) return 0;
    paletteSize = n;
    return n;
}

ccColorItem* ccColorPocketArray::SetPalEntry(int i, float r, float g, float b, int count, int total) {
    return SetPalEntryBYTE(i, static_cast<unsigned char>(static_cast<int>(r * 255.0)),
                           static_cast<unsigned char>(static_cast<int>(g * 255.0)),
                           static_cast<unsigned char>(static_cast<int>(b * 255.0)), count, total);
}

ccColorItem* ccColorPocketArray::SetPalEntryBYTE(int i, unsigned char r, unsigned char g, unsigned char b,
                                                 int count, int total) {
    ccColorItem& it = palette[i];
    it.rgb = {b, g, r, 0};
    it.hsl = RGBtoHSL(it.rgb);
    it.palIndex = i;
    it.pixelNum = count;
    it.percentage = static_cast<float>(static_cast<double>(count) / total);
    return &it;
}

int ccColorPocketArray::GetImageWidth() {
    hv::HandleLock lock(palDib);
    if (lock.size() < sizeof(BITMAPINFOHEADER)) return -1;
    return static_cast<const BITMAPINFOHEADER*>(lock.ptr())->biWidth;
}

int ccColorPocketArray::GetIndex(ccColorPocket* p) {
    for (int i = 0; i < pockets.GetSize(); ++i)
        if (pockets[i] == p) return i;
    return -1;
}

ccColorPocket* ccColorPocketArray::GetColorPocket(int id) {
    for (ccColorPocket* p : pockets)
        if (p->index == id) return p;
    return nullptr;
}

int ccColorPocketArray::GetMainHue() { return HslHue(pockets.GetAt(0)->aveHSL); }

void ccColorPocketArray::SetTrueDibCopy(void* dib) {
    if (!trueDib || trueDibCopy) return;
    trueDibCopy = dib;
    trueDibCopyBorrowed = true;
}
