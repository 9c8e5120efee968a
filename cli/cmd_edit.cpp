// huevane edit: reshapes the colour theme of an image by a script of edits
// (select, stroke, merge, delete, new pocket, detach, cut, background,
// highlight), saves the edited theme and can draw what the edits did.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "args.h"
#include "commands.h"
#include "dib/dib.h"
#include "edit_tools.h"
#include "platform/memory.h"
#include "theme_tools.h"

namespace {

const char kHelp[] =
    "Usage: huevane edit IMAGE EDITS.txt -o THEME.ccs [--show OUT.png] [--max-pixels N]\n"
    "Extracts the colour theme of IMAGE, applies the edits of EDITS.txt to it,\n"
    "one per line, and saves the edited theme, which 'huevane restyle\n"
    "--target-theme' takes as the theme of IMAGE.\n"
    "\n"
    "  IMAGE              a BMP, PNG or JPEG image\n"
    "  EDITS.txt          the edits, one per line ('#' starts a comment):\n"
    "    select N [N ...] | select all | select none\n"
    "                     add pockets to the selection (positions from 0, as\n"
    "                     'huevane theme' lists them, or 'last', where new\n"
    "                     pockets go) or clear it\n"
    "    stroke W X,Y X,Y ...\n"
    "                     the stroke the next edits use: pen width W through\n"
    "                     the points (pixels from the top-left corner)\n"
    "    grow             the selected pocket takes the stroke's free colours\n"
    "    new pocket       a new pocket of the colours under the stroke\n"
    "    detach           the selected pockets' colours under the stroke\n"
    "                     move to a new pocket\n"
    "    merge on stroke  the pocket under the stroke's first point takes the\n"
    "                     colours under the rest of it\n"
    "    merge selected   the selected pockets become one\n"
    "    delete selected  the selected pockets are deleted\n"
    "    cut X,Y X,Y ...  the colours before the strongest change in\n"
    "                     brightness along the points become one pocket\n"
    "    background X,Y X,Y | background stroke\n"
    "                     the colours of the rectangle between two corners\n"
    "                     (or around the stroke) become the background pocket\n"
    "    highlight N | highlight selected | unhighlight\n"
    "                     show pocket N and the selected pockets in colour,\n"
    "                     the rest in grey, in the --show picture (until the\n"
    "                     next edit line; without one the picture shows the\n"
    "                     selected pockets)\n"
    "  -o, --output FILE  the edited theme (.ccs)\n"
    "  --show OUT         also write a picture: the image, its pixels of the\n"
    "                     highlighted (or selected) pockets in colour on grey,\n"
    "                     and the edited theme as a colour bar with the selected\n"
    "                     pockets marked under it\n"
    "  --max-pixels N     refuse images of more than N pixels (default 178000000)\n"
    "  -h, --help         show this help\n"
    "A malformed line, or an edit that cannot be done, is reported with its\n"
    "line number and nothing is written.\n";

constexpr long kMaxCoordinate = 1000000;
constexpr int kMaxStrokePixels = 1 << 24;  // for 'merge on stroke', which lists them

enum class Op {
    Select,
    SelectAll,
    SelectNone,
    Stroke,
    Grow,
    NewPocket,
    Detach,
    MergeOnStroke,
    MergeSelected,
    DeleteSelected,
    Cut,
    BackgroundRect,
    BackgroundStroke,
    Highlight,
    HighlightSelected,
    Unhighlight,
};

struct Edit {
    Op op;
    long line;
    std::string text;              // the line as written, for messages
    std::vector<int> numbers;      // pocket positions; the pen width
    std::vector<tagPOINT> points;  // image coordinates
};

// Whole number within [lo, hi], digits only after an optional sign.
bool ParseNumber(const std::string& text, long lo, long hi, long* out) {
    size_t i = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i >= text.size() || text.size() - i > 9) return false;
    for (size_t k = i; k < text.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(text[k]))) return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < lo || v > hi) return false;
    *out = v;
    return true;
}

