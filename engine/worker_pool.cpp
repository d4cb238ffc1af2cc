#include "engine/worker_pool.h"

#include <algorithm>
#include <utility>

namespace vornmark {

namespace {

thread_local std::int32_t this_worker = -1;

std::atomic<void (*)()> observe_start{nullptr};
std::atomic<void (*)()> observe_end{nullptr};

// Tells the observer of the end on every way out of a worker.
struct ObservedWorker {
    ObservedWorker() {
        if (auto started = observe_start.load()) started();
    }
    ~ObservedWorker() {
        if (auto ending = observe_end.load()) ending();
    }
};

}  // namespace

WorkerPool::WorkerPool(std::int32_t thread_count) {
    // A pool without workers would never run its jobs, so it gets at least one.
    const std::int32_t count = std::max<std::int32_t>(thread_count, 1);
    workers.reserve(static_cast<std::size_t>(count));
    try {
        for (std::int32_t i = 0; i < count; ++i)
            workers.emplace_back([this, i](std::stop_token stop) { worker_loop(std::move(stop), i); });
    } catch (...) {
        // A stop request alone does not wake a waiting worker: shut down properly.
        shut_down();
        throw;
    }
}

WorkerPool::~WorkerPool() {
    shut_down();
}

void WorkerPool::enqueue(Job job) {
    {
        std::lock_guard lock(pool_mutex);
        jobs.push_back(std::move(job));
    }
    job_available.notify_one();
}

void WorkerPool::wait_idle() {
    std::unique_lock lock(pool_mutex);
    while (!jobs.empty() || active_jobs != 0) idle.wait(lock);
}

std::int32_t WorkerPool::current_worker() {
    return this_worker;
}

void WorkerPool::set_thread_observer(ThreadObserver observer) {
    observe_start = observer.started;
    observe_end = observer.ending;
}

void WorkerPool::worker_loop(std::stop_token stop, std::int32_t number) {
    this_worker = number;
    const ObservedWorker observed;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(pool_mutex);
            while (!stopping && !stop.stop_requested() && jobs.empty()) job_available.wait(lock);
            if ((stopping || stop.stop_requested()) && jobs.empty()) return;
            job = std::move(jobs.front());
            jobs.pop_front();
            ++active_jobs;
        }

        job();

        // Only the job that leaves the pool idle wakes the owner. Waking it after every job would
        // make it compete with the workers for the processors, and under Wine each wake-up goes
        // through the Wine server and switches the worker out: the run would then measure that.
        bool now_idle = false;
        {
            std::lock_guard lock(pool_mutex);
            --active_jobs;
            now_idle = active_jobs == 0 && jobs.empty();
        }
        if (now_idle) idle.notify_all();
        job.reset();
    }
}

void WorkerPool::shut_down() noexcept {
    {
        std::lock_guard lock(pool_mutex);
        stopping = true;
    }
    job_available.notify_all();
    for (std::jthread& worker : workers) worker.request_stop();
    for (std::jthread& worker : workers) {
        if (worker.joinable()) worker.join();
    }
    workers.clear();
    jobs.clear();
}

}  // namespace vornmark
