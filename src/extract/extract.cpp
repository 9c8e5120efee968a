// The default extraction: palette colours grouped by hue, reclustered by
// nearest colour and ordered by size.
#include "color/colorword.h"
#include "extract/start.h"
#include "huevane/theme.h"

int ccColorPocketArray::SetDib(void* dib) {
    if (dib == palDib) return -11;
    SetPalDib(dib, false);
    GetColorPockets();
    return 0;
}

int ccColorPocketArray::GetColorPockets() {
    hv::ExtractionStart start(*this);
    if (!start.ok() || !start.ResetPockets()) return -1;
    const int* histo = start.histo;
    const float total = start.pixels;

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
