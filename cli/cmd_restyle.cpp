// huevane restyle: re-colours an image in the style of another image or of
// a theme file, optionally keeping polygonal regions in their first colours,
// and can draw target, style and result side by side with their themes.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "args.h"
#include "batch.h"
#include "regionsfile.h"
#include "commands.h"
#include "dib/dib.h"
#include "drawing.h"
#include "edit_tools.h"
#include "huevane/huevane.h"
#include "library_tools.h"
#include "platform/memory.h"
#include "theme_tools.h"
#include "transfer/regionfill.h"
#include "transfer/transfer.h"

namespace {

const char kHelp[] =
    "Usage: huevane restyle TARGET STYLE -o OUT [--method N] [--keep REGIONS.txt]\n"
    "                       [--compose FILE] [--max-pixels N] [--png-level N]\n"
    "                       [--target-theme FILE] [--extract METHOD]\n"
    "                       [--style-extract METHOD] [--card FILE]\n"
    "       huevane restyle TARGET --style-library FILE --theme NAME_OR_INDEX -o OUT\n"
    "Re-colours TARGET in the colours of STYLE: the theme of each is extracted,\n"
    "every colour pocket of the target is paired with a pocket of the style,\n"
    "and the target's pixels take the hue and relative saturation of their\n"
    "pocket's partner while keeping their lightness.\n"
    "\n"
    "  TARGET               a BMP, PNG or JPEG image\n"
    "  STYLE                an image, or a .ccs theme file (see 'huevane theme')\n"
    "  --style-library FILE in place of STYLE: a theme of a script or theme list\n"
    "  --theme NAME_OR_INDEX  file, by name or position (see 'huevane library')\n"
    "  -o, --output OUT     the re-coloured image (.png, .bmp, .jpg or .jpeg)\n"
    "  --method N           how pockets are paired (default 2):\n"
    "                         1 by size\n"
    "                         2 by size, then refined by hue\n"
    "                         3 by lightness\n"
    "                         4 keeping the colour differences of touching\n"
    "                           regions (themes of at most 16 colours)\n"
    "                         5 along chains of touching colours (STYLE must\n"
    "                           be an image; at most 16 colours each)\n"
    "  --keep REGIONS.txt   keep polygonal regions in their first colours: one\n"
    "                       polygon per line as 'x,y x,y x,y ...' in pixels\n"
    "                       from the top-left corner; blank lines and lines\n"
    "                       starting with # are ignored\n"
    "  --compose FILE       also write a picture of target, style and result\n"
    "                       side by side, each with its theme as a colour bar\n"
    "  --max-pixels N       refuse images of more than N pixels (default 178000000)\n"
    "  --png-level N        zlib level of PNG files, 0 to 9 (default 1: fast;\n"
    "                       9 writes the smallest files, several times slower)\n"
    "  --target-theme FILE  take TARGET's theme from a theme file written for it\n"
    "                       by 'huevane edit' instead of extracting it; its\n"
    "                       background pocket keeps its colours\n"
    "  --extract METHOD     how the target's theme is extracted: default, g, d,\n"
    "                       cg or q (see 'huevane theme --help')\n"
    "  --style-extract METHOD  the same for a STYLE image\n"
    "  --card FILE          the colour card of the cg extraction\n"
    "  -h, --help           show this help\n";

// ---- the side-by-side picture ----

constexpr int kPanelHeight = 320, kPanelMaxWidth = 640, kMargin = 16, kBarGap = 8, kBarHeight = 28;

struct Panel {
    void* image = nullptr;  // 24-bit, or null for a theme without image
    ccColorPocketArray* theme = nullptr;
    int width = 0, height = 0;  // of the scaled picture
};

void Fit(Panel& p) {
    if (!p.image) {
        p.width = p.height = kPanelHeight;
        return;
    }
    ipDibStuff v(p.image, false);
    const int64_t w = v.width(), h = v.height();
    p.height = kPanelHeight;
    p.width = static_cast<int>(std::max<int64_t>(1, w * kPanelHeight / std::max<int64_t>(h, 1)));
    if (p.width > kPanelMaxWidth) {
        p.width = kPanelMaxWidth;
        p.height = static_cast<int>(std::max<int64_t>(1, h * kPanelMaxWidth / std::max<int64_t>(w, 1)));
    }
}

// Draws src scaled to w x h at (x0, y0) from the top left, each output
// pixel the mean of the source pixels under it.
void DrawScaled(ipDibStuff& dst, int x0, int y0, int w, int h, void* src24) {
    ipDibStuff src(src24, false);
    if (!src.is24()) return;
    const int64_t sw = src.width(), sh = src.height();
    std::vector<int> xa(static_cast<size_t>(w) + 1);
    for (int x = 0; x <= w; ++x) xa[x] = static_cast<int>(x * sw / w);
    for (int y = 0; y < h; ++y) {
        const int ty = y0 + y;
        if (ty < 0 || ty >= dst.height()) continue;
        // Source rows from the top: [ya, yb), at least one.
        const int64_t ya = y * sh / h, yb = std::max(ya + 1, (y + 1) * sh / h);
        BYTE* out = dst.rows[static_cast<size_t>(dst.height() - 1 - ty)];
        for (int x = 0; x < w; ++x) {
            const int tx = x0 + x;
            if (tx < 0 || tx >= dst.width()) continue;
            const int64_t xb = std::max<int64_t>(xa[x] + 1, xa[x + 1]);
            uint64_t sum[3] = {0, 0, 0}, n = 0;
            for (int64_t sy = ya; sy < yb; ++sy) {
                const BYTE* in = src.rows[static_cast<size_t>(sh - 1 - sy)];
                for (int64_t sx = xa[x]; sx < xb; ++sx, ++n)
                    for (int c = 0; c < 3; ++c) sum[c] += in[3 * sx + c];
            }
            for (int c = 0; c < 3; ++c) out[3 * tx + c] = static_cast<BYTE>((sum[c] + n / 2) / n);
        }
    }
}

// A new 24-bit picture of the panels in a row, their themes under them.
void* Compose(std::vector<Panel>& panels) {
    int width = kMargin, height = 0;
    for (Panel& p : panels) {
        Fit(p);
        width += p.width + kMargin;
        height = std::max(height, p.height);
    }
    const int total = kMargin + height + kBarGap + kBarHeight + kMargin;
    void* canvas = MakeEmptyDib(width, total, 24, true);
    if (!canvas) return nullptr;
    {
        ipDibStuff dst(canvas, false);
        hvcli::FillRect(dst, 0, 0, width, total, {255, 255, 255, 0});
        int x = kMargin;
        for (Panel& p : panels) {
            const int top = kMargin + (height - p.height) / 2;
            if (p.image)
                DrawScaled(dst, x, top, p.width, p.height, p.image);
            else
                hvcli::FillRect(dst, x, top, p.width, p.height, {236, 236, 236, 0});
            if (p.theme) hvcli::DrawThemeBar(canvas, x, kMargin + height + kBarGap, p.width, kBarHeight, *p.theme);
            x += p.width + kMargin;
        }
    }
    return canvas;
}

// The theme of an image as the style functions would extract it, or by
// the extraction `how` names.
bool ThemeOfImage(void* image, ccColorPocketArray& theme, const hvcli::Extraction& how = {}) {
    ipDibStuff v(image, false);
    if (v.is24()) {
        void* dib8 = DecreaseBpp24to8(image);
        if (!dib8) return false;
        theme.SetPalDib(dib8, true);
    } else {
        theme.SetPalDib(image, false);
    }
    return hvcli::Extract(theme, how) == 0;
}

}  // namespace

