// Merging of touching pockets, shared by the D and CG extractions (internal).
#pragma once

#include "huevane/theme.h"

namespace hv {

// The cost of merging two pockets; negative when they may not merge.
using PairCost = int (*)(const ccColorPocket& a, const ccColorPocket& b);

// While the theme has more than `target` pockets: among the pairs of
// positions i < j whose pockets touch in the image (some item of one lies
// next to some item of the other: `touching` is the 256 x 256 table of
// ipDibStuff::MarkNeighbors, non-zero where the neighbour count is) and whose
// cost is not negative, takes the one of least cost, the first in scan
// order (i, then j, ascending) on ties; pours pocket j into pocket i
// (MergePockets), lets pocket i take pocket j's group when its own is
// negative and `inheritGroups` is set, and destroys pocket j. Stops early
// when no pair qualifies. The pockets hold different palette items, so a
// colour's contact with itself never counts.
//
// The result is that of rescanning every pair and summing the neighbour
// counts over every item pair before each merge. Here the touch matrix and
// the pair costs are kept per pocket, and each pocket's cheapest later
// partner is cached: a merge recomputes the merged pocket's costs and
// rescans only the rows whose cached partner changed or vanished.
void MergeTouchingPairs(ccColorPocketArray& theme, const BYTE (*touching)[256], int target, PairCost cost,
                        bool inheritGroups);

}  // namespace hv
