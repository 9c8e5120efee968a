// Speed of the extractions on the large sample photos, after their
// reduction to 256 colours: the default, G, D, CG (against the bundled
// colour card, its cache filled once) and Q.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_images.h"
#include "dib/dib.h"
#include "huevane/colorsystem.h"
#include "huevane/theme.h"
#include "platform/memory.h"

namespace {

enum Method { kDefault, kG, kD, kCG, kQ };

void BM_Extract(benchmark::State& state, const std::string& name, Method method) {
    std::string error;
    void* dib = bench::ReadSample(name, &error);
    if (!dib) {
        state.SkipWithError(error.c_str());
        return;
    }
    void* dib8 = DecreaseBpp24to8(dib);
    bench::FreeImage(dib);
    if (!dib8) {
        state.SkipWithError("reduction failed");
        return;
    }
    int histo[256];
    int used = 0;
    {
        ipDibStuff view(dib8, false);
        view.StatHisto(histo);
        for (int h : histo) used += h > 0;
    }
    csColorSystem card;
    card.LoadFromFile(HUEVANE_SAMPLES "/css-colours.txt");
    int cardIndex[256] = {-1};
    int result = 0, pockets = 0;
    for (auto _ : state) {
        ccColorPocketArray theme(0);
        theme.SetPalDib(dib8, false);
        switch (method) {
        case kDefault: result = theme.GetColorPockets(); break;
        case kG: result = theme.GetColorPocketsG(); break;
        case kD: result = theme.GetColorPocketsD(); break;
        case kCG: result = theme.GetColorPocketsCG(&card, cardIndex); break;
        case kQ: result = theme.GetColorPocketsQ(); break;
        }
        pockets = theme.pockets.GetSize();
        benchmark::DoNotOptimize(result);
    }
    if (result != 0) state.SkipWithError("extraction failed");
    state.counters["colours"] = used;
    state.counters["pockets"] = pockets;
    hv::FreeHandle(dib8);
}

#define HUEVANE_EXTRACT_ON_PHOTOS(label, method)                                                        \
    BENCHMARK_CAPTURE(BM_Extract, label##_autumn, std::string("autumn.jpg"), method)                   \
        ->Unit(benchmark::kMillisecond);                                                               \
    BENCHMARK_CAPTURE(BM_Extract, label##_cups, std::string("cups.jpg"), method)                       \
        ->Unit(benchmark::kMillisecond);                                                               \
    BENCHMARK_CAPTURE(BM_Extract, label##_water, std::string("water.jpg"), method)->Unit(benchmark::kMillisecond)

HUEVANE_EXTRACT_ON_PHOTOS(default, kDefault);
HUEVANE_EXTRACT_ON_PHOTOS(G, kG);
HUEVANE_EXTRACT_ON_PHOTOS(D, kD);
HUEVANE_EXTRACT_ON_PHOTOS(CG, kCG);
HUEVANE_EXTRACT_ON_PHOTOS(Q, kQ);

}  // namespace