// One target image into one result; run directly or as one image of a batch.
static int RestyleOne(int argc, char** argv) {
    const char* cmd = "restyle";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd,
                                   {{"output", 'o', true}, {"method", 0, true}, {"keep", 0, true}, {"compose", 0, true},
                                    {"max-pixels", 0, true}, {"style-library", 0, true}, {"theme", 0, true},
                                    {"png-level", 0, true}, {"target-theme", 0, true}, {"extract", 0, true},
                                    {"style-extract", 0, true}, {"card", 0, true}},
                                   kHelp, hvcli::MentionsOption(argc, argv, "style-library") ? 1 : 2,
                                   "needs a target image and a style");
    if (early >= 0) return early;
    hvcli::Extraction targetHow, styleHow;
    csColorSystem card;
    int bad = hvcli::ReadExtraction(cmd, args, "extract", &targetHow);
    if (bad < 0) bad = hvcli::ReadExtraction(cmd, args, "style-extract", &styleHow);
    const bool cg = targetHow.method == "cg" || styleHow.method == "cg";
    if (bad < 0) bad = hvcli::CardOption(cmd, args, cg, cg, card);
    if (bad >= 0) return bad;
    targetHow.card = styleHow.card = &card;
    std::string error;
    if (!args.Has("output")) return hvcli::UsageError(cmd, "missing output file (-o OUT)");
    int method = 2;
    if (!args.IntValue("method", 1, 5, 2, &method, &error)) return hvcli::UsageError(cmd, error);
    int pngLevel = hvio::kDefaultPngLevel;
    if (!args.IntValue("png-level", 0, 9, pngLevel, &pngLevel, &error)) return hvcli::UsageError(cmd, error);
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    const bool fromLibrary = args.Has("style-library");
    if (fromLibrary != args.Has("theme")) return hvcli::UsageError(cmd, "--style-library and --theme go together");
    const std::string targetPath = args.positional()[0];
    const std::string stylePath = fromLibrary ? args.Value("style-library") : args.positional()[1];
    const std::string output = args.Value("output"), compose = args.Value("compose");
    for (const std::string& path : {output, compose})
        if (!path.empty() && !hvio::IsWritableFormat(path))
            return hvcli::UsageError(cmd, "cannot tell the format of '" + path + "' (use .bmp, .png, .jpg or .jpeg)");
    if (args.Has("compose") && compose.empty()) return hvcli::UsageError(cmd, "empty --compose file");
    if (args.Has("keep") && args.Value("keep").empty()) return hvcli::UsageError(cmd, "empty --keep file");

    std::vector<hvcli::Polygon> polygons;
    if (args.Has("keep") && !hvcli::ReadRegions(args.Value("keep"), &polygons, &error))
        return hvcli::Failure(cmd, error);

    hvio::OwnedDib image(hvcli::ReadWorkImage(targetPath, &error, maxPixels));
    if (!image.get()) return hvcli::Failure(cmd, error);
    ccColorPocketArray style(0);
    hvio::OwnedDib styleImage;
    if (fromLibrary ? !hvcli::ReadLibraryTheme(stylePath, args.Value("theme"), style, &styleImage, &error)
                    : !hvcli::ReadTheme(stylePath, style, &styleImage, &error, maxPixels, &styleHow))
        return hvcli::Failure(cmd, error);
    if (style.pockets.GetSize() == 0) return hvcli::Failure(cmd, stylePath + ": the style has no colours");

    int width = 0, height = 0, bits = 0;
    {
        ipDibStuff v(image.get(), false);
        width = v.width();
        height = v.height();
        bits = v.bitCount();
    }
    hvcli::LibraryDib first(nullptr);  // the first colours, for regions and the picture
    if (!polygons.empty() || !compose.empty()) {
        ipDibStuff v(image.get(), false);
        first.dib = v.CopyToHandle();
        if (!first.dib) return hvcli::Failure(cmd, "out of memory");
    }

    // The target's theme, paired and transferred as the style functions do,
    // with the chosen method.
    ccColorPocketArray target(0);
    if (bits == 24) target.SetTrueDib(image.get());
    if (args.Has("target-theme")) {
        if (!hvcli::LoadEditedTheme(args.Value("target-theme"), image.get(), target, &error))
            return hvcli::Failure(cmd, error);
    } else if (!ThemeOfImage(image.get(), target, targetHow)) {
        return hvcli::Failure(cmd, targetPath + ": cannot extract its theme");
    }
    if (target.pockets.GetSize() == 0) return hvcli::Failure(cmd, targetPath + ": the image has no colours");
    int paired = 0;
    try {
        paired = target.GetDstPockets(&style, true, method);
    } catch (const std::out_of_range&) {
        paired = -3;
    }
    if (paired == -1 && method == 5)
        return hvcli::Failure(cmd, "method 5 needs a style image (a theme file carries no picture)");
    if (paired == -2)
        return hvcli::Failure(cmd, "method " + std::to_string(method) + " works on themes of at most 16 colours (" +
                                       std::to_string(target.pockets.GetSize()) + " and " +
                                       std::to_string(style.pockets.GetSize()) + " here); try --method 2");
    if (paired < 0) return hvcli::Failure(cmd, "the themes could not be paired");
    if (bits == 24) {
        // The theme is used once: the pass re-colours the image in place, or
        // reads the copy of the first colours when one was made above.
        if (first.dib) target.SetTrueDibCopy(first.dib);
        if (hv::TrueDibPassOnce(target) != 0) return hvcli::Failure(cmd, "the re-colouring failed");
    } else {
        target.ApplyFinalTransToPalDib(false);
    }

    if (!polygons.empty()) {
        std::vector<RegionPolygon> regions;
        for (hvcli::Polygon& p : polygons)
            regions.push_back(RegionPolygon{static_cast<int32_t>(p.xs.size()), p.xs.data(), p.ys.data()});
        hv::RegionFill fill;
        if (!fill.Build(regions.data(), static_cast<int>(regions.size())))
            return hvcli::Failure(cmd, "bad regions");
        ipDibStuff dst(image.get(), true), src(first.dib, false);
        fill.Restore(dst, src);
    }
    if (!hvio::WriteImage(image.get(), output, &error, pngLevel)) return hvcli::Failure(cmd, error);

    if (!compose.empty()) {
        // Every panel in 24 bits.
        hvio::OwnedDib before(hvio::ToRgb24(first.dib, &error));
        hvio::OwnedDib after(hvio::ToRgb24(image.get(), &error));
        hvio::OwnedDib styleRgb(styleImage.get() ? hvio::ToRgb24(styleImage.get(), &error) : nullptr);
        if (!before.get() || !after.get() || (styleImage.get() && !styleRgb.get()))
            return hvcli::Failure(cmd, "cannot compose the picture: " + error);
        // The target's pockets keep their first colours; the result's theme
        // is extracted afresh.
        ccColorPocketArray resultTheme(0);
        if (!ThemeOfImage(after.get(), resultTheme, targetHow))
            return hvcli::Failure(cmd, "cannot compose the picture: theme extraction failed");
        std::vector<Panel> panels(3);
        panels[0].image = before.get();
        panels[0].theme = &target;
        panels[1].image = styleRgb.get();
        panels[1].theme = &style;
        panels[2].image = after.get();
        panels[2].theme = &resultTheme;
        hvcli::LibraryDib picture(Compose(panels));
        if (!picture.dib) return hvcli::Failure(cmd, "cannot compose the picture: out of memory");
        if (!hvio::WriteImage(picture.dib, compose, &error, pngLevel)) return hvcli::Failure(cmd, error);
    }

    if (args.Has("json")) {
        hvcli::Print("{\"input\": %s, \"output\": %s, \"width\": %d, \"height\": %d, \"colours\": %d, "
                     "\"style\": %s, \"style_colours\": %d, \"method\": %d, \"regions_kept\": %zu, \"compose\": %s}\n",
                     hvcli::JsonString(targetPath).c_str(), hvcli::JsonString(output).c_str(), width, height,
                     target.pockets.GetSize(), hvcli::JsonString(stylePath).c_str(), style.pockets.GetSize(), method,
                     polygons.size(), compose.empty() ? "null" : hvcli::JsonString(compose).c_str());
        return hvcli::kExitOk;
    }
    hvcli::Print("%s: %d x %d, %d colours; style %s: %d colours; method %d%s -> %s\n", targetPath.c_str(), width,
                 height, target.pockets.GetSize(), stylePath.c_str(), style.pockets.GetSize(), method,
                 polygons.empty() ? "" : (", " + std::to_string(polygons.size()) + " regions kept").c_str(),
                 output.c_str());
    if (!compose.empty()) hvcli::Print("side by side: %s\n", compose.c_str());
    return hvcli::kExitOk;
}

namespace {

const char kBatchHelp[] =
    "\n"
    "Several images:\n"
    "  huevane restyle TARGET... STYLE -o OUTDIR [-j N] [--quiet] [--json] [options]\n"
    "Each TARGET is an image or a folder, searched through its subfolders for\n"
    "images (recognised by their content, whatever their names). Each result\n"
    "goes to OUTDIR (created if missing) under the target's name, in its format,\n"
    "keeping the subfolders of a folder target. The style is read for every\n"
    "image; --compose takes a single target.\n"
    "  -j, --jobs N         images re-coloured at once (default: the number of\n"
    "                       cores); the results are the same whatever N is\n"
    "  --quiet              no progress bar (it is drawn only on a terminal)\n"
    "  --json               print the results as JSON (one object per image)\n"
    "A file that cannot be read or re-coloured is reported and the others go\n"
    "on; the exit status is then 1.\n";

}  // namespace

int CmdRestyle(int argc, char** argv) {
    const hvcli::BatchSpec spec = {"restyle", "restyled", kBatchHelp, {"compose"}, "", ""};
    return hvcli::RunCommandBatch(argc, argv, spec, RestyleOne);
}
