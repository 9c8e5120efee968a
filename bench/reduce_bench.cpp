// Speed and fidelity of the 24-to-8-bit reduction on the large sample photos.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_images.h"
#include "dib/dib.h"
#include "dib/quantize_psnr.h"
#include "platform/memory.h"

namespace {

void BM_Reduce(benchmark::State& state, const std::string& name) {
    std::string error;
    void* dib = bench::ReadSample(name, &error);
    if (!dib) {
        state.SkipWithError(error.c_str());
        return;
    }
    int64_t pixels = 0;
    {
        ipDibStuff view(dib, false);
        pixels = int64_t(view.width()) * view.height();
    }
    void* last = nullptr;
    for (auto _ : state) {
        if (last) hv::FreeHandle(last);
        last = DecreaseBpp24to8(dib);
        benchmark::DoNotOptimize(last);
        if (!last) break;
    }
    if (!last) {
        bench::FreeImage(dib);
        state.SkipWithError("reduction failed");
        return;
    }
    state.SetItemsProcessed(state.iterations() * pixels);
    state.SetBytesProcessed(state.iterations() * pixels * 3);
    state.counters["MP/s"] = benchmark::Counter(double(pixels) * double(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
    state.counters["PSNR"] = hv::ImagePsnr(dib, last);
    hv::FreeHandle(last);
    bench::FreeImage(dib);
}

BENCHMARK_CAPTURE(BM_Reduce, autumn, std::string("autumn.jpg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Reduce, cups, std::string("cups.jpg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Reduce, water, std::string("water.jpg"))->Unit(benchmark::kMillisecond);

}  // namespace
