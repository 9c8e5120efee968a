#include "color/colorword.h"
#include "huevane/huevane.h"

uint32_t RGBtoHSL(uint32_t rgb) {
    const int b = rgb & 0xFF, g = (rgb >> 8) & 0xFF, r = (rgb >> 16) & 0xFF;
    const int mx = r > g ? (r > b ? r : b) : (g > b ? g : b);
    const int mn = r < g ? (r < b ? r : b) : (g < b ? g : b);
    const int l = ((mx + mn) * 255 + 255) / 510;
    if (mx == mn) return MakeHsl(170, 0, l, 1);

    const int d = mx - mn;
    const int den = l <= 127 ? mx + mn : 510 - mx - mn;
    const int s = (d * 255 + den / 2) / den;
    const int rd = ((mx - r) * 42 + d / 2) / d;
    const int gd = ((mx - g) * 42 + d / 2) / d;
    const int bd = ((mx - b) * 42 + d / 2) / d;
    int h;
    if (r == mx)
        h = bd - gd;
    else if (g == mx)
        h = 85 + rd - bd;
    else
        h = 170 + gd - rd;
    return MakeHsl(h & 0xFF, s, l, 0);
}

namespace {
// One channel of HSLtoRGB: the stores are single precision, the arithmetic
// between them double.
float HueValue(float m1, float m2, float a) {
    if (a > 360)
        a = static_cast<float>(a - 360.0);
    else if (a < 0)
        a = static_cast<float>(a + 360.0);
    if (a < 60) return static_cast<float>(m1 + (static_cast<double>(m2) - m1) * a / 60.0);
    if (a < 180) return m2;
    if (a < 240) return static_cast<float>(m1 + (static_cast<double>(m2) - m1) * (240.0 - a) / 60.0);
    return m1;
}

BYTE ToByte(float v) { return static_cast<BYTE>(static_cast<int>(static_cast<double>(v) * 255.0)); }
}  // namespace

extern "C" HUEVANE_API unsigned int HUEVANE_CALL HSLtoRGB(unsigned int hslWord) {
    const float h = static_cast<float>(HslHue(hslWord) * 360.0 / 255.0);
    const float s = static_cast<float>(HslSat(hslWord) / 255.0);
    const float l = static_cast<float>(HslLight(hslWord) / 255.0);
    const float m2 = l <= 0.5 ? static_cast<float>(static_cast<double>(l) * (1.0 + s))
                              : static_cast<float>(static_cast<double>(l) + s - static_cast<double>(l) * s);
    const float m1 = static_cast<float>(2.0 * l - m2);
    tagRGBQUAD q = {0, 0, 0, 0};
    if (s == 0) {
        q.rgbRed = q.rgbGreen = q.rgbBlue = ToByte(l);
    } else {
        q.rgbRed = ToByte(HueValue(m1, m2, static_cast<float>(h + 120.0)));
        q.rgbGreen = ToByte(HueValue(m1, m2, h));
        q.rgbBlue = ToByte(HueValue(m1, m2, static_cast<float>(h - 120.0)));
    }
    return RgbWord(q);
}

namespace hv {
int HslDist2(uint32_t a, uint32_t b) {
    const double dh = HueDiff256(HslHue(a), HslHue(b));
    const double ds = HslSat(a) - HslSat(b);
    const double dl = HslLight(a) - HslLight(b);
    // Each square first, then its weight: with ds 2 and dl 36 the sum is
    // 0.04 + 12.96 = 13, where (0.01 x 36) x 36 comes out a hair below
    // 12.96 and the sum truncates to 12.
    return static_cast<int>(0.98 * (dh * dh) + 0.01 * (ds * ds) + 0.01 * (dl * dl));
}
}  // namespace hv

// ---- ccColorItem ----

ccColorItem::ccColorItem(const tagRGBQUAD& q) : rgb(q), hsl(RGBtoHSL(q)), palIndex(-1), pixelNum(0) {}

unsigned char ccColorItem::HueDist(ccColorItem* other) {
    int d = HslHue(hsl) - HslHue(other->hsl);
    if (d < 0) d = -d;
    return static_cast<unsigned char>(d <= 127 ? d : 255 - d);
}

void ccColorItem::SetHue(unsigned char h) {
    hsl = (hsl & ~0xFFu) | h;
    rgb = RgbQuad(HSLtoRGB(hsl));
}

// ---- ccColorPocket ----

int ccColorPocket::AddColorItem(ccColorItem* item) {
    if (items.GetSize() > 0) {
        const int grey = HslGrey(aveHSL);
        if (grey != HslGrey(item->hsl)) return -1;
        if (!grey && hv::HueDiff256(HslHue(item->hsl), HslHue(aveHSL)) >= 20) return -1;
    }
    return Append(item, false);
}

int ccColorPocket::AddColorItemAny(ccColorItem* item) { return Append(item, true); }

int ccColorPocket::Append(ccColorItem* item, bool weighted) {
    const int n = items.GetSize();
    items.Add(item);
    if (n == 0) {  // the first item gives the pocket its colour and count
        aveHSL = item->hsl;
        aveRGB = item->rgb;
        pixelNum = item->pixelNum;
        return 0;
    }
    if (weighted)
        GetAveRGBofAllPixels();
    else
        GetAveRGB();
    aveHSL = RGBtoHSL(aveRGB);
    pixelNum = hv::AddCounts(pixelNum, item->pixelNum);
    return n;
}

int ccColorPocket::GetAveRGB() {
    const int n = items.GetSize();
    if (n == 0) return -10;
    long long r = 0, g = 0, b = 0;
    for (ccColorItem* it : items) {
        r += it->rgb.rgbRed;
        g += it->rgb.rgbGreen;
        b += it->rgb.rgbBlue;
    }
    aveRGB = {static_cast<BYTE>(b / n), static_cast<BYTE>(g / n), static_cast<BYTE>(r / n), 0};
    return 0;
}

int ccColorPocket::GetAveRGBofAllPixels() {
    if (items.GetSize() == 0) return -10;
    if (items[0]->pixelNum < 0) return -1;
    long long r = 0, g = 0, b = 0, total = 0;
    for (ccColorItem* it : items) {
        const long long w = it->pixelNum;
        r += it->rgb.rgbRed * w;
        g += it->rgb.rgbGreen * w;
        b += it->rgb.rgbBlue * w;
        total += w;
    }
    if (total == 0) return -1;  // the weighted mean has no value
    aveRGB = {static_cast<BYTE>(b / total), static_cast<BYTE>(g / total), static_cast<BYTE>(r / total), 0};
    return 0;
}

int ccColorPocket::GetAveHSL() {
    if (items.GetSize() == 0) return -10;
    aveHSL = RGBtoHSL(aveRGB);
    return 0;
}

int ccColorPocket::GetColorItemIndex(int palIdx) {
    for (int i = 0; i < items.GetSize(); ++i)
        if (items[i]->palIndex == palIdx) return i;
    return -1;
}

int ccColorPocket::HueDistance(ccColorPocket* other) {
    return hv::HueDiff256(HslHue(aveHSL), HslHue(other->aveHSL));
}

int ccColorPocket::HSLDist2(ccColorPocket* other) { return hv::HslDist2(aveHSL, other->aveHSL); }

void ccColorPocket::SetDestLink(ccColorPocket* p) {
    destLink = p;
    destRGB = p->aveRGB;
    destHSL = p->aveHSL;
}
