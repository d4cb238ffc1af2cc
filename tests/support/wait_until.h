#pragma once

#include <chrono>
#include <thread>

namespace vornmark {

// The tests' one way to wait for something another thread or process does: polls until pred()
// holds or a generous deadline passes, and returns pred()'s last value. Never a measure of speed.
template <class Predicate>
bool wait_until(Predicate pred, std::chrono::milliseconds deadline = std::chrono::seconds(120)) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace vornmark
