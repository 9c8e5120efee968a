// Runs the huevane tool as a user does; temporary files, file contents and
// the tables of tests/data/cli.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#ifdef HUEVANE_CLI_BINARY
#include <sys/wait.h>  // the command-line tests run on POSIX hosts only
#endif

namespace tool {

// A file name in the temporary folder, unique to the running test and
// process (several checkouts may run the suite at once).
inline std::string Temp(const std::string& name) {
    static const std::string run = std::to_string(std::random_device{}());
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "hv_" + run + "_" + info->test_suite_name() + "_" + info->name() + "_" +
           name;
}

inline std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

inline void Write(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A folder, made with its parents, and its removal with what it holds.
inline std::string Folder(const std::string& dir) {
    std::filesystem::create_directories(dir);
    return dir;
}
inline void RemoveTree(const std::string& dir) { std::system(("rm -rf '" + dir + "'").c_str()); }

// The rows of a table in tests/data/cli: its lines but blank ones and
// '#' comments, each split at " | ".
inline std::vector<std::vector<std::string>> Rows(const std::string& name) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(Slurp(std::string(HUEVANE_TEST_DATA) + "/cli/" + name));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        rows.emplace_back();
        for (size_t at = 0, bar = 0; bar != std::string::npos; at = bar + 3)
            rows.back().push_back(line.substr(at, (bar = line.find(" | ", at)) - at));
    }
    EXPECT_FALSE(rows.empty()) << name;
    return rows;
}

struct Run {
    int code;
    std::string out, err;
};

#ifdef HUEVANE_CLI_BINARY
// Each argument is quoted for the shell.
inline Run Huevane(const std::vector<std::string>& args) {
    std::string cmd = "\"" HUEVANE_CLI_BINARY "\"";
    for (const std::string& a : args) cmd += " '" + a + "'";
    const std::string out = Temp("stdout.txt"), err = Temp("stderr.txt");
    const int status = std::system((cmd + " >'" + out + "' 2>'" + err + "'").c_str());
    Run r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}
#endif

}  // namespace tool
