// huevane library: lists the themes of a theme script file or theme list
// file, draws them as a sheet, and adds photos to a script file as examples;
// and the library helpers the restyle command shares.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "dib/dib.h"
#include "drawing.h"
#include "library_tools.h"
#include "platform/file.h"
#include "platform/memory.h"
#include "theme_tools.h"

namespace {

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// "script" for a file with an "[Examples]" line, "list" for one with a
// "[Themes]" line (whichever comes first), "" for neither or no file.
std::string KindOf(const std::string& path, bool* opened) {
    std::ifstream in(path, std::ios::binary);
    *opened = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "[Examples]") return "script";
        if (Trim(line) == "[Themes]") return "list";
    }
    return "";
}

bool AllDigits(const std::string& s) {
    return !s.empty() && s.size() <= 9 &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Each pocket's share of the theme's pixels (all 0 without pixels).
std::vector<double> Shares(ccColorPocketArray& t) {
    int64_t total = 0;
    for (ccColorPocket* p : t.pockets) total += std::max(p->pixelNum, 0);
    std::vector<double> out;
    for (ccColorPocket* p : t.pockets) out.push_back(total > 0 ? double(std::max(p->pixelNum, 0)) / total : 0.0);
    return out;
}

std::string Json(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char u[8];
            std::snprintf(u, sizeof u, "\\u%04x", static_cast<unsigned char>(c));
            out += u;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* TypeName(int type) { return type == 0 ? "example" : "colours"; }

// ---- the sheet ----

// A 24-bit DIB drawn on from the top left; clipped.
struct Canvas {
    ipDibStuff view;
    explicit Canvas(void* dib) : view(dib, false) {}
    void Fill(int x0, int y0, int w, int h, BYTE grey) { hvcli::FillRect(view, x0, y0, w, h, {grey, grey, grey, 0}); }
    // Text at scale s (glyphs 5s x 7s, advance 6s), at most maxChars
    // characters (an ellipsis marks a cut).
    void Text(int x, int y, const std::string& text, int s, size_t maxChars, BYTE grey) {
        std::string t = text;
        if (t.size() > maxChars) t = t.substr(0, maxChars > 3 ? maxChars - 3 : 0) + "...";
        hvcli::DrawText(view, x, y, t, s, {grey, grey, grey, 0});
    }
    // An 8-bit image scaled (nearest pixel) to fit w x h at (x0, y0).
    void Picture(int x0, int y0, int w, int h, void* dib8) {
        ipDibStuff src(dib8, false);
        if (!src.usable() || src.bitCount() != 8 || src.numColors < 256) return;
        const int64_t sw = src.width(), sh = src.height();
        int64_t dw = w, dh = sw > 0 ? sh * w / sw : h;
        if (dh > h) {
            dh = h;
            dw = std::max<int64_t>(1, sw * h / sh);
        }
        for (int64_t y = 0; y < dh; ++y) {
            const BYTE* row = src.rows[static_cast<size_t>(sh - 1 - (y * sh / dh))];
            for (int64_t x = 0; x < dw; ++x) {
                hvcli::FillRect(view, static_cast<int>(x0 + x), static_cast<int>(y0 + y), 1, 1, src.colors[row[x * sw / dw]]);
            }
        }
    }
};

constexpr int kRow = 72, kMargin = 12, kNameWidth = 228, kBarWidth = 320, kBarHeight = 40, kThumbWidth = 108;

// A new 24-bit picture: one row per theme with its position and name, its
// tags, its colour bar and, for examples, the thumbnail.
void* Sheet(ccColorPocketArrayArray& lib, const std::string& title) {
    const int n = lib.themes.GetSize();
    const int width = kMargin + kNameWidth + kMargin + kBarWidth + kMargin + kThumbWidth + kMargin;
    const int64_t height = 40 + static_cast<int64_t>(n) * kRow + kMargin;
    if (height > hv::kMaxSide) return nullptr;
    void* dib = MakeEmptyDib(width, static_cast<int>(height), 24, true);
    if (!dib) return nullptr;
    Canvas c(dib);
    c.Fill(0, 0, width, static_cast<int>(height), 255);
    c.Text(kMargin, 12, title, 2, (width - 2 * kMargin) / 12, 40);
    for (int i = 0; i < n; ++i) {
        ccColorPocketArray* t = lib.themes[i];
        const int top = 40 + i * kRow;
        if (i % 2) c.Fill(0, top, width, kRow, 246);
        c.Text(kMargin, top + 14, std::to_string(i) + " " + t->name, 2, kNameWidth / 12, 30);
        c.Text(kMargin, top + 40, t->tagText, 1, kNameWidth / 6, 120);
        const int barX = kMargin + kNameWidth + kMargin, barY = top + (kRow - kBarHeight) / 2;
        if (t->pockets.GetSize() > 0)
            hvcli::DrawThemeBar(dib, barX, barY, kBarWidth, kBarHeight, *t);
        else
            c.Text(barX, barY + 16, "no colours", 1, 20, 120);
        if (t->palDib) c.Picture(barX + kBarWidth + kMargin, top + 4, kThumbWidth, kRow - 8, t->palDib);
    }
    return dib;
}

// ---- adding an example ----

bool ExampleField(const std::string& s) { return s.find_first_of(" ,:\t\r\n") == std::string::npos; }

int AddPhoto(const char* cmd, const std::string& script, const hvcli::Args& args) {
    std::string error;
    const std::string imagePath = args.Value("add");
    std::string stem = imagePath.substr(imagePath.find_last_of("/\\") + 1);
    stem = stem.substr(0, stem.find_last_of('.'));
    const std::string name = args.Value("name", stem), thumb = args.Value("thumbnail", stem + ".bmp"),
                      tags = args.Value("tags");
    if (name.empty() || thumb.empty() || !ExampleField(name) || !ExampleField(thumb) || !ExampleField(tags))
        return hvcli::UsageError(cmd, "names, thumbnail names and tags can hold no space, comma, colon or tab");
    if (name.size() + thumb.size() + tags.size() + 3 > 99)
        return hvcli::UsageError(cmd, "the example line would exceed 99 characters");
    if (thumb.size() < 4 || thumb.substr(thumb.size() - 4) != ".bmp")
        return hvcli::UsageError(cmd, "the thumbnail is a BMP file: its name must end in .bmp");
    bool opened = false;
    if (KindOf(script, &opened) != "script")
        return hvcli::Failure(cmd, opened ? "'" + script + "' has no [Examples] line" : "cannot open '" + script + "'");

    hvio::OwnedDib image(hvcli::ReadWorkImage(imagePath, &error));
    if (!image.get()) return hvcli::Failure(cmd, error);
    ccColorPocketArray theme(0);
    bool is24 = false;
    {
        ipDibStuff v(image.get(), false);
        is24 = v.is24();
    }
    if (is24) {
        theme.SetTrueDib(image.get());
        if (theme.GetPalDib() != 0) return hvcli::Failure(cmd, imagePath + ": cannot reduce it to 256 colours");
    } else {
        theme.SetPalDib(image.get(), false);
    }
    if (theme.GetColorPockets() != 0) return hvcli::Failure(cmd, imagePath + ": cannot extract its theme");
    theme.name = name;

    ccColorPocketArrayArray lib;
    lib.LoadFromScriptFile(script.c_str());
    if (lib.scriptPath.empty()) return hvcli::Failure(cmd, "cannot open '" + script + "' (is it in use?)");
    const std::string folder = hv::FolderOf(script);
    std::ifstream before(script, std::ios::binary | std::ios::ate);
    const std::streamoff sizeBefore = before.tellg();
    before.close();
    std::vector<char> f(folder.begin(), folder.end()), n(name.begin(), name.end()), t(thumb.begin(), thumb.end()),
        g(tags.begin(), tags.end());
    for (auto* v : {&f, &n, &t, &g}) v->push_back('\0');
    lib.AddExample(&theme, true, f.data(), n.data(), t.data(), g.data());
    std::ifstream after(script, std::ios::binary | std::ios::ate);
    if (after.tellg() <= sizeBefore) return hvcli::Failure(cmd, "cannot append to '" + script + "'");
    const std::string themeFile = folder + thumb + ".ccs";
    if (theme.SaveToFile(themeFile.c_str()) != 0) return hvcli::Failure(cmd, "cannot write '" + themeFile + "'");
    std::printf("added %s to %s: thumbnail %s%s, theme file %s (%d colours)\n", name.c_str(), script.c_str(),
                folder.c_str(), thumb.c_str(), themeFile.c_str(), theme.pockets.GetSize());
    return hvcli::kExitOk;
}

const char kHelp[] =
    "Usage: huevane library FILE [--json] [--hue-ring] [--sheet OUT.png]\n"
    "       huevane library SCRIPT --add IMAGE [--name NAME] [--tags #a#b]\n"
    "                              [--thumbnail NAME.bmp]\n"
    "Lists the themes of a theme library file: index, name, type, colours as\n"
    "#rrggbb with their shares, and tags. FILE is a script file (its example\n"
    "images: a header, then after an [Examples] line one 'name thumbnail.bmp\n"
    "#tag#tag' line per example) or a theme list file (after [Version], its\n"
    "value and [Themes]: a '[name]' line, then a line of up to five 'r g b'\n"
    "colours as fractions from 0 to 1).\n"
    "\n"
    "  --json             print the themes as JSON\n"
    "  --hue-ring         place the themes of a list file in hue order (at most\n"
    "                     three per hue; the others are dropped)\n"
    "  --sheet OUT        also draw the library: one row per theme with its\n"
    "                     name, tags, colour bar and thumbnail (.png, .bmp, .jpg)\n"
    "  --add IMAGE        add a photo to the script file as an example: its\n"
    "                     thumbnail (256 pixels wide) and theme file are written\n"
    "                     beside the script, its line appended to it\n"
    "  --name NAME        the example's name (default: the image's file stem)\n"
    "  --tags TEXT        the example's tags, e.g. #warm#sea\n"
    "  --thumbnail FILE   the thumbnail's file name (default: stem.bmp)\n"
    "  -h, --help         show this help\n";

}  // namespace

namespace hvcli {

bool MentionsOption(int argc, char** argv, const std::string& name) {
    const std::string flag = "--" + name;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--") return false;
        if (a == flag || a.compare(0, flag.size() + 1, flag + "=") == 0) return true;
    }
    return false;
}

bool LoadLibrary(const std::string& path, bool hueRing, ccColorPocketArrayArray& lib, std::string* kind,
                 std::string* error) {
    bool opened = false;
    *kind = KindOf(path, &opened);
    if (!opened) {
        *error = "cannot open '" + path + "'";
        return false;
    }
    if (kind->empty()) {
        *error = "'" + path + "' is neither a theme script file ([Examples]) nor a theme list file ([Themes])";
        return false;
    }
    if (*kind == "script")
        lib.LoadFromScriptFile(path.c_str());
    else
        lib.LoadColorThemes(path.c_str(), hueRing);
    return true;
}

bool ReadLibraryTheme(const std::string& path, const std::string& which, ccColorPocketArray& theme,
                      hvio::OwnedDib* image, std::string* error) {
    ccColorPocketArrayArray lib;
    std::string kind;
    if (!LoadLibrary(path, false, lib, &kind, error)) return false;
    const int n = lib.themes.GetSize();
    lib.selected = -1;
    if (AllDigits(which)) {
        lib.selected = std::stoi(which);
    } else {
        for (int i = 0; i < n && lib.selected < 0; ++i)
            if (lib.themes[i]->name == which) lib.selected = i;
    }
    ccColorPocketArray* chosen = lib.GetSelPocketArray();
    if (!chosen) {
        *error = path + ": no theme '" + which + "' among its " + std::to_string(n) +
                 " themes (give a name or a position from 0; 'huevane library " + path + "' lists them)";
        return false;
    }
    char* buf = nullptr;
    if (chosen->SaveToBuf(buf) < 0 || theme.LoadFromBuf(buf) < 0) {
        chosen->FreeDataBuf(buf);
        *error = path + ": theme '" + which + "' cannot be used";
        return false;
    }
    chosen->FreeDataBuf(buf);
    theme.name = chosen->name;
    if (chosen->palDib) image->reset(hvio::ToRgb24(chosen->palDib, nullptr));
    return true;
}

}  // namespace hvcli

