// The theme library: the container's ownership, tags, new examples and
// their thumbnail copies and saved lines, interpolated themes, the hue ring,
// the theme list file (its state machine, colours, weights and limits) and
// the script file (its line rules, example fields, theme files beside the
// thumbnails, missing and broken files).
#include "huevane/library.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "cli/tool_run.h"
#include "platform/file.h"
#include "transfer/transfer_fixtures.h"

using Names = std::vector<std::string>;
using Theme = std::unique_ptr<ccColorPocketArray>;

namespace {

// A folder of its own for the running test, removed by the destructor.
struct Folder {
    std::string path = tool::Temp("dir") + "/";
    Folder() { std::filesystem::create_directories(path); }
    ~Folder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
    std::string operator+(const std::string& name) const { return path + name; }
};

// A NUL-terminated copy that the library may write into.
std::vector<char> Text(const std::string& s) { return {s.c_str(), s.c_str() + s.size() + 1}; }

// An 8-bit image of w x h whose pixel (x, y) holds index (x + y) % n
// of a table of saturated colours; saved to path when one is given.
void* Image8(int w, int h, int n = 4, const std::string& path = "") {
    void* dib = MakeEmptyDib(w, h, 8, true);
    {
        ipDibStuff v(dib, false);
        for (int i = 0; i < 256; ++i) v.colors[i] = RgbQuad(HSLtoRGB(MakeHsl(i * 256 / n, 200, 120, 0)));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) v.rows[y][x] = BYTE((x + y) % n);
    }
    if (path.empty()) return dib;
    SaveDIB(dib, path.c_str());
    hv::FreeHandle(dib);
    return nullptr;
}

// A theme of type `type` with a pocket of 10 pixels per hue given (full
// saturation, mid lightness), in that order.
ccColorPocketArray* HueTheme(int type, const std::vector<int>& hues) {
    auto* t = new ccColorPocketArray(type);
    for (int h : hues) tfix::Add(*t, h, 255, 128, 10);
    return t;
}

Names NamesOf(const ccColorPocketArrayArray& lib) {
    Names out;
    for (ccColorPocketArray* t : lib.themes) out.push_back(t->name);
    return out;
}

// A theme as "name type pockets WxHxBits tags" (its palette image; "-"
// without one).
std::string Describe(ccColorPocketArray* t) {
    std::string image = "-";
    if (t->palDib) {
        ipDibStuff v(t->palDib, false);
        image =
            std::to_string(v.width()) + 'x' + std::to_string(v.height()) + 'x' + std::to_string(v.bitCount());
    }
    return t->name + " " + std::to_string(t->GetThemeType()) + " " + std::to_string(t->pockets.GetSize()) +
           " " + image + " " + t->tagText;
}

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

// The themes a list file loads, as "name=RRGGBB/pixels ...;" each; the
// count returned is the number loaded, every theme of type 1 with one
// palette item per pocket, its share of the 15625 pixels.
std::string LoadList(const std::string& path, bool hueRing = false) {
    ccColorPocketArrayArray lib;
    const int count = lib.LoadColorThemes(path.c_str(), hueRing);
    EXPECT_EQ(count, lib.themes.GetSize());
    std::string out;
    for (ccColorPocketArray* t : lib.themes) {
        EXPECT_TRUE(t->GetThemeType() == 1 && t->paletteSize == t->pockets.GetSize()) << t->name;
        out += t->name + "=";
        for (int i = 0; i < t->pockets.GetSize(); ++i) {
            ccColorItem* it = t->pockets[i]->items.GetSize() == 1 ? t->pockets[i]->items[0] : nullptr;
            EXPECT_TRUE(it == &t->palette[i] && it->palIndex == i);
            it = &t->palette[i];
            EXPECT_FLOAT_EQ(it->percentage, it->pixelNum / 15625.0f);
            char colour[32];
            std::snprintf(colour, sizeof colour, "%s%06X/%d", i ? " " : "", RgbWord(it->rgb) & 0xFFFFFF,
                          it->pixelNum);
            out += colour;
        }
        out += ";";
    }
    return out;
}

