#pragma once

#include <cstdint>

namespace vornmark::app {

// Processor time as the platform counts it, for WindowCpuClock. One file per platform:
// cpu_time_linux.cpp, cpu_time_windows.cpp.

// Seconds of processor time the whole process has used, every thread together.
double process_cpu_seconds();

// A thread's processor-time clock: opened on the thread itself, read from any thread while
// that thread lives, closed before it ends.
struct ThreadCpuClock {
    std::intptr_t id = 0;
};
ThreadCpuClock open_this_thread_cpu_clock();
double thread_cpu_seconds(ThreadCpuClock clock);
void close_thread_cpu_clock(ThreadCpuClock clock);

}  // namespace vornmark::app
