// The theme file: the theme buffer without its length field.
#include <climits>
#include <memory>
#include <new>

#include "huevane/theme.h"
#include "platform/file.h"

int ccColorPocketArray::SaveToFile(const char* path) {
    // The buffer is built before the file is opened, so that a failure
    // leaves an existing file as it was.
    char* buf = nullptr;
    const int len = SaveToBuf(buf);
    if (len < 0) return -1;
    std::unique_ptr<char[]> hold(buf);
    hv::File f;
    if (!f.Open(path, hv::FileMode::WriteReplace)) return -1;
    return f.WriteAll(buf + 4, static_cast<size_t>(len)) ? 0 : -1;
}

int ccColorPocketArray::LoadFromFile(const char* path) {
    hv::File f;
    if (!f.Open(path, hv::FileMode::ReadShared)) return -1;
    ClearAll();
    const int64_t size = f.Size();
    if (size < 0 || size > INT_MAX - 4) return -2;
    std::unique_ptr<char[]> buf(new (std::nothrow) char[static_cast<size_t>(size) + 4]);
    if (!buf) return -2;
    // The length field is what was actually read, so a file that shrinks
    // meanwhile never exposes bytes that were not filled.
    const int64_t got = f.Read(buf.get() + 4, static_cast<size_t>(size));
    if (got < 0) return -2;
    const uint32_t len = static_cast<uint32_t>(got);
    for (int i = 0; i < 4; ++i) buf[i] = static_cast<char>((len >> (8 * i)) & 0xFF);
    return LoadFromBuf(buf.get()) < 0 ? -2 : 0;
}