// The files of a corpus in tests/data/library with what loading each gives.
std::vector<std::pair<std::string, std::string>> Corpus(const std::string& name) {
    const std::string folder = std::string(HUEVANE_TEST_DATA) + "/library/" + name + "/";
    std::ifstream index(folder + "cases.txt");
    std::vector<std::pair<std::string, std::string>> out;
    for (std::string file, want; std::getline(index, file, '\t') && std::getline(index, want);)
        out.push_back({folder + file, want});
    EXPECT_GT(out.size(), 10u);
    return out;
}

}  // namespace

TEST(Library, OwnersDeleteTheirThemesCopiesAndViewsNeverAndClearAllAlways) {
    tfix::NoLeak noLeak;
    const long handles = hv::LiveHandles();
    auto* src = new ccColorPocketArrayArray;  // owns by default
    Add(*src, {"a", "b"});
    src->scriptPath = "s.txt";
    src->tags["t"] = "t";
    for (int selected : {-1, 0, 2, 1}) {
        src->selected = selected;
        EXPECT_EQ(src->GetSelPocketArray(), selected == 0 || selected == 1 ? src->themes[selected] : nullptr);
    }
    ccColorPocketArrayArray copy(*src);
    EXPECT_TRUE(!copy.ownsThemes && copy.GetSelPocketArray() == src->themes[1] &&
                copy.scriptPath == "s.txt" && copy.tags.count("t") == 1);
    {
        ccColorPocketArrayArray inner(copy), view(false);  // a copy of a copy, a view
        view.themes.Add(copy.themes[0]);
    }
    EXPECT_EQ(hv::LiveHandles(), handles + 2);
    delete src;  // the copy outlives its source but deletes nothing
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
    EXPECT_TRUE(!a.ownsThemes && a.selected == 3 && NamesOf(a) == (Names{"b1", "b2"}));
    EXPECT_EQ(hv::LiveHandles(), handles + 2);
    ccColorPocketArrayArray trimmed(b);
    trimmed.themes.RemoveAt(0);
    b = trimmed;
    EXPECT_TRUE(b.ownsThemes && NamesOf(b) == Names{"b2"});
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
    EXPECT_EQ(
        lib.tags,
        (std::map<std::string, std::string>{
            {"Sea", "Sea"}, {"a", "a"}, {"b", "b"}, {"calm", "calm"}, {"sea", "sea"}, {"warm", "warm"}}));
    EXPECT_EQ(lib.TagCollect(nullptr), 0);
    std::string many;
    for (int i = 0; i < 105; ++i) many += "#t" + std::to_string(i);
    ccColorPocketArrayArray big;
    EXPECT_EQ(big.TagCollect(Text(many).data()), 100);
    EXPECT_EQ(big.tags.rbegin()->first, "t99");  // t0 .. t99, "t99" sorting last
}

