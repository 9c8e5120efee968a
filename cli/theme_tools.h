// Themes for the theme and restyle commands: read from an image or a ".ccs"
// theme file, and drawn as a colour bar; the image limit of every command
// that reads images. Defined in cmd_theme.cpp.
#pragma once

#include <string>

#include "args.h"
#include "huevane/theme.h"
#include "imageio.h"

namespace hvcli {

// True when the path names a theme file (extension ".ccs", any case).
bool IsThemeFile(const std::string& path);

// The --max-pixels option of the commands that read images, and its value:
// a whole number from 1 to the library's largest image, the image reader's
// default when absent. False with a message for any other value.
bool MaxPixels(const Args& args, long long* out, std::string* error);

// Reads an image for re-colouring: 24-bit, or 8-bit with a 256-entry colour
// table as stored; other depths are expanded to 24 bits. Images of more than
// maxPixels pixels are refused. Null with a message.
void* ReadWorkImage(const std::string& path, std::string* error, long long maxPixels = hvio::kDefaultMaxPixels);

// Fills theme from a theme file, or from an image by the default extraction
// (which is what the style functions do). For an image, the image is kept
// in *image and its 8-bit form attached to the theme as its palette DIB.
// False with a message when the file cannot be read or holds no theme.
bool ReadTheme(const std::string& path, ccColorPocketArray& theme, hvio::OwnedDib* image, std::string* error,
               long long maxPixels = hvio::kDefaultMaxPixels);

// Fills width x height pixels of a 24-bit DIB's rows (x0, y0 from the top
// left) with the theme's colours, left to right in list order, each as wide
// as its share of the theme's pixels.
void DrawThemeBar(void* dib24, int x0, int y0, int width, int height, ccColorPocketArray& theme);

}  // namespace hvcli
