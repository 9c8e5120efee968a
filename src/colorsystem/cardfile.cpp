// The colour card file: one sample per line, "Name: RGB(red, green, blue)".
//
// A line is read as follows. The name is everything before the first colon
// (the whole line when there is none). After the colon the first capital R
// starts the colour; the text after it is cut into pieces at runs of
// " ,()\t\r\n", the first piece (the "GB" of "RGB") is skipped and the next
// three are red, green and blue: decimal integers with an optional sign,
// kept modulo 256, a piece that does not start with a number counting as 0.
//
// Lines off this grammar still make a sample, so that sample positions stay
// equal to line numbers (the group file relies on them): an empty line makes
// a sample with an empty name; a line without a colon, without an R after the
// colon or with fewer than three values gets 0 for every missing value.
// Nothing carries over from one line to the next. A line is cut at 259
// characters and at its first NUL byte (the rest of it is ignored).
#include <string>
#include <string_view>

#include "huevane/colorsystem.h"
#include "platform/file.h"

namespace {

constexpr size_t kMaxLineChars = 259;
constexpr std::string_view kDelimiters = " ,()\t\r\n";

// A decimal integer with an optional sign, modulo 256; reading stops at the
// first character that is not a digit, and no digit at all gives 0.
BYTE ParseByte(std::string_view piece) {
    size_t i = 0;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-')) negative = piece[i++] == '-';
    unsigned v = 0;
    for (; i < piece.size() && piece[i] >= '0' && piece[i] <= '9'; ++i)
        v = (v * 10 + static_cast<unsigned>(piece[i] - '0')) & 0xFF;
    if (negative) v = (256 - v) & 0xFF;
    return static_cast<BYTE>(v);
}

struct CardLine {
    std::string name;
    BYTE rgb[3] = {0, 0, 0};
};

CardLine ParseLine(std::string_view line) {
    CardLine out;
    line = line.substr(0, line.find('\0'));
    if (line.size() > kMaxLineChars) line = line.substr(0, kMaxLineChars);
    size_t colon = line.find(':');
    out.name.assign(line.substr(0, colon));
    if (colon == std::string_view::npos) return out;
    size_t r = line.find('R', colon + 1);
    if (r == std::string_view::npos) return out;
    std::string_view rest = line.substr(r + 1);
    int piece = 0;
    size_t pos = 0;
    while (piece < 4) {  // pieces after the blue value are ignored
        pos = rest.find_first_not_of(kDelimiters, pos);
        if (pos == std::string_view::npos) break;
        size_t end = rest.find_first_of(kDelimiters, pos);
        if (end == std::string_view::npos) end = rest.size();
        ++piece;
        if (piece >= 2 && piece <= 4) out.rgb[piece - 2] = ParseByte(rest.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

}  // namespace

int csColorSystem::LoadFromFile(const char* filePath) {
    if (!filePath) return 0;
    hv::File f;
    if (!f.Open(filePath, hv::FileMode::ReadExclusive)) return 0;
    path = filePath;
    hv::TextReader reader(f);
    std::string line;
    while (reader.ReadLine(line)) {
        CardLine c = ParseLine(line);
        AddSample(c.name.c_str(), c.rgb[0], c.rgb[1], c.rgb[2]);
    }
    f.Close();
    LoadGroup();
    return 0;
}