// A pocket position: a whole number from 0, or "last" (stored as -1).
bool ParsePosition(const std::string& text, int* out) {
    if (text == "last") {
        *out = -1;
        return true;
    }
    long n = 0;
    if (text.empty() || text[0] == '-' || text[0] == '+' || !ParseNumber(text, 0, 100000000, &n)) return false;
    *out = static_cast<int>(n);
    return true;
}

bool ParsePoint(const std::string& text, tagPOINT* p) {
    const size_t comma = text.find(',');
    long x = 0, y = 0;
    if (comma == std::string::npos || !ParseNumber(text.substr(0, comma), -kMaxCoordinate, kMaxCoordinate, &x) ||
        !ParseNumber(text.substr(comma + 1), -kMaxCoordinate, kMaxCoordinate, &y))
        return false;
    p->x = static_cast<LONG>(x);
    p->y = static_cast<LONG>(y);
    return true;
}

// Parses one line's words into e; false with the reason.
bool ParseEdit(const std::vector<std::string>& w, Edit* e, std::string* why) {
    auto is = [&w](std::initializer_list<const char*> words) {
        if (w.size() < words.size()) return false;
        size_t k = 0;
        for (const char* word : words)
            if (w[k++] != word) return false;
        return true;
    };
    auto noMore = [&](size_t n, Op op) {
        if (w.size() != n) {
            *why = "'" + e->text + "' takes nothing more";
            return false;
        }
        e->op = op;
        return true;
    };
    auto points = [&](size_t from, size_t atLeast, size_t atMost, const char* what) {
        for (size_t k = from; k < w.size(); ++k) {
            tagPOINT p;
            if (!ParsePoint(w[k], &p)) {
                *why = "'" + w[k] + "' is not a point (expected X,Y in whole pixels from -" +
                       std::to_string(kMaxCoordinate) + " to " + std::to_string(kMaxCoordinate) + ")";
                return false;
            }
            e->points.push_back(p);
        }
        if (e->points.size() < atLeast || e->points.size() > atMost) {
            *why = std::string(what) + ", found " + std::to_string(e->points.size());
            return false;
        }
        return true;
    };
    if (is({"select", "all"})) return noMore(2, Op::SelectAll);
    if (is({"select", "none"})) return noMore(2, Op::SelectNone);
    if (is({"select"})) {
        if (w.size() < 2) {
            *why = "select what? (pocket positions, 'all' or 'none')";
            return false;
        }
        for (size_t k = 1; k < w.size(); ++k) {
            int n = 0;
            if (!ParsePosition(w[k], &n)) {
                *why = "'" + w[k] + "' is not a pocket position (a number from 0, or 'last')";
                return false;
            }
            e->numbers.push_back(n);
        }
        e->op = Op::Select;
        return true;
    }
    if (is({"stroke"})) {
        long width = 0;
        if (w.size() < 2 || !ParseNumber(w[1], 0, kMaxCoordinate, &width)) {
            *why = "a stroke starts with its pen width, a whole number from 0 to " + std::to_string(kMaxCoordinate);
            return false;
        }
        e->numbers.push_back(static_cast<int>(width));
        e->op = Op::Stroke;
        return points(2, 1, 100000, "a stroke needs at least one point");
    }
    if (is({"grow"})) return noMore(1, Op::Grow);
    if (is({"new", "pocket"})) return noMore(2, Op::NewPocket);
    if (is({"detach"})) return noMore(1, Op::Detach);
    if (is({"merge", "on", "stroke"})) return noMore(3, Op::MergeOnStroke);
    if (is({"merge", "selected"})) return noMore(2, Op::MergeSelected);
    if (is({"delete", "selected"})) return noMore(2, Op::DeleteSelected);
    if (is({"cut"})) {
        e->op = Op::Cut;
        return points(1, 5, 100000, "a cut needs at least 5 points");
    }
    if (is({"background", "stroke"})) return noMore(2, Op::BackgroundStroke);
    if (is({"background"})) {
        e->op = Op::BackgroundRect;
        return points(1, 2, 2, "a background rectangle takes two corners X,Y X,Y");
    }
    if (is({"highlight", "selected"})) return noMore(2, Op::HighlightSelected);
    if (is({"highlight"})) {
        int n = 0;
        if (w.size() != 2 || !ParsePosition(w[1], &n)) {
            *why = "highlight takes one pocket position (a number from 0, or 'last'), or 'selected'";
            return false;
        }
        e->numbers.push_back(n);
        e->op = Op::Highlight;
        return true;
    }
    if (is({"unhighlight"})) return noMore(1, Op::Unhighlight);
    *why = "unknown edit '" + w[0] + "'";
    return false;
}

