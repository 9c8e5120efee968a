// The built-in colour card of the colour tags (internal).
#pragma once

#include "huevane/colorsystem.h"

namespace hv {
// The module's card: empty at load, filled by the first GetColorTags call,
// released at unload.
csColorSystem& TagCard();
}  // namespace hv
