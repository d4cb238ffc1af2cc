#include <gtest/gtest.h>

#include "sysinfo/run_probes.h"

namespace vornmark {

// Under Wine the clock is a constant and there is no battery or power scheme to speak of, so only
// what every Windows answers is asserted: times that add up, and no steal.
TEST(RunProbesWindows, SystemAndProcessTimesAnswerWithoutSteal) {
    const auto times = read_processor_times();
    ASSERT_TRUE(times);
    EXPECT_GT(times->total, 0.0);
    EXPECT_GE(times->total, times->busy);
    EXPECT_FALSE(times->has_steal);
    const auto own = read_own_processor_seconds();
    ASSERT_TRUE(own);
    EXPECT_GE(*own, 0.0);
    if (const auto clock = read_processor_clock_mhz()) EXPECT_GT(*clock, 0.0);
    (void)read_power_state();
    EXPECT_EQ(power_policy_name(), "power scheme");
}

}  // namespace vornmark