// Every line of the script; false with "FILE:LINE: reason".
bool ReadEdits(const std::string& path, std::vector<Edit>* edits, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open edit script '" + path + "'";
        return false;
    }
    std::string line;
    for (long number = 1; std::getline(in, line); ++number) {
        const size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) {
            for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            w.push_back(word);
        }
        if (w.empty()) continue;
        Edit e{Op::Grow, number, "", {}, {}};
        for (size_t k = 0; k < w.size(); ++k) e.text += (k ? " " : "") + w[k];
        std::string why;
        if (!ParseEdit(w, &e, &why)) {
            *error = path + ":" + std::to_string(number) + ": " + why;
            return false;
        }
        edits->push_back(std::move(e));
    }
    if (in.bad()) {
        *error = "cannot read edit script '" + path + "'";
        return false;
    }
    return true;
}

// ---- applying the edits ----

int64_t Clamp(int64_t v) { return std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, v)); }

// A rectangle of image rows ya..yb (from the top) as rows of the bottom-up
// palette image.
tagRECT StorageRect(int64_t left, int64_t ya, int64_t right, int64_t yb, int height) {
    return tagRECT{static_cast<LONG>(Clamp(left)), static_cast<LONG>(Clamp(height - 1 - yb)),
                   static_cast<LONG>(Clamp(right)), static_cast<LONG>(Clamp(height - 1 - ya))};
}

class Editor {
public:
    Editor(ccColorPocketArray& theme, int height) : theme_(theme), height_(height) {}