TEST(Examples, CopiesCarryThumbnailsOfThemeColoursAndSavedLinesReload) {
    tfix::NoLeak noLeak;
    Folder dir;
    const std::string script = dir + "lib.txt", long40(40, 'n');
    tool::Write(script, "[Version]\n1\n[Examples]\nA a.bmp\n");
    ccColorPocketArray theme(1), strip, deep, bare;  // bare: no image, no thumbnail
    theme.SetPalDib(Image8(360, 240), true);
    ASSERT_EQ(theme.GetColorPockets(), 0);
    theme.name = "Source";
    // A highlighted colour table: thumbnails show the theme's colours.
    ipDibStuff(theme.palDib, false).colors[1] = tagRGBQUAD{9, 9, 9, 0};
    // A strip 4 pixels high; 24 bits (no zoom: a copy without a thumbnail).
    strip.SetPalDib(Image8(1024, 4), true);
    deep.SetPalDib(MakeEmptyDib(8, 8, 24, true), true);
    EXPECT_EQ(ccColorPocketArray().MakeNewTheme(), nullptr);
    Theme made(theme.MakeNewTheme()), fromDeep(deep.MakeNewTheme());
    ccColorPocketArrayArray lib;
    EXPECT_EQ(AddExample(lib, &theme, false, dir.path, "Sea", "sea.bmp", "#sea") +
                  AddExample(lib, &strip, false, dir.path, "Sea", "sea.bmp", "#sea"),
              0);
    EXPECT_TRUE(!std::filesystem::exists(dir + "sea.bmp") && lib.tags.empty());
    // The theme buffer's name, type and pockets; thumbnails 180 and 256
    // wide, in proportion (240 * 256 / 360 = 170.7), at least one row.
    const std::string pockets = std::to_string(theme.pockets.GetSize());
    EXPECT_EQ(Describe(made.get()), "Source 1 " + pockets + " 180x120x8 ");
    EXPECT_EQ(Describe(lib.themes[0]), "Source 1 " + pockets + " 256x170x8 ");
    EXPECT_EQ(Describe(lib.themes[1]), " 0 0 256x1x8 ");
    EXPECT_EQ(Describe(fromDeep.get()), " 0 0 - ");
    for (ccColorPocketArray* copy : {made.get(), lib.themes[0]})
        EXPECT_EQ(RgbWord(ipDibStuff(copy->palDib, false).colors[1]), RgbWord(theme.palette[1].rgb));
    // Lines go to the library's script when no field holds a character the
    // reader splits at and the line with its line feed is at most 99 long.
    lib.LoadFromScriptFile(script.c_str());
    std::string want = tool::Slurp(script);
    // Refused: a space, a comma or a colon in a field, an empty name or
    // file; 40+1+40+1+16+1 = 99 characters fit, 100 do not.
    const std::tuple<std::string, std::string, std::string, bool> cases[] = {
        {"Sea", "sea.bmp", "#sea#calm", true},
        {"Deep Sea", "d.bmp", "#x", false},
        {"Deep", "d,1.bmp", "", false},
        {"Deep", "d.bmp", "#a:b", false},
        {"", "d.bmp", "#x", false},
        {"Deep", "", "#x", false},
        {long40, long40, std::string(16, 't'), true},
        {long40, long40, std::string(17, 't'), false},
    };
    for (const auto& [name, file, tags, written] : cases) {
        EXPECT_EQ(AddExample(lib, name == "Sea" ? &theme : &bare, true, dir.path, name, file, tags), 0);
        if (written) want += name + "\t" + file + "\t" + tags + hv::kLineEnd;
        EXPECT_EQ(tool::Slurp(script), want) << name << "|" << file << "|" << tags;
    }
    EXPECT_EQ(AddExample(lib, nullptr, true, dir.path, "N", "n.bmp", ""), -1);
    EXPECT_EQ(lib.themes.GetSize(), 3 + 8);
    // Reloaded: the saved example extracted afresh from its thumbnail.
    ccColorPocketArrayArray again;
    again.LoadFromScriptFile(script.c_str());
    ASSERT_EQ(NamesOf(again), (Names{"A", "Sea", long40}));
    EXPECT_EQ(Describe(again.themes[1]), "Sea 0 " + pockets + " 256x170x8 #sea#calm");
    // A missing script is not created.
    lib.scriptPath = dir + "missing.txt";
    EXPECT_EQ(AddExample(lib, &bare, true, dir.path, "N", "n.bmp", ""), 0);
    EXPECT_FALSE(std::filesystem::exists(lib.scriptPath));
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
        EXPECT_EQ(NamesOf(lib), (Names{"Interpolated 0:3", "Interpolated 1:3", "Interpolated 2:3"}));
        for (ccColorPocketArray* t : lib.themes) {
            // Type 1, the smaller pocket count.
            ASSERT_EQ(t->GetThemeType() * 100 + t->pockets.GetSize(), 102);
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
    EXPECT_EQ(lib.InterpolateThemes(nullptr, from.get(), 2) + lib.InterpolateThemes(from.get(), nullptr, 2),
              -2);
    for (int steps : {0, -3, 1}) lib.InterpolateThemes(from.get(), from.get(), steps);
    lib.InterpolateThemes(from.get(), none.get(), 1);
    EXPECT_TRUE(lib.themes.GetSize() == 2 && lib.themes[0]->palette[0].percentage == 0 &&
                lib.themes[0]->palette[1].percentage == 0 && lib.themes[1]->pockets.GetSize() == 0);
}

TEST(HueRing, OrderLimitEqualHuesExamplesAndThemesWithoutColours) {
    // A library of themes written "hue" (a ring member), "e<hue>" (an
    // example) or "-" (no pockets), then "|", the new theme's hue (-1: no
    // pockets) and where it goes (-1: refused); cases separated by ";". In order: into an empty library;
    // before an equal hue; last; first; between; two of a hue; three of a hue already; before the first ring
    // member of hue 5 or more (the example passed over); the example not counted; an example last, above
    // every ring member: no place; no pockets: only into an empty library, where, as the last theme, it sits
    // below every hue; hue 0 (red) is a hue like any other and comes first.
    std::istringstream cases(
        "| 77 0; 10 50 90 | 50 1; 10 50 90 | 100 3; 10 50 90 | 5 0; 10 50 90 | 60 2; 50 50 60 | 50 0; "
        "40 50 50 50 | 50 -1; e200 10 | 5 1; e200 200 200 | 200 1; 10 e200 | 100 -1; 10 e200 | -1 -1; "
        "| -1 0; - | 30 1; - 30 | 20 1; 10 50 90 | 0 0");
    for (std::string c; std::getline(cases, c, ';');) {
        ccColorPocketArrayArray lib;
        std::istringstream in(c);
        for (std::string h; in >> h && h != "|";)
            lib.themes.Add(h == "-" ? new ccColorPocketArray(1)
                                    : HueTheme(h[0] != 'e', {std::stoi(h.substr(h[0] == 'e'))}));
        int hue = 0, want = 0;
        in >> hue >> want;
        Theme t(hue < 0 ? new ccColorPocketArray(1) : HueTheme(1, {hue}));
        const int got = lib.InsertThemeHueRing(t.get());
        EXPECT_EQ(got, want) << c;
        if (got >= 0) {
            EXPECT_EQ(lib.themes[got], t.release());
        }
    }
    EXPECT_EQ(ccColorPocketArrayArray().InsertThemeHueRing(nullptr), -1);
}

TEST(ListFile, StateMachineColoursAndWeights) {
    for (const auto& [path, want] : Corpus("lists")) EXPECT_EQ(LoadList(path), want) << path;
}

TEST(ListFile, MissingFilesAndTheHueRingLimit) {
    Folder dir;
    EXPECT_EQ(LoadList(dir + "none.txt"), "");
    // Four themes of every hue: the fourth of each is refused (and released)
    // and a hue-ring load stops after 513.
    std::string text = "[Version]\n1\n[Themes]\n";
    auto fraction = [](BYTE b) { return std::to_string(b / 255.0 + 1e-4) + " "; };
    for (int h = 0; h < 256 * 4; ++h) {
        const tagRGBQUAD c = RgbQuad(HSLtoRGB(MakeHsl(h / 4, 255, 128, 0)));
        text += "[T" + std::to_string(h) + "]\n" + fraction(c.rgbRed) + fraction(c.rgbGreen) +
                fraction(c.rgbBlue) + "\n";
    }
    tool::Write(dir + "all.txt", text);
    const std::string got = LoadList(dir + "all.txt", true);
    EXPECT_EQ(std::count(got.begin(), got.end(), ';'), 513);
}

TEST(ScriptFile, HeaderAndListRules) {
    Folder dir;
    for (const char* n : {"a.bmp", "b.bmp", "c.bmp"}) Image8(8, 8, 4, dir + n);
    for (const auto& [path, want] : Corpus("scripts")) {
        tool::Write(dir + "s.txt", tool::Slurp(path));
        ccColorPocketArrayArray lib;
        EXPECT_EQ(lib.LoadFromScriptFile((dir + "s.txt").c_str()), 0);
        std::string names;
        for (ccColorPocketArray* t : lib.themes) names += (names.empty() ? "" : " ") + t->name;
        EXPECT_EQ(names, want) << path;
    }
}

// The fields of an example line; the theme file beside the thumbnail wins
// (a.ccs is not looked at), a malformed one gives way to extraction, and
// examples whose files are missing or broken are still added.
TEST(ScriptFile, ExampleFieldsThemeFilesAndBrokenFiles) {
    tfix::NoLeak noLeak;
    Folder dir;
    Image8(16, 8, 4, dir + "a.bmp");
    Image8(16, 8, 2, dir + "bad.bmp");
    {
        Theme stored(HueTheme(0, {10, 90}));
        stored->name = "FromFile";
        ASSERT_EQ(stored->SaveToFile((dir + "a.bmp.ccs").c_str()), 0);
        ASSERT_EQ(stored->SaveToFile((dir + "b.bmp.ccs").c_str()), 0);
    }
    tool::Write(dir + "a.ccs", "garbage");
    tool::Write(dir + "bad.bmp.ccs", std::string("\x05\x00\x00\x00junkjunk", 12));
    tool::Write(dir + "true.bmp", tool::Slurp(std::string(HUEVANE_TEST_DATA) + "/transfer/autumn_256.bmp"));
    tool::Write(dir + "s.txt",
                "[Examples]\nSea a.bmp #sea#calm sea.jpg extra\nCalm bad.bmp #calm\nB b.bmp\n"
                "Missing none.bmp\nTrue true.bmp\n");
    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile((dir + "s.txt").c_str());
    ASSERT_EQ(lib.themes.GetSize(), 5);
    // Pockets from the theme file or extracted (bad.bmp: its two colours), all
    // marked; an image where one could be read, the 24-bit one reduced.
    std::string all;
    for (ccColorPocketArray* t : lib.themes) {
        all += Describe(t).substr(0, t->name == "True" ? 6 : std::string::npos) + "|";
        for (ccColorPocket* p : t->pockets) EXPECT_EQ(p->rdsFlag, 1);
    }
    EXPECT_EQ(all, "Sea 0 2 16x8x8 #sea#calm|Calm 0 2 16x8x8 #calm|B 0 2 - |Missing 0 0 - |True 0|");
    EXPECT_TRUE(lib.themes[4]->pockets.GetSize() > 2 &&
                ipDibStuff(lib.themes[4]->palDib, false).isPalette8());
    EXPECT_TRUE(lib.themes[0]->ownsPalDib && HslHue(lib.themes[0]->pockets[1]->aveHSL) == 90);
    EXPECT_EQ(lib.themes[0]->originalPath, dir.path + "Org" + hv::kPathSeparator + "sea.jpg");
    EXPECT_TRUE(lib.themes[1]->originalPath.empty());
    EXPECT_EQ(lib.tags.size(), 2u);  // calm collected once
    // A missing file loads nothing and leaves the library's script as it was.
    EXPECT_EQ(lib.LoadFromScriptFile((dir + "none.txt").c_str()) + lib.LoadFromScriptFile(nullptr), 0);
    EXPECT_TRUE(lib.themes.GetSize() == 5 && lib.scriptPath == dir + "s.txt");
}
