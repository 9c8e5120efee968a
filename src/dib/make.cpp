// Building DIBs: empty images and nearest-neighbour zoom.
#include <cstring>
#include <vector>

#include "dib/dib.h"
#include "platform/memory.h"

namespace {
bool SizeOk(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= hv::kMaxSide && h <= hv::kMaxSide && w * h <= hv::kMaxPixels;
}
}  // namespace

void* MakeEmptyDib(int width, int height, int bitCount, bool /*flag*/) {
    if (!SizeOk(width, height)) return nullptr;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return nullptr;
    const int entries = bitCount <= 8 ? 1 << bitCount : 0;
    const uint64_t image = hv::RowBytes(width, bitCount) * static_cast<uint64_t>(height);
    const uint64_t total = sizeof(BITMAPINFOHEADER) + 4u * entries + image;
    void* dib = hv::AllocHandle(static_cast<size_t>(total), true);
    if (!dib) return nullptr;
    hv::HandleLock lock(dib);
    auto* h = static_cast<BITMAPINFOHEADER*>(lock.ptr());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bitCount);
    h->biCompression = BI_RGB;
    h->biSizeImage = static_cast<DWORD>(image);
    h->biClrUsed = static_cast<DWORD>(entries);
    auto* table = reinterpret_cast<tagRGBQUAD*>(h + 1);
    for (int i = 0; i < entries; ++i) {
        const BYTE v = static_cast<BYTE>(entries == 1 ? 0 : i * 255 / (entries - 1));
        table[i] = {v, v, v, 0};
    }
    return dib;
}

void* ZoomImage8(void* dib8, int width, int height) {
    ipDibStuff src(dib8, false);
    if (!src.usable() || src.bitCount() != 8 || !SizeOk(width, height)) return nullptr;
    void* out = MakeEmptyDib(width, height, 8, true);
    if (!out) return nullptr;
    {
        ipDibStuff dst(out, false);
        // Pixels name only the first 256 entries of a longer table.
        const int entries = src.numColors < 256 ? src.numColors : 256;
        std::memcpy(dst.colors, src.colors, sizeof(tagRGBQUAD) * entries);
        // Sample each output pixel at the source pixel under its centre.
        const int64_t sw = src.width(), sh = src.height();
        std::vector<int> column(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x) column[x] = static_cast<int>((2 * x + 1) * sw / (2 * int64_t(width)));
        for (int y = 0; y < height; ++y) {
            const BYTE* in = src.rows[static_cast<size_t>((2 * y + 1) * sh / (2 * int64_t(height)))];
            BYTE* row = dst.rows[y];
            for (int x = 0; x < width; ++x) row[x] = in[column[x]];
        }
    }
    return out;
}
