#include "server/timer.h"

Timer::Timer() : thread_([this] { loop(); }) {}

Timer::~Timer() {
    stop();
}

void Timer::at(Clock::time_point when, std::function<void()> task) {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    tasks_.emplace(when, std::move(task));
    changed_.notify_one();
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
        if (first->first > Clock::now()) {
            changed_.wait_until(lock, first->first);
            continue;
        }
        std::function<void()> task = std::move(first->second);
        tasks_.erase(first);
        lock.unlock();
        task();
        lock.lock();
    }
}
