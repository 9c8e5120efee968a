// Shared pieces of the fuzz targets: the registration of a target, the
// checks that must hold beyond the sanitizers, a reader of fuzzed bytes,
// scratch files and small test images.
//
// A target is one function over the fuzzed bytes. In the fuzz build each
// target becomes its own libFuzzer program; in the test suite every target
// is compiled in and replayed over its seed corpus and over the corrupt
// inputs kept under tests/data/, so that each past finding stays checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ccColorPocketArray;

namespace hvfuzz {

using TargetFn = void (*)(const uint8_t* data, size_t size);

struct Target {
    const char* name;      // also the folder of its seeds: fuzz/corpus/<name>/
    const char* dataDirs;  // its corrupt-input folders under tests/data/, ';' between
    TargetFn fn;
};

// Every target compiled into this program.
std::vector<Target>& Targets();
struct Register {
    Register(const char* name, const char* dataDirs, TargetFn fn);
};

// A broken invariant: the fuzz build prints and aborts (a finding); the
// test suite records a failure.
[[noreturn]] void Fail(const char* file, int line, const char* what);
void FailSoft(const char* file, int line, const char* what);
#define FUZZ_CHECK(cond)                                                  \
    do {                                                                  \
        if (!(cond)) ::hvfuzz::FailSoft(__FILE__, __LINE__, #cond);      \
    } while (0)

// Reads fuzzed bytes front to back; past the end every value is 0.
class Bytes {
public:
    Bytes(const uint8_t* p, size_t n) : p_(p), end_(p + n) {}
    size_t left() const { return static_cast<size_t>(end_ - p_); }
    uint8_t U8() { return p_ < end_ ? *p_++ : 0; }
    uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
    int32_t I32() {
        uint32_t v = U16();
        return static_cast<int32_t>(v | uint32_t(U16()) << 16);
    }
    // The next n bytes (fewer at the end).
    std::string Take(size_t n) {
        if (n > left()) n = left();
        std::string s(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        return s;
    }
    std::string Rest() { return Take(left()); }

private:
    const uint8_t* p_;
    const uint8_t* end_;
};

// A scratch file of this process, written with the given bytes; the
// returned path stays valid until the program ends (the files are removed
// then).
std::string ScratchFile(const std::string& name, const std::string& bytes);
std::string ScratchPath(const std::string& name);

// Live handles made by the library (its internal count).
long LiveHandles();

// A small image made by the library's own DIB services, 8 bits with a
// 256-colour table or 24 bits, its pixels a pattern of `seed`; released
// with FreeDib.
void* MakeImage(int width, int height, int bits, unsigned seed);
void FreeDib(void* dib);
// The bytes of a handle (empty for a null one).
std::vector<uint8_t> Snapshot(void* dib);

// A style buffer of a small image of the given depth, made once.
char* SampleStyle(int bits);

// What must hold for every theme: members point into the palette, no
// pocket is null; a theme that came from a buffer also has index =
// position.
void CheckTheme(ccColorPocketArray& t, bool indexIsPosition);
// What must hold after every edit: no palette item in two pockets, and
// each pocket with items counts the sum of their pixels.
void CheckOwners(ccColorPocketArray& t);
// Two themes hold the same name (as far as a buffer stores it: 31
// characters, 15 for a pocket), palette, pockets, members and counts.
bool SameTheme(ccColorPocketArray& a, ccColorPocketArray& b);
// An edited theme saves to a buffer that loads back as the same theme.
void CheckSurvivesReload(ccColorPocketArray& t);

}  // namespace hvfuzz

#ifdef HUEVANE_FUZZ_REPLAY
#define HV_FUZZ_TARGET(name, dataDirs)                                           \
    static void FuzzTarget_##name(const uint8_t* data, size_t size);            \
    static ::hvfuzz::Register register_##name(#name, dataDirs, FuzzTarget_##name); \
    static void FuzzTarget_##name(const uint8_t* data, size_t size)
#else
#define HV_FUZZ_TARGET(name, dataDirs)                                       \
    static void FuzzTarget_##name(const uint8_t* data, size_t size);        \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        FuzzTarget_##name(data, size);                                       \
        return 0;                                                            \
    }                                                                        \
    static void FuzzTarget_##name(const uint8_t* data, size_t size)
#endif
