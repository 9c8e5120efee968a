// Polygonal regions of an image, filled by an even-odd scan line over the
// edges of all regions together.
#pragma once

#include <cstdint>
#include <vector>

#include "huevane/huevane.h"

class ipDibStuff;

namespace hv {

class RegionFill {
public:
    // Takes the edges of n regions. false for a malformed list (n < 0, a
    // null array, a negative vertex count, null coordinates). Regions of
    // fewer than 3 vertices add nothing. May throw std::bad_alloc.
    bool Build(const RegionPolygon* regions, int n);

    // Calls span(y, xa, xb) for every filled run of scan line y (0 = top
    // row) with 0 <= y < height, 0 <= xa <= xb < width.
    template <typename F>
    void ForEachSpan(int width, int height, F span) const;

    // Copies the pixels inside the regions from src into dst (same size and
    // depth, 8 or 24 bits). false when the views do not match.
    bool Restore(ipDibStuff& dst, ipDibStuff& src) const;

    struct Edge {
        int yMax, yMin;
        float x, slope;
    };

private:
    std::vector<Edge> edges_;  // ascending yMin, insertion order among equals
    int64_t minY_ = 0, maxY_ = -1;

    // Calls row(ctx, y, runs, n) for each scan line with n > 0 runs, runs
    // holding xa, xb of each in turn.
    void Scan(int width, int height, void (*row)(void*, int, const int*, size_t), void* ctx) const;
};

template <typename F>
void RegionFill::ForEachSpan(int width, int height, F span) const {
    Scan(
        width, height,
        [](void* c, int y, const int* runs, size_t n) {
            F& f = *static_cast<F*>(c);
            for (size_t i = 0; i < n; ++i) f(y, runs[2 * i], runs[2 * i + 1]);
        },
        &span);
}

}  // namespace hv
