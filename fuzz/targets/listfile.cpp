// The theme list file: LoadColorThemes on the fuzzed text, appended or
// placed on the hue ring; the count it returns is the number of themes
// added, each of type 1 and holding the invariants.
#include <string>

#include "../fuzz.h"
#include "huevane/library.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(listfile, "") {
    const bool ring = size % 2 == 1;
    const std::string path = ScratchFile("themes.txt", std::string(reinterpret_cast<const char*>(data), size));
    const long live = LiveHandles();
    {
        ccColorPocketArrayArray lib;
        const int added = lib.LoadColorThemes(path.c_str(), ring);
        FUZZ_CHECK(added == lib.themes.GetSize());
        for (ccColorPocketArray* t : lib.themes) {
            FUZZ_CHECK(t != nullptr && t->themeType == 1);
            CheckTheme(*t, false);
        }
        // A second load onto the same ring.
        const int more = lib.LoadColorThemes(path.c_str(), ring);
        FUZZ_CHECK(more >= 0 && added + more == lib.themes.GetSize());
    }
    FUZZ_CHECK(LiveHandles() == live);
}
