// Shared pieces of the core tests (colour words, cards, bitmaps, themes and
// the platform layer): their common headers, colour words, and tables of
// expected values kept as text under tests/data/.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/tool_run.h"
#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/memory.h"

using V = std::vector<int>;
using Row = std::vector<int64_t>;
using namespace std::string_literals;

// An RGB word (red in bits 16 to 23, blue in the low byte), and as a quad.
inline uint32_t Rgb(int r, int g, int b) { return uint32_t(r & 255) << 16 | (g & 255) << 8 | (b & 255); }
inline tagRGBQUAD Quad(int r, int g, int b) { return RgbQuad(Rgb(r, g, b)); }

// A table under tests/data/: one case a line, whitespace-separated integers
// (0x for hex), '#' starting a comment.
inline std::vector<Row> DataRows(const std::string& name) {
    std::istringstream in(tool::Slurp(std::string(HUEVANE_TEST_DATA) + "/" + name));
    std::vector<Row> rows;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        fields >> std::setbase(0);
        Row row{std::istream_iterator<int64_t>(fields), {}};
        if (!row.empty()) rows.push_back(row);
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}
