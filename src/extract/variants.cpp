// The alternative extractions: seeded growth (G), merging of touching
// pockets (D), the same within the groups of a colour card (CG), and the
// octree quantizer (Q).
#include <algorithm>
#include <cstdlib>
#include <vector>

#include "color/colorword.h"
#include "extract/colordist.h"
#include "extract/quantizer.h"
#include "extract/start.h"
#include "extract/touchmerge.h"
#include "huevane/colorsystem.h"
#include "huevane/theme.h"

namespace {

constexpr int kGrowLimit = 30;  // city-block steps from a growing pocket's mean
constexpr int kMaxGrownPockets = 16;
constexpr int kSmallSharePercent = 2;
constexpr int kTouchTarget = 6;  // D and CG merge down to this many pockets
constexpr int kMaxMergeHueDist = 60;

int CityBlock(const tagRGBQUAD& a, const tagRGBQUAD& b) {
    return std::abs(a.rgbRed - b.rgbRed) + std::abs(a.rgbGreen - b.rgbGreen) + std::abs(a.rgbBlue - b.rgbBlue);
}

// The palette indices by ascending squared RGB distance to item `center`,
// equal distances in ascending index order: the order SortPalOnCenterDist
// gives, by one sort of packed keys instead of an exchange sort.
void OrderByDistance(const ccColorItem* palette, int center, int* order) {
    uint32_t key[256];
    for (int i = 0; i < 256; ++i)
        key[i] = static_cast<uint32_t>(hv::ColorDist2(palette[i].rgb, palette[center].rgb)) << 8 |
                 static_cast<uint32_t>(i);
    std::sort(key, key + 256);
    for (int i = 0; i < 256; ++i) order[i] = static_cast<int>(key[i] & 0xFF);
}

// One pocket per palette item with pixels (by the item's stored count), in
// index order.
void OnePocketPerColour(ccColorPocketArray& t) {
    for (int i = 0; i < 256; ++i) {
        if (t.palette[i].pixelNum <= 0) continue;
        auto* p = new ccColorPocket;
        p->AddColorItemAny(&t.palette[i]);
        t.pockets.Add(p);
    }
}

int HueDistOf(const ccColorPocket& a, const ccColorPocket& b) {
    return hv::HueDiff256(HslHue(a.aveHSL), HslHue(b.aveHSL));
}

// D: hue-weighted HSL distance between pockets of close hue.
int HslCost(const ccColorPocket& a, const ccColorPocket& b) {
    if (HueDistOf(a, b) > kMaxMergeHueDist) return -1;
    return hv::HslDist2(a.aveHSL, b.aveHSL);
}

// CG: RGB distance between pockets of close hue and agreeing groups.
int GroupRgbCost(const ccColorPocket& a, const ccColorPocket& b) {
    if (HueDistOf(a, b) > kMaxMergeHueDist) return -1;
    if (a.groupIndex >= 0 && b.groupIndex >= 0 && a.groupIndex != b.groupIndex) return -1;
    return hv::ColorDist2(a.aveRGB, b.aveRGB);
}

// Which palette indices of the start's image touch, 256 x 256 on the heap.
bool Neighbours(hv::ExtractionStart& start, std::vector<BYTE>& table) {
    table.resize(256 * 256);
    return start.view.MarkNeighbors(reinterpret_cast<BYTE(*)[256]>(table.data())) == 0;
}
const BYTE (*AsTable(const std::vector<BYTE>& table))[256] {
    return reinterpret_cast<const BYTE(*)[256]>(table.data());
}

}  // namespace

