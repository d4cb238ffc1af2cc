#pragma once

#include <chrono>
#include <thread>

// Polls until pred() holds or a generous deadline passes; returns pred()'s last value.
template <class Predicate>
bool wait_until(Predicate pred, std::chrono::seconds deadline = std::chrono::seconds(120)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
