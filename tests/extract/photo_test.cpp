// End to end: extraction from a real photograph.
#include <gtest/gtest.h>

#include <vector>

#include "extract/extract_fixtures.h"

namespace {
// Extracts the pockets of a 24-bit image, checks what must hold whatever
// palette the reduction chooses, and returns what it decided.
std::vector<std::vector<int>> ExtractAndCheck(void* rgb, int w, int h) {
    ccColorPocketArray t;
    t.SetTrueDib(rgb);
    EXPECT_EQ(t.GetColorPockets(), 0);
    int histo[256] = {};
    {
        ipDibStuff pal(t.palDib, false);
        EXPECT_EQ(pal.StatHisto(histo), 0);
    }
    std::vector<std::vector<int>> groups = xt::Groups(t);
    std::vector<int> owner(256, -1);
    long long sum = 0;
    EXPECT_GE(groups.size(), 2u);
    for (int k = 0; k < t.pockets.GetSize(); ++k) {
        ccColorPocket* p = t.pockets[k];
        EXPECT_TRUE(p->index == k && (k == 0 || t.pockets[k - 1]->pixelNum >= p->pixelNum)) << k;
        long long count = 0;
        for (ccColorItem* it : p->items) {
            const int i = it->palIndex & 0xFF;
            EXPECT_TRUE(i == it->palIndex && owner[i] < 0 && histo[i] > 0) << "index " << it->palIndex;
            owner[i] = k;
            count += it->pixelNum;
        }
        EXPECT_EQ(count, p->pixelNum);
        sum += p->pixelNum;
        groups[k].insert(groups[k].end(), {p->pixelNum, static_cast<int>(RgbWord(p->aveRGB)),
                                           static_cast<int>(p->percentage * 1e6f)});
    }
    for (int i = 0; i < 256; ++i)
        EXPECT_TRUE(histo[i] == 0 || owner[i] >= 0) << "index " << i << " has no pocket";
    EXPECT_EQ(sum, static_cast<long long>(w) * h);
    return groups;
}
}  // namespace

TEST(ExtractPhoto, RealPhotoPocketsCoverThePaletteOnceAndRepeatExactly) {
    void* photo = xt::Photo();
    ASSERT_NE(photo, nullptr);
    const long live = hv::LiveHandles();
    const auto first = ExtractAndCheck(photo, 120, 80);
    EXPECT_EQ(hv::LiveHandles(), live);  // the derived palette DIB went with the theme
    EXPECT_EQ(ExtractAndCheck(photo, 120, 80), first);
    EXPECT_EQ(hv::LiveHandles(), live);
    hv::FreeHandle(photo);
}
