// Theme structures for the host: a theme as a plain colour list, and which
// theme colours touch each other in an image.
#include <new>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

static_assert(sizeof(ColorThemeEntry) == 8, "ColorThemeEntry is 8 packed bytes");

extern "C" HUEVANE_API int HUEVANE_CALL GetColorThemeStruct(ColorThemeStruct* result, char* styleBuffer) {
    if (!result) return -1;
    result->count = 0;
    result->entries = nullptr;
    try {
        ccColorPocketArray theme(0);
        theme.LoadFromBuf(styleBuffer);  // a bad buffer leaves no pockets
        const int n = theme.pockets.GetSize();
        // One array, also for an empty theme.
        auto* entries = new (std::nothrow) ColorThemeEntry[n > 0 ? n : 1];
        if (!entries) return -1;
        for (int i = 0; i < n; ++i) {
            const ccColorPocket* p = theme.pockets[i];
            entries[i].color = p->aveRGB;
            entries[i].color.rgbReserved = 0;
            entries[i].share = p->percentage;
        }
        result->count = n;
        result->entries = entries;
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" HUEVANE_API void HUEVANE_CALL FreeThemeStruct(ColorThemeStruct* s) {
    if (!s) return;
    delete[] s->entries;
    s->entries = nullptr;
    s->count = 0;
}

extern "C" HUEVANE_API int HUEVANE_CALL GetColorThemeNeighbor(void* dib, int table[256][256], char* styleBuffer) {
    if (!table) return -1;
    try {
        int bits = 0;
        {
            ipDibStuff view(dib, false);
            if (view.usable()) bits = view.bitCount();
        }
        ccColorPocketArray theme(0);
        if (bits == 8) {
            theme.SetPalDib(dib, false);
        } else if (bits == 24) {
            theme.SetTrueDib(dib);
            void* pal = DecreaseBpp24to8(dib);
            if (!pal) return -1;
            theme.SetPalDib(pal, true);  // released with the theme
        } else {
            return -1;
        }
        if (styleBuffer)
            theme.LoadFromBuf(styleBuffer);
        else
            theme.GetColorPockets();
        void* index = theme.FillPocketIndexInDib();
        if (index) {
            {
                ipDibStuff view(index, false);
                view.SetNeighbor(table);
            }
            hv::FreeHandle(index);
        }
        return 0;
    } catch (...) {
        return -1;
    }
}
