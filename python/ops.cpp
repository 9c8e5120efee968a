#include "ops.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
#include <immintrin.h>
#endif
#include <new>

#include "api/colortags.h"
#include "dib/dib.h"
#include "huevane/colorsystem.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#include "transfer/regionfill.h"

namespace hvpy {

void DibDeleter::operator()(void* dib) const { hv::FreeHandle(dib); }

long LiveHandles() { return hv::LiveHandles(); }

void CheckSize(const ImageView& image) {
    if (image.height < 1 || image.width < 1)
        throw std::invalid_argument("the image is empty (" + std::to_string(image.height) + " x " +
                                    std::to_string(image.width) + ")");
    if (image.height > hv::kMaxSide || image.width > hv::kMaxSide || image.height * image.width > hv::kMaxPixels)
        throw std::invalid_argument("an image of " + std::to_string(image.width) + " x " +
                                    std::to_string(image.height) + " pixels is beyond the supported size");
}

// ---- pixels in and out ----

namespace {

// Bytes 0 and 2 of a little-endian word swapped, byte 3 dropped: red, green,
// blue (and whatever follows) to blue, green, red, and back.
inline uint32_t SwapRB(uint32_t v) { return (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu); }

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void Store32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

// One row in, to blue, green, red. Packed rows of 3 or 4 bytes a pixel go a
// word at a time: each store of 4 bytes spills one byte into the next pixel,
// which the next store overwrites; the last pixel goes byte by byte, so
// nothing is read or written past the row.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && !defined(_WIN32)
// Four pixels a step with one byte shuffle, on processors that have it:
// from 3 or 4 bytes a pixel to 3, red and blue swapped. Each step reads and
// writes 16 bytes, so it stops 6 pixels short of the row's end; returns the
// pixels done.
__attribute__((target("ssse3"))) int64_t SwapRowSsse3(const uint8_t* in, int step, uint8_t* out,
                                                       int64_t width) {
    const __m128i order = step == 3 ? _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15)
                                    : _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 3, 7, 11, 15);
    int64_t x = 0;
    for (; x + 6 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + step * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(v, order));
    }
    return x;
}
const bool kHaveSsse3 = __builtin_cpu_supports("ssse3");
#else
int64_t SwapRowSsse3(const uint8_t*, int, uint8_t*, int64_t) { return 0; }
const bool kHaveSsse3 = false;
#endif

template <int C>
void RowIn(const uint8_t* in, BYTE* out, int64_t width, ptrdiff_t cs, ptrdiff_t ks, bool packed) {
    int64_t x = 0;
    if (packed && C >= 3) {
        if (kHaveSsse3) x = SwapRowSsse3(in, C, out, width);
        for (; x + 1 < width; ++x) Store32(out + 3 * x, SwapRB(Load32(in + C * x)));
    }
    for (; x < width; ++x) {
        const uint8_t* p = in + x * cs;
        BYTE* o = out + 3 * x;
        if (C == 1) {
            o[0] = o[1] = o[2] = p[0];
        } else {
            o[0] = p[2 * ks];
            o[1] = p[ks];
            o[2] = p[0];
        }
    }
}

template <int C>
void CopyIn(const ImageView& v, ipDibStuff& dst) {
    const bool packed = v.colStride == C && (C == 1 || v.chanStride == 1);
    const ptrdiff_t ks = packed ? 1 : v.chanStride;
    const int64_t h = v.height;
    for (int64_t y = 0; y < h; ++y)
        RowIn<C>(v.data + y * v.rowStride, dst.rows[static_cast<size_t>(h - 1 - y)], v.width, v.colStride, ks,
                 packed);
}

}  // namespace

Dib ToDib24(const ImageView& image) {
    CheckSize(image);
    Dib dib(MakeEmptyDib(static_cast<int>(image.width), static_cast<int>(image.height), 24, true));
    if (!dib) throw std::bad_alloc();
    ipDibStuff view(dib.get(), false);
    switch (image.channels) {
        case 1: CopyIn<1>(image, view); break;
        case 3: CopyIn<3>(image, view); break;
        case 4: CopyIn<4>(image, view); break;
        default: throw std::invalid_argument("an image has 1, 3 or 4 channels");
    }
    return dib;
}

