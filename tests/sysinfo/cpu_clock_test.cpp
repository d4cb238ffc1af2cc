#include "sysinfo/cpu_clock.h"

#include <gtest/gtest.h>

#include "sysinfo/system_info.h"

namespace vornmark {

namespace {

const std::string data_dir = VORNMARK_TEST_DATA_DIR;

}  // namespace

// One machine per vendor and frequency driver, and which source gives the "Freq" row there.
TEST(BaseClock, EachMachineTakesTheFirstSourceThatKnowsTheBaseClock) {
    struct Case {
        const char* machine;
        double ghz;
        ClockSource source;
    };
    const Case cases[] = {
        // intel_pstate's base_frequency 2.3 GHz, not the 4.6 GHz maximum or the 0.8 GHz of the moment.
        {"intel_i7_11800h", 2.3, ClockSource::Nominal},
        // acpi-cpufreq on a Xeon: no nominal frequency; the name's "@ 2.10GHz", not the 3.7 GHz maximum.
        {"intel_xeon_6130_acpi", 2.1, ClockSource::ProcessorName},
        // amd-pstate's nominal 4.5 GHz, not the 5.881 GHz boost clock in cpuinfo_max_freq.
        {"amd_ryzen_7950x_pstate", 4.5, ClockSource::Nominal},
        // acpi-cpufreq with ACPI CPPC: its nominal 2450 MHz, not the 3.529 GHz maximum.
        {"amd_epyc_7763_cppc", 2.45, ClockSource::Nominal},
        // acpi-cpufreq alone and no clock in the name: only the maximum is left.
        {"amd_ryzen_5700g", 3.8, ClockSource::MaximumClock},
        // No cpufreq at all (a virtual machine): the clock of the moment.
        {"vm_without_cpufreq", 2.596142, ClockSource::CurrentClock},
        {"no-such-machine", 0.0, ClockSource::None},
    };
    for (const Case& c : cases) {
        const std::string root = data_dir + "/" + c.machine;
        const BaseClock clock = read_base_clock(root, probe_system_info_at(root).cpu_name);
        EXPECT_DOUBLE_EQ(clock.ghz, c.ghz) << c.machine;
        EXPECT_EQ(clock.source, c.source) << c.machine;
        EXPECT_DOUBLE_EQ(probe_system_info_at(root).clock_ghz, c.ghz) << c.machine;
    }
}

TEST(ClockInProcessorName, ReadsTheNumberAfterTheAtSign) {
    const std::pair<const char*, double> cases[] = {
        {"Intel(R) Xeon(R) Gold 6130 CPU @ 2.10GHz", 2.1},
        {"Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz", 3.0},
        {"Intel(R) Atom(TM) CPU @ 800MHz", 0.8},
        {"Some CPU @3.6 ghz", 3.6},
        {"AMD Ryzen 7 5700G with Radeon Graphics", 0.0},
        {"CPU @ fast", 0.0},
        {"CPU @ 2.10GHz turbo", 0.0},
        {"CPU @ -1GHz", 0.0},
        {"", 0.0},
    };
    for (const auto& [name, ghz] : cases) EXPECT_DOUBLE_EQ(clock_in_processor_name(name), ghz) << name;
}

}  // namespace vornmark
