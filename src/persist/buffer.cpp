// The theme buffer: a theme as one flat little-endian byte sequence.
//
// Layout (version 21): u32 L (bytes that follow), "CC", i32 version,
// 32-byte name, i32 palette count n, n items of 20 bytes, i32 pocket count,
// then per pocket 44 bytes and 4 per member. A member is stored as its
// position in the palette array, which is what the reader resolves; a
// member that is no item of this theme's palette cannot be expressed and is
// left out. Older versions differ in the name width and the palette section;
// the reader accepts them all.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "huevane/theme.h"

namespace {

constexpr int kVersion = 21;           // the version written
constexpr int kCountedVersion = 21;    // from here on the palette has a count
constexpr int kLongNameVersion = 18;   // from here on the name field is 32 bytes
constexpr int kBlockedVersion = 16;    // up to here 256 palettes precede the pockets
constexpr size_t kNameBytes = 32;
constexpr size_t kShortNameBytes = 16;
constexpr size_t kPocketNameBytes = 16;
constexpr int kItemBytes = 20;
constexpr int kPocketBytes = 44;       // a pocket record without its member indices
constexpr int kHeaderBytes = 46;       // magic, version, name and both counts
constexpr int kFixedPaletteSize = 256;
// Most pockets a buffer may hold. No theme the library makes has more
// pockets than the 256 colours of an image's palette, and sorting and
// pairing are quadratic in the count, so a larger count is refused rather
// than let a small buffer buy seconds of work.
constexpr int kMaxPockets = 256;

// Little-endian stores, independent of the host's byte order.
class Writer {
public:
    explicit Writer(unsigned char* p) : p_(p) {}
    void U8(unsigned v) { *p_++ = static_cast<unsigned char>(v); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) U8((v >> (8 * i)) & 0xFF);
    }
    void I32(int v) { U32(static_cast<uint32_t>(v)); }
    void F32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        U32(bits);
    }
    void Quad(const tagRGBQUAD& q) {
        U8(q.rgbBlue);
        U8(q.rgbGreen);
        U8(q.rgbRed);
        U8(q.rgbReserved);
    }
    // The text cut to width - 1 bytes, then zeros to the field's end, so
    // that equal themes give equal buffers.
    void Text(const std::string& s, size_t width) {
        size_t n = s.size() < width - 1 ? s.size() : width - 1;
        std::memcpy(p_, s.data(), n);
        std::memset(p_ + n, 0, width - n);
        p_ += width;
    }
    unsigned char* pos() const { return p_; }

private:
    unsigned char* p_;
};

// Bounded little-endian loads: every call fails, and reads nothing, when
// the field would pass the end.
class Reader {
public:
    Reader(const unsigned char* p, const unsigned char* end) : p_(p), end_(end) {}
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    bool Skip(uint64_t n) {
        if (n > left()) return false;
        p_ += n;
        return true;
    }
    bool U32(uint32_t& v) {
        if (left() < 4) return false;
        v = uint32_t(p_[0]) | uint32_t(p_[1]) << 8 | uint32_t(p_[2]) << 16 | uint32_t(p_[3]) << 24;
        p_ += 4;
        return true;
    }
    bool I32(int& v) {
        uint32_t u;
        if (!U32(u)) return false;
        v = static_cast<int>(u);
        return true;
    }
    // A count of records of `each` bytes: one of zero or less is none.
    // False when it cannot be read or its records cannot all be in what is
    // left.
    bool Count(int& n, uint64_t each) {
        if (!I32(n)) return false;
        n = std::max(n, 0);
        return uint64_t(n) * each <= left();
    }
    bool F32(float& v) {
        uint32_t u;
        if (!U32(u)) return false;
        std::memcpy(&v, &u, 4);
        return true;
    }
    bool Quad(tagRGBQUAD& q) {
        if (left() < 4) return false;
        q.rgbBlue = p_[0];
        q.rgbGreen = p_[1];
        q.rgbRed = p_[2];
        q.rgbReserved = p_[3];
        p_ += 4;
        return true;
    }
    // Text up to the first NUL, never more than the field's width.
    bool Text(std::string& s, size_t width) {
        if (left() < width) return false;
        const void* nul = std::memchr(p_, 0, width);
        size_t n = nul ? static_cast<size_t>(static_cast<const unsigned char*>(nul) - p_) : width;
        s.assign(reinterpret_cast<const char*>(p_), n);
        p_ += width;
        return true;
    }
    bool Item(ccColorItem& it) {
        return Quad(it.rgb) && U32(it.hsl) && I32(it.palIndex) && I32(it.pixelNum) && F32(it.percentage);
    }

private:
    const unsigned char* p_;
    const unsigned char* end_;
};

// Palette items written: none without a palette array.
int WrittenItems(const ccColorPocketArray& t) { return t.palette && t.paletteSize > 0 ? t.paletteSize : 0; }

// Position of item in the theme's written palette, or -1 when it is none of
// its items (null, or an item held elsewhere).
int PalettePosition(const ccColorPocketArray& t, const ccColorItem* it) {
    const int n = WrittenItems(t);
    if (!it || n == 0) return -1;
    // Compared as addresses, since a pointer outside the array may not be
    // subtracted from one inside it.
    const auto a = reinterpret_cast<uintptr_t>(it), lo = reinterpret_cast<uintptr_t>(t.palette);
    if (a < lo || (a - lo) % sizeof(ccColorItem) != 0) return -1;
    const uintptr_t pos = (a - lo) / sizeof(ccColorItem);
    return pos < static_cast<uintptr_t>(n) ? static_cast<int>(pos) : -1;
}

