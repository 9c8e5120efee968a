// Edited themes for the restyle command. Defined in cmd_edit.cpp.
#pragma once

#include <string>

#include "huevane/theme.h"

namespace hvcli {

// Fills theme from a theme file written by 'huevane edit' for this image
// (24-bit, or 8-bit with a 256-entry colour table), attaching the image's
// 8-bit form as its palette DIB. False with a message when the file cannot
// be read or its palette is not the image's.
bool LoadEditedTheme(const std::string& path, void* image, ccColorPocketArray& theme, std::string* error);

}  // namespace hvcli