void FromDib24(void* dib, uint8_t* out, int channels, const ImageView* alpha) {
    ipDibStuff view(dib, false);
    if (!view.is24()) throw std::runtime_error("not a 24-bit image");
    const int64_t h = view.height(), w = view.width();
    for (int64_t y = 0; y < h; ++y) {
        const BYTE* in = view.rows[static_cast<size_t>(h - 1 - y)];
        uint8_t* o = out + y * w * channels;
        // Word at a time but for the last pixel, which would read past the row.
        if (channels == 3) {
            const int64_t done = kHaveSsse3 ? SwapRowSsse3(in, 3, o, w) : 0;
            in += 3 * done;
            o += 3 * done;
            for (int64_t x = done; x + 1 < w; ++x, in += 3, o += 3) Store32(o, SwapRB(Load32(in)));
            o[0] = in[2];
            o[1] = in[1];
            o[2] = in[0];
        } else {
            const uint8_t* a = alpha->data + y * alpha->rowStride + 3 * alpha->chanStride;
            for (int64_t x = 0; x + 1 < w; ++x, in += 3, o += 4, a += alpha->colStride)
                Store32(o, SwapRB(Load32(in)) | uint32_t(*a) << 24);
            o[0] = in[2];
            o[1] = in[1];
            o[2] = in[0];
            o[3] = *a;
        }
    }
}

// ---- themes ----

namespace {

std::vector<char> SaveTheme(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int length = t.SaveToBuf(buf);
    if (length < 0 || !buf) throw std::bad_alloc();
    std::vector<char> out(buf, buf + static_cast<size_t>(length) + 4);
    t.FreeDataBuf(buf);
    return out;
}

// The theme's own copy of a buffer: LoadFromBuf takes a writable pointer.
int LoadBuffer(ccColorPocketArray& t, const std::vector<char>& buffer) {
    std::vector<char> copy(buffer);
    return t.LoadFromBuf(copy.data());
}

// Reduces a 24-bit DIB and extracts its theme into t, which owns the
// 8-bit form afterwards.
void ExtractInto(ccColorPocketArray& t, void* dib24, Extraction how, csColorSystem* card) {
    void* dib8 = DecreaseBpp24to8(dib24);
    if (!dib8) throw std::runtime_error("the image could not be reduced to 256 colours");
    t.SetPalDib(dib8, true);
    int rc = -1;
    std::vector<int> cardIndex(256, -1);  // filled by the card extraction
    switch (how) {
        case Extraction::Default: rc = t.GetColorPockets(); break;
        case Extraction::G: rc = t.GetColorPocketsG(); break;
        case Extraction::D: rc = t.GetColorPocketsD(); break;
        case Extraction::CG: rc = t.GetColorPocketsCG(card, cardIndex.data()); break;
        case Extraction::Q: rc = t.GetColorPocketsQ(); break;
    }
    if (rc != 0) throw std::runtime_error("the theme of the image could not be extracted");
    // The variants leave themes in palette order (d, cg), or sorted before
    // small pockets are merged away (g): largest first, as the default
    // extraction gives them (a stable order; fewer than two pockets need
    // none).
    if (how != Extraction::Default) t.SortOnPercentage();
}

}  // namespace

