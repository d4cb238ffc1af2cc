#include "session/verified_run.h"

#include <gtest/gtest.h>

#include "tests/support/endpoints.h"
#include "tests/support/temp_dir.h"

namespace vornmark {

// A run is recorded (history, then the leaderboard) unless its image is wrong.
TEST(RecordVerifiedRun, RecordsEveryRunButOneWithAWrongImage) {
    struct Case {
        ImageStatus status;
        bool recorded;
    };
    const Case cases[] = {
        {ImageStatus::Verified, true},
        {ImageStatus::Unchecked, true},
        {ImageStatus::Mismatch, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.status));
        TempDir dir;
        HistoryStore history(dir.file("history.json"));
        // Nothing listens on port 1, so a submission shows as a task that fails.
        LeaderboardClient leaderboard(unreachable_endpoint());
        FinishedRun run{BenchmarkResult{RunKind::Single, 1234, 97.2, 1, "2026-04-18T07:40:53"}, {}, {}};
        run.verdict.status = c.status;

        EXPECT_EQ(run.has_valid_score(), c.recorded);
        EXPECT_EQ(record_verified_run(run, "Test CPU", history, &leaderboard), c.recorded);
        EXPECT_EQ(leaderboard.task_count(), c.recorded ? 1u : 0u);
        leaderboard.shutdown();
        HistoryStore saved(history.path());
        saved.load();
        EXPECT_EQ(saved.entries().size(), c.recorded ? 1u : 0u);
    }
}

}  // namespace vornmark
