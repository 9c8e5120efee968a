// 24-to-8-bit reduction without dithering.
//
// One pass over the pixels fills a histogram of 6-bit-per-channel cells, each
// holding its pixel count and the sums of its pixels' channels (from every
// row, or every few rows of a large image), and notes whether the image has
// at most 256 distinct colours. An image with that few colours keeps them
// exactly. Otherwise a variance-minimising box split over
// a 5-bit grid of those cells gives a first palette, a few k-means passes
// over the cell centroids (weighted by their counts) refine it, and every
// pixel is mapped to the palette entry nearest its own colour (squared RGB
// distance, lowest index on ties).
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "dib/dib.h"
#include "dib/quantize_map.h"
#include "platform/memory.h"
#include "platform/workers.h"

namespace {

constexpr int kBits = 6;                         // histogram bits per channel
constexpr int kSide = 1 << kBits;                // cells per channel
constexpr int kShift = 8 - kBits;                // channel value to cell coordinate
constexpr int kCells = kSide * kSide * kSide;    // cells in the histogram
constexpr int kWuBits = 5;                       // box-split grid bits per channel
constexpr int kWuSide = 1 << kWuBits;
constexpr int kPalette = 256;
// K-means passes: the first kSampledPasses move the centres by every
// kSampledStride-th point only (every other cell), which costs less and, on
// photos of every size tried, lets the full passes after them settle on a
// slightly better palette than full passes from the start do.
constexpr int kKMeansPasses = 7;
constexpr int kSampledPasses = 1;
constexpr int kSampledStride = 2;

inline int CellOf(int r, int g, int b) {
    return ((r >> kShift) << (2 * kBits)) | ((g >> kShift) << kBits) | (b >> kShift);
}

// An occupied histogram cell: its number, pixel count and channel sums.
struct Cell {
    int index;
    uint64_t n, r, g, b;
};

// Up to 256 distinct colours, kept in a small open-addressed table; gives up
// (full() true) at the 257th.
class SmallColorSet {
public:
    SmallColorSet() { std::memset(slot_, 0, sizeof slot_); }
    bool full() const { return count_ > kPalette; }
    int count() const { return count_; }
    void Add(uint32_t rgb) {
        const uint32_t key = rgb + 1;  // 0 marks an empty slot
        uint32_t i = (rgb * 2654435761u) >> (32 - kLog);
        while (slot_[i] != 0) {
            if (slot_[i] == key) return;
            i = (i + 1) & (kSlots - 1);
        }
        slot_[i] = key;
        ++count_;
    }
    // The colours held, ascending (0xRRGGBB).
    std::vector<uint32_t> Sorted() const {
        std::vector<uint32_t> out;
        for (uint32_t s : slot_)
            if (s) out.push_back(s - 1);
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    static constexpr int kLog = 10;
    static constexpr uint32_t kSlots = 1u << kLog;  // load stays under 26 %
    uint32_t slot_[kSlots];
    int count_ = 0;
};

// Counts and sums per cell in 32 bits: the pixels counted are few enough
// (see kSampledPixels) that no sum can overflow.
struct CellSums {
    uint32_t n, r, g, b;
};

// Images above this many pixels count only every step-th row in the
// histogram, so that about this many are counted (the palette of a large
// photo needs no more); every row is still read for its colours while they
// are few. A step of ceil(pixels / kSampledPixels) counts at most
// kSampledPixels + width pixels.
constexpr int64_t kSampledPixels = int64_t(1) << 21;
static_assert(kSampledPixels + hv::kMaxSide <= 0xFFFFFFFFu / 255, "cell sums fit in 32 bits");

// Position of the lowest set bit of a non-zero word.
inline int LowestBit(uint64_t v) {
#if defined(__GNUC__)
    return __builtin_ctzll(v);
#else
    int n = 0;
    for (; !(v & 1); v >>= 1) ++n;
    return n;
#endif
}

int RowStep(int64_t pixels) { return int(std::max<int64_t>(1, (pixels + kSampledPixels - 1) / kSampledPixels)); }

// The counts of one run of rows, the cells they met (one bit per cell) and
// their distinct colours while they are few.
struct PartHistogram {
    std::unique_ptr<CellSums[], decltype(&std::free)> grid{nullptr, &std::free};
    std::vector<uint64_t> met;
    SmallColorSet colors;

