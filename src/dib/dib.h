// The DIB services: a view over a packed DIB handle and the operations the
// library needs on images. The view is the one place that knows the row
// layout (bottom-up rows, each padded to 4 bytes, 1 or 3 bytes per pixel).
#pragma once

#include <cstdint>
#include <vector>

#include "huevane/platform.h"

namespace hv {

// Bytes of one row of `width` pixels at `bits` per pixel, padded to 4.
inline uint64_t RowBytes(int64_t width, int bits) {
    return static_cast<uint64_t>((width * bits + 31) / 32) * 4;
}

// Largest image the library builds: keeps every byte count far inside 32 bits
// of rows and 64 bits of sizes.
constexpr int64_t kMaxPixels = int64_t(1) << 28;  // 268 megapixels
constexpr int64_t kMaxSide = int64_t(1) << 17;

}  // namespace hv

// Locks a DIB handle for the object's lifetime and exposes its parts. Any
// depth and table size is accepted and reported; a null handle, a header
// that does not fit GlobalSize, a top-down or compressed image gives a view
// without rows (usable() false) that callers refuse.
class ipDibStuff {
public:
    ipDibStuff(void* dib, bool flag);
    ~ipDibStuff();
    ipDibStuff(const ipDibStuff&) = delete;
    ipDibStuff& operator=(const ipDibStuff&) = delete;

    BITMAPINFOHEADER* header = nullptr;  // null when the view is unusable
    tagRGBQUAD* colors = nullptr;        // colour table (writable)
    int numColors = 0;                   // entries in the colour table
    std::vector<BYTE*> rows;             // row 0 is the bottom row

    bool usable() const { return !rows.empty(); }
    int width() const { return header ? header->biWidth : 0; }
    int height() const { return static_cast<int>(rows.size()); }
    int bitCount() const { return header ? header->biBitCount : 0; }
    // An 8-bit image with a 256-entry colour table.
    bool isPalette8() const { return usable() && header->biBitCount == 8 && numColors == 256; }
    bool is24() const { return usable() && header->biBitCount == 24; }

    // Pixels per palette index of an 8-bit image into histo[256]; 0, or -1.
    int StatHisto(int* histo);
    // Adjacency counts of an 8-bit image: the table is cleared, then every
    // horizontally or vertically adjacent pair a, b adds 1 to [a][b] and to
    // [b][a]. 0, or -1.
    int SetNeighbor(int table[][256]);
    // Which different indices of an 8-bit image lie next to each other: the
    // table is cleared, then [a][b] and [b][a] are set to 1 for every
    // horizontally or vertically adjacent pair of different indices a, b.
    // The diagonal stays 0; elsewhere an entry is 1 exactly where
    // SetNeighbor's count is not zero. 0, or -1.
    int MarkNeighbors(BYTE table[][256]);
    // Colour-table index nearest to a blue, green, red pixel by squared RGB
    // distance, the lowest index on ties; -1 without a colour table.
    int GetNearestColor(const unsigned char* bgr);
    // A new handle holding a copy of the DIB (the caller releases it), or null.
    void* CopyToHandle();
    // Copies the pixels of src (same size and depth) into this DIB; 0, or -1.
    int Restore(ipDibStuff& src);

private:
    void* dib_;
    void* locked_ = nullptr;
};

// A new 8-bit DIB with a 256-entry palette approximating a 24-bit DIB,
// mapped without dithering; null on failure. The caller releases it.
void* DecreaseBpp24to8(void* dib24);
// A new 8-bit DIB of the given size, sampled at pixel centres; null on
// failure. The caller releases it.
void* ZoomImage8(void* dib8, int width, int height);
// A new DIB of zero pixels; at 8 bits with a 256-entry grey colour table.
// Null for a bad size or depth. The caller releases it.
void* MakeEmptyDib(int width, int height, int bitCount, bool flag);
