// Ordering a large colour card by distance from one of its samples (a card
// read from a file may hold any number of samples).
#include <benchmark/benchmark.h>

#include <vector>

#include "huevane/colorsystem.h"

namespace {

void BM_CardDistOrder(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    csColorSystem card;
    unsigned seed = 7;
    for (int i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        card.AddSample("s", static_cast<BYTE>(seed >> 8), static_cast<BYTE>(seed >> 16), static_cast<BYTE>(seed >> 24));
    }
    std::vector<int> out(static_cast<size_t>(n));
    for (auto _ : state) benchmark::DoNotOptimize(card.GetCardDistOrder(0, out.data(), n));
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace

BENCHMARK(BM_CardDistOrder)->Arg(4000)->Arg(40000)->Unit(benchmark::kMillisecond);
