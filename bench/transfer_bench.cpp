// Speed of style application on the large sample photos: the whole road of
// AdjustImageStyle, the true-DIB pass alone, and the colour-difference
// matching of 16 pockets against 16.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_images.h"
#include "dib/dib.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#include "transfer/matching.h"

namespace {

int64_t PixelsOf(void* dib) {
    ipDibStuff view(dib, false);
    return int64_t(view.width()) * view.height();
}

void SetRate(benchmark::State& state, int64_t pixels) {
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["MP/s"] =
        benchmark::Counter(double(pixels) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// The style buffer of a sample.
std::vector<char> StyleBuffer(void* dib) {
    std::vector<char> out(size_t(std::max(0, GenStyle(dib))));
    if (!out.empty()) FetchStyle(out.data());
    return out;
}

// Registers a benchmark on three target-and-style pairs of the large photos.
#define HUEVANE_ON_PHOTO_PAIRS(fn)                                                                        \
    BENCHMARK_CAPTURE(fn, autumn_like_cups, std::string("autumn.jpg"), std::string("cups.jpg"))       \
        ->Unit(benchmark::kMillisecond);                                                             \
    BENCHMARK_CAPTURE(fn, cups_like_water, std::string("cups.jpg"), std::string("water.jpg"))         \
        ->Unit(benchmark::kMillisecond);                                                             \
    BENCHMARK_CAPTURE(fn, water_like_autumn, std::string("water.jpg"), std::string("autumn.jpg"))     \
        ->Unit(benchmark::kMillisecond)

// A target and a style photo read for one benchmark, released at its end.
struct PhotoPair {
    PhotoPair(benchmark::State& state, const std::string& target, const std::string& styleName) {
        std::string error;
        image = bench::ReadSample(target, &error);
        style = image ? bench::ReadSample(styleName, &error) : nullptr;
        if (!ok()) state.SkipWithError(error.c_str());
    }
    ~PhotoPair() {
        if (style) bench::FreeImage(style);
        if (image) bench::FreeImage(image);
    }
    PhotoPair(const PhotoPair&) = delete;
    PhotoPair& operator=(const PhotoPair&) = delete;
    bool ok() const { return image && style; }
    void* image = nullptr;
    void* style = nullptr;
};

// Copies the pixels of src into dst (same size and depth).
void Reset(void* dst, void* src) {
    ipDibStuff d(dst, false), s(src, false);
    d.Restore(s);
}

void BM_AdjustImageStyle(benchmark::State& state, const std::string& target, const std::string& style) {
    PhotoPair photos(state, target, style);
    if (!photos.ok()) return;
    void* image = photos.image;
    void* styleImage = photos.style;
    std::vector<char> buffer = StyleBuffer(styleImage);
    void* pristine = nullptr;
    {
        ipDibStuff view(image, false);
        pristine = view.CopyToHandle();
    }
    int result = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Reset(image, pristine);
        state.ResumeTiming();
        result = AdjustImageStyle(image, buffer.data(), nullptr);
        benchmark::DoNotOptimize(result);
    }
    if (result != 0) state.SkipWithError("AdjustImageStyle failed");
    SetRate(state, PixelsOf(image));
    hv::FreeHandle(pristine);
}

HUEVANE_ON_PHOTO_PAIRS(BM_AdjustImageStyle);

void BM_TrueDibPass(benchmark::State& state, const std::string& target, const std::string& style) {
    PhotoPair photos(state, target, style);
    if (!photos.ok()) return;
    void* image = photos.image;
    void* styleImage = photos.style;
    std::vector<char> buffer = StyleBuffer(styleImage);
    {
        ccColorPocketArray t(0), s(0);
        t.SetTrueDib(image);
        t.SetPalDib(DecreaseBpp24to8(image), true);
        t.GetColorPockets();
        s.LoadFromBuf(buffer.data());
        t.GetDstPockets(&s, true, 2);
        t.ApplyFinalTransToTrueDib();  // makes the backup copy once
        int result = 0;
        for (auto _ : state) {
            result = t.ApplyFinalTransToTrueDib();
            benchmark::DoNotOptimize(result);
        }
        if (result != 0) state.SkipWithError("true-DIB pass failed");
        state.counters["pockets"] = t.pockets.GetSize();
    }
    SetRate(state, PixelsOf(image));
}

HUEVANE_ON_PHOTO_PAIRS(BM_TrueDibPass);

// A theme of exactly 16 pockets over an image's 8-bit form: its palette
// colours in hue order, cut into 16 runs of 16.
void SixteenPockets(ccColorPocketArray& t, void* image) {
    void* dib8 = DecreaseBpp24to8(image);
    t.SetPalDib(dib8, true);
    int histo[256];
    ipDibStuff view(dib8, false);
    view.StatHisto(histo);
    const int64_t total = std::max<int64_t>(1, int64_t(view.width()) * view.height());
    t.InitPalette(256);
    for (int i = 0; i < 256; ++i)
        t.SetPalEntryBYTE(i, view.colors[i].rgbRed, view.colors[i].rgbGreen, view.colors[i].rgbBlue, histo[i],
                          static_cast<int>(std::min<int64_t>(total, INT32_MAX)));
    int order[256];
    t.SortPalOnHue(order);
    t.ClearAll();
    for (int k = 0; k < 16; ++k) {
        auto* p = new ccColorPocket;
        for (int j = 0; j < 16; ++j) p->AddColorItemAny(&t.palette[order[16 * k + j]]);
        p->GetAveHSL();
        p->percentage = static_cast<float>(double(p->pixelNum) / double(total));
        p->index = t.pockets.Add(p);
    }
}

void BM_ColorDiffMatching16(benchmark::State& state, const std::string& target, const std::string& style) {
    PhotoPair photos(state, target, style);
    if (!photos.ok()) return;
    void* image = photos.image;
    void* styleImage = photos.style;
    {
        ccColorPocketArray t(0), s(0);
        SixteenPockets(t, image);
        SixteenPockets(s, styleImage);
        int result = 0;
        for (auto _ : state) {
            result = t.GetDstPockets(&s, true, 4);
            benchmark::DoNotOptimize(result);
        }
        if (result != 0 || t.pockets.GetSize() != 16 || s.pockets.GetSize() != 16)
            state.SkipWithError("method 4 did not run on 16 pockets");
    }
}

BENCHMARK_CAPTURE(BM_ColorDiffMatching16, autumn_like_cups, std::string("autumn.jpg"), std::string("cups.jpg"))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ColorDiffMatching16, water_like_autumn, std::string("water.jpg"), std::string("autumn.jpg"))
    ->Unit(benchmark::kMillisecond);

// The exact search alone on random 16 x 16 problems (7 positions, 16 style
// pockets): a harder case than photos, whose costs differ widely.
void BM_ColorDiffSearchRandom(benchmark::State& state) {
    std::mt19937 rng(static_cast<unsigned>(state.range(0)));
    std::uniform_int_distribution<int> dist(0, 195075), count(0, 100000);
    hv::ColorDiffProblem pr;
    pr.k = 7;
    pr.nB = 16;
    for (int i = 0; i < 16; ++i)
        for (int j = i + 1; j < 16; ++j) {
            pr.da[i][j] = pr.da[j][i] = dist(rng);
            pr.db[i][j] = pr.db[j][i] = dist(rng);
            pr.n[i][j] = pr.n[j][i] = count(rng);
        }
    int best[hv::kMaxColorDiffPositions];
    for (auto _ : state) {
        hv::ColorDiffSearch(pr, best);
        benchmark::DoNotOptimize(best);
    }
}

BENCHMARK(BM_ColorDiffSearchRandom)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
