// Region style application: re-colouring an image while keeping polygonal
// regions in the colours they had at the start of the call.
#include <new>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/memory.h"
#include "transfer/apply.h"
#include "transfer/regionfill.h"

namespace {

int AdjustWithRegions(void* dib, char* target, char* style, RegionPolygon* regions, int n, void* dib8,
                      void* backup) {
    if (n == 0) return AdjustImageStyle(dib, style, nullptr);
    try {
        // The regions are read and their edges built before anything
        // changes, so that a malformed list or short memory leaves the image
        // as it was.
        hv::RegionFill fill;
        if (!fill.Build(regions, n)) return -1;
        void* source = nullptr;
        int bits = 0;
        {
            ipDibStuff view(dib, false);
            if (!view.usable()) return -1;
            bits = view.bitCount();
            if (bits != 8 && bits != 24) return -1;
            source = view.CopyToHandle();
        }
        if (!source) return -1;
        hv::ApplyOptions opt;
        opt.target = target;
        opt.style = style;
        opt.dib8 = bits == 24 ? dib8 : nullptr;
        opt.backup = bits == 24 ? backup : nullptr;
        opt.respectBackground = false;
        opt.palettePassNeedsPairing = true;
        int r;
        try {
            r = hv::ApplyStyle(dib, opt);
            if (r == 0) {
                ipDibStuff dst(dib, true), src(source, false);
                fill.Restore(dst, src);
            }
        } catch (...) {
            hv::FreeHandle(source);
            throw;
        }
        hv::FreeHandle(source);
        return r;
    } catch (...) {
        return -1;
    }
}

}  // namespace

extern "C" HUEVANE_API int HUEVANE_CALL AdjustImageStyleWithRegions(void* dib, char* style, RegionPolygon* regions,
                                                                    int n) {
    return AdjustWithRegions(dib, nullptr, style, regions, n, nullptr, nullptr);
}

extern "C" HUEVANE_API int HUEVANE_CALL AdjustImageStyleWithRegions2(void* dib, char* target, char* style,
                                                                     RegionPolygon* regions, int n, void* dib8,
                                                                     void* backup) {
    return AdjustWithRegions(dib, target, style, regions, n, dib8, backup);
}
