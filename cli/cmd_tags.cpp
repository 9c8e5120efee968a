// huevane tags: the colour families of an image, with names, mean colours
// and shares.
#include <cstdio>
#include <string>

#include "api/colortags.h"
#include "args.h"
#include "commands.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "imageio.h"
#include "theme_tools.h"

namespace {

const char kHelp[] =
    "Usage: huevane tags IMAGE [--json] [--max-pixels N]\n"
    "Names the colour families of an image (Red, Orange, Yellow, Green, Cyan,\n"
    "Blue, Purple, Black, Gray, White) with the mean colour and the share of\n"
    "the image of each. Palette colours covering 10 pixels or fewer are left\n"
    "out, as are greys between Black and Gray.\n"
    "\n"
    "  IMAGE       a BMP, PNG or JPEG file\n"
    "  --json      print the result as JSON\n"
    "  --max-pixels N\n"
    "              refuse images of more than N pixels (default 178000000)\n"
    "  -h, --help  show this help\n";

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

}  // namespace

int CmdTags(int argc, char** argv) {
    const char* cmd = "tags";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd, {{"json", 0, false}, {"max-pixels", 0, true}}, kHelp, 1,
                                   "missing input image");
    if (early >= 0) return early;
    std::string error;
    const std::string input = args.positional()[0];
    const bool json = args.Has("json");
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);

    hvio::OwnedDib image(hvio::ReadImage(input, &error, maxPixels));
    if (!image.get()) return hvcli::Failure(cmd, error);
    int width = 0, height = 0, bits = 0;
    {
        ipDibStuff view(image.get(), false);
        width = view.width();
        height = view.height();
        bits = view.bitCount();
    }
    if (bits != 8 && bits != 24) {
        void* expanded = hvio::ToRgb24(image.get(), &error);
        if (!expanded) return hvcli::Failure(cmd, input + ": " + error);
        image.reset(expanded);
    }

    ColorThemeStruct tags = {0, nullptr};
    const int rc = GetColorTags(image.get(), &tags);
    if (rc == -1) return hvcli::Failure(cmd, input + ": the image could not be reduced to 256 colours");

    if (json) {
        std::printf("{\"image\": %s, \"width\": %d, \"height\": %d, \"families\": [", JsonString(input).c_str(), width,
                    height);
        for (int i = 0; i < tags.count; ++i) {
            const ColorThemeEntry& e = tags.entries[i];
            std::printf("%s\n  {\"tag\": %d, \"name\": \"%s\", \"color\": \"%s\", \"rgb\": [%d, %d, %d], \"share\": %.6f}",
                        i ? "," : "", e.color.rgbReserved, hv::ColorTagName(e.color.rgbReserved), hvcli::Hex(e.color).c_str(),
                        e.color.rgbRed, e.color.rgbGreen, e.color.rgbBlue, static_cast<double>(e.share));
        }
        std::printf("%s]}\n", tags.count ? "\n" : "");
    } else {
        std::printf("%s: %d x %d, %d colour famil%s\n", input.c_str(), width, height, tags.count,
                    tags.count == 1 ? "y" : "ies");
        for (int i = 0; i < tags.count; ++i) {
            const ColorThemeEntry& e = tags.entries[i];
            std::printf("  %-7s %s  (%3d, %3d, %3d)  %5.1f%%\n", hv::ColorTagName(e.color.rgbReserved),
                        hvcli::Hex(e.color).c_str(), e.color.rgbRed, e.color.rgbGreen, e.color.rgbBlue,
                        100.0 * static_cast<double>(e.share));
        }
        if (rc == -2) std::printf("  no colour covers more than 10 pixels in a named family\n");
    }
    FreeThemeStruct(&tags);
    return hvcli::kExitOk;
}
