#include "huevane/stroke.h"

#include <climits>
#include <cstring>
#include <new>

#include "edit/linewalk.h"

// ---- dPointBuf ----

namespace {

tagPOINT* NewPoints(int capacity) {
    return capacity > 0 ? new (std::nothrow) tagPOINT[static_cast<size_t>(capacity)] : nullptr;
}

LONG Clamp32(int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<LONG>(v);
}

}  // namespace

dPointBuf::dPointBuf(int cap) : points(NewPoints(cap)) { capacity = points ? cap : 0; }

dPointBuf::~dPointBuf() { delete[] points; }

dPointBuf::dPointBuf(const dPointBuf& other) : points(NewPoints(other.capacity)) {
    if (!points) return;
    capacity = other.capacity;
    count = other.count;
    if (count > 0) std::memcpy(points, other.points, sizeof(tagPOINT) * static_cast<size_t>(count));
}

dPointBuf& dPointBuf::operator=(const dPointBuf& other) {
    if (this == &other) return *this;
    tagPOINT* fresh = NewPoints(other.capacity);
    if (!fresh && other.capacity > 0) return *this;
    if (other.count > 0) std::memcpy(fresh, other.points, sizeof(tagPOINT) * static_cast<size_t>(other.count));
    delete[] points;
    points = fresh;
    capacity = other.capacity;
    count = other.count;
    return *this;
}

int dPointBuf::AddPoint(int x, int y) {
    if (count > 0 && points[count - 1].x == x && points[count - 1].y == y) return -1;
    if (count >= capacity) return -2;
    points[count].x = x;
    points[count].y = y;
    return count++;
}

// ---- wStroke ----

wStroke::wStroke(unsigned int w) : width(w) {}

void wStroke::StartStroke() {
    points.clear();
    drawing = true;
}

int wStroke::AddPoint(int x, int y) {
    points.push_back(tagPOINT{x, y});
    return static_cast<int>(points.size()) - 1;
}

void wStroke::FinishStroke() {
    if (points.empty()) {
        boundingRect.SetRectEmpty();
        return;
    }
    int64_t left = points[0].x, right = left, top = points[0].y, bottom = top;
    for (const tagPOINT& p : points) {
        if (p.x < left) left = p.x;
        if (p.x > right) right = p.x;
        if (p.y > top) top = p.y;
        if (p.y < bottom) bottom = p.y;
    }
    const int64_t w = width;
    boundingRect = CRect(Clamp32(left - w), Clamp32(top + w), Clamp32(right + w), Clamp32(bottom - w));
    drawing = false;
}

int wStroke::GetMaxDiscretePointNum() {
    int64_t sum = 0;
    for (size_t i = 1; i < points.size(); ++i) {
        int64_t dx = static_cast<int64_t>(points[i].x) - points[i - 1].x;
        int64_t dy = static_cast<int64_t>(points[i].y) - points[i - 1].y;
        if (dx < 0) dx = -dx;
        if (dy < 0) dy = -dy;
        sum += (dx > dy ? dx : dy) + 1;
        if (sum > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(sum);
}

int wStroke::DiscreteToBuff(int height, dPointBuf* buf) {
    if (points.size() < 2 || !buf) return -1;
    const hv::Window all{INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX};
    const bool whole = hv::WalkPolyline(points, height, all, [buf](int64_t x, int64_t y) {
        return buf->AddPoint(static_cast<int>(x), static_cast<int>(y)) != -2;
    });
    return whole ? 0 : -2;
}
