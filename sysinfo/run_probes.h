#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vornmark {

// What the machine is doing, read at the edges of a run and now and then during it, to tell what
// else took the processor and whether its clock held. Unlike the rest of sysinfo these are read
// many times; each read is one or a few small files or system calls. Linux reads below a root
// directory (the tests' recorded machines), Windows asks the system.

// The whole machine's processor time since boot, in processor-seconds (summed over all hardware
// threads).
struct ProcessorTimes {
    double total = 0.0;  // every state, steal included
    double busy = 0.0;   // running something, steal and idle (iowait included) left out
    double steal = 0.0;  // taken by the host of a virtual machine; 0 when has_steal is false
    bool has_steal = false;
};

// The aggregate "cpu" line of /proc/stat's text; `ticks_per_second` is the kernel's USER_HZ.
std::optional<ProcessorTimes> parse_processor_times(std::string_view proc_stat, double ticks_per_second);

std::optional<ProcessorTimes> read_processor_times();
// This process's own processor time, all threads, in seconds.
std::optional<double> read_own_processor_seconds();
// The processor's clock now, in MHz: the fastest hardware thread's (the busy ones run fastest;
// idle ones may report a parked clock). Nothing where the platform does not say.
std::optional<double> read_processor_clock_mhz();

struct PowerState {
    std::optional<bool> on_battery;  // nothing when the platform does not tell
    // Linux: the cpufreq governor of the first processor that has one; Windows: the active power
    // scheme's name. Empty when there is none.
    std::string policy;
};
PowerState read_power_state();
// The name the platform gives `PowerState::policy`: "governor" or "power scheme".
std::string_view power_policy_name();

// CPUID says a hypervisor runs this machine.
bool runs_under_hypervisor();

// Linux only, below `root` (the probes above use "/").
std::optional<ProcessorTimes> read_processor_times_at(const std::string& root);
std::optional<double> read_processor_clock_mhz_at(const std::string& root);
PowerState read_power_state_at(const std::string& root);

}  // namespace vornmark
