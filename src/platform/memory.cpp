#include "platform/memory.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace hv {
namespace {
// Atomic: hosts may call the library from several threads at once.
std::atomic<long> g_live{0};
}

HGLOBAL AllocHandle(size_t bytes, bool zero) {
    HGLOBAL h = GlobalAlloc(zero ? GHND : GMEM_MOVEABLE, bytes);
    if (h) ++g_live;
    return h;
}

void FreeHandle(HGLOBAL h) {
    if (h && GlobalFree(h) == nullptr) --g_live;
}

long LiveHandles() { return g_live; }

}  // namespace hv

#if !defined(_WIN32)
// Stand-ins for the Win32 global-memory calls. A handle is a control block
// that owns the data, so it survives a re-allocation of the data.
namespace {
constexpr uint32_t kMagic = 0x48564D47;  // "GMVH"
constexpr uint32_t kDead = 0xDEADB10C;

struct Block {
    uint32_t magic;
    int locks;
    size_t size;
    void* data;
};

Block* Valid(HGLOBAL h) {
    auto* b = static_cast<Block*>(h);
    return (b && b->magic == kMagic) ? b : nullptr;
}
}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes) {
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block)));
    if (!b) return nullptr;
    // A zero-byte block still gets storage so that locking it works.
    void* data = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                         : std::malloc(bytes ? bytes : 1);
    if (!data) {
        std::free(b);
        return nullptr;
    }
    *b = Block{kMagic, 0, bytes, data};
    return b;
}

void* GlobalLock(HGLOBAL h) {
    Block* b = Valid(h);
    if (!b) return nullptr;
    ++b->locks;
    return b->data;
}

BOOL GlobalUnlock(HGLOBAL h) {
    Block* b = Valid(h);
    if (!b || b->locks == 0) return 0;
    return --b->locks > 0;
}

HGLOBAL GlobalReAlloc(HGLOBAL h, SIZE_T bytes, UINT flags) {
    Block* b = Valid(h);
    if (!b) return nullptr;
    void* data = std::realloc(b->data, bytes ? bytes : 1);
    if (!data) return nullptr;
    if ((flags & GMEM_ZEROINIT) && bytes > b->size)
        std::memset(static_cast<char*>(data) + b->size, 0, bytes - b->size);
    b->data = data;
    b->size = bytes;
    return h;
}

HGLOBAL GlobalFree(HGLOBAL h) {
    Block* b = Valid(h);
    if (!b) return h;
    std::free(b->data);
    b->magic = kDead;
    std::free(b);
    return nullptr;
}

SIZE_T GlobalSize(HGLOBAL h) {
    Block* b = Valid(h);
    return b ? b->size : 0;
}

}  // extern "C"
#endif
