#include <windows.h>

#include "app/cpu_time.h"

namespace vornmark::app {

namespace {

double seconds_of(const FILETIME& kernel, const FILETIME& user) {
    const auto ticks = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns units
}

}  // namespace

double process_cpu_seconds() {
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0.0;
    return seconds_of(kernel, user);
}

ThreadCpuClock open_this_thread_cpu_clock() {
    // GetCurrentThread is a pseudo handle that means "the caller": a real one for other threads.
    HANDLE thread = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(), &thread,
                           THREAD_QUERY_LIMITED_INFORMATION, FALSE, 0))
        return {};
    return {reinterpret_cast<std::intptr_t>(thread)};
}

double thread_cpu_seconds(ThreadCpuClock clock) {
    FILETIME created, exited, kernel, user;
    if (clock.id == 0 ||
        !::GetThreadTimes(reinterpret_cast<HANDLE>(clock.id), &created, &exited, &kernel, &user))
        return 0.0;
    return seconds_of(kernel, user);
}

void close_thread_cpu_clock(ThreadCpuClock clock) {
    if (clock.id != 0) ::CloseHandle(reinterpret_cast<HANDLE>(clock.id));
}

}  // namespace vornmark::app