    void Count(ipDibStuff& src, int y0, int y1, int step) {
        // Zero pages from the system: only the cells met are touched.
        grid.reset(static_cast<CellSums*>(std::calloc(kCells, sizeof(CellSums))));
        if (!grid) throw std::bad_alloc();
        met.assign(kCells / 64, 0);
        CellSums* cells = grid.get();
        uint64_t* bits = met.data();
        const int w = src.width();
        for (int y = y0; y < y1; ++y) {
            const bool counted = y % step == 0;
            if (!counted && colors.full()) continue;
            const BYTE* p = src.rows[static_cast<size_t>(y)];
            const BYTE* end = p + 3 * static_cast<size_t>(w);
            // While the colours are few, note each one that differs from the last.
            uint32_t last = 0xFFFFFFFFu;
            for (; p != end && !colors.full(); p += 3) {
                const uint32_t rgb = (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
                if (rgb != last) {
                    colors.Add(rgb);
                    last = rgb;
                }
                if (counted) Add(cells, bits, p);
            }
            if (counted)
                for (; p != end; p += 3) Add(cells, bits, p);
        }
    }

    static void Add(CellSums* cells, uint64_t* bits, const BYTE* p) {
        const int i = CellOf(p[2], p[1], p[0]);
        CellSums& c = cells[i];
        if (c.n++ == 0) bits[i >> 6] |= uint64_t(1) << (i & 63);
        c.r += p[2];
        c.g += p[1];
        c.b += p[0];
    }
};

// Returns the occupied cells, by ascending number, and in `few` the distinct
// colours ascending (0xRRGGBB) when there are at most 256 of them (empty
// otherwise). Large images count their rows in parts on several threads;
// the sums do not depend on how the rows are parted.
std::vector<Cell> BuildHistogram(ipDibStuff& src, std::vector<uint32_t>& few) {
    const int h = src.height();
    const int64_t pixels = int64_t(src.width()) * h;
    const int step = RowStep(pixels);
    const int parts = hv::WorkersFor(pixels, h);
    std::vector<PartHistogram> part(static_cast<size_t>(parts));
    hv::RunParts(parts, h, [&](int i, int y0, int y1) { part[static_cast<size_t>(i)].Count(src, y0, y1, step); });
    // More than 256 colours in one part, or in all parts together.
    few.clear();
    bool many = false;
    for (const PartHistogram& ph : part) many = many || ph.colors.full();
    if (!many) {
        SmallColorSet all;
        for (size_t i = 0; i < part.size() && !all.full(); ++i)
            for (uint32_t rgb : part[i].colors.Sorted()) all.Add(rgb);
        if (!all.full()) few = all.Sorted();
    }
    std::vector<Cell> cells;
    for (int word = 0; word < kCells / 64; ++word) {
        uint64_t bits = 0;
        for (const PartHistogram& ph : part) bits |= ph.met[static_cast<size_t>(word)];
        for (; bits; bits &= bits - 1) {
            const int i = word * 64 + LowestBit(bits);
            Cell c{i, 0, 0, 0, 0};
            for (const PartHistogram& ph : part) {
                const CellSums& s = ph.grid[static_cast<size_t>(i)];
                c.n += s.n;
                c.r += s.r;
                c.g += s.g;
                c.b += s.b;
            }
            cells.push_back(c);
        }
    }
    return cells;
}

// ---------------------------------------------------------------------------
// Box split. Cumulative moments over the cell grid let the count and channel
// sums of any axis-aligned box be read in eight look-ups.
// Each box is cut where the two halves lose the most squared error, and the
// box whose best cut gains the most is cut next.

constexpr int kM = kWuSide + 1;  // moment grid side, with a zero border

inline int MomentIndex(int r, int g, int b) { return (r * kM + g) * kM + b; }

struct Moments {
    std::vector<double> n, r, g, b;  // count and channel sums (whole numbers)

