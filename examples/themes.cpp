// themes: the theme classes from C++. Extracts the colour theme of a bitmap,
// orders it by hue, saves it as a ".ccs" theme file, loads that file into a
// second theme and prints its pockets.
//
//   themes IMAGE.bmp OUT.ccs
#include <cstdio>

#include <huevane/huevane.h>
#include <huevane/theme.h>

namespace {

// Releases a DIB handle of ours at the end of a scope.
struct Dib {
    explicit Dib(void* h) : handle(h) {}
    ~Dib() {
        if (handle) GlobalFree(handle);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    void* handle;
};

// One line per pocket: mean colour, hue (0..255), pixels and their share.
void PrintPockets(const char* title, ccColorPocketArray& theme) {
    long long total = 0;
    for (ccColorPocket* p : theme.pockets) total += p->pixelNum;
    std::printf("%s: %d pockets\n", title, theme.pockets.GetSize());
    for (ccColorPocket* p : theme.pockets)
        std::printf("  #%02x%02x%02x hue %3d %8d pixels %5.1f%%\n", p->aveRGB.rgbRed, p->aveRGB.rgbGreen,
                    p->aveRGB.rgbBlue, HslHue(p->aveHSL), p->pixelNum, total > 0 ? 100.0 * p->pixelNum / total : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: themes IMAGE.bmp OUT.ccs\n");
        return 2;
    }
    Dib image(reinterpret_cast<void*>(LoadDIB(argv[1])));
    if (!image.handle) {
        std::fprintf(stderr, "themes: cannot read '%s'\n", argv[1]);
        return 1;
    }

    // The theme lends the image: a 24-bit one becomes its true DIB, from
    // which extraction derives (and owns) the 8-bit form; an 8-bit one is
    // its palette DIB directly.
    ccColorPocketArray theme;
    const BITMAPINFOHEADER* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(image.handle));
    const int bits = header->biBitCount;
    GlobalUnlock(image.handle);
    if (bits == 24)
        theme.SetTrueDib(image.handle);
    else
        theme.SetPalDib(image.handle, false);
    if (theme.GetColorPockets() != 0) {
        std::fprintf(stderr, "themes: '%s' is neither an 8-bit image with 256 colours nor a 24-bit one\n", argv[1]);
        return 1;
    }
    theme.SortOnHue();  // -10 (nothing done) for a theme of one pocket
    PrintPockets("extracted", theme);
    if (theme.SaveToFile(argv[2]) != 0) {
        std::fprintf(stderr, "themes: cannot write '%s'\n", argv[2]);
        return 1;
    }

    ccColorPocketArray loaded;
    if (loaded.LoadFromFile(argv[2]) != 0) {
        std::fprintf(stderr, "themes: cannot read back '%s'\n", argv[2]);
        return 1;
    }
    PrintPockets(argv[2], loaded);
    return 0;
}
