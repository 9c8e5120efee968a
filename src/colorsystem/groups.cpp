// Groups of samples: the two edits and the group file.
//
// Group file (path + ".grp"), every field a signed 32-bit little-endian
// integer: tag 16 (not checked on reading), G, then G records of n followed
// by n sample indices. Nothing after the last record.
#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "huevane/colorsystem.h"
#include "platform/file.h"

namespace {

constexpr int32_t kGroupFileTag = 16;

void PutLE32(std::vector<unsigned char>& out, int32_t v) {
    uint32_t u = static_cast<uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

int32_t GetLE32(const unsigned char* p) {
    uint32_t u = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                 static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    return static_cast<int32_t>(u);
}

// Reads signed 32-bit little-endian values from a byte range, never past end.
class LE32Reader {
public:
    LE32Reader(const unsigned char* p, const unsigned char* end) : p_(p), end_(end) {}
    bool Next(int32_t& v) {
        if (end_ - p_ < 4) return false;
        v = GetLE32(p_);
        p_ += 4;
        return true;
    }
    // A count of records of at least one value each: one of zero or less
    // is none. False when it cannot be read or its records cannot all be in
    // what is left.
    bool Count(int32_t& n) {
        if (!Next(n)) return false;
        n = std::max(n, 0);
        return n <= (end_ - p_) / 4;
    }

private:
    const unsigned char* p_;
    const unsigned char* end_;
};

// Whether sample s is selected; indices outside the card are never selected,
// so sel is read only where the caller has entries.
bool Selected(const int* sel, int s, int sampleCount) {
    return s >= 0 && s < sampleCount && sel[s] != 0;
}

}  // namespace

int csColorSystem::SplitGroup(int group, int* sel) {
    if (group < 0 || !sel) return -1;
    if (group >= static_cast<int>(groups.size())) throw std::out_of_range("invalid vector<T> subscript");
    std::vector<int>& g = groups[group];
    const int n = samples.GetSize();
    std::vector<int> moved;
    for (size_t pos = g.size(); pos-- > 0;) {
        if (Selected(sel, g[pos], n)) {
            moved.push_back(g[pos]);
            g.erase(g.begin() + static_cast<std::ptrdiff_t>(pos));
        }
    }
    if (!moved.empty()) groups.insert(groups.begin() + group + 1, std::move(moved));
    return 0;
}

int csColorSystem::DeleteGroupSelItems(int group, int* sel) {
    if (group < 0 || !sel) return -1;
    if (group >= static_cast<int>(groups.size())) throw std::out_of_range("invalid vector<T> subscript");
    std::vector<int>& g = groups[group];
    const int n = samples.GetSize();
    int removed = 0;
    for (size_t pos = g.size(); pos-- > 0;) {
        if (Selected(sel, g[pos], n)) {
            g.erase(g.begin() + static_cast<std::ptrdiff_t>(pos));
            ++removed;
        }
    }
    return removed;
}

int csColorSystem::SaveGroup() {
    if (groups.empty() || path.empty()) return -1;
    std::vector<unsigned char> bytes;
    PutLE32(bytes, kGroupFileTag);
    PutLE32(bytes, static_cast<int32_t>(groups.size()));
    for (const std::vector<int>& g : groups) {
        PutLE32(bytes, static_cast<int32_t>(g.size()));
        for (int s : g) PutLE32(bytes, s);
    }
    hv::File f;
    if (!f.Open((path + ".grp").c_str(), hv::FileMode::WriteReplace)) return -1;
    return f.WriteAll(bytes.data(), bytes.size()) ? 0 : -1;
}

int csColorSystem::LoadGroup() {
    if (path.empty()) return -1;
    hv::File f;
    if (!f.Open((path + ".grp").c_str(), hv::FileMode::ReadExclusive)) return -1;
    const int64_t size = f.Size();
    if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX) return -1;
    std::vector<unsigned char> bytes(static_cast<size_t>(size));
    if (size > 0 && !f.ReadExact(bytes.data(), bytes.size())) return -1;
    f.Close();

    // The whole file is parsed before anything changes: a file cut short
    // leaves the groups as they were.
    LE32Reader in(bytes.data(), bytes.data() + bytes.size());
    // A group count of zero or less gives no groups, an entry count of zero
    // or less an empty group followed by the next record.
    int32_t tag = 0, count = 0;
    if (!in.Next(tag) || !in.Count(count)) return -1;  // each record needs its n
    std::vector<std::vector<int>> loaded(static_cast<size_t>(count));
    for (std::vector<int>& g : loaded) {
        int32_t n = 0;
        if (!in.Count(n)) return -1;
        g.resize(static_cast<size_t>(n));
        for (int& s : g) in.Next(s);  // n values are known to be there
    }
    groups.swap(loaded);
    return 0;
}
