// Colour tags: the colour families of an image, named through a small
// built-in colour card searched by hue.
#include "api/colortags.h"

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace {

constexpr int kFamilies = 11;
const char* const kFamilyNames[kFamilies] = {"Red",    "Orange", "Yellow", "Green", "Cyan", "Blue",
                                             "Purple", "Beige",  "Black",  "Gray",  "White"};

struct CardSample {
    const char* name;
    BYTE red, green, blue;
};
// Several samples may share a family (three greens, two blues). Beige has
// Yellow's hue and a higher index, so it never wins a colour.
const CardSample kCard[] = {
    {"Red", 255, 0, 0},     {"Orange", 255, 165, 0}, {"Yellow", 255, 255, 0},  {"Green", 0, 255, 0},
    {"Green", 194, 229, 0}, {"Green", 0, 229, 91},   {"Cyan", 0, 255, 255},    {"Blue", 0, 123, 229},
    {"Blue", 0, 0, 255},    {"Purple", 160, 32, 240}, {"Beige", 245, 245, 220}, {"Black", 10, 10, 10},
    {"Gray", 180, 180, 180}, {"White", 251, 251, 251},
};

// Only colours covering more pixels than this count.
constexpr int kMinPixels = 10;

csColorSystem g_tagCard;

int FamilyOf(const std::string& name) {
    for (int t = 0; t < kFamilies; ++t)
        if (name == kFamilyNames[t]) return t;
    return -1;
}

// The 8-bit image to count on: the host's own, or a reduction of a 24-bit
// image that is released with this object.
class PaletteImage {
public:
    explicit PaletteImage(void* dib) {
        int bits = 0;
        {
            ipDibStuff view(dib, false);
            if (view.usable()) bits = view.bitCount();
        }
        if (bits == 8) {
            dib_ = dib;
        } else if (bits == 24) {
            dib_ = DecreaseBpp24to8(dib);
            owned_ = dib_ != nullptr;
        }
    }
    ~PaletteImage() {
        if (owned_) hv::FreeHandle(dib_);
    }
    PaletteImage(const PaletteImage&) = delete;
    PaletteImage& operator=(const PaletteImage&) = delete;
    void* dib() const { return dib_; }

private:
    void* dib_ = nullptr;
    bool owned_ = false;
};

int ColorTags(void* dib, ColorThemeStruct* result) {
    csColorSystem& card = g_tagCard;
    if (card.samples.GetSize() == 0) {
        try {
            for (const CardSample& s : kCard) card.AddSample(s.name, s.red, s.green, s.blue);
        } catch (...) {
            card.ClearAll();  // never leave a partial card for later calls
            throw;
        }
    }
    std::vector<int> familyOfSample;
    for (const csColorSample* s : card.samples) familyOfSample.push_back(FamilyOf(s->name));

    PaletteImage image(dib);
    if (!image.dib()) return -1;
    ipDibStuff view(image.dib(), false);
    int histo[256];
    if (view.StatHisto(histo) != 0) return -1;
    // Pixels whose index lies beyond a short colour table have no colour and
    // join no family; they still count in the image's size.
    const int colors = view.numColors < 256 ? view.numColors : 256;

    uint64_t pixels[kFamilies] = {}, red[kFamilies] = {}, green[kFamilies] = {}, blue[kFamilies] = {};
    int assigned[kFamilies] = {};
    for (int i = 0; i < colors; ++i) {
        if (histo[i] <= kMinPixels) continue;
        const tagRGBQUAD c = view.colors[i];
        const int sample = card.GetNearestSampleIndexByHue(c);
        if (sample < 0) continue;
        const int t = familyOfSample[sample];
        if (t < 0) continue;
        const uint64_t n = static_cast<uint64_t>(histo[i]);
        ++assigned[t];
        pixels[t] += n;
        red[t] += c.rgbRed * n;
        green[t] += c.rgbGreen * n;
        blue[t] += c.rgbBlue * n;
    }
    int count = 0;
    for (int t = 0; t < kFamilies; ++t) count += assigned[t] > 0;
    if (count == 0) return -2;

    auto* entries = new (std::nothrow) ColorThemeEntry[count];
    if (!entries) return -1;
    const double total = static_cast<double>(static_cast<int64_t>(view.width()) * view.height());
    int k = 0;
    for (int t = 0; t < kFamilies; ++t) {
        if (!assigned[t]) continue;
        ColorThemeEntry& e = entries[k++];
        e.color.rgbRed = static_cast<BYTE>(red[t] / pixels[t]);
        e.color.rgbGreen = static_cast<BYTE>(green[t] / pixels[t]);
        e.color.rgbBlue = static_cast<BYTE>(blue[t] / pixels[t]);
        e.color.rgbReserved = static_cast<BYTE>(t);
        e.share = static_cast<float>(static_cast<double>(pixels[t]) / total);
    }
    result->count = count;
    result->entries = entries;
    return 0;
}

}  // namespace

csColorSystem& hv::TagCard() { return g_tagCard; }

const char* hv::ColorTagName(int tag) { return tag >= 0 && tag < kFamilies ? kFamilyNames[tag] : "?"; }

extern "C" HUEVANE_API int HUEVANE_CALL GetColorTags(void* dib, ColorThemeStruct* result) {
    if (!result) return -1;
    result->count = 0;
    result->entries = nullptr;
    try {
        return ColorTags(dib, result);
    } catch (...) {
        result->count = 0;
        result->entries = nullptr;
        return -1;
    }
}
