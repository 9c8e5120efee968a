// Image files for the command-line tool and the benchmarks: BMP through the
// library's bitmap functions, PNG over libpng, JPEG over libjpeg. Images are
// DIB handles made with GlobalAlloc (40-byte header, colour table, bottom-up
// rows padded to 4 bytes); the caller releases each handle it receives with
// GlobalFree.
#pragma once

#include <string>

#include "huevane/platform.h"

class ipDibStuff;

namespace hvio {

// Owns a handle made with GlobalAlloc (as every function here hands out)
// and frees it with GlobalFree at the end of its scope unless released.
class OwnedDib {
public:
    explicit OwnedDib(void* dib = nullptr) : dib_(dib) {}
    ~OwnedDib() {
        if (dib_) GlobalFree(dib_);
    }
    OwnedDib(const OwnedDib&) = delete;
    OwnedDib& operator=(const OwnedDib&) = delete;
    void* get() const { return dib_; }
    void reset(void* dib) {
        if (dib_ && dib_ != dib) GlobalFree(dib_);
        dib_ = dib;
    }
    void* release() {
        void* d = dib_;
        dib_ = nullptr;
        return d;
    }

private:
    void* dib_;
};

// The most pixels an image read may have unless the caller says otherwise:
// enough for any camera, small enough that a hostile header cannot make the
// reader take gigabytes.
constexpr long long kDefaultMaxPixels = 178000000;

// Reads an image file, recognised by its content (BMP, PNG or JPEG), into a
// new DIB handle. PNG and JPEG give 24-bit DIBs: grey and palette PNGs are
// expanded to RGB, 16-bit samples reduced to 8, alpha composited over white.
// BMP keeps the depth it was stored with. Images of more than maxPixels
// pixels are refused, as are PNG and JPEG files whose decoding would need
// more memory (the image and the decoder's own buffers together) than a
// 24-bit image of maxPixels pixels, or that claim more pixels than their
// size can plausibly hold. Returns null on failure, with the reason in
// *error (when error is not null). The caller frees the handle.
void* ReadImage(const std::string& path, std::string* error, long long maxPixels = kDefaultMaxPixels);

// Writes a DIB to a file whose format follows the extension: .bmp, .png
// (8-bit DIBs as palette PNG, other depths as RGB) or .jpg/.jpeg (RGB; 8-bit
// DIBs expanded through their palette). Returns false with the reason in
// *error; a partly written file is removed. The handle stays the caller's.
// PNG files are written at zlib level pngLevel (0 to 9; the default is fast
// and writes somewhat larger files than 9).
constexpr int kDefaultPngLevel = 1;
bool WriteImage(void* dib, const std::string& path, std::string* error, int pngLevel = kDefaultPngLevel);

// True when the path's extension names a format WriteImage writes.
bool IsWritableFormat(const std::string& path);

// A new 24-bit DIB with the pixels of any uncompressed DIB (1, 4, 8 bits
// through the colour table, 16 bits as 5-5-5, 24, 32 bits as blue, green,
// red, unused); null with the reason in *error. The caller frees the handle.
void* ToRgb24(void* dib, std::string* error);

// Peak signal-to-noise ratio in dB of b against a over the red, green and
// blue samples (any uncompressed depths, same width and height). Identical
// images give +infinity; images that cannot be compared give -1.
double Psnr(void* a, void* b);

// A new 24-bit DIB showing a and b side by side on white, separated by a
// gap, each scaled down by averaging to at most maxSide pixels wide and high
// (0 keeps full size). Null with the reason in *error. The caller frees it.
void* SideBySide(void* a, void* b, int maxSide, std::string* error);

// Copies the 24-bit view src into the 24-bit view dst with its top-left
// corner at column left, row top (from the top), shrunk by an integer factor
// with a box average over each factor x factor block (partial blocks at the
// edges). The caller makes dst large enough.
void PlaceShrunk(ipDibStuff& src, int factor, ipDibStuff& dst, int left, int top);

}  // namespace hvio
