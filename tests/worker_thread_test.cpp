#include "measure/worker_thread.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace cyclara {
namespace {

TEST(WorkerThreadTest, JoinIsBoundedAndReleasesTheThreadOnceItEnded) {
    std::mutex mutex;
    std::condition_variable changed;
    bool release = false;
    bool ran = false;
    WorkerThread thread;
    EXPECT_FALSE(thread.Exists());
    EXPECT_TRUE(thread.Join(std::chrono::milliseconds(0))) << "no thread: nothing to wait for";
    ASSERT_TRUE(thread.Start([&] {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return release; });
        ran = true;
    }));
    EXPECT_TRUE(thread.Exists());
    EXPECT_FALSE(thread.Join(std::chrono::milliseconds(20)));
    EXPECT_TRUE(thread.Exists()) << "a thread still running is kept";
    {
        std::lock_guard lock(mutex);
        release = true;
    }
    changed.notify_all();
    EXPECT_TRUE(thread.Join(std::chrono::seconds(10)));
    EXPECT_FALSE(thread.Exists());
    EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace cyclara
