// Colour cards: named colour samples, groups of samples and their files.
//
// A csColorSystem owns its samples (in the order added; a sample's position
// is its identity) and its groups (ordered lists of sample indices). Copies
// are deep: a copy gets its own samples and groups, so no sample or group is
// ever released by two owners.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "huevane/color.h"
#include "huevane/dynaarray.h"
#include "huevane/platform.h"

// One named colour of a card, made and owned by its colour system.
class HUEVANE_API csColorSample {
public:
    tagRGBQUAD rgb = {0, 0, 0, 0};  // reserved byte always 0
    uint32_t hsl = 0;               // RGBtoHSL(rgb), computed once
    std::string name;

    // A null name gives an empty one.
    csColorSample(const char* name, BYTE red, BYTE green, BYTE blue);
};

class HUEVANE_API csColorSystem {
public:
    ccDynaArray<csColorSample*> samples;   // owned; position = sample index
    std::vector<std::vector<int>> groups;  // owned; entries are sample indices
    std::string path;                      // card file last loaded; "" until then

    csColorSystem() = default;
    // Releases the groups, then every sample.
    ~csColorSystem();
    // Deep copies: the copy has its own samples and groups and takes the path.
    csColorSystem(const csColorSystem& o);
    csColorSystem& operator=(const csColorSystem& o);

    // ---- samples and nearest-sample searches ----

    // Destroys every sample; groups and path stay.
    void ClearAll();
    // Appends a sample (name copied); returns its index. Duplicates are kept.
    int AddSample(const char* name, BYTE red, BYTE green, BYTE blue);
    // Nearest sample by squared RGB distance, lowest index on ties; null on
    // an empty card. The card keeps owning it (valid until ClearAll).
    csColorSample* GetNearestSample(tagRGBQUAD c);
    // Index of the nearest sample by the red-mean weighted distance, lowest
    // index on ties; -1 on an empty card.
    int GetNearestSampleIndex(tagRGBQUAD c);
    // The indices of the (at most) count samples nearest to c by the weighted
    // distance, nearest first, ties in index order, with their distances in
    // dist when it is not null; returns how many were written (0 for a null
    // out or count < 1). The first is GetNearestSampleIndex(c).
    int GetNearestSamplesByWeight(tagRGBQUAD c, int* out, double* dist, int count);
    // A chromatic colour: the chromatic sample of nearest hue. A grey colour:
    // the grey sample nearest in RGB if its squared distance is below 10000.
    // Lowest index on ties; -1 when no sample qualifies.
    int GetNearestSampleIndexByHue(tagRGBQUAD c);
    // out[i] = GetNearestSample(colors[i]) for i < n. 0; -1 (nothing written)
    // for null arrays when n > 0.
    int GetCardPal(tagRGBQUAD* colors, int n, csColorSample** out);
    // out[i] = GetNearestSampleIndex(colors[i]) for i < n. 0; -1 (nothing
    // written) for null arrays when n > 0.
    int GetCardPalIndices(tagRGBQUAD* colors, int n, int* out);
    // Writes the sample indices in order of increasing squared RGB distance
    // from sample `index` (ties in index order), at most `count` of them and
    // never more than the card has (nothing is written past the card);
    // returns `count`.
    // std::out_of_range for an index outside the card, before anything is
    // written.
    int GetCardDistOrder(int index, int* out, int count);

    // ---- groups and the group file (path + ".grp") ----

    // Moves the selected samples (sel[s] != 0, sel indexed by sample index)
    // of `group` into a new group right after it, in reverse order; no group
    // is made when none is selected. 0; -1 for a negative group or null sel;
    // std::out_of_range past the last group. Entries outside the card count
    // as unselected, so sel is read only at 0..sample count - 1.
    int SplitGroup(int group, int* sel);
    // Removes the selected samples from `group`; returns how many were
    // removed. -1 for a negative group or null sel; std::out_of_range past
    // the last group. Entries outside the card count as unselected.
    int DeleteGroupSelItems(int group, int* sel);
    // Writes every group to the group file (32-bit little-endian: tag 16,
    // group count, then per group its count and indices). 0; -1 with no
    // groups, no path, or a file that cannot be created or written.
    int SaveGroup();
    // Replaces the groups by those of the group file. A group count below
    // zero gives no groups, an entry count below zero an empty group. 0; -1
    // when it cannot be opened or is shorter than its counts promise, in
    // which case the groups in memory stay as they were.
    int LoadGroup();

    // ---- the card file ----

    // Appends one sample per line of a text card file ("Name: RGB(r, g, b)"),
    // stores the path and reads the group file. Always 0; a file that cannot
    // be opened changes nothing. See src/colorsystem/cardfile.cpp for how
    // lines off the grammar are read.
    int LoadFromFile(const char* path);

private:
    void CopySamplesFrom(const csColorSystem& o);
};
