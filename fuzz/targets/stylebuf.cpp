// The style buffer: LoadFromBuf on the fuzzed bytes, then a save and a
// reload that must give the same theme, the theme edits that need no image,
// and the buffer as style and as target of the flat functions.
#include <cstring>
#include <vector>

#include "../fuzz.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"

using namespace hvfuzz;

namespace {

// The buffer's length field may not promise more bytes than there are.
std::vector<char> AsBuffer(const uint8_t* data, size_t size) {
    std::vector<char> buf(data, data + size);
    if (buf.size() < 4) buf.resize(4, 0);
    uint32_t len;
    std::memcpy(&len, buf.data(), 4);
    if (len > buf.size() - 4) {
        len = static_cast<uint32_t>(buf.size() - 4);
        std::memcpy(buf.data(), &len, 4);
    }
    return buf;
}

void RoundTrip(ccColorPocketArray& t) {
    char* saved = nullptr;
    const int len = t.SaveToBuf(saved);
    FUZZ_CHECK(len >= 0 && saved != nullptr);
    if (!saved) return;
    ccColorPocketArray again;
    FUZZ_CHECK(again.LoadFromBuf(saved) == len);
    CheckTheme(again, true);
    FUZZ_CHECK(SameTheme(t, again));
    char* twice = nullptr;
    FUZZ_CHECK(again.SaveToBuf(twice) == len);
    FUZZ_CHECK(twice && std::memcmp(saved, twice, static_cast<size_t>(len) + 4) == 0);
    t.FreeDataBuf(saved);
    again.FreeDataBuf(twice);
}

// The edits that work on a theme without an image; the invariants hold
// after each.
void Edit(ccColorPocketArray& t, Bytes& in) {
    for (int mode = 1; mode <= 5; ++mode) {
        t.Sort(mode);
        CheckTheme(t, false);
    }
    t.GetPercentage();
    CheckTheme(t, false);
    if (t.pockets.GetSize() > 0) {
        FUZZ_CHECK(t.FindNearestPocket(t.pockets[0], t.pockets.GetSize()) >= 0);
        t.MergeAfter(1 + in.U8() % t.pockets.GetSize());
        CheckTheme(t, false);
    }
    t.MergePercentLess(in.U8() % 101);
    CheckTheme(t, false);
    t.Recluster();
    CheckTheme(t, false);
}

// The buffer as style and as target. Re-colouring a 24-bit image reduces
// it to 8 bits, which costs far more than the rest, so `pick` chooses one
// depth per input.
void Apply(char* buf, size_t pick) {
    const long live = LiveHandles();
    ColorThemeStruct s{0, nullptr};
    FUZZ_CHECK(GetColorThemeStruct(&s, buf) == 0);
    FreeThemeStruct(&s);
    MatchLink links[256];
    for (int method = 1; method <= 5; ++method) {
        MatchLinkTable table{0, nullptr};
        GetMatchLinks(SampleStyle(8), buf, method, &table);
        if (table.count <= 256) {
            table.links = links;
            GetMatchLinks(SampleStyle(8), buf, method, &table);
        }
        GetMatchLinks(buf, SampleStyle(24), method, nullptr);
    }
    {
        const int bits = pick % 2 ? 24 : 8;
        void* dib = MakeImage(13, 9, bits, 3);
        const std::vector<uint8_t> before = Snapshot(dib);
        if (AdjustImageStyle(dib, buf, nullptr) == -1) FUZZ_CHECK(Snapshot(dib) == before);
        const std::vector<uint8_t> mid = Snapshot(dib);
        if (AdjustImageStyle(dib, SampleStyle(bits), buf) == -1) FUZZ_CHECK(Snapshot(dib) == mid);
        FreeDib(dib);
    }
    FUZZ_CHECK(LiveHandles() == live);
}

}  // namespace

HV_FUZZ_TARGET(stylebuf, "persist") {
    std::vector<char> buf = AsBuffer(data, size);
    ccColorPocketArray t;
    t.name = "before";
    t.InitPalette(2);
    const int r = t.LoadFromBuf(buf.data());
    if (r < 0) {
        FUZZ_CHECK(r == -1);
        FUZZ_CHECK(t.pockets.GetSize() == 0 && t.name == "before" && t.paletteSize == 2);
    } else {
        uint32_t len;
        std::memcpy(&len, buf.data(), 4);
        FUZZ_CHECK(static_cast<uint32_t>(r) == len);
        CheckTheme(t, true);
        RoundTrip(t);
        Bytes tail(data + (size > 4 ? size - 4 : 0), size > 4 ? 4 : 0);
        Edit(t, tail);
        RoundTrip(t);
    }
    Apply(buf.data(), size);
}
