// Themes made from other themes: interpolation and the hue ring.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <vector>

#include "color/colorword.h"
#include "huevane/huevane.h"
#include "huevane/library.h"

namespace {

// The main hue of a theme (its first pocket's), or -1 without pockets.
int MainHue(ccColorPocketArray* t) { return t->pockets.GetSize() > 0 ? t->GetMainHue() : -1; }

// Hue k/steps of the way from a to b, always round the longer arc
// (forwards when both arcs are equal; equal hues make a full turn back).
int InterpolatedHue(int a, int b, int k, int steps) {
    const int d = (b - a + 256) % 256;
    const bool backwards = d < 256 - d;
    const int64_t distance = backwards ? 256 - d : d;
    const int move = static_cast<int>(distance * k / steps);
    return ((backwards ? a - move : a + move) % 256 + 256) % 256;
}

int Between(int a, int b, int k, int steps) {
    return a + static_cast<int>(static_cast<int64_t>(b - a) * k / steps);
}

}  // namespace

int ccColorPocketArrayArray::InterpolateThemes(ccColorPocketArray* from, ccColorPocketArray* to, int steps) {
    if (!from || !to) return -1;
    const int m = std::min(from->pockets.GetSize(), to->pockets.GetSize());
    int64_t total = 0;
    std::vector<int> counts(static_cast<size_t>(m));
    for (int i = 0; i < m; ++i) {
        const int64_t c = static_cast<int64_t>(from->pockets[i]->pixelNum) + to->pockets[i]->pixelNum;
        counts[i] = static_cast<int>(std::max<int64_t>(INT_MIN, std::min<int64_t>(INT_MAX, c)));
        total += c;
    }
    for (int k = 0; k < steps; ++k) {
        auto* theme = new ccColorPocketArray(1);
        char name[48];
        std::snprintf(name, sizeof name, "Interpolated %d:%d", k, steps);
        theme->name = name;
        theme->InitPalette(m);
        for (int i = 0; i < m && theme->palette; ++i) {
            const uint32_t a = from->pockets[i]->aveHSL, b = to->pockets[i]->aveHSL;
            const int hue = InterpolatedHue(HslHue(a), HslHue(b), k, steps);
            const int sat = i == 0 ? 200 : Between(HslSat(a), HslSat(b), k, steps);
            const int light = i == 0 ? 128 : Between(HslLight(a), HslLight(b), k, steps);
            tagRGBQUAD rgb = RgbQuad(HSLtoRGB(MakeHsl(hue, sat, light, 0)));
            rgb.rgbReserved = 0;
            ccColorItem& item = theme->palette[i];
            item.rgb = rgb;
            item.hsl = RGBtoHSL(rgb);
            item.palIndex = i;
            item.pixelNum = counts[i];
            // No pixels at all: every share is 0 rather than a division by 0.
            item.percentage = total != 0 ? static_cast<float>(static_cast<double>(counts[i]) / total) : 0.0f;
            auto* pocket = new ccColorPocket;
            pocket->AddColorItem(&item);
            theme->pockets.Add(pocket);
        }
        themes.Add(theme);
    }
    return 0;
}

int ccColorPocketArrayArray::InsertThemeHueRing(ccColorPocketArray* theme) {
    if (!theme) return -1;
    const int n = themes.GetSize();
    if (n == 0) return themes.Add(theme);
    // Themes without pockets have no hue: they take no part in the ring, and
    // a new one cannot be placed.
    const int key = MainHue(theme);
    if (key < 0) return -1;
    int same = 0;
    for (int i = 0; i < n; ++i)
        if (themes[i]->GetThemeType() != 0 && MainHue(themes[i]) == key) ++same;
    if (same >= 3) return -1;
    if (key > MainHue(themes[n - 1])) return themes.Add(theme);
    for (int i = 0; i < n; ++i)
        if (themes[i]->GetThemeType() != 0 && MainHue(themes[i]) >= key) return themes.InsertAt(i, theme);
    return -1;
}
