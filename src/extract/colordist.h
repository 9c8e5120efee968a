// Squared RGB distance between two colours (internal to the extraction code).
#pragma once

#include "color/colorword.h"
#include "huevane/platform.h"

namespace hv {
// Larger than any ColorDist2, so the first candidate always wins.
constexpr int kNoDistance = 260100;
}  // namespace hv
