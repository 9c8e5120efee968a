// The platform layer: global-memory handles, shared files, text lines and
// worker threads (how many a pass gets, how RunParts shares the rows).
#include <atomic>

#include "platform/core_fixtures.h"
#include "platform/file.h"
#include "platform/workers.h"

TEST(GlobalMemory, AHandleSurvivesReallocationCountsItsLocksAndTheLibrarysHandlesAreCounted) {
    HGLOBAL h = GlobalAlloc(GHND, 16);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(std::string(p, p + GlobalSize(h)), std::string(16, '\0'));  // zero-initialised
    p[15] = 0xAB;
    EXPECT_FALSE(GlobalUnlock(h));
    ASSERT_EQ(GlobalReAlloc(h, 4096, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_NE(GlobalLock(h), nullptr);  // a second lock: two unlocks to go
    EXPECT_EQ((Row{int64_t(GlobalSize(h)), p[15], p[4095], GlobalUnlock(h), GlobalUnlock(h)}),
              (Row{4096, 0xAB, 0, 1, 0}));
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_TRUE(!GlobalLock(nullptr) && GlobalSize(nullptr) == 0);
    const long before = hv::LiveHandles();
    HGLOBAL a = hv::AllocHandle(10), b = hv::AllocHandle(0);
    EXPECT_EQ(hv::LiveHandles(), before + 2);
    EXPECT_EQ(hv::HandleLock(b).size(), 0u);  // an empty block locks as empty
    for (HGLOBAL x : {a, b, HGLOBAL(nullptr)}) hv::FreeHandle(x);
    EXPECT_EQ(hv::LiveHandles(), before);
}

TEST(Files, SharingRulesReplaceWithoutLosingAHeldFileAndTextLines) {
    const std::string path = tool::Temp("share.bin"), longLine(40000, 'x');
    tool::Write(path, "keep me");
    char buf[16] = {};
    {
        hv::File reader, second, writer;
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_TRUE(second.Open(path.c_str(), hv::FileMode::ReadShared));     // readers share
        EXPECT_FALSE(writer.Open(path.c_str(), hv::FileMode::WriteReplace));  // denied while read
        EXPECT_EQ(reader.Read(buf, sizeof buf), 7);                           // and not truncated
    }
    {
        hv::File writer, reader;
        ASSERT_TRUE(writer.Open(path.c_str(), hv::FileMode::WriteReplace));
        EXPECT_FALSE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_TRUE(writer.WriteAll("new", 3));
    }
    hv::File f;
    ASSERT_TRUE(f.Open(path.c_str(), hv::FileMode::ReadExclusive));
    EXPECT_TRUE(f.Size() == 3 && !f.ReadExact(buf, 4) && f.Seek(1) && f.ReadExact(buf, 2));
    EXPECT_EQ(std::string(buf, 2), "ew");
    f.Close();
    // No file, a folder, the null device (named as the system does): none is a file.
    const std::string device = hv::kPathSeparator == '\\' ? "NUL" : "/dev/null";
    for (const std::string& p : {tool::Temp("no_such_file"), ::testing::TempDir(), device})
        EXPECT_FALSE(f.Open(p.c_str(), hv::FileMode::ReadShared)) << p;
    EXPECT_FALSE(f.Open(device.c_str(), hv::FileMode::WriteReplace));
    // Lines drop their ends; the long one spans several buffer fills; a lone CR at the end stays.
    tool::Write(path, "one\r\ntwo\n\r\n" + longLine + "\nlast\r");
    ASSERT_TRUE(f.Open(path.c_str(), hv::FileMode::ReadShared));
    hv::TextReader r(f);
    std::vector<std::string> lines;
    for (std::string line; r.ReadLine(line);) lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", longLine, "last\r"}));
    f.Close();
    std::remove(path.c_str());
}

namespace {
// Sets HUEVANE_THREADS, or removes it for null.
void SetThreads(const char* text) {
#ifdef _WIN32
    _putenv_s("HUEVANE_THREADS", text ? text : "");
#else
    text ? setenv("HUEVANE_THREADS", text, 1) : unsetenv("HUEVANE_THREADS");
#endif
}
}  // namespace

TEST(Workers, CountFromSizeOverrideAndEnvironmentAndPartsCoverTheRangeInOrderAndPassErrorsOn) {
    const int64_t big = hv::kThreadedPixels;
    SetThreads(nullptr);
    const int cores = hv::WorkersFor(big, 100000);
    for (const char* text : {"0", "-2", "two", "4x", ""}) {  // not a count: the cores decide
        SetThreads(text);
        EXPECT_EQ(hv::WorkersFor(big, 100000), cores) << text;
    }
    SetThreads("1");
    EXPECT_EQ(hv::WorkersFor(big * 100, 100000), 1);
    SetThreads("10");
    // Small images stay on one thread, never more threads than rows; the override wins until reset.
    EXPECT_EQ((Row{hv::WorkersFor(big - 1, 1000), hv::WorkersFor(big, 1000), hv::WorkersFor(big, 2),
                   hv::WorkersFor(big, 1)}),
              (Row{1, 10, 2, 1}));
    hv::SetWorkerCount(2);
    EXPECT_EQ(hv::WorkersFor(big, 1000), 2);
    hv::SetWorkerCount(0);
    EXPECT_EQ(hv::WorkersFor(big, 1000), 10);
    SetThreads(nullptr);
    for (int parts : {1, 2, 3, 7})
        for (int count : {0, 1, 2, 5, 100}) {
            std::vector<Row> seen(8);  // each part writes its own begin and end
            hv::RunParts(parts, count, [&](int part, int begin, int end) { seen.at(part) = {begin, end}; });
            // Contiguous parts in order, none empty, no more than the rows.
            int used = 0, next = 0;
            while (used < 8 && !seen[used].empty()) {
                EXPECT_TRUE(seen[used][0] == next && seen[used][1] > next - (count == 0))
                    << parts << " " << count;
                next = int(seen[used++][1]);
            }
            EXPECT_TRUE(next == count && used >= 1 && used <= std::max(1, std::min(parts, count)));
        }
    // The first failing part's exception reaches the caller after all ended.
    std::atomic<int> finished{0};
    try {
        hv::RunParts(3, 30, [&](int part, int, int) {
            ++finished;
            if (part >= 1) throw std::runtime_error(part == 1 ? "one" : "two");
        });
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "one");
    }
    EXPECT_EQ(finished.load(), 3);
}
