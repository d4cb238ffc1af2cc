#pragma once

#include <string>
#include <string_view>

namespace vornmark {

// Where the "Freq" row's base clock came from, in the order the sources are tried.
enum class ClockSource {
    Nominal,        // the kernel's nominal frequency: cpufreq's base_frequency (intel_pstate) or
                    // amd_pstate_nominal_freq (amd-pstate), else ACPI CPPC's nominal_freq
    ProcessorName,  // the "@ 2.30GHz" at the end of many processor names
    MaximumClock,   // cpufreq's cpuinfo_max_freq: often the boost clock, not the base clock
    CurrentClock,   // the first "cpu MHz" of proc/cpuinfo: the clock of that moment
    None,           // nothing found: 0.0
};

struct BaseClock {
    double ghz = 0.0;
    ClockSource source = ClockSource::None;
};

// The processor's base clock from the files under `root` (cpu0's cpufreq policy) and its name.
BaseClock read_base_clock(const std::string& root, std::string_view cpu_name);

// The clock named in a processor name ("... CPU @ 2.30GHz", "@ 800MHz"), in GHz; 0.0 when there is none.
double clock_in_processor_name(std::string_view cpu_name);

}  // namespace vornmark
