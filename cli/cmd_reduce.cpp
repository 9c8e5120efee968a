// huevane reduce: 24-bit to 256 colours, with the PSNR and the time taken.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "args.h"
#include "commands.h"
#include "dib/dib.h"
#include "imageio.h"
#include "platform/memory.h"
#include "theme_tools.h"

namespace {

const char kHelp[] =
    "Usage: huevane reduce IMAGE -o OUT [--side-by-side FILE] [--max-pixels N]\n"
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
    "  -h, --help           show this help\n";

constexpr int kSideBySideMax = 1024;

// Releases a handle made by the library at the end of a scope.
struct LibraryDib {
    explicit LibraryDib(void* d) : dib(d) {}
    ~LibraryDib() { hv::FreeHandle(dib); }
    LibraryDib(const LibraryDib&) = delete;
    LibraryDib& operator=(const LibraryDib&) = delete;
    void* dib;
};

int CountUsedColours(void* dib8) {
    ipDibStuff view(dib8, false);
    int histo[256];
    if (view.StatHisto(histo) != 0) return 0;
    int used = 0;
    for (int n : histo) used += n > 0;
    return used;
}

}  // namespace

int CmdReduce(int argc, char** argv) {
    const char* cmd = "reduce";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd, {{"output", 'o', true}, {"side-by-side", 0, true}, {"max-pixels", 0, true}},
                                   kHelp, 1, "missing input image");
    if (early >= 0) return early;
    std::string error;
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    if (!args.Has("output")) return hvcli::UsageError(cmd, "missing output file (-o OUT)");
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
    {
        ipDibStuff view(original.get(), false);
        if (!view.is24()) note = " (expanded from " + std::to_string(view.bitCount()) + " bits)";
    }
    if (!note.empty()) {
        void* expanded = hvio::ToRgb24(original.get(), &error);
        if (!expanded) return hvcli::Failure(cmd, input + ": " + error);
        original.reset(expanded);
    }

    const auto start = std::chrono::steady_clock::now();
    LibraryDib reduced(DecreaseBpp24to8(original.get()));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!reduced.dib) return hvcli::Failure(cmd, input + ": the reduction failed");

    if (!hvio::WriteImage(reduced.dib, output, &error)) return hvcli::Failure(cmd, error);
    if (!sideBySide.empty()) {
        hvio::OwnedDib pair(hvio::SideBySide(original.get(), reduced.dib, kSideBySideMax, &error));
        if (!pair.get() || !hvio::WriteImage(pair.get(), sideBySide, &error)) return hvcli::Failure(cmd, error);
    }

    ipDibStuff view(original.get(), false);
    const double psnr = hvio::Psnr(original.get(), reduced.dib);
    char psnrText[32];
    if (std::isinf(psnr))
        std::snprintf(psnrText, sizeof psnrText, "inf");
    else
        std::snprintf(psnrText, sizeof psnrText, "%.2f", psnr);
    std::printf("%s: %d x %d%s, %d colours, PSNR %s dB, %.1f ms -> %s\n", input.c_str(), view.width(),
                view.height(), note.c_str(), CountUsedColours(reduced.dib), psnrText, ms, output.c_str());
    return hvcli::kExitOk;
}
