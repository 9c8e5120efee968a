// Replays every fuzz target over its seed corpus and over the corrupt
// inputs of its reader under tests/data/, with the targets' own checks:
// each input a fuzzing campaign once found stays a test.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> out;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string path = dir + "/" + e->d_name;
            struct stat st;
            if (e->d_name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) out.push_back(path);
        }
        closedir(d);
    }
    std::sort(out.begin(), out.end());
    return out;
}

const hvfuzz::Target* Find(const std::string& name) {
    for (const hvfuzz::Target& t : hvfuzz::Targets())
        if (name == t.name) return &t;
    return nullptr;
}

// Runs the target over its seeds (there must be some) and its corrupt-input
// folders.
void Replay(const std::string& name) {
    const hvfuzz::Target* t = Find(name);
    ASSERT_NE(t, nullptr) << name;
    const std::vector<std::string> seeds = FilesIn(std::string(HUEVANE_FUZZ_DIR) + "/corpus/" + name);
    EXPECT_FALSE(seeds.empty());
    std::vector<std::string> inputs = seeds;
    std::stringstream dirs(t->dataDirs);
    for (std::string dir; std::getline(dirs, dir, ';');) {
        if (dir.empty()) continue;
        const std::vector<std::string> files = FilesIn(std::string(HUEVANE_TEST_DATA) + "/" + dir);
        EXPECT_FALSE(files.empty()) << dir;
        inputs.insert(inputs.end(), files.begin(), files.end());
    }
    for (const std::string& path : inputs) {
        SCOPED_TRACE(path);
        std::ifstream in(path, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        t->fn(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
}

const char* const kReplayed[] = {"loaddib",   "stylebuf",   "themefile", "cardfile", "groupfile",
                                 "regions",   "scriptfile", "listfile", "strokes",
#ifdef HUEVANE_FUZZ_CLI
                                 "imagefile", "regionsfile", "editscript",
#endif
};

}  // namespace

TEST(FuzzReplay, EveryTargetIsReplayed) {
    std::set<std::string> registered, replayed(std::begin(kReplayed), std::end(kReplayed));
    for (const hvfuzz::Target& t : hvfuzz::Targets()) registered.insert(t.name);
    EXPECT_EQ(registered, replayed);
}

TEST(FuzzReplay, BitmapFiles) { Replay("loaddib"); }
TEST(FuzzReplay, StyleBuffers) { Replay("stylebuf"); }
TEST(FuzzReplay, ThemeFiles) { Replay("themefile"); }
TEST(FuzzReplay, CardFiles) { Replay("cardfile"); }
TEST(FuzzReplay, GroupFiles) { Replay("groupfile"); }
TEST(FuzzReplay, RegionsAndLinkTables) { Replay("regions"); }
TEST(FuzzReplay, ScriptFiles) { Replay("scriptfile"); }
TEST(FuzzReplay, ListFiles) { Replay("listfile"); }
TEST(FuzzReplay, StrokeEdits) { Replay("strokes"); }
#ifdef HUEVANE_FUZZ_CLI
TEST(FuzzReplay, ToolImageFiles) { Replay("imagefile"); }
TEST(FuzzReplay, ToolRegionsFiles) { Replay("regionsfile"); }
TEST(FuzzReplay, ToolEditScripts) { Replay("editscript"); }
#endif
