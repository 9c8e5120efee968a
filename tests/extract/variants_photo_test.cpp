// The extractions on real photos: the default one keeps its invariants, and
// G, D and CG equal direct implementations of their loops (every pair
// rescanned and the neighbour counts summed over every item pair before each
// merge; the growth order by the exchange sort of the palette).
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "extract/extract_fixtures.h"
#include "huevane/colorsystem.h"

#ifdef HUEVANE_CLI_BINARY
#include "imageio.h"
#endif

using namespace xt;

namespace {

// The merging loop of D (cg false) and CG (cg true) as stated, from one
// pocket per palette item with pixels.
void DirectMerge(ccColorPocketArray& t, bool cg) {
    std::vector<int> nb(256 * 256);
    auto* N = reinterpret_cast<int(*)[256]>(nb.data());
    ASSERT_EQ(ipDibStuff(t.palDib, false).SetNeighbor(N), 0);
    while (t.pockets.GetSize() > 6) {
        const int n = t.pockets.GetSize();
        int best = INT_MAX, bi = -1, bj = -1;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                ccColorPocket *P = t.pockets[i], *Q = t.pockets[j];
                long long sum = 0;
                for (ccColorItem* a : Q->items)
                    for (ccColorItem* b : P->items) sum += N[a->palIndex][b->palIndex];
                if (sum == 0 || P->HueDistance(Q) > 60) continue;
                if (cg && P->groupIndex >= 0 && Q->groupIndex >= 0 && P->groupIndex != Q->groupIndex) continue;
                const int d = cg ? hv::ColorDist2(P->aveRGB, Q->aveRGB) : P->HSLDist2(Q);
                if (d < best) {
                    best = d;
                    bi = i;
                    bj = j;
                }
            }
        if (bi < 0) break;
        ccColorPocket* gone = t.pockets[bj];
        t.MergePockets(bi, gone);
        if (t.pockets[bi]->groupIndex < 0 && gone->groupIndex >= 0) t.pockets[bi]->groupIndex = gone->groupIndex;
        delete gone;
        t.pockets.RemoveAt(bj);
    }
    t.GetPercentage();
}

// G's growth, the 16-pocket cap and the small-share merge as stated.
void DirectGrowth(ccColorPocketArray& t, const int* histo, float pixels) {
    t.ClearAll();
    int seeds[256], near[256];
    ASSERT_EQ(t.SortPalOnPixelNumDesc(seeds), 0);
    bool used[256] = {};
    for (int s : seeds) {
        if (used[s] || histo[s] <= 0) continue;
        ccColorPocket* p = AddPocket(t, {s});
        used[s] = true;
        ASSERT_EQ(t.SortPalOnCenterDist(near, s), 0);
        for (int k = 1; k < 256; ++k) {
            const tagRGBQUAD c = t.palette[near[k]].rgb, m = p->aveRGB;
            if (std::abs(c.rgbRed - m.rgbRed) + std::abs(c.rgbGreen - m.rgbGreen) + std::abs(c.rgbBlue - m.rgbBlue) > 30) break;
            if (!used[near[k]]) p->AddColorItemAny(&t.palette[near[k]]);
            used[near[k]] = true;
        }
    }
    for (int i = 16; i < t.pockets.GetSize(); ++i)
        t.MergePockets(t.FindNearestPocket(t.pockets[i], 16), t.pockets[i]);
    t.RemoveEmptyPockets();
    for (ccColorPocket* p : t.pockets) p->percentage = static_cast<float>(p->pixelNum) / pixels;
    t.SortOnPercentage();
    t.MergePercentLess(2);
}

// Everything a theme's pockets carry that the extractions decide.
std::vector<std::vector<long long>> Decided(const ccColorPocketArray& t) {
    std::vector<std::vector<long long>> v;
    for (ccColorPocket* p : t.pockets) {
        v.push_back({p->pixelNum, RgbWord(p->aveRGB), p->aveHSL, p->groupIndex, p->index,
                     static_cast<long long>(p->percentage * 1e7f)});
        for (ccColorItem* it : p->items) v.back().push_back(it->palIndex);
    }
    return v;
}

}  // namespace

