// Worker threads for the per-pixel passes. A pass splits its rows into
// contiguous parts whose results it combines in part order, so that the
// result does not depend on the number of threads.
#pragma once

#include <cstdint>
#include <functional>

namespace hv {

// Images below this many pixels are processed on the calling thread alone.
constexpr int64_t kThreadedPixels = int64_t(1) << 20;

// Threads for a pass over `pixels` pixels: 1 below kThreadedPixels;
// otherwise the count set by SetWorkerCount, else the environment variable
// HUEVANE_THREADS (1 turns threads off), else the number of cores; at most
// kMaxWorkers and never more than the rows to share.
constexpr int kMaxWorkers = 16;
int WorkersFor(int64_t pixels, int rows);

// Overrides the environment for this process (benchmarks, tests); 0 gives
// control back to HUEVANE_THREADS and the core count.
void SetWorkerCount(int n);

// Calls fn(part, begin, end) for `parts` contiguous ranges that cover
// [0, count) in order, part 0 on the calling thread and the others on their
// own threads; returns when all are done. An exception thrown by any part
// is rethrown here (the first by part order). With parts <= 1 it is a plain
// call fn(0, 0, count).
void RunParts(int parts, int count, const std::function<void(int, int, int)>& fn);

}  // namespace hv
