// Merging of touching pockets, shared by the D and CG extractions (internal).
#pragma once

#include "huevane/theme.h"

namespace hv {

// The cost of merging two pockets; negative when they may not merge.
using PairCost = int (*)(const ccColorPocket& a, const ccColorPocket& b);

// While the theme has more than `target` pockets: among the pairs of
// positions i < j whose pockets touch in the image (some item of one lies
// next to some item of the other by the 256 x 256 neighbour table) and whose
// cost is not negative, takes the one of least cost, the first in scan
// order (i, then j, ascending) on ties; pours pocket j into pocket i
// (MergePockets), lets pocket i take pocket j's group when its own is
// negative and `inheritGroups` is set, and destroys pocket j. Stops early
// when no pair qualifies.
//
// The result is that of rescanning every pair and summing the neighbour
// counts over every item pair before each merge; here a touch matrix and
// the pair costs are kept per pocket and only the merged pocket's row is
// recomputed, so a merge costs one scan of the cached costs.
void MergeTouchingPairs(ccColorPocketArray& theme, const int (*neighbours)[256], int target, PairCost cost,
                        bool inheritGroups);

}  // namespace hv
