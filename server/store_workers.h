#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vornmark::server {

// A few threads that make the store's calls, so that the threads serving connections
// never wait for the database.
class StoreWorkers {
public:
    struct Job {
        std::function<void()> run;   // on a worker
        std::function<void()> drop;  // instead of run, when the workers stop first
    };

    explicit StoreWorkers(std::size_t threads);
    // stop().
    ~StoreWorkers();
    StoreWorkers(const StoreWorkers&) = delete;
    StoreWorkers& operator=(const StoreWorkers&) = delete;

    // Queues the job; urgent ones go before the others. After stop() it is dropped at once.
    void post(Job job, bool urgent = false);

    // Drops every job not yet started, waits for the running ones (interrupt the store
    // first, so that they end soon) and joins the threads.
    void stop();

private:
    void work();

    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Job> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace vornmark::server
