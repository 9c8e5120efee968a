// The theme file: LoadFromFile on the fuzzed file, and a save and reload
// of what it gives.
#include "../fuzz.h"
#include "huevane/theme.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(themefile, "persist") {
    const std::string path = ScratchFile("in.ccs", std::string(reinterpret_cast<const char*>(data), size));
    ccColorPocketArray t;
    t.name = "before";
    t.InitPalette(2);
    const int r = t.LoadFromFile(path.c_str());
    FUZZ_CHECK(r == 0 || r == -2);
    if (r == -2) {
        FUZZ_CHECK(t.pockets.GetSize() == 0 && t.name == "before" && t.paletteSize == 2);
        return;
    }
    CheckTheme(t, true);
    const std::string copy = ScratchPath("copy.ccs");
    FUZZ_CHECK(t.SaveToFile(copy.c_str()) == 0);
    ccColorPocketArray again;
    FUZZ_CHECK(again.LoadFromFile(copy.c_str()) == 0);
    FUZZ_CHECK(SameTheme(t, again));
}
