// huevane edit: reshapes the colour theme of an image by a script of edits
// (select, stroke, merge, delete, new pocket, detach, cut, background,
// highlight), saves the edited theme and can draw what the edits did.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "dib/dib.h"
#include "drawing.h"
#include "edit_tools.h"
#include "editscript.h"
#include "platform/memory.h"
#include "theme_tools.h"

namespace {

const char kHelp[] =
    "Usage: huevane edit IMAGE EDITS.txt -o THEME.ccs [--show OUT.png] [--max-pixels N]\n"
    "Extracts the colour theme of IMAGE, applies the edits of EDITS.txt to it,\n"
    "one per line, and saves the edited theme, which 'huevane restyle\n"
    "--target-theme' takes as the theme of IMAGE.\n"
    "\n"
    "  IMAGE              a BMP, PNG or JPEG image\n"
    "  EDITS.txt          the edits, one per line ('#' starts a comment):\n"
    "    select N [N ...] | select all | select none\n"
    "                     add pockets to the selection (positions from 0, as\n"
    "                     'huevane theme' lists them, or 'last', where new\n"
    "                     pockets go) or clear it\n"
    "    stroke W X,Y X,Y ...\n"
    "                     the stroke the next edits use: pen width W through\n"
    "                     the points (pixels from the top-left corner)\n"
    "    grow             the selected pocket takes the stroke's free colours\n"
    "    new pocket       a new pocket of the colours under the stroke\n"
    "    detach           the selected pockets' colours under the stroke\n"
    "                     move to a new pocket\n"
    "    merge on stroke  the pocket under the stroke's first point takes the\n"
    "                     colours under the rest of it\n"
    "    merge selected   the selected pockets become one\n"
    "    delete selected  the selected pockets are deleted\n"
    "    cut X,Y X,Y ...  the colours before the strongest change in\n"
    "                     brightness along the points become one pocket\n"
    "    background X,Y X,Y | background stroke\n"
    "                     the colours of the rectangle between two corners\n"
    "                     (or around the stroke) become the background pocket\n"
    "    highlight N | highlight selected | unhighlight\n"
    "                     show pocket N and the selected pockets in colour,\n"
    "                     the rest in grey, in the --show picture (until the\n"
    "                     next edit line; without one the picture shows the\n"
    "                     selected pockets)\n"
    "  -o, --output FILE  the edited theme (.ccs)\n"
    "  --show OUT         also write a picture: the image, its pixels of the\n"
    "                     highlighted (or selected) pockets in colour on grey,\n"
    "                     and the edited theme as a colour bar with the selected\n"
    "                     pockets marked under it\n"
    "  --max-pixels N     refuse images of more than N pixels (default 178000000)\n"
    "  -h, --help         show this help\n"
    "A malformed line, or an edit that cannot be done, is reported with its\n"
    "line number and nothing is written.\n";

// ---- the picture ----

constexpr int kMaxSide = 480, kMargin = 16, kBarHeight = 28, kMarkGap = 3, kMarkHeight = 6;

// The image and its highlighted palette image side by side, the theme's bar
// under them and a dark mark under each selected pocket (the bar's segments
// are as wide as the pockets' shares, as DrawThemeBar draws them).
void* Picture(void* image24, void* highlighted24, ccColorPocketArray& theme, std::string* error) {
    hvio::OwnedDib pair(hvio::SideBySide(image24, highlighted24, kMaxSide, error));
    if (!pair.get()) return nullptr;
    ipDibStuff top(pair.get(), false);
    const int w = top.width(), h = top.height();
    void* canvas = MakeEmptyDib(w, h + kBarHeight + kMarkGap + kMarkHeight + kMargin, 24, true);
    if (!canvas) {
        *error = "out of memory";
        return nullptr;
    }
    ipDibStuff v(canvas, false);
    hvcli::FillRect(v, 0, 0, w, v.height(), {255, 255, 255, 0});
    for (int y = 0; y < h; ++y) {
        const BYTE* src = top.rows[static_cast<size_t>(h - 1 - y)];
        std::copy(src, src + 3 * static_cast<size_t>(w), v.rows[static_cast<size_t>(v.height() - 1 - y)]);
    }
    const int barWidth = w - 2 * kMargin;
    hvcli::DrawThemeBar(canvas, kMargin, h, barWidth, kBarHeight, theme);
    const std::vector<int> edges = hvcli::ThemeBarEdges(theme, barWidth);
    int left = 0;
    for (size_t k = 0; k < edges.size(); ++k) {
        if (theme.pockets[static_cast<int>(k)]->selState >= 256)
            hvcli::FillRect(v, kMargin + left, h + kBarHeight + kMarkGap, edges[k] - left, kMarkHeight, {40, 40, 40, 0});
        left = edges[k];
    }
    return canvas;
}

}  // namespace

