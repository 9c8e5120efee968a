// End to end: extraction from a real photograph.
#include <gtest/gtest.h>

#include "extract/extract_fixtures.h"

using namespace xt;

TEST(ExtractPhoto, RealPhotoPocketsCoverThePaletteOnceAndRepeatExactly) {
    void* photo = Photo();
    ASSERT_NE(photo, nullptr);
    const long live = hv::LiveHandles();
    G runs[2];
    for (G& decided : runs) {
        ccColorPocketArray t;
        t.SetTrueDib(photo);
        ASSERT_EQ(t.GetColorPockets(), 0);
        int histo[256] = {};
        ASSERT_EQ(ipDibStuff(t.palDib, false).StatHisto(histo), 0);
        decided = Groups(t);
        EXPECT_GE(decided.size(), 2u);
        V owner(256, -1);
        long long sum = 0;
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
            decided[k].insert(decided[k].end(), {p->pixelNum, static_cast<int>(RgbWord(p->aveRGB)),
                                                 static_cast<int>(p->percentage * 1e6f)});
        }
        for (int i = 0; i < 256; ++i)
            EXPECT_TRUE(histo[i] == 0 || owner[i] >= 0) << "index " << i << " unowned";
        EXPECT_EQ(sum, 120 * 80);
    }
    EXPECT_EQ(runs[1], runs[0]);
    EXPECT_EQ(hv::LiveHandles(), live);  // the derived palette DIBs went with their themes
    hv::FreeHandle(photo);
}
