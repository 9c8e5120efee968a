// huevane theme: the colour theme of an image, printed and optionally saved
// as a theme file; and the theme helpers the restyle command shares.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

#include "args.h"
#include "commands.h"
#include "dib/dib.h"
#include "platform/memory.h"
#include "theme_tools.h"

namespace hvcli {

bool IsThemeFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string ext = path.substr(path.size() - 4);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".ccs";
}

bool MaxPixels(const Args& args, long long* out, std::string* error) {
    int n = 0;
    if (!args.IntValue("max-pixels", 1, static_cast<int>(hv::kMaxPixels), static_cast<int>(hvio::kDefaultMaxPixels),
                       &n, error))
        return false;
    *out = n;
    return true;
}

void* ReadWorkImage(const std::string& path, std::string* error, long long maxPixels) {
    hvio::OwnedDib image(hvio::ReadImage(path, error, maxPixels));
    if (!image.get()) return nullptr;
    bool keep = false;
    {
        ipDibStuff view(image.get(), false);
        keep = view.is24() || view.isPalette8();
    }
    if (keep) return image.release();
    void* expanded = hvio::ToRgb24(image.get(), error);
    if (!expanded && error) *error = path + ": " + *error;
    return expanded;
}

bool ReadTheme(const std::string& path, ccColorPocketArray& theme, hvio::OwnedDib* image, std::string* error,
               long long maxPixels) {
    if (IsThemeFile(path)) {
        const int r = theme.LoadFromFile(path.c_str());
        if (r == -1) {
            *error = "cannot open theme file '" + path + "'";
            return false;
        }
        if (r != 0) {
            *error = "'" + path + "' is not a valid theme file";
            return false;
        }
        return true;
    }
    image->reset(ReadWorkImage(path, error, maxPixels));
    if (!image->get()) return false;
    bool is24 = false;
    {
        ipDibStuff view(image->get(), false);
        is24 = view.is24();
    }
    if (is24) {
        void* dib8 = DecreaseBpp24to8(image->get());
        if (!dib8) {
            *error = path + ": cannot reduce the image to 256 colours";
            return false;
        }
        theme.SetPalDib(dib8, true);
    } else {
        theme.SetPalDib(image->get(), false);
    }
    if (theme.GetColorPockets() != 0) {
        *error = path + ": cannot extract a theme from this image";
        return false;
    }
    return true;
}

void DrawThemeBar(void* dib24, int x0, int y0, int width, int height, ccColorPocketArray& theme) {
    ipDibStuff view(dib24, false);
    if (!view.is24() || width <= 0 || height <= 0) return;
    const int n = theme.pockets.GetSize();
    int64_t total = 0;
    for (ccColorPocket* p : theme.pockets) total += std::max(p->pixelNum, 0);
    // Column boundaries from the running share, so the bar is filled exactly.
    int64_t before = 0;
    int left = 0;
    for (int k = 0; k < n; ++k) {
        ccColorPocket* p = theme.pockets[k];
        before += total > 0 ? std::max(p->pixelNum, 0) : 1;
        const int right = static_cast<int>(before * width / (total > 0 ? total : n));
        for (int y = y0; y < y0 + height; ++y) {
            if (y < 0 || y >= view.height()) continue;
            BYTE* row = view.rows[static_cast<size_t>(view.height() - 1 - y)];
            for (int x = x0 + left; x < x0 + right; ++x) {
                if (x < 0 || x >= view.width()) continue;
                row[3 * x] = p->aveRGB.rgbBlue;
                row[3 * x + 1] = p->aveRGB.rgbGreen;
                row[3 * x + 2] = p->aveRGB.rgbRed;
            }
        }
        left = right;
    }
}

}  // namespace hvcli

namespace {

const char kHelp[] =
    "Usage: huevane theme IMAGE [-o FILE.ccs] [--json] [--max-pixels N]\n"
    "Extracts the colour theme of an image (its pockets: clusters of its\n"
    "palette colours) and prints one line per pocket, largest first: position,\n"
    "colour, share of the image, number of palette colours and of pixels.\n"
    "\n"
    "  IMAGE              a BMP, PNG or JPEG file, or a .ccs theme file to print\n"
    "  -o, --output FILE  also save the theme as a theme file (.ccs), usable\n"
    "                     as the style of 'huevane restyle'\n"
    "  --json             print the pockets as JSON instead of a table\n"
    "  --max-pixels N     refuse images of more than N pixels (default 178000000)\n"
    "  -h, --help         show this help\n";

std::string Hex(const tagRGBQUAD& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

}  // namespace

int CmdTheme(int argc, char** argv) {
    const char* cmd = "theme";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd, {{"output", 'o', true}, {"json", 0, false}, {"max-pixels", 0, true}},
                                   kHelp, 1, "missing image");
    if (early >= 0) return early;
    std::string error;
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    const std::string input = args.positional()[0];
    const std::string output = args.Value("output");
    if (args.Has("output") && !hvcli::IsThemeFile(output))
        return hvcli::UsageError(cmd, "the theme file '" + output + "' must end in .ccs");

    ccColorPocketArray theme(0);
    hvio::OwnedDib image;
    if (!hvcli::ReadTheme(input, theme, &image, &error, maxPixels)) return hvcli::Failure(cmd, error);
    if (!output.empty() && theme.SaveToFile(output.c_str()) != 0)
        return hvcli::Failure(cmd, "cannot write '" + output + "'");

    int64_t total = 0;
    for (ccColorPocket* p : theme.pockets) total += std::max(p->pixelNum, 0);
    auto share = [total](ccColorPocket* p) { return total > 0 ? 100.0 * std::max(p->pixelNum, 0) / total : 0.0; };
    const int n = theme.pockets.GetSize();
    if (args.Has("json")) {
        std::printf("{\"source\": \"");
        for (char c : input) {
            if (c == '"' || c == '\\')
                std::printf("\\%c", c);
            else if (static_cast<unsigned char>(c) < 0x20)
                std::printf("\\u%04x", static_cast<unsigned char>(c));
            else
                std::putchar(c);
        }
        std::printf("\", \"pockets\": [");
        for (int k = 0; k < n; ++k) {
            ccColorPocket* p = theme.pockets[k];
            std::printf("%s\n  {\"index\": %d, \"color\": \"%s\", \"share\": %.4f, \"items\": %d, \"pixels\": %d}",
                        k ? "," : "", k, Hex(p->aveRGB).c_str(), share(p) / 100.0, p->items.GetSize(), p->pixelNum);
        }
        std::printf("%s]}\n", n ? "\n" : "");
    } else {
        std::printf("%s: %d pockets\n", input.c_str(), n);
        std::printf("  %3s  %-7s  %6s  %5s  %9s\n", "#", "colour", "share", "items", "pixels");
        for (int k = 0; k < n; ++k) {
            ccColorPocket* p = theme.pockets[k];
            std::printf("  %3d  %-7s  %5.1f%%  %5d  %9d\n", k, Hex(p->aveRGB).c_str(), share(p), p->items.GetSize(),
                        p->pixelNum);
        }
        if (!output.empty()) std::printf("theme saved to %s\n", output.c_str());
    }
    return hvcli::kExitOk;
}
