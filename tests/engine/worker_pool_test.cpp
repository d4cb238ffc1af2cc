#include "engine/worker_pool.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "tests/support/wait_until.h"

namespace vornmark {

namespace {

// Lets a test hold jobs inside their run until it opens the gate.
struct Gate {
    std::atomic<bool> open{false};
    void wait() const {
        wait_until([this] { return open.load(); });
    }
};

}  // namespace

TEST(WorkerPool, PoolWithoutJobsIsIdleAtOnceAndStillTakesJobsAfterwards) {
    WorkerPool pool(2);
    pool.wait_idle();
    pool.wait_idle();
    std::atomic<int> ran{0};
    pool.enqueue([&ran] { ++ran; });
    pool.wait_idle();
    EXPECT_EQ(ran.load(), 1);
}

TEST(WorkerPool, OneWorkerRunsJobsOneAfterAnotherInQueueOrder) {
    WorkerPool pool(1);
    std::vector<int> order;
    std::atomic<int> inside{0};
    std::atomic<bool> overlapped{false};
    for (int i = 0; i < 100; ++i) {
        pool.enqueue([&order, &inside, &overlapped, i] {
            if (inside.fetch_add(1) != 0) overlapped = true;
            order.push_back(i);
            inside.fetch_sub(1);
        });
    }
    pool.wait_idle();
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(WorkerPool, SeveralWorkersStartJobsInQueueOrder) {
    WorkerPool pool(3);
    Gate gate;
    std::array<std::atomic<bool>, 6> started{};
    std::atomic<int> started_count{0};
    for (std::size_t i = 0; i < started.size(); ++i) {
        pool.enqueue([&, i] {
            started[i] = true;
            ++started_count;
            gate.wait();
        });
    }
    ASSERT_TRUE(wait_until([&] { return started_count.load() == 3; }));
    // Every worker is held inside a job, so the first three queued are the ones running.
    EXPECT_TRUE(started[0] && started[1] && started[2]);
    EXPECT_FALSE(started[3] || started[4] || started[5]);
    gate.open = true;
    pool.wait_idle();
    EXPECT_EQ(started_count.load(), 6);
}

TEST(WorkerPool, WaitIdleWaitsForTheRunningJob) {
    WorkerPool pool(2);
    bool finished = false;  // plain: wait_idle must order the write before our read
    pool.enqueue([&finished] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        finished = true;
    });
    pool.wait_idle();
    EXPECT_TRUE(finished);
}

TEST(WorkerPool, DestructionRunsEveryQueuedJobFirst) {
    for (std::int32_t workers : {1, 3}) {
        std::atomic<int> ran{0};
        {
            WorkerPool pool(workers);
            Gate gate;
            for (std::int32_t i = 0; i < workers; ++i) pool.enqueue([&gate] { gate.wait(); });
            for (int i = 0; i < 50; ++i) pool.enqueue([&ran] { ++ran; });
            gate.open = true;
        }
        EXPECT_EQ(ran.load(), 50) << workers << " workers";
    }
}

TEST(WorkerPool, ThreadCountBelowOneStillRunsJobs) {
    for (std::int32_t count : {0, -4}) {
        WorkerPool pool(count);
        std::atomic<int> ran{0};
        pool.enqueue([&ran] { ++ran; });
        pool.wait_idle();
        EXPECT_EQ(ran.load(), 1);
    }
}

namespace observed {
std::atomic<int> started_on_worker{0};
std::atomic<int> ended_on_worker{0};
void started() {
    started_on_worker += WorkerPool::current_worker() >= 0;
}
void ending() {
    ended_on_worker += WorkerPool::current_worker() >= 0;
}
}  // namespace observed

TEST(WorkerPool, ThreadObserverSeesEachWorkerStartAndEndOnThatWorker) {
    WorkerPool::set_thread_observer({observed::started, observed::ending});
    {
        WorkerPool pool(3);
        pool.enqueue([] {});
        pool.wait_idle();
    }
    WorkerPool::set_thread_observer({});
    EXPECT_EQ(observed::started_on_worker.load(), 3);
    EXPECT_EQ(observed::ended_on_worker.load(), 3);
}

TEST(PoolJob, MovesOwnershipAndDestroysCapturesOnce) {
    auto shared = std::make_shared<int>(7);
    {
        PoolJob job([owned = std::make_unique<int>(3), shared] { *shared += *owned; });
        EXPECT_EQ(shared.use_count(), 2);
        PoolJob moved(std::move(job));
        EXPECT_FALSE(static_cast<bool>(job));
        PoolJob assigned;
        assigned = std::move(moved);
        EXPECT_EQ(shared.use_count(), 2);
        assigned();
        EXPECT_EQ(*shared, 10);
    }
    EXPECT_EQ(shared.use_count(), 1);
}

}  // namespace vornmark
