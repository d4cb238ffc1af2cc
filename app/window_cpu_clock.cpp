#include "app/window_cpu_clock.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "app/cpu_time.h"
#include "engine/worker_pool.h"

namespace vornmark::app {

namespace {

// The workers alive now and the time of those that have ended.
struct Workers {
    std::mutex mutex;
    std::vector<ThreadCpuClock> live;
    double ended_seconds = 0.0;
};

Workers& workers() {
    static Workers all;
    return all;
}

thread_local ThreadCpuClock this_worker;

void worker_started() {
    this_worker = open_this_thread_cpu_clock();
    Workers& all = workers();
    const std::lock_guard lock(all.mutex);
    all.live.push_back(this_worker);
}

void worker_ending() {
    Workers& all = workers();
    const std::lock_guard lock(all.mutex);
    all.ended_seconds += thread_cpu_seconds(this_worker);
    std::erase_if(all.live, [](ThreadCpuClock clock) { return clock.id == this_worker.id; });
    close_thread_cpu_clock(this_worker);
}

}  // namespace

WindowCpuClock::WindowCpuClock() {
    WorkerPool::set_thread_observer({worker_started, worker_ending});
}

WindowCpuClock::~WindowCpuClock() {
    WorkerPool::set_thread_observer({});
}

double WindowCpuClock::seconds() const {
    Workers& all = workers();
    const std::lock_guard lock(all.mutex);
    double worker_seconds = all.ended_seconds;
    for (ThreadCpuClock clock : all.live) worker_seconds += thread_cpu_seconds(clock);
    return process_cpu_seconds() - worker_seconds;
}

}  // namespace vornmark::app
