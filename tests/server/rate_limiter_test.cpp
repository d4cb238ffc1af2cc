#include "server/rate_limiter.h"

#include <gtest/gtest.h>

namespace vornmark::server {

using namespace std::chrono_literals;

TEST(RateLimiter, RefusesBeyondTheLimitWithinAMinute) {
    RateLimiter limiter(3);
    const auto t0 = RateLimiter::Clock::time_point{} + 1h;
    EXPECT_TRUE(limiter.allow("10.0.0.1", t0));
    EXPECT_TRUE(limiter.allow("10.0.0.1", t0 + 1s));
    EXPECT_TRUE(limiter.allow("10.0.0.1", t0 + 2s));
    EXPECT_FALSE(limiter.allow("10.0.0.1", t0 + 3s));
    EXPECT_FALSE(limiter.allow("10.0.0.1", t0 + 59s));
    // Other addresses have their own count.
    EXPECT_TRUE(limiter.allow("10.0.0.2", t0 + 3s));
}

TEST(RateLimiter, TheWindowSlides) {
    RateLimiter limiter(2);
    const auto t0 = RateLimiter::Clock::time_point{} + 1h;
    EXPECT_TRUE(limiter.allow("a", t0));
    EXPECT_TRUE(limiter.allow("a", t0 + 30s));
    EXPECT_FALSE(limiter.allow("a", t0 + 45s));
    // The first event leaves the window; refused ones never counted.
    EXPECT_TRUE(limiter.allow("a", t0 + 60s));
    EXPECT_FALSE(limiter.allow("a", t0 + 61s));
    EXPECT_TRUE(limiter.allow("a", t0 + 90s));
}

TEST(RateLimiter, ForgetsQuietAddresses) {
    RateLimiter limiter(5);
    const auto t0 = RateLimiter::Clock::time_point{} + 1h;
    for (int i = 0; i < 50; ++i) limiter.allow("host" + std::to_string(i), t0);
    EXPECT_EQ(limiter.tracked_addresses(), 50u);
    limiter.allow("late", t0 + 2min);
    EXPECT_EQ(limiter.tracked_addresses(), 1u);
}

}  // namespace vornmark::server
