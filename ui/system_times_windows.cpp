#include <windows.h>

#include "ui/cpu_monitor.h"

namespace vornmark {

namespace {

std::uint64_t ticks(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// Kernel time includes idle time, as SystemTimes expects.
bool read_system_times(SystemTimes& out) {
    FILETIME idle{}, kernel{}, user{};
    if (!::GetSystemTimes(&idle, &kernel, &user)) return false;
    out.idle = ticks(idle);
    out.kernel = ticks(kernel);
    out.user = ticks(user);
    return true;
}

}  // namespace vornmark
