// Colour transfer: re-colouring the palette DIB and the true DIB of a target
// theme through its pockets' destination colours. Both passes start from the
// initial colours (the items' stored HSL words, the backup of the true DIB),
// so a transfer can be repeated with another pairing without drift.
#include <algorithm>
#include <memory>
#include <vector>

#include "color/colorword.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/workers.h"
#include "transfer/transfer.h"

namespace {

// Saturation (or lightness) scaled by dest / max(own, 10), truncated and
// limited to 255.
inline int Scale(int value, int dest, int own) {
    const int v = value * dest / std::max(own, 10);
    return v > 255 ? 255 : v;
}

// The palette pass for one pocket through an open view of the palette DIB.
void TransferPocket(ipDibStuff& view, ccColorPocket* p, bool transferLightness) {
    if (!view.colors) return;
    const uint32_t dest = p->destHSL;
    for (ccColorItem* it : p->items) {
        if (!it || it->palIndex < 0 || it->palIndex >= view.numColors) continue;
        const uint32_t hsl = it->hsl;
        const int s = Scale(HslSat(hsl), HslSat(dest), HslSat(p->aveHSL));
        int l = HslLight(hsl);
        if (transferLightness) l = Scale(l, HslLight(dest), HslLight(p->aveHSL));
        if (HslGrey(hsl) == 1) l = l * 9 / 10;
        view.colors[it->palIndex] = RgbQuad(HSLtoRGB(MakeHsl(HslHue(dest), s, l, HslGrey(hsl))));
    }
}

}  // namespace

namespace hv {

// Index of the pair (max, min), min <= max, in a triangular table.
static inline int TriIndex(int mx, int mn) { return mx * (mx + 1) / 2 + mn; }
constexpr int kTriSize = 256 * 257 / 2;

PixelTransferTables::PixelTransferTables(const std::vector<ccColorPocket*>& byIndex) {
    // The result of a pixel transfer depends only on the pocket's
    // destination hue and saturation ratio and on the source pixel's largest
    // and smallest channels (they alone fix its saturation and lightness).
    // Pockets with equal parameters share one table, made on first use and
    // filled entry by entry as pixels need them.
    for (int i = 0; i < 256; ++i) {
        ccColorPocket* p = byIndex[static_cast<size_t>(i)];
        table_[i] = -1;
        if (!p || !p->destLink) continue;
        const Key key{HslHue(p->destHSL), HslSat(p->destHSL), std::max(HslSat(p->aveHSL), 10)};
        int t = 0;
        while (t < static_cast<int>(keys_.size()) && !(keys_[t] == key)) ++t;
        if (t == static_cast<int>(keys_.size())) keys_.push_back(key);
        table_[i] = t;
    }
}

uint32_t* PixelTransferTables::Make(int t) {
    auto& lut = luts_[t];
    lut.reset(new uint32_t[kTriSize]);
    std::fill(lut.get(), lut.get() + kTriSize, kEmpty);
    ++made_;
    return lut.get();
}

uint32_t PixelTransferTables::Fill(int t, uint32_t* lut, int mx, int mn) {
    const Key& k = keys_[static_cast<size_t>(t)];
    // A pixel with these extremes: its saturation and lightness are those
    // of every pixel with the same largest and smallest channels.
    const uint32_t hsl = RGBtoHSL(uint32_t(mn) | uint32_t(mn) << 8 | uint32_t(mx) << 16);
    const int s = Scale(HslSat(hsl), k.destSat, k.divisor);
    const uint32_t rgb = HSLtoRGB(MakeHsl(k.hue, s, HslLight(hsl), 0)) & 0xFFFFFF;
    lut[TriIndex(mx, mn)] = rgb;
    return rgb;
}

void PixelTransferTables::Row(const BYTE* index, const BYTE* src, BYTE* dst, int width) {
    for (int x = 0; x < width; ++x, src += 3, dst += 3) {
        const int t = table_[index[x]];
        if (t < 0) continue;
        const int b = src[0], g = src[1], r = src[2];
        const int mx = std::max(std::max(b, g), r), mn = std::min(std::min(b, g), r);
        uint32_t* lut = luts_[t].get();
        if (!lut) lut = Make(t);
        uint32_t rgb = lut[TriIndex(mx, mn)];
        if (rgb == kEmpty) rgb = Fill(t, lut, mx, mn);
        dst[0] = BYTE(rgb);
        dst[1] = BYTE(rgb >> 8);
        dst[2] = BYTE(rgb >> 16);
    }
}

}  // namespace hv

