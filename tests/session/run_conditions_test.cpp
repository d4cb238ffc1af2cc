#include "session/run_conditions.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "session/conditions_sampler.h"
#include "session/run_controller.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"

namespace vornmark {

TEST(JudgeConditions, VerdictReasonsAndNotesFollowTheFigures) {
    struct Case {
        const char* what;
        std::int32_t threads, hardware_threads;
        double others;
        std::optional<double> steal, clock_start, clock_mean;
        bool battery, vm;
        ConditionsVerdict verdict;
        const char* summary;
    };
    const Case cases[] = {
        {"all threads, others under 2 %", 8, 8, 1.9, 0.0, 3400.0, 3390.0, false, false,
         ConditionsVerdict::Quiet, "quiet"},
        {"all threads, others at 2 %",
         8,
         8,
         2.0,
         0.0,
         {},
         {},
         false,
         false,
         ConditionsVerdict::Busy,
         "busy: other programs used 2.0 % of the processor"},
        {"one busy program beside a single-core run on 8 threads",
         1,
         8,
         12.5,
         0.0,
         {},
         {},
         false,
         false,
         ConditionsVerdict::Quiet,
         "quiet"},
        {"others beyond the idle threads",
         1,
         2,
         55.0,
         0.0,
         {},
         {},
         false,
         false,
         ConditionsVerdict::Busy,
         "busy: other programs used 55 % of the processor, more than the 50 % a 1-thread run leaves idle"},
        {"steal counts as others",
         2,
         2,
         0.5,
         3.0,
         {},
         {},
         false,
         true,
         ConditionsVerdict::Busy,
         "busy: the virtual machine's host took 3.0 % of the processor (steal) (virtual machine)"},
        {"throttled",
         4,
         4,
         0.0,
         {},
         3400.0,
         3000.0,
         true,
         false,
         ConditionsVerdict::Throttled,
         "throttled: the clock fell to 3.00 GHz on average from 3.40 GHz at the start (on battery)"},
        {"busy wins over throttled, both listed", 4, 4, 23.0, 0.0, 3400.0, 3000.0, false, false,
         ConditionsVerdict::Busy,
         "busy: other programs used 23 % of the processor; the clock fell to 3.00 GHz on average from 3.40 "
         "GHz "
         "at the start"},
    };
    for (const Case& c : cases) {
        RunConditions conditions;
        conditions.threads = c.threads;
        conditions.hardware_threads = c.hardware_threads;
        conditions.others_percent = c.others;
        conditions.steal_percent = c.steal;
        conditions.clock_start_mhz = c.clock_start;
        conditions.clock_mean_mhz = c.clock_mean;
        conditions.clock_min_mhz = c.clock_mean;
        conditions.on_battery = c.battery;
        conditions.virtual_machine = c.vm;
        judge_conditions(conditions);
        EXPECT_EQ(conditions.verdict, c.verdict) << c.what;
        EXPECT_EQ(conditions_summary(conditions), c.summary) << c.what;
    }
}

TEST(ConditionsLine, SaysNotAvailableForWhatThePlatformDoesNotTell) {
    RunConditions conditions;
    conditions.threads = 2;
    conditions.hardware_threads = 2;
    conditions.others_percent = 0.4;
    conditions.power_policy_name = "governor";
    conditions.tail_percent = 1.25;
    judge_conditions(conditions);
    EXPECT_EQ(
        conditions_line(conditions),
        "Conditions: quiet. others 0.4 %, steal not available, clock not available, power not available, "
        "governor not available, tail 1.2 % idle");
}

TEST(TailIdle, EachWorkerIdlesFromItsLastTileToTheEnd) {
    auto tile = [](std::int32_t worker, std::int64_t finished) {
        Tile t{0, 0, 1, 1, 0, TileState::Done};
        t.worker = worker;
        t.finished_ns = finished;
        return t;
    };
    // Span 0..100 on 2 workers: worker 0 ends at 100, worker 1 at 60, so 40 of 200 idle.
    EXPECT_DOUBLE_EQ(*tail_idle_percent({tile(0, 50), tile(1, 60), tile(0, 100)}, 2, 0, 100), 20.0);
    // A worker that rendered nothing idled the whole span.
    EXPECT_DOUBLE_EQ(*tail_idle_percent({tile(0, 100)}, 2, 0, 100), 50.0);
    EXPECT_FALSE(tail_idle_percent({}, 2, 100, 100));
}

namespace {

// Holds every tile a little, so the run lasts long enough for the kernel's tick-counted
// processor times to see the spinners beside it.
void hold_tile(void*, const Tile&, std::uint8_t*, std::int32_t) {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
}

}  // namespace

TEST(RunConditionsEndToEnd, RunOnEveryThreadBesideSpinningProcessesIsBusy) {
    const std::int32_t threads =
        std::max<std::int32_t>(1, static_cast<std::int32_t>(std::thread::hardware_concurrency()));
    std::vector<pid_t> spinners;
    for (std::int32_t i = 0; i < threads; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            for (;;) {
            }
        spinners.push_back(child);
    }

    RunController controller;
    controller.set_known_images({});
    controller.set_tile_hook(hold_tile, nullptr);
    controller.start_sequence({small_config(threads)});
    std::optional<FinishedRun> finished;
    EXPECT_TRUE(wait_until([&] {
        RunUpdate update = controller.poll();
        if (update.finished) finished = std::move(update.finished);
        return !controller.busy();
    }));
    for (const pid_t child : spinners) {
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
    }

    ASSERT_TRUE(finished && finished->conditions);
    const RunConditions& conditions = *finished->conditions;
    EXPECT_EQ(conditions.verdict, ConditionsVerdict::Busy) << conditions_line(conditions);
    EXPECT_GE(conditions.others_percent, busy_threshold_percent);
    EXPECT_NE(conditions_summary(conditions).find("other programs used"), std::string::npos);
    ASSERT_TRUE(conditions.tail_percent || threads == 1);
    ASSERT_EQ(controller.finished_runs().size(), 1u);
    EXPECT_TRUE(controller.finished_runs()[0].conditions);
}

}  // namespace vornmark
