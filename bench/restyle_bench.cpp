// The re-colouring the Python module runs (python/ops.cpp), called from C++
// on DIBs: the base line for the module's overhead, which
// bench/python_restyle.py measures on the same pixels.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench_images.h"
#include "dib/dib.h"
#include "platform/memory.h"
#include "python/ops.h"

namespace {

void BM_RestyleCpp(benchmark::State& state, const std::string& targetName, const std::string& styleName) {
    std::string error;
    void* image = bench::ReadSample(targetName, &error);
    void* style = image ? bench::ReadSample(styleName, &error) : nullptr;
    if (!image || !style) {
        state.SkipWithError(error.c_str());
        if (image) bench::FreeImage(image);
        return;
    }
    void* pristine = nullptr;
    {
        ipDibStuff view(image, false);
        pristine = view.CopyToHandle();
    }
    hvpy::StyleSource source;
    source.image = style;
    const std::vector<hvpy::Polygon> keep;
    for (auto _ : state) {
        state.PauseTiming();
        {
            ipDibStuff dst(image, false), src(pristine, false);
            dst.Restore(src);
        }
        state.ResumeTiming();
        hvpy::Restyle(image, source, 2, nullptr, keep);
    }
    ipDibStuff view(image, false);
    state.counters["MP/s"] = benchmark::Counter(double(view.width()) * view.height() * double(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
    hv::FreeHandle(pristine);
    bench::FreeImage(style);
    bench::FreeImage(image);
}

BENCHMARK_CAPTURE(BM_RestyleCpp, autumn_like_cups, std::string("autumn.jpg"), std::string("cups.jpg"))
    ->Unit(benchmark::kMillisecond);

}  // namespace
