// The theme list file: ready-made themes of plain colours.
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "huevane/library.h"
#include "library/textlines.h"
#include "platform/file.h"

namespace {

constexpr size_t kListLine = 255;
const char kColourDelimiters[] = " ,:()\t\r\n";
constexpr int kMaxColours = 5;
// Pixel counts of the colours by position; every list theme totals 15625.
constexpr int kWeights[kMaxColours] = {6250, 3750, 2500, 1875, 1250};
constexpr int kWeightTotal = 15625;
constexpr int kRingLimit = 512;

// A colour fraction: the token's leading number (0 when there is none),
// clamped to 0..1.
float Fraction(const std::string& token) {
    const double v = std::strtod(token.c_str(), nullptr);
    if (!(v > 0)) return 0.0f;  // also NaN
    return v >= 1 ? 1.0f : static_cast<float>(v);
}

// Fills theme with the colours of a colour line: one pocket per colour.
void FillColours(ccColorPocketArray& theme, const std::string& line) {
    const std::vector<std::string> tok = hv::Tokens(line, kColourDelimiters);
    int n = static_cast<int>(tok.size() / 3);
    if (n > kMaxColours) n = kMaxColours;
    theme.ClearAll();
    if (theme.InitPalette(n) != n || n == 0) return;
    for (int i = 0; i < n; ++i) {
        ccColorItem* item = theme.SetPalEntry(i, Fraction(tok[3 * i]), Fraction(tok[3 * i + 1]),
                                              Fraction(tok[3 * i + 2]), kWeights[i], kWeightTotal);
        auto* pocket = new ccColorPocket;
        pocket->AddColorItem(item);
        theme.pockets.Add(pocket);
    }
}

}  // namespace

int ccColorPocketArrayArray::LoadColorThemes(const char* path, bool hueRing) {
    if (!path) return 0;
    hv::File file;
    if (!file.Open(path, hv::FileMode::ReadExclusive)) return 0;
    hv::LimitedLines lines(file, kListLine);
    int state = 0, count = 0;
    ccColorPocketArray* pending = nullptr;
    std::string raw;
    while (lines.NextWithin(raw)) {
        const std::string line = hv::Trimmed(raw);
        if (line.empty()) continue;
        if (state == 0) {
            if (line == "[Version]") {
                if (!lines.Next(raw)) break;  // the version, whatever it holds
                state = 1;
            }
        } else if (state == 1) {
            if (line == "[Themes]") state = 2;
        } else if (state == 2) {
            if (line[0] == '[') {
                pending = new ccColorPocketArray(1);
                pending->name = line.substr(1, line.size() - 1 - (line.size() > 1 ? 1 : 0));
                state = 3;
            }
        } else {
            FillColours(*pending, line);
            ccColorPocketArray* theme = pending;
            pending = nullptr;
            state = 2;
            if (!hueRing) {
                themes.Add(theme);
                ++count;
                continue;
            }
            if (InsertThemeHueRing(theme) >= 0)
                ++count;
            else
                delete theme;
            if (count > kRingLimit) break;
        }
    }
    delete pending;  // a name whose colour line never came
    return count;
}