bool ThemeData::Describe() {
    ccColorPocketArray t(0);
    if (LoadBuffer(t, buffer_) < 0) return false;
    name_ = t.name;
    pockets_.clear();
    // Shares count the pockets' pixels, as the tool prints them; a theme
    // without pixel counts (made from a colour list) keeps its stored shares.
    int64_t total = 0;
    for (ccColorPocket* p : t.pockets) total += std::max(p->pixelNum, 0);
    for (ccColorPocket* p : t.pockets) {
        PocketInfo info;
        info.rgb[0] = p->aveRGB.rgbRed;
        info.rgb[1] = p->aveRGB.rgbGreen;
        info.rgb[2] = p->aveRGB.rgbBlue;
        info.hsl[0] = static_cast<uint8_t>(HslHue(p->aveHSL));
        info.hsl[1] = static_cast<uint8_t>(HslSat(p->aveHSL));
        info.hsl[2] = static_cast<uint8_t>(HslLight(p->aveHSL));
        info.share = total > 0 ? double(std::max(p->pixelNum, 0)) / double(total) : double(p->percentage);
        info.pixels = p->pixelNum;
        info.colours = p->items.GetSize();
        pockets_.push_back(info);
    }
    return true;
}

std::shared_ptr<const ThemeData> ThemeData::FromImage(void* dib24, Extraction how, csColorSystem* card) {
    std::shared_ptr<ThemeData> d(new ThemeData);
    ccColorPocketArray t(0);
    ExtractInto(t, dib24, how, card);
    d->buffer_ = SaveTheme(t);
    {
        hv::HandleLock lock(t.palDib);
        if (!lock.ptr()) throw std::runtime_error("the image's 8-bit form is unusable");
        d->palette8_.assign(lock.bytes(), lock.bytes() + lock.size());
    }
    if (!d->Describe()) throw std::runtime_error("the extracted theme could not be read back");
    return d;
}

std::shared_ptr<const ThemeData> ThemeData::FromBuffer(const char* data, size_t size) {
    if (size < 4)
        throw std::invalid_argument("a style buffer starts with its 4-byte length; got " + std::to_string(size) +
                                    " bytes");
    const auto* b = reinterpret_cast<const unsigned char*>(data);
    const uint64_t length = uint64_t(b[0]) | uint64_t(b[1]) << 8 | uint64_t(b[2]) << 16 | uint64_t(b[3]) << 24;
    if (length + 4 != size)
        throw std::invalid_argument("the style buffer says it holds " + std::to_string(length + 4) +
                                    " bytes but " + std::to_string(size) + " were given");
    std::shared_ptr<ThemeData> d(new ThemeData);
    d->buffer_.assign(data, data + size);
    if (!d->Describe()) throw std::invalid_argument("the bytes hold no well-formed theme");
    return d;
}

std::shared_ptr<const ThemeData> ThemeData::FromFile(const std::string& path) {
    ccColorPocketArray t(0);
    errno = 0;
    const int rc = t.LoadFromFile(path.c_str());
    if (rc == -1) throw FileError("cannot open the theme file", path, errno);
    if (rc != 0) throw std::invalid_argument("'" + path + "' is not a valid theme file");
    std::shared_ptr<ThemeData> d(new ThemeData);
    d->buffer_ = SaveTheme(t);
    if (!d->Describe()) throw std::invalid_argument("'" + path + "' is not a valid theme file");
    return d;
}

void ThemeData::Save(const std::string& path) const {
    ccColorPocketArray t(0);
    if (LoadBuffer(t, buffer_) < 0) throw std::runtime_error("the theme could not be read back");
    errno = 0;
    if (t.SaveToFile(path.c_str()) != 0) throw FileError("cannot write the theme file", path, errno);
}

Dib ThemeData::PaletteDib() const {
    if (palette8_.empty()) return Dib();
    Dib dib(hv::AllocHandle(palette8_.size(), false));
    if (!dib) throw std::bad_alloc();
    hv::HandleLock lock(dib.get());
    std::memcpy(lock.ptr(), palette8_.data(), palette8_.size());
    return dib;
}

// ---- re-colouring ----

