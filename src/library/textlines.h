// Line reading and splitting for the theme library's text files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/file.h"

namespace hv {

// Reads the lines of an open file, each without its line end (a carriage
// return before the line feed is dropped). A line keeps its text up to a NUL
// byte; tooLong() reports that the line last read (counted before any NUL
// cut) had more than `limit` characters.
class LimitedLines {
public:
    LimitedLines(File& f, size_t limit) : reader_(f), limit_(limit) {}
    // False at the end of the file.
    bool Next(std::string& line);
    bool tooLong() const { return tooLong_; }
    // The next line that is within the limit; over-long lines are dropped.
    bool NextWithin(std::string& line);

private:
    TextReader reader_;
    size_t limit_;
    bool tooLong_ = false;
};

// The non-empty pieces of text between any of the delimiter characters.
std::vector<std::string> Tokens(const std::string& text, const char* delimiters);

// text without white space (space, tab, CR, LF, VT, FF) at both ends.
std::string Trimmed(const std::string& text);

}  // namespace hv
