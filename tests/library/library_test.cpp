// The theme library container, its tags, new examples and thumbnail copies,
// interpolated themes and the hue ring.
#include <sstream>

#include "library/library_fixtures.h"

using lfix::HueTheme;
using lfix::Names;
using lfix::Text;
using lfix::Theme;

namespace {

// Adds themes of these names, each owning a palette image so that deleting
// it shows in the count of live handles.
void Add(ccColorPocketArrayArray& lib, const Names& names) {
    for (const std::string& name : names) {
        ccColorPocketArray* t = lib.themes[lib.themes.Add(new ccColorPocketArray(1))];
        t->name = name;
        t->SetPalDib(MakeEmptyDib(2, 2, 8, true), true);
    }
}

// AddExample with its text arguments copied into writable buffers.
int AddExample(ccColorPocketArrayArray& lib, ccColorPocketArray* theme, bool save, const std::string& folder,
               const std::string& name, const std::string& file, const std::string& tags) {
    std::vector<char> d = Text(folder), n = Text(name), f = Text(file), t = Text(tags);
    return lib.AddExample(theme, save, d.data(), n.data(), f.data(), t.data());
}

}  // namespace

TEST(Library, OwnersDeleteTheirThemesCopiesAndViewsNeverAndClearAllAlways) {
    lfix::NoLeak noLeak;
    const long handles = hv::LiveHandles();
    auto* source = new ccColorPocketArrayArray;  // owns by default
    Add(*source, {"a", "b"});
    source->scriptPath = "s.txt";
    source->tags["t"] = "t";
    for (int selected : {-1, 0, 2, 1}) {
        source->selected = selected;
        EXPECT_EQ(source->GetSelPocketArray(),
                  selected == 0 || selected == 1 ? source->themes[selected] : nullptr);
    }
    ccColorPocketArrayArray copy(*source);
    EXPECT_TRUE(!copy.ownsThemes && copy.GetSelPocketArray() == source->themes[1] &&
                copy.scriptPath == "s.txt" && copy.tags.count("t") == 1);
    {
        ccColorPocketArrayArray inner(copy), view(false);  // a copy of a copy, a view
        view.themes.Add(copy.themes[0]);
    }
    EXPECT_EQ(hv::LiveHandles(), handles + 2);
    delete source;  // the copy outlives its source but deletes nothing
    EXPECT_EQ(hv::LiveHandles(), handles);
    // ClearAll deletes even without ownership, and keeps path, tags and selection.
    copy.themes.RemoveAll();
    Add(copy, {"c"});
    copy.selected = 5;
    copy.ClearAll();
    EXPECT_EQ(hv::LiveHandles(), handles);
    EXPECT_TRUE(copy.themes.GetSize() == 0 && copy.scriptPath == "s.txt" && copy.tags.size() == 1 &&
                copy.selected == 5);
    // Assigned another owner's library, an owner deletes its own themes and
    // leaves the source's to the source (also after a self-assignment);
    // assigned back a trimmed copy of its own, it deletes the dropped theme
    // and keeps owning the rest.
    ccColorPocketArrayArray a, b;
    Add(a, {"a1"});
    Add(b, {"b1", "b2"});
    b.selected = 3;
    a = b;
    a = a;
    EXPECT_TRUE(!a.ownsThemes && a.selected == 3 && lfix::NamesOf(a) == (Names{"b1", "b2"}));
    EXPECT_EQ(hv::LiveHandles(), handles + 2);
    ccColorPocketArrayArray trimmed(b);
    trimmed.themes.RemoveAt(0);
    b = trimmed;
    EXPECT_TRUE(b.ownsThemes && lfix::NamesOf(b) == Names{"b2"});
    EXPECT_EQ(hv::LiveHandles(), handles + 1);
}

