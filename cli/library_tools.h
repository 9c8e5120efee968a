// Theme libraries for the library and restyle commands. Defined in
// cmd_library.cpp.
#pragma once

#include <string>

#include "huevane/library.h"
#include "imageio.h"

namespace hvcli {

// True when argv holds the option "--NAME" (alone or as "--NAME=value")
// before any "--".
bool MentionsOption(int argc, char** argv, const std::string& name);

// Loads a script file (it has an "[Examples]" line) or a theme list file (a
// "[Themes]" line) into lib; list themes in hue-ring order when hueRing.
// kind gets "script" or "list". False with a message otherwise.
bool LoadLibrary(const std::string& path, bool hueRing, ccColorPocketArrayArray& lib, std::string* kind,
                 std::string* error);

// Fills theme with the library theme named by `which` (a position from 0,
// or a name) through a theme buffer, as a host applies a library theme; an
// example's thumbnail goes to *image in 24 bits. False with a message.
bool ReadLibraryTheme(const std::string& path, const std::string& which, ccColorPocketArray& theme,
                      hvio::OwnedDib* image, std::string* error);

}  // namespace hvcli
