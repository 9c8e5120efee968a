// Replays every fuzz target over its seed corpus and over the corrupt
// inputs of its reader under tests/data/, with the targets' own checks:
// each input a fuzzing campaign once found stays a test.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "cli/tool_run.h"
#include "fuzz.h"

namespace hvfuzz {
void FailSoft(const char* file, int line, const char* what) {
    ADD_FAILURE_AT(file, line) << "invariant broken: " << what;
}
void Fail(const char* file, int line, const char* what) {
    FailSoft(file, line, what);
    std::abort();
}
}  // namespace hvfuzz

namespace {
namespace fs = std::filesystem;

// The regular files of a folder in name order; none when it is missing.
std::set<fs::path> FilesIn(const fs::path& dir) {
    std::set<fs::path> out;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec))
        if (e.is_regular_file() && e.path().filename().string()[0] != '.') out.insert(e.path());
    return out;
}
}  // namespace

TEST(FuzzReplay, EveryTargetOverItsSeedsAndItsCorruptInputs) {
    // Every seed folder has its target; the tool's readers come only with the tool.
    std::set<std::string> folders, registered;
    for (const fs::directory_entry& e : fs::directory_iterator(HUEVANE_FUZZ_DIR "/corpus"))
        folders.insert(e.path().filename().string());
#ifndef HUEVANE_FUZZ_CLI
    for (const char* tool : {"imagefile", "regionsfile", "editscript"}) folders.erase(tool);
#endif
    for (const hvfuzz::Target& t : hvfuzz::Targets()) {
        registered.insert(t.name);
        std::set<fs::path> inputs = FilesIn(fs::path(HUEVANE_FUZZ_DIR "/corpus") / t.name);
        EXPECT_FALSE(inputs.empty()) << t.name;
        std::stringstream dirs(t.dataDirs);
        for (std::string dir; std::getline(dirs, dir, ';');) {
            const std::set<fs::path> files = FilesIn(HUEVANE_TEST_DATA "/" + dir);
            EXPECT_FALSE(files.empty()) << dir;
            inputs.insert(files.begin(), files.end());
        }
        for (const fs::path& path : inputs) {
            SCOPED_TRACE(path.string());
            const std::string bytes = tool::Slurp(path.string());
            t.fn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        }
    }
    EXPECT_EQ(registered, folders);
}
