// The platform layer: global-memory handles, shared files and text lines.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/tool_run.h"
#include "platform/file.h"
#include "platform/memory.h"

TEST(GlobalMemory, AHandleSurvivesReallocationCountsItsLocksAndTheLibrarysHandlesAreCounted) {
    HGLOBAL h = GlobalAlloc(GHND, 16);
    ASSERT_EQ(GlobalSize(h), 16u);
    auto* p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(std::string(p, p + 16), std::string(16, '\0'));  // zero-initialised
    p[15] = 0xAB;
    EXPECT_FALSE(GlobalUnlock(h));
    ASSERT_EQ(GlobalReAlloc(h, 4096, GMEM_MOVEABLE | GMEM_ZEROINIT), h);
    EXPECT_EQ(GlobalSize(h), 4096u);
    p = static_cast<unsigned char*>(GlobalLock(h));
    EXPECT_EQ(p[15] + p[4095], 0xAB);
    EXPECT_NE(GlobalLock(h), nullptr);  // a second lock
    EXPECT_TRUE(GlobalUnlock(h));       // still locked once
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GlobalFree(h), nullptr);
    EXPECT_TRUE(!GlobalLock(nullptr) && GlobalSize(nullptr) == 0);

    const long before = hv::LiveHandles();
    HGLOBAL a = hv::AllocHandle(10), b = hv::AllocHandle(0);
    EXPECT_EQ(hv::LiveHandles(), before + 2);
    {
        hv::HandleLock lock(b);
#if defined(_WIN32)
        EXPECT_EQ(lock.ptr(), nullptr);  // Windows discards a zero-byte movable block
#else
        EXPECT_NE(lock.ptr(), nullptr);  // the stand-in keeps storage, so an empty block locks
#endif
        EXPECT_EQ(lock.size(), 0u);
    }
    for (HGLOBAL x : {a, b, HGLOBAL(nullptr)}) hv::FreeHandle(x);
    EXPECT_EQ(hv::LiveHandles(), before);
}

TEST(Files, SharingRulesAndReplaceWithoutLosingAHeldFile) {
    const std::string path = tool::Temp("share.bin");
    std::ofstream(path, std::ios::binary) << "keep me";
    {
        hv::File reader, second, writer;
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_TRUE(second.Open(path.c_str(), hv::FileMode::ReadShared));     // readers share
        EXPECT_FALSE(writer.Open(path.c_str(), hv::FileMode::WriteReplace));  // denied while read
        char buf[16] = {};
        EXPECT_EQ(reader.Read(buf, sizeof buf), 7);  // and the file was not truncated
        EXPECT_STREQ(buf, "keep me");
    }
    {
        hv::File writer, reader;
        ASSERT_TRUE(writer.Open(path.c_str(), hv::FileMode::WriteReplace));
        EXPECT_FALSE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_TRUE(writer.WriteAll("new", 3));
    }
    hv::File f;
    ASSERT_TRUE(f.Open(path.c_str(), hv::FileMode::ReadExclusive));
    EXPECT_EQ(f.Size(), 3);
    char buf[8] = {};
    EXPECT_FALSE(f.ReadExact(buf, 4));
    EXPECT_TRUE(f.Seek(1) && f.ReadExact(buf, 2));
    EXPECT_EQ(std::string(buf, 2), "ew");
    f.Close();
#if defined(_WIN32)
    const std::string device = "NUL";
#else
    const std::string device = "/dev/null";
#endif
    // No file, a folder, a device: none is a file.
    for (const std::string& p : {tool::Temp("no_such_file"), ::testing::TempDir(), device})
        EXPECT_FALSE(f.Open(p.c_str(), hv::FileMode::ReadShared)) << p;
    EXPECT_FALSE(f.Open(device.c_str(), hv::FileMode::WriteReplace));
    std::remove(path.c_str());
}

TEST(Files, TextLinesDropTheirLineEndsWhateverTheSystem) {
    const std::string path = tool::Temp("lines.txt"), longLine(40000, 'x');
    std::ofstream(path, std::ios::binary) << "one\r\ntwo\n\r\n" << longLine << "\nlast\r";
    hv::File f;
    ASSERT_TRUE(f.Open(path.c_str(), hv::FileMode::ReadShared));
    hv::TextReader r(f);
    std::vector<std::string> lines;
    for (std::string line; r.ReadLine(line);) lines.push_back(line);
    // The long line spans several buffer fills; a lone CR at the end is kept, as text mode does.
    EXPECT_EQ(lines, (std::vector<std::string>{"one", "two", "", longLine, "last\r"}));
    std::remove(path.c_str());
    EXPECT_EQ(hv::FolderOf("a/b\\c.txt"), "a/b\\");
    EXPECT_EQ(hv::FolderOf("c:\\x/y.ccs"), "c:\\x/");
    EXPECT_EQ(hv::FolderOf("plain.ccs"), "");
}
