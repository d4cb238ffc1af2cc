#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace vornmark::server {

// Runs short tasks at given times on one thread of its own: the deadlines of requests
// that wait for the database, and the server's periodic sweeps.
class Timer {
public:
    using Clock = std::chrono::steady_clock;

    Timer();
    // stop().
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Names a task that has not run yet.
    using Task = std::pair<Clock::time_point, std::uint64_t>;

    // Runs `task` on the timer's thread at `when` (at once when it has passed). Tasks
    // must be quick; they may schedule further tasks.
    Task at(Clock::time_point when, std::function<void()> task);
    // The task will not run (if it has not yet); for deadlines that no longer matter.
    void cancel(const Task& task);

    // Ends the thread. Tasks still waiting are dropped, later ones ignored; whoever
    // scheduled them must answer for them some other way.
    void stop();

private:
    void loop();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<Task, std::function<void()>> tasks_;
    std::uint64_t scheduled_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace vornmark::server