TEST(ExtractPhoto, TheDefaultPocketsCoverThePaletteOnceInSizeOrder) {
    void* photo = Photo();
    ASSERT_NE(photo, nullptr);
    HostDib host(Image8(2, 2, {7}));
    const long live = hv::LiveHandles();
    std::vector<std::vector<long long>> runs[2];
    for (auto& decided : runs) {
        ccColorPocketArray t;
        t.SetTrueDib(photo);
        ASSERT_EQ(t.GetColorPockets(), 0);
        int histo[256];
        ASSERT_EQ(ipDibStuff(t.palDib, false).StatHisto(histo), 0);
        ExpectCover(t, histo, 120 * 80, false, "default");
        ASSERT_GE(t.pockets.GetSize(), 2);
        for (int k = 0; k < t.pockets.GetSize(); ++k)
            EXPECT_TRUE(t.pockets[k]->index == k && (!k || t.pockets[k - 1]->pixelNum >= t.pockets[k]->pixelNum));
        decided = Decided(t);
        // The theme owns the palette DIB it derives and keeps it; the handle
        // already attached changes nothing; a host image replaces and releases it.
        void* derived = t.palDib;
        EXPECT_TRUE(t.ownsPalDib && t.GetColorPockets() == 0 && t.palDib == derived);
        EXPECT_EQ(t.SetDib(derived), -11);
        EXPECT_TRUE(t.palDib == derived && Decided(t) == decided && hv::LiveHandles() == live + 1);
        EXPECT_EQ(t.SetDib(host.h), 0);
        EXPECT_TRUE(hv::LiveHandles() == live && t.palDib == host.h && !t.ownsPalDib);
    }
    EXPECT_EQ(runs[1], runs[0]);
    hv::FreeHandle(photo);
}

TEST(ExtractPhoto, FastMergingAndGrowthMatchTheDirectLoops) {
    csColorSystem card;
    ASSERT_EQ(card.LoadFromFile(HUEVANE_SAMPLES "/css-colours.txt"), 0);
    ASSERT_GT(card.samples.GetSize(), 20);
    // Groups that leave some samples out and list some twice.
    card.groups.assign(5, {});
    for (int s = 0; s < card.samples.GetSize(); ++s)
        if (s % 6 != 5) card.groups[static_cast<size_t>(s * 7 % 5)].push_back(s);
    card.groups[1].push_back(3);
    std::vector<int> groupOf(static_cast<size_t>(card.samples.GetSize()), -1);
    for (size_t g = 0; g < card.groups.size(); ++g)
        for (int s : card.groups[g]) groupOf[static_cast<size_t>(s)] = static_cast<int>(g);

    std::vector<std::pair<std::string, void*>> photos = {
        {"coffee 120 x 80", Photo()}, {"coffee 160 x 107", reinterpret_cast<void*>(LoadDIB(HUEVANE_TEST_DATA "/coffee_small.bmp"))}};
#ifdef HUEVANE_CLI_BINARY
    std::string error;  // a large photo with all 256 palette colours in use
    photos.push_back({"autumn", hvio::ReadImage(std::string(HUEVANE_SAMPLES) + "/autumn.jpg", &error)});
#endif
    for (auto& photo : photos) {
        ASSERT_NE(photo.second, nullptr) << photo.first;
        void* dib8 = DecreaseBpp24to8(photo.second);
        int histo[256];
        tagRGBQUAD colours[256];
        float pixels = 0;
        {
            ipDibStuff view(dib8, false);
            ASSERT_EQ(view.StatHisto(histo), 0);
            pixels = static_cast<float>(static_cast<long long>(view.width()) * view.height());
            std::copy(view.colors, view.colors + 256, colours);
        }
        EXPECT_GT(std::count_if(histo, histo + 256, [](int h) { return h > 0; }), 200) << photo.first;
        for (int method = 0; method < 3; ++method) {
            const std::string what = photo.first + (method == 0 ? " D" : method == 1 ? " CG" : " G");
            ccColorPocketArray fast, direct;
            fast.SetPalDib(dib8, false);
            direct.SetPalDib(dib8, false);
            int fastIndex[256] = {-1}, directIndex[256] = {-1};
            ASSERT_EQ(method == 0   ? fast.GetColorPocketsD()
                      : method == 1 ? fast.GetColorPocketsCG(&card, fastIndex)
                                    : fast.GetColorPocketsG(),
                      0);
            ASSERT_EQ(direct.GetColorPockets(), 0);  // builds the palette
            if (method == 2) {
                DirectGrowth(direct, histo, pixels);
            } else {
                direct.ClearAll();
                for (int i = 0; i < 256; ++i)
                    if (direct.palette[i].pixelNum > 0) AddPocket(direct, {i});
                if (method == 1) {
                    card.GetCardPalIndices(colours, 256, directIndex);
                    for (ccColorPocket* p : direct.pockets)
                        p->groupIndex = groupOf[static_cast<size_t>(directIndex[p->items[0]->palIndex])];
                    EXPECT_EQ(V(fastIndex, fastIndex + 256), V(directIndex, directIndex + 256)) << what;
                }
                DirectMerge(direct, method == 1);
            }
            EXPECT_EQ(Decided(fast), Decided(direct)) << what;
            // Groups may stop CG early; D and G reach their targets on photos.
            EXPECT_LE(fast.pockets.GetSize(), method == 2 ? 16 : method == 0 ? 6 : 256) << what;
        }
        hv::FreeHandle(dib8);
        if (photo.first == "autumn")
            GlobalFree(photo.second);
        else
            hv::FreeHandle(photo.second);
    }
}
