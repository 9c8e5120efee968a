// The built-in colour card of the colour tags (internal).
#pragma once

#include "huevane/colorsystem.h"

namespace hv {
// The module's card: empty at load, filled by the first GetColorTags call,
// released at unload.
csColorSystem& TagCard();
// The name of colour family `tag` (0..10), or "?" for any other value.
const char* ColorTagName(int tag);
}  // namespace hv
