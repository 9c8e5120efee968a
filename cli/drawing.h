// Rectangles and labels on the tool's 24-bit pictures, addressed from the
// top left (y = 0 is the top row) and clipped to the picture.
#pragma once

#include <string>

#include "dib/dib.h"

namespace hvcli {

// Fills the w x h rectangle whose top-left pixel is (x0, y0) with colour c.
void FillRect(ipDibStuff& v, int x0, int y0, int w, int h, tagRGBQUAD c);

// Writes text in a 5 x 7 pixel font at `scale` (glyphs 5 x 7 blocks of
// scale x scale pixels, 6 blocks apart), its top-left pixel at (x, y):
// digits, letters (lower case drawn as capitals), space and the common
// signs; any other character is drawn as '?'.
void DrawText(ipDibStuff& v, int x, int y, const std::string& text, int scale, tagRGBQUAD ink);

}  // namespace hvcli
