#pragma once

#include <chrono>
#include <cstdint>

namespace vornmark {

// The monotonic clock that times every run (BenchmarkEngine::start_time is in its nanoseconds),
// for everything that measures against it or paces itself by it.
inline std::int64_t steady_now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double steady_now_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace vornmark
