// Bitmap files: LoadDIB on the fuzzed file, then every flat function on the
// image it gives, and a save and reload of it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "../fuzz.h"
#include "huevane/huevane.h"

using namespace hvfuzz;

namespace {
int g_table[256][256];

// A call that returns -1 must leave the image as it was.
template <typename F>
void Unchanged(void* dib, F call) {
    const std::vector<uint8_t> before = Snapshot(dib);
    if (call() == -1) FUZZ_CHECK(Snapshot(dib) == before);
}
}  // namespace

HV_FUZZ_TARGET(loaddib, "bmp") {
    const long live = LiveHandles();
    const std::string path = ScratchFile("in.bmp", std::string(reinterpret_cast<const char*>(data), size));
    void* dib = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    FUZZ_CHECK(LiveHandles() == live + (dib ? 1 : 0));
    if (!dib) return;
    const std::vector<uint8_t> loaded = Snapshot(dib);
    FUZZ_CHECK(loaded.size() >= sizeof(BITMAPINFOHEADER));

    // Saved and read again, the image comes back byte for byte (without the
    // bytes a larger stated image size kept past the rows: they are not saved).
    const std::string copy = ScratchPath("copy.bmp");
    if (SaveDIB(dib, copy.c_str()) == 1) {
        void* again = reinterpret_cast<void*>(LoadDIB(copy.c_str()));
        FUZZ_CHECK(again != nullptr);
        const std::vector<uint8_t> back = Snapshot(again), saved = Snapshot(dib);
        FUZZ_CHECK(back.size() <= saved.size() && std::equal(back.begin(), back.end(), saved.begin()));
        FreeDib(again);
    }

    // Each 24-bit call reduces the image to 8 bits, which costs far more
    // than reading it; so the image's own style is made every time and one
    // group of the other flat functions runs, chosen by the input's length.
    char* own = nullptr;
    const std::vector<uint8_t> before = Snapshot(dib);
    if (Preprocess(dib, &own) == 0) {
        FUZZ_CHECK(own != nullptr);
        ColorThemeStruct s{0, nullptr};
        FUZZ_CHECK(GetColorThemeStruct(&s, own) == 0);
        FreeThemeStruct(&s);
    }
    FUZZ_CHECK(Snapshot(dib) == before);
    switch (size % 4) {
    case 0: {  // extraction into the module's buffer, colour families
        int len = -1;
        Unchanged(dib, [&] { return len = GenStyle(dib); });
        if (len > 0) {
            std::vector<char> fetched(static_cast<size_t>(len));
            FUZZ_CHECK(FetchStyle(fetched.data()) == len);
            uint32_t inside;
            std::memcpy(&inside, fetched.data(), 4);
            FUZZ_CHECK(inside + 4 == static_cast<uint32_t>(len));
        }
        ColorThemeStruct tags{0, nullptr};
        if (GetColorTags(dib, &tags) != 0) FUZZ_CHECK(tags.count == 0 && tags.entries == nullptr);
        FreeThemeStruct(&tags);
        FUZZ_CHECK(Snapshot(dib) == before);
        break;
    }
    case 1:  // neighbour counts, from the image's buffer and from the image
        GetColorThemeNeighbor(dib, g_table, own);
        GetColorThemeNeighbor(dib, g_table, nullptr);
        FUZZ_CHECK(Snapshot(dib) == before);
        break;
    case 2:  // re-colouring, each call on the image as the previous one left it
        Unchanged(dib, [&] { return AdjustImageStyle(dib, SampleStyle(24), own); });
        Unchanged(dib, [&] { return AdjustImageStyle2(dib, own, SampleStyle(8), nullptr, nullptr); });
        Unchanged(dib, [&] { return AdjustImageStyleWithRegions(dib, SampleStyle(8), nullptr, 0); });
        break;
    default: {  // pairings from a table, regions kept
        MatchLink links[64];
        MatchLinkTable table{0, links};
        GetMatchLinks(SampleStyle(8), own, 2, &table);
        if (table.count <= 64) FUZZ_CHECK(AdjustImageStyle3(dib, SampleStyle(8), own, &table) == 0);
        int32_t xs[4] = {0, 5, 5, 0}, ys[4] = {0, 0, 4, 4};
        RegionPolygon region{4, xs, ys};
        Unchanged(dib, [&] { return AdjustImageStyleWithRegions2(dib, own, SampleStyle(24), &region, 1, nullptr, nullptr); });
        break;
    }
    }
    FreeStyleBuf(own);

    FreeDib(dib);
    FUZZ_CHECK(LiveHandles() == live);
}
