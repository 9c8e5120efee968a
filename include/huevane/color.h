// Colour items and pockets: the building blocks of a theme.
//
// RGB word: a tagRGBQUAD read as one little-endian 32-bit value (blue, green,
// red, reserved). HSL word: hue (bits 0-7, a 256-step circle), saturation
// (8-15), lightness (16-23) and a grey flag (24-31, 1 for achromatic colours).
#pragma once

#include <cstdint>
#include <string>

#include "huevane/dynaarray.h"
#include "huevane/platform.h"

// The fields of an HSL word.
inline int HslHue(uint32_t hsl) { return hsl & 0xFF; }
inline int HslSat(uint32_t hsl) { return (hsl >> 8) & 0xFF; }
inline int HslLight(uint32_t hsl) { return (hsl >> 16) & 0xFF; }
inline int HslGrey(uint32_t hsl) { return (hsl >> 24) & 0xFF; }
inline uint32_t MakeHsl(int h, int s, int l, int grey) {
    return (uint32_t)(h & 0xFF) | (uint32_t)(s & 0xFF) << 8 | (uint32_t)(l & 0xFF) << 16 |
           (uint32_t)(grey & 0xFF) << 24;
}
// An RGB word and its tagRGBQUAD, either way.
inline uint32_t RgbWord(const tagRGBQUAD& q) {
    return (uint32_t)q.rgbBlue | (uint32_t)q.rgbGreen << 8 | (uint32_t)q.rgbRed << 16 |
           (uint32_t)q.rgbReserved << 24;
}
inline tagRGBQUAD RgbQuad(uint32_t w) {
    tagRGBQUAD q;
    q.rgbBlue = (BYTE)w;
    q.rgbGreen = (BYTE)(w >> 8);
    q.rgbRed = (BYTE)(w >> 16);
    q.rgbReserved = (BYTE)(w >> 24);
    return q;
}

// One palette colour with its pixel count. A theme owns its items in one
// array; everything else refers to them by pointer or palette index.
class HUEVANE_API ccColorItem {
public:
    tagRGBQUAD rgb = {0, 0, 0, 0};
    uint32_t hsl = 0;
    int palIndex = -1;    // colour-table index in the palette DIB, -1 = none
    int pixelNum = -1;    // pixels of the palette DIB with this index
    float percentage = 0; // pixelNum / (width x height), 0..1

    // palIndex -1, pixelNum -1.
    ccColorItem() = default;
    // The colour q with its HSL word; palIndex -1, pixelNum 0.
    explicit ccColorItem(const tagRGBQUAD& q);

    // Circular hue difference on a 255-step circle: d, or 255 - d above 127.
    unsigned char HueDist(ccColorItem* other);
    // Replaces the hue and recomputes rgb from the HSL word.
    void SetHue(unsigned char h);
};

// One theme colour: a cluster of palette items (not owned) with their mean.
class HUEVANE_API ccColorPocket {
public:
    ccDynaArray<ccColorItem*> items;  // members in the order added; not owned
    tagRGBQUAD aveRGB = {0, 0, 0, 0};
    uint32_t aveHSL = 0;
    int pixelNum = 0;
    float percentage = 0;   // share of the palette DIB's pixels, 0..1
    int index = -1;         // position in the theme after extraction's final order
    int rdsFlag = 2;
    int flags = 0;          // bit 0: background pocket
    std::string name;
    int origin = 0;         // 0 extraction, 1 cut, 2 detached colours, 3 stroke
    int selState = -1;      // -1 unselected; 256 or more selected
    ccColorPocket* destLink = nullptr;  // paired pocket of another theme; not owned
    tagRGBQUAD destRGB = {0, 0, 0, 0};
    uint32_t destHSL = 0;
    int groupIndex = 0;     // colour-system group, -1 none

    ccColorPocket() = default;
    // Copies share the same item pointers.
    ccColorPocket(const ccColorPocket&) = default;
    ccColorPocket& operator=(const ccColorPocket&) = default;
    ~ccColorPocket() = default;

    // Does nothing: the pocket keeps its items and values.
    void ClearAll() {}
    // Adds item when its grey flag matches the pocket's and, for chromatic
    // colours, its hue lies less than 20 steps away. 0 for the first item,
    // the previous item count when added, -1 when refused (nothing changes).
    int AddColorItem(ccColorItem* item);
    // Adds item without a test; the mean becomes pixel-weighted.
    // 0 for the first item, else the previous item count.
    int AddColorItemAny(ccColorItem* item);
    // aveRGB = unweighted mean of the items. 0, or -10 without items.
    int GetAveRGB();
    // aveRGB = pixel-weighted mean (64-bit sums). 0; -10 without items;
    // -1 with nothing changed when the first item's count is negative or
    // the counts add up to 0.
    int GetAveRGBofAllPixels();
    // aveHSL = RGBtoHSL(aveRGB). 0, or -10 without items.
    int GetAveHSL();
    // Position of the first item with this palette index, or -1.
    int GetColorItemIndex(int palIndex);
    // Circular hue difference of the two means, 0..128.
    int HueDistance(ccColorPocket* other);
    // 0.98 dh^2 + 0.01 ds^2 + 0.01 dl^2 of the two means, truncated.
    int HSLDist2(ccColorPocket* other);
    // Pairs this pocket with p and copies p's mean colour.
    void SetDestLink(ccColorPocket* p);

private:
    // Appends item and updates mean (weighted or not), HSL and count.
    int Append(ccColorItem* item, bool weighted);
};