namespace hvcli {

bool LoadEditedTheme(const std::string& path, void* image, ccColorPocketArray& theme, std::string* error) {
    bool is24 = false;
    {
        ipDibStuff v(image, false);
        is24 = v.is24();
    }
    if (is24) {
        void* dib8 = DecreaseBpp24to8(image);
        if (!dib8) {
            *error = "cannot reduce the image to 256 colours";
            return false;
        }
        theme.SetPalDib(dib8, true);
    } else {
        theme.SetPalDib(image, false);
    }
    const int r = theme.LoadFromFile(path.c_str());
    if (r == -1) {
        *error = "cannot open theme file '" + path + "'";
        return false;
    }
    if (r != 0) {
        *error = "'" + path + "' is not a valid theme file";
        return false;
    }
    ipDibStuff v(theme.palDib, false);
    bool same = v.isPalette8() && theme.paletteSize == 256;
    for (int i = 0; same && i < 256; ++i) {
        const tagRGBQUAD a = v.colors[i], b = theme.palette[i].rgb;
        same = a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed;
    }
    if (!same) {
        *error = "the theme in '" + path + "' was not made from this image (its palette differs)";
        return false;
    }
    return true;
}

}  // namespace hvcli

int CmdEdit(int argc, char** argv) {
    const char* cmd = "edit";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd, {{"output", 'o', true}, {"show", 0, true}, {"max-pixels", 0, true}},
                                   kHelp, 2,
                                   "needs an image and an edit script");
    if (early >= 0) return early;
    const std::string imagePath = args.positional()[0], scriptPath = args.positional()[1];
    const std::string output = args.Value("output"), show = args.Value("show");
    if (!args.Has("output")) return hvcli::UsageError(cmd, "missing output file (-o THEME.ccs)");
    if (!hvcli::IsThemeFile(output)) return hvcli::UsageError(cmd, "the theme file '" + output + "' must end in .ccs");
    if (args.Has("show") && !hvio::IsWritableFormat(show))
        return hvcli::UsageError(cmd, "cannot tell the format of '" + show + "' (use .bmp, .png, .jpg or .jpeg)");
    if (hvcli::IsThemeFile(imagePath)) return hvcli::UsageError(cmd, "IMAGE must be a picture, not a theme file");

    std::string error;
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    std::vector<hvcli::Edit> edits;
    if (!hvcli::ReadEdits(scriptPath, &edits, &error)) return hvcli::Failure(cmd, error);

    ccColorPocketArray theme(0);
    hvio::OwnedDib image;
    if (!hvcli::ReadTheme(imagePath, theme, &image, &error, maxPixels)) return hvcli::Failure(cmd, error);
    int height = 0, width = 0;
    {
        ipDibStuff v(theme.palDib, false);
        height = v.height();
        width = v.width();
    }
    std::printf("%s: %d x %d, %d pockets\n", imagePath.c_str(), width, height, theme.pockets.GetSize());

    hvcli::Editor editor(theme, height);
    for (const hvcli::Edit& e : edits) {
        std::string why;
        if (!editor.Apply(e, &why))
            return hvcli::Failure(cmd, scriptPath + ":" + std::to_string(e.line) + ": " + e.text + ": " + why);
        std::printf("  line %-3ld %-32s -> %d pockets, %d selected\n", e.line,
                    (e.text.size() > 32 ? e.text.substr(0, 29) + "..." : e.text).c_str(),
                    theme.pockets.GetSize(), [&] {
                        int n = 0;
                        for (ccColorPocket* p : theme.pockets) n += p->selState >= 256;
                        return n;
                    }());
    }

    if (!show.empty()) {
        // The image first: an 8-bit image is itself the palette image.
        const bool wasHighlighted = theme.highlighted;
        if (wasHighlighted) theme.UnhighlightColors();
        hvio::OwnedDib rgb(hvio::ToRgb24(image.get(), &error));
        if (wasHighlighted)
            editor.Rehighlight();
        else
            theme.HighlightColors(nullptr, true);
        hvio::OwnedDib marked(hvio::ToRgb24(theme.palDib, &error));
        theme.UnhighlightColors();
        if (!rgb.get() || !marked.get()) return hvcli::Failure(cmd, "cannot draw the picture: " + error);
        hvcli::LibraryDib picture(Picture(rgb.get(), marked.get(), theme, &error));
        if (!picture.dib) return hvcli::Failure(cmd, "cannot draw the picture: " + error);
        if (!hvio::WriteImage(picture.dib, show, &error)) return hvcli::Failure(cmd, error);
    }
    theme.UnhighlightColors();
    if (theme.SaveToFile(output.c_str()) != 0) return hvcli::Failure(cmd, "cannot write '" + output + "'");

    int64_t total = 0;
    for (ccColorPocket* p : theme.pockets) total += std::max(p->pixelNum, 0);
    std::printf("edited theme: %d pockets\n", theme.pockets.GetSize());
    std::printf("  %3s  %-7s  %6s  %5s  %s\n", "#", "colour", "share", "items", "marks");
    for (int k = 0; k < theme.pockets.GetSize(); ++k) {
        ccColorPocket* p = theme.pockets[k];
        std::string marks;
        if (p->selState >= 256) marks += " selected";
        if (p->flags & 1) marks += " background";
        std::printf("  %3d  %-7s  %5.1f%%  %5d %s\n", k, hvcli::Hex(p->aveRGB).c_str(),
                    total > 0 ? 100.0 * std::max(p->pixelNum, 0) / total : 0.0, p->items.GetSize(), marks.c_str());
    }
    std::printf("theme saved to %s\n", output.c_str());
    if (!show.empty()) std::printf("picture: %s\n", show.c_str());
    return hvcli::kExitOk;
}
