#include "measure/worker_thread.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <thread>

namespace {

// Seconds by which CLOCK_REALTIME reads behind while a test runs: as if the wall clock were
// stepped forward by that much between a deadline's reading and the wait on it.
std::atomic<time_t> g_wallClockBehind{0};

}  // namespace

// This program's clock_gettime: the real one, with the wall clock shifted as a test asks.
extern "C" int clock_gettime(clockid_t clock, timespec* now) {
    using ClockGetTime = int (*)(clockid_t, timespec*);
    static const auto real = reinterpret_cast<ClockGetTime>(dlsym(RTLD_NEXT, "clock_gettime"));
    const int result = real(clock, now);
    if (result == 0 && clock == CLOCK_REALTIME) {
        now->tv_sec -= g_wallClockBehind.load();
    }
    return result;
}

namespace cyclara {
namespace {

// A worker that ends after 100 ms is joined within the bound, and one that does not is given
// up on after the bound, whichever way the wall clock was stepped.
TEST(WorkerThreadTest, AWallClockStepNeitherEndsNorStretchesTheWait) {
    const struct {
        time_t step;
        bool ends;
    } cases[] = {{3600, true}, {-3600, false}};
    for (const auto& c : cases) {
        std::atomic<bool> release{false};
        WorkerThread thread;
        ASSERT_TRUE(thread.Start([&] {
            while (!release) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }));
        std::thread releaser([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            release = c.ends;
        });
        g_wallClockBehind = c.step;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(thread.Join(std::chrono::milliseconds(c.ends ? 5000 : 300)), c.ends) << c.step;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.step;
        g_wallClockBehind = 0;
        releaser.join();
        release = true;
        thread.Join(std::chrono::seconds(5));
    }
}

}  // namespace
}  // namespace cyclara
