#include <pthread.h>
#include <time.h>

#include "app/cpu_time.h"

namespace vornmark::app {

namespace {

double seconds_of(clockid_t clock) {
    timespec now{};
    if (clock_gettime(clock, &now) != 0) return 0.0;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace

double process_cpu_seconds() {
    return seconds_of(CLOCK_PROCESS_CPUTIME_ID);
}

ThreadCpuClock open_this_thread_cpu_clock() {
    clockid_t clock{};
    if (pthread_getcpuclockid(pthread_self(), &clock) != 0) return {};
    return {static_cast<std::intptr_t>(clock)};
}

double thread_cpu_seconds(ThreadCpuClock clock) {
    return clock.id == 0 ? 0.0 : seconds_of(static_cast<clockid_t>(clock.id));
}

void close_thread_cpu_clock(ThreadCpuClock) {}

}  // namespace vornmark::app
