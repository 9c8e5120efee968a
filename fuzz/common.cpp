// Shared pieces of the fuzz targets (see fuzz.h).
#include "fuzz.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>

#include <sys/stat.h>
#include <unistd.h>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace hvfuzz {

std::vector<Target>& Targets() {
    static std::vector<Target> all;
    return all;
}

Register::Register(const char* name, const char* dataDirs, TargetFn fn) {
    Targets().push_back(Target{name, dataDirs, fn});
}

#ifndef HUEVANE_FUZZ_REPLAY
void FailSoft(const char* file, int line, const char* what) { Fail(file, line, what); }
void Fail(const char* file, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::abort();
}
#endif

namespace {
// The scratch folder of this process and the files made in it, removed at exit.
struct Scratch {
    std::string dir;
    std::set<std::string> files;
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/huevane-fuzz-" + std::to_string(getpid());
        mkdir_once();
    }
    void mkdir_once() { (void)!::mkdir(dir.c_str(), 0700); }
    ~Scratch() {
        for (const std::string& f : files) std::remove(f.c_str());
        ::rmdir(dir.c_str());
    }
};
Scratch& TheScratch() {
    static Scratch s;
    return s;
}
}  // namespace

std::string ScratchPath(const std::string& name) {
    Scratch& s = TheScratch();
    std::string path = s.dir + "/" + name;
    s.files.insert(path);
    return path;
}

std::string ScratchFile(const std::string& name, const std::string& bytes) {
    const std::string path = ScratchPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

long LiveHandles() { return hv::LiveHandles(); }

void* MakeImage(int width, int height, int bits, unsigned seed) {
    void* dib = MakeEmptyDib(width, height, bits, true);
    if (!dib) return nullptr;
    ipDibStuff v(dib, true);
    unsigned s = seed * 2654435761u + 1;
    auto next = [&s] { return (s = s * 1103515245u + 12345u) >> 16; };
    if (bits == 8)
        for (int i = 0; i < v.numColors; ++i)
            v.colors[i] = {BYTE(next()), BYTE(next()), BYTE(next()), 0};
    // Blocks of a few colours, so that the theme has pockets of several sizes.
    const int bpp = bits / 8;
    for (int y = 0; y < v.height(); ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned block = unsigned(x / 3 + y / 2 * 7) % 11;
            for (int c = 0; c < bpp; ++c)
                v.rows[y][x * bpp + c] = BYTE(bits == 8 ? block * 23 + seed : (block * 37 + c * 91 + seed) & 0xFF);
        }
    return dib;
}

void FreeDib(void* dib) { hv::FreeHandle(dib); }

std::vector<uint8_t> Snapshot(void* dib) {
    if (!dib) return {};
    hv::HandleLock lock(dib);
    const uint8_t* p = lock.bytes();
    return p ? std::vector<uint8_t>(p, p + lock.size()) : std::vector<uint8_t>();
}

char* SampleStyle(int bits) {
    static char* styles[2] = {nullptr, nullptr};
    char*& s = styles[bits == 24 ? 1 : 0];
    if (!s) {
        void* dib = MakeImage(23, 17, bits, 5);
        if (Preprocess(dib, &s) != 0) Fail(__FILE__, __LINE__, "a sample style cannot be made");
        FreeDib(dib);
    }
    return s;
}

void CheckTheme(ccColorPocketArray& t, bool indexIsPosition) {
    FUZZ_CHECK(t.paletteSize >= 0);
    FUZZ_CHECK(t.paletteSize == 0 || t.palette != nullptr);
    for (int j = 0; j < t.pockets.GetSize(); ++j) {
        ccColorPocket* p = t.pockets[j];
        FUZZ_CHECK(p != nullptr);
        if (!p) continue;
        if (indexIsPosition) FUZZ_CHECK(p->index == j);
        for (ccColorItem* it : p->items) {
            FUZZ_CHECK(it != nullptr);
            FUZZ_CHECK(it >= t.palette && it < t.palette + t.paletteSize);
        }
    }
}

void CheckOwners(ccColorPocketArray& t) {
    std::vector<char> seen(static_cast<size_t>(t.paletteSize > 0 ? t.paletteSize : 0), 0);
    for (ccColorPocket* p : t.pockets) {
        int64_t sum = 0;
        for (ccColorItem* it : p->items) {
            if (it < t.palette || it >= t.palette + t.paletteSize) continue;  // reported by CheckTheme
            char& s = seen[static_cast<size_t>(it - t.palette)];
            FUZZ_CHECK(s == 0);
            s = 1;
            sum += it->pixelNum;
        }
        if (p->items.GetSize() > 0) FUZZ_CHECK(p->pixelNum == sum);
    }
}

namespace {
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool SameQuad(const tagRGBQUAD& a, const tagRGBQUAD& b) { return std::memcmp(&a, &b, sizeof a) == 0; }
}  // namespace

bool SameTheme(ccColorPocketArray& a, ccColorPocketArray& b) {
    // Names are stored cut to 31 and 15 characters.
    if (a.name.substr(0, 31) != b.name.substr(0, 31) || a.paletteSize != b.paletteSize || a.pockets.GetSize() != b.pockets.GetSize())
        return false;
    for (int i = 0; i < a.paletteSize; ++i) {
        const ccColorItem &x = a.palette[i], &y = b.palette[i];
        if (!SameQuad(x.rgb, y.rgb) || x.hsl != y.hsl || x.palIndex != y.palIndex || x.pixelNum != y.pixelNum ||
            !SameBits(x.percentage, y.percentage))
            return false;
    }
    for (int j = 0; j < a.pockets.GetSize(); ++j) {
        ccColorPocket *p = a.pockets[j], *q = b.pockets[j];
        if (p->flags != q->flags || p->name.substr(0, 15) != q->name.substr(0, 15) || !SameQuad(p->aveRGB, q->aveRGB) ||
            p->aveHSL != q->aveHSL || p->pixelNum != q->pixelNum || !SameBits(p->percentage, q->percentage) ||
            p->items.GetSize() != q->items.GetSize())
            return false;
        for (int i = 0; i < p->items.GetSize(); ++i)
            if (p->items[i] - a.palette != q->items[i] - b.palette) return false;
    }
    return true;
}

void CheckSurvivesReload(ccColorPocketArray& t) {
    char* buf = nullptr;
    const int len = t.SaveToBuf(buf);
    FUZZ_CHECK(len >= 0);
    ccColorPocketArray reloaded;
    FUZZ_CHECK(reloaded.LoadFromBuf(buf) == len);
    FUZZ_CHECK(SameTheme(t, reloaded));
    t.FreeDataBuf(buf);
}

}  // namespace hvfuzz
