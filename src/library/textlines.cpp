#include "library/textlines.h"

#include <cstring>

namespace hv {

bool LimitedLines::Next(std::string& line) {
    if (!reader_.ReadLine(line)) return false;
    tooLong_ = line.size() > limit_;
    const size_t nul = line.find('\0');
    if (nul != std::string::npos) line.resize(nul);
    return true;
}

bool LimitedLines::NextWithin(std::string& line) {
    while (Next(line))
        if (!tooLong_) return true;
    return false;
}

std::vector<std::string> Tokens(const std::string& text, const char* delimiters) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (;;) {
        const size_t start = text.find_first_not_of(delimiters, pos);
        if (start == std::string::npos) break;
        const size_t end = text.find_first_of(delimiters, start);
        out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        pos = end;
    }
    return out;
}

std::string Trimmed(const std::string& text) {
    static const char kSpace[] = " \t\r\n\v\f";
    const size_t start = text.find_first_not_of(kSpace);
    if (start == std::string::npos) return std::string();
    return text.substr(start, text.find_last_not_of(kSpace) - start + 1);
}

}  // namespace hv
