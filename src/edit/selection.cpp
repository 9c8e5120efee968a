// Selecting pockets, showing their pixels in colour on a grey image, and
// deleting or merging the selected ones.
#include "color/colorword.h"
#include "dib/dib.h"
#include "edit/owners.h"
#include "huevane/theme.h"

namespace {

constexpr int kSelected = 256;

bool IsSelected(const ccColorPocket* p) { return p->selState >= kSelected; }

// Writes the true colours of p's items into the colour table.
void ShowItems(ccColorPocketArray& theme, ccColorPocket* p, tagRGBQUAD* table) {
    for (ccColorItem* it : p->items) {
        if (!it || !hv::PaletteItem(theme, it->palIndex) || it->palIndex > 255) continue;
        table[it->palIndex] = theme.palette[it->palIndex].rgb;
    }
}

}  // namespace

void ccColorPocketArray::SetRDSFlag(int flag) {
    for (ccColorPocket* p : pockets) p->rdsFlag = flag;
}

ccColorPocket* ccColorPocketArray::GetFirstSelected() {
    const int i = GetFirstSelectedIndex();
    return i < 0 ? nullptr : pockets[i];
}

int ccColorPocketArray::GetFirstSelectedIndex() {
    for (int i = 0; i < pockets.GetSize(); ++i)
        if (IsSelected(pockets[i])) return i;
    return -1;
}

int ccColorPocketArray::SelectAll() {
    for (ccColorPocket* p : pockets) p->selState = kSelected;
    return pockets.GetSize();
}

int ccColorPocketArray::UnselectAll() {
    for (ccColorPocket* p : pockets) p->selState = -1;
    return pockets.GetSize();
}

int ccColorPocketArray::HighlightColors(ccColorPocket* pocket, bool withSelected) {
    if (!palDib) return -1;
    ipDibStuff v(palDib, false);
    if (!v.colors || v.numColors != 256) return -1;
    tagRGBQUAD* table = v.colors;
    // A highlight over a highlight keeps the first colours to go back to.
    if (!highlighted)
        for (int i = 0; i < 256; ++i) savedColors[i] = table[i];
    for (int i = 0; i < 256; ++i) {
        const ccColorItem* item = hv::PaletteItem(*this, i);
        const int light = HslLight(item ? item->hsl : RGBtoHSL(savedColors[i]));
        const BYTE g = static_cast<BYTE>(100 + light * 100 / 255);
        table[i].rgbBlue = table[i].rgbGreen = table[i].rgbRed = g;
    }
    if (pocket) ShowItems(*this, pocket, table);
    if (withSelected)
        for (ccColorPocket* p : pockets)
            if (IsSelected(p)) ShowItems(*this, p, table);
    highlighted = true;
    return 0;
}

int ccColorPocketArray::UnhighlightColors() {
    if (!highlighted || !palDib) return -1;
    ipDibStuff v(palDib, false);
    if (!v.colors || v.numColors != 256) return -1;
    for (int i = 0; i < 256; ++i) v.colors[i] = savedColors[i];
    highlighted = false;
    return 0;
}

int ccColorPocketArray::DelSelPockets() {
    int removed = 0;
    for (ccColorPocket* p : pockets) {
        if (!IsSelected(p)) continue;
        p->items.RemoveAll();
        ++removed;
    }
    RemoveEmptyPockets();
    return removed;
}

int ccColorPocketArray::MergeSelectedPockets() {
    const int first = GetFirstSelectedIndex();
    if (first < 0) return -1;
    ccColorPocket* target = pockets[first];
    int merged = 0;
    for (int i = first + 1; i < pockets.GetSize(); ++i) {
        ccColorPocket* p = pockets[i];
        if (!IsSelected(p)) continue;
        for (ccColorItem* it : p->items) target->items.Add(it);
        target->pixelNum = hv::AddCounts(target->pixelNum, p->pixelNum);
        target->percentage += p->percentage;
        p->items.RemoveAll();
        ++merged;
    }
    const int n = target->items.GetSize();
    if (n > 0) {
        long long r = 0, g = 0, b = 0;
        for (ccColorItem* it : target->items) {
            r += it->rgb.rgbRed;
            g += it->rgb.rgbGreen;
            b += it->rgb.rgbBlue;
        }
        target->aveRGB.rgbRed = static_cast<BYTE>(r / n);
        target->aveRGB.rgbGreen = static_cast<BYTE>(g / n);
        target->aveRGB.rgbBlue = static_cast<BYTE>(b / n);
        target->aveHSL = RGBtoHSL(target->aveRGB);
    }
    RemoveEmptyPockets();
    return merged;
}
