// The machine's load, clock and power on Windows: GetSystemTimes, GetProcessTimes,
// CallNtPowerInformation, GetSystemPowerStatus and the active power scheme.
#include <windows.h>
// After windows.h.
#include <powrprof.h>

#include <algorithm>
#include <vector>

#include "sysinfo/run_probes.h"

namespace vornmark {

namespace {

double seconds_of(const FILETIME& time) {
    const ULONGLONG units = (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<double>(units) * 1e-7;
}

// CallNtPowerInformation(ProcessorInformation) fills one of these per logical processor; the
// SDK's own definition is not in every set of headers.
struct ProcessorPowerInformation {
    ULONG number;
    ULONG max_mhz;
    ULONG current_mhz;
    ULONG mhz_limit;
    ULONG max_idle_state;
    ULONG current_idle_state;
};

std::string utf8_of(const wchar_t* text) {
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(bytes - 1));
    return out;
}

std::string active_power_scheme() {
    GUID* scheme = nullptr;
    if (::PowerGetActiveScheme(nullptr, &scheme) != ERROR_SUCCESS || scheme == nullptr) return {};
    std::string name;
    DWORD bytes = 0;
    if (::PowerReadFriendlyName(nullptr, scheme, nullptr, nullptr, nullptr, &bytes) == ERROR_SUCCESS &&
        bytes >= sizeof(wchar_t)) {
        std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
        if (::PowerReadFriendlyName(nullptr, scheme, nullptr, nullptr, reinterpret_cast<UCHAR*>(text.data()),
                                    &bytes) == ERROR_SUCCESS)
            name = utf8_of(text.data());
    }
    ::LocalFree(scheme);
    return name;
}

}  // namespace

std::optional<ProcessorTimes> read_processor_times() {
    FILETIME idle{}, kernel{}, user{};
    if (!::GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
    // Kernel time includes idle time. Windows does not report steal.
    ProcessorTimes times;
    times.total = seconds_of(kernel) + seconds_of(user);
    times.busy = times.total - seconds_of(idle);
    return times;
}

std::optional<double> read_own_processor_seconds() {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) return std::nullopt;
    return seconds_of(kernel) + seconds_of(user);
}

std::optional<double> read_processor_clock_mhz() {
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    const DWORD count = std::max<DWORD>(system.dwNumberOfProcessors, 1);
    std::vector<ProcessorPowerInformation> processors(count);
    const auto bytes = static_cast<ULONG>(processors.size() * sizeof(ProcessorPowerInformation));
    if (::CallNtPowerInformation(ProcessorInformation, nullptr, 0, processors.data(), bytes) != 0)
        return std::nullopt;
    ULONG fastest = 0;
    for (const ProcessorPowerInformation& processor : processors)
        fastest = std::max(fastest, processor.current_mhz);
    if (fastest == 0) return std::nullopt;
    return static_cast<double>(fastest);
}

PowerState read_power_state() {
    PowerState state;
    SYSTEM_POWER_STATUS status{};
    if (::GetSystemPowerStatus(&status)) {
        if (status.ACLineStatus == 0) state.on_battery = true;
        if (status.ACLineStatus == 1) state.on_battery = false;
    }
    state.policy = active_power_scheme();
    return state;
}

std::string_view power_policy_name() {
    return "power scheme";
}

}  // namespace vornmark
