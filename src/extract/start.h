// The first steps every extraction shares: the 8-bit image (derived from the
// true DIB when needed), its view and histogram, the palette items made on
// first use, and the old pockets discarded.
#pragma once

#include "dib/dib.h"
#include "huevane/theme.h"

namespace hv {

class ExtractionStart {
public:
    // Derives an owned palDib from trueDib when the theme has none, opens the
    // view and fills the histogram. Nothing else in the theme changes.
    explicit ExtractionStart(ccColorPocketArray& theme);
    ExtractionStart(const ExtractionStart&) = delete;
    ExtractionStart& operator=(const ExtractionStart&) = delete;

    // An 8-bit image with a 256-entry colour table and a histogram.
    bool ok() const { return ok_; }
    // Builds the 256 palette items unless a palette of 256 or more exists
    // (it is reused with its counts), then deletes the pockets. False when
    // the palette cannot be allocated.
    bool ResetPockets();

    ipDibStuff view;
    int histo[256] = {};
    float pixels = 1.0f;  // width x height, at least 1 in a usable view

private:
    ccColorPocketArray& theme_;
    bool ok_ = false;
};

}  // namespace hv
