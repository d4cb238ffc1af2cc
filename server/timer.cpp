#include "server/timer.h"

namespace vornmark::server {

Timer::Timer() : thread_([this] { loop(); }) {}

Timer::~Timer() {
    stop();
}

Timer::Task Timer::at(Clock::time_point when, std::function<void()> task) {
    std::lock_guard lock(mutex_);
    const Task name{when, ++scheduled_};
    if (stopping_) return name;
    // The thread sleeps until the earliest task; only a new earliest one needs to wake it.
    const bool earliest = tasks_.empty() || name < tasks_.begin()->first;
    tasks_.emplace(name, std::move(task));
    if (earliest) changed_.notify_one();
    return name;
}

void Timer::cancel(const Task& task) {
    std::lock_guard lock(mutex_);
    tasks_.erase(task);
}

void Timer::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_one();
    }
    if (thread_.joinable()) thread_.join();
}

void Timer::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (stopping_) {
            tasks_.clear();
            return;
        }
        if (tasks_.empty()) {
            changed_.wait(lock);
            continue;
        }
        auto first = tasks_.begin();
        if (first->first.first > Clock::now()) {
            changed_.wait_until(lock, first->first.first);
            continue;
        }
        std::function<void()> task = std::move(first->second);
        tasks_.erase(first);
        lock.unlock();
        task();
        lock.lock();
    }
}

}  // namespace vornmark::server
