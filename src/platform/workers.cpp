#include "platform/workers.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <thread>
#include <vector>

namespace hv {
namespace {

std::atomic<int> g_override{0};

// HUEVANE_THREADS as a positive number, or 0 when unset or not a number.
int FromEnvironment() {
    const char* text = std::getenv("HUEVANE_THREADS");
    if (!text || !*text) return 0;
    char* end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (*end != '\0' || n < 1) return 0;
    return static_cast<int>(std::min<long>(n, kMaxWorkers));
}

}  // namespace

void SetWorkerCount(int n) { g_override = std::clamp(n, 0, kMaxWorkers); }

int WorkersFor(int64_t pixels, int rows) {
    if (pixels < kThreadedPixels || rows < 2) return 1;
    int n = g_override.load();
    if (n == 0) n = FromEnvironment();
    if (n == 0) n = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(n, 1, std::min(kMaxWorkers, rows));
}

void RunParts(int parts, int count, const std::function<void(int, int, int)>& fn) {
    if (parts <= 1 || count < 2) {
        fn(0, 0, count);
        return;
    }
    parts = std::min(parts, count);
    auto begin = [&](int p) { return static_cast<int>(int64_t(count) * p / parts); };
    std::vector<std::exception_ptr> errors(static_cast<size_t>(parts));
    std::vector<std::thread> threads;
    threads.reserve(static_cast<size_t>(parts - 1));
    auto run = [&](int p) {
        try {
            fn(p, begin(p), begin(p + 1));
        } catch (...) {
            errors[static_cast<size_t>(p)] = std::current_exception();
        }
    };
    int started = 1;
    try {
        for (; started < parts; ++started) threads.emplace_back(run, started);
    } catch (...) {
        // No thread to spare: the parts not started run here.
    }
    run(0);
    for (int p = started; p < parts; ++p) run(p);
    for (std::thread& t : threads) t.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

}  // namespace hv
