// Reading and writing image files: the format is recognised by content when
// reading and chosen by extension when writing.
#include "imageio.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

#include "codecs.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

namespace hvio {
namespace {

// Whole input files are read into memory; nothing this tool handles comes
// near this.
constexpr long long kMaxFileBytes = 1LL << 30;

void SetError(std::string* error, const std::string& path, const std::string& reason) {
    if (error) *error = path + ": " + reason;
}

// Reads a whole file; false with a reason.
bool ReadFile(const std::string& path, std::vector<unsigned char>* data, std::string* reason) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        *reason = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    bool ok = true;
    unsigned char chunk[1 << 16];
    for (;;) {
        const size_t n = std::fread(chunk, 1, sizeof chunk, f);
        data->insert(data->end(), chunk, chunk + n);
        if (static_cast<long long>(data->size()) > kMaxFileBytes) {
            *reason = "the file is too large";
            ok = false;
            break;
        }
        if (n < sizeof chunk) {
            if (std::ferror(f)) {
                *reason = std::string("read error: ") + std::strerror(errno);
                ok = false;
            }
            break;
        }
    }
    std::fclose(f);
    return ok;
}

enum class Format { Unknown, Bmp, Png, Jpeg };

Format Sniff(const std::vector<unsigned char>& d) {
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (d.size() >= 8 && std::memcmp(d.data(), kPng, 8) == 0) return Format::Png;
    if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return Format::Jpeg;
    if (d.size() >= 2 && d[0] == 'B' && d[1] == 'M') return Format::Bmp;
    return Format::Unknown;
}

// Other common image formats, recognised only to name them in the message.
const char* OtherFormat(const std::vector<unsigned char>& d) {
    auto starts = [&d](const char* magic, size_t n, size_t at = 0) {
        return d.size() >= at + n && std::memcmp(d.data() + at, magic, n) == 0;
    };
    if (starts("GIF8", 4)) return "GIF";
    if (starts("II*\0", 4) || starts("MM\0*", 4)) return "TIFF";
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return "WebP";
    return nullptr;
}

// Loads a bitmap through the library and moves it into a handle of the
// caller's own, so that every image from here is freed with GlobalFree.
void* ReadBmp(const std::string& path, std::string* reason) {
    void* loaded = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    if (!loaded) {
        *reason = "not a readable BMP file (truncated, damaged or of an unsupported layout)";
        return nullptr;
    }
    const SIZE_T size = GlobalSize(loaded);
    void* copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy) {
        std::memcpy(GlobalLock(copy), GlobalLock(loaded), size);
        GlobalUnlock(copy);
        GlobalUnlock(loaded);
    } else {
        *reason = "out of memory";
    }
    hv::FreeHandle(loaded);
    return copy;
}

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

constexpr int kJpegQuality = 92;

}  // namespace

void* ReadImage(const std::string& path, std::string* error, long long maxPixels) {
    std::vector<unsigned char> data;
    std::string reason;
    if (!ReadFile(path, &data, &reason)) {
        SetError(error, path, reason);
        return nullptr;
    }
    void* dib = nullptr;
    switch (Sniff(data)) {
    case Format::Png:
        dib = detail::DecodePng(data.data(), data.size(), &reason, maxPixels);
        if (!dib) reason = "cannot decode PNG: " + reason;
        break;
    case Format::Jpeg:
        dib = detail::DecodeJpeg(data.data(), data.size(), &reason, maxPixels);
        if (!dib) reason = "cannot decode JPEG: " + reason;
        break;
    case Format::Bmp:
        // A bitmap holds its pixels uncompressed, so the file's size already
        // bounds what loading it takes; only the pixel limit is checked.
        dib = ReadBmp(path, &reason);
        if (dib) {
            int64_t w = 0, h = 0;
            {
                ipDibStuff view(dib, false);
                w = view.width();
                h = view.height();
            }
            if (w * h > maxPixels) {
                GlobalFree(dib);
                dib = nullptr;
                reason = "a BMP of " + std::to_string(w) + " x " + std::to_string(h) +
                         " pixels is beyond the limit of " + std::to_string(maxPixels) + " pixels";
            }
        }
        break;
    case Format::Unknown:
        if (data.empty())
            reason = "the file is empty";
        else if (const char* other = OtherFormat(data))
            reason = std::string("a ") + other + " image; only BMP, PNG and JPEG files are read";
        else
            reason = "not a BMP, PNG or JPEG file";
        break;
    }
    if (!dib) SetError(error, path, reason);
    return dib;
}

bool IsWritableFormat(const std::string& path) {
    const std::string ext = LowerExtension(path);
    return ext == ".bmp" || ext == ".png" || ext == ".jpg" || ext == ".jpeg";
}

bool WriteImage(void* dib, const std::string& path, std::string* error) {
    const std::string ext = LowerExtension(path);
    const bool png = ext == ".png", jpeg = ext == ".jpg" || ext == ".jpeg";
    if (ext == ".bmp") {
        if (SaveDIB(dib, path.c_str())) return true;
        SetError(error, path, "cannot write the bitmap (unwritable path or unusable image)");
        return false;
    }
    if (!png && !jpeg) {
        SetError(error, path, "unknown output format '" + ext + "' (use .bmp, .png, .jpg or .jpeg)");
        return false;
    }
    // PNG keeps 8-bit palette images as they are; everything else is
    // written from its 24-bit form.
    OwnedDib converted;
    {
        ipDibStuff view(dib, false);
        if (!view.usable()) {
            SetError(error, path, "the image is not a usable uncompressed DIB");
            return false;
        }
        const bool keep = view.is24() || (png && view.bitCount() == 8);
        if (!keep) {
            std::string reason;
            converted.reset(ToRgb24(dib, &reason));
            if (!converted.get()) {
                SetError(error, path, reason);
                return false;
            }
        }
    }
    void* source = converted.get() ? converted.get() : dib;

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        SetError(error, path, std::string("cannot create: ") + std::strerror(errno));
        return false;
    }
    std::string reason;
    bool ok = png ? detail::EncodePng(source, f, &reason) : detail::EncodeJpeg(source, f, kJpegQuality, &reason);
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        reason = std::string("write error: ") + std::strerror(errno);
    }
    if (!ok) {
        // Only a regular file is ours to remove: never a device behind the name.
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
        SetError(error, path, reason);
    }
    return ok;
}

}  // namespace hvio
