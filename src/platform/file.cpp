#include "platform/file.h"

#include <cstring>

#if defined(_WIN32)
#include "huevane/platform.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace hv {

#if defined(_WIN32)

bool File::Open(const char* path, FileMode mode) {
    Close();
    if (!path) return false;
    DWORD access = GENERIC_READ, share = 0, disposition = OPEN_EXISTING;
    switch (mode) {
        case FileMode::ReadShared: share = FILE_SHARE_READ; break;
        case FileMode::ReadExclusive: break;
        case FileMode::WriteReplace: access = GENERIC_WRITE; disposition = CREATE_ALWAYS; break;
        case FileMode::Append: access = GENERIC_WRITE; disposition = OPEN_ALWAYS; break;
    }
    HANDLE h = CreateFileA(path, access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    if (GetFileType(h) != FILE_TYPE_DISK) {  // a device (NUL, CON, a port) is not a file
        CloseHandle(h);
        return false;
    }
    h_ = h;
    if (mode == FileMode::Append) SetFilePointer(h, 0, nullptr, FILE_END);
    return true;
}

bool File::IsOpen() const { return h_ != nullptr; }

void File::Close() {
    if (h_) CloseHandle(static_cast<HANDLE>(h_));
    h_ = nullptr;
}

int64_t File::Read(void* buf, size_t n) {
    if (!h_) return -1;
    size_t total = 0;
    while (total < n) {
        DWORD chunk = static_cast<DWORD>(n - total > 0x40000000 ? 0x40000000 : n - total), got = 0;
        if (!ReadFile(static_cast<HANDLE>(h_), static_cast<char*>(buf) + total, chunk, &got, nullptr))
            return total ? static_cast<int64_t>(total) : -1;
        if (got == 0) break;
        total += got;
    }
    return static_cast<int64_t>(total);
}

int64_t File::Write(const void* buf, size_t n) {
    if (!h_) return -1;
    size_t total = 0;
    while (total < n) {
        DWORD chunk = static_cast<DWORD>(n - total > 0x40000000 ? 0x40000000 : n - total), put = 0;
        if (!WriteFile(static_cast<HANDLE>(h_), static_cast<const char*>(buf) + total, chunk, &put, nullptr))
            return total ? static_cast<int64_t>(total) : -1;
        if (put == 0) break;
        total += put;
    }
    return static_cast<int64_t>(total);
}

bool File::Seek(int64_t offset) {
    if (!h_ || offset < 0) return false;
    LARGE_INTEGER li;
    li.QuadPart = offset;
    return SetFilePointerEx(static_cast<HANDLE>(h_), li, nullptr, FILE_BEGIN) != 0;
}

int64_t File::Size() {
    if (!h_) return -1;
    LARGE_INTEGER li;
    if (!GetFileSizeEx(static_cast<HANDLE>(h_), &li)) return -1;
    return li.QuadPart;
}

void ShowWaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
void ShowArrowCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }

#else

bool File::Open(const char* path, FileMode mode) {
    Close();
    if (!path) return false;
    int flags = O_RDONLY;
    int lock = LOCK_EX;
    switch (mode) {
        case FileMode::ReadShared: lock = LOCK_SH; break;
        case FileMode::ReadExclusive: break;
        case FileMode::WriteReplace: flags = O_WRONLY | O_CREAT; break;
        case FileMode::Append: flags = O_WRONLY | O_CREAT | O_APPEND; break;
    }
    int fd = ::open(path, flags | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, lock | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    if (mode == FileMode::WriteReplace && ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool File::IsOpen() const { return fd_ >= 0; }

void File::Close() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    fd_ = -1;
}

int64_t File::Read(void* buf, size_t n) {
    if (fd_ < 0) return -1;
    size_t total = 0;
    while (total < n) {
        ssize_t got = ::read(fd_, static_cast<char*>(buf) + total, n - total);
        if (got < 0) return total ? static_cast<int64_t>(total) : -1;
        if (got == 0) break;
        total += static_cast<size_t>(got);
    }
    return static_cast<int64_t>(total);
}

int64_t File::Write(const void* buf, size_t n) {
    if (fd_ < 0) return -1;
    size_t total = 0;
    while (total < n) {
        ssize_t put = ::write(fd_, static_cast<const char*>(buf) + total, n - total);
        if (put <= 0) return total ? static_cast<int64_t>(total) : -1;
        total += static_cast<size_t>(put);
    }
    return static_cast<int64_t>(total);
}

bool File::Seek(int64_t offset) {
    return fd_ >= 0 && offset >= 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) == offset;
}

int64_t File::Size() {
    struct stat st;
    if (fd_ < 0 || fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

void ShowWaitCursor() {}
void ShowArrowCursor() {}

#endif

bool TextReader::Fill() {
    if (eof_) return false;
    int64_t got = f_.Read(buf_, sizeof buf_);
    if (got <= 0) {
        eof_ = true;
        return false;
    }
    pos_ = 0;
    len_ = static_cast<size_t>(got);
    return true;
}

bool TextReader::ReadLine(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (pos_ == len_ && !Fill()) break;
        any = true;
        const char* start = buf_ + pos_;
        const void* nl = std::memchr(start, '\n', len_ - pos_);
        if (nl) {
            size_t n = static_cast<const char*>(nl) - start;
            line.append(start, n);
            pos_ += n + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.append(start, len_ - pos_);
        pos_ = len_;
    }
    return any;
}

std::string FolderOf(const std::string& path) {
    size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace hv
