// The theme library's script file: LoadFromScriptFile on a fuzzed script,
// with a fuzzed thumbnail and theme file beside it under the names the
// seeds use; every theme it makes holds the invariants, and the library
// releases every handle it made.
#include <string>

#include "../fuzz.h"
#include "huevane/library.h"

using namespace hvfuzz;

HV_FUZZ_TARGET(scriptfile, "") {
    Bytes in(data, size);
    const std::string script = in.Take(in.U16());
    const std::string ccs = in.Take(in.U16());
    const std::string path = ScratchFile("lib.txt", script);
    ScratchFile("a.bmp.ccs", ccs);
    ScratchFile("a.bmp", in.Rest());
    const long live = LiveHandles();
    {
        ccColorPocketArrayArray lib;
        FUZZ_CHECK(lib.LoadFromScriptFile(path.c_str()) == 0);
        FUZZ_CHECK(lib.scriptPath == path);
        for (ccColorPocketArray* t : lib.themes) {
            FUZZ_CHECK(t != nullptr && t->themeType == 0);
            CheckTheme(*t, false);
        }
        FUZZ_CHECK(LiveHandles() >= live);
    }
    FUZZ_CHECK(LiveHandles() == live);
}
