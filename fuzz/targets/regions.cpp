// Regions and link tables from a host: AdjustImageStyleWithRegions2 with
// fuzzed polygons (and optionally the image's own buffer, 8-bit form and
// backup), then AdjustImageStyle3 with a fuzzed table of pairings, on a
// small image.
#include <vector>

#include "../fuzz.h"
#include "dib/dib.h"
#include "huevane/huevane.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(regions, "") {
    Bytes in(data, size);
    const long live = LiveHandles();
    const int opt = in.U8();
    const int bits = opt & 1 ? 24 : 8;
    void* dib = MakeImage(1 + in.U8() % 40, 1 + in.U8() % 40, bits, opt);

    // The polygons: small coordinates mostly, any 32-bit value when asked.
    int n = in.U8() % 6;
    if (opt & 8) n = -n;
    std::vector<std::vector<int32_t>> xs, ys;
    std::vector<RegionPolygon> regions;
    for (int r = 0; r < (n > 0 ? n : 0); ++r) {
        const int kind = in.U8();
        int count = kind % 13;
        xs.emplace_back(static_cast<size_t>(count));
        ys.emplace_back(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            xs.back()[i] = kind & 0x80 ? in.I32() : int8_t(in.U8());
            ys.back()[i] = kind & 0x80 ? in.I32() : int8_t(in.U8());
        }
        if (kind & 0x40 && (opt & 0x40)) count = -count;  // a negative vertex count
        regions.push_back(RegionPolygon{count, xs.back().data(), ys.back().data()});
    }
    if (opt & 0x20 && !regions.empty()) regions[0].xs = nullptr;

    char* own = nullptr;
    if (opt & 2) Preprocess(dib, &own);
    void* dib8 = nullptr;
    void* backup = nullptr;
    if (opt & 4) {
        dib8 = bits == 24 ? DecreaseBpp24to8(dib) : nullptr;
        ipDibStuff view(dib, false);
        backup = view.CopyToHandle();
    }
    const std::vector<uint8_t> before = Snapshot(dib);
    const int r = AdjustImageStyleWithRegions2(dib, own, SampleStyle(opt & 0x10 ? 8 : 24),
                                               regions.empty() ? nullptr : regions.data(), n, dib8, backup);
    FUZZ_CHECK(r == 0 || r == -1);
    if (r == -1) FUZZ_CHECK(Snapshot(dib) == before);
    FUZZ_CHECK(LiveHandles() == live + 1 + (dib8 ? 1 : 0) + (backup ? 1 : 0));

    // A host's table of pairings, possibly naming pockets that do not exist.
    std::vector<MatchLink> links(in.U8() % 40);
    for (MatchLink& l : links) {
        l.targetIndex = int8_t(in.U8());
        l.styleIndex = int8_t(in.U8());
    }
    MatchLinkTable table{static_cast<int32_t>(links.size()), links.data()};
    FUZZ_CHECK(AdjustImageStyle3(dib, SampleStyle(bits), own, &table) == 0);

    FreeStyleBuf(own);
    FreeDib(dib8);
    FreeDib(backup);
    FreeDib(dib);
    FUZZ_CHECK(LiveHandles() == live);
}
