// The edit script of the edit command (see editscript.h).
#include "editscript.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace hvcli {

namespace {

constexpr long kMaxCoordinate = 1000000;
constexpr int kMaxStrokePixels = 1 << 24;  // for 'merge on stroke', which lists them

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
    auto noMore = [&](size_t n, EditOp op) {
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
    if (is({"select", "all"})) return noMore(2, EditOp::SelectAll);
    if (is({"select", "none"})) return noMore(2, EditOp::SelectNone);
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
        e->op = EditOp::Select;
        return true;
    }
    if (is({"stroke"})) {
        long width = 0;
        if (w.size() < 2 || !ParseNumber(w[1], 0, kMaxCoordinate, &width)) {
            *why = "a stroke starts with its pen width, a whole number from 0 to " + std::to_string(kMaxCoordinate);
            return false;
        }
        e->numbers.push_back(static_cast<int>(width));
        e->op = EditOp::Stroke;
        return points(2, 1, 100000, "a stroke needs at least one point");
    }
    if (is({"grow"})) return noMore(1, EditOp::Grow);
    if (is({"new", "pocket"})) return noMore(2, EditOp::NewPocket);
    if (is({"detach"})) return noMore(1, EditOp::Detach);
    if (is({"merge", "on", "stroke"})) return noMore(3, EditOp::MergeOnStroke);
    if (is({"merge", "selected"})) return noMore(2, EditOp::MergeSelected);
    if (is({"delete", "selected"})) return noMore(2, EditOp::DeleteSelected);
    if (is({"cut"})) {
        e->op = EditOp::Cut;
        return points(1, 5, 100000, "a cut needs at least 5 points");
    }
    if (is({"background", "stroke"})) return noMore(2, EditOp::BackgroundStroke);
    if (is({"background"})) {
        e->op = EditOp::BackgroundRect;
        return points(1, 2, 2, "a background rectangle takes two corners X,Y X,Y");
    }
    if (is({"highlight", "selected"})) return noMore(2, EditOp::HighlightSelected);
    if (is({"highlight"})) {
        int n = 0;
        if (w.size() != 2 || !ParsePosition(w[1], &n)) {
            *why = "highlight takes one pocket position (a number from 0, or 'last'), or 'selected'";
            return false;
        }
        e->numbers.push_back(n);
        e->op = EditOp::Highlight;
        return true;
    }
    if (is({"unhighlight"})) return noMore(1, EditOp::Unhighlight);
    *why = "unknown edit '" + w[0] + "'";
    return false;
}

int64_t Clamp(int64_t v) { return std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, v)); }

// A rectangle of image rows ya..yb (from the top) as rows of the bottom-up
// palette image.
tagRECT StorageRect(int64_t left, int64_t ya, int64_t right, int64_t yb, int height) {
    return tagRECT{static_cast<LONG>(Clamp(left)), static_cast<LONG>(Clamp(height - 1 - yb)),
                   static_cast<LONG>(Clamp(right)), static_cast<LONG>(Clamp(height - 1 - ya))};
}

}  // namespace

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
        Edit e{EditOp::Grow, number, "", {}, {}};
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

bool Editor::Apply(const Edit& e, std::string* why) {
    // Every edit but a highlight works on the true colours.
    if (e.op != EditOp::Highlight && e.op != EditOp::HighlightSelected) theme_.UnhighlightColors();
    switch (e.op) {
        case EditOp::Select:
            for (int n : e.numbers) {
                if (!Pocket(n, why)) return false;
                At(n)->selState = 256;
            }
            return true;
        case EditOp::SelectAll:
            theme_.SelectAll();
            return true;
        case EditOp::SelectNone:
            theme_.UnselectAll();
            return true;
        case EditOp::Stroke:
            stroke_ = wStroke(static_cast<unsigned>(e.numbers[0]));
            stroke_.StartStroke();
            for (const tagPOINT& p : e.points) stroke_.AddPoint(p.x, p.y);
            stroke_.FinishStroke();
            hasStroke_ = true;
            return true;
        case EditOp::Grow: {
            if (!NeedStroke(why)) return false;
            const int r = theme_.AddToSelFromStroke(&stroke_);
            if (r == -2) *why = "no pocket is selected";
            if (r == -3) *why = "grow needs exactly one selected pocket";
            return Done(r, why);
        }
        case EditOp::NewPocket:
            return NeedStroke(why) && Done(theme_.NewPocket(&stroke_), why);
        case EditOp::Detach:
            return NeedStroke(why) && Done(theme_.DetachColor(&stroke_), why);
        case EditOp::MergeOnStroke: {
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
        case EditOp::MergeSelected:
            if (theme_.MergeSelectedPockets() < 0) {
                *why = "no pocket is selected";
                return false;
            }
            return true;
        case EditOp::DeleteSelected:
            theme_.DelSelPockets();
            return true;
        case EditOp::Cut: {
            std::vector<tagPOINT> pts = e.points;
            cPointsCut cut{pts.data(), static_cast<int>(pts.size())};
            const int r = theme_.GetColorPocketsFromCut(&cut);
            if (r == -3) *why = "fewer than 5 of the cut's points lie on the image";
            return Done(r, why);
        }
        case EditOp::BackgroundRect: {
            const tagPOINT a = e.points[0], b = e.points[1];
            tagRECT r = StorageRect(std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x),
                                    std::max(a.y, b.y), height_);
            return Done(theme_.GetBackground(&r), why);
        }
        case EditOp::BackgroundStroke: {
            if (!NeedStroke(why) || !Done(theme_.GetBackground(&stroke_), why)) return false;
            // The stroke's rectangle keeps its largest y in top.
            const CRect& c = stroke_.GetBoundingRect();
            tagRECT r = StorageRect(c.left, c.bottom, c.right, c.top, height_);
            return Done(theme_.GetBackground(&r), why);
        }
        case EditOp::Highlight:
            if (!Pocket(e.numbers[0], why)) return false;
            theme_.UnhighlightColors();
            shown_ = At(e.numbers[0]);
            return Done(theme_.HighlightColors(shown_, true), why);
        case EditOp::HighlightSelected:
            theme_.UnhighlightColors();
            shown_ = nullptr;
            return Done(theme_.HighlightColors(nullptr, true), why);
        case EditOp::Unhighlight:
            return true;
    }
    return true;
}

// Pocket position n, or the last pocket for -1; check with Pocket first.
ccColorPocket* Editor::At(int n) { return theme_.pockets[n < 0 ? theme_.pockets.GetSize() - 1 : n]; }
bool Editor::Pocket(int n, std::string* why) {
    const int size = theme_.pockets.GetSize();
    if (n < size && size > 0) return true;
    *why = n < 0 ? "the theme has no pockets"
                 : "there is no pocket " + std::to_string(n) + " (the theme has " + std::to_string(size) +
                       ", from 0)";
    return false;
}
bool Editor::NeedStroke(std::string* why) {
    if (hasStroke_) return true;
    *why = "no stroke drawn yet (add a 'stroke' line first)";
    return false;
}
bool Editor::Done(int result, std::string* why) {
    if (result >= 0) return true;
    if (why->empty()) *why = "the image has no usable 256-colour form";
    return false;
}

}  // namespace hvcli
