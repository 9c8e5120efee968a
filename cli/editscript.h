// The edit script of the edit command: one edit per line, read into a list
// of edits, and the editor that applies them to a theme in order.
#pragma once

#include <string>
#include <vector>

#include "huevane/stroke.h"
#include "huevane/theme.h"

namespace hvcli {

enum class EditOp {
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
    EditOp op;
    long line;
    std::string text;              // the line as written, for messages
    std::vector<int> numbers;      // pocket positions; the pen width
    std::vector<tagPOINT> points;  // image coordinates
};

// Every line of the script at path ('#' starts a comment, words are read
// case-blind); false with "FILE:LINE: reason", or a message when the file
// cannot be read.
bool ReadEdits(const std::string& path, std::vector<Edit>* edits, std::string* error);

// Applies edits to a theme whose palette image is `height` rows tall.
class Editor {
public:
    Editor(ccColorPocketArray& theme, int height) : theme_(theme), height_(height) {}

    // Applies one edit; false with the reason.
    bool Apply(const Edit& e, std::string* why);

    // Shows again the highlight of the last line, which was ended meanwhile
    // (the pocket is still in the theme: only an edit line removes one).
    void Rehighlight() { theme_.HighlightColors(shown_, true); }

private:
    ccColorPocket* At(int n);
    bool Pocket(int n, std::string* why);
    bool NeedStroke(std::string* why);
    static bool Done(int result, std::string* why);

    ccColorPocketArray& theme_;
    int height_;
    wStroke stroke_{0};
    bool hasStroke_ = false;
    ccColorPocket* shown_ = nullptr;  // the pocket of the highlight on, if any
};

}  // namespace hvcli
