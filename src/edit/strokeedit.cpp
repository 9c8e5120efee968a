// Reshaping pockets by drawing over the image: the colours under a stroke
// or a cut move between pockets. Only palette indices are read; the
// image's pixels never change.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "edit/linewalk.h"
#include "edit/owners.h"
#include "huevane/theme.h"

namespace {

constexpr int kSelected = 256;
constexpr int kNearColour = 20;  // sum of absolute channel differences

// The pixels of palDib, usable when it is an 8-bit image with a 256-entry
// colour table.
bool UsablePalette(ipDibStuff& v) { return v.isPalette8(); }

hv::Window ImageWindow(ipDibStuff& v) { return hv::Window{0, v.width() - 1, 0, v.height() - 1}; }

// Moves the item of palette index i from o to target, when o holds it.
void MoveIndex(ccColorPocketArray& theme, ccColorPocket* o, int i, ccColorPocket* target) {
    const int pos = o->GetColorItemIndex(i);
    if (pos >= 0) theme.MoveClrItem(o, pos, target);
}

// a - b, stopping at the int range (counts may come from outside data).
int SubCounts(int a, int b) {
    const int64_t d = static_cast<int64_t>(a) - b;
    return d > INT32_MAX ? INT32_MAX : (d < INT32_MIN ? INT32_MIN : static_cast<int>(d));
}

ccColorPocket* AppendNewPocket(ccColorPocketArray& theme, int origin) {
    ccColorPocket* p = new ccColorPocket();
    p->percentage = 0;
    p->origin = origin;
    theme.pockets.Add(p);
    return p;
}

// The common walk of the stroke operations: visit(palette index) for every
// stroke pixel inside the image, in drawing order.
template <typename Visit>
void WalkStroke(wStroke& stroke, ipDibStuff& v, Visit&& visit) {
    hv::WalkPolyline(stroke.GetPointList(), v.height(), ImageWindow(v), [&](int64_t x, int64_t y) {
        visit(static_cast<int>(v.rows[static_cast<size_t>(y)][x]));
        return true;
    });
}

}  // namespace

int ccColorPocketArray::MoveClrItem(ccColorPocket* from, int index, ccColorPocket* to) {
    if (from == to || !from || !to) return -1;
    ccColorItem* item = from->items.GetAt(index);
    to->items.Add(item);
    from->items.RemoveAt(index);
    if (item) {
        to->pixelNum = hv::AddCounts(to->pixelNum, item->pixelNum);
        to->percentage += item->percentage;
        from->pixelNum = SubCounts(from->pixelNum, item->pixelNum);
        from->percentage -= item->percentage;
    }
    to->GetAveRGB();
    to->GetAveHSL();
    from->GetAveRGB();  // an emptied pocket keeps its last colour
    from->GetAveHSL();
    return 0;
}

int ccColorPocketArray::AddToSelFromStroke(wStroke* stroke) {
    if (!palDib || !stroke || stroke->GetPointList().empty()) return -1;
    ipDibStuff v(palDib, true);
    if (!UsablePalette(v)) return -1;
    ccColorPocket* target = nullptr;
    for (ccColorPocket* p : pockets) {
        if (p->selState != kSelected) continue;
        if (target) return -3;
        target = p;
    }
    if (!target) return -2;
    hv::OwnerTable owners(pockets);
    WalkStroke(*stroke, v, [&](int i) {
        if (owners.of[i]) return;  // the target's own, or another pocket's: left where it is
        if (ccColorItem* item = hv::PaletteItem(*this, i)) target->AddColorItem(item);
        owners.of[i] = target;
    });
    RemoveEmptyPockets();
    return 0;
}

int ccColorPocketArray::NewPocket(wStroke* stroke) {
    if (!palDib || !stroke || stroke->GetPointList().empty()) return -1;
    ipDibStuff v(palDib, true);
    if (!UsablePalette(v)) return -1;
    hv::OwnerTable owners(pockets);
    ccColorPocket* fresh = AppendNewPocket(*this, 3);
    WalkStroke(*stroke, v, [&](int i) {
        ccColorPocket* o = owners.of[i];
        if (o == fresh) return;
        if (!o) {
            if (ccColorItem* item = hv::PaletteItem(*this, i)) fresh->AddColorItem(item);
        } else {
            MoveIndex(*this, o, i, fresh);
        }
        owners.of[i] = fresh;
    });
    if (fresh->items.GetSize() > 0) {
        for (int i = 0; i < 256; ++i) {
            ccColorItem* item = hv::PaletteItem(*this, i);
            if (!item || item->pixelNum <= 0 || owners.of[i]) continue;
            const tagRGBQUAD& c = item->rgb;
            const tagRGBQUAD& a = fresh->aveRGB;
            const int d = std::abs(c.rgbBlue - a.rgbBlue) + std::abs(c.rgbGreen - a.rgbGreen) +
                          std::abs(c.rgbRed - a.rgbRed);
            if (d < kNearColour) fresh->AddColorItem(item);
        }
    }
    RemoveEmptyPockets();
    return 0;
}

