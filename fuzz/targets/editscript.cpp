// The tool's edit script: ReadEdits on the fuzzed text, then the edits
// applied in order, as 'huevane edit' does, to the theme of a small 8-bit
// image. A refusal comes with a message; what is accepted reads back the
// same from its own normalised text; after every edit the theme holds its
// invariants (members in the palette, no colour in two pockets, counts the
// sums of the items') and the image's pixels are untouched; the edited theme
// survives a save and a reload, and no handle is left.
#include <cstdio>
#include <string>
#include <vector>

#include "../fuzz.h"
#include "editscript.h"
#include "huevane/theme.h"

using namespace hvfuzz;

namespace {

bool SameEdit(const hvcli::Edit& a, const hvcli::Edit& b) {
    if (a.op != b.op || a.text != b.text || a.numbers != b.numbers || a.points.size() != b.points.size()) return false;
    for (size_t k = 0; k < a.points.size(); ++k)
        if (a.points[k].x != b.points[k].x || a.points[k].y != b.points[k].y) return false;
    return true;
}

}  // namespace

HV_FUZZ_TARGET(editscript, "") {
    const std::string path = ScratchFile("edits.txt", std::string(reinterpret_cast<const char*>(data), size));
    std::vector<hvcli::Edit> edits;
    std::string error;
    if (!hvcli::ReadEdits(path, &edits, &error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    // One edit per line of its normalised text reads back the same.
    std::string text;
    for (const hvcli::Edit& e : edits) text += e.text + "\n";
    std::vector<hvcli::Edit> again;
    FUZZ_CHECK(hvcli::ReadEdits(ScratchFile("again.txt", text), &again, &error));
    FUZZ_CHECK(again.size() == edits.size());
    for (size_t k = 0; k < again.size() && k < edits.size(); ++k) {
        FUZZ_CHECK(SameEdit(again[k], edits[k]));
        FUZZ_CHECK(again[k].line == static_cast<long>(k) + 1);
    }

    const long live = LiveHandles();
    const int width = 19, height = 13;
    void* dib = MakeImage(width, height, 8, static_cast<unsigned>(size));
    {
        ccColorPocketArray t;
        t.SetPalDib(dib, false);
        t.GetColorPockets();
        const std::vector<uint8_t> all = Snapshot(dib);
        const std::vector<uint8_t> pixels(all.begin() + 40 + 256 * 4, all.end());
        hvcli::Editor editor(t, height);
        for (const hvcli::Edit& e : edits) {
            std::string why;
            const bool done = editor.Apply(e, &why);
            CheckTheme(t, false);
            CheckOwners(t);
            const std::vector<uint8_t> now = Snapshot(dib);
            FUZZ_CHECK(std::vector<uint8_t>(now.begin() + 40 + 256 * 4, now.end()) == pixels);
            if (!done) {
                FUZZ_CHECK(!why.empty());
                break;
            }
        }
        t.UnhighlightColors();
        CheckSurvivesReload(t);
    }
    FreeDib(dib);
    FUZZ_CHECK(LiveHandles() == live);
}
