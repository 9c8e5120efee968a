// Fixed cost and throughput of the main calls on photo sizes a host meets:
// the seven sample photos resampled to 768 x 512, and one photo resampled to
// 4000 x 3000 (12 MP). Also the region fill on a polygon of many vertices.
//
// Counters: MP/s, the mean PSNR over the small photos, and the peak memory a
// call takes beyond what the process held before it, in bytes per pixel.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_images.h"
#include "dib/dib.h"
#include "dib/quantize_psnr.h"
#include "huevane/huevane.h"
#include "huevane/theme.h"
#include "platform/memory.h"
#include "platform/workers.h"
#include "transfer/regionfill.h"

namespace {

const char* const kPhotos[] = {"astronaut.png", "autumn.jpg", "chelsea.png", "coffee.png",
                               "cups.jpg",      "rocket.jpg", "water.jpg"};

// A sample photo resampled to w x h (a new handle, released with hv::FreeHandle).
void* Photo(const std::string& name, int w, int h, benchmark::State& state) {
    std::string error;
    void* dib = bench::ReadSample(name, &error);
    if (!dib) {
        state.SkipWithError(error.c_str());
        return nullptr;
    }
    void* out = bench::Resample(dib, w, h);
    bench::FreeImage(dib);
    if (!out) state.SkipWithError("not a 24-bit photo");
    return out;
}

int64_t PixelsOf(void* dib) {
    ipDibStuff view(dib, false);
    return int64_t(view.width()) * view.height();
}

// Peak resident memory of a call beyond what the process held before it:
// the kernel's high-water mark is reset first.
long ResidentKb(const char* field) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0) kb = std::atol(line + n);
    std::fclose(f);
    return kb;
}

// Large blocks are mapped and unmapped on their own, so that what a call
// frees leaves the resident set at once.
void ExactResidentSet() {
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
}

// Measured in a child process, so that the allocator settings it needs do
// not slow the timed calls (each large block mapped anew costs page faults,
// and unmapping it while workers run costs every core a TLB flush).
template <typename F>
double PeakBytesPerPixel(F call, int64_t pixels) {
    int fd[2];
    if (pipe(fd) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
        ExactResidentSet();
        malloc_trim(0);  // what earlier calls freed leaves the resident set
        if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        const long before = ResidentKb("VmRSS:");
        call();
        const long peak = ResidentKb("VmHWM:");
        const double perPixel = before < 0 || peak < 0 ? -1 : double(peak - before) * 1024.0 / double(pixels);
        const ssize_t written = write(fd[1], &perPixel, sizeof perPixel);
        _exit(written == sizeof perPixel ? 0 : 1);
    }
    close(fd[1]);
    double perPixel = -1;
    if (child < 0 || read(fd[0], &perPixel, sizeof perPixel) != sizeof perPixel) perPixel = -1;
    close(fd[0]);
    if (child > 0) waitpid(child, nullptr, 0);
    return perPixel;
}

void SetRate(benchmark::State& state, int64_t pixels) {
    state.counters["MP/s"] = benchmark::Counter(double(pixels) * double(state.iterations()) / 1e6,
                                                benchmark::Counter::kIsRate);
}

// The worker count for one benchmark, restored at its end.
struct Workers {
    explicit Workers(int n) { hv::SetWorkerCount(n); }
    ~Workers() { hv::SetWorkerCount(0); }
};

// ---------------------------------------------------------------------------
// DecreaseBpp24to8

void BM_Reduce768(benchmark::State& state, const std::string& name) {
    Workers workers(1);
    void* dib = Photo(name, 768, 512, state);
    if (!dib) return;
    void* last = nullptr;
    for (auto _ : state) {
        if (last) hv::FreeHandle(last);
        last = DecreaseBpp24to8(dib);
        benchmark::DoNotOptimize(last);
    }
    state.counters["PSNR"] = last ? hv::ImagePsnr(dib, last) : 0;
    SetRate(state, PixelsOf(dib));
    if (last) hv::FreeHandle(last);
    hv::FreeHandle(dib);
}

#define HUEVANE_ON_SMALL_PHOTOS(fn)                                                              \
    BENCHMARK_CAPTURE(fn, astronaut, std::string("astronaut.png"))->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(fn, autumn, std::string("autumn.jpg"))->Unit(benchmark::kMillisecond);       \
    BENCHMARK_CAPTURE(fn, chelsea, std::string("chelsea.png"))->Unit(benchmark::kMillisecond);     \
    BENCHMARK_CAPTURE(fn, coffee, std::string("coffee.png"))->Unit(benchmark::kMillisecond);       \
    BENCHMARK_CAPTURE(fn, cups, std::string("cups.jpg"))->Unit(benchmark::kMillisecond);           \
    BENCHMARK_CAPTURE(fn, rocket, std::string("rocket.jpg"))->Unit(benchmark::kMillisecond);       \
    BENCHMARK_CAPTURE(fn, water, std::string("water.jpg"))->Unit(benchmark::kMillisecond)

HUEVANE_ON_SMALL_PHOTOS(BM_Reduce768);