TEST(Library, TagCollectCountsNewTagsOnceUpToAHundred) {
    ccColorPocketArrayArray lib;
    // The text, the tags it adds and what the caller's text reads afterwards.
    const std::tuple<const char*, int, const char*> cases[] = {
        {"#sea#calm", 2, "#sea"}, {"#calm#warm", 1, "#calm"}, {"sea##sea", 0, "sea"}, {"", 0, ""},
        {"###", 0, "###"},        {"Sea#", 1, "Sea"},         {"b#a#b#", 2, "b"},
    };
    for (auto [text, added, after] : cases) {
        std::vector<char> buf = Text(text);
        EXPECT_EQ(lib.TagCollect(buf.data()), added) << text;
        EXPECT_STREQ(buf.data(), after) << text;
    }
    Names keys;
    for (const auto& [key, value] : lib.tags) keys.push_back(key + "=" + value);
    EXPECT_EQ(keys, (Names{"Sea=Sea", "a=a", "b=b", "calm=calm", "sea=sea", "warm=warm"}));
    EXPECT_EQ(lib.TagCollect(nullptr), 0);
    std::string many;
    for (int i = 0; i < 105; ++i) many += "#t" + std::to_string(i);
    ccColorPocketArrayArray big;
    EXPECT_EQ(big.TagCollect(Text(many).data()), 100);
    EXPECT_EQ(big.tags.rbegin()->first, "t99");  // t0 .. t99, "t99" sorting last
}

TEST(Examples, CopiesCarryThumbnailsOfThemeColoursAndSavedLinesReload) {
    lfix::NoLeak noLeak;
    lfix::Folder dir;
    const std::string script = dir + "lib.txt", long40(40, 'n');
    tool::Write(script, "[Version]\n1\n[Examples]\nA a.bmp\n");
    ccColorPocketArray theme(1), strip, small, deep, bare;  // bare: no image, no thumbnail
    theme.SetPalDib(lfix::Image8(360, 240), true);
    ASSERT_EQ(theme.GetColorPockets(), 0);
    theme.name = "Source";
    // A highlighted colour table: thumbnails show the theme's colours.
    ipDibStuff(theme.palDib, false).colors[1] = tagRGBQUAD{9, 9, 9, 0};
    // A strip 4 pixels high; a 16-entry colour table; 24 bits (no zoom:
    // a copy without a thumbnail).
    strip.SetPalDib(lfix::Image8(1024, 4), true);
    small.SetPalDib(MakeEmptyDib(360, 240, 8, true), true);
    static_cast<BITMAPINFOHEADER*>(hv::HandleLock(small.palDib).ptr())->biClrUsed = 16;
    deep.SetPalDib(MakeEmptyDib(8, 8, 24, true), true);
    EXPECT_EQ(ccColorPocketArray().MakeNewTheme(), nullptr);
    Theme made(theme.MakeNewTheme()), fromSmall(small.MakeNewTheme()), fromDeep(deep.MakeNewTheme());
    ccColorPocketArrayArray lib;
    EXPECT_EQ(AddExample(lib, &theme, false, dir.path, "Sea", "sea.bmp", "#sea") +
                  AddExample(lib, &strip, false, dir.path, "Sea", "sea.bmp", "#sea"),
              0);
    EXPECT_TRUE(!std::filesystem::exists(dir + "sea.bmp") && lib.tags.empty());
    // The theme buffer's name, type and pockets; thumbnails 180 and 256
    // wide, in proportion (240 * 256 / 360 = 170.7), at least one row.
    const std::string pockets = std::to_string(theme.pockets.GetSize());
    EXPECT_EQ(lfix::Describe(made.get()), "Source 1 " + pockets + " 180x120x8 ");
    EXPECT_EQ(lfix::Describe(lib.themes[0]), "Source 1 " + pockets + " 256x170x8 ");
    EXPECT_EQ(lfix::Describe(lib.themes[1]), " 0 0 256x1x8 ");
    EXPECT_EQ(lfix::Describe(fromSmall.get()) + lfix::Describe(fromDeep.get()), " 0 0 180x120x8  0 0 - ");
    for (ccColorPocketArray* copy : {made.get(), lib.themes[0]})
        EXPECT_EQ(RgbWord(ipDibStuff(copy->palDib, false).colors[1]), RgbWord(theme.palette[1].rgb));
    // Lines go to the library's script when no field holds a character the
    // reader splits at and the line with its line feed is at most 99 long.
    lib.LoadFromScriptFile(script.c_str());
    std::string want = tool::Slurp(script);
    for (auto [name, file, tags, written] :
         std::vector<std::tuple<std::string, std::string, std::string, bool>>{
             {"Sea", "sea.bmp", "#sea#calm", true},
             {"Deep Sea", "d.bmp", "#x", false},
             {"Deep", "d,1.bmp", "", false},
             {"Deep", "d.bmp", "#a:b", false},
             {"", "d.bmp", "#x", false},
             {"Deep", "", "#x", false},
             {long40, long40, std::string(16, 't'), true},      // 40+1+40+1+16+1 = 99
             {long40, long40, std::string(17, 't'), false}}) {  // 100
        EXPECT_EQ(AddExample(lib, name == "Sea" ? &theme : &bare, true, dir.path, name, file, tags), 0);
        if (written) want += name + "\t" + file + "\t" + tags + hv::kLineEnd;
        EXPECT_EQ(tool::Slurp(script), want) << name << "|" << file << "|" << tags;
    }
    EXPECT_EQ(AddExample(lib, nullptr, true, dir.path, "N", "n.bmp", ""), -1);
    EXPECT_EQ(lib.themes.GetSize(), 3 + 8);
    // Reloaded: the saved example extracted afresh from its thumbnail.
    ccColorPocketArrayArray again;
    again.LoadFromScriptFile(script.c_str());
    ASSERT_EQ(lfix::NamesOf(again), (Names{"A", "Sea", long40}));
    EXPECT_EQ(lfix::Describe(again.themes[1]), "Sea 0 " + pockets + " 256x170x8 #sea#calm");
    // A missing script is not created, a held one gets no line.
    lib.scriptPath = dir + "missing.txt";
    EXPECT_EQ(AddExample(lib, &bare, true, dir.path, "N", "n.bmp", ""), 0);
    EXPECT_FALSE(std::filesystem::exists(lib.scriptPath));
    lib.scriptPath = script;
    hv::File holder;
    ASSERT_TRUE(holder.Open(script.c_str(), hv::FileMode::ReadExclusive));
    EXPECT_EQ(AddExample(lib, &bare, true, dir.path, "N", "n.bmp", ""), 0);
    EXPECT_EQ(tool::Slurp(script), want);
}

