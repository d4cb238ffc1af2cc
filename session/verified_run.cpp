#include "session/verified_run.h"

#include "session/run_record.h"

std::optional<FinishedRun> take_verified_run(BenchmarkEngine& engine, const BenchmarkConfig& config,
                                             const std::vector<KnownImage>& known) {
    std::optional<BenchmarkResult> result = take_result(engine);
    if (!result) return std::nullopt;
    // No run is active now, so the image and the plan are final.
    FinishedRun run;
    run.result = std::move(*result);
    run.verdict = verify_image(config, engine.pixel_data(), engine.tile_plan(), known);
    return run;
}

bool record_verified_run(const FinishedRun& run, const std::string& cpu, HistoryStore& history,
                         LeaderboardClient* leaderboard) {
    if (!run.has_valid_score()) return false;
    record_run(run.result, cpu, history, leaderboard);
    return true;
}

std::string verdict_text(const ImageVerdict& verdict) {
    switch (verdict.status) {
    case ImageStatus::Verified:
        return verified_text;
    case ImageStatus::Mismatch:
        return mismatch_text;
    case ImageStatus::Unchecked:
        break;
    }
    return {};
}
