// The platform layer: global-memory handles, shared files and text lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/memory.h"

TEST(GlobalMemory, AHandleSurvivesReallocationAndCountsItsLocks) {
    HGLOBAL h = GlobalAlloc(GHND, 16);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 16u);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(p[i], 0);  // zero-initialised
    p[15] = 0xAB;
    EXPECT_FALSE(GlobalUnlock(h));
    ASSERT_EQ(GlobalReAlloc(h, 4096, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    EXPECT_EQ(GlobalSize(h), 4096u);
    p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(p[15], 0xAB);
    EXPECT_EQ(p[4095], 0);
    EXPECT_NE(GlobalLock(h), nullptr);  // a second lock
    EXPECT_TRUE(GlobalUnlock(h));       // still locked once
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
}

TEST(GlobalMemory, TheLibrarysHandlesAreCounted) {
    const long before = hv::LiveHandles();
    HGLOBAL a = hv::AllocHandle(10);
    HGLOBAL b = hv::AllocHandle(0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(hv::LiveHandles(), before + 2);
    {
        hv::HandleLock lock(b);
#if defined(_WIN32)
        // Windows makes a zero-byte movable block discarded: a handle with no memory to lock.
        EXPECT_EQ(lock.ptr(), nullptr);
#else
        EXPECT_NE(lock.ptr(), nullptr);  // the stand-in keeps storage, so an empty block locks
#endif
        EXPECT_EQ(lock.size(), 0u);
    }
    hv::FreeHandle(a);
    hv::FreeHandle(b);
    hv::FreeHandle(nullptr);
    EXPECT_EQ(hv::LiveHandles(), before);
}

namespace {
std::string TempPath(const char* name) { return ::testing::TempDir() + name; }
void WriteRaw(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
}  // namespace

TEST(Files, SharingRulesAndReplaceWithoutLosingAHeldFile) {
    const std::string path = TempPath("hv_share.bin");
    WriteRaw(path, "keep me");
    {
        hv::File reader;
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        hv::File second;
        EXPECT_TRUE(second.Open(path.c_str(), hv::FileMode::ReadShared));  // readers share
        hv::File writer;
        EXPECT_FALSE(writer.Open(path.c_str(), hv::FileMode::WriteReplace));  // denied while read
        char buf[16] = {};
        EXPECT_EQ(reader.Read(buf, sizeof buf), 7);  // and the file was not truncated
        EXPECT_STREQ(buf, "keep me");
    }
    {
        hv::File writer;
        ASSERT_TRUE(writer.Open(path.c_str(), hv::FileMode::WriteReplace));
        hv::File reader;
        EXPECT_FALSE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_TRUE(writer.WriteAll("new", 3));
    }
    hv::File f;
    ASSERT_TRUE(f.Open(path.c_str(), hv::FileMode::ReadExclusive));
    EXPECT_EQ(f.Size(), 3);
    char buf[8] = {};
    EXPECT_FALSE(f.ReadExact(buf, 4));
    EXPECT_TRUE(f.Seek(1));
    EXPECT_TRUE(f.ReadExact(buf, 2));
    EXPECT_EQ(std::string(buf, 2), "ew");
    f.Close();
    EXPECT_FALSE(f.Open(TempPath("hv_no_such_file").c_str(), hv::FileMode::ReadShared));
    EXPECT_FALSE(f.Open(::testing::TempDir().c_str(), hv::FileMode::ReadShared));  // a folder
#if defined(_WIN32)
    const char* device = "NUL";
#else
    const char* device = "/dev/null";
#endif
    EXPECT_FALSE(f.Open(device, hv::FileMode::ReadShared));  // a device is not a file
    EXPECT_FALSE(f.Open(device, hv::FileMode::WriteReplace));
    std::remove(path.c_str());
}

TEST(Files, TextLinesDropTheirLineEndsWhateverTheSystem) {
    const std::string path = TempPath("hv_lines.txt");
    std::string longLine(40000, 'x');
    WriteRaw(path, "one\r\ntwo\n\r\n" + longLine + "\nlast\r");
    hv::File f;
    ASSERT_TRUE(f.Open(path.c_str(), hv::FileMode::ReadShared));
    hv::TextReader r(f);
    std::vector<std::string> lines;
    std::string line;
    while (r.ReadLine(line)) lines.push_back(line);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[3], longLine);  // spans several buffer fills
    EXPECT_EQ(lines[4], "last\r");  // a lone CR at the end is kept, as text mode does
    std::remove(path.c_str());

    EXPECT_EQ(hv::FolderOf("a/b\\c.txt"), "a/b\\");
    EXPECT_EQ(hv::FolderOf("c:\\x/y.ccs"), "c:\\x/");
    EXPECT_EQ(hv::FolderOf("plain.ccs"), "");
}
