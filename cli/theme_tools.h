// Themes for the theme and restyle commands: read from an image or a ".ccs"
// theme file, and drawn as a colour bar; the image limit of every command
// that reads images. Defined in cmd_theme.cpp.
#pragma once

#include <string>
#include <vector>

#include "args.h"
#include "huevane/colorsystem.h"
#include "huevane/theme.h"
#include "imageio.h"
#include "platform/memory.h"

namespace hvcli {

// Releases a handle made by the library at the end of a scope.
struct LibraryDib {
    explicit LibraryDib(void* d = nullptr) : dib(d) {}
    ~LibraryDib() {
        if (dib) hv::FreeHandle(dib);
    }
    LibraryDib(const LibraryDib&) = delete;
    LibraryDib& operator=(const LibraryDib&) = delete;
    void* dib;
};

// How a theme is taken from an image: "default" (what the style functions
// use), "g", "d", "cg" (against `card`) or "q".
struct Extraction {
    std::string method = "default";
    csColorSystem* card = nullptr;  // cg only; not owned
};

// True for a method name Extraction accepts.
bool IsExtraction(const std::string& method);

// Runs the extraction on a theme whose palette DIB is attached, then gives
// every pocket its share of the theme's pixels and orders the pockets by
// size (index = position), whatever the method left. The library's result:
// 0, or -1.
int Extract(ccColorPocketArray& theme, const Extraction& how);

// Loads a colour card (and its group file, FILE.grp, when there is one);
// false with a message when it holds no sample.
bool LoadCard(const std::string& path, csColorSystem& card, std::string* error);

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
// (which is what the style functions do) or the one `how` names. For an
// image, the image is kept in *image and its 8-bit form attached to the
// theme as its palette DIB. False with a message when the file cannot be
// read or holds no theme.
// Images of more than maxPixels pixels are refused.
bool ReadTheme(const std::string& path, ccColorPocketArray& theme, hvio::OwnedDib* image, std::string* error,
               long long maxPixels = hvio::kDefaultMaxPixels, const Extraction* how = nullptr);

// Reads the extraction method of option `option` ("extract",
// "style-extract"; absent: default) into how->method. -1 to go on, or the
// exit code of a usage error for an unknown method.
int ReadExtraction(const std::string& command, const Args& args, const std::string& option,
                   Extraction* how);

// The --card option, loaded into card when given. A usage error when cg is
// asked for without it (needed) or it is given with no use (not usable); a
// failure when it holds no sample. -1 to go on, else the exit code.
int CardOption(const std::string& command, const Args& args, bool needed, bool usable, csColorSystem& card);

// Draws the 24-bit (or any depth) image, shrunk to fit 800 x 560, with the
// colour bar of each extraction (default, g, d, cg against card or a card
// without groups, q) of its 8-bit form dib8 under it, each labelled with
// the method and its number of colours, and writes it to path. False with
// a message.
bool DrawExtractions(void* image, void* dib8, csColorSystem* card, const std::string& path, std::string* error);

// Fills width x height pixels of a 24-bit DIB's rows (x0, y0 from the top
// left) with the theme's colours, left to right in list order, each as wide
// as its share of the theme's pixels.
// The right edge of each pocket's segment in a bar `width` pixels wide:
// segments as wide as the pockets' shares (equal when no pocket has pixels).
std::vector<int> ThemeBarEdges(ccColorPocketArray& theme, int width);
void DrawThemeBar(void* dib24, int x0, int y0, int width, int height, ccColorPocketArray& theme);

// A colour as "#rrggbb".
std::string Hex(const RGBQUAD& c);

}  // namespace hvcli
