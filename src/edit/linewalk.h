// Pixel walks along the segments of a stroke (internal).
//
// One Bresenham walk serves both the point buffer of a stroke and the
// editing operations, which visit only the pixels inside the palette image.
// The walk can start in the middle of a segment: the pixel at step k is
// computed in closed form, so a segment with far-away ends, or one that
// runs beside the window, costs no more than the part of it that lies
// inside the window.
#pragma once

#include <cstdint>
#include <vector>

#include "huevane/platform.h"

namespace hv {

// The pixels a walk may report: lo..hi on each axis, both ends included.
struct Window {
    int64_t xlo, xhi, ylo, yhi;
};

// floor((k * a + c) / d) and its remainder, for k, a < 2^33, c < d < 2^33:
// exact without a 128-bit type.
inline void MulAddDiv(uint64_t k, uint64_t a, uint64_t c, uint64_t d, uint64_t* q, uint64_t* r) {
    const uint64_t kh = k >> 16, kl = k & 0xFFFF;
    const uint64_t hi = kh * a;  // < 2^50
    const uint64_t b = (hi % d << 16) + kl * a + c;
    *q = (hi / d << 16) + b / d;
    *r = b % d;
}

// Visits, in drawing order, the pixels of the line from (x0, y0) to
// (x1, y1) (both ends included) that lie in the window, calling
// visit(x, y); a visit returning false stops the walk, and the walk then
// returns false. Major axis x when |dx| > |dy|, else y (ties included); the
// error term starts at half the major length and the minor coordinate
// steps when it reaches the major length.
template <typename Visit>
bool WalkLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, const Window& w, Visit&& visit) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const uint64_t adx = static_cast<uint64_t>(dx < 0 ? -dx : dx), ady = static_cast<uint64_t>(dy < 0 ? -dy : dy);
    const bool xMajor = adx > ady;
    const int64_t M0 = xMajor ? x0 : y0, m0 = xMajor ? y0 : x0;
    const int64_t dM = xMajor ? dx : dy, dm = xMajor ? dy : dx;
    const uint64_t aM = xMajor ? adx : ady, am = xMajor ? ady : adx;
    const int64_t sM = dM > 0 ? 1 : (dM < 0 ? -1 : 0), sm = dm > 0 ? 1 : (dm < 0 ? -1 : 0);
    const int64_t Mlo = xMajor ? w.xlo : w.ylo, Mhi = xMajor ? w.xhi : w.yhi;
    const int64_t mlo = xMajor ? w.ylo : w.xlo, mhi = xMajor ? w.yhi : w.xhi;
    // Steps k = 0..aM whose major coordinate M0 + sM * k lies in Mlo..Mhi.
    int64_t klo = 0, khi = static_cast<int64_t>(aM);
    if (sM > 0) {
        if (Mlo > M0) klo = Mlo - M0;
        if (Mhi - M0 < khi) khi = Mhi - M0;
    } else if (sM < 0) {
        if (M0 > Mhi) klo = M0 - Mhi;
        if (M0 - Mlo < khi) khi = M0 - Mlo;
    } else if (M0 < Mlo || M0 > Mhi) {
        return true;
    }
    if (klo > khi) return true;
    if (sm != 0) {
        // The minor coordinate moves one way with k (and am > 0, so aM > 0),
        // so the steps it keeps inside mlo..mhi are one run: find its ends
        // by bisection.
        auto minorAt = [&](int64_t k) {
            uint64_t q = 0, r = 0;
            MulAddDiv(static_cast<uint64_t>(k), am, aM / 2, aM, &q, &r);
            return m0 + sm * static_cast<int64_t>(q);
        };
        auto before = [&](int64_t k) { return sm > 0 ? minorAt(k) < mlo : minorAt(k) > mhi; };
        auto past = [&](int64_t k) { return sm > 0 ? minorAt(k) > mhi : minorAt(k) < mlo; };
        if (before(khi) || past(klo)) return true;
        int64_t lo = klo, hi = khi;
        while (lo < hi) {  // the first step not before the window
            const int64_t mid = lo + (hi - lo) / 2;
            if (before(mid))
                lo = mid + 1;
            else
                hi = mid;
        }
        klo = lo;
        hi = khi;
        while (lo < hi) {  // the last step not past it
            const int64_t mid = hi - (hi - lo) / 2;
            if (past(mid))
                hi = mid - 1;
            else
                lo = mid;
        }
        khi = lo;
    } else if (m0 < mlo || m0 > mhi) {
        return true;
    }
    uint64_t off = 0, err = 0;
    if (aM > 0) MulAddDiv(static_cast<uint64_t>(klo), am, aM / 2, aM, &off, &err);
    for (int64_t k = klo;; ++k) {
        const int64_t M = M0 + sM * k, m = m0 + sm * static_cast<int64_t>(off);
        if (m >= mlo && m <= mhi && !(xMajor ? visit(M, m) : visit(m, M))) return false;
        if (k == khi) break;
        err += am;
        if (err >= aM) {
            err -= aM;
            ++off;
        }
    }
    return true;
}

// Visits the pixels of a polyline (image coordinates, y downwards) as rows
// of a bottom-up DIB of `height` rows, segment after segment, leaving out
// the first pixel of every segment after the first (it is the joint the
// previous segment ended on). Only pixels inside the window, in flipped
// coordinates, are visited. Fewer than two points: nothing. False when a
// visit stopped the walk.
template <typename Visit>
bool WalkPolyline(const std::vector<tagPOINT>& pts, int64_t height, const Window& w, Visit&& visit) {
    for (size_t i = 1; i < pts.size(); ++i) {
        const int64_t x0 = pts[i - 1].x, y0 = height - 1 - pts[i - 1].y;
        const int64_t x1 = pts[i].x, y1 = height - 1 - pts[i].y;
        bool first = true;
        const bool go = WalkLine(x0, y0, x1, y1, w, [&](int64_t x, int64_t y) {
            // The walk of a later segment starts on the previous one's end.
            const bool joint = first && i > 1 && x == x0 && y == y0;
            first = false;
            return joint || visit(x, y);
        });
        if (!go) return false;
    }
    return true;
}

}  // namespace hv
