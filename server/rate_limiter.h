#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace vornmark::server {

// Allows at most `per_minute` events per client address in any sliding minute.
// Safe to call from several threads.
class RateLimiter {
public:
    using Clock = std::chrono::steady_clock;

    explicit RateLimiter(int per_minute);
    RateLimiter(const RateLimiter&) = delete;
    RateLimiter& operator=(const RateLimiter&) = delete;

    // Counts one event for the address and says whether it is within the limit.
    // Refused events are not counted.
    bool allow(const std::string& address, Clock::time_point now = Clock::now());

    // Addresses currently remembered (for tests of the clean-up).
    std::size_t tracked_addresses() const;

private:
    void forget_idle(Clock::time_point now);

    const std::size_t per_minute_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::deque<Clock::time_point>> recent_;
    Clock::time_point last_sweep_{};
};

}  // namespace vornmark::server
