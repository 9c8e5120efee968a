// Worker threads: how many a pass gets, and how RunParts shares the rows.
#include "platform/workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {
// Sets HUEVANE_THREADS, or removes it for null.
void SetThreads(const char* text) {
#ifdef _WIN32
    _putenv_s("HUEVANE_THREADS", text ? text : "");
#else
    text ? setenv("HUEVANE_THREADS", text, 1) : unsetenv("HUEVANE_THREADS");
#endif
}
}  // namespace

TEST(Workers, CountFromSizeOverrideAndEnvironment) {
    const int64_t big = hv::kThreadedPixels;
    SetThreads("3");
    EXPECT_EQ(hv::WorkersFor(big - 1, 1000), 1);  // small images stay on one thread
    EXPECT_EQ(hv::WorkersFor(big, 1000), 3);
    EXPECT_EQ(hv::WorkersFor(big, 2), 2);  // never more than the rows
    EXPECT_EQ(hv::WorkersFor(big, 1), 1);
    hv::SetWorkerCount(2);  // the override wins over the environment
    EXPECT_EQ(hv::WorkersFor(big, 1000), 2);
    hv::SetWorkerCount(0);
    EXPECT_EQ(hv::WorkersFor(big, 1000), 3);
    SetThreads("1");
    EXPECT_EQ(hv::WorkersFor(big * 100, 100000), 1);
    SetThreads("999");
    EXPECT_EQ(hv::WorkersFor(big, 100000), hv::kMaxWorkers);
    for (const char* text :
         {"0", "-2", "two", "4x", ""}) {  // not a count: the cores decide, within the limits
        SetThreads(text);
        const int n = hv::WorkersFor(big, 100000);
        EXPECT_TRUE(n >= 1 && n <= hv::kMaxWorkers) << text;
    }
    SetThreads(nullptr);
}

TEST(Workers, PartsCoverTheRangeInOrderAndPassErrorsOn) {
    for (int parts : {1, 2, 3, 7})
        for (int count : {0, 1, 2, 5, 100}) {
            std::mutex lock;
            std::vector<std::vector<int>> seen;  // part, begin, end
            hv::RunParts(parts, count, [&](int part, int begin, int end) {
                std::lock_guard<std::mutex> hold(lock);
                seen.push_back({part, begin, end});
            });
            std::sort(seen.begin(), seen.end());
            ASSERT_FALSE(seen.empty());
            EXPECT_LE(int(seen.size()), std::max(1, std::min(parts, count)));
            int next = 0;
            for (size_t i = 0; i < seen.size(); ++i) {
                EXPECT_EQ((std::vector<int>{seen[i][0], seen[i][1]}), (std::vector<int>{int(i), next}));
                EXPECT_GT(seen[i][2], seen[i][1] - (count == 0 ? 1 : 0));  // no empty part
                next = seen[i][2];
            }
            EXPECT_EQ(next, count);
        }
    // The first failing part's exception reaches the caller after all ended.
    std::atomic<int> finished{0};
    try {
        hv::RunParts(3, 30, [&](int part, int, int) {
            ++finished;
            if (part >= 1) throw std::runtime_error(part == 1 ? "one" : "two");
        });
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "one");
    }
    EXPECT_EQ(finished.load(), 3);
}
