// ccColorPocketArray: the theme of one image.
//
// A theme holds the image's palette as colour items, the pockets that group
// those items into the theme's colours, and the DIB handles of its image.
// It owns its pockets and palette; it owns palDib only when ownsPalDib is
// set and trueDibCopy unless trueDibCopyBorrowed is set; it never owns
// trueDib. Handles are released with GlobalFree.
//
// Themes are not copyable: a copy would share pockets, palette and handles
// with its source and release them twice.
#pragma once

#include <string>

#include "huevane/color.h"
#include "huevane/dynaarray.h"
#include "huevane/platform.h"

class HUEVANE_API ccColorPocketArray {
public:
    ccDynaArray<ccColorPocket*> pockets;  // owned, in the theme's current order
    void* palDib = nullptr;               // 8-bit image; owned when ownsPalDib
    void* trueDib = nullptr;              // 24-bit host image; never owned
    std::string name;
    ccColorItem* palette = nullptr;       // one item per palette index; owned
    int paletteSize = 0;
    int transferCount = 0;                // colour transfers written into trueDib
    tagRGBQUAD savedColors[256];          // colour table saved while highlighted
    int sortMode = 0;                     // 0 none, 1 hue, 2 percentage, 3 lightness
    bool highlighted = false;
    std::string tagText;
    std::string originalPath;
    int themeType = 0;                    // 0 from an image, 1 from a list or interpolation
    void* trueDibCopy = nullptr;          // backup of trueDib; owned unless borrowed
    bool ownsPalDib = false;
    bool trueDibCopyBorrowed = false;

    // An empty theme of the given type.
    explicit ccColorPocketArray(int type = 0);
    // Releases pockets, palette, an owned palDib and an owned trueDibCopy.
    ~ccColorPocketArray();
    ccColorPocketArray(const ccColorPocketArray&) = delete;
    ccColorPocketArray& operator=(const ccColorPocketArray&) = delete;

    // ---- object ----

    // Deletes every pocket; palette, handles and other fields stay.
    void ClearAll();
    // Attaches a palette DIB; a different handle replaces (and, if owned,
    // releases) the current one and takes the given ownership flag.
    void SetPalDib(void* dib, bool owns);
    // Attaches the host's 24-bit image; the theme never releases it.
    void SetTrueDib(void* dib) { trueDib = dib; }
    // Replaces the palette by n default items; returns n, or 0 (no palette)
    // when n is not positive or memory is short. Pockets are not touched.
    int InitPalette(int n);
    // Fills item i from colour fractions 0..1 (truncated bytes) and its
    // count; percentage = count / total. The caller keeps i in range.
    ccColorItem* SetPalEntry(int i, float r, float g, float b, int count, int total);
    ccColorItem* SetPalEntryBYTE(int i, unsigned char r, unsigned char g, unsigned char b, int count,
                                 int total);
    // biWidth of palDib, or -1 without a usable palette DIB.
    int GetImageWidth();
    // Position of pocket p in pockets, or -1.
    int GetIndex(ccColorPocket* p);
    // First pocket whose index field equals id, or null.
    ccColorPocket* GetColorPocket(int id);
    // Hue of the first pocket; std::out_of_range on a theme without pockets.
    int GetMainHue();
    int GetThemeType() { return themeType; }
    void* GetTrueDibCopy() { return trueDibCopy; }
    // Lends the host's backup of trueDib; ignored without a trueDib or when
    // a copy is already in place. The theme does not release it.
    void SetTrueDibCopy(void* dib);

    // ---- extraction ----

    // ---- persistence ----

    // L, the byte count after the length field of the theme's buffer as
    // SaveToBuf would write it now; -1 when it would not fit an int.
    int GetDataBufLength();
    // Writes the theme (version 21) into a new array of L + 4 bytes whose
    // address goes to buf; returns L. The caller releases the array with
    // FreeDataBuf or FreeStyleBuf. -1 with buf null when L does not fit an
    // int or memory is short.
    int SaveToBuf(char*& buf);
    // Releases an array made by SaveToBuf (null is ignored); returns 0.
    int FreeDataBuf(char* buf);
    // Replaces name, palette and pockets with those of the buffer, which
    // must hold L + 4 bytes, L being its first four bytes; returns L. Nothing
    // beyond those bytes is read. A null or malformed buffer (truncated
    // field, negative or oversized count, member index outside the palette,
    // L above INT_MAX) returns -1 and leaves the theme without pockets, its
    // name and palette unchanged. Fields the buffer does not carry stay.
    int LoadFromBuf(char* buf);
    // Writes the theme file (the buffer without its length field), sharing
    // denied while open. 0, or -1 when the file cannot be opened or written.
    int SaveToFile(const char* path);
    // Reads a theme file into the theme. 0; -1 when the file cannot be
    // opened (theme untouched); -2 when it opens but holds no well-formed
    // theme (pockets deleted, name and palette unchanged, as LoadFromBuf).
    int LoadFromFile(const char* path);

    // ---- matching and transfer ----

    // ---- editing ----
};
