// The group file: LoadGroup on the fuzzed file; a refused file leaves the
// groups as they were, an accepted one survives a save and a reload.
#include <vector>

#include "../fuzz.h"
#include "huevane/colorsystem.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(groupfile, "colorsystem") {
    csColorSystem cs;
    cs.path = ScratchPath("groups");
    ScratchFile("groups.grp", std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<std::vector<int>> before = {{1, 2}, {}, {7}};
    cs.groups = before;
    const int r = cs.LoadGroup();
    FUZZ_CHECK(r == 0 || r == -1);
    if (r == -1) {
        FUZZ_CHECK(cs.groups == before);
        return;
    }
    const std::vector<std::vector<int>> loaded = cs.groups;
    if (loaded.empty()) {
        FUZZ_CHECK(cs.SaveGroup() == -1);  // nothing to write
        return;
    }
    FUZZ_CHECK(cs.SaveGroup() == 0);
    cs.groups = before;
    FUZZ_CHECK(cs.LoadGroup() == 0);
    FUZZ_CHECK(cs.groups == loaded);
}
