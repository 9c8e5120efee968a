// Reshaping a theme's pockets: nearest pocket, merging, shares, reclustering.
#include <vector>

#include "color/colorword.h"
#include "extract/colordist.h"
#include "huevane/theme.h"

namespace {
// Position among the first n pockets whose mean is nearest to c; a later
// position must be strictly nearer to win.
int NearestAmong(const ccDynaArray<ccColorPocket*>& pockets, const tagRGBQUAD& c, int n) {
    int best = -1, bestDist = hv::kNoDistance;
    for (int i = 0; i < n; ++i) {
        const int d = hv::ColorDist2(pockets.GetAt(i)->aveRGB, c);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}
}  // namespace

int ccColorPocketArray::FindNearestPocket(ccColorPocket* p, int n) {
    if (!p || n < 1) return -1;
    return NearestAmong(pockets, p->aveRGB, n);
}

int ccColorPocketArray::FindNearestPocket(ccColorItem* item, int n) {
    if (!item || n < 1) return -1;
    return NearestAmong(pockets, item->rgb, n);
}

int ccColorPocketArray::MergePockets(int k, ccColorPocket* src) {
    ccColorPocket* dest = pockets.GetAt(k);
    if (!src || src == dest) return 0;
    for (ccColorItem* it : src->items) {
        dest->pixelNum = hv::AddCounts(dest->pixelNum, it->pixelNum);
        dest->items.Add(it);
    }
    if (dest->GetAveRGB() == 0) dest->aveHSL = RGBtoHSL(dest->aveRGB);
    src->items.RemoveAll();
    return src->items.GetSize();
}

int ccColorPocketArray::MergeAfter(int n) {
    if (n < 1) return -1;
    // Positions stay stable: emptied pockets are only removed at the end.
    for (int i = n; i < pockets.GetSize(); ++i) {
        ccColorPocket* p = pockets[i];
        MergePockets(FindNearestPocket(p, n), p);
    }
    RemoveEmptyPockets();
    return 0;
}

int ccColorPocketArray::MergePercentLess(int percent) {
    const int count = pockets.GetSize();
    if (count < 2) return -1;
    const float t = static_cast<float>(percent) / 100.0f;
    int c = 0;
    while (c < count && !(pockets[c]->percentage < t)) ++c;
    if (c < 1) c = 1;  // the largest pocket always survives
    return MergeAfter(c);
}

int ccColorPocketArray::GetPercentage() {
    long long total = 0;
    for (ccColorPocket* p : pockets) total += p->pixelNum;
    for (ccColorPocket* p : pockets)
        p->percentage = total != 0 ? static_cast<float>(p->pixelNum) / static_cast<float>(total) : 0.0f;
    return 0;
}

int ccColorPocketArray::Recluster() {
    const int n = pockets.GetSize();
    // Choices are made against the means as they were, not as they move.
    std::vector<tagRGBQUAD> means(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        means[i] = pockets[i]->aveRGB;
        pockets[i]->items.RemoveAll();
    }
    if (n > 0) {
        const int items = paletteSize < 256 ? paletteSize : 256;
        for (int i = 0; i < items; ++i) {
            ccColorItem* item = &palette[i];
            if (item->pixelNum <= 0) continue;
            int best = 0, bestDist = hv::kNoDistance;
            for (int k = 0; k < n; ++k) {
                const int d = hv::ColorDist2(means[k], item->rgb);
                if (d < bestDist) {
                    bestDist = d;
                    best = k;
                }
            }
            // As AddColorItemAny, with the count sum kept from overflowing.
            ccColorPocket* p = pockets[best];
            if (p->items.GetSize() == 0) {
                p->items.Add(item);
                p->aveRGB = item->rgb;
                p->aveHSL = item->hsl;
                p->pixelNum = item->pixelNum;
            } else {
                p->items.Add(item);
                p->GetAveRGBofAllPixels();
                p->aveHSL = RGBtoHSL(p->aveRGB);
                p->pixelNum = hv::AddCounts(p->pixelNum, item->pixelNum);
            }
        }
    }
    RemoveEmptyPockets();
    return 0;
}

int ccColorPocketArray::ReclusterNG() { return 0; }

void ccColorPocketArray::RemoveEmptyPockets() {
    for (int i = pockets.GetSize() - 1; i >= 0; --i) {
        ccColorPocket* p = pockets[i];
        if (p->items.GetSize() != 0) continue;
        delete p;
        pockets.RemoveAt(i);
    }
}
