// End to end: extraction from a real photograph.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "extract/extract_fixtures.h"
#include "huevane/huevane.h"

namespace {
// Everything the extraction decides, for comparing two runs.
struct Snapshot {
    std::vector<std::vector<int>> members;
    std::vector<uint32_t> means;
    std::vector<int> pixels;
    std::vector<float> shares;
    bool operator==(const Snapshot& o) const {
        return members == o.members && means == o.means && pixels == o.pixels && shares == o.shares;
    }
};

// Extracts the pockets of a 24-bit image and checks what must hold for any
// palette the reduction chooses.
Snapshot ExtractAndCheck(void* rgb, int w, int h) {
    Snapshot s;
    ccColorPocketArray t;
    t.SetTrueDib(rgb);
    EXPECT_EQ(t.GetColorPockets(), 0);
    const int m = t.pockets.GetSize();
    EXPECT_GE(m, 2);
    int histo[256] = {};
    {
        ipDibStuff v(t.palDib, false);
        EXPECT_EQ(v.StatHisto(histo), 0);
    }
    std::vector<int> owner(256, -1);
    long long sum = 0;
    for (int k = 0; k < m; ++k) {
        ccColorPocket* p = t.pockets[k];
        EXPECT_EQ(p->index, k);
        if (k > 0) {
            EXPECT_GE(t.pockets[k - 1]->pixelNum, p->pixelNum);
        }
        long long count = 0;
        for (ccColorItem* it : p->items) {
            const int i = it->palIndex;
            if (i < 0 || i > 255) {
                ADD_FAILURE() << "palette index " << i;
                continue;
            }
            EXPECT_EQ(owner[i], -1) << "index " << i << " in two pockets";
            EXPECT_GT(histo[i], 0);
            owner[i] = k;
            count += it->pixelNum;
        }
        EXPECT_EQ(count, p->pixelNum);
        sum += p->pixelNum;
        s.members.push_back(xt::Members(p));
        s.means.push_back(RgbWord(p->aveRGB));
        s.pixels.push_back(p->pixelNum);
        s.shares.push_back(p->percentage);
    }
    for (int i = 0; i < 256; ++i) {
        if (histo[i] > 0) {
            EXPECT_GE(owner[i], 0) << "index " << i << " has pixels but no pocket";
        }
    }
    EXPECT_EQ(sum, static_cast<long long>(w) * h);

    // The pocket-number image agrees with the pockets, pixel by pixel.
    void* map = t.FillPocketIndexInDib();
    EXPECT_NE(map, nullptr);
    if (map) {
        ipDibStuff in(t.palDib, false), out(map, false);
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) wrong += out.rows[y][x] != (owner[in.rows[y][x]] & 0xFF);
        EXPECT_EQ(wrong, 0);
    }
    hv::FreeHandle(map);
    return s;
}
}  // namespace

TEST(ExtractPhoto, RealPhotoPocketsCoverThePaletteOnceAndRepeatExactly) {
    const std::string path = std::string(HUEVANE_TEST_DATA) + "/extract/coffee_120x80.bmp";
    void* photo = reinterpret_cast<void*>(LoadDIB(path.c_str()));
    ASSERT_NE(photo, nullptr);
    const long live = hv::LiveHandles();
    const Snapshot first = ExtractAndCheck(photo, 120, 80);
    EXPECT_EQ(hv::LiveHandles(), live);  // the derived palette DIB went with the theme
    EXPECT_TRUE(ExtractAndCheck(photo, 120, 80) == first);
    EXPECT_EQ(hv::LiveHandles(), live);
    hv::FreeHandle(photo);
}
