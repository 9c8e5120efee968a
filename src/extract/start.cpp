// The first steps every extraction shares.
#include "extract/start.h"

#include "color/colorword.h"

namespace hv {
namespace {
void* PalDibOf(ccColorPocketArray& t) {
    // The 8-bit form of a true DIB belongs to the theme.
    if (t.trueDib && !t.palDib) {
        t.palDib = DecreaseBpp24to8(t.trueDib);
        t.ownsPalDib = t.palDib != nullptr;
    }
    return t.palDib;
}
}  // namespace

ExtractionStart::ExtractionStart(ccColorPocketArray& theme) : view(PalDibOf(theme), true), theme_(theme) {
    // A usable view has a width and height of at least 1.
    if (!theme.palDib || !view.isPalette8() || view.StatHisto(histo) != 0) return;
    pixels = static_cast<float>(static_cast<long long>(view.width()) * view.height());
    ok_ = true;
}

bool ExtractionStart::ResetPockets() {
    ccColorPocketArray& t = theme_;
    t.ClearAll();
    // A palette from an earlier call is reused with its counts; one too small
    // to cover every index is rebuilt.
    if (t.palette && t.paletteSize >= 256) return true;
    if (t.InitPalette(256) != 256) return false;
    for (int i = 0; i < 256; ++i) {
        ccColorItem& it = t.palette[i];
        it.rgb = view.colors[i];
        it.hsl = RGBtoHSL(it.rgb);
        it.palIndex = i;
        it.pixelNum = histo[i];
        it.percentage = static_cast<float>(histo[i]) / pixels;
    }
    return true;
}

}  // namespace hv
