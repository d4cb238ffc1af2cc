#include "server/rate_limiter.h"

namespace vornmark::server {

namespace {
constexpr auto window = std::chrono::minutes(1);
}

RateLimiter::RateLimiter(int per_minute)
    : per_minute_(per_minute > 0 ? static_cast<std::size_t>(per_minute) : 1) {}

bool RateLimiter::allow(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    // Addresses that went quiet are dropped once a minute, so the map cannot grow
    // with every client ever seen.
    if (now - last_sweep_ >= window) forget_idle(now);

    std::deque<Clock::time_point>& times = recent_[address];
    while (!times.empty() && now - times.front() >= window) times.pop_front();
    if (times.size() >= per_minute_) return false;
    times.push_back(now);
    return true;
}

std::size_t RateLimiter::tracked_addresses() const {
    std::lock_guard lock(mutex_);
    return recent_.size();
}

void RateLimiter::forget_idle(Clock::time_point now) {
    for (auto it = recent_.begin(); it != recent_.end();) {
        if (it->second.empty() || now - it->second.back() >= window) {
            it = recent_.erase(it);
        } else {
            ++it;
        }
    }
    last_sweep_ = now;
}

}  // namespace vornmark::server