TEST(Interpolate, NamesPixelSharesHueArcsAndTruncationTowardZero) {
    auto word = [](int h, int s, int l) { return HSLtoRGB(MakeHsl(h, s, l, 0)) & 0xFFFFFF; };
    // From hue a to hue b, step k of steps: the first colour (saturation 200,
    // lightness 128) takes hue `want`. In order: the forward arc 10 is
    // shorter: backwards by 123; 190 is longer: forwards by 95; equal arcs:
    // forwards; equal hues: a full turn backwards, 256 / 3 = 85 back; the
    // forward arc 11 is shorter: back by 245 / 4 = 61; 246 is longer:
    // forwards by 492 / 5 = 98; step 0 is the start.
    const std::array<int, 5> cases[] = {
        {10, 20, 1, 2, 143}, {10, 200, 1, 2, 105}, {0, 128, 1, 2, 64},  {50, 50, 1, 2, 178},
        {50, 50, 1, 3, 221}, {250, 5, 1, 4, 189},  {20, 10, 2, 5, 118}, {10, 20, 0, 2, 10},
    };
    for (auto [a, b, k, steps, want] : cases) {
        ccColorPocketArrayArray lib;
        // Three pockets against two; the second colour moves from saturation
        // 10 to 0 and lightness 100 to 120, over 40 of the 60 pixels.
        Theme from(HueTheme(0, {a, 40, 99})), to(HueTheme(0, {b, 40}));
        from->pockets[1]->aveHSL = MakeHsl(40, 10, 100, 0);
        from->pockets[1]->pixelNum = 30;
        to->pockets[1]->aveHSL = MakeHsl(40, 0, 120, 0);
        EXPECT_EQ(lib.InterpolateThemes(from.get(), to.get(), steps), 0);
        EXPECT_EQ(RgbWord(lib.themes[k]->palette[0].rgb), word(want, 200, 128)) << a << "->" << b << " " << k;
        if (steps != 3) continue;
        // Step 1: saturation 10 - 10 / 3 = 7 (not 6), lightness 100 + 20 / 3 =
        // 106, hue 40 - 85 = 211; step 2: 10 - 20 / 3 = 4, 100 + 40 / 3 = 113, 126.
        EXPECT_EQ(RgbWord(lib.themes[1]->palette[1].rgb), word(211, 7, 106));
        EXPECT_EQ(RgbWord(lib.themes[2]->palette[1].rgb), word(126, 4, 113));
        EXPECT_EQ(lfix::NamesOf(lib), (Names{"Interpolated 0:3", "Interpolated 1:3", "Interpolated 2:3"}));
        for (ccColorPocketArray* t : lib.themes) {
            ASSERT_EQ(t->GetThemeType() * 100 + t->pockets.GetSize(),
                      102);  // type 1, the smaller pocket count
            for (int i = 0; i < 2; ++i) {
                ccColorItem* it = t->pockets[i]->items[0];
                EXPECT_TRUE(it == &t->palette[i] && it->palIndex == i && it->hsl == RGBtoHSL(it->rgb) &&
                            it->rgb.rgbReserved == 0 && it->pixelNum == 20 * (i + 1));
                EXPECT_FLOAT_EQ(it->percentage, (i + 1) / 3.0f);
            }
        }
    }
    // Nothing for no steps or a missing theme; no pixels at all: shares of
    // 0; a theme without pockets: no colours.
    Theme from(HueTheme(0, {10, 20})), none(HueTheme(0, {}));
    for (ccColorPocket* p : from->pockets) p->pixelNum = 0;
    ccColorPocketArrayArray lib;
    EXPECT_EQ(
        lib.InterpolateThemes(from.get(), from.get(), 0) + lib.InterpolateThemes(from.get(), from.get(), -3),
        0);
    EXPECT_EQ(lib.InterpolateThemes(nullptr, from.get(), 2) + lib.InterpolateThemes(from.get(), nullptr, 2),
              -2);
    lib.InterpolateThemes(from.get(), from.get(), 1);
    lib.InterpolateThemes(from.get(), none.get(), 1);
    ASSERT_EQ(lib.themes.GetSize(), 2);
    EXPECT_TRUE(lib.themes[0]->palette[0].percentage == 0 && lib.themes[0]->palette[1].percentage == 0 &&
                lib.themes[1]->pockets.GetSize() == 0);
}

