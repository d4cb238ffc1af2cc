#pragma once

#include "net/leaderboard_client.h"

#include <chrono>
#include <functional>
#include <thread>

// Polls until the condition holds or a generous deadline passes; returns whether it held.
inline bool wait_for(const std::function<bool()>& condition,
                     std::chrono::seconds deadline = std::chrono::seconds(60)) {
    const auto give_up = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Every request started so far has ended.
inline bool wait_until_idle(const LeaderboardClient& client) {
    return wait_for([&client] { return client.pending_request_count() == 0; });
}
