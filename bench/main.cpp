// The benchmark program. Besides the registered benchmarks it has two tool
// modes used by the comparison script:
//   huevane_bench --reduce IN OUT   reduce IN to 256 colours, write OUT, print
//                                   "seconds cpu-seconds psnr" of the reduction
//   huevane_bench --psnr A B        print the PSNR of B against A
//   huevane_bench --convert IN OUT [W H]
//                                   write IN as OUT (format by extension),
//                                   resampled to W x H when given
// and one option: --bmp-dir=DIR reads the samples as DIR/<name>.bmp.
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench_images.h"
#include "dib/dib.h"
#include "dib/quantize_psnr.h"
#include "platform/memory.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "huevane_bench: %s\n", message.c_str());
    return 2;
}

int ReduceTool(const std::string& in, const std::string& out) {
    std::string error;
    void* dib = bench::ReadImage(in, &error);
    if (!dib) return Fail(error);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    void* dib8 = DecreaseBpp24to8(dib);
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!dib8) {
        bench::FreeImage(dib);
        return Fail("cannot reduce " + in + " (not a 24-bit image?)");
    }
    const double psnr = hv::ImagePsnr(dib, dib8);
    const bool written = bench::WriteImage(dib8, out, &error);
    hv::FreeHandle(dib8);
    bench::FreeImage(dib);
    if (!written) return Fail(error);
    std::printf("%.4f %.4f %.3f\n", seconds, cpu, psnr);
    return 0;
}

int PsnrTool(const std::string& a, const std::string& b) {
    std::string error;
    void* da = bench::ReadImage(a, &error);
    if (!da) return Fail(error);
    void* db = bench::ReadImage(b, &error);
    if (!db) {
        bench::FreeImage(da);
        return Fail(error);
    }
    const double psnr = hv::ImagePsnr(da, db);
    bench::FreeImage(da);
    bench::FreeImage(db);
    if (psnr < 0) return Fail("images differ in size or are not 8-bit palette or 24-bit");
    std::printf("%.3f\n", psnr);
    return 0;
}

int ConvertTool(const std::string& in, const std::string& out, int w, int h) {
    std::string error;
    void* dib = bench::ReadImage(in, &error);
    if (!dib) return Fail(error);
    void* resized = w > 0 && h > 0 ? bench::Resample(dib, w, h) : nullptr;
    if (w > 0 && !resized) {
        bench::FreeImage(dib);
        return Fail(in + " is not a 24-bit image");
    }
    const bool written = bench::WriteImage(resized ? resized : dib, out, &error);
    if (resized) hv::FreeHandle(resized);
    bench::FreeImage(dib);
    return written ? 0 : Fail(error);
}

}  // namespace

int main(int argc, char** argv) {
    // One thread unless asked otherwise, so that CPU times compare across
    // machines; benchmarks that time threads set their own count.
#ifdef _WIN32
    if (!std::getenv("HUEVANE_THREADS")) _putenv_s("HUEVANE_THREADS", "1");
#else
    setenv("HUEVANE_THREADS", "1", 0);
#endif
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--bmp-dir=", 10) == 0)
            bench::g_bmpDir = argv[i] + 10;
        else
            rest.push_back(argv[i]);
    }
    if (rest.size() == 4 && std::strcmp(rest[1], "--reduce") == 0) return ReduceTool(rest[2], rest[3]);
    if (rest.size() == 4 && std::strcmp(rest[1], "--psnr") == 0) return PsnrTool(rest[2], rest[3]);
    if ((rest.size() == 4 || rest.size() == 6) && std::strcmp(rest[1], "--convert") == 0)
        return ConvertTool(rest[2], rest[3], rest.size() == 6 ? std::atoi(rest[4]) : 0,
                           rest.size() == 6 ? std::atoi(rest[5]) : 0);
    int n = static_cast<int>(rest.size());
    rest.push_back(nullptr);
    benchmark::Initialize(&n, rest.data());
    if (benchmark::ReportUnrecognizedArguments(n, rest.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
