// The regions file of the restyle command.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hvcli {

// One polygon: its vertices in pixels from the top-left corner.
struct Polygon {
    std::vector<int32_t> xs, ys;
};

// Appends one polygon per line of the file ("x,y x,y x,y ...", at least 3
// points of whole 32-bit numbers; blank lines and lines starting with '#'
// skipped). false with "FILE:LINE: reason" in *error for a malformed line,
// or a message when the file cannot be read.
bool ReadRegions(const std::string& path, std::vector<Polygon>* regions, std::string* error);

}  // namespace hvcli