TEST(HueRing, OrderLimitEqualHuesExamplesAndThemesWithoutColours) {
    // A library of themes written "hue" (a ring member), "e<hue>" (an
    // example) or "-" (no pockets), then "|", the new theme's hue (-1: no
    // pockets) and where it goes (-1: refused); cases separated by ";". In order: into an empty library;
    // before an equal hue; last; first; between; two of a hue; three of a hue already; before the first ring
    // member of hue 5 or more (the example passed over); the example not counted; an example last, above
    // every ring member: no place; no pockets: only into an empty library, where, as the last theme, it sits
    // below every hue.
    std::istringstream cases(
        "| 77 0; 10 50 90 | 50 1; 10 50 90 | 100 3; 10 50 90 | 5 0; 10 50 90 | 60 2; 50 50 60 | 50 0; "
        "40 50 50 50 | 50 -1; e200 10 | 5 1; e200 200 200 | 200 1; 10 e200 | 100 -1; 10 e200 | -1 -1; "
        "| -1 0; - | 30 1; - 30 | 20 1");
    for (std::string c; std::getline(cases, c, ';');) {
        ccColorPocketArrayArray lib;
        std::istringstream in(c);
        for (std::string h; in >> h && h != "|";)
            lib.themes.Add(h == "-" ? new ccColorPocketArray(1)
                                    : HueTheme(h[0] != 'e', {std::stoi(h.substr(h[0] == 'e'))}));
        int hue = 0, want = 0;
        in >> hue >> want;
        const int before = lib.themes.GetSize();
        Theme t(hue < 0 ? new ccColorPocketArray(1) : HueTheme(1, {hue}));
        const int got = lib.InsertThemeHueRing(t.get());
        EXPECT_EQ(got, want) << c;
        EXPECT_EQ(lib.themes.GetSize(), before + (got >= 0));
        if (got >= 0) {
            EXPECT_EQ(lib.themes[got], t.release());
        }
    }
    EXPECT_EQ(ccColorPocketArrayArray().InsertThemeHueRing(nullptr), -1);
}
