// huevane reduce: 24-bit to 256 colours, with the PSNR and the time taken.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "args.h"
#include "batch.h"
#include "commands.h"
#include "dib/dib.h"
#include "imageio.h"
#include "platform/memory.h"
#include "theme_tools.h"

namespace {

const char kHelp[] =
    "Usage: huevane reduce IMAGE -o OUT [--side-by-side FILE] [--max-pixels N]\n"
    "                      [--png-level N]\n"
    "Reduces a photo to 256 colours without dithering, writes the result and\n"
    "prints its PSNR against the original and the time the reduction took.\n"
    "\n"
    "  IMAGE                a BMP, PNG or JPEG file; images of other depths than\n"
    "                       24 bits are first expanded to 24 bits\n"
    "  -o, --output OUT     the reduced image: .png (palette), .bmp (8-bit) or\n"
    "                       .jpg/.jpeg (24-bit)\n"
    "  --side-by-side FILE  also write the original and the reduced image side\n"
    "                       by side, each at most 1024 pixels wide and high\n"
    "  --max-pixels N       refuse images of more than N pixels (default 178000000)\n"
    "  --png-level N        zlib level of PNG files, 0 to 9 (default 1: fast;\n"
    "                       9 writes the smallest files, several times slower)\n"
    "  -h, --help           show this help\n";

constexpr int kSideBySideMax = 1024;

int CountUsedColours(void* dib8) {
    ipDibStuff view(dib8, false);
    int histo[256];
    if (view.StatHisto(histo) != 0) return 0;
    int used = 0;
    for (int n : histo) used += n > 0;
    return used;
}

}  // namespace

// One photo into one reduced image; run directly or as one image of a batch.
static int ReduceOne(int argc, char** argv) {
    const char* cmd = "reduce";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd,
                                   {{"output", 'o', true}, {"side-by-side", 0, true}, {"max-pixels", 0, true},
                                    {"png-level", 0, true}},
                                   kHelp, 1, "missing input image");
    if (early >= 0) return early;
    std::string error;
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    if (!args.Has("output")) return hvcli::UsageError(cmd, "missing output file (-o OUT)");
    int pngLevel = hvio::kDefaultPngLevel;
    if (!args.IntValue("png-level", 0, 9, pngLevel, &pngLevel, &error)) return hvcli::UsageError(cmd, error);
    const std::string input = args.positional()[0];
    const std::string output = args.Value("output");
    const std::string sideBySide = args.Value("side-by-side");
    for (const std::string& path : {output, sideBySide})
        if (!path.empty() && !hvio::IsWritableFormat(path))
            return hvcli::UsageError(cmd, "cannot tell the format of '" + path + "' (use .bmp, .png, .jpg or .jpeg)");
    if (args.Has("side-by-side") && sideBySide.empty()) return hvcli::UsageError(cmd, "empty --side-by-side file");

    hvio::OwnedDib original(hvio::ReadImage(input, &error, maxPixels));
    if (!original.get()) return hvcli::Failure(cmd, error);
    std::string note;
    int inputBits = 24;
    {
        ipDibStuff view(original.get(), false);
        inputBits = view.bitCount();
        if (!view.is24()) note = " (expanded from " + std::to_string(view.bitCount()) + " bits)";
    }
    if (!note.empty()) {
        void* expanded = hvio::ToRgb24(original.get(), &error);
        if (!expanded) return hvcli::Failure(cmd, input + ": " + error);
        original.reset(expanded);
    }

    const auto start = std::chrono::steady_clock::now();
    hvcli::LibraryDib reduced(DecreaseBpp24to8(original.get()));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!reduced.dib) return hvcli::Failure(cmd, input + ": the reduction failed");

    if (!hvio::WriteImage(reduced.dib, output, &error, pngLevel)) return hvcli::Failure(cmd, error);
    if (!sideBySide.empty()) {
        hvio::OwnedDib pair(hvio::SideBySide(original.get(), reduced.dib, kSideBySideMax, &error));
        if (!pair.get() || !hvio::WriteImage(pair.get(), sideBySide, &error, pngLevel)) return hvcli::Failure(cmd, error);
    }

    ipDibStuff view(original.get(), false);
    const double psnr = hvio::Psnr(original.get(), reduced.dib);
    char psnrText[32];
    if (std::isinf(psnr))
        std::snprintf(psnrText, sizeof psnrText, "inf");
    else
        std::snprintf(psnrText, sizeof psnrText, "%.2f", psnr);
    const int colours = CountUsedColours(reduced.dib);
    if (args.Has("json")) {
        // JSON has no infinity: identical images give a null PSNR.
        hvcli::Print("{\"input\": %s, \"output\": %s, \"width\": %d, \"height\": %d, \"bits\": %d, "
                     "\"colours\": %d, \"psnr\": %s, \"ms\": %.1f}\n",
                     hvcli::JsonString(input).c_str(), hvcli::JsonString(output).c_str(), view.width(), view.height(),
                     inputBits, colours, std::isinf(psnr) ? "null" : psnrText, ms);
        return hvcli::kExitOk;
    }
    hvcli::Print("%s: %d x %d%s, %d colours, PSNR %s dB, %.1f ms -> %s\n", input.c_str(), view.width(),
                 view.height(), note.c_str(), colours, psnrText, ms, output.c_str());
    return hvcli::kExitOk;
}

namespace {

const char kBatchHelp[] =
    "\n"
    "Several images:\n"
    "  huevane reduce IMAGE... -o OUTDIR [-j N] [--quiet] [--json] [options]\n"
    "Each IMAGE is an image or a folder, searched through its subfolders for\n"
    "images (recognised by their content, whatever their names). Each result\n"
    "is written to OUTDIR (created if missing) as a palette PNG under the\n"
    "input's name, keeping the subfolders of a folder; --side-by-side takes a\n"
    "single image.\n"
    "  -j, --jobs N         images reduced at once (default: the number of\n"
    "                       cores); the results are the same whatever N is\n"
    "  --quiet              no progress bar (it is drawn only on a terminal)\n"
    "  --json               print the results as JSON (one object per image)\n"
    "A file that cannot be read or reduced is reported and the others go on;\n"
    "the exit status is then 1.\n";

}  // namespace

int CmdReduce(int argc, char** argv) {
    const hvcli::BatchSpec spec = {"reduce", "reduced", kBatchHelp, {"side-by-side"}, "", ".png"};
    return hvcli::RunCommandBatch(argc, argv, spec, ReduceOne);
}
