#include "transfer/apply.h"

#include <stdexcept>

#include "dib/dib.h"
#include "huevane/theme.h"
#include "transfer/transfer.h"

namespace hv {

int PairSafely(ccColorPocketArray& target, ccColorPocketArray& style, bool respectBackground, int method) {
    try {
        return target.GetDstPockets(&style, respectBackground, method);
    } catch (const std::out_of_range&) {
        // Only methods 4 and 5 index pockets unconditionally; on an empty
        // theme nothing is paired.
        target.ClearDstPockets();
        if (target.sortMode != 2) target.SortOnPercentage();
        return -1;
    }
}

void LoadTheme(ccColorPocketArray& theme, char* buffer) {
    if (buffer) theme.LoadFromBuf(buffer);
}

namespace {
// The image's own buffer when given, its extraction otherwise.
void LoadTarget(ccColorPocketArray& t, char* buffer) {
    if (buffer)
        t.LoadFromBuf(buffer);
    else
        t.GetColorPockets();
}
}  // namespace

int ApplyStyle(void* dib, const ApplyOptions& opt) {
    int bits = 0;
    {
        ipDibStuff view(dib, false);
        if (!view.usable()) return -1;
        bits = view.bitCount();
    }
    ccColorPocketArray target(0), style(0);
    if (bits == 8) {
        target.SetPalDib(dib, false);
        LoadTarget(target, opt.target);
        LoadTheme(style, opt.style);
        const int r = PairSafely(target, style, opt.respectBackground, 2);
        if (!opt.palettePassNeedsPairing || r >= 0) target.ApplyFinalTransToPalDib(false);
        return 0;
    }
    if (bits != 24) return -1;
    target.SetTrueDib(dib);
    if (opt.dib8) {
        target.SetPalDib(opt.dib8, false);
    } else {
        void* dib8 = DecreaseBpp24to8(dib);
        if (!dib8) return -1;
        target.SetPalDib(dib8, true);  // released with the theme
    }
    if (opt.backup) target.SetTrueDibCopy(opt.backup);
    LoadTarget(target, opt.target);
    LoadTheme(style, opt.style);
    PairSafely(target, style, opt.respectBackground, 2);
    // The theme ends with this call: without the host's backup, no copy of
    // the first colours is kept.
    TrueDibPassOnce(target);
    return 0;
}

}  // namespace hv
