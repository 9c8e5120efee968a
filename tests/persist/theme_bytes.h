// Helpers for tests that build theme buffers byte by byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "huevane/theme.h"

namespace testbytes {

// Appends little-endian fields to a byte vector.
struct Bytes {
    std::vector<unsigned char> v;

    Bytes& u8(unsigned x) {
        v.push_back(static_cast<unsigned char>(x));
        return *this;
    }
    Bytes& u32(uint32_t x) {
        for (int i = 0; i < 4; ++i) u8((x >> (8 * i)) & 0xFF);
        return *this;
    }
    Bytes& i32(int x) { return u32(static_cast<uint32_t>(x)); }
    Bytes& f32(float f) {
        uint32_t b;
        std::memcpy(&b, &f, 4);
        return u32(b);
    }
    Bytes& text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<unsigned char>(s[i]) : 0);
        return *this;
    }
    Bytes& item(unsigned b, unsigned g, unsigned r, unsigned res, uint32_t hsl, int pal, int count, float pct) {
        return u8(b).u8(g).u8(r).u8(res).u32(hsl).i32(pal).i32(count).f32(pct);
    }
    // Pocket record: flags at 0, name, flags again at 20, averages, count,
    // share, then the member indices.
    Bytes& pocket(int flags0, const std::string& name, int flags20, uint32_t rgb, uint32_t hsl, int count,
                  float pct, const std::vector<int>& members) {
        i32(flags0).text(name, 16).i32(flags20).u32(rgb).u32(hsl).i32(count).f32(pct);
        i32(static_cast<int>(members.size()));
        for (int m : members) i32(m);
        return *this;
    }
    // The bytes behind a length field holding their count.
    std::vector<unsigned char> framed() const {
        Bytes b;
        b.u32(static_cast<uint32_t>(v.size()));
        b.v.insert(b.v.end(), v.begin(), v.end());
        return b.v;
    }
};

// A heap copy of exactly the given bytes, so that the sanitizer sees any
// read past them.
inline std::unique_ptr<char[]> Exact(const std::vector<unsigned char>& bytes) {
    std::unique_ptr<char[]> p(new char[bytes.size() ? bytes.size() : 1]);
    if (!bytes.empty()) std::memcpy(p.get(), bytes.data(), bytes.size());
    return p;
}

// True when every member of every pocket points into the theme's palette.
inline bool PocketsInsidePalette(const ccColorPocketArray& t) {
    for (ccColorPocket* p : t.pockets)
        for (ccColorItem* it : p->items)
            if (!t.palette || it < t.palette || it >= t.palette + t.paletteSize) return false;
    return true;
}

}  // namespace testbytes
