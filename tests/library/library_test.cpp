// The theme library container, its tags, new examples and thumbnail copies.
#include "huevane/library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "library/library_fixtures.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace {

// A theme that owns a palette image, so that deleting it shows in the count
// of live handles.
ccColorPocketArray* Tracked(const char* name) {
    auto* t = new ccColorPocketArray(1);
    t->name = name;
    t->SetPalDib(MakeEmptyDib(2, 2, 8, true), true);
    return t;
}

}  // namespace

TEST(Library, SelectionOutsideTheListGivesNull) {
    ccColorPocketArrayArray lib;
    EXPECT_TRUE(lib.ownsThemes);
    EXPECT_EQ(lib.selected, 0);
    EXPECT_EQ(lib.GetSelPocketArray(), nullptr);
    for (int i = 0; i < 3; ++i) lib.themes.Add(new ccColorPocketArray(1));
    const struct {
        int selected;
        int want;  // position, or -1 for null
    } cases[] = {{0, 0}, {2, 2}, {3, -1}, {-1, -1}, {1000, -1}};
    for (const auto& c : cases) {
        lib.selected = c.selected;
        EXPECT_EQ(lib.GetSelPocketArray(), c.want < 0 ? nullptr : lib.themes[c.want]) << c.selected;
    }
}

