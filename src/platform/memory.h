// Handle allocation for the library's own DIBs, and a scoped lock.
#pragma once

#include "huevane/platform.h"

namespace hv {

// Every handle the library makes goes through this pair, so that the number
// of live handles can be checked (tests use it to find leaks).
HGLOBAL AllocHandle(size_t bytes, bool zero = true);
void FreeHandle(HGLOBAL h);
long LiveHandles();

// Locks a handle for the scope; ptr() is null when the handle is unusable.
class HandleLock {
public:
    explicit HandleLock(HGLOBAL h) : h_(h), p_(h ? GlobalLock(h) : nullptr) {}
    ~HandleLock() {
        if (p_) GlobalUnlock(h_);
    }
    HandleLock(const HandleLock&) = delete;
    HandleLock& operator=(const HandleLock&) = delete;

    void* ptr() const { return p_; }
    BYTE* bytes() const { return static_cast<BYTE*>(p_); }
    size_t size() const { return p_ ? GlobalSize(h_) : 0; }

private:
    HGLOBAL h_;
    void* p_;
};

}  // namespace hv
