// Files, images and themes for the theme library tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <memory>

#include "cli/tool_run.h"
#include "huevane/library.h"
#include "platform/file.h"
#include "transfer/transfer_fixtures.h"

namespace lfix {

using Names = std::vector<std::string>;
using Theme = std::unique_ptr<ccColorPocketArray>;
using tfix::NoLeak;

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
inline std::vector<char> Text(const std::string& s) {
    return std::vector<char>(s.c_str(), s.c_str() + s.size() + 1);
}

// An 8-bit image of w x h whose pixel (x, y) holds index (x + y) % colours
// of a table of saturated colours; saved to path when one is given.
inline void* Image8(int w, int h, int colours = 4, const std::string& path = "") {
    void* dib = MakeEmptyDib(w, h, 8, true);
    {
        ipDibStuff v(dib, false);
        for (int i = 0; i < 256; ++i)
            v.colors[i] = RgbQuad(HSLtoRGB(MakeHsl(i * 256 / colours, 200, 120, 0)));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) v.rows[y][x] = static_cast<BYTE>((x + y) % colours);
    }
    if (path.empty()) return dib;
    SaveDIB(dib, path.c_str());
    hv::FreeHandle(dib);
    return nullptr;
}

// A theme of type `type` with a pocket of 10 pixels per hue given (full
// saturation, mid lightness), in that order.
inline ccColorPocketArray* HueTheme(int type, const std::vector<int>& hues) {
    auto* t = new ccColorPocketArray(type);
    for (int h : hues) tfix::Add(*t, h, 255, 128, 10);
    return t;
}

inline Names NamesOf(const ccColorPocketArrayArray& lib) {
    Names out;
    for (ccColorPocketArray* t : lib.themes) out.push_back(t->name);
    return out;
}

// A theme as "name type pockets WxHxBits tags" (its palette image; "-"
// without one).
inline std::string Describe(ccColorPocketArray* t) {
    std::string image = "-";
    if (t->palDib) {
        ipDibStuff v(t->palDib, false);
        image =
            std::to_string(v.width()) + "x" + std::to_string(v.height()) + "x" + std::to_string(v.bitCount());
    }
    return t->name + " " + std::to_string(t->GetThemeType()) + " " + std::to_string(t->pockets.GetSize()) +
           " " + image + " " + t->tagText;
}

}  // namespace lfix
