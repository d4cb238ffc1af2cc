#include "cli/run_summary.h"

#include <gtest/gtest.h>

namespace vornmark::cli {

namespace {

RunConditions judged(double others, std::optional<double> clock_start, std::optional<double> clock_mean) {
    RunConditions c;
    c.threads = c.hardware_threads = 4;
    c.others_percent = others;
    c.steal_percent = 0.0;
    c.clock_start_mhz = clock_start;
    c.clock_mean_mhz = c.clock_min_mhz = clock_mean;
    judge_conditions(c);
    return c;
}

}  // namespace

TEST(RunSummary, RelativeStandardDeviationOverThreePercentWarnsWithTheLikelyCause) {
    const ScoreSummary steady = summarize_scores("single", {1000, 1010, 990});
    EXPECT_NEAR(steady.rsd_percent, 1.0, 1e-9);
    EXPECT_EQ(spread_warning(steady, {}), "");

    const ScoreSummary spread = summarize_scores("multi", {1000, 1100, 900});
    EXPECT_NEAR(spread.rsd_percent, 10.0, 1e-9);
    struct Case {
        const char* what;
        std::vector<NumberedRun> runs;
        const char* cause;
    };
    const Case cases[] = {
        {"the busiest busy run",
         {{1, judged(0.5, {}, {})}, {2, judged(4.0, {}, {})}, {3, judged(11.0, 3400.0, 2000.0)}},
         "other programs used 11 % during run 3"},
        {"else the most throttled run",
         {{1, judged(0.0, 3400.0, 3000.0)}, {2, judged(0.0, 3400.0, 2720.0)}, {3, std::nullopt}},
         "the clock fell to 80 % of its start during run 2"},
        {"else none",
         {{1, judged(0.0, {}, {})}, {2, std::nullopt}},
         "the runs' conditions show no cause (no other programs, steal or clock drop over the limits)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(spread_warning(spread, c.runs),
                  std::string("Warning: the multi scores vary by 10.0% (RSD, over 3%): ") + c.cause)
            << c.what;
}

}  // namespace vornmark::cli