TEST(Library, OwnershipDecidesWhetherTheDestructorDeletes) {
    const long handles = hv::LiveHandles();
    ccColorPocketArray* kept = Tracked("kept");
    { ccColorPocketArrayArray(false).themes.Add(kept); }
    EXPECT_EQ(hv::LiveHandles(), handles + 1);  // still alive
    {
        ccColorPocketArrayArray lib;  // owns by default
        lib.themes.Add(kept);
        lib.themes.Add(Tracked("second"));
        EXPECT_EQ(hv::LiveHandles(), handles + 2);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Library, ClearAllDeletesEvenWithoutOwnershipAndKeepsTagsAndPath) {
    const long handles = hv::LiveHandles();
    ccColorPocketArrayArray lib(false);
    lib.themes.Add(Tracked("a"));
    lib.scriptPath = "x/script.txt";
    char text[] = "#sea";
    lib.TagCollect(text);
    lib.selected = 5;
    lib.ClearAll();
    EXPECT_EQ(lib.themes.GetSize(), 0);
    EXPECT_EQ(hv::LiveHandles(), handles);
    EXPECT_EQ(lib.scriptPath, "x/script.txt");
    EXPECT_EQ(lib.tags.count("sea"), 1u);
    EXPECT_EQ(lib.selected, 5);
}

TEST(Library, ACopySharesTheThemesAndNeverDeletesThem) {
    const long handles = hv::LiveHandles();
    {
        auto* source = new ccColorPocketArrayArray;
        source->themes.Add(Tracked("a"));
        source->themes.Add(Tracked("b"));
        source->selected = 1;
        source->scriptPath = "s.txt";
        source->tags["t"] = "t";
        ccColorPocketArrayArray copy(*source);
        EXPECT_FALSE(copy.ownsThemes);
        ASSERT_EQ(copy.themes.GetSize(), 2);
        EXPECT_EQ(copy.themes[0], source->themes[0]);
        EXPECT_EQ(copy.themes[1], source->themes[1]);
        EXPECT_EQ(copy.GetSelPocketArray(), source->themes[1]);
        EXPECT_EQ(copy.scriptPath, "s.txt");
        EXPECT_EQ(copy.tags.count("t"), 1u);
        copy.themes[0]->name = "changed";
        EXPECT_EQ(source->themes[0]->name, "changed");
        {
            ccColorPocketArrayArray inner(copy);  // a copy of a copy
        }
        delete source;  // the copy outlives its source but deletes nothing
        EXPECT_EQ(hv::LiveHandles(), handles);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Library, AssignmentReleasesWhatTheTargetOwnedAndNoThemeTwice) {
    const long handles = hv::LiveHandles();
    {
        // An owning target assigned from another owning library: its own
        // themes go, the source's stay the source's.
        ccColorPocketArrayArray a, b;
        a.themes.Add(Tracked("a1"));
        b.themes.Add(Tracked("b1"));
        b.selected = 3;
        a = b;
        EXPECT_EQ(hv::LiveHandles(), handles + 1);
        EXPECT_FALSE(a.ownsThemes);
        EXPECT_TRUE(b.ownsThemes);
        EXPECT_EQ(a.themes[0], b.themes[0]);
        EXPECT_EQ(a.selected, 3);
        a = a;  // self-assignment changes nothing
        EXPECT_EQ(a.themes.GetSize(), 1);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
    {
        // Assigning back a trimmed copy: the dropped theme is deleted, the
        // target keeps owning the rest.
        ccColorPocketArrayArray a;
        a.themes.Add(Tracked("a1"));
        a.themes.Add(Tracked("a2"));
        ccColorPocketArrayArray view(a);
        view.themes.RemoveAt(0);
        a = view;
        EXPECT_TRUE(a.ownsThemes);
        ASSERT_EQ(a.themes.GetSize(), 1);
        EXPECT_EQ(a.themes[0]->name, "a2");
        EXPECT_EQ(hv::LiveHandles(), handles + 1);
        // Two views of the same themes: neither becomes an owner.
        ccColorPocketArrayArray v1(a), v2(a);
        v1 = v2;
        EXPECT_FALSE(v1.ownsThemes);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Tags, CollectCountsNewTagsOnceInByteOrder) {
    ccColorPocketArrayArray lib;
    const struct {
        const char* text;
        int added;
        const char* after;  // what the caller's text reads afterwards
    } cases[] = {
        {"#sea#calm", 2, "#sea"}, {"#calm#warm", 1, "#calm"}, {"sea##sea", 0, "sea"},
        {"", 0, ""},              {"###", 0, "###"},          {"Sea#", 1, "Sea"},
        {"b#a#b#", 2, "b"},
    };
    for (const auto& c : cases) {
        std::vector<char> text(c.text, c.text + std::strlen(c.text) + 1);
        EXPECT_EQ(lib.TagCollect(text.data()), c.added) << c.text;
        EXPECT_STREQ(text.data(), c.after) << c.text;
    }
    std::vector<std::string> keys;
    for (const auto& kv : lib.tags) {
        EXPECT_EQ(kv.first, kv.second);
        keys.push_back(kv.first);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Sea", "a", "b", "calm", "sea", "warm"}));
    EXPECT_EQ(lib.TagCollect(nullptr), 0);

    ccColorPocketArrayArray fresh;
    char twice[] = "sea##sea";
    EXPECT_EQ(fresh.TagCollect(twice), 1);
}

TEST(Tags, OnlyTheFirstHundredTagsAreRead) {
    std::string text;
    for (int i = 0; i < 105; ++i) text += "#t" + std::to_string(i);
    std::vector<char> buf(text.begin(), text.end());
    buf.push_back('\0');
    ccColorPocketArrayArray lib;
    EXPECT_EQ(lib.TagCollect(buf.data()), 100);
    EXPECT_EQ(lib.tags.count("t99"), 1u);
    EXPECT_EQ(lib.tags.count("t100"), 0u);
}

TEST(Examples, AddWithoutSaveCopiesWithAThumbnailAndTouchesNoFile) {
    const long handles = hv::LiveHandles();
    lfix::Folder dir;
    {
        ccColorPocketArray theme;
        theme.SetPalDib(lfix::Image8(512, 384), true);
        ASSERT_EQ(theme.GetColorPockets(), 0);
        theme.name = "Source";
        // A highlighted colour table: the thumbnail shows the theme's colours.
        ipDibStuff(theme.palDib, false).colors[0] = tagRGBQUAD{1, 2, 3, 0};
        ccColorPocketArrayArray lib;
        char folder[256], name[] = "Sea", file[] = "sea.bmp", tags[] = "#sea";
        std::snprintf(folder, sizeof folder, "%s", dir.path.c_str());
        EXPECT_EQ(lib.AddExample(&theme, false, folder, name, file, tags), 0);
        ASSERT_EQ(lib.themes.GetSize(), 1);
        ccColorPocketArray* copy = lib.themes[0];
        EXPECT_NE(copy, &theme);
        EXPECT_EQ(copy->name, "Source");  // what the theme buffer carries
        EXPECT_EQ(copy->pockets.GetSize(), theme.pockets.GetSize());
        EXPECT_TRUE(copy->tagText.empty());
        EXPECT_TRUE(lib.tags.empty());
        EXPECT_TRUE(copy->ownsPalDib);
        ipDibStuff thumb(copy->palDib, false);
        EXPECT_EQ(thumb.width(), 256);
        EXPECT_EQ(thumb.height(), 192);
        EXPECT_EQ(RgbWord(ipDibStuff(theme.palDib, false).colors[0]), RgbWord(theme.palette[0].rgb));
        EXPECT_FALSE(std::filesystem::exists(dir + "sea.bmp"));

        // A strip 4 pixels high gives a thumbnail of one row.
        ccColorPocketArray strip;
        strip.SetPalDib(lfix::Image8(1024, 4), true);
        lib.AddExample(&strip, false, folder, name, file, tags);
        EXPECT_EQ(ipDibStuff(lib.themes[1]->palDib, false).height(), 1);
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}

TEST(Examples, SavedExampleReloadsAsTheSameTheme) {
    lfix::Folder dir;
    const std::string script = dir + "lib.txt";
    lfix::Write(script, "[Version]\n1\n[Examples]\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile(script.c_str());
    ASSERT_EQ(lib.scriptPath, script);
    ccColorPocketArray theme;
    theme.SetPalDib(lfix::Image8(64, 32, 3), true);
    ASSERT_EQ(theme.GetColorPockets(), 0);
    std::vector<char> folder(dir.path.begin(), dir.path.end());
    folder.push_back('\0');
    char name[] = "Sea", file[] = "sea.bmp", tags[] = "#sea#calm";
    EXPECT_EQ(lib.AddExample(&theme, true, folder.data(), name, file, tags), 0);
    EXPECT_EQ(tool::Slurp(script), std::string("[Version]\n1\n[Examples]\nSea\tsea.bmp\t#sea#calm") + hv::kLineEnd);
    ASSERT_TRUE(std::filesystem::exists(dir + "sea.bmp"));

    ccColorPocketArrayArray again;
    again.LoadFromScriptFile(script.c_str());
    ASSERT_EQ(again.themes.GetSize(), 1);
    ccColorPocketArray* t = again.themes[0];
    EXPECT_EQ(t->name, "Sea");
    EXPECT_EQ(t->tagText, "#sea#calm");
    EXPECT_EQ(again.tags.size(), 2u);
    // Extracted afresh from the saved thumbnail: the same pocket colours.
    ASSERT_EQ(t->pockets.GetSize(), theme.pockets.GetSize());
    for (int i = 0; i < t->pockets.GetSize(); ++i)
        EXPECT_EQ(RgbWord(t->pockets[i]->aveRGB), RgbWord(theme.pockets[i]->aveRGB)) << i;
}

TEST(Examples, LinesThatWouldNotReloadAreNotWritten) {
    lfix::Folder dir;
    const std::string script = dir + "lib.txt";
    const std::string start = "[Examples]\nA a.bmp";  // no final line feed
    const std::string long40(40, 'n');
    const struct {
        std::string name, file, tags;
        bool written;
    } cases[] = {
        {"Deep Sea", "d.bmp", "#x", false},  // a space would split the name
        {"Deep", "d,1.bmp", "", false},
        {"Deep", "d.bmp", "#a:b", false},
        {"", "d.bmp", "#x", false},
        {"Deep", "", "#x", false},
        {long40, long40, std::string(16, 't'), true},   // 40+1+40+1+16+1 = 99
        {long40, long40, std::string(17, 't'), false},  // 100
        {"Plain", "p.bmp", "", true},
    };
    lfix::Write(script, start);
    std::string want = start;
    ccColorPocketArrayArray lib;
    lib.scriptPath = script;
    ccColorPocketArray theme;  // no palette image: no thumbnail, the line still goes
    char folder[] = "";
    for (const auto& c : cases) {
        std::vector<char> n(c.name.begin(), c.name.end()), f(c.file.begin(), c.file.end()),
            t(c.tags.begin(), c.tags.end());
        n.push_back('\0');
        f.push_back('\0');
        t.push_back('\0');
        EXPECT_EQ(lib.AddExample(&theme, true, folder, n.data(), f.data(), t.data()), 0);
        if (c.written) want += c.name + "\t" + c.file + "\t" + c.tags + hv::kLineEnd;
        EXPECT_EQ(tool::Slurp(script), want) << c.name << "|" << c.file << "|" << c.tags;
    }
    EXPECT_EQ(lib.themes.GetSize(), 8);
    EXPECT_EQ(lib.AddExample(nullptr, true, folder, folder, folder, folder), -1);
    EXPECT_EQ(lib.themes.GetSize(), 8);
}

TEST(Examples, AMissingOrHeldScriptGetsNoLine) {
    lfix::Folder dir;
    ccColorPocketArray theme;
    char folder[] = "", name[] = "N", file[] = "n.bmp", tags[] = "";
    ccColorPocketArrayArray lib;
    EXPECT_EQ(lib.AddExample(&theme, true, folder, name, file, tags), 0);  // no script path
    lib.scriptPath = dir + "missing.txt";
    EXPECT_EQ(lib.AddExample(&theme, true, folder, name, file, tags), 0);
    EXPECT_FALSE(std::filesystem::exists(lib.scriptPath));  // not created

    lib.scriptPath = dir + "held.txt";
    lfix::Write(lib.scriptPath, "[Examples]\n");
    {
        hv::File holder;
        ASSERT_TRUE(holder.Open(lib.scriptPath.c_str(), hv::FileMode::ReadExclusive));
        EXPECT_EQ(lib.AddExample(&theme, true, folder, name, file, tags), 0);
    }
    EXPECT_EQ(tool::Slurp(lib.scriptPath), "[Examples]\n");
    EXPECT_EQ(lib.themes.GetSize(), 3);
}

TEST(Examples, MakeNewThemeGivesAnOwnedCopyWithA180PixelThumbnail) {
    const long handles = hv::LiveHandles();
    {
        ccColorPocketArray none;
        EXPECT_EQ(none.MakeNewTheme(), nullptr);
        ccColorPocketArray theme(1);
        theme.SetPalDib(lfix::Image8(360, 240), true);
        ASSERT_EQ(theme.GetColorPockets(), 0);
        ipDibStuff(theme.palDib, false).colors[1] = tagRGBQUAD{9, 9, 9, 0};
        ccColorPocketArray* copy = theme.MakeNewTheme();
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->GetThemeType(), 1);
        EXPECT_EQ(copy->pockets.GetSize(), theme.pockets.GetSize());
        EXPECT_TRUE(copy->ownsPalDib);
        {
            ipDibStuff thumb(copy->palDib, false);
            EXPECT_EQ(thumb.width(), 180);
            EXPECT_EQ(thumb.height(), 120);
            EXPECT_EQ(RgbWord(thumb.colors[1]), RgbWord(theme.palette[1].rgb));
        }
        delete copy;
    }
    EXPECT_EQ(hv::LiveHandles(), handles);
}
