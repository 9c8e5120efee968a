// The re-colouring shared by the style-application functions.
#pragma once

class ccColorPocketArray;

namespace hv {

struct ApplyOptions {
    char* target = nullptr;  // the image's own style buffer, or null
    char* style = nullptr;   // the style buffer
    void* dib8 = nullptr;    // the host's 8-bit form of a 24-bit image, or null
    void* backup = nullptr;  // the host's copy of the first pixels, or null
    bool respectBackground = true;
    // Run the palette pass of an 8-bit image only when the pairing succeeded.
    bool palettePassNeedsPairing = false;
};

// Builds the target and style themes, pairs them by method 2 and re-colours
// the image: its colour table at 8 bits, its pixels at 24. 0, or -1 for
// another depth or a failed reduction (nothing changed). May throw
// std::bad_alloc; the flat functions catch it.
int ApplyStyle(void* dib, const ApplyOptions& opt);

// target.GetDstPockets(&style, ...), except that on an empty theme, where
// methods 4 and 5 raise std::out_of_range, every pocket is left unpaired
// (result -1).
int PairSafely(ccColorPocketArray& target, ccColorPocketArray& style, bool respectBackground, int method);

// Fills a theme from a style buffer; a null buffer leaves it empty.
void LoadTheme(ccColorPocketArray& theme, char* buffer);

}  // namespace hv
