#include "server/store_workers.h"

namespace vornmark::server {

StoreWorkers::StoreWorkers(std::size_t threads) {
    for (std::size_t i = 0; i < (threads > 0 ? threads : 1); ++i) threads_.emplace_back([this] { work(); });
}

StoreWorkers::~StoreWorkers() {
    stop();
}

void StoreWorkers::post(Job job, bool urgent) {
    {
        std::lock_guard lock(mutex_);
        if (!stopping_) {
            if (urgent) {
                jobs_.push_front(std::move(job));
            } else {
                jobs_.push_back(std::move(job));
            }
            queued_.notify_one();
            return;
        }
    }
    job.drop();
}

void StoreWorkers::stop() {
    std::deque<Job> dropped;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        dropped.swap(jobs_);
        queued_.notify_all();
    }
    for (Job& job : dropped) job.drop();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

void StoreWorkers::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job.run();
    }
}

}  // namespace vornmark::server