    explicit Moments(const std::vector<Cell>& cells) : n(kM * kM * kM), r(n.size()), g(n.size()), b(n.size()) {
        // Each grid cell gathers 8 histogram cells.
        constexpr int drop = kBits - kWuBits, mask = kSide - 1;
        for (const Cell& c : cells) {
            const int ri = c.index >> (2 * kBits), gi = (c.index >> kBits) & mask, bi = c.index & mask;
            const int m = MomentIndex((ri >> drop) + 1, (gi >> drop) + 1, (bi >> drop) + 1);
            const double cr = double(c.r), cg = double(c.g), cb = double(c.b), cn = double(c.n);
            n[m] += cn;
            r[m] += cr;
            g[m] += cg;
            b[m] += cb;
        }
        for (std::vector<double>* v : {&n, &r, &g, &b}) Accumulate(*v);
    }

    // Turns cell values into sums over the box from the origin.
    static void Accumulate(std::vector<double>& v) {
        for (int ri = 1; ri < kM; ++ri)
            for (int gi = 1; gi < kM; ++gi)
                for (int bi = 1; bi < kM; ++bi) v[MomentIndex(ri, gi, bi)] += v[MomentIndex(ri, gi, bi - 1)];
        for (int ri = 1; ri < kM; ++ri)
            for (int gi = 1; gi < kM; ++gi)
                for (int bi = 1; bi < kM; ++bi) v[MomentIndex(ri, gi, bi)] += v[MomentIndex(ri, gi - 1, bi)];
        for (int ri = 1; ri < kM; ++ri)
            for (int gi = 1; gi < kM; ++gi)
                for (int bi = 1; bi < kM; ++bi) v[MomentIndex(ri, gi, bi)] += v[MomentIndex(ri - 1, gi, bi)];
    }
};

// Cells (lo, hi] on each axis: r, g, b.
struct Box {
    int lo[3], hi[3];
    double gain = 0;  // error removed by the best cut; 0 when it cannot be cut
    int cutAxis = -1, cutAt = 0;
};

struct Sums {
    double n, r, g, b;
};

double Volume(const std::vector<double>& v, const int lo[3], const int hi[3]) {
    return v[MomentIndex(hi[0], hi[1], hi[2])] - v[MomentIndex(hi[0], hi[1], lo[2])] -
           v[MomentIndex(hi[0], lo[1], hi[2])] + v[MomentIndex(hi[0], lo[1], lo[2])] -
           v[MomentIndex(lo[0], hi[1], hi[2])] + v[MomentIndex(lo[0], hi[1], lo[2])] +
           v[MomentIndex(lo[0], lo[1], hi[2])] - v[MomentIndex(lo[0], lo[1], lo[2])];
}

Sums BoxSums(const Moments& m, const int lo[3], const int hi[3]) {
    return {Volume(m.n, lo, hi), Volume(m.r, lo, hi), Volume(m.g, lo, hi), Volume(m.b, lo, hi)};
}

inline double Spread(const Sums& s) { return (s.r * s.r + s.g * s.g + s.b * s.b) / s.n; }

// Finds the cut of the box that leaves the least squared error.
void FindCut(const Moments& m, Box& box) {
    box.gain = 0;
    box.cutAxis = -1;
    const Sums whole = BoxSums(m, box.lo, box.hi);
    if (whole.n <= 0) return;
    const double base = Spread(whole);
    double best = base;
    for (int axis = 0; axis < 3; ++axis) {
        int hi[3] = {box.hi[0], box.hi[1], box.hi[2]};
        for (int at = box.lo[axis] + 1; at < box.hi[axis]; ++at) {
            hi[axis] = at;
            const Sums low = BoxSums(m, box.lo, hi);
            const double highN = whole.n - low.n;
            if (low.n <= 0) continue;
            if (highN <= 0) break;
            const Sums high = {highN, whole.r - low.r, whole.g - low.g, whole.b - low.b};
            const double score = Spread(low) + Spread(high);
            if (score > best) {
                best = score;
                box.cutAxis = axis;
                box.cutAt = at;
            }
        }
    }
    box.gain = best - base;
}

// Splits the cell grid into at most `count` boxes.
std::vector<Box> SplitBoxes(const Moments& m, int count) {
    std::vector<Box> boxes(1);
    for (int a = 0; a < 3; ++a) {
        boxes[0].lo[a] = 0;
        boxes[0].hi[a] = kWuSide;
    }
    FindCut(m, boxes[0]);
    while (static_cast<int>(boxes.size()) < count) {
        int pick = -1;
        for (size_t i = 0; i < boxes.size(); ++i)
            if (boxes[i].cutAxis >= 0 && (pick < 0 || boxes[i].gain > boxes[pick].gain)) pick = int(i);
        if (pick < 0) break;
        Box upper = boxes[pick];
        Box& lower = boxes[pick];
        lower.hi[lower.cutAxis] = lower.cutAt;
        upper.lo[upper.cutAxis] = upper.cutAt;
        FindCut(m, lower);
        FindCut(m, upper);
        boxes.push_back(upper);
    }
    return boxes;
}

// ---------------------------------------------------------------------------
// K-means over the occupied cells, each standing at its centroid with its
// pixel count as weight. The nearest-centre search starts at the current
// centre and visits the others by their distance from it, stopping once the
// triangle inequality rules the rest out. New centres are the means of the
// points' weighted sums.

struct Point {
    float r, g, b;           // the cell's centroid
    double n, sr, sg, sb;    // its weight and weighted channel values
};

struct Center {
    double r, g, b;
};

// A point's first kBatch candidates (its centre's nearest neighbours) are
// compared at once, without branches; a centre with fewer neighbours pads
// its batch with a centre kFar away, which never wins.
constexpr int kBatch = 8;
constexpr float kFar = 1e6f;

struct KMeansPart {
    std::vector<uint64_t> keys;  // neighbour sort keys
    std::vector<double> acc;     // per centre: weight and sums
    std::vector<float> reach;
    bool changed = false;
};

void KMeans(const std::vector<Point>& points, std::vector<uint8_t>& label, std::vector<Center>& centers,
            int passes, int parts) {
    const int k = static_cast<int>(centers.size());
    const int np = static_cast<int>(points.size());
    // Per centre: the others it must consider, nearest first (the padding
    // keeps a batch's reads inside when the centres are fewer than a batch).
    std::vector<uint8_t> near(size_t(k) * k + kBatch);
    std::vector<float> nearDist(size_t(k) * k);  // and their distances from it
    std::vector<int> nearCount(k);
    std::vector<float> batch(size_t(k) * 3 * kBatch);  // per centre: its first neighbours' channels
    std::vector<float> toLabel(points.size());
    std::vector<float> reach(k);
    std::vector<float> cr(k), cg(k), cb(k);
    std::vector<KMeansPart> part(static_cast<size_t>(parts));
    for (KMeansPart& kp : part) {
        kp.keys.resize(size_t(k));
        kp.acc.resize(size_t(k) * 4);
        kp.reach.resize(size_t(k));
    }
    for (int pass = 0; pass < passes; ++pass) {
        // The points of a sampled pass are those of index a multiple of the
        // stride, however the points are parted.
        const int stride = pass < kSampledPasses ? kSampledStride : 1;
        auto first = [stride](int p0) { return (p0 + stride - 1) / stride * stride; };
        for (int i = 0; i < k; ++i) {
            cr[i] = float(centers[i].r);
            cg[i] = float(centers[i].g);
            cb[i] = float(centers[i].b);
        }
        // Distance of each point to its centre, and each centre's reach.
        hv::RunParts(parts, np, [&](int q, int p0, int p1) {
            std::vector<float>& rc = part[size_t(q)].reach;
            std::fill(rc.begin(), rc.end(), 0.0f);
            for (int p = first(p0); p < p1; p += stride) {
                const Point& pt = points[size_t(p)];
                const int c = label[size_t(p)];
                const float dr = pt.r - cr[c], dg = pt.g - cg[c], db = pt.b - cb[c];
                toLabel[size_t(p)] = std::sqrt(dr * dr + dg * dg + db * db);
                rc[size_t(c)] = std::max(rc[size_t(c)], toLabel[size_t(p)]);
            }
        });
        for (int i = 0; i < k; ++i) {
            reach[size_t(i)] = 0;
            for (const KMeansPart& kp : part) reach[size_t(i)] = std::max(reach[size_t(i)], kp.reach[size_t(i)]);
        }
        // A centre j can be nearer than a point's own centre c only when
        // |c - j| < 2 |point - c|: only those within twice c's reach count.
        // They are found by squared distance (with a margin for rounding),
        // and only those kept need a square root and a place in the order.
        // Sort keys: a non-negative float's bits order like its value.
        hv::RunParts(parts, k, [&](int q, int i0, int i1) {
            uint64_t* keys = part[size_t(q)].keys.data();
            for (int i = i0; i < i1; ++i) {
                const float limit = 4.0f * reach[i] * reach[i] * 1.0001f + 1e-6f;
                // The distances first, in a loop that runs on several
                // centres at a time; the centre itself sits at the limit.
                float d2[kPalette];
                for (int j = 0; j < k; ++j) {
                    const float dr = cr[i] - cr[j], dg = cg[i] - cg[j], db = cb[i] - cb[j];
                    d2[j] = dr * dr + dg * dg + db * db;
                }
                d2[i] = limit;
                int n = 0;
                for (int j = 0; j < k; ++j) {
                    // Written every time, kept when it counts: no branch to guess.
                    uint32_t bits;
                    std::memcpy(&bits, &d2[j], sizeof bits);
                    keys[n] = (uint64_t(bits) << 32) | uint32_t(j);
                    n += d2[j] < limit;
                }
                std::sort(keys, keys + n);
                for (int t = 0; t < n; ++t) {
                    const uint32_t bits = uint32_t(keys[t] >> 32);
                    float d2;
                    std::memcpy(&d2, &bits, sizeof d2);
                    near[size_t(i) * k + t] = uint8_t(keys[t]);
                    nearDist[size_t(i) * k + t] = std::sqrt(d2);
                }
                nearCount[i] = n;
                float* br = &batch[size_t(i) * 3 * kBatch];
                for (int t = 0; t < kBatch; ++t) {
                    const bool has = t < n;
                    const int j = has ? near[size_t(i) * k + t] : 0;
                    br[t] = has ? cr[j] : kFar;
                    br[kBatch + t] = has ? cg[j] : kFar;
                    br[2 * kBatch + t] = has ? cb[j] : kFar;
                }
            }
        });
        hv::RunParts(parts, np, [&](int q, int p0, int p1) {
            KMeansPart& kp = part[size_t(q)];
            std::fill(kp.acc.begin(), kp.acc.end(), 0);
            kp.changed = false;
            for (int p = first(p0); p < p1; p += stride) {
                const Point& pt = points[size_t(p)];
                const int c = label[size_t(p)];
                const float toC = toLabel[size_t(p)];
                float best2 = toC * toC;
                int bestIdx = c;
                const uint8_t* ord = &near[size_t(c) * k];
                const float* dc = &nearDist[size_t(c) * k];
                // The batch's nearest replaces the centre only when strictly
                // nearer, and the first of equals in the batch wins: the
                // same choice as comparing them one by one.
                {
                    const float* br = &batch[size_t(c) * 3 * kBatch];
                    float d2v[kBatch];
                    // Kept a loop so that it runs on several lanes at a time.
#pragma GCC unroll 1
                    for (int t = 0; t < kBatch; ++t) {
                        const float dr = pt.r - br[t], dg = pt.g - br[kBatch + t], db = pt.b - br[2 * kBatch + t];
                        d2v[t] = dr * dr + dg * dg + db * db;
                    }
                    static_assert(kBatch == 8, "the minimum is taken in three halvings");
                    float m4[4], m2[2];
                    for (int t = 0; t < 4; ++t) m4[t] = std::min(d2v[t], d2v[t + 4]);
                    for (int t = 0; t < 2; ++t) m2[t] = std::min(m4[t], m4[t + 2]);
                    const float least = std::min(m2[0], m2[1]);
                    if (least < best2) {
                        int t = 0;
                        while (d2v[t] != least) ++t;
                        best2 = least;
                        bestIdx = ord[t];
                    }
                }
                float best = std::sqrt(best2);
                for (int t = kBatch, n = nearCount[c]; t < n; ++t) {
                    if (dc[t] - toC >= best) break;
                    const int j = ord[t];
                    const float dr = pt.r - cr[j], dg = pt.g - cg[j], db = pt.b - cb[j];
                    const float d2 = dr * dr + dg * dg + db * db;
                    if (d2 < best2) {
                        best2 = d2;
                        best = std::sqrt(d2);
                        bestIdx = j;
                    }
                }
                kp.changed |= bestIdx != c;
                label[size_t(p)] = uint8_t(bestIdx);
                double* a = &kp.acc[size_t(bestIdx) * 4];
                a[0] += pt.n;
                a[1] += pt.sr;
                a[2] += pt.sg;
                a[3] += pt.sb;
            }
        });
        bool changed = false;
        for (const KMeansPart& kp : part) changed |= kp.changed;
        for (int i = 0; i < k; ++i) {
            double a[4] = {0, 0, 0, 0};
            for (const KMeansPart& kp : part)
                for (int c = 0; c < 4; ++c) a[c] += kp.acc[size_t(i) * 4 + size_t(c)];
            if (a[0] > 0) centers[i] = {a[1] / a[0], a[2] / a[0], a[3] / a[0]};
        }
        // After the first full pass the centres are the means of the labels
        // they were computed from: unchanged labels give the same centres
        // again, and every further pass would repeat this one.
        if (!changed && pass > kSampledPasses) break;
    }
}

inline BYTE ToByte(double v) { return static_cast<BYTE>(std::lround(std::clamp(v, 0.0, 255.0))); }

// The palette for an image of `pixels` pixels with more than 256 colours,
// the k-means of a large image shared among `workers` threads; returns the
// number of entries used.
int BuildPalette(const std::vector<Cell>& cells, int64_t pixels, int workers, tagRGBQUAD* palette) {
    const bool exact = pixels >= hv::kThreadedPixels;
    std::vector<Box> boxes;
    {
        const Moments moments(cells);
        boxes = SplitBoxes(moments, kPalette);
    }
    // Label each occupied cell with its box, and collect the k-means points.
    std::vector<uint8_t> boxOf(kWuSide * kWuSide * kWuSide);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Box& bx = boxes[i];
        for (int r = bx.lo[0]; r < bx.hi[0]; ++r)
            for (int g = bx.lo[1]; g < bx.hi[1]; ++g)
                for (int b = bx.lo[2]; b < bx.hi[2]; ++b)
                    boxOf[(r << (2 * kWuBits)) | (g << kWuBits) | b] = uint8_t(i);
    }
    constexpr int drop = kBits - kWuBits, mask = kSide - 1;
    auto boxOfCell = [&](int i) {
        const int r = (i >> (2 * kBits)) >> drop, g = ((i >> kBits) & mask) >> drop, b = (i & mask) >> drop;
        return boxOf[(r << (2 * kWuBits)) | (g << kWuBits) | b];
    };
    std::vector<Point> points;
    std::vector<uint8_t> label;
    std::vector<Center> centers(boxes.size(), Center{0, 0, 0});
    std::vector<double> weight(boxes.size(), 0.0);
    points.reserve(cells.size());
    label.reserve(cells.size());
    for (const Cell& c : cells) {
        const double n = double(c.n);
        const float r = float(c.r / n), g = float(c.g / n), b = float(c.b / n), w = float(n);
        // A large image takes its cells' whole-number sums, which add up
        // exactly in any order: its points may be parted among threads. A
        // small one weighs each centroid by its count.
        if (exact)
            points.push_back({r, g, b, n, double(c.r), double(c.g), double(c.b)});
        else
            points.push_back({r, g, b, w, double(r) * w, double(g) * w, double(b) * w});
        const int box = boxOfCell(c.index);
        label.push_back(uint8_t(box));
        Center& ctr = centers[box];
        ctr.r += double(c.r);
        ctr.g += double(c.g);
        ctr.b += double(c.b);
        weight[box] += n;
    }
    for (size_t i = 0; i < centers.size(); ++i) {
        centers[i].r /= weight[i];
        centers[i].g /= weight[i];
        centers[i].b /= weight[i];
    }
    KMeans(points, label, centers, kKMeansPasses, exact ? workers : 1);
    for (size_t i = 0; i < centers.size(); ++i)
        palette[i] = {ToByte(centers[i].b), ToByte(centers[i].g), ToByte(centers[i].r), 0};
    return static_cast<int>(centers.size());
}

// Writes the palette into the 8-bit DIB and every pixel's nearest entry.
bool MapPixels(ipDibStuff& src, void* out, const tagRGBQUAD* palette, int used, const std::vector<int>& cells) {
    ipDibStuff dst(out, false);
    if (!dst.isPalette8() || dst.height() != src.height() || dst.width() != src.width()) return false;
    std::memcpy(dst.colors, palette, sizeof(tagRGBQUAD) * kPalette);
    // Large images map their rows in parts on several threads, each with its
    // own look-up (its answers are the same whoever asks).
    const int w = src.width(), h = src.height();
    const int parts = hv::WorkersFor(int64_t(w) * h, h);
    hv::RunParts(parts, h, [&](int, int y0, int y1) {
        hv::NearestMap map(palette, used, cells.size());
        map.Prepare(cells.data(), cells.size());
        for (int y = y0; y < y1; ++y)
            map.MapRow(src.rows[static_cast<size_t>(y)], dst.rows[static_cast<size_t>(y)], w);
    });
    return true;
}

}  // namespace

void* DecreaseBpp24to8(void* dib24) {
    ipDibStuff src(dib24, false);
    if (!src.is24() || int64_t(src.width()) * src.height() > hv::kMaxPixels) return nullptr;
    void* out = nullptr;
    try {
        tagRGBQUAD palette[kPalette];
        int used = 0;
        std::vector<int> occupied;  // cells met, ascending
        {
            std::vector<uint32_t> few;
            const std::vector<Cell> cells = BuildHistogram(src, few);
            occupied.reserve(cells.size());
            for (const Cell& c : cells) occupied.push_back(c.index);
            if (!few.empty()) {
                for (uint32_t rgb : few) palette[used++] = {BYTE(rgb), BYTE(rgb >> 8), BYTE(rgb >> 16), 0};
            } else {
                const int64_t pixels = int64_t(src.width()) * src.height();
                used = BuildPalette(cells, pixels, hv::WorkersFor(pixels, src.height()), palette);
            }
        }
        // Entries left over repeat the first: a copy at a higher index never
        // wins a nearest-colour search against it.
        for (int i = used; i < kPalette; ++i) palette[i] = palette[0];

        out = MakeEmptyDib(src.width(), src.height(), 8, true);
        if (!out) return nullptr;
        if (!MapPixels(src, out, palette, used, occupied)) {
            hv::FreeHandle(out);
            return nullptr;
        }
        return out;
    } catch (const std::bad_alloc&) {
        if (out) hv::FreeHandle(out);
        return nullptr;
    }
}