namespace {

// The style's theme as the tool builds it: extracted from an image, or
// loaded from a theme's buffer with the theme's image when chains of
// touching colours need it.
void LoadStyle(ccColorPocketArray& s, const StyleSource& src, int method) {
    if (src.pixels) {
        Dib dib = ToDib24(*src.pixels);
        ExtractInto(s, dib.get(), Extraction::Default, nullptr);
    } else if (src.image) {
        ExtractInto(s, src.image, Extraction::Default, nullptr);
    } else {
        if (LoadBuffer(s, src.theme->buffer()) < 0) throw std::runtime_error("the style theme could not be read");
        if (method == 5 && src.theme->hasImage()) s.SetPalDib(src.theme->PaletteDib().release(), true);
    }
    if (s.pockets.GetSize() == 0) throw std::invalid_argument("the style has no colours");
}

void LoadTarget(ccColorPocketArray& t, void* dib24) {
    t.SetTrueDib(dib24);
    ExtractInto(t, dib24, Extraction::Default, nullptr);
    if (t.pockets.GetSize() == 0) throw std::invalid_argument("the image has no colours");
}

void CheckMethod(int method) {
    if (method < 1 || method > 5)
        throw std::invalid_argument("method must be 1 to 5, not " + std::to_string(method));
}

void Pair(ccColorPocketArray& t, ccColorPocketArray& s, int method) {
    int paired = 0;
    try {
        paired = t.GetDstPockets(&s, true, method);
    } catch (const std::out_of_range&) {
        paired = -3;
    }
    if (paired == -1 && method == 5)
        throw std::invalid_argument(
            "method 5 needs the style's picture: pass an image, or a theme extracted from one "
            "(a theme file or buffer carries no picture)");
    if (paired == -2)
        throw std::invalid_argument("method " + std::to_string(method) + " works on themes of at most 16 colours (" +
                                    std::to_string(t.pockets.GetSize()) + " and " +
                                    std::to_string(s.pockets.GetSize()) + " here); try method 2");
    if (paired < 0) throw std::runtime_error("the themes could not be paired");
}

void ApplyLinks(ccColorPocketArray& t, ccColorPocketArray& s, const std::vector<Link>& links) {
    const int nt = t.pockets.GetSize(), ns = s.pockets.GetSize();
    for (size_t i = 0; i < links.size(); ++i) {
        const Link& l = links[i];
        if (l.target < 0 || l.target >= nt || l.style < -1 || l.style >= ns)
            throw std::invalid_argument("links[" + std::to_string(i) + "] = (" + std::to_string(l.target) + ", " +
                                        std::to_string(l.style) + ") names a pocket that does not exist (" +
                                        std::to_string(nt) + " target and " + std::to_string(ns) +
                                        " style pockets; -1 leaves a pocket unpaired)");
    }
    for (const Link& l : links) {
        ccColorPocket* p = t.GetColorPocket(l.target);
        ccColorPocket* q = l.style >= 0 ? s.GetColorPocket(l.style) : nullptr;
        if (!p) continue;
        if (q)
            p->SetDestLink(q);
        else
            p->destLink = nullptr;
    }
}

}  // namespace

namespace {

// The kept polygons as the region filler takes them.
void BuildRegions(const std::vector<Polygon>& keep, hv::RegionFill& fill) {
    std::vector<RegionPolygon> regions;
    for (const Polygon& p : keep) {
        if (p.xs.size() != p.ys.size() || p.xs.size() < 3 || p.xs.size() > INT32_MAX)
            throw std::invalid_argument("a kept polygon needs at least 3 points");
        regions.push_back(RegionPolygon{static_cast<int32_t>(p.xs.size()), const_cast<int32_t*>(p.xs.data()),
                                        const_cast<int32_t*>(p.ys.data())});
    }
    if (!regions.empty() && !fill.Build(regions.data(), static_cast<int>(regions.size())))
        throw std::invalid_argument("the kept polygons are malformed");
}

// The target's part of a re-colouring, once the style's theme is ready.
void RestyleTarget(void* dib24, ccColorPocketArray& s, int method, const std::vector<Link>* links,
                   const hv::RegionFill* fill) {
    ccColorPocketArray t(0);
    LoadTarget(t, dib24);
    if (links)
        ApplyLinks(t, s, *links);
    else
        Pair(t, s, method);
    if (t.ApplyFinalTransToTrueDib() != 0) throw std::runtime_error("the re-colouring failed");
    // The theme's backup holds the first colours; without one nothing changed.
    if (fill && t.GetTrueDibCopy()) {
        ipDibStuff dst(dib24, false), src(t.GetTrueDibCopy(), false);
        fill->Restore(dst, src);
    }
}

}  // namespace

