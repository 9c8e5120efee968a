// Samples of a colour card and the nearest-sample searches.
#include "huevane/colorsystem.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

#include "color/colorword.h"

csColorSample::csColorSample(const char* n, BYTE red, BYTE green, BYTE blue) : name(n ? n : "") {
    rgb.rgbRed = red;
    rgb.rgbGreen = green;
    rgb.rgbBlue = blue;
    rgb.rgbReserved = 0;
    hsl = RGBtoHSL(rgb);
}

namespace {

// Red-mean weighted distance of sample colour s and query q.
double WeightedDist(const tagRGBQUAD& s, const tagRGBQUAD& q) {
    int rmean = (s.rgbRed + q.rgbRed) >> 1;
    int dr = s.rgbRed - q.rgbRed, dg = s.rgbGreen - q.rgbGreen, db = s.rgbBlue - q.rgbBlue;
    int sum = (((512 + rmean) * dr * dr) >> 8) + 4 * dg * dg + (((767 - rmean) * db * db) >> 8);
    return std::sqrt(static_cast<double>(sum));
}

}  // namespace

csColorSystem::~csColorSystem() {
    groups.clear();
    ClearAll();
}

void csColorSystem::CopySamplesFrom(const csColorSystem& o) {
    for (csColorSample* s : o.samples) {
        auto* copy = new csColorSample(*s);
        try {
            samples.Add(copy);
        } catch (...) {
            delete copy;
            throw;
        }
    }
}

csColorSystem::csColorSystem(const csColorSystem& o) : groups(o.groups), path(o.path) {
    try {
        CopySamplesFrom(o);
    } catch (...) {
        ClearAll();
        throw;
    }
}

csColorSystem& csColorSystem::operator=(const csColorSystem& o) {
    if (this != &o) {
        csColorSystem copy(o);  // everything that can fail happens here
        std::swap(samples, copy.samples);
        std::swap(groups, copy.groups);
        std::swap(path, copy.path);
    }
    return *this;
}

void csColorSystem::ClearAll() {
    samples.FreeMem();
    samples.RemoveAll();
}

int csColorSystem::AddSample(const char* name, BYTE red, BYTE green, BYTE blue) {
    auto* s = new csColorSample(name, red, green, blue);
    try {
        return samples.Add(s);
    } catch (...) {
        delete s;
        throw;
    }
}

csColorSample* csColorSystem::GetNearestSample(tagRGBQUAD c) {
    csColorSample* best = nullptr;
    int bestDist = 0x7FFFFFFF;
    for (csColorSample* s : samples) {
        int d = hv::ColorDist2(s->rgb, c);
        if (d < bestDist) {
            bestDist = d;
            best = s;
        }
    }
    return best;
}

int csColorSystem::GetNearestSampleIndex(tagRGBQUAD c) {
    int best = -1;
    double bestDist = 10000.0;
    for (int i = 0; i < samples.GetSize(); ++i) {
        double d = WeightedDist(samples.begin()[i]->rgb, c);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

int csColorSystem::GetNearestSamplesByWeight(tagRGBQUAD c, int* out, double* dist, int count) {
    const int n = samples.GetSize();
    if (!out || count < 1 || n == 0) return 0;
    std::vector<std::pair<double, int>> all(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) all[i] = {WeightedDist(samples.begin()[i]->rgb, c), i};
    std::stable_sort(all.begin(), all.end(),
                     [](const std::pair<double, int>& a, const std::pair<double, int>& b) { return a.first < b.first; });
    const int written = count < n ? count : n;
    for (int i = 0; i < written; ++i) {
        out[i] = all[i].second;
        if (dist) dist[i] = all[i].first;
    }
    return written;
}

int csColorSystem::GetNearestSampleIndexByHue(tagRGBQUAD c) {
    const uint32_t hsl = RGBtoHSL(c);
    const bool grey = HslGrey(hsl) == 1;
    const int hue = HslHue(hsl);
    int best = -1;
    double bestDist = 10000.0;
    for (int i = 0; i < samples.GetSize(); ++i) {
        const csColorSample* s = samples.begin()[i];
        if ((HslGrey(s->hsl) == 1) != grey) continue;
        double d = grey ? hv::ColorDist2(s->rgb, c) : hv::HueDiff256(HslHue(s->hsl), hue);
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

int csColorSystem::GetCardPal(tagRGBQUAD* colors, int n, csColorSample** out) {
    if (n < 1) return 0;
    if (!colors || !out) return -1;
    for (int i = 0; i < n; ++i) out[i] = GetNearestSample(colors[i]);
    return 0;
}

int csColorSystem::GetCardPalIndices(tagRGBQUAD* colors, int n, int* out) {
    if (n < 1) return 0;
    if (!colors || !out) return -1;
    for (int i = 0; i < n; ++i) out[i] = GetNearestSampleIndex(colors[i]);
    return 0;
}

int csColorSystem::GetCardDistOrder(int index, int* out, int count) {
    const int n = samples.GetSize();
    const tagRGBQUAD ref = samples.GetAt(index)->rgb;  // out_of_range before any work
    const int written = count < 0 ? 0 : (count < n ? count : n);
    if (written > 0 && !out) return 0;
    // Increasing distance, equal distances in index order: the order of a
    // stable sort. Distance and index in one key give it in n log n (a card
    // read from a file may be large), and only the first `written` entries
    // need to be in place.
    std::vector<uint64_t> key(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        key[static_cast<size_t>(i)] = uint64_t(hv::ColorDist2(ref, samples.begin()[i]->rgb)) << 32 | uint32_t(i);
    std::partial_sort(key.begin(), key.begin() + written, key.end());
    for (int i = 0; i < written; ++i) out[i] = static_cast<int>(key[static_cast<size_t>(i)] & 0xFFFFFFFFu);
    return count;
}
