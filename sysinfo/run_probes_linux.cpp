#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "sysinfo/run_probes.h"
#include "sysinfo/system_files.h"

namespace vornmark {

std::optional<ProcessorTimes> read_processor_times_at(const std::string& root) {
    // The aggregate line comes first; the rest of the file can be long on a large machine.
    const std::string line = read_first_line(path_under(root, "proc/stat"));
    return parse_processor_times(line, static_cast<double>(sysconf(_SC_CLK_TCK)));
}

std::optional<double> read_processor_clock_mhz_at(const std::string& root) {
    std::optional<double> fastest;
    for (const auto& [number, path] : numbered_entries(path_under(root, "sys/devices/system/cpu"), "cpu")) {
        const std::optional<std::uint64_t> khz =
            parse_unsigned(read_first_line(path + "/cpufreq/scaling_cur_freq"));
        if (khz && *khz > 0) fastest = std::max(fastest.value_or(0.0), static_cast<double>(*khz) / 1000.0);
    }
    return fastest;
}

PowerState read_power_state_at(const std::string& root) {
    PowerState state;
    // Mains online means mains; a system battery discharging without it means battery. Batteries of
    // devices (a wireless mouse: scope "Device") say nothing about this machine.
    bool mains_online = false, battery = false, discharging = false;
    std::error_code error;
    std::filesystem::directory_iterator it(path_under(root, "sys/class/power_supply"), error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string path = it->path().string();
        if (read_first_line(path + "/scope") == "Device") continue;
        const std::string type = read_first_line(path + "/type");
        if (type == "Mains") {
            mains_online = mains_online || read_first_line(path + "/online") == "1";
        } else if (type == "Battery") {
            battery = true;
            discharging = discharging || read_first_line(path + "/status") == "Discharging";
        }
    }
    if (mains_online)
        state.on_battery = false;
    else if (discharging)
        state.on_battery = true;
    else if (battery)
        state.on_battery = false;  // charging, full or not charging: on an adapter
    for (const auto& [number, path] : numbered_entries(path_under(root, "sys/devices/system/cpu"), "cpu")) {
        std::string governor = read_first_line(path + "/cpufreq/scaling_governor");
        if (!governor.empty()) {
            state.policy = std::move(governor);
            break;
        }
    }
    return state;
}

std::optional<ProcessorTimes> read_processor_times() {
    return read_processor_times_at("/");
}

std::optional<double> read_processor_clock_mhz() {
    return read_processor_clock_mhz_at("/");
}

PowerState read_power_state() {
    return read_power_state_at("/");
}

std::string_view power_policy_name() {
    return "governor";
}

std::optional<double> read_own_processor_seconds() {
    timespec now{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now) != 0) return std::nullopt;
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace vornmark