void Restyle(void* dib24, const StyleSource& style, int method, const std::vector<Link>* links,
             const std::vector<Polygon>& keep) {
    CheckMethod(method);
    hv::RegionFill fill;
    BuildRegions(keep, fill);
    ccColorPocketArray s(0);
    LoadStyle(s, style, links ? 0 : method);
    RestyleTarget(dib24, s, method, links, keep.empty() ? nullptr : &fill);
}

void RestylePixels(const ImageView& target, const StyleSource& style, int method, const std::vector<Link>* links,
                   const std::vector<Polygon>& keep, uint8_t* out) {
    CheckMethod(method);
    CheckSize(target);
    hv::RegionFill fill;
    BuildRegions(keep, fill);
    ccColorPocketArray s(0);
    LoadStyle(s, style, links ? 0 : method);
    Dib dib = ToDib24(target);
    RestyleTarget(dib.get(), s, method, links, keep.empty() ? nullptr : &fill);
    FromDib24(dib.get(), out, target.channels == 4 ? 4 : 3, &target);
}

std::vector<Link> Match(const ImageView& target, const StyleSource& style, int method) {
    CheckMethod(method);
    ccColorPocketArray s(0), t(0);
    LoadStyle(s, style, method);
    Dib dib = ToDib24(target);
    LoadTarget(t, dib.get());
    Pair(t, s, method);
    std::vector<Link> out;
    for (ccColorPocket* p : t.pockets) out.push_back(Link{p->index, p->destLink ? p->destLink->index : -1});
    return out;
}

// ---- tags and reduction ----

std::vector<Tag> Tags(void* dib24) {
    // The first call fills the library's tag card; no other call may run
    // beside it, so it is made once here before any thread gets there.
    static std::once_flag cardFilled;
    std::call_once(cardFilled, [] {
        Dib one(MakeEmptyDib(1, 1, 24, true));
        ColorThemeStruct r = {0, nullptr};
        if (one) GetColorTags(one.get(), &r);
        FreeThemeStruct(&r);
    });
    ColorThemeStruct r = {0, nullptr};
    const int rc = GetColorTags(dib24, &r);
    std::vector<Tag> out;
    for (int i = 0; i < r.count; ++i) {
        const ColorThemeEntry& e = r.entries[i];
        Tag tag;
        tag.family = hv::ColorTagName(e.color.rgbReserved);
        tag.share = e.share;
        tag.rgb[0] = e.color.rgbRed;
        tag.rgb[1] = e.color.rgbGreen;
        tag.rgb[2] = e.color.rgbBlue;
        out.push_back(tag);
    }
    FreeThemeStruct(&r);
    if (rc == -1) throw std::runtime_error("the image could not be reduced to 256 colours");
    return out;
}

void Reduce(void* dib24, uint8_t* indices, uint8_t* palette) {
    Dib dib8(DecreaseBpp24to8(dib24));
    if (!dib8) throw std::runtime_error("the image could not be reduced to 256 colours");
    ipDibStuff v(dib8.get(), false);
    if (!v.isPalette8()) throw std::runtime_error("the reduction gave no 256-colour image");
    const int64_t h = v.height(), w = v.width();
    for (int64_t y = 0; y < h; ++y)
        std::memcpy(indices + y * w, v.rows[static_cast<size_t>(h - 1 - y)], static_cast<size_t>(w));
    for (int i = 0; i < 256; ++i) {
        palette[3 * i] = v.colors[i].rgbRed;
        palette[3 * i + 1] = v.colors[i].rgbGreen;
        palette[3 * i + 2] = v.colors[i].rgbBlue;
    }
}

}  // namespace hvpy
