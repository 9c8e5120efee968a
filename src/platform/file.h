// Binary files opened with the Windows sharing rules, on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hv {

enum class FileMode {
    ReadShared,     // read; others may read but not write
    ReadExclusive,  // read; sharing denied
    WriteReplace,   // create or replace; sharing denied
    Append,         // create or append; sharing denied
};

// An open file; closed by the destructor. A file that another open holds
// against the requested sharing counts as a file that cannot be opened, and
// a file to be replaced is truncated only once the lock is held.
class File {
public:
    File() = default;
    ~File() { Close(); }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool Open(const char* path, FileMode mode);
    bool IsOpen() const;
    void Close();

    // Bytes read (short at the end of the file), or -1 on error.
    int64_t Read(void* buf, size_t n);
    // True only when all n bytes were read.
    bool ReadExact(void* buf, size_t n) { return Read(buf, n) == static_cast<int64_t>(n); }
    // Bytes written, or -1 on error.
    int64_t Write(const void* buf, size_t n);
    bool WriteAll(const void* buf, size_t n) { return Write(buf, n) == static_cast<int64_t>(n); }
    bool Seek(int64_t offsetFromStart);
    // Length of the file in bytes, or -1.
    int64_t Size();

private:
#if defined(_WIN32)
    void* h_ = nullptr;
#else
    int fd_ = -1;
#endif
};

// Reads whole lines without their line end; a carriage return before the
// line feed is dropped, as text mode does.
class TextReader {
public:
    explicit TextReader(File& f) : f_(f) {}
    // False at the end of the file when no character was left.
    bool ReadLine(std::string& line);

private:
    bool Fill();
    File& f_;
    char buf_[16384];
    size_t pos_ = 0;
    size_t len_ = 0;
    bool eof_ = false;
};

// The platform's text line end: "\r\n" on Windows, "\n" elsewhere.
#if defined(_WIN32)
inline constexpr const char* kLineEnd = "\r\n";
#else
inline constexpr const char* kLineEnd = "\n";
#endif

// The folder of a path: everything up to and including the last '/' or '\'.
std::string FolderOf(const std::string& path);

// Separator used when the library joins a sub-folder to a path.
#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The wait cursor while a file is read; nothing outside Windows.
void ShowWaitCursor();
void ShowArrowCursor();

}  // namespace hv
