// Bitmap files: LoadDIB and SaveDIB.
#include <cstring>
#include <vector>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace {

constexpr WORD kBM = 0x4D42;

// Reads a bitmap from an open file into a new handle, or returns null.
// Every size is checked against the file's length before allocating.
void* ReadBitmap(hv::File& f) {
    const int64_t fileSize = f.Size();
    BITMAPFILEHEADER fh;
    BITMAPINFOHEADER ih;
    if (!f.ReadExact(&fh, sizeof fh) || fh.bfType != kBM) return nullptr;
    if (!f.ReadExact(&ih, sizeof ih) || ih.biSize < sizeof ih) return nullptr;  // core headers refused
    // Larger headers (V4, V5) carry colour-space data that is not needed:
    // skip it, keep the 40-byte part.
    const int64_t tablePos = int64_t(sizeof fh) + ih.biSize;
    if (tablePos > fileSize) return nullptr;
    const int bits = ih.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return nullptr;
    const int64_t width = ih.biWidth, height = ih.biHeight < 0 ? -int64_t(ih.biHeight) : ih.biHeight;
    if (width <= 0 || height <= 0 || width > hv::kMaxSide || height > hv::kMaxSide ||
        width * height > hv::kMaxPixels)
        return nullptr;
    const bool rle = (ih.biCompression == BI_RLE8 && bits == 8) || (ih.biCompression == BI_RLE4 && bits == 4);
    if (ih.biCompression != BI_RGB && !rle) return nullptr;
    if (rle && ih.biHeight < 0) return nullptr;

    // Colour table: biClrUsed entries, or the full table for 1, 4 and 8 bits.
    // A count past 16 bits is refused, as SaveDIB refuses to write it.
    uint64_t entries = ih.biClrUsed;
    if (entries == 0 && bits <= 8) entries = uint64_t(1) << bits;
    if (entries > 0xFFFF) return nullptr;
    ih.biClrUsed = static_cast<DWORD>(entries);

    // The rows need this much; a larger stated size is read whole, a
    // smaller one could not hold the rows and is not followed. Run-length
    // data is read as stated, or as the rows' size when no size is stated.
    uint64_t image = hv::RowBytes(width, bits) * static_cast<uint64_t>(height);
    if (rle) {
        if (ih.biSizeImage != 0) image = ih.biSizeImage;
    } else if (ih.biSizeImage > image) {
        image = ih.biSizeImage;
    }
    const int64_t pixelPos = fh.bfOffBits ? int64_t(fh.bfOffBits) : tablePos + int64_t(4 * entries);
    if (pixelPos < 0 || pixelPos + int64_t(image) > fileSize) return nullptr;
    if (ih.biSizeImage == 0) ih.biSizeImage = static_cast<DWORD>(image);

    const size_t tableBytes = static_cast<size_t>(4 * entries);
    void* dib = hv::AllocHandle(sizeof ih + tableBytes + static_cast<size_t>(image), true);
    if (!dib) return nullptr;
    bool ok;
    {
        hv::HandleLock lock(dib);
        BYTE* p = lock.bytes();
        // The colour table is taken as far as the file holds it (the rest
        // stays zero): only the pixel read decides success.
        ok = p && f.Seek(tablePos) && f.Read(p + sizeof ih, tableBytes) >= 0 && f.Seek(pixelPos) &&
             f.ReadExact(p + sizeof ih + tableBytes, static_cast<size_t>(image));
        if (ok && ih.biHeight < 0) {
            // Store top-down files bottom-up, with a positive height.
            ih.biHeight = static_cast<LONG>(height);
            const size_t stride = static_cast<size_t>(hv::RowBytes(width, bits));
            BYTE* base = p + sizeof ih + tableBytes;
            std::vector<BYTE> tmp(stride);
            for (int64_t y = 0; y < height / 2; ++y) {
                BYTE* a = base + y * stride;
                BYTE* b = base + (height - 1 - y) * stride;
                std::memcpy(tmp.data(), a, stride);
                std::memcpy(a, b, stride);
                std::memcpy(b, tmp.data(), stride);
            }
        }
        if (ok) {
            ih.biSize = sizeof ih;
            std::memcpy(p, &ih, sizeof ih);
        }
    }
    if (!ok) {
        hv::FreeHandle(dib);
        return nullptr;
    }
    return dib;
}

}  // namespace

extern "C" HUEVANE_API intptr_t HUEVANE_CALL LoadDIB(const char* filename) {
    hv::ShowWaitCursor();
    hv::File f;
    void* dib = f.Open(filename, hv::FileMode::ReadShared) ? ReadBitmap(f) : nullptr;
    hv::ShowArrowCursor();
    return reinterpret_cast<intptr_t>(dib);
}

extern "C" HUEVANE_API int HUEVANE_CALL SaveDIB(void* dib, const char* filename) {
    if (!dib) return 0;
    hv::File f;
    if (!f.Open(filename, hv::FileMode::WriteReplace)) return 0;
    hv::HandleLock lock(dib);
    const uint64_t held = lock.size();
    if (held < sizeof(BITMAPINFOHEADER)) return 0;
    auto* ih = static_cast<BITMAPINFOHEADER*>(lock.ptr());
    if (ih->biSize != sizeof(BITMAPINFOHEADER)) return 0;

    // A colour count past 16 bits is refused, as LoadDIB and the DIB view
    // refuse it, rather than read from its low 16 bits (0x10000 would pass
    // for a full table of 256 colours).
    if (ih->biClrUsed > 0xFFFF) return 0;
    uint64_t table = 0;
    if (ih->biClrUsed & 0xFFFF)
        table = 4u * (ih->biClrUsed & 0xFFFF);
    else if (ih->biBitCount == 1 || ih->biBitCount == 4 || ih->biBitCount == 8)
        table = 4u << ih->biBitCount;
    uint64_t image;
    const bool rle = ih->biCompression == BI_RLE8 || ih->biCompression == BI_RLE4;
    if (rle) {
        image = ih->biSizeImage;
    } else {
        // A negative width or height would give a negative size.
        if (ih->biWidth < 0 || ih->biHeight < 0) return 0;
        const uint64_t row = hv::RowBytes(ih->biWidth, ih->biBitCount);
        if (row > 0xFFFFFFFFu) return 0;  // keeps the product inside 64 bits
        image = row * static_cast<uint64_t>(ih->biHeight);
    }
    const uint64_t dibSize = ih->biSize + table + image;
    if (dibSize > held || dibSize + 14 > 0xFFFFFFFFu) return 0;  // never write past the handle
    if (!rle) ih->biSizeImage = static_cast<DWORD>(image);

    BITMAPFILEHEADER fh;
    fh.bfType = kBM;
    fh.bfSize = static_cast<DWORD>(dibSize + sizeof fh);
    fh.bfReserved1 = fh.bfReserved2 = 0;
    fh.bfOffBits = static_cast<DWORD>(sizeof fh + ih->biSize + table);
    if (!f.WriteAll(&fh, sizeof fh)) return 0;
    return f.WriteAll(lock.ptr(), static_cast<size_t>(dibSize)) ? 1 : 0;
}
