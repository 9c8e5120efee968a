// The default extraction: palette colours grouped by hue, reclustered by
// nearest colour and ordered by size.
#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/theme.h"

int ccColorPocketArray::SetDib(void* dib) {
    if (dib == palDib) return -11;
    SetPalDib(dib, false);
    GetColorPockets();
    return 0;
}

int ccColorPocketArray::GetColorPockets() {
    // The 8-bit form of a true DIB belongs to the theme.
    if (trueDib && !palDib) {
        palDib = DecreaseBpp24to8(trueDib);
        ownsPalDib = palDib != nullptr;
    }
    if (!palDib) return -1;

    ipDibStuff view(palDib, true);
    // An unusable view covers a width or height of 0 or less, so the pixel
    // total below is at least 1.
    if (!view.isPalette8()) return -1;
    int histo[256];
    if (view.StatHisto(histo) != 0) return -1;
    const float total = static_cast<float>(static_cast<long long>(view.width()) * view.height());

    ClearAll();
    // A palette from an earlier call is reused with its counts; one too small
    // to cover every index is rebuilt.
    if (!palette || paletteSize < 256) {
        if (InitPalette(256) != 256) return -1;
        for (int i = 0; i < 256; ++i) {
            ccColorItem& it = palette[i];
            it.rgb = view.colors[i];
            it.hsl = RGBtoHSL(it.rgb);
            it.palIndex = i;
            it.pixelNum = histo[i];
            it.percentage = static_cast<float>(histo[i]) / total;
        }
    }

    // First fit by hue: the first pocket that accepts the colour keeps it.
    for (int i = 0; i < 256; ++i) {
        if (histo[i] <= 0) continue;
        ccColorItem* item = &palette[i];
        bool taken = false;
        for (int k = 0; k < pockets.GetSize() && !taken; ++k) taken = pockets[k]->AddColorItem(item) >= 0;
        if (taken) continue;
        auto* p = new ccColorPocket;
        p->AddColorItem(item);
        pockets.Add(p);
    }
    for (ccColorPocket* p : pockets) p->percentage = static_cast<float>(p->pixelNum) / total;

    Recluster();
    SortOnPercentage();
    for (int j = 0; j < pockets.GetSize(); ++j) pockets[j]->index = j;
    return 0;
}