// All seven small photos per iteration: the time per photo and the mean PSNR.
void BM_Reduce768Set(benchmark::State& state) {
    Workers workers(1);
    std::vector<void*> photos;
    for (const char* name : kPhotos) {
        void* dib = Photo(name, 768, 512, state);
        if (!dib) break;
        photos.push_back(dib);
    }
    double psnr = 0;
    for (auto _ : state) {
        psnr = 0;
        for (void* dib : photos) {
            void* dib8 = DecreaseBpp24to8(dib);
            benchmark::DoNotOptimize(dib8);
            state.PauseTiming();
            psnr += hv::ImagePsnr(dib, dib8);
            hv::FreeHandle(dib8);
            state.ResumeTiming();
        }
    }
    const double n = double(photos.size());
    state.counters["PSNR_mean"] = psnr / n;
    state.counters["ms_per_photo"] =
        benchmark::Counter(n * double(state.iterations()) / 1e3, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    for (void* dib : photos) hv::FreeHandle(dib);
}
BENCHMARK(BM_Reduce768Set)->Unit(benchmark::kMillisecond);

void BM_Reduce12MP(benchmark::State& state) {
    Workers workers(int(state.range(0)));
    void* dib = Photo("autumn.jpg", 4000, 3000, state);
    if (!dib) return;
    const int64_t pixels = PixelsOf(dib);
    for (auto _ : state) {
        void* dib8 = DecreaseBpp24to8(dib);
        benchmark::DoNotOptimize(dib8);
        hv::FreeHandle(dib8);
    }
    SetRate(state, pixels);
    state.counters["PSNR"] = [&] {
        void* dib8 = DecreaseBpp24to8(dib);
        const double p = hv::ImagePsnr(dib, dib8);
        hv::FreeHandle(dib8);
        return p;
    }();
    hv::FreeHandle(dib);
}
BENCHMARK(BM_Reduce12MP)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------------------
// GenStyle and AdjustImageStyle

void BM_GenStyle768(benchmark::State& state, const std::string& name) {
    Workers workers(1);
    void* dib = Photo(name, 768, 512, state);
    if (!dib) return;
    int length = 0;
    for (auto _ : state) {
        length = GenStyle(dib);
        benchmark::DoNotOptimize(length);
    }
    if (length <= 0) state.SkipWithError("GenStyle failed");
    SetRate(state, PixelsOf(dib));
    hv::FreeHandle(dib);
}
BENCHMARK_CAPTURE(BM_GenStyle768, autumn, std::string("autumn.jpg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GenStyle768, cups, std::string("cups.jpg"))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GenStyle768, coffee, std::string("coffee.png"))->Unit(benchmark::kMillisecond);

// Style of cups.jpg applied to a 12 MP autumn.jpg, the style buffer made
// beforehand; the image is restored outside the timing.
void BM_AdjustImageStyle12MP(benchmark::State& state) {
    Workers workers(int(state.range(0)));
    void* image = Photo("autumn.jpg", 4000, 3000, state);
    void* styleImage = image ? Photo("cups.jpg", 768, 512, state) : nullptr;
    if (!styleImage) {
        if (image) hv::FreeHandle(image);
        return;
    }
    std::vector<char> style(size_t(GenStyle(styleImage)));
    FetchStyle(style.data());
    void* pristine = nullptr;
    {
        ipDibStuff view(image, false);
        pristine = view.CopyToHandle();
    }
    auto reset = [&] {
        ipDibStuff d(image, false), s(pristine, false);
        d.Restore(s);
    };
    const int64_t pixels = PixelsOf(image);
    int result = 0;
    for (auto _ : state) {
        state.PauseTiming();
        reset();
        state.ResumeTiming();
        result = AdjustImageStyle(image, style.data(), nullptr);
        benchmark::DoNotOptimize(result);
    }
    if (result != 0) state.SkipWithError("AdjustImageStyle failed");
    SetRate(state, pixels);
    reset();
    state.counters["peak_B/px"] = PeakBytesPerPixel([&] { AdjustImageStyle(image, style.data(), nullptr); }, pixels);
    hv::FreeHandle(pristine);
    hv::FreeHandle(styleImage);
    hv::FreeHandle(image);
}
BENCHMARK(BM_AdjustImageStyle12MP)->ArgName("threads")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// ---------------------------------------------------------------------------
// Region fill: a zigzag of 40,000 vertices between the top and the bottom
// row of a 1000 x 300 image, so that every edge crosses every row.
void BM_RegionFill40k(benchmark::State& state) {
    constexpr int kVertices = 40000, kW = 1000, kH = 300;
    std::vector<int32_t> xs(kVertices), ys(kVertices);
    for (int i = 0; i < kVertices; ++i) {
        xs[size_t(i)] = int32_t((int64_t(i) * 7919) % kW);
        ys[size_t(i)] = i % 2 ? kH - 1 : 0;
    }
    RegionPolygon polygon{kVertices, xs.data(), ys.data()};
    int64_t filled = 0;
    for (auto _ : state) {
        hv::RegionFill fill;
        fill.Build(&polygon, 1);
        filled = 0;
        fill.ForEachSpan(kW, kH, [&](int, int xa, int xb) { filled += xb - xa + 1; });
        benchmark::DoNotOptimize(filled);
    }
    state.counters["filled_px"] = double(filled);
}
BENCHMARK(BM_RegionFill40k)->Unit(benchmark::kMillisecond);

}  // namespace
