// huevane theme: the colour theme of an image, printed and optionally saved
// as a theme file; and the theme helpers the restyle command shares.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "drawing.h"
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

bool IsExtraction(const std::string& method) {
    return method == "default" || method == "g" || method == "d" || method == "cg" || method == "q";
}

int Extract(ccColorPocketArray& theme, const Extraction& how) {
    if (how.method == "default") return theme.GetColorPockets();
    int result = -1;
    if (how.method == "g") {
        result = theme.GetColorPocketsG();
    } else if (how.method == "d") {
        result = theme.GetColorPocketsD();
    } else if (how.method == "cg") {
        // The card cache holds for one palette only: a fresh one per image.
        csColorSystem none;
        int cardIndex[256];
        cardIndex[0] = -1;
        result = theme.GetColorPocketsCG(how.card ? how.card : &none, cardIndex);
    } else if (how.method == "q") {
        result = theme.GetColorPocketsQ();
    }
    if (result != 0) return result;
    theme.GetPercentage();
    theme.SortOnPercentage();
    for (int k = 0; k < theme.pockets.GetSize(); ++k) theme.pockets[k]->index = k;
    return 0;
}

bool LoadCard(const std::string& path, csColorSystem& card, std::string* error) {
    card.LoadFromFile(path.c_str());
    if (card.samples.GetSize() > 0) return true;
    *error = "no colour samples in '" + path + "' (cannot read it, or no 'Name: RGB(r, g, b)' line)";
    return false;
}

bool ReadTheme(const std::string& path, ccColorPocketArray& theme, hvio::OwnedDib* image, std::string* error,
               long long maxPixels, const Extraction* how) {
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
    if ((how ? Extract(theme, *how) : theme.GetColorPockets()) != 0) {
        *error = path + ": cannot extract a theme from this image";
        return false;
    }
    return true;
}

std::string Hex(const RGBQUAD& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

std::vector<int> ThemeBarEdges(ccColorPocketArray& theme, int width) {
    const int n = theme.pockets.GetSize();
    int64_t total = 0;
    for (ccColorPocket* p : theme.pockets) total += std::max(p->pixelNum, 0);
    // Edges from the running share, so the bar is filled exactly.
    std::vector<int> edges(static_cast<size_t>(n));
    int64_t before = 0;
    for (int k = 0; k < n; ++k) {
        before += total > 0 ? std::max(theme.pockets[k]->pixelNum, 0) : 1;
        edges[static_cast<size_t>(k)] = static_cast<int>(before * width / (total > 0 ? total : n));
    }
    return edges;
}

void DrawThemeBar(void* dib24, int x0, int y0, int width, int height, ccColorPocketArray& theme) {
    ipDibStuff view(dib24, false);
    if (!view.is24() || width <= 0 || height <= 0) return;
    const std::vector<int> edges = ThemeBarEdges(theme, width);
    int left = 0;
    for (size_t k = 0; k < edges.size(); ++k) {
        FillRect(view, x0 + left, y0, edges[k] - left, height, theme.pockets[static_cast<int>(k)]->aveRGB);
        left = edges[k];
    }
}

int ReadExtraction(const std::string& cmd, const Args& args, const std::string& option, Extraction* how) {
    how->method = args.Value(option, "default");
    if (IsExtraction(how->method)) return -1;
    return UsageError(cmd, "unknown --" + option + " '" + how->method + "' (use default, g, d, cg or q)");
}

int CardOption(const std::string& cmd, const Args& args, bool needed, bool usable, csColorSystem& card) {
    if (!args.Has("card")) return needed ? UsageError(cmd, "the cg extraction needs a colour card (--card FILE)") : -1;
    if (!usable) return UsageError(cmd, "--card is used only by the cg extraction");
    std::string error;
    return LoadCard(args.Value("card"), card, &error) ? -1 : Failure(cmd, error);
}

namespace {

constexpr int kMargin = 12, kLabelWidth = 132, kBarHeight = 28, kBarGap = 8, kFontScale = 2;
constexpr int kMaxPictureWidth = 800, kMaxPictureHeight = 560;

void DrawLabel(ipDibStuff& v, int x, int y, const std::string& text) {
    DrawText(v, x, y, text, kFontScale, {40, 40, 40, 0});
}

}  // namespace

bool DrawExtractions(void* image, void* dib8, csColorSystem* card, const std::string& path, std::string* error) {
    hvio::OwnedDib rgb(hvio::ToRgb24(image, error));
    if (!rgb.get()) return false;
    ipDibStuff src(rgb.get(), false);
    const int w = src.width(), h = src.height();
    const int factor = std::max({1, (w + kMaxPictureWidth - 1) / kMaxPictureWidth,
                                 (h + kMaxPictureHeight - 1) / kMaxPictureHeight});
    const int pw = (w + factor - 1) / factor, ph = (h + factor - 1) / factor;
    const char* methods[] = {"default", "g", "d", "cg", "q"};
    const int width = kMargin + kLabelWidth + std::max(pw, 240) + kMargin;
    const int height = kMargin + ph + 5 * (kBarGap + kBarHeight) + kMargin;
    void* canvas = MakeEmptyDib(width, height, 24, true);
    if (!canvas) {
        *error = "cannot make the comparison picture";
        return false;
    }
    bool ok = true;
    {
        ipDibStuff dst(canvas, false);
        FillRect(dst, 0, 0, width, height, {255, 255, 255, 0});
        hvio::PlaceShrunk(src, factor, dst, kMargin + kLabelWidth, kMargin);
        DrawLabel(dst, kMargin, kMargin, "IMAGE");
        for (int m = 0; m < 5; ++m) {
            const int y = kMargin + ph + kBarGap + m * (kBarGap + kBarHeight);
            ccColorPocketArray theme(0);
            theme.SetPalDib(dib8, false);
            Extraction how;
            how.method = methods[m];
            how.card = card;
            std::string label = how.method;
            if (Extract(theme, how) == 0) {
                DrawThemeBar(canvas, kMargin + kLabelWidth, y, pw, kBarHeight, theme);
                label += " " + std::to_string(theme.pockets.GetSize());
            } else {
                FillRect(dst, kMargin + kLabelWidth, y, pw, kBarHeight, {200, 200, 200, 0});
                label += " -";
            }
            DrawLabel(dst, kMargin, y + (kBarHeight - 7 * kFontScale) / 2, label);
        }
    }
    ok = hvio::WriteImage(canvas, path, error);
    hv::FreeHandle(canvas);
    return ok;
}

}  // namespace hvcli

