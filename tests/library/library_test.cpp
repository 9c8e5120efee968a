// The theme library container, its tags, new examples and thumbnail copies.
#include "huevane/library.h"

#include "library/library_fixtures.h"

using lfix::Text;

namespace {

// A theme that owns a palette image, so that deleting it shows in the count
// of live handles.
ccColorPocketArray* Tracked(const char* name) {
    auto* t = new ccColorPocketArray(1);
    t->name = name;
    t->SetPalDib(MakeEmptyDib(2, 2, 8, true), true);
    return t;
}

// AddExample with its text arguments copied into writable buffers.
int AddExample(ccColorPocketArrayArray& lib, ccColorPocketArray* theme, bool save, const std::string& folder,
               const std::string& name, const std::string& file, const std::string& tags) {
    std::vector<char> d = Text(folder), n = Text(name), f = Text(file), t = Text(tags);
    return lib.AddExample(theme, save, d.data(), n.data(), f.data(), t.data());
}

}  // namespace

TEST(Library, OwnersDeleteTheirThemesCopiesAndClearAllNever) {
    lfix::NoLeak noLeak;
    const long handles = hv::LiveHandles();
    auto* source = new ccColorPocketArrayArray;  // owns by default
    ccColorPocketArray* kept = Tracked("a");
    { ccColorPocketArrayArray(false).themes.Add(kept); }
    EXPECT_EQ(hv::LiveHandles(), handles + 1);
    source->themes.Add(kept);
    source->themes.Add(Tracked("b"));
    source->scriptPath = "s.txt";
    source->tags["t"] = "t";
    for (int selected : {0, 1, 2, -1}) {
        source->selected = selected;
        EXPECT_EQ(source->GetSelPocketArray(),
                  selected == 0 || selected == 1 ? source->themes[selected] : nullptr);
    }
    source->selected = 1;
    ccColorPocketArrayArray copy(*source);
    EXPECT_FALSE(copy.ownsThemes);
    EXPECT_EQ(copy.GetSelPocketArray(), source->themes[1]);
    EXPECT_TRUE(copy.scriptPath == "s.txt" && copy.tags.count("t") == 1);
    { ccColorPocketArrayArray inner(copy); }  // a copy of a copy
    delete source;                            // the copy outlives its source but deletes nothing
    EXPECT_EQ(hv::LiveHandles(), handles);
    // ClearAll deletes even without ownership, and keeps path, tags and selection.
    ccColorPocketArrayArray view(false);
    view.themes.Add(Tracked("c"));
    view.scriptPath = "x";
    view.TagCollect(Text("#sea").data());
    view.selected = 5;
    view.ClearAll();
    EXPECT_EQ(hv::LiveHandles(), handles);
    EXPECT_EQ(view.themes.GetSize(), 0);
    EXPECT_TRUE(view.scriptPath == "x" && view.tags.count("sea") == 1 && view.selected == 5);
}

TEST(Library, AssignmentReleasesWhatTheTargetOwnedAndNoThemeTwice) {
    lfix::NoLeak noLeak;
    const long handles = hv::LiveHandles();
    {
        // An owning target assigned from another owning library: its own
        // themes go, the source's stay the source's.
        ccColorPocketArrayArray a, b;
        a.themes.Add(Tracked("a1"));
        b.themes.Add(Tracked("b1"));
        b.selected = 3;
        a = b;
        a = a;  // self-assignment changes nothing
        EXPECT_EQ(hv::LiveHandles(), handles + 1);
        EXPECT_TRUE(!a.ownsThemes && b.ownsThemes);
        EXPECT_EQ(lfix::NamesOf(a), lfix::Names{"b1"});
        EXPECT_EQ(a.selected, 3);
    }
    // Assigning back a trimmed copy: the dropped theme is deleted, the
    // target keeps owning the rest; two views of them stay views.
    ccColorPocketArrayArray a;
    a.themes.Add(Tracked("a1"));
    a.themes.Add(Tracked("a2"));
    ccColorPocketArrayArray view(a), v1(a), v2(a);
    view.themes.RemoveAt(0);
    a = view;
    v1 = v2;
    EXPECT_TRUE(a.ownsThemes && !v1.ownsThemes);
    EXPECT_EQ(lfix::NamesOf(a), lfix::Names{"a2"});
    EXPECT_EQ(hv::LiveHandles(), handles + 1);
}

