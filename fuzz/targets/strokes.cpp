// The stroke edits: a theme extracted from a small 8-bit image, then a
// fuzzed sequence of selections, highlights, strokes, cuts, rectangles and
// pocket edits, with a 24-bit host image and a backup for the restore.
// After every edit the theme holds its invariants (members in the palette,
// no colour in two pockets, each pocket's count the sum of its items'), the
// palette image's pixels are untouched, and a call that fails leaves the
// theme and the images as they were. At the end the theme survives a save
// and a reload and no handle is left.
#include <cstdint>
#include <vector>

#include "../fuzz.h"
#include "huevane/stroke.h"
#include "huevane/theme.h"

using namespace hvfuzz;

namespace {

// What a refused edit must leave alone: the pockets, their items in order,
// counts, colours, flags and selection.
std::vector<int64_t> Signature(ccColorPocketArray& t) {
    std::vector<int64_t> s;
    for (ccColorPocket* p : t.pockets) {
        s.insert(s.end(), {reinterpret_cast<intptr_t>(p), p->pixelNum, p->flags, p->selState, p->origin,
                           p->aveRGB.rgbRed | p->aveRGB.rgbGreen << 8 | p->aveRGB.rgbBlue << 16, p->aveHSL,
                           p->items.GetSize()});
        for (ccColorItem* it : p->items) s.push_back(it - t.palette);
    }
    return s;
}

// Pixel bytes of an 8-bit image with a 256-entry table.
std::vector<uint8_t> Pixels(void* dib) {
    std::vector<uint8_t> all = Snapshot(dib);
    const size_t start = 40 + 256 * 4;
    return all.size() > start ? std::vector<uint8_t>(all.begin() + start, all.end()) : std::vector<uint8_t>();
}

// A coordinate: mostly near the image, any 32-bit value when asked.
int Coord(Bytes& in, bool wide) { return wide ? in.I32() : int8_t(in.U8()); }

}  // namespace

HV_FUZZ_TARGET(strokes, "strokes") {
    Bytes in(data, size);
    const long live = LiveHandles();
    const int width = 1 + in.U8() % 24, height = 1 + in.U8() % 24;
    const unsigned seed = in.U8();
    void* dib = MakeImage(width, height, 8, seed);
    // The host's 24-bit image and its backup, the backup sometimes of
    // another size (restore must then refuse).
    const uint8_t hostSize = in.U8();
    void* host = MakeImage(width, height, 24, seed + 1);
    void* backup = MakeImage(hostSize & 1 ? width + 1 : width, height, 24, seed + 2);
    {
        ccColorPocketArray t;
        t.SetPalDib(dib, false);
        t.GetColorPockets();
        if (hostSize & 2) {
            t.SetTrueDib(host);
            t.SetTrueDibCopy(backup);
        }
        const std::vector<uint8_t> pixels = Pixels(dib);
        wStroke stroke(in.U8() % 8);
        for (int steps = 0; steps < 32 && in.left() > 0; ++steps) {
            const int op = in.U8();
            const bool wide = op & 0x80;
            const int n = t.pockets.GetSize();
            const std::vector<int64_t> before = Signature(t);
            const std::vector<uint8_t> palBefore = Snapshot(dib), hostBefore = Snapshot(host);
            int r = 0;
            switch (op % 16) {
                case 0: {  // a new stroke of up to 8 points
                    stroke = wStroke(in.U8() % 16);
                    stroke.StartStroke();
                    for (int k = in.U8() % 9; k > 0; --k) stroke.AddPoint(Coord(in, wide), Coord(in, wide));
                    stroke.FinishStroke();
                    const CRect& c = stroke.GetBoundingRect();
                    if (!stroke.GetPointList().empty()) FUZZ_CHECK(c.left <= c.right && c.bottom <= c.top);
                    break;
                }
                case 1:
                    if (n > 0) t.pockets[in.U8() % n]->selState = 256;
                    break;
                case 2:
                    t.SelectAll();
                    break;
                case 3:
                    t.UnselectAll();
                    break;
                case 4:
                    r = t.AddToSelFromStroke(&stroke);
                    break;
                case 5:
                    r = t.NewPocket(&stroke);
                    break;
                case 6:
                    r = t.DetachColor(&stroke);
                    break;
                case 7: {  // the stroke's pixels into a buffer of fuzzed room
                    const int64_t most = stroke.GetMaxDiscretePointNum();
                    dPointBuf buf(in.U8() % 64);
                    const int d = stroke.DiscreteToBuff(height, &buf);
                    FUZZ_CHECK(buf.count <= buf.capacity && buf.count <= most);
                    if (d == -1) FUZZ_CHECK(buf.count == 0);
                    r = t.MergePocketOnStroke(&buf);
                    break;
                }
                case 8: {
                    std::vector<tagPOINT> pts(in.U8() % 12);
                    for (tagPOINT& p : pts) p = tagPOINT{Coord(in, wide), Coord(in, wide)};
                    cPointsCut cut{pts.data(), static_cast<int>(pts.size())};
                    r = t.GetColorPocketsFromCut(&cut);
                    break;
                }
                case 9: {
                    tagRECT rect{Coord(in, wide), Coord(in, wide), Coord(in, wide), Coord(in, wide)};
                    r = t.GetBackground(&rect);
                    break;
                }
                case 10: {  // the background around the stroke, as the tool asks for it
                    r = t.GetBackground(&stroke);
                    const CRect& c = stroke.GetBoundingRect();
                    tagRECT rect{c.left, c.bottom, c.right, c.top};
                    if (r == 0) r = t.GetBackground(&rect);
                    break;
                }
                case 11:
                    r = t.MergeSelectedPockets();
                    break;
                case 12:
                    t.DelSelPockets();
                    break;
                case 13:
                    if (n >= 2) {
                        ccColorPocket* from = t.pockets[in.U8() % n];
                        ccColorPocket* to = t.pockets[in.U8() % n];
                        if (from->items.GetSize() > 0) r = t.MoveClrItem(from, in.U8() % from->items.GetSize(), to);
                    }
                    break;
                case 14:
                    if (op & 0x40)
                        r = t.HighlightColors(n > 0 ? t.pockets[in.U8() % n] : nullptr, op & 0x20);
                    else
                        r = t.UnhighlightColors();
                    break;
                default:
                    r = op & 0x40 ? t.RestoreColors() : t.RestorePalDibColors();
                    break;
            }
            CheckTheme(t, false);
            CheckOwners(t);
            FUZZ_CHECK(Pixels(dib) == pixels);
            if (r < 0) {
                FUZZ_CHECK(Signature(t) == before);
                FUZZ_CHECK(Snapshot(dib) == palBefore);
                FUZZ_CHECK(Snapshot(host) == hostBefore);
            }
        }
        t.UnhighlightColors();
        CheckSurvivesReload(t);
    }
    FreeDib(backup);
    FreeDib(host);
    FreeDib(dib);
    FUZZ_CHECK(LiveHandles() == live);
}
