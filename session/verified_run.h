#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_config.h"
#include "engine/benchmark_engine.h"
#include "engine/benchmark_result.h"
#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "verify/image_verdict.h"
#include "verify/known_image.h"

// A finished run and the verdict on the image it computed.
struct FinishedRun {
    BenchmarkResult result;
    ImageVerdict verdict;

    // A run whose image is wrong has no valid score: it is neither stored nor submitted.
    bool has_valid_score() const { return verdict.status != ImageStatus::Mismatch; }
};

// Takes the engine's finished run exactly once (see take_result) and checks the
// image it left against the known image that `config` (the settings the run was
// started with) renders. Nothing while a run is going or when no result waits.
std::optional<FinishedRun> take_verified_run(BenchmarkEngine& engine, const BenchmarkConfig& config,
                                             const std::vector<KnownImage>& known = built_in_known_images());

// Records a run with a valid score the way record_run does (history, then the
// leaderboard); a run whose image is wrong is refused. Returns whether it was recorded.
bool record_verified_run(const FinishedRun& run, const std::string& cpu, HistoryStore& history,
                         LeaderboardClient* leaderboard);

// The verdict as the front ends print it: "Verified", the mismatch message, or
// empty for an image nothing is known about.
std::string verdict_text(const ImageVerdict& verdict);
