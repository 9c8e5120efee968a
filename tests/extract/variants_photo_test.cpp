// G, D and CG on real photos against direct implementations of their loops:
// every pair rescanned and the neighbour counts summed over every item pair
// before each merge, and the growth order by the exchange sort of the
// palette.
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

// One pocket per palette item with pixels, in index order.
void OnePerColour(ccColorPocketArray& t) {
    t.ClearAll();
    for (int i = 0; i < 256; ++i)
        if (t.palette[i].pixelNum > 0) AddPocket(t, {i});
}

// The merging loop of D (cg false) and CG (cg true) as stated.
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
            const tagRGBQUAD c = t.palette[near[k]].rgb;
            if (std::abs(c.rgbRed - p->aveRGB.rgbRed) + std::abs(c.rgbGreen - p->aveRGB.rgbGreen) +
                    std::abs(c.rgbBlue - p->aveRGB.rgbBlue) >
                30)
                break;
            if (used[near[k]]) continue;
            p->AddColorItemAny(&t.palette[near[k]]);
            used[near[k]] = true;
        }
    }
    if (t.pockets.GetSize() > 16)
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

struct Sample {
    std::string name;
    void* dib;     // 24 bits, released by the test
    bool library;  // made by the library (LoadDIB), else by GlobalAlloc
};

std::vector<Sample> Photos() {
    std::vector<Sample> v;
    v.push_back({"coffee 120 x 80", xt::Photo(), true});
    v.push_back({"coffee 160 x 107", reinterpret_cast<void*>(LoadDIB(HUEVANE_TEST_DATA "/coffee_small.bmp")), true});
#ifdef HUEVANE_CLI_BINARY
    // A large photo with the full 256 palette colours in use.
    std::string error;
    v.push_back({"autumn", hvio::ReadImage(std::string(HUEVANE_SAMPLES) + "/autumn.jpg", &error), false});
#endif
    return v;
}

}  // namespace

TEST(ExtractVariantsPhoto, FastMergingAndGrowthMatchTheDirectLoops) {
    csColorSystem card;
    ASSERT_EQ(card.LoadFromFile(HUEVANE_SAMPLES "/css-colours.txt"), 0);
    ASSERT_GT(card.samples.GetSize(), 20);
    // Groups that leave some samples out and list some twice.
    card.groups.assign(5, {});
    for (int s = 0; s < card.samples.GetSize(); ++s)
        if (s % 6 != 5) card.groups[static_cast<size_t>(s * 7 % 5)].push_back(s);
    card.groups[1].push_back(3);

    for (const Sample& photo : Photos()) {
        ASSERT_NE(photo.dib, nullptr) << photo.name;
        const long live = hv::LiveHandles();
        void* dib8 = DecreaseBpp24to8(photo.dib);
        int histo[256];
        ASSERT_EQ(ipDibStuff(dib8, false).StatHisto(histo), 0);
        int used = 0;
        for (int h : histo) used += h > 0;
        EXPECT_GT(used, 200) << photo.name;
        float pixels = 0;
        tagRGBQUAD colours[256];
        {
            ipDibStuff view(dib8, false);
            pixels = static_cast<float>(static_cast<long long>(view.width()) * view.height());
            std::copy(view.colors, view.colors + 256, colours);
        }

        for (int method = 0; method < 3; ++method) {
            const char* what[] = {"D", "CG", "G"};
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
                OnePerColour(direct);
                if (method == 1) {
                    std::vector<int> groupOf(static_cast<size_t>(card.samples.GetSize()), -1);
                    for (size_t g = 0; g < card.groups.size(); ++g)
                        for (int s : card.groups[g]) groupOf[static_cast<size_t>(s)] = static_cast<int>(g);
                    card.GetCardPalIndices(colours, 256, directIndex);
                    for (ccColorPocket* p : direct.pockets)
                        p->groupIndex = groupOf[static_cast<size_t>(directIndex[p->items[0]->palIndex])];
                    EXPECT_EQ(std::vector<int>(fastIndex, fastIndex + 256),
                              std::vector<int>(directIndex, directIndex + 256));
                }
                DirectMerge(direct, method == 1);
            }
            EXPECT_EQ(Decided(fast), Decided(direct)) << photo.name << " " << what[method];
            // Groups may stop CG early; D and G reach their targets on photos.
            if (method != 1) {
                EXPECT_LE(fast.pockets.GetSize(), method == 2 ? 16 : 6) << photo.name << " " << what[method];
            }
        }
        hv::FreeHandle(dib8);
        EXPECT_EQ(hv::LiveHandles(), live);
        if (photo.library)
            hv::FreeHandle(photo.dib);
        else
            GlobalFree(photo.dib);
    }
}
