#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "engine/pool_job.h"

namespace vornmark {

// Fixed set of worker threads taking jobs from one FIFO queue. Only the owning
// thread calls its operations; jobs must not throw.
class WorkerPool {
public:
    using Job = PoolJob;

    // Starts max(thread_count, 1) workers. If one cannot be created, the workers
    // started so far are shut down and joined, then std::system_error propagates.
    explicit WorkerPool(std::int32_t thread_count);

    // Runs every job still queued, then stops and joins the workers.
    ~WorkerPool();

    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    WorkerPool(WorkerPool&&) = delete;
    WorkerPool& operator=(WorkerPool&&) = delete;

    void enqueue(Job job);

    // Blocks until the queue is empty and no job is running.
    void wait_idle();

    // Inside a job: the running worker's number, 0 to count - 1, in the order the
    // workers were started. Outside any pool's worker: -1.
    static std::int32_t current_worker();

    // Called on each worker of every pool as it starts and just before it ends, for a program
    // that accounts the workers' processor time apart from its own. Process-wide; either may be
    // null. Set it while no pool exists.
    struct ThreadObserver {
        void (*started)() = nullptr;
        void (*ending)() = nullptr;
    };
    static void set_thread_observer(ThreadObserver observer);

private:
    void worker_loop(std::stop_token stop, std::int32_t number);
    void shut_down() noexcept;

    std::vector<std::jthread> workers;
    std::deque<Job> jobs;
    std::mutex pool_mutex;
    std::condition_variable job_available;
    std::condition_variable idle;
    std::atomic<bool> stopping{false};
    std::atomic<std::int32_t> active_jobs{0};
};

}  // namespace vornmark
