#include "session/verified_run.h"

#include "session/run_record.h"

namespace vornmark {

bool record_verified_run(const FinishedRun& run, const std::string& cpu, HistoryStore& history,
                         LeaderboardClient* leaderboard) {
    if (!run.has_valid_score()) return false;
    record_run(run.result, cpu, history, leaderboard);
    return true;
}

}  // namespace vornmark
