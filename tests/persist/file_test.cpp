// The theme file: the buffer without its length field, on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "huevane/theme.h"
#include "persist/theme_bytes.h"
#include "platform/file.h"

using testbytes::PocketsInsidePalette;

namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string Temp(const char* name) { return ::testing::TempDir() + name; }

void FillTheme(ccColorPocketArray& t) {
    t.name = "Quarry at dusk";
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i)
        t.SetPalEntryBYTE(i, (unsigned char)(i / 2), (unsigned char)i, (unsigned char)(255 - i), i, 32640);
    for (int j = 0; j < 3; ++j) {
        auto* p = new ccColorPocket;
        for (int k = j; k < 256; k += 3) p->AddColorItemAny(&t.palette[k]);
        p->flags = j == 2;
        p->name = "part" + std::to_string(j);
        t.pockets.Add(p);
    }
}

// A theme holding one pocket, to see what a failed load leaves.
void Prime(ccColorPocketArray& t) {
    t.name = "before";
    t.InitPalette(2);
    auto* p = new ccColorPocket;
    p->items.Add(&t.palette[1]);
    t.pockets.Add(p);
}

}  // namespace

TEST(ThemeFile, IsTheBufferWithoutItsLengthAndLoadsBack) {
    ccColorPocketArray src;
    FillTheme(src);
    const std::string path = Temp("theme_roundtrip.ccs");
    ASSERT_EQ(src.SaveToFile(path.c_str()), 0);

    char* buf = nullptr;
    const int len = src.SaveToBuf(buf);
    ASSERT_GT(len, 0);
    const std::vector<unsigned char> file = ReadAll(path);
    EXPECT_EQ(file, std::vector<unsigned char>(buf + 4, buf + 4 + len));
    src.FreeDataBuf(buf);

    ccColorPocketArray dst;
    dst.sortMode = 1;
    Prime(dst);
    ASSERT_EQ(dst.LoadFromFile(path.c_str()), 0);
    EXPECT_EQ(dst.sortMode, 1);
    EXPECT_TRUE(PocketsInsidePalette(dst));
    char* again = nullptr;
    ASSERT_EQ(dst.SaveToBuf(again), len);
    EXPECT_EQ(std::vector<unsigned char>(again + 4, again + 4 + len), file);
    dst.FreeDataBuf(again);

    // Saving again replaces the longer file completely.
    ccColorPocketArray small;
    ASSERT_EQ(small.SaveToFile(path.c_str()), 0);
    EXPECT_EQ(ReadAll(path).size(), 46u);
    std::remove(path.c_str());
}

TEST(ThemeFile, OpenFailuresLeaveTheThemeAndFileAlone) {
    ccColorPocketArray t;
    Prime(t);
    EXPECT_EQ(t.LoadFromFile(Temp("no_such_theme_file.ccs").c_str()), -1);
    EXPECT_EQ(t.LoadFromFile(nullptr), -1);
    EXPECT_EQ(t.LoadFromFile(::testing::TempDir().c_str()), -1);  // a folder
    EXPECT_EQ(t.pockets.GetSize(), 1);
    EXPECT_EQ(t.name, "before");
    EXPECT_EQ(t.SaveToFile(Temp("no_such_dir/x.ccs").c_str()), -1);
    EXPECT_EQ(t.SaveToFile(nullptr), -1);

    // Sharing denied: a file held open elsewhere is neither replaced nor read.
    const std::string path = Temp("theme_locked.ccs");
    ccColorPocketArray src;
    FillTheme(src);
    ASSERT_EQ(src.SaveToFile(path.c_str()), 0);
    const std::vector<unsigned char> before = ReadAll(path);
    {
        hv::File holder;
        ASSERT_TRUE(holder.Open(path.c_str(), hv::FileMode::ReadExclusive));
        ccColorPocketArray empty;
        EXPECT_EQ(empty.SaveToFile(path.c_str()), -1);
        EXPECT_EQ(t.LoadFromFile(path.c_str()), -1);
        EXPECT_EQ(t.pockets.GetSize(), 1);
    }
    EXPECT_EQ(ReadAll(path), before);
    {
        // Two readers may share the file.
        hv::File reader;
        ASSERT_TRUE(reader.Open(path.c_str(), hv::FileMode::ReadShared));
        EXPECT_EQ(t.LoadFromFile(path.c_str()), 0);
        EXPECT_EQ(t.pockets.GetSize(), 3);
    }
    std::remove(path.c_str());
}

TEST(ThemeFile, CorruptFilesAreRefusedWithoutHarm) {
    // The stored corpus: one good file, the rest damaged.
    const std::string dir = std::string(HUEVANE_TEST_DATA) + "/persist/";
    DIR* d = opendir(dir.c_str());
    ASSERT_NE(d, nullptr);
    int seen = 0;
    while (dirent* e = readdir(d)) {
        const std::string nm = e->d_name;
        if (nm.size() < 5 || nm.compare(nm.size() - 4, 4, ".ccs") != 0) continue;
        ++seen;
        ccColorPocketArray t;
        Prime(t);
        const int r = t.LoadFromFile((dir + nm).c_str());
        EXPECT_TRUE(PocketsInsidePalette(t)) << nm;
        if (nm == "valid_v21.ccs") {
            ASSERT_EQ(r, 0);
            EXPECT_EQ(t.name, "dune");
            ASSERT_EQ(t.paletteSize, 3);
            EXPECT_EQ(t.palette[2].rgb.rgbRed, 255);
            ASSERT_EQ(t.pockets.GetSize(), 2);
            EXPECT_EQ(t.pockets[0]->name, "sand");
            EXPECT_EQ(t.pockets[1]->name, "sky");
            EXPECT_EQ(t.pockets[1]->flags, 1);
            EXPECT_EQ(t.pockets[1]->pixelNum, 4);
            ASSERT_EQ(t.pockets[1]->items.GetSize(), 2);
            EXPECT_EQ(t.pockets[1]->items[1], &t.palette[2]);
        } else {
            EXPECT_EQ(r, -2) << nm;
            EXPECT_EQ(t.pockets.GetSize(), 0) << nm;
            EXPECT_EQ(t.name, "before") << nm;
            EXPECT_EQ(t.paletteSize, 2) << nm;
        }
    }
    closedir(d);
    EXPECT_GE(seen, 12);

    // Every truncation of a real theme file.
    ccColorPocketArray src;
    FillTheme(src);
    const std::string path = Temp("theme_cut.ccs");
    ASSERT_EQ(src.SaveToFile(path.c_str()), 0);
    const std::vector<unsigned char> full = ReadAll(path);
    for (size_t cut = 0; cut < full.size(); cut += (cut < 60 ? 1 : 37)) {
        WriteAll(path, std::vector<unsigned char>(full.begin(), full.begin() + cut));
        ccColorPocketArray t;
        EXPECT_EQ(t.LoadFromFile(path.c_str()), -2) << cut;
        EXPECT_EQ(t.pockets.GetSize(), 0) << cut;
    }
    std::remove(path.c_str());
}
