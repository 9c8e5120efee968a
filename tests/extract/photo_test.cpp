// End to end: extraction from a photograph-like 24-bit image.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "extract/extract_fixtures.h"

using xt::HostDib;
using xt::Rgb;

namespace {
// Sky, sun, meadow and a grey road with a little noise.
tagRGBQUAD Scene(int x, int y) {
    unsigned noise = static_cast<unsigned>(x * 73856093u ^ y * 19349663u) % 23;
    auto clamp = [](int v) { return v < 0 ? 0 : v > 255 ? 255 : v; };
    const int n = static_cast<int>(noise) - 11;
    if (y < 14) {
        const int g = 90 + y * 5;
        return Rgb(clamp(g + n), clamp(g + n), clamp(g + n));
    }
    const double dx = x - 90, dy = y - 60;
    if (dx * dx + dy * dy < 150) return Rgb(clamp(250 + n), clamp(200 + 2 * n), clamp(40 + n));
    if (y < 40) return Rgb(clamp(30 + x / 3 + n), clamp(120 + y + n), clamp(40 + n));
    return Rgb(clamp(60 + n), clamp(110 + x / 2 + n), clamp(200 + y / 2 + n));
}

struct Snapshot {
    std::vector<std::vector<int>> members;
    std::vector<uint32_t> means;
    std::vector<int> pixels;
    std::vector<float> shares;
    bool operator==(const Snapshot& o) const {
        return members == o.members && means == o.means && pixels == o.pixels && shares == o.shares;
    }
};

Snapshot Take(const ccColorPocketArray& t) {
    Snapshot s;
    for (ccColorPocket* p : t.pockets) {
        s.members.push_back(xt::Members(p));
        s.means.push_back(RgbWord(p->aveRGB));
        s.pixels.push_back(p->pixelNum);
        s.shares.push_back(p->percentage);
    }
    return s;
}
}  // namespace

TEST(ExtractPhoto, PocketsCoverThePaletteOnceAndRepeatExactly) {
    const int w = 128, h = 80;
    HostDib photo(xt::Host24(w, h, Scene));
    const long live = hv::LiveHandles();
    Snapshot first;
    {
        ccColorPocketArray t;
        t.SetTrueDib(photo.h);
        ASSERT_EQ(t.GetColorPockets(), 0);
        const int m = t.pockets.GetSize();
        ASSERT_GE(m, 2);

        int histo[256];
        {
            ipDibStuff v(t.palDib, false);
            ASSERT_EQ(v.StatHisto(histo), 0);
        }
        std::vector<int> owner(256, -1);
        long long sum = 0;
        for (int k = 0; k < m; ++k) {
            ccColorPocket* p = t.pockets[k];
            EXPECT_EQ(p->index, k);
            if (k > 0) {
                EXPECT_GE(t.pockets[k - 1]->pixelNum, p->pixelNum);
            }
            int count = 0;
            for (ccColorItem* it : p->items) {
                ASSERT_GE(it->palIndex, 0);
                ASSERT_LT(it->palIndex, 256);
                EXPECT_EQ(owner[it->palIndex], -1) << "index " << it->palIndex << " in two pockets";
                owner[it->palIndex] = k;
                EXPECT_GT(histo[it->palIndex], 0);
                count += it->pixelNum;
            }
            EXPECT_EQ(count, p->pixelNum);
            sum += p->pixelNum;
        }
        for (int i = 0; i < 256; ++i)
            if (histo[i] > 0) {
                EXPECT_GE(owner[i], 0) << "index " << i << " has pixels but no pocket";
            }
        EXPECT_EQ(sum, static_cast<long long>(w) * h);

        // The pocket-number image agrees with the pockets, pixel by pixel.
        void* map = t.FillPocketIndexInDib();
        ASSERT_NE(map, nullptr);
        {
            ipDibStuff in(t.palDib, false), out(map, false);
            int wrong = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) wrong += out.rows[y][x] != owner[in.rows[y][x]];
            EXPECT_EQ(wrong, 0);
        }
        hv::FreeHandle(map);
        first = Take(t);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
    {
        ccColorPocketArray again;
        again.SetTrueDib(photo.h);
        ASSERT_EQ(again.GetColorPockets(), 0);
        EXPECT_TRUE(Take(again) == first);
    }
    EXPECT_EQ(hv::LiveHandles(), live);
}
