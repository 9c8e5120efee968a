// Tables of expected values kept as text under tests/data/: one case a line,
// whitespace-separated integers (0x for hex), '#' starting a comment.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iomanip>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using Row = std::vector<int64_t>;

inline std::vector<Row> DataRows(const std::string& name) {
    std::ifstream in(std::string(HUEVANE_TEST_DATA) + "/" + name);
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
