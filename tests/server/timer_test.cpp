#include "server/timer.h"

#include <atomic>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/wait_until.h"

namespace vornmark::server {

TEST(Timer, RunsTasksInTheirOrderAndNotOnesCancelledOrLeftAtTheStop) {
    Timer timer;
    std::mutex mutex;
    std::vector<int> ran;
    auto record = [&](int n) {
        return [&, n] {
            std::lock_guard lock(mutex);
            ran.push_back(n);
        };
    };
    const auto now = Timer::Clock::now();
    // The cancelled task is due well after the cancel and well before the last one.
    const Timer::Task cancelled = timer.at(now + std::chrono::seconds(1), record(99));
    timer.at(now + std::chrono::milliseconds(1200), record(3));
    timer.at(now + std::chrono::milliseconds(20), record(2));
    timer.at(now, record(1));
    timer.cancel(cancelled);
    timer.at(now + std::chrono::hours(1), record(100));
    EXPECT_TRUE(wait_until([&] {
        std::lock_guard lock(mutex);
        return ran.size() == 3;
    }));
    timer.stop();
    timer.at(now, record(101));
    std::lock_guard lock(mutex);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace vornmark::server
