#pragma once

#include <optional>
#include <string>

#include "engine/benchmark_result.h"
#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "session/run_conditions.h"
#include "verify/image_verdict.h"

namespace vornmark {

// A finished run and the verdict on the image it computed.
struct FinishedRun {
    BenchmarkResult result;
    ImageVerdict verdict;
    // How busy the machine was and whether its clock held; nothing when it could not be sampled.
    std::optional<RunConditions> conditions;

    // A run whose image is wrong has no valid score: it is neither stored nor submitted.
    bool has_valid_score() const { return verdict.status != ImageStatus::Mismatch; }
};

// Records a run with a valid score the way record_run does (history, then the
// leaderboard); a run whose image is wrong is refused. Returns whether it was recorded.
bool record_verified_run(const FinishedRun& run, const std::string& cpu, HistoryStore& history,
                         LeaderboardClient* leaderboard);

}  // namespace vornmark
