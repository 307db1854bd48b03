#include "app/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace velkor {
namespace {

TEST(Threads, StartReturnsAtOnceAndWaitIdleSeesTheEnd) {
    ASSERT_TRUE(wait_idle(5000));
    std::atomic<bool> release{false};
    std::atomic<int> done{0};
    for (int i = 0; i < 5; ++i) {
        start_thread("blocked", [&] {
            while (!release)
                std::this_thread::yield();
            ++done;
        });
    }
    // The starter was not held up by the blocked workers.
    EXPECT_EQ(running_workers(), 5);
    EXPECT_FALSE(wait_idle(50));
    release = true;
    EXPECT_TRUE(wait_idle(5000));
    EXPECT_EQ(done.load(), 5);
    EXPECT_EQ(running_workers(), 0);
}

TEST(Threads, AThrowingWorkerIsReportedByNameCountedDownAndFreesWhatItHeld) {
    auto held = std::make_shared<int>(7);
    std::weak_ptr<int> watch = held;
    ::testing::internal::CaptureStderr();
    start_thread("role scan", [held = std::move(held)] { throw std::runtime_error("bad answer"); });
    ASSERT_TRUE(wait_idle(5000));
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_TRUE(watch.expired());
    EXPECT_NE(err.find("worker role scan ended by an exception: bad answer"), std::string::npos)
        << err;
}

}  // namespace
}  // namespace velkor
