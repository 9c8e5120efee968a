// Style application: re-colouring a host's image in the style of a style
// buffer, with a computed pairing or with one the host supplies.
#include <new>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "transfer/apply.h"
#include "transfer/transfer.h"

extern "C" HUEVANE_API int HUEVANE_CALL AdjustImageStyle(void* dib, char* style, char* target) {
    try {
        hv::ApplyOptions opt;
        opt.style = style;
        opt.target = target;
        return hv::ApplyStyle(dib, opt);
    } catch (...) {
        return -1;
    }
}

extern "C" HUEVANE_API int HUEVANE_CALL AdjustImageStyle2(void* dib, char* target, char* style, void* dib8,
                                                          void* backup) {
    try {
        hv::ApplyOptions opt;
        opt.style = style;
        opt.target = target;
        int bits = 0;
        {
            ipDibStuff view(dib, false);
            bits = view.usable() ? view.bitCount() : 0;
        }
        // The last two arguments only concern 24-bit images.
        if (bits == 24) {
            opt.dib8 = dib8;
            opt.backup = backup;
        }
        return hv::ApplyStyle(dib, opt);
    } catch (...) {
        return -1;
    }
}

extern "C" HUEVANE_API int HUEVANE_CALL AdjustImageStyle3(void* dib, char* style, char* target,
                                                          MatchLinkTable* table) {
    try {
        ccColorPocketArray t(0), s(0);
        hv::LoadTheme(t, target);
        hv::LoadTheme(s, style);
        if (table && table->links)
            for (int i = 0; i < table->count; ++i) {
                const MatchLink& link = table->links[i];
                ccColorPocket* p = t.GetColorPocket(link.targetIndex);
                if (!p) continue;
                if (ccColorPocket* q = s.GetColorPocket(link.styleIndex))
                    p->SetDestLink(q);
                else
                    p->destLink = nullptr;
            }
        int bits = 0;
        {
            ipDibStuff view(dib, false);
            bits = view.usable() ? view.bitCount() : 0;
        }
        if (bits == 8) {
            t.SetPalDib(dib, false);
            t.ApplyFinalTransToPalDib(false);
        } else if (bits == 24) {
            t.SetTrueDib(dib);
            if (void* dib8 = DecreaseBpp24to8(dib)) {
                t.SetPalDib(dib8, true);
                hv::TrueDibPassOnce(t);
            }
        }
    } catch (...) {
    }
    return 0;
}

extern "C" HUEVANE_API int HUEVANE_CALL GetMatchLinks(char* style, char* target, int method,
                                                      MatchLinkTable* table) {
    try {
        ccColorPocketArray t(0), s(0);
        hv::LoadTheme(t, target);
        hv::LoadTheme(s, style);
        hv::PairSafely(t, s, true, method);
        if (!table) return 0;
        table->count = t.pockets.GetSize();
        if (!table->links) return 0;
        for (int i = 0; i < t.pockets.GetSize(); ++i) {
            ccColorPocket* p = t.pockets[i];
            table->links[i].targetIndex = p->index;
            table->links[i].styleIndex = p->destLink ? p->destLink->index : -1;
        }
    } catch (...) {
    }
    return 0;
}