int ccColorPocketArray::ClrTransOnRGB(const tagRGBQUAD& src, tagRGBQUAD& dst, ccColorPocket* p) {
    if (!p || !p->destLink) return -1;
    const uint32_t hsl = RGBtoHSL(uint32_t(src.rgbBlue) | uint32_t(src.rgbGreen) << 8 |
                                  uint32_t(src.rgbRed) << 16);
    const int s = Scale(HslSat(hsl), HslSat(p->destHSL), HslSat(p->aveHSL));
    const uint32_t rgb = HSLtoRGB(MakeHsl(HslHue(p->destHSL), s, HslLight(hsl), HslGrey(hsl)));
    dst.rgbBlue = BYTE(rgb);
    dst.rgbGreen = BYTE(rgb >> 8);
    dst.rgbRed = BYTE(rgb >> 16);
    return 0;
}

int ccColorPocketArray::ApplyFinalTransToPocket(ccColorPocket* p, bool transferLightness) {
    if (!p) return 0;
    ipDibStuff view(palDib, true);
    TransferPocket(view, p, transferLightness);
    return 0;
}

int ccColorPocketArray::ApplyFinalTransToPalDib(bool transferLightness) {
    ipDibStuff view(palDib, true);
    for (ccColorPocket* p : pockets)
        if (p->destLink) TransferPocket(view, p, transferLightness);
    return 0;
}

namespace {

// The views fit the true-DIB pass: an 8-bit palette image and a 24-bit image
// of one size.
bool PassFits(ipDibStuff& pal, ipDibStuff& tru) {
    return pal.usable() && tru.usable() && pal.bitCount() == 8 && tru.bitCount() == 24 &&
           pal.width() == tru.width() && pal.height() == tru.height();
}

// Re-colours dst from src (the same view for a pass in place: each pixel is
// read before it is written) through the pockets of the palette image's
// indices. Large images share their rows among threads, each with its own
// tables; every pixel's result depends on that pixel alone.
void PassRows(ccColorPocketArray& theme, ipDibStuff& pal, ipDibStuff& src, ipDibStuff& dst) {
    std::vector<ccColorPocket*> byIndex(256, nullptr);
    for (ccColorPocket* p : theme.pockets)
        for (ccColorItem* it : p->items)
            if (it && it->palIndex >= 0 && it->palIndex < 256) byIndex[static_cast<size_t>(it->palIndex)] = p;
    const int w = dst.width(), h = dst.height();
    hv::RunParts(hv::WorkersFor(int64_t(w) * h, h), h, [&](int, int y0, int y1) {
        hv::PixelTransferTables tables(byIndex);
        for (int y = y0; y < y1; ++y) tables.Row(pal.rows[y], src.rows[y], dst.rows[y], w);
    });
}

}  // namespace

namespace hv {

int TrueDibPassOnce(ccColorPocketArray& theme) {
    if (theme.trueDibCopy) return theme.ApplyFinalTransToTrueDib();
    if (!theme.palDib || !theme.trueDib) return -1;
    ipDibStuff pal(theme.palDib, false), tru(theme.trueDib, true);
    if (!PassFits(pal, tru)) return -1;
    PassRows(theme, pal, tru, tru);
    return 0;
}

}  // namespace hv

int ccColorPocketArray::ApplyFinalTransToTrueDib(ccColorPocketArray* /*style*/, bool /*transferLightness*/) {
    if (!palDib || !trueDib) return -1;
    {
        ipDibStuff pal(palDib, false), tru(trueDib, false);
        if (!PassFits(pal, tru)) return -1;
        if (!trueDibCopy) {
            trueDibCopy = tru.CopyToHandle();
            if (!trueDibCopy) return -2;
            trueDibCopyBorrowed = false;
        }
    }
    ipDibStuff pal(palDib, false), tru(trueDib, true), copy(trueDibCopy, false);
    // A backup of another size or depth (a host's mistake) would be read
    // outside its rows: leave the image as it is.
    if (!copy.usable() || copy.bitCount() != 24 || copy.width() != tru.width() ||
        copy.height() != tru.height())
        return -1;
    PassRows(*this, pal, copy, tru);
    return 0;
}

int ccColorPocketArray::ApplyFinalTrans(ccColorPocketArray* style, bool transferLightness) {
    ApplyFinalTransToPalDib(transferLightness);
    const int t = trueDib ? ApplyFinalTransToTrueDib(style, transferLightness) : 0;
    if (t >= 0) ++transferCount;
    return t;
}

int ccColorPocketArray::ApplyColorTrans(ccColorPocketArray* style, bool respectBackground,
                                        bool transferLightness, bool refineByHue) {
    if (!palDib) return -1;
    const int r = GetDstPockets(style, respectBackground, refineByHue ? 2 : 1);
    if (r < 0) return -2;
    ApplyFinalTrans(style, transferLightness);
    return r;
}

int ccColorPocketArray::ApplyColorTransToTrueDib(ccColorPocketArray* style, bool respectBackground,
                                                 bool transferLightness, bool refineByHue) {
    if (!palDib || !trueDib) return -1;
    GetDstPockets(style, respectBackground, refineByHue ? 2 : 1);
    ApplyFinalTransToTrueDib(style, transferLightness);
    return 0;
}