    // Applies one edit; false with the reason.
    bool Apply(const Edit& e, std::string* why) {
        // Every edit but a highlight works on the true colours.
        if (e.op != Op::Highlight && e.op != Op::HighlightSelected) theme_.UnhighlightColors();
        switch (e.op) {
            case Op::Select:
                for (int n : e.numbers) {
                    if (!Pocket(n, why)) return false;
                    At(n)->selState = 256;
                }
                return true;
            case Op::SelectAll:
                theme_.SelectAll();
                return true;
            case Op::SelectNone:
                theme_.UnselectAll();
                return true;
            case Op::Stroke:
                stroke_ = wStroke(static_cast<unsigned>(e.numbers[0]));
                stroke_.StartStroke();
                for (const tagPOINT& p : e.points) stroke_.AddPoint(p.x, p.y);
                stroke_.FinishStroke();
                hasStroke_ = true;
                return true;
            case Op::Grow: {
                if (!NeedStroke(why)) return false;
                const int r = theme_.AddToSelFromStroke(&stroke_);
                if (r == -2) *why = "no pocket is selected";
                if (r == -3) *why = "grow needs exactly one selected pocket";
                return Done(r, why);
            }
            case Op::NewPocket:
                return NeedStroke(why) && Done(theme_.NewPocket(&stroke_), why);
            case Op::Detach:
                return NeedStroke(why) && Done(theme_.DetachColor(&stroke_), why);
            case Op::MergeOnStroke: {
                if (!NeedStroke(why)) return false;
                const int most = stroke_.GetMaxDiscretePointNum();
                dPointBuf pixels(std::min(most, kMaxStrokePixels));
                if (most > kMaxStrokePixels || stroke_.DiscreteToBuff(height_, &pixels) == -2) {
                    *why = "the stroke is too long";
                    return false;
                }
                const int r = theme_.MergePocketOnStroke(&pixels);
                if (r == -1) *why = "the stroke needs at least two pixels";
                if (r == -2) *why = "the stroke's first point is on no pocket's colour";
                return Done(r, why);
            }
            case Op::MergeSelected:
                if (theme_.MergeSelectedPockets() < 0) {
                    *why = "no pocket is selected";
                    return false;
                }
                return true;
            case Op::DeleteSelected:
                theme_.DelSelPockets();
                return true;
            case Op::Cut: {
                std::vector<tagPOINT> pts = e.points;
                cPointsCut cut{pts.data(), static_cast<int>(pts.size())};
                const int r = theme_.GetColorPocketsFromCut(&cut);
                if (r == -3) *why = "fewer than 5 of the cut's points lie on the image";
                return Done(r, why);
            }
            case Op::BackgroundRect: {
                const tagPOINT a = e.points[0], b = e.points[1];
                tagRECT r = StorageRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                                        std::max(a.y, b.y), height_);
                return Done(theme_.GetBackground(&r), why);
            }
            case Op::BackgroundStroke: {
                if (!NeedStroke(why) || !Done(theme_.GetBackground(&stroke_), why)) return false;
                // The stroke's rectangle keeps its largest y in top.
                const CRect& c = stroke_.GetBoundingRect();
                tagRECT r = StorageRect(c.left, c.bottom, c.right, c.top, height_);
                return Done(theme_.GetBackground(&r), why);
            }
            case Op::Highlight:
                if (!Pocket(e.numbers[0], why)) return false;
                theme_.UnhighlightColors();
                shown_ = At(e.numbers[0]);
                return Done(theme_.HighlightColors(shown_, true), why);
            case Op::HighlightSelected:
                theme_.UnhighlightColors();
                shown_ = nullptr;
                return Done(theme_.HighlightColors(nullptr, true), why);
            case Op::Unhighlight:
                return true;
        }
        return true;
    }

    // Shows again the highlight of the last line, which was ended meanwhile
    // (the pocket is still in the theme: only an edit line removes one).
    void Rehighlight() { theme_.HighlightColors(shown_, true); }

private:
    // Pocket position n, or the last pocket for -1; check with Pocket first.
    ccColorPocket* At(int n) { return theme_.pockets[n < 0 ? theme_.pockets.GetSize() - 1 : n]; }
    bool Pocket(int n, std::string* why) {
        const int size = theme_.pockets.GetSize();
        if (n < size && size > 0) return true;
        *why = n < 0 ? "the theme has no pockets"
                     : "there is no pocket " + std::to_string(n) + " (the theme has " + std::to_string(size) +
                           ", from 0)";
        return false;
    }
    bool NeedStroke(std::string* why) {
        if (hasStroke_) return true;
        *why = "no stroke drawn yet (add a 'stroke' line first)";
        return false;
    }
    static bool Done(int result, std::string* why) {
        if (result >= 0) return true;
        if (why->empty()) *why = "the image has no usable 256-colour form";
        return false;
    }

    ccColorPocketArray& theme_;
    int height_;
    wStroke stroke_{0};
    bool hasStroke_ = false;
    ccColorPocket* shown_ = nullptr;  // the pocket of the highlight on, if any
};

// ---- the picture ----

// Releases a handle made by the library at the end of a scope.
struct LibraryDib {
    explicit LibraryDib(void* d = nullptr) : dib(d) {}
    ~LibraryDib() {
        if (dib) hv::FreeHandle(dib);
    }
    LibraryDib(const LibraryDib&) = delete;
    LibraryDib& operator=(const LibraryDib&) = delete;
    void* dib;
};

constexpr int kMaxSide = 480, kMargin = 16, kBarHeight = 28, kMarkGap = 3, kMarkHeight = 6;

void Fill(ipDibStuff& v, int x0, int y0, int w, int h, BYTE b, BYTE g, BYTE r) {
    for (int y = std::max(y0, 0); y < std::min(y0 + h, v.height()); ++y) {
        BYTE* row = v.rows[static_cast<size_t>(v.height() - 1 - y)];
        for (int x = std::max(x0, 0); x < std::min(x0 + w, v.width()); ++x) {
            row[3 * x] = b;
            row[3 * x + 1] = g;
            row[3 * x + 2] = r;
        }
    }
}

