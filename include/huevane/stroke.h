// Strokes drawn over an image and the pixel runs made from them.
//
// A wStroke is a polyline in image coordinates (x to the right, y downwards,
// row 0 at the top) with a pen width. DiscreteToBuff turns it into pixel
// positions of a bottom-up DIB (row 0 at the bottom) and writes them into a
// dPointBuf, a fixed-capacity point buffer that drops a point equal to the
// one stored just before it. cPointsCut is a cut: a list of points the
// editing operations only read.
#pragma once

#include <vector>

#include "huevane/platform.h"

// A rectangle of four signed 32-bit sides. A finished stroke keeps its
// largest y in top and its smallest y in bottom (top >= bottom).
class HUEVANE_API CRect {
public:
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;

    CRect() = default;
    CRect(LONG l, LONG t, LONG r, LONG b) : left(l), top(t), right(r), bottom(b) {}
    // All four sides 0.
    void SetRectEmpty() { left = top = right = bottom = 0; }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

// A fixed-capacity buffer of points. Owns its array; copies get arrays of
// their own, so no two buffers ever share one.
class HUEVANE_API dPointBuf {
public:
    tagPOINT* points = nullptr;  // room for capacity points; owned
    int count = 0;               // points stored, 0..capacity
    int capacity = 0;            // fixed at construction

    // Room for `capacity` points; a negative capacity, or one whose array
    // cannot be allocated, gives a buffer of capacity 0 (nothing is thrown).
    explicit dPointBuf(int capacity);
    // Releases the array.
    ~dPointBuf();
    // A copy with its own array of the same capacity (0 when that cannot
    // be allocated) holding the same points.
    dPointBuf(const dPointBuf& other);
    // Replaces this buffer's points and capacity by copies of other's, in an
    // array of its own; when that array cannot be allocated the buffer is
    // left unchanged. Returns *this.
    dPointBuf& operator=(const dPointBuf& other);

    int GetPointNum() { return count; }
    // The array, valid until the buffer is destroyed (null at capacity 0).
    tagPOINT* GetPoints() { return points; }
    // Point i without a range check: the caller keeps i in 0..count-1.
    tagPOINT& operator[](int i) { return points[i]; }
    // Stores (x, y) at position count and returns its index; -1 (nothing
    // stored) when it equals the last stored point; -2 (nothing stored)
    // when the buffer is full.
    int AddPoint(int x, int y);
};

// A polyline with a pen width, a drawing flag and a bounding rectangle.
class HUEVANE_API wStroke {
public:
    // Empty stroke of the given pen width, not drawing, rectangle all 0.
    explicit wStroke(unsigned int width);
    // Copies every field; the copy has its own list of points.
    wStroke(const wStroke&) = default;
    wStroke& operator=(const wStroke&) = default;
    ~wStroke() = default;

    // Empties the points (the rectangle stays) and starts drawing.
    void StartStroke();
    // Appends (x, y), repeats included, drawing or not; returns the number
    // of points less one.
    int AddPoint(int x, int y);
    // Sets the bounding rectangle (left/right: smallest/largest x, top/
    // bottom: largest/smallest y, each widened by the pen width; a side
    // beyond the 32-bit range stops at its limit) and stops drawing. With
    // no points: rectangle all 0 and the drawing flag unchanged.
    void FinishStroke();
    bool IsDrawing() { return drawing; }
    // The rectangle set by the last FinishStroke; the caller may change it.
    CRect& GetBoundingRect() { return boundingRect; }
    // Upper bound on the pixels of the polyline: over every segment,
    // max(|dx|, |dy|) + 1, summed in 64 bits; INT_MAX when the sum does not
    // fit an int. 0 for fewer than two points.
    int GetMaxDiscretePointNum();
    // Rasterises the polyline (Bresenham, both ends included, y flipped to
    // height - 1 - y) into buf with dPointBuf::AddPoint, so joints shared
    // by two segments are stored once; pixels are not clipped to an image,
    // except that those whose flipped row falls outside the 32-bit range
    // are left out. 0; -1 with nothing written for fewer than two points or
    // a null buf; -2 when buf filled up before the last pixel (the pixels
    // that fit are stored, in order).
    int DiscreteToBuff(int height, dPointBuf* buf);

    // The vertices, in the order added.
    const std::vector<tagPOINT>& GetPointList() const { return points; }
    unsigned int GetWidth() const { return width; }

protected:
    // For derived classes, which set width and drawing themselves.
    wStroke() = default;

    unsigned int width = 0;
    bool drawing = false;
    std::vector<tagPOINT> points;
    CRect boundingRect;
};

// A cut drawn over the image: count points (image coordinates, y
// downwards) at points. The caller owns the array; the library only reads
// it. A null array or a negative count reads as no points.
struct cPointsCut {
    tagPOINT* points = nullptr;
    int count = 0;
};
