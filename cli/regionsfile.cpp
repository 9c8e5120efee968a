// The regions file of the restyle command: one polygon per line as
// "x,y x,y x,y ...", blank lines and lines starting with '#' skipped.
#include "regionsfile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace hvcli {

namespace {

bool ParseInt32(const std::string& text, int32_t* out) {
    size_t i = text[0] == '+' || text[0] == '-' ? 1 : 0;
    if (i >= text.size() || text.size() - i > 10) return false;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return false;
    const long long v = std::strtoll(text.c_str(), nullptr, 10);
    if (v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

}  // namespace

bool ReadRegions(const std::string& path, std::vector<Polygon>* regions, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open regions file '" + path + "'";
        return false;
    }
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        Polygon poly;
        size_t pos = first;
        while (pos < line.size()) {
            const size_t end = std::min(line.find_first_of(" \t", pos), line.size());
            const std::string token = line.substr(pos, end - pos);
            const size_t comma = token.find(',');
            int32_t x = 0, y = 0;
            if (comma == std::string::npos || !ParseInt32(token.substr(0, comma), &x) ||
                !ParseInt32(token.substr(comma + 1), &y)) {
                *error = path + ":" + std::to_string(number) + ": '" + token +
                         "' is not a point (expected x,y in whole pixels)";
                return false;
            }
            poly.xs.push_back(x);
            poly.ys.push_back(y);
            pos = line.find_first_not_of(" \t", end);
            if (pos == std::string::npos) break;
        }
        if (poly.xs.size() < 3) {
            *error = path + ":" + std::to_string(number) + ": a polygon needs at least 3 points, found " +
                     std::to_string(poly.xs.size());
            return false;
        }
        if (poly.xs.size() > static_cast<size_t>(INT32_MAX)) {
            *error = path + ":" + std::to_string(number) + ": too many points";
            return false;
        }
        regions->push_back(std::move(poly));
    }
    if (in.bad()) {
        *error = "cannot read regions file '" + path + "'";
        return false;
    }
    return true;
}

}  // namespace hvcli