int ccColorPocketArray::DetachColor(wStroke* stroke) {
    if (!palDib || !stroke || stroke->GetPointList().empty()) return -1;
    ipDibStuff v(palDib, true);
    if (!UsablePalette(v)) return -1;
    hv::OwnerTable owners(pockets);
    ccColorPocket* fresh = AppendNewPocket(*this, 2);
    WalkStroke(*stroke, v, [&](int i) {
        ccColorPocket* o = owners.of[i];
        if (!o) {
            if (ccColorItem* item = hv::PaletteItem(*this, i)) fresh->AddColorItem(item);
            owners.of[i] = fresh;
        } else if (o != fresh && o->selState == kSelected) {
            MoveIndex(*this, o, i, fresh);
            owners.of[i] = fresh;
        }
    });
    RemoveEmptyPockets();
    return 0;
}

int ccColorPocketArray::MergePocketOnStroke(dPointBuf* pixels) {
    if (!pixels || pixels->count < 2 || !pixels->points || !palDib) return -1;
    ipDibStuff v(palDib, true);
    if (!UsablePalette(v)) return -1;
    const int n = pixels->count < pixels->capacity ? pixels->count : pixels->capacity;
    const int w = v.width(), h = v.height();
    auto inside = [w, h](const tagPOINT& p) { return p.x >= 0 && p.x < w && p.y >= 0 && p.y < h; };
    auto indexAt = [&v](const tagPOINT& p) { return static_cast<int>(v.rows[static_cast<size_t>(p.y)][p.x]); };
    const tagPOINT* pts = pixels->points;
    if (n < 2) return -1;
    if (!inside(pts[0])) return -2;
    hv::OwnerTable owners(pockets);
    ccColorPocket* target = owners.of[indexAt(pts[0])];
    if (!target) return -2;
    for (int k = 1; k < n; ++k) {
        if (!inside(pts[k])) continue;
        const int i = indexAt(pts[k]);
        ccColorPocket* o = owners.of[i];
        if (!o || o == target) continue;
        MoveIndex(*this, o, i, target);
        owners.of[i] = target;
    }
    return 0;
}

int ccColorPocketArray::GetColorPocketsFromCut(cPointsCut* cut) {
    if (!palDib) return -1;
    ipDibStuff v(palDib, true);
    if (!UsablePalette(v)) return -1;
    // The palette indices under the cut's points that lie inside the image.
    std::vector<int> idx;
    if (cut && cut->points && cut->count > 0) {
        const int64_t w = v.width(), h = v.height();
        idx.reserve(static_cast<size_t>(cut->count));
        for (int k = 0; k < cut->count; ++k) {
            const int64_t x = cut->points[k].x, y = h - 1 - cut->points[k].y;
            if (x >= 0 && x < w && y >= 0 && y < h) idx.push_back(v.rows[static_cast<size_t>(y)][x]);
        }
    }
    const int64_t n = static_cast<int64_t>(idx.size());
    if (n < 5) return -3;
    // Cumulative brightness, then the split with the largest step in mean.
    std::vector<int64_t> sum(static_cast<size_t>(n));
    int64_t run = 0;
    for (int64_t k = 0; k < n; ++k) {
        const tagRGBQUAD& c = v.colors[idx[static_cast<size_t>(k)]];
        run += (c.rgbRed + c.rgbGreen + c.rgbBlue) / 3;
        sum[static_cast<size_t>(k)] = run;
    }
    int64_t edge = -1, best = -1;
    for (int64_t s = 1; s <= n - 2; ++s) {
        const int64_t before = sum[static_cast<size_t>(s)] / (s + 1);
        const int64_t after = (sum[static_cast<size_t>(n - 1)] - sum[static_cast<size_t>(s)]) / (n - 1 - s);
        const int64_t d = after > before ? after - before : before - after;
        if (d > best) {
            best = d;
            edge = s;
        }
    }
    hv::OwnerTable owners(pockets);
    ccColorPocket* target = nullptr;
    for (int64_t k = 0; k < edge && !target; ++k) {
        ccColorPocket* o = owners.of[idx[static_cast<size_t>(k)]];
        if (o && o->origin != 0) target = o;
    }
    ccColorPocket* fresh = target ? nullptr : AppendNewPocket(*this, 1);
    if (fresh) target = fresh;
    for (int64_t k = 0; k < edge; ++k) {
        const int i = idx[static_cast<size_t>(k)];
        ccColorPocket* o = owners.of[i];
        if (!o || o == target) continue;
        MoveIndex(*this, o, i, target);
        owners.of[i] = target;
    }
    if (fresh && fresh->items.GetSize() == 0) {
        pockets.RemoveAt(pockets.GetSize() - 1);
        delete fresh;
    }
    return 0;
}
