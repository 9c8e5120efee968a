// Writes the seed corpora of the fuzz targets, fuzz/corpus/<target>/, with
// the library's and the tool's own writers: bitmap files of every depth,
// style buffers and theme files of layout versions 17 to 21, card and group
// files, PNG and JPEG images, region lists, stroke-edit programs and edit
// scripts.
//
// Usage: fuzz_make_seeds CORPUS_DIR
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dib/dib.h"
#include "fuzz.h"
#include "huevane/colorsystem.h"
#include "huevane/huevane.h"
#include "huevane/library.h"
#include "huevane/theme.h"
#include "imageio.h"

namespace {

std::string g_root;

std::string Dir(const std::string& target) {
    const std::string d = g_root + "/" + target;
    ::mkdir(d.c_str(), 0755);
    return d + "/";
}

void Put(const std::string& target, const std::string& name, const std::string& bytes) {
    std::ofstream(Dir(target) + name, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Le32(uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// An image of any depth: the library makes 8 and 24 bits; the other
// depths get a grey table (up to 8 bits) and patterned pixel bytes.
void* AnyImage(int width, int height, int bits) {
    if (bits == 8 || bits == 24) return hvfuzz::MakeImage(width, height, bits, 11);
    void* dib = MakeEmptyDib(width, height, bits, true);
    ipDibStuff v(dib, true);
    const size_t stride = static_cast<size_t>(hv::RowBytes(width, bits));
    for (int y = 0; y < v.height(); ++y)
        for (size_t i = 0; i < stride; ++i) v.rows[y][i] = static_cast<BYTE>(i * 29 + y * 53);
    return dib;
}

void Bitmaps() {
    const std::string tmp = hvfuzz::ScratchPath("seed.bmp");
    for (int bits : {1, 4, 8, 16, 24, 32}) {
        void* dib = AnyImage(7, 5, bits);
        SaveDIB(dib, tmp.c_str());
        const std::string bytes = Slurp(tmp);
        Put("loaddib", "depth" + std::to_string(bits) + ".bmp", bytes);
        if (bits == 8) {
            // The same image stored top-down, with a short colour table,
            // and an 8-bit run-length file (a run, a literal run, the end).
            std::string top = bytes;
            const int32_t h = -5;
            std::memcpy(&top[22], &h, 4);
            Put("loaddib", "topdown8.bmp", top);
            std::string rle = bytes.substr(0, 14 + 40 + 1024);
            const std::string runs = std::string("\x07\x03", 2) + std::string("\x00\x03\x01\x02\x04\x00", 6) +
                                     std::string("\x00\x00\x00\x01", 4);
            const uint32_t compression = BI_RLE8, image = static_cast<uint32_t>(runs.size());
            std::memcpy(&rle[14 + 16], &compression, 4);
            std::memcpy(&rle[14 + 20], &image, 4);
            rle += runs;
            Put("loaddib", "rle8.bmp", rle);
            Put("imagefile", "depth8.bmp", bytes);
        }
        if (bits == 24) Put("imagefile", "depth24.bmp", bytes);
        hvfuzz::FreeDib(dib);
    }
    void* big = hvfuzz::MakeImage(41, 29, 24, 4);
    SaveDIB(big, tmp.c_str());
    Put("loaddib", "photo24.bmp", Slurp(tmp));
    hvfuzz::FreeDib(big);
}

// A version-21 buffer rewritten in an older layout: the name field 16
// bytes wide before version 18, the palette without its count before 21
// (exactly 256 items), and 255 blocks of 256 items before it up to 16.
std::string OldLayout(const std::string& v21, int version) {
    const size_t nameEnd = 10 + 32;
    int32_t n;
    std::memcpy(&n, &v21[nameEnd], 4);
    if (n != 256) return std::string();
    std::string body = v21.substr(6, 4) + v21.substr(10, version >= 18 ? 32 : 16);
    std::memcpy(&body[0], &version, 4);
    if (version <= 16) body += std::string(size_t(255) * 256 * 20, '\0');
    body += v21.substr(nameEnd + 4);
    const std::string out = "CC" + body;
    return Le32(static_cast<uint32_t>(out.size())) + out;
}

void Themes() {
    const std::string tmp = hvfuzz::ScratchPath("seed.ccs");
    int k = 0;
    for (int bits : {8, 24}) {
        for (int w : {3, 29}) {
            void* dib = hvfuzz::MakeImage(w, 11, bits, static_cast<unsigned>(w + bits));
            char* style = nullptr;
            Preprocess(dib, &style);
            ccColorPocketArray t;
            t.LoadFromBuf(style);
            t.name = "seed " + std::to_string(++k);
            char* buf = nullptr;
            const int len = t.SaveToBuf(buf);
            const std::string v21(buf, static_cast<size_t>(len) + 4);
            Put("stylebuf", "v21_" + std::to_string(k), v21);
            t.SaveToFile(tmp.c_str());
            Put("themefile", "v21_" + std::to_string(k) + ".ccs", Slurp(tmp));
            // Version 16 and older carry 1.3 MB of unused palettes: too big
            // to mutate quickly (the tests cover that layout).
            if (k == 1)
                for (int version : {20, 18, 17}) {
                    const std::string old = OldLayout(v21, version);
                    Put("stylebuf", "v" + std::to_string(version), old);
                    Put("themefile", "v" + std::to_string(version) + ".ccs", old.substr(4));
                }
            t.FreeDataBuf(buf);
            FreeStyleBuf(style);
            hvfuzz::FreeDib(dib);
        }
    }
    // An empty theme, and a small palette with pockets sharing a member.
    ccColorPocketArray empty;
    char* buf = nullptr;
    int len = empty.SaveToBuf(buf);
    Put("stylebuf", "empty", std::string(buf, static_cast<size_t>(len) + 4));
    empty.FreeDataBuf(buf);
    ccColorPocketArray small;
    small.name = "small";
    small.InitPalette(3);
    for (int i = 0; i < 3; ++i) small.SetPalEntryBYTE(i, BYTE(80 * i), BYTE(200 - 60 * i), 40, 10 + i, 33);
    for (int j = 0; j < 2; ++j) {
        auto* p = new ccColorPocket;
        p->AddColorItemAny(&small.palette[j]);
        p->AddColorItemAny(&small.palette[2]);
        p->name = j ? "sky" : "sand";
        p->index = j;
        small.pockets.Add(p);
    }
    len = small.SaveToBuf(buf);
    Put("stylebuf", "small", std::string(buf, static_cast<size_t>(len) + 4));
    Put("themefile", "small.ccs", std::string(buf + 4, static_cast<size_t>(len)));
    small.FreeDataBuf(buf);
}

void Cards() {
    // Cards: the first lines of the sample card, and lines off the grammar;
    // each with a group file written by SaveGroup.
    std::string css;
    {
        std::istringstream in(Slurp(std::string(HUEVANE_SAMPLES) + "/css-colours.txt"));
        std::string line;
        for (int i = 0; i < 12 && std::getline(in, line); ++i) css += line + "\n";
    }
    const std::string odd = "No colon RGB(1, 2, 3)\nName: no colour\nCut: RGB(4, 5\r\nSigned: RGB(-1, +300, 511)\n\n"
                            "Tabs:\tRGB(\t7\t,\t8\t,\t9\t)";
    int k = 0;
    for (const std::string& card : {css, odd}) {
        csColorSystem cs;
        cs.path = hvfuzz::ScratchPath("seed");
        cs.groups = k ? std::vector<std::vector<int>>{{0, 5}, {}, {2, 2, 9}}
                      : std::vector<std::vector<int>>{{4, 0, 1}, {3}};
        cs.SaveGroup();
        const std::string grp = Slurp(cs.path + ".grp");
        std::remove((cs.path + ".grp").c_str());
        const uint16_t n = static_cast<uint16_t>(card.size());
        Put("cardfile", "card" + std::to_string(++k),
            std::string(1, char(n & 0xFF)) + char(n >> 8) + card + grp);
        Put("groupfile", "groups" + std::to_string(k) + ".grp", grp);
    }
    Put("groupfile", "none.grp", Le32(16) + Le32(0));
}

void ImageFiles() {
    for (int bits : {8, 24}) {
        hvio::OwnedDib dib(hvfuzz::MakeImage(9, 6, bits, 2));
        for (const char* ext : {".png", ".jpg"}) {
            const std::string path = hvfuzz::ScratchPath(std::string("seed") + ext);
            std::string error;
            hvio::WriteImage(dib.get(), path, &error);
            Put("imagefile", "depth" + std::to_string(bits) + ext, Slurp(path));
        }
    }
}

void Regions() {
    Put("regionsfile", "two", "# kept areas\n0,0 10,0 10,10 0,10\n\n  3,4\t20,4 12,18 -5,9\r\n");
    Put("regionsfile", "wide", "-2147483648,0 2147483647,5 7,+2147483647\n");
    // Option byte, image size, region count, then per region its kind and
    // vertices; then the link table.
    const unsigned char square8[] = {0x00, 0x10, 0x0c, 0x01, 0x04, 0x00, 0x00, 0x08, 0x00, 0x08,
                                     0x06, 0x00, 0x06, 0x03, 0x00, 0x01, 0x01, 0x02};
    const unsigned char two24[] = {0x07, 0x14, 0x0a, 0x02, 0x03, 0x01, 0x01, 0x09, 0x01, 0x05, 0x08, 0x84,
                                   0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00,
                                   0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x01,
                                   0xff};
    Put("regions", "square8", std::string(reinterpret_cast<const char*>(square8), sizeof square8));
    Put("regions", "two24", std::string(reinterpret_cast<const char*>(two24), sizeof two24));
}

std::string Le16(size_t n) { return std::string(1, char(n & 0xFF)) + char((n >> 8) & 0xFF); }

// Script files written by AddExample (its thumbnail beside it), with the
// theme file of the first example; and list files from the sample library.
void Library() {
    const std::string script = hvfuzz::ScratchPath("lib.txt");
    std::string folder = script.substr(0, script.size() - 7);
    const std::string thumb = hvfuzz::ScratchPath("a.bmp");
    hvfuzz::ScratchPath("b.bmp");
    for (int k = 0; k < 2; ++k) {
        std::ofstream(script, std::ios::binary | std::ios::trunc)
            << (k ? "[Examples]\n" : "[Version]\n1\n[Category]\nPhotos\n[Examples]\n");
        ccColorPocketArrayArray lib;
        lib.scriptPath = script;
        void* dib = hvfuzz::MakeImage(k ? 40 : 17, 12, 8, static_cast<unsigned>(k + 7));
        ccColorPocketArray t;
        t.SetPalDib(dib, false);
        t.GetColorPockets();
        lib.AddExample(&t, true, &folder[0], const_cast<char*>("Coffee"), const_cast<char*>("a.bmp"),
                       const_cast<char*>("#warm#brown"));
        if (k) lib.AddExample(&t, true, &folder[0], const_cast<char*>("Again"), const_cast<char*>("b.bmp"),
                              const_cast<char*>(""));
        const std::string ccsPath = hvfuzz::ScratchPath("a.bmp.ccs");
        t.SaveToFile(ccsPath.c_str());
        const std::string text = Slurp(script), ccs = k ? std::string() : Slurp(ccsPath);
        Put("scriptfile", "script" + std::to_string(k + 1), Le16(text.size()) + text + Le16(ccs.size()) + ccs + Slurp(thumb));
        t.SetPalDib(nullptr, false);
        hvfuzz::FreeDib(dib);
    }
    std::string sample;
    {
        std::istringstream in(Slurp(std::string(HUEVANE_SAMPLES) + "/library/themes.txt"));
        std::string line;
        for (int i = 0; i < 24 && std::getline(in, line); ++i) sample += line + "\n";
    }
    Put("listfile", "sample", sample);
    Put("listfile", "odd", "[Version]\n\n[Themes]\n[a]\n1 0 0 0 1 0 0 0 1 1 1 1 0.5 0.5 0.5 9 9 9\n[b\n"
                           "(nan, -1, 1e9) (0x10, 2e-3, .5)\n[]\n\n[last]");
}

// Stroke-edit programs (see targets/strokes.cpp): image size, seed, host
// flags, pen width, then per step its operation byte and operands.
void Strokes() {
    const unsigned char every[] = {20, 14, 3, 2, 2,
                                   0x00, 3, 4, 1, 1, 15, 10, 3, 12, 18, 2,      // stroke
                                   0x05, 0x01, 0x00, 0x04, 0x06, 0x07, 0x3f,    // new, select, grow, detach, merge
                                   0x08, 7, 0, 0, 2, 1, 4, 2, 6, 3, 8, 4, 10, 5, 12, 6,  // cut
                                   0x09, 2, 2, 10, 8, 0x0a, 0x4e, 0x00,         // rectangle, stroke, highlight
                                   0x0b, 0x02, 0x0d, 0, 1, 0, 0x0e, 0x4f, 0x0c};
    const unsigned char wide[] = {7, 5, 9, 3, 1,
                                  0x80, 200, 2, 0x00, 0x00, 0x00, 0x80, 0x05, 0, 0, 0, 0xff, 0xff, 0xff, 0x7f, 0, 0, 0, 0,
                                  0x85, 0x87, 0xff, 0x89, 0, 0, 0, 0x80, 0, 0, 0, 0x80, 0xff, 0xff, 0xff, 0x7f,
                                  0xff, 0xff, 0xff, 0x7f, 0x8a, 0x4f};
    Put("strokes", "every", std::string(reinterpret_cast<const char*>(every), sizeof every));
    Put("strokes", "wide", std::string(reinterpret_cast<const char*>(wide), sizeof wide));
}

// Edit scripts: the samples as they are, the first one scaled onto the
// 19 x 13 image of targets/editscript.cpp, and one line of every edit.
void EditScripts() {
    bool scaled = false;
    if (DIR* d = opendir(HUEVANE_SAMPLES)) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() < 6 || name.compare(name.size() - 5, 5, ".edit") != 0) continue;
            const std::string text = Slurp(std::string(HUEVANE_SAMPLES) + "/" + name);
            Put("editscript", name, text);
            if (scaled) continue;
            // Points of the 640 x 427 photo to points of the small image.
            std::string out;
            std::istringstream lines(text);
            for (std::string line; std::getline(lines, line);) {
                std::istringstream words(line);
                std::string sep;
                for (std::string w; words >> w; sep = " ") {
                    int x = 0, y = 0;
                    char comma = 0;
                    std::istringstream p(w);
                    if (w[0] != '#' && p >> x >> comma >> y && comma == ',')
                        w = std::to_string(x * 19 / 640) + "," + std::to_string(y * 13 / 427);
                    out += sep + w;
                }
                out += "\n";
            }
            Put("editscript", "scaled-" + name, out);
            scaled = true;
        }
        closedir(d);
    }
    Put("editscript", "every",
        "stroke 2 1,1 17,11 3,6\nnew pocket\nselect last\ngrow\ndetach\nmerge on stroke\n"
        "cut 0,0 3,2 6,4 9,6 12,8 15,10\nbackground 0,0 4,4\nbackground stroke\nhighlight 0\n"
        "highlight selected\nunhighlight\nmerge selected\nSELECT All # every pocket\ndelete selected\n"
        "select none\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    ::mkdir(g_root.c_str(), 0755);
    Bitmaps();
    Themes();
    Cards();
    ImageFiles();
    Regions();
    Library();
    Strokes();
    EditScripts();
    return 0;
}