TEST(Tags, CollectCountsNewTagsOnceUpToAHundred) {
    ccColorPocketArrayArray lib;
    const struct {
        const char* text;
        int added;
        const char* after;  // what the caller's text reads afterwards
    } cases[] = {
        {"#sea#calm", 2, "#sea"}, {"#calm#warm", 1, "#calm"}, {"sea##sea", 0, "sea"}, {"", 0, ""},
        {"###", 0, "###"},        {"Sea#", 1, "Sea"},         {"b#a#b#", 2, "b"},
    };
    for (const auto& c : cases) {
        std::vector<char> text = Text(c.text);
        EXPECT_EQ(lib.TagCollect(text.data()), c.added) << c.text;
        EXPECT_STREQ(text.data(), c.after) << c.text;
    }
    std::vector<std::string> keys;
    for (const auto& kv : lib.tags) keys.push_back(kv.first + "=" + kv.second);
    EXPECT_EQ(keys, (lfix::Names{"Sea=Sea", "a=a", "b=b", "calm=calm", "sea=sea", "warm=warm"}));
    EXPECT_EQ(lib.TagCollect(nullptr), 0);
    std::string many;
    for (int i = 0; i < 105; ++i) many += "#t" + std::to_string(i);
    ccColorPocketArrayArray big;
    EXPECT_EQ(big.TagCollect(Text(many).data()), 100);
    EXPECT_EQ(big.tags.rbegin()->first, "t99");  // t0 .. t99, "t99" sorting last
}

TEST(Examples, CopiesCarryThumbnailsOfThemeColours) {
    lfix::NoLeak noLeak;
    lfix::Folder dir;
    ccColorPocketArray theme(1);
    theme.SetPalDib(lfix::Image8(360, 240), true);
    ASSERT_EQ(theme.GetColorPockets(), 0);
    theme.name = "Source";
    // A highlighted colour table: thumbnails show the theme's colours.
    ipDibStuff(theme.palDib, false).colors[1] = tagRGBQUAD{9, 9, 9, 0};
    EXPECT_EQ(ccColorPocketArray().MakeNewTheme(), nullptr);
    lfix::Theme made(theme.MakeNewTheme());
    ccColorPocketArrayArray lib;
    EXPECT_EQ(AddExample(lib, &theme, false, dir.path, "Sea", "sea.bmp", "#sea"), 0);
    ASSERT_EQ(lib.themes.GetSize(), 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "sea.bmp"));
    EXPECT_TRUE(lib.themes[0]->tagText.empty() && lib.tags.empty());
    const struct {
        ccColorPocketArray* copy;
        int width, height;
    } cases[] = {{made.get(), 180, 120}, {lib.themes[0], 256, 170}};
    for (const auto& c : cases) {
        ASSERT_NE(c.copy, nullptr);
        EXPECT_NE(c.copy, &theme);
        EXPECT_EQ(c.copy->name, "Source");  // what the theme buffer carries
        EXPECT_EQ(c.copy->GetThemeType(), 1);
        EXPECT_EQ(c.copy->pockets.GetSize(), theme.pockets.GetSize());
        EXPECT_TRUE(c.copy->ownsPalDib);
        ipDibStuff thumb(c.copy->palDib, false);
        EXPECT_EQ(thumb.width(), c.width);
        EXPECT_EQ(thumb.height(), c.height);
        EXPECT_EQ(RgbWord(thumb.colors[1]), RgbWord(theme.palette[1].rgb));
    }
    // A strip 4 pixels high gives a thumbnail of one row.
    ccColorPocketArray strip;
    strip.SetPalDib(lfix::Image8(1024, 4), true);
    AddExample(lib, &strip, false, dir.path, "Sea", "sea.bmp", "#sea");
    EXPECT_EQ(ipDibStuff(lib.themes[1]->palDib, false).height(), 1);
    // A 16-entry colour table is zoomed too; an image that cannot be zoomed
    // (24 bits) still gives a copy, without a thumbnail.
    ccColorPocketArray small, deep;
    small.SetPalDib(MakeEmptyDib(360, 240, 8, true), true);
    static_cast<BITMAPINFOHEADER*>(hv::HandleLock(small.palDib).ptr())->biClrUsed = 16;
    deep.SetPalDib(MakeEmptyDib(8, 8, 24, true), true);
    lfix::Theme fromSmall(small.MakeNewTheme()), fromDeep(deep.MakeNewTheme());
    ASSERT_TRUE(fromSmall && fromDeep);
    EXPECT_EQ(ipDibStuff(fromSmall->palDib, false).width(), 180);
    EXPECT_EQ(fromDeep->palDib, nullptr);
    AddExample(lib, &small, false, dir.path, "S", "s.bmp", "");
    EXPECT_EQ(ipDibStuff(lib.themes[2]->palDib, false).height(), 170);
}