namespace {

const char kHelp[] =
    "Usage: huevane theme IMAGE [-o FILE.ccs] [--json] [--max-pixels N]\n"
    "                     [--extract METHOD] [--card FILE] [--compare OUT.png]\n"
    "Extracts the colour theme of an image (its pockets: clusters of its\n"
    "palette colours) and prints one line per pocket, largest first: position,\n"
    "colour, share of the image, number of palette colours and of pixels.\n"
    "\n"
    "  IMAGE              a BMP, PNG or JPEG file, or a .ccs theme file to print\n"
    "  -o, --output FILE  also save the theme as a theme file (.ccs), usable\n"
    "                     as the style of 'huevane restyle'\n"
    "  --json             print the pockets as JSON instead of a table\n"
    "  --max-pixels N     refuse images of more than N pixels (default 178000000)\n"
    "  --extract METHOD   how the pockets are formed (default: default):\n"
    "                       default  palette colours grouped by hue, then each\n"
    "                                joins the nearest group colour\n"
    "                       g        grown from the most frequent colours (at\n"
    "                                most 16, none under 2%)\n"
    "                       d        touching colours of similar hue merged,\n"
    "                                closest first, down to 6\n"
    "                       cg       as d by RGB distance, never merging colours\n"
    "                                of different groups of the --card\n"
    "                       q        an octree quantizer: at most 10 colours\n"
    "  --card FILE        the colour card for cg ('Name: RGB(r, g, b)' lines;\n"
    "                     its groups are read from FILE.grp)\n"
    "  --compare OUT      also draw the image with the colour bar of each of\n"
    "                     the five methods under it, labelled with the method\n"
    "                     and its number of colours (cg uses --card, or a card\n"
    "                     without groups)\n"
    "  -h, --help         show this help\n";

}  // namespace

int CmdTheme(int argc, char** argv) {
    const char* cmd = "theme";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd,
                                   {{"output", 'o', true},
                                    {"json", 0, false},
                                    {"max-pixels", 0, true},
                                    {"extract", 0, true},
                                    {"card", 0, true},
                                    {"compare", 0, true}},
                                   kHelp, 1, "missing image");
    if (early >= 0) return early;
    std::string error;
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    const std::string input = args.positional()[0];
    const std::string output = args.Value("output"), compare = args.Value("compare");
    if (args.Has("output") && !hvcli::IsThemeFile(output))
        return hvcli::UsageError(cmd, "the theme file '" + output + "' must end in .ccs");
    hvcli::Extraction how;
    csColorSystem card;
    int bad = hvcli::ReadExtraction(cmd, args, "extract", &how);
    if (bad < 0)
        bad = hvcli::CardOption(cmd, args, how.method == "cg", how.method == "cg" || args.Has("compare"), card);
    if (bad >= 0) return bad;
    if (args.Has("card")) how.card = &card;
    if (args.Has("compare") && !hvio::IsWritableFormat(compare))
        return hvcli::UsageError(cmd, "cannot tell the format of '" + compare + "' (use .bmp, .png, .jpg or .jpeg)");
    if (hvcli::IsThemeFile(input) && (args.Has("extract") || args.Has("compare")))
        return hvcli::UsageError(cmd, "--extract and --compare need an image, not a theme file");

    ccColorPocketArray theme(0);
    hvio::OwnedDib image;
    if (!hvcli::ReadTheme(input, theme, &image, &error, maxPixels, &how)) return hvcli::Failure(cmd, error);
    if (!compare.empty()) {
        if (!hvcli::DrawExtractions(image.get(), theme.palDib, how.card, compare, &error))
            return hvcli::Failure(cmd, error);
    }
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
                        k ? "," : "", k, hvcli::Hex(p->aveRGB).c_str(), share(p) / 100.0, p->items.GetSize(), p->pixelNum);
        }
        std::printf("%s]}\n", n ? "\n" : "");
    } else {
        std::printf("%s: %d pockets\n", input.c_str(), n);
        std::printf("  %3s  %-7s  %6s  %5s  %9s\n", "#", "colour", "share", "items", "pixels");
        for (int k = 0; k < n; ++k) {
            ccColorPocket* p = theme.pockets[k];
            std::printf("  %3d  %-7s  %5.1f%%  %5d  %9d\n", k, hvcli::Hex(p->aveRGB).c_str(), share(p), p->items.GetSize(),
                        p->pixelNum);
        }
        if (!output.empty()) std::printf("theme saved to %s\n", output.c_str());
        if (!compare.empty()) std::printf("five extractions drawn in %s\n", compare.c_str());
    }
    return hvcli::kExitOk;
}
