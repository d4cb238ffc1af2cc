#include "sysinfo/run_probes.h"

#include <unistd.h>

#include <gtest/gtest.h>

namespace vornmark {

namespace {

const std::string data_dir = VORNMARK_TEST_DATA_DIR;

}  // namespace

TEST(ProcessorTimes, AggregateLineGivesBusyStealAndTotalInSeconds) {
    // user nice system idle iowait irq softirq steal ...
    const auto with_steal = parse_processor_times("cpu  100 20 30 400 50 6 4 90 7 0\ncpu0 1 2 3 4\n", 100.0);
    ASSERT_TRUE(with_steal);
    EXPECT_DOUBLE_EQ(with_steal->busy, 1.6);  // user + nice + system + irq + softirq; guest is inside user
    EXPECT_DOUBLE_EQ(with_steal->steal, 0.9);
    EXPECT_DOUBLE_EQ(with_steal->total, 7.0);
    EXPECT_TRUE(with_steal->has_steal);

    const auto old_kernel = parse_processor_times("cpu 100 20 30 400 50 6 4", 100.0);
    ASSERT_TRUE(old_kernel);
    EXPECT_FALSE(old_kernel->has_steal);
    EXPECT_DOUBLE_EQ(old_kernel->total, 6.1);

    for (const char* bad :
         {"", "cpu0 1 2 3 4 5 6 7", "cpu  1 2 3", "cpu  1 2 x 4 5 6 7", "intr 1 2 3 4 5 6 7"})
        EXPECT_FALSE(parse_processor_times(bad, 100.0)) << bad;
}

TEST(RunProbes, RecordedMachinesGiveLoadClockAndPowerOrNotAvailable) {
    const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
    struct Case {
        const char* machine;
        std::optional<double> steal_seconds;  // nothing: no /proc/stat
        std::optional<double> clock_mhz;
        std::optional<bool> on_battery;
        const char* governor;
    };
    const Case cases[] = {
        // The fastest thread's clock (2.89 GHz), not the parked 400 MHz; the mouse's battery, which
        // charges, says nothing about the laptop's.
        {"laptop_on_battery", 0.0, 2893.512, true, "powersave"},
        // Recorded on this project's virtual machine: steal, and no cpufreq or power supply.
        {"vm_without_cpufreq", 3599 / hz, std::nullopt, std::nullopt, ""},
        // A desktop: a clock but no governor file and no power supply.
        {"amd_ryzen_5700g", std::nullopt, 1400.0, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const std::string root = data_dir + "/" + c.machine;
        const auto times = read_processor_times_at(root);
        EXPECT_EQ(times.has_value(), c.steal_seconds.has_value()) << c.machine;
        if (times && c.steal_seconds) {
            EXPECT_DOUBLE_EQ(times->steal, *c.steal_seconds) << c.machine;
        }
        EXPECT_EQ(read_processor_clock_mhz_at(root), c.clock_mhz) << c.machine;
        const PowerState power = read_power_state_at(root);
        EXPECT_EQ(power.on_battery, c.on_battery) << c.machine;
        EXPECT_EQ(power.policy, c.governor) << c.machine;
    }
}

TEST(RunProbes, ThisMachineAndProcessAnswer) {
    const auto times = read_processor_times();
    ASSERT_TRUE(times);
    EXPECT_GT(times->total, times->busy);
    const auto own = read_own_processor_seconds();
    ASSERT_TRUE(own);
    EXPECT_GT(*own, 0.0);
}

}  // namespace vornmark
