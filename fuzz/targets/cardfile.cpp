// The colour card file with its group file: the fuzzed bytes are split
// into the card text and the group file beside it; then the searches and
// group edits run on what was read, and the groups go through a save and
// a reload.
#include <algorithm>
#include <vector>

#include "../fuzz.h"
#include "color/colorword.h"
#include "huevane/colorsystem.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(cardfile, "colorsystem") {
    Bytes in(data, size);
    const size_t cardBytes = in.U16();
    const std::string card = in.Take(cardBytes);
    const std::string path = ScratchFile("card.txt", card);
    ScratchFile("card.txt.grp", in.Rest());

    csColorSystem cs;
    FUZZ_CHECK(cs.LoadFromFile(path.c_str()) == 0);
    // One sample per line, a last line without a line feed included.
    const long lines = std::count(card.begin(), card.end(), '\n') + (!card.empty() && card.back() != '\n');
    FUZZ_CHECK(cs.samples.GetSize() == lines);
    for (const csColorSample* s : cs.samples) {
        FUZZ_CHECK(s->rgb.rgbReserved == 0);
        FUZZ_CHECK(s->hsl == RGBtoHSL(s->rgb));
    }
    const int n = cs.samples.GetSize();
    if (n == 0) return;

    // Searches around the first sample's colour.
    const tagRGBQUAD c = cs.samples[0]->rgb;
    int idx[8];
    double dist[8];
    const int got = cs.GetNearestSamplesByWeight(c, idx, dist, 8);
    FUZZ_CHECK(got == std::min(n, 8));
    for (int i = 0; i < got; ++i) FUZZ_CHECK(idx[i] >= 0 && idx[i] < n);
    const int byHue = cs.GetNearestSampleIndexByHue(c);
    FUZZ_CHECK(byHue >= -1 && byHue < n);
    std::vector<int> order(static_cast<size_t>(n));
    FUZZ_CHECK(cs.GetCardDistOrder(n - 1, order.data(), n) == n);

    // Group edits with every third sample selected, then the group file.
    if (cs.groups.empty()) return;
    std::vector<int> sel(static_cast<size_t>(n));
    for (int i = 0; i < n; i += 3) sel[static_cast<size_t>(i)] = 1;
    const int g = static_cast<int>(cardBytes % cs.groups.size());
    FUZZ_CHECK(cs.SplitGroup(g, sel.data()) == 0);
    FUZZ_CHECK(cs.DeleteGroupSelItems(static_cast<int>(cs.groups.size()) - 1, sel.data()) >= 0);
    const std::vector<std::vector<int>> edited = cs.groups;
    FUZZ_CHECK(cs.SaveGroup() == 0);
    cs.groups.clear();
    FUZZ_CHECK(cs.LoadGroup() == 0);
    FUZZ_CHECK(cs.groups == edited);
}