int ccColorPocketArray::GetColorPocketsG() {
    hv::ExtractionStart start(*this);
    if (!start.ok() || !start.ResetPockets()) return -1;
    int seeds[256], near[256];
    if (SortPalOnPixelNumDesc(seeds) != 0) return -1;
    bool used[256] = {};
    for (int s : seeds) {
        if (used[s] || start.histo[s] <= 0) continue;
        auto* p = new ccColorPocket;
        p->AddColorItemAny(&palette[s]);
        pockets.Add(p);
        used[s] = true;
        // Grow from the colours nearest the seed while they stay close to the
        // pocket's moving mean; near[0] is the seed (or an equal colour).
        OrderByDistance(palette, s, near);
        for (int k = 1; k < 256; ++k) {
            const int c = near[k];
            if (CityBlock(p->aveRGB, palette[c].rgb) > kGrowLimit) break;
            if (used[c]) continue;
            p->AddColorItemAny(&palette[c]);
            used[c] = true;
        }
    }
    // Pockets beyond the 16th go to their nearest among the first 16; with
    // fewer, this only drops empty pockets.
    MergeAfter(kMaxGrownPockets);
    for (ccColorPocket* p : pockets) p->percentage = static_cast<float>(p->pixelNum) / start.pixels;
    SortOnPercentage();
    MergePercentLess(kSmallSharePercent);
    return 0;
}

int ccColorPocketArray::GetColorPocketsD() {
    hv::ExtractionStart start(*this);
    std::vector<BYTE> nb;
    if (!start.ok() || !Neighbours(start, nb) || !start.ResetPockets()) return -1;
    OnePocketPerColour(*this);
    hv::MergeTouchingPairs(*this, AsTable(nb), kTouchTarget, HslCost, false);
    GetPercentage();
    return 0;
}

int ccColorPocketArray::GetColorPocketsCG(csColorSystem* cs, int* cardIndex) {
    if (!cs || !cardIndex) return -1;
    hv::ExtractionStart start(*this);
    if (!start.ok()) return -1;
    // groupOf[s]: the last group listing sample s; entries naming no sample
    // of the card are ignored.
    const int samples = cs->samples.GetSize();
    std::vector<int> groupOf(static_cast<size_t>(samples), -1);
    for (size_t g = 0; g < cs->groups.size(); ++g)
        for (int s : cs->groups[g])
            if (s >= 0 && s < samples) groupOf[static_cast<size_t>(s)] = static_cast<int>(g);
    if (cardIndex[0] < 0) cs->GetCardPalIndices(start.view.colors, 256, cardIndex);

    std::vector<BYTE> nb;
    if (!Neighbours(start, nb) || !start.ResetPockets()) return -1;
    OnePocketPerColour(*this);
    for (ccColorPocket* p : pockets) {
        // The cache is read at the colour's position in the palette. A stale
        // cache or an empty card can name no sample: no group.
        const int s = cardIndex[p->items[0] - palette];
        p->groupIndex = s >= 0 && s < samples ? groupOf[static_cast<size_t>(s)] : -1;
    }
    hv::MergeTouchingPairs(*this, AsTable(nb), kTouchTarget, GroupRgbCost, true);
    GetPercentage();
    return 0;
}

int ccColorPocketArray::GetColorPocketsQ() {
    hv::ExtractionStart start(*this);
    if (!start.ok()) return -1;
    // Every table entry shapes the tree, used or not. A failed node
    // allocation ends the call before the pockets are touched.
    CQuantizer quantizer;
    if (!quantizer.InsertPalette(start.view.colors)) return -1;
    tagRGBQUAD out[16];
    int counts[16];
    const int colours = quantizer.MakeOutputColors(out, counts);
    if (!start.ResetPockets()) return -1;
    for (int j = 0; j < colours; ++j) pockets.Add(new ccColorPocket);
    for (int i = 0; i < 256; ++i) {
        if (start.histo[i] <= 0) continue;
        int best = 0, bestDist = hv::kNoDistance;
        for (int k = 0; k < colours; ++k) {
            const int d = hv::ColorDist2(out[k], palette[i].rgb);
            if (d < bestDist) {
                bestDist = d;
                best = k;
            }
        }
        if (colours > 0) pockets[best]->AddColorItemAny(&palette[i]);
    }
    RemoveEmptyPockets();
    Recluster();
    return 0;
}
