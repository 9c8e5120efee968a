// The work behind the Python module, free of Python: images in and out of
// 24-bit DIBs in one pass each way, themes kept as style buffers, and the
// re-colouring, matching, tags and reduction over DIBs. Every DIB made here
// goes through the library's counted handle pair and is released before a
// call returns. Failures are C++ exceptions that the module turns into
// Python ones: std::invalid_argument (ValueError), hvpy::FileError
// (OSError), std::bad_alloc (MemoryError), std::runtime_error (RuntimeError).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class csColorSystem;

namespace hvpy {

// A file that cannot be opened, read or written; err is errno or 0.
class FileError : public std::runtime_error {
public:
    FileError(const std::string& message, const std::string& path, int err)
        : std::runtime_error(message), path(path), err(err) {}
    std::string path;
    int err;
};

// Pixels of a host image, red first: height x width x channels bytes at
// data + y * rowStride + x * colStride + c * chanStride (strides in bytes,
// any sign). channels is 1 (grey), 3 (RGB) or 4 (RGB and an alpha that is
// not used).
struct ImageView {
    const uint8_t* data = nullptr;
    int64_t height = 0, width = 0;
    int channels = 3;
    ptrdiff_t rowStride = 0, colStride = 0, chanStride = 0;
};

// Throws std::invalid_argument unless the view's size is one the library
// takes (1 to 131072 pixels a side, at most 2^28 pixels).
void CheckSize(const ImageView& image);

// Releases a library DIB handle.
struct DibDeleter {
    void operator()(void* dib) const;
};
using Dib = std::unique_ptr<void, DibDeleter>;

// A new 24-bit bottom-up BGR DIB of the image (grey repeated in all three
// channels). std::bad_alloc when memory is short.
Dib ToDib24(const ImageView& image);

// Writes a 24-bit DIB's pixels, top row first and red first, into out
// (height x width x channels bytes, C order; channels 3 or 4). With 4
// channels the alpha of alpha (same size, 4 channels) is copied through.
void FromDib24(void* dib, uint8_t* out, int channels, const ImageView* alpha);

// One pocket of a theme as the module reports it.
struct PocketInfo {
    uint8_t rgb[3];  // mean colour, red first
    uint8_t hsl[3];  // hue (256 steps), saturation, lightness
    double share;    // fraction of the image's pixels
    int pixels;
    int colours;     // palette colours in the pocket
};

// How a theme is extracted from an image.
enum class Extraction { Default, G, D, CG, Q };

// A theme, kept as its style buffer (length field included) and, when it
// was extracted from an image, the bytes of that image's 8-bit form, which
// pairing along neighbour chains needs. Immutable once made, so one theme
// serves several threads.
class ThemeData {
public:
    // Extracts the theme of a 24-bit DIB. cg needs a card (null otherwise).
    // std::runtime_error when the image cannot be reduced or analysed.
    static std::shared_ptr<const ThemeData> FromImage(void* dib24, Extraction how, csColorSystem* card);
    // A theme from a style buffer; std::invalid_argument when malformed.
    static std::shared_ptr<const ThemeData> FromBuffer(const char* data, size_t size);
    // Reads a theme file; FileError when it cannot be opened,
    // std::invalid_argument when it holds no well-formed theme.
    static std::shared_ptr<const ThemeData> FromFile(const std::string& path);

    // Writes the theme file; FileError on failure.
    void Save(const std::string& path) const;

    const std::vector<char>& buffer() const { return buffer_; }
    const std::vector<PocketInfo>& pockets() const { return pockets_; }
    bool hasImage() const { return !palette8_.empty(); }
    const std::string& name() const { return name_; }

    // A new 8-bit DIB of the kept image, or null without one.
    Dib PaletteDib() const;

private:
    std::vector<char> buffer_;
    std::vector<PocketInfo> pockets_;
    std::vector<uint8_t> palette8_;  // the whole packed 8-bit DIB
    std::string name_;

    // Fills pockets_ and name_ from buffer_; false when it holds no theme.
    bool Describe();
};

// Where a re-colouring takes its colours from: an image, as a DIB or as
// pixels (made into a DIB only while its theme is extracted), or a theme.
struct StyleSource {
    void* image = nullptr;             // 24-bit DIB
    const ImageView* pixels = nullptr;
    const ThemeData* theme = nullptr;
};

// A pairing of a target pocket with a style pocket (-1: unpaired).
struct Link {
    int target;
    int style;
};

// A polygon kept in its first colours, pixels from the top-left corner.
struct Polygon {
    std::vector<int32_t> xs, ys;
};

// Re-colours a 24-bit DIB in place in the style of `style`, pairing by
// `method` (1 to 5), or by `links` when not null; the pixels inside `keep`
// get their first colours back. std::invalid_argument for a method out of
// range, themes the method cannot pair, bad links or polygons, or an image
// or style without colours; std::runtime_error when an image cannot be
// reduced to 256 colours.
void Restyle(void* dib24, const StyleSource& style, int method, const std::vector<Link>* links,
             const std::vector<Polygon>& keep);

// The same over pixels: the result goes to out as FromDib24 writes it. The
// style's image is released before the target's is made, so that the
// target reuses its memory.
void RestylePixels(const ImageView& target, const StyleSource& style, int method, const std::vector<Link>* links,
                   const std::vector<Polygon>& keep, uint8_t* out);

// The pairing `method` makes: one link per target pocket, largest first,
// naming pockets by their positions in the target's and the style's themes.
std::vector<Link> Match(const ImageView& target, const StyleSource& style, int method);

// One colour family of an image.
struct Tag {
    std::string family;
    double share;
    uint8_t rgb[3];
};
// The colour families of a 24-bit DIB, in family order; empty when none.
std::vector<Tag> Tags(void* dib24);

// Reduces a 24-bit DIB to 256 colours: indices (height x width, top row
// first) and palette (256 x 3, red first).
void Reduce(void* dib24, uint8_t* indices, uint8_t* palette);

// Handles of the library alive now.
long LiveHandles();

}  // namespace hvpy
