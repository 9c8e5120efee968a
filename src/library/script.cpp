// The script file: a theme library's example images.
#include <string>
#include <vector>

#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/library.h"
#include "library/textlines.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace {

constexpr size_t kScriptLine = 259;
const char kExampleDelimiters[] = " ,:\t\r\n";

// The thumbnail at path as an 8-bit image: a 24-bit file is reduced (its
// handle released), other depths are kept as they are; null when unreadable.
void* LoadThumbnail(const std::string& path) {
    void* dib = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    bool reduce = false;
    {
        ipDibStuff view(dib, false);
        reduce = view.is24();
    }
    if (!reduce) return dib;
    void* eight = DecreaseBpp24to8(dib);
    hv::FreeHandle(dib);
    return eight;
}

}  // namespace

int ccColorPocketArrayArray::LoadFromScriptFile(const char* path) {
    if (!path) return 0;
    hv::File file;
    if (!file.Open(path, hv::FileMode::ReadExclusive)) return 0;
    scriptPath = path;
    const std::string folder = hv::FolderOf(scriptPath);
    hv::LimitedLines lines(file, kScriptLine);

    std::string line;
    for (;;) {
        if (!lines.NextWithin(line)) return 0;
        if (line == "[Examples]") break;
        if (line == "[Version]" || line == "[Category]") {
            if (!lines.Next(line)) return 0;  // the value, whatever it holds
        }
    }
    while (lines.NextWithin(line) && !line.empty()) {
        const std::vector<std::string> tok = hv::Tokens(line, kExampleDelimiters);
        if (tok.size() < 2) continue;
        auto* theme = new ccColorPocketArray(0);
        if (void* thumb = LoadThumbnail(folder + tok[1])) theme->SetPalDib(thumb, true);
        themes.Add(theme);
        // A theme file that is missing or malformed gives way to extraction.
        if (theme->LoadFromFile((folder + tok[1] + ".ccs").c_str()) < 0) theme->GetColorPockets();
        theme->name = tok[0];
        for (int i = 0; i < theme->pockets.GetSize(); ++i) theme->pockets[i]->rdsFlag = 1;
        if (tok.size() > 2) {
            theme->tagText = tok[2];
            std::vector<char> text(tok[2].begin(), tok[2].end());
            text.push_back('\0');
            TagCollect(text.data());
        }
        if (tok.size() > 3) theme->originalPath = folder + "Org" + hv::kPathSeparator + tok[3];
    }
    return 0;
}
