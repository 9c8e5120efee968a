#include <cstring>

#include "dib/dib.h"
#include "platform/memory.h"
#include "platform/workers.h"

ipDibStuff::ipDibStuff(void* dib, bool /*flag*/) : dib_(dib) {
    if (!dib) return;
    const uint64_t size = GlobalSize(dib);
    locked_ = GlobalLock(dib);
    if (!locked_ || size < sizeof(BITMAPINFOHEADER)) return;
    auto* bmih = static_cast<BITMAPINFOHEADER*>(locked_);
    const int bits = bmih->biBitCount;
    if (bmih->biSize < sizeof(BITMAPINFOHEADER) || bmih->biSize > size || bmih->biWidth <= 0 ||
        bmih->biHeight <= 0 || bmih->biWidth > hv::kMaxSide || bmih->biHeight > hv::kMaxSide ||
        bmih->biCompression != BI_RGB)
        return;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return;
    uint64_t entries = bmih->biClrUsed;
    if (entries == 0 && bits <= 8) entries = uint64_t(1) << bits;
    const uint64_t stride = hv::RowBytes(bmih->biWidth, bits);
    const uint64_t tableEnd = bmih->biSize + 4 * entries;
    if (entries > 65536 || tableEnd > size || stride * bmih->biHeight > size - tableEnd) return;

    header = bmih;
    colors = reinterpret_cast<tagRGBQUAD*>(static_cast<BYTE*>(locked_) + bmih->biSize);
    numColors = static_cast<int>(entries);
    BYTE* bits0 = static_cast<BYTE*>(locked_) + tableEnd;
    rows.resize(static_cast<size_t>(bmih->biHeight));
    for (size_t y = 0; y < rows.size(); ++y) rows[y] = bits0 + y * stride;
}

ipDibStuff::~ipDibStuff() {
    if (locked_) GlobalUnlock(dib_);
}

int ipDibStuff::StatHisto(int* histo) {
    if (!histo || !usable() || header->biBitCount != 8) return -1;
    // Large images count their rows in parts on several threads; the counts
    // are added in part order.
    const int w = width(), h = height();
    const int parts = hv::WorkersFor(int64_t(w) * h, h);
    int counts[hv::kMaxWorkers][256];
    hv::RunParts(parts, h, [&](int p, int y0, int y1) {
        // Four sets of counters taking turns, so that a run of one index
        // does not make each increment wait for the previous one.
        int part[4][256] = {};
        for (int y = y0; y < y1; ++y) {
            const BYTE* row = rows[static_cast<size_t>(y)];
            int x = 0;
            for (; x + 4 <= w; x += 4) {
                ++part[0][row[x]];
                ++part[1][row[x + 1]];
                ++part[2][row[x + 2]];
                ++part[3][row[x + 3]];
            }
            for (; x < w; ++x) ++part[0][row[x]];
        }
        for (int i = 0; i < 256; ++i) counts[p][i] = part[0][i] + part[1][i] + part[2][i] + part[3][i];
    });
    for (int i = 0; i < 256; ++i) {
        histo[i] = 0;
        for (int p = 0; p < parts; ++p) histo[i] += counts[p][i];
    }
    return 0;
}

int ipDibStuff::SetNeighbor(int table[][256]) {
    if (!table || !usable() || header->biBitCount != 8) return -1;
    std::memset(table, 0, sizeof(int) * 256 * 256);
    const int w = width();
    for (size_t y = 0; y < rows.size(); ++y) {
        const BYTE* row = rows[y];
        for (int x = 1; x < w; ++x) {
            ++table[row[x - 1]][row[x]];
            ++table[row[x]][row[x - 1]];
        }
        if (y == 0) continue;
        const BYTE* below = rows[y - 1];
        for (int x = 0; x < w; ++x) {
            ++table[below[x]][row[x]];
            ++table[row[x]][below[x]];
        }
    }
    return 0;
}

namespace {
uint64_t Load8(const BYTE* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
}  // namespace

int ipDibStuff::MarkNeighbors(BYTE table[][256]) {
    if (!table || !usable() || header->biBitCount != 8) return -1;
    std::memset(table, 0, 256 * 256);
    const int w = width();
    // Pairs go eight at a time: a block of eight equal pairs (most of a
    // photo) is skipped after one comparison; in the others every pair is
    // written, the equal ones landing on the diagonal, cleared at the end.
    for (size_t y = 0; y < rows.size(); ++y) {
        const BYTE* row = rows[y];
        int x = 0;
        for (; x + 8 < w; x += 8) {
            if (Load8(row + x) == Load8(row + x + 1)) continue;
            for (int k = x; k < x + 8; ++k) table[row[k]][row[k + 1]] = 1;
        }
        for (; x + 1 < w; ++x) table[row[x]][row[x + 1]] = 1;
        if (y == 0) continue;
        const BYTE* below = rows[y - 1];
        for (x = 0; x + 8 <= w; x += 8) {
            if (Load8(row + x) == Load8(below + x)) continue;
            for (int k = x; k < x + 8; ++k) table[below[k]][row[k]] = 1;
        }
        for (; x < w; ++x) table[below[x]][row[x]] = 1;
    }
    for (int a = 0; a < 256; ++a) {
        table[a][a] = 0;
        for (int b = a + 1; b < 256; ++b) table[a][b] = table[b][a] = table[a][b] | table[b][a];
    }
    return 0;
}

int ipDibStuff::GetNearestColor(const unsigned char* bgr) {
    if (!colors || numColors <= 0) return -1;
    int best = -1, bestDist = 0x7FFFFFFF;
    for (int i = 0; i < numColors; ++i) {
        const int db = colors[i].rgbBlue - bgr[0], dg = colors[i].rgbGreen - bgr[1],
                  dr = colors[i].rgbRed - bgr[2];
        const int d = db * db + dg * dg + dr * dr;
        if (d < bestDist) {
            bestDist = d;
            best = i;
        }
    }
    return best;
}

void* ipDibStuff::CopyToHandle() {
    if (!usable()) return nullptr;
    const size_t size = GlobalSize(dib_);
    void* copy = hv::AllocHandle(size, false);
    if (!copy) return nullptr;
    hv::HandleLock dst(copy);
    std::memcpy(dst.ptr(), locked_, size);
    return copy;
}

int ipDibStuff::Restore(ipDibStuff& src) {
    if (!usable() || !src.usable() || src.width() != width() || src.height() != height() ||
        src.bitCount() != bitCount())
        return -1;
    const size_t n = hv::RowBytes(width(), bitCount());
    for (size_t y = 0; y < rows.size(); ++y) std::memmove(rows[y], src.rows[y], n);
    return 0;
}