TEST(Examples, SavedLinesReloadAndLinesThatWouldNotAreNotWritten) {
    lfix::Folder dir;
    const std::string script = dir + "lib.txt", long40(40, 'n');
    lfix::Write(script, "[Version]\n1\n[Examples]\nA a.bmp\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile(script.c_str());
    ccColorPocketArray theme;
    theme.SetPalDib(lfix::Image8(64, 32, 3), true);
    ASSERT_EQ(theme.GetColorPockets(), 0);
    ccColorPocketArray bare;  // no palette image: no thumbnail, the line still goes
    const struct {
        std::string name, file, tags;
        bool written;
    } cases[] = {
        {"Sea", "sea.bmp", "#sea#calm", true},
        {"Deep Sea", "d.bmp", "#x", false},  // a space would split the name
        {"Deep", "d,1.bmp", "", false},
        {"Deep", "d.bmp", "#a:b", false},
        {"", "d.bmp", "#x", false},
        {"Deep", "", "#x", false},
        {long40, long40, std::string(16, 't'), true},   // 40+1+40+1+16+1 = 99
        {long40, long40, std::string(17, 't'), false},  // 100
    };
    std::string want = tool::Slurp(script);
    for (const auto& c : cases) {
        EXPECT_EQ(AddExample(lib, c.name == "Sea" ? &theme : &bare, true, dir.path, c.name, c.file, c.tags),
                  0);
        if (c.written) want += c.name + "\t" + c.file + "\t" + c.tags + hv::kLineEnd;
        EXPECT_EQ(tool::Slurp(script), want) << c.name << "|" << c.file << "|" << c.tags;
    }
    EXPECT_EQ(AddExample(lib, nullptr, true, dir.path, "N", "n.bmp", ""), -1);
    EXPECT_EQ(lib.themes.GetSize(), 1 + 8);

    // Reloaded: the saved example extracted afresh from its thumbnail.
    ccColorPocketArrayArray again;
    again.LoadFromScriptFile(script.c_str());
    ASSERT_EQ(lfix::NamesOf(again), (lfix::Names{"A", "Sea", long40}));
    ccColorPocketArray* t = again.themes[1];
    EXPECT_EQ(t->tagText, "#sea#calm");
    ASSERT_EQ(t->pockets.GetSize(), theme.pockets.GetSize());
    for (int i = 0; i < t->pockets.GetSize(); ++i)
        EXPECT_EQ(RgbWord(t->pockets[i]->aveRGB), RgbWord(theme.pockets[i]->aveRGB)) << i;

    // A missing script is not created, a held one gets no line.
    lib.scriptPath = dir + "missing.txt";
    EXPECT_EQ(AddExample(lib, &bare, true, dir.path, "N", "n.bmp", ""), 0);
    EXPECT_FALSE(std::filesystem::exists(lib.scriptPath));
    lib.scriptPath = script;
    {
        hv::File holder;
        ASSERT_TRUE(holder.Open(script.c_str(), hv::FileMode::ReadExclusive));
        EXPECT_EQ(AddExample(lib, &bare, true, dir.path, "N", "n.bmp", ""), 0);
    }
    EXPECT_EQ(tool::Slurp(script), want);
}