// Members written for pocket p: those that lie in the palette.
int WrittenMembers(const ccColorPocketArray& t, const ccColorPocket& p) {
    int k = 0;
    for (const ccColorItem* it : p.items) k += PalettePosition(t, it) >= 0;
    return k;
}

int64_t BufLength(ccColorPocketArray& t) {
    int64_t len = kHeaderBytes + int64_t(kItemBytes) * WrittenItems(t);
    for (ccColorPocket* p : t.pockets) len += kPocketBytes + 4 * int64_t(WrittenMembers(t, *p));
    return len;
}

}  // namespace

int ccColorPocketArray::GetDataBufLength() {
    const int64_t len = BufLength(*this);
    return len > INT_MAX - 4 ? -1 : static_cast<int>(len);
}

int ccColorPocketArray::SaveToBuf(char*& buf) {
    buf = nullptr;
    const int len = GetDataBufLength();
    if (len < 0) return -1;
    char* out = new (std::nothrow) char[static_cast<size_t>(len) + 4];
    if (!out) return -1;

    Writer w(reinterpret_cast<unsigned char*>(out));
    w.U32(static_cast<uint32_t>(len));
    w.U8('C');
    w.U8('C');
    w.I32(kVersion);
    w.Text(name, kNameBytes);
    const int n = WrittenItems(*this);
    w.I32(n);
    for (int i = 0; i < n; ++i) {
        const ccColorItem& it = palette[i];
        w.Quad(it.rgb);
        w.U32(it.hsl);
        w.I32(it.palIndex);
        w.I32(it.pixelNum);
        w.F32(it.percentage);
    }
    w.I32(pockets.GetSize());
    for (ccColorPocket* p : pockets) {
        w.I32(p->flags);
        w.Text(p->name, kPocketNameBytes);
        w.I32(p->flags);
        w.Quad(p->aveRGB);
        w.U32(p->aveHSL);
        w.I32(p->pixelNum);
        w.F32(p->percentage);
        w.I32(WrittenMembers(*this, *p));
        for (const ccColorItem* it : p->items) {
            const int at = PalettePosition(*this, it);
            if (at >= 0) w.I32(at);
        }
    }
    buf = out;
    return len;
}

int ccColorPocketArray::FreeDataBuf(char* buf) {
    delete[] buf;
    return 0;
}

int ccColorPocketArray::LoadFromBuf(char* buf) {
    ClearAll();
    if (!buf) return -1;
    const auto* base = reinterpret_cast<const unsigned char*>(buf);
    const uint32_t len =
        uint32_t(base[0]) | uint32_t(base[1]) << 8 | uint32_t(base[2]) << 16 | uint32_t(base[3]) << 24;
    if (len > INT_MAX - 4) return -1;
    Reader r(base + 4, base + 4 + len);

    // Everything is read into new objects first and installed only when the
    // whole buffer has proved well-formed, so a bad buffer never leaves a
    // pocket pointing outside the palette.
    int version;
    if (!r.Skip(2) || !r.I32(version)) return -1;  // the magic is not examined
    std::string newName;
    if (!r.Text(newName, version >= kLongNameVersion ? kNameBytes : kShortNameBytes)) return -1;

    int n = kFixedPaletteSize;
    if (version >= kCountedVersion) {
        if (!r.I32(n) || n < 0) return -1;
    } else if (version <= kBlockedVersion) {
        // 256 blocks of 256 items: only the last one is the palette.
        if (!r.Skip(uint64_t(kFixedPaletteSize - 1) * kFixedPaletteSize * kItemBytes)) return -1;
    }
    if (uint64_t(n) * kItemBytes > r.left()) return -1;
    std::unique_ptr<ccColorItem[]> items;
    if (n > 0) {
        items.reset(new (std::nothrow) ccColorItem[static_cast<size_t>(n)]);
        if (!items) return -1;
        for (int i = 0; i < n; ++i) r.Item(items[i]);  // bounded by the check above
    }

    // A pocket count of zero or less ends the theme; a member count of zero
    // or less gives an empty pocket, followed by the next record.
    int m;
    if (!r.Count(m, kPocketBytes) || m > kMaxPockets) return -1;
    std::vector<std::unique_ptr<ccColorPocket>> loaded;
    loaded.reserve(static_cast<size_t>(m));
    for (int j = 0; j < m; ++j) {
        auto p = std::make_unique<ccColorPocket>();
        int k;
        // The flags are stored twice; the second copy is the one kept.
        if (!r.I32(p->flags) || !r.Text(p->name, kPocketNameBytes) || !r.I32(p->flags) ||
            !r.Quad(p->aveRGB) || !r.U32(p->aveHSL) || !r.I32(p->pixelNum) || !r.F32(p->percentage) ||
            !r.Count(k, 4))
            return -1;
        for (int i = 0; i < k; ++i) {
            int at = -1;
            if (!r.I32(at) || at < 0 || at >= n) return -1;
            p->items.Add(&items[at]);
        }
        p->index = j;
        loaded.push_back(std::move(p));
    }

    name = std::move(newName);
    delete[] palette;
    palette = items.release();
    paletteSize = n;
    for (auto& p : loaded) {
        pockets.Add(p.get());
        p.release();
    }
    return static_cast<int>(len);
}