// The image and its highlighted palette image side by side, the theme's bar
// under them and a dark mark under each selected pocket (the bar's segments
// are as wide as the pockets' shares, as DrawThemeBar draws them).
void* Picture(void* image24, void* highlighted24, ccColorPocketArray& theme, std::string* error) {
    hvio::OwnedDib pair(hvio::SideBySide(image24, highlighted24, kMaxSide, error));
    if (!pair.get()) return nullptr;
    ipDibStuff top(pair.get(), false);
    const int w = top.width(), h = top.height();
    void* canvas = MakeEmptyDib(w, h + kBarHeight + kMarkGap + kMarkHeight + kMargin, 24, true);
    if (!canvas) {
        *error = "out of memory";
        return nullptr;
    }
    ipDibStuff v(canvas, false);
    Fill(v, 0, 0, w, v.height(), 255, 255, 255);
    for (int y = 0; y < h; ++y) {
        const BYTE* src = top.rows[static_cast<size_t>(h - 1 - y)];
        std::copy(src, src + 3 * static_cast<size_t>(w), v.rows[static_cast<size_t>(v.height() - 1 - y)]);
    }
    const int barWidth = w - 2 * kMargin;
    hvcli::DrawThemeBar(canvas, kMargin, h, barWidth, kBarHeight, theme);
    int64_t total = 0;
    const int n = theme.pockets.GetSize();
    for (ccColorPocket* p : theme.pockets) total += std::max(p->pixelNum, 0);
    int64_t before = 0;
    int left = 0;
    for (int k = 0; k < n; ++k) {
        ccColorPocket* p = theme.pockets[k];
        before += total > 0 ? std::max(p->pixelNum, 0) : 1;
        const int right = static_cast<int>(before * barWidth / (total > 0 ? total : n));
        if (p->selState >= 256)
            Fill(v, kMargin + left, h + kBarHeight + kMarkGap, right - left, kMarkHeight, 40, 40, 40);
        left = right;
    }
    return canvas;
}

std::string Hex(const tagRGBQUAD& c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

}  // namespace

namespace hvcli {

bool LoadEditedTheme(const std::string& path, void* image, ccColorPocketArray& theme, std::string* error) {
    bool is24 = false;
    {
        ipDibStuff v(image, false);
        is24 = v.is24();
    }
    if (is24) {
        void* dib8 = DecreaseBpp24to8(image);
        if (!dib8) {
            *error = "cannot reduce the image to 256 colours";
            return false;
        }
        theme.SetPalDib(dib8, true);
    } else {
        theme.SetPalDib(image, false);
    }
    const int r = theme.LoadFromFile(path.c_str());
    if (r == -1) {
        *error = "cannot open theme file '" + path + "'";
        return false;
    }
    if (r != 0) {
        *error = "'" + path + "' is not a valid theme file";
        return false;
    }
    ipDibStuff v(theme.palDib, false);
    bool same = v.isPalette8() && theme.paletteSize == 256;
    for (int i = 0; same && i < 256; ++i) {
        const tagRGBQUAD a = v.colors[i], b = theme.palette[i].rgb;
        same = a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed;
    }
    if (!same) {
        *error = "the theme in '" + path + "' was not made from this image (its palette differs)";
        return false;
    }
    return true;
}

}  // namespace hvcli

