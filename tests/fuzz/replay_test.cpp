// Replays every fuzz target over its seed corpus and over the corrupt
// inputs of its reader under tests/data/, with the targets' own checks:
// each input a fuzzing campaign once found stays a test.
#include <filesystem>
#include <set>

#include "fuzz.h"
#include "platform/core_fixtures.h"

namespace hvfuzz {
void FailSoft(const char* file, int line, const char* what) {
    ADD_FAILURE_AT(file, line) << "invariant broken: " << what;
}
void Fail(const char* file, int line, const char* what) {
    FailSoft(file, line, what);
    std::abort();
}
}  // namespace hvfuzz

TEST(FuzzReplay, EveryTargetOverItsSeedsAndItsCorruptInputs) {
    namespace fs = std::filesystem;
    const fs::path corpus = HUEVANE_FUZZ_DIR "/corpus";
    // Every seed folder has its target; the tool's readers come only with the tool.
    std::set<std::string> folders, registered;
    for (const fs::directory_entry& e : fs::directory_iterator(corpus))
        folders.insert(e.path().filename().string());
#ifndef HUEVANE_FUZZ_CLI
    for (const char* tool : {"imagefile", "regionsfile", "editscript"}) folders.erase(tool);
#endif
    for (const hvfuzz::Target& t : hvfuzz::Targets()) {
        registered.insert(t.name);
        std::set<fs::path> inputs;
        // Adds the files of a folder, in name order; false when it has none.
        const auto add = [&inputs](const fs::path& dir) {
            const size_t before = inputs.size();
            for (const fs::directory_entry& e : fs::directory_iterator(dir))
                if (e.is_regular_file() && e.path().filename().string()[0] != '.') inputs.insert(e.path());
            return inputs.size() > before;
        };
        EXPECT_TRUE(add(corpus / t.name)) << t.name;
        std::stringstream dirs(t.dataDirs);
        for (std::string dir; std::getline(dirs, dir, ';');)
            EXPECT_TRUE(add(HUEVANE_TEST_DATA "/" + dir)) << dir;
        for (const fs::path& path : inputs) {
            SCOPED_TRACE(path.string());
            const std::string bytes = tool::Slurp(path.string());
            t.fn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        }
    }
    EXPECT_EQ(registered, folders);
}
