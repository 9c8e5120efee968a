// The tool's regions file: ReadRegions on the fuzzed text; what it accepts
// is filled over a small image, every span inside the image.
#include <string>
#include <vector>

#include "../fuzz.h"
#include "regionsfile.h"
#include "transfer/regionfill.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(regionsfile, "") {
    const std::string path = ScratchFile("regions.txt", std::string(reinterpret_cast<const char*>(data), size));
    std::vector<hvcli::Polygon> polygons;
    std::string error;
    if (!hvcli::ReadRegions(path, &polygons, &error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    std::vector<RegionPolygon> regions;
    long edges = 0;
    for (hvcli::Polygon& p : polygons) {
        FUZZ_CHECK(p.xs.size() >= 3 && p.xs.size() == p.ys.size());
        regions.push_back(RegionPolygon{static_cast<int32_t>(p.xs.size()), p.xs.data(), p.ys.data()});
        edges += static_cast<long>(p.xs.size());
    }
    if (regions.empty()) return;
    hv::RegionFill fill;
    FUZZ_CHECK(fill.Build(regions.data(), static_cast<int>(regions.size())));
    const int width = 37, height = 23;
    long spans = 0;
    fill.ForEachSpan(width, height, [&](int y, int xa, int xb) {
        FUZZ_CHECK(y >= 0 && y < height && xa >= 0 && xa <= xb && xb < width);
        ++spans;
    });
    // A row's edges are paired in their order, and edges that cross keep
    // it: runs may overlap, but a row has at most one per pair of edges.
    FUZZ_CHECK(spans <= long(height) * (edges / 2));
}