int CmdLibrary(int argc, char** argv) {
    const char* cmd = "library";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd,
                                   {{"json", 0, false},
                                    {"hue-ring", 0, false},
                                    {"sheet", 0, true},
                                    {"add", 0, true},
                                    {"name", 0, true},
                                    {"tags", 0, true},
                                    {"thumbnail", 0, true}},
                                   kHelp, 1, "missing library file");
    if (early >= 0) return early;
    const std::string path = args.positional()[0];
    if (args.Has("add")) return AddPhoto(cmd, path, args);
    for (const char* o : {"name", "tags", "thumbnail"})
        if (args.Has(o)) return hvcli::UsageError(cmd, std::string("--") + o + " goes with --add");
    const std::string sheet = args.Value("sheet");
    if (args.Has("sheet") && !hvio::IsWritableFormat(sheet))
        return hvcli::UsageError(cmd, "cannot tell the format of '" + sheet + "' (use .bmp, .png, .jpg or .jpeg)");

    std::string error, kind;
    ccColorPocketArrayArray lib;
    if (!hvcli::LoadLibrary(path, args.Has("hue-ring"), lib, &kind, &error)) return hvcli::Failure(cmd, error);
    if (kind == "script" && args.Has("hue-ring"))
        return hvcli::UsageError(cmd, "--hue-ring places the themes of a list file only");
    const int n = lib.themes.GetSize();
    if (args.Has("json")) {
        std::printf("{\"file\": %s, \"kind\": \"%s\", \"themes\": [", Json(path).c_str(), kind.c_str());
        for (int i = 0; i < n; ++i) {
            ccColorPocketArray* t = lib.themes[i];
            const std::vector<double> share = Shares(*t);
            std::printf("%s\n  {\"index\": %d, \"name\": %s, \"type\": \"%s\", \"colors\": [", i ? "," : "", i,
                        Json(t->name).c_str(), TypeName(t->GetThemeType()));
            for (int k = 0; k < t->pockets.GetSize(); ++k)
                std::printf("%s{\"color\": \"%s\", \"share\": %.4f}", k ? ", " : "",
                            hvcli::Hex(t->pockets[k]->aveRGB).c_str(), share[k]);
            std::printf("], \"tags\": %s}", Json(t->tagText).c_str());
        }
        std::printf("%s], \"tags\": [", n ? "\n" : "");
        bool first = true;
        for (const auto& kv : lib.tags) {
            std::printf("%s%s", first ? "" : ", ", Json(kv.first).c_str());
            first = false;
        }
        std::printf("]}\n");
    } else {
        std::printf("%s: %d themes (%s file)\n", path.c_str(), n, kind.c_str());
        for (int i = 0; i < n; ++i) {
            ccColorPocketArray* t = lib.themes[i];
            const std::vector<double> share = Shares(*t);
            std::printf("  %3d  %-20s  %-7s ", i, t->name.c_str(), TypeName(t->GetThemeType()));
            for (int k = 0; k < t->pockets.GetSize(); ++k)
                std::printf(" %s %4.1f%%", hvcli::Hex(t->pockets[k]->aveRGB).c_str(), 100.0 * share[k]);
            if (t->pockets.GetSize() == 0) std::printf(" (no colours)");
            if (!t->tagText.empty()) std::printf("  %s", t->tagText.c_str());
            std::printf("\n");
        }
        if (!lib.tags.empty()) {
            std::printf("tags:");
            for (const auto& kv : lib.tags) std::printf(" %s", kv.first.c_str());
            std::printf("\n");
        }
    }
    if (!sheet.empty()) {
        std::string title = path.substr(path.find_last_of("/\\") + 1);
        hvio::OwnedDib picture(Sheet(lib, title));
        if (!picture.get()) return hvcli::Failure(cmd, "cannot draw the sheet (too many themes or out of memory)");
        if (!hvio::WriteImage(picture.get(), sheet, &error)) return hvcli::Failure(cmd, error);
        if (!args.Has("json")) std::printf("sheet: %s\n", sheet.c_str());
    }
    return hvcli::kExitOk;
}