int CmdEdit(int argc, char** argv) {
    const char* cmd = "edit";
    hvcli::Args args;
    const int early = hvcli::Start(args, argc, argv, cmd, {{"output", 'o', true}, {"show", 0, true}, {"max-pixels", 0, true}},
                                   kHelp, 2,
                                   "needs an image and an edit script");
    if (early >= 0) return early;
    const std::string imagePath = args.positional()[0], scriptPath = args.positional()[1];
    const std::string output = args.Value("output"), show = args.Value("show");
    if (!args.Has("output")) return hvcli::UsageError(cmd, "missing output file (-o THEME.ccs)");
    if (!hvcli::IsThemeFile(output)) return hvcli::UsageError(cmd, "the theme file '" + output + "' must end in .ccs");
    if (args.Has("show") && !hvio::IsWritableFormat(show))
        return hvcli::UsageError(cmd, "cannot tell the format of '" + show + "' (use .bmp, .png, .jpg or .jpeg)");
    if (hvcli::IsThemeFile(imagePath)) return hvcli::UsageError(cmd, "IMAGE must be a picture, not a theme file");

    std::string error;
    long long maxPixels = 0;
    if (!hvcli::MaxPixels(args, &maxPixels, &error)) return hvcli::UsageError(cmd, error);
    std::vector<Edit> edits;
    if (!ReadEdits(scriptPath, &edits, &error)) return hvcli::Failure(cmd, error);

    ccColorPocketArray theme(0);
    hvio::OwnedDib image;
    if (!hvcli::ReadTheme(imagePath, theme, &image, &error, maxPixels)) return hvcli::Failure(cmd, error);
    int height = 0, width = 0;
    {
        ipDibStuff v(theme.palDib, false);
        height = v.height();
        width = v.width();
    }
    std::printf("%s: %d x %d, %d pockets\n", imagePath.c_str(), width, height, theme.pockets.GetSize());

    Editor editor(theme, height);
    for (const Edit& e : edits) {
        std::string why;
        if (!editor.Apply(e, &why))
            return hvcli::Failure(cmd, scriptPath + ":" + std::to_string(e.line) + ": " + e.text + ": " + why);
        std::printf("  line %-3ld %-32s -> %d pockets, %d selected\n", e.line,
                    (e.text.size() > 32 ? e.text.substr(0, 29) + "..." : e.text).c_str(),
                    theme.pockets.GetSize(), [&] {
                        int n = 0;
                        for (ccColorPocket* p : theme.pockets) n += p->selState >= 256;
                        return n;
                    }());
    }

    if (!show.empty()) {
        // The image first: an 8-bit image is itself the palette image.
        const bool wasHighlighted = theme.highlighted;
        if (wasHighlighted) theme.UnhighlightColors();
        hvio::OwnedDib rgb(hvio::ToRgb24(image.get(), &error));
        if (wasHighlighted)
            editor.Rehighlight();
        else
            theme.HighlightColors(nullptr, true);
        hvio::OwnedDib marked(hvio::ToRgb24(theme.palDib, &error));
        theme.UnhighlightColors();
        if (!rgb.get() || !marked.get()) return hvcli::Failure(cmd, "cannot draw the picture: " + error);
        LibraryDib picture(Picture(rgb.get(), marked.get(), theme, &error));
        if (!picture.dib) return hvcli::Failure(cmd, "cannot draw the picture: " + error);
        if (!hvio::WriteImage(picture.dib, show, &error)) return hvcli::Failure(cmd, error);
    }
    theme.UnhighlightColors();
    if (theme.SaveToFile(output.c_str()) != 0) return hvcli::Failure(cmd, "cannot write '" + output + "'");

    int64_t total = 0;
    for (ccColorPocket* p : theme.pockets) total += std::max(p->pixelNum, 0);
    std::printf("edited theme: %d pockets\n", theme.pockets.GetSize());
    std::printf("  %3s  %-7s  %6s  %5s  %s\n", "#", "colour", "share", "items", "marks");
    for (int k = 0; k < theme.pockets.GetSize(); ++k) {
        ccColorPocket* p = theme.pockets[k];
        std::string marks;
        if (p->selState >= 256) marks += " selected";
        if (p->flags & 1) marks += " background";
        std::printf("  %3d  %-7s  %5.1f%%  %5d %s\n", k, Hex(p->aveRGB).c_str(),
                    total > 0 ? 100.0 * std::max(p->pixelNum, 0) / total : 0.0, p->items.GetSize(), marks.c_str());
    }
    std::printf("theme saved to %s\n", output.c_str());
    if (!show.empty()) std::printf("picture: %s\n", show.c_str());
    return hvcli::kExitOk;
}
