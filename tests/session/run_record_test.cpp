#include "session/run_record.h"

#include <gtest/gtest.h>

#include "tests/support/endpoints.h"
#include "tests/support/temp_dir.h"

namespace vornmark {

namespace {

const BenchmarkResult sample_result{RunKind::Multi, 3200, 37.5, 16, "2026-04-18T07:40:53"};
const std::string sample_cpu = "AMD Ryzen 7 5700G with Radeon Graphics";

TEST(HistoryEntryFromResult, TakesTheRunAndFixedImageSettings) {
    const HistoryEntry entry = history_entry_from_result(sample_result, sample_cpu);
    const HistoryEntry expected{"2026-04-18T07:40:53", sample_cpu, "multi", 3200, 37.5, 16, 1920, 1080, 128};
    EXPECT_EQ(entry, expected);
}

TEST(RecordRun, AppendsToTheSavedHistoryThenSubmits) {
    TempDir dir;
    HistoryStore history(dir.file("history.json"));
    // Nothing listens on port 1 of loopback: the submission fails at once, which shows it was made.
    LeaderboardClient leaderboard(unreachable_endpoint());

    const HistoryEntry kept_only = record_run(sample_result, sample_cpu, history, nullptr);
    const HistoryEntry submitted = record_run(sample_result, sample_cpu, history, &leaderboard);
    EXPECT_EQ(leaderboard.task_count(), 1u) << "one submission, for the second run only";
    leaderboard.shutdown();

    EXPECT_EQ(kept_only, history_entry_from_result(sample_result, sample_cpu));
    EXPECT_EQ(submitted, kept_only);
    HistoryStore saved(history.path());
    saved.load();
    EXPECT_EQ(saved.entries(), (std::vector<HistoryEntry>{kept_only, submitted}));
    EXPECT_EQ(leaderboard.submit_status_text().rfind("Submit error: ", 0), 0u)
        << leaderboard.submit_status_text();
}

}  // namespace

}  // namespace vornmark
