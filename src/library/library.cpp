// The theme library container, its tag set and new examples.
#include "huevane/library.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "platform/file.h"

namespace {

bool Lists(const ccDynaArray<ccColorPocketArray*>& list, ccColorPocketArray* t) {
    for (int i = 0; i < list.GetSize(); ++i)
        if (list[i] == t) return true;
    return false;
}

}  // namespace

ccColorPocketArrayArray::ccColorPocketArrayArray(bool owns) : ownsThemes(owns) {}

ccColorPocketArrayArray::~ccColorPocketArrayArray() {
    if (ownsThemes) ClearAll();
}

ccColorPocketArrayArray::ccColorPocketArrayArray(const ccColorPocketArrayArray& other)
    : themes(other.themes), selected(other.selected), ownsThemes(false), scriptPath(other.scriptPath),
      tags(other.tags) {}

ccColorPocketArrayArray& ccColorPocketArrayArray::operator=(const ccColorPocketArrayArray& other) {
    if (this == &other) return *this;
    bool keepOwning = ownsThemes && !other.ownsThemes;
    for (int i = 0; keepOwning && i < other.themes.GetSize(); ++i) keepOwning = Lists(themes, other.themes[i]);
    if (ownsThemes)
        for (int i = 0; i < themes.GetSize(); ++i)
            if (!Lists(other.themes, themes[i])) delete themes[i];
    themes = other.themes;
    selected = other.selected;
    ownsThemes = keepOwning;
    scriptPath = other.scriptPath;
    tags = other.tags;
    return *this;
}

void ccColorPocketArrayArray::ClearAll() {
    themes.FreeMem();
    themes.RemoveAll();
}

ccColorPocketArray* ccColorPocketArrayArray::GetSelPocketArray() {
    if (selected < 0 || selected >= themes.GetSize()) return nullptr;
    return themes[selected];
}

int ccColorPocketArrayArray::TagCollect(char* tagText) {
    if (!tagText) return 0;
    constexpr int kMaxTags = 100;
    int added = 0;
    char* p = tagText;
    for (int pieces = 0; pieces < kMaxTags; ++pieces) {
        while (*p == '#') ++p;
        if (!*p) break;
        char* start = p;
        while (*p && *p != '#') ++p;
        const bool more = *p == '#';
        *p = '\0';
        if (tags.emplace(start, start).second) ++added;
        if (!more) break;
        ++p;
    }
    return added;
}

namespace {

// A thumbnail `width` pixels wide of the palette image, in proportion, after
// the theme's palette colours are written back; null when there is no usable
// image or the thumbnail cannot be made (the zoom takes 8-bit images of any
// colour-table size).
void* Thumbnail(ccColorPocketArray& theme, int width) {
    int w = 0, h = 0;
    {
        ipDibStuff view(theme.palDib, false);
        if (!view.usable() || view.width() <= 0) return nullptr;
        w = view.width();
        h = view.height();
    }
    const int64_t th = static_cast<int64_t>(h) * width / w;
    theme.RestorePalDibColors();
    if (th < 1) return nullptr;
    return ZoomImage8(theme.palDib, width, static_cast<int>(th));
}

// A new theme of theme's type with its buffer contents (the caller deletes it).
ccColorPocketArray* BufferCopy(ccColorPocketArray& theme) {
    char* buf = nullptr;
    theme.SaveToBuf(buf);
    auto* copy = new ccColorPocketArray(theme.GetThemeType());
    if (buf) {
        copy->LoadFromBuf(buf);
        theme.FreeDataBuf(buf);
    }
    return copy;
}

// A field of an example line: no character that the reader splits at.
bool LineField(const std::string& s) { return s.find_first_of(" ,:\t\r\n") == std::string::npos; }

}  // namespace

ccColorPocketArray* ccColorPocketArray::MakeNewTheme() {
    if (!palDib) return nullptr;
    ccColorPocketArray* copy = BufferCopy(*this);
    if (void* thumb = Thumbnail(*this, 180)) copy->SetPalDib(thumb, true);
    return copy;
}

int ccColorPocketArrayArray::AddExample(ccColorPocketArray* theme, bool save, char* folder, char* name,
                                        char* fileName, char* tagText) {
    if (!theme) return -1;
    ccColorPocketArray* copy = BufferCopy(*theme);
    void* thumb = theme->palDib ? Thumbnail(*theme, 256) : nullptr;
    if (thumb) copy->SetPalDib(thumb, true);
    themes.Add(copy);
    if (!save) return 0;

    const std::string dir = folder ? folder : "", n = name ? name : "", file = fileName ? fileName : "",
                      tagsText = tagText ? tagText : "";
    constexpr size_t kMaxLine = 99;  // the line feed counts as one character
    if (n.empty() || file.empty() || !LineField(n) || !LineField(file) || !LineField(tagsText) ||
        n.size() + file.size() + tagsText.size() + 3 > kMaxLine)
        return 0;
    if (thumb) SaveDIB(thumb, (dir + file).c_str());
    if (scriptPath.empty()) return 0;
    {
        // The line goes only to a script file that exists already.
        hv::File probe;
        if (!probe.Open(scriptPath.c_str(), hv::FileMode::ReadShared)) return 0;
    }
    hv::File script;
    if (!script.Open(scriptPath.c_str(), hv::FileMode::Append)) return 0;
    const std::string line = n + "\t" + file + "\t" + tagsText + hv::kLineEnd;
    script.WriteAll(line.data(), line.size());
    return 0;
}
