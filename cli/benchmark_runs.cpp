#include "cli/benchmark_runs.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/run_kind.h"
#include "cli/exit_codes.h"
#include "cli/image_writer.h"
#include "cli/listings.h"
#include "cli/program_configuration.h"
#include "cli/progress_line.h"
#include "cli/quiet_wait.h"
#include "cli/run_report.h"
#include "cli/run_summary.h"
#include "cli/stability_run.h"
#include "cli/standing_report.h"
#include "history/history_report.h"
#include "history/history_store.h"
#include "session/run_texts.h"
#include "session/mp_ratio.h"
#include "session/run_controller.h"
#include "session/run_texts.h"
#include "session/stability_test.h"
#include "session/stop_signal.h"
#include "session/verified_run.h"
#include "sysinfo/system_info.h"

namespace vornmark::cli {

namespace {

// Where finished preset runs go: the history first, then the leaderboard, the way the window
// records them. Custom runs are never recorded.
struct RunRecords {
    bool enabled = false;
    std::string cpu_name;
    HistoryStore history;
    std::optional<LeaderboardClient> submissions;  // none with --no-submit
    bool some_run_unsaved = false;
};

// The scores of each kind of run, for the --runs summary, and those runs' conditions.
struct KindScores {
    std::vector<std::int32_t> scores;
    std::vector<NumberedRun> runs;
};
using ScoresByKind = std::vector<std::pair<std::string, KindScores>>;

void add_score(ScoresByKind& scores, const std::string& kind, std::int32_t score, NumberedRun run) {
    auto entry =
        std::find_if(scores.begin(), scores.end(), [&](const auto& item) { return item.first == kind; });
    if (entry == scores.end()) entry = scores.insert(scores.end(), {kind, {}});
    entry->second.scores.push_back(score);
    entry->second.runs.push_back(std::move(run));
}

// Empty when no image is asked for or it was written; otherwise why not.
std::string write_run_image(const Options& options, const RunController& runs) {
    if (options.image_path.empty()) return {};
    return write_image(options.image_path, runs.pixel_data(), runs.image_width(), runs.image_height());
}

// One finished run: reported, and recorded when it has a valid score. Returns the exit code that
// ends the runs here, or nothing to go on.
std::optional<int> finish_run(const Options& options, const PlannedRun& run, std::size_t number,
                              const FinishedRun& finished, const RunController& runs, RunRecords& records,
                              ScoresByKind& scores) {
    // In JSON mode stdout carries only the run objects.
    std::FILE* notes = options.json ? stderr : stdout;
    const BenchmarkResult& result = finished.result;
    const std::string line =
        options.json ? result_json(result, run.config, run.custom, finished.verdict, finished.conditions)
                     : result_text(result, run.custom, finished.verdict);
    // A submitted run's JSON object waits for its standing, which it carries.
    const bool json_waits =
        options.json && records.enabled && records.submissions && finished.has_valid_score();
    if (!json_waits) std::printf("%s\n", line.c_str());
    std::fputs(verdict_report(finished.verdict).c_str(), notes);
    if (finished.conditions) std::fprintf(notes, "%s\n", conditions_line(*finished.conditions).c_str());
    std::fflush(stdout);

    // A wrong image has no valid score: not recorded, and the runs end here.
    if (!finished.has_valid_score()) {
        if (const std::string error = write_run_image(options, runs); !error.empty())
            std::fprintf(stderr, "vornmark-cli: %s\n", error.c_str());
        std::fputs("Not saved and not submitted: the run has no valid score.\n", notes);
        return exit_wrong_image;
    }
    add_score(scores, std::string(run_kind_text(result.type)) + (run.custom ? " (custom)" : ""), result.score,
              NumberedRun{number, finished.conditions});

    if (records.enabled) {
        LeaderboardClient* submissions = records.submissions ? &*records.submissions : nullptr;
        record_verified_run(finished, records.cpu_name, records.history, submissions);
        records.some_run_unsaved = records.some_run_unsaved || !records.history.last_save().saved;
        if (submissions) wait_for_requests(*submissions);
        if (stop_requested()) return exit_stopped();
        const std::string submitted = submissions         ? submissions->submit_status_text()
                                      : options.no_submit ? "not submitted (--no-submit)"
                                                          : "not submitted (no leaderboard set)";
        std::fprintf(notes, "%s\nLeaderboard: %s\n", history_save_line(records.history).c_str(),
                     submitted.c_str());
        if (submissions) {
            wait_for_standing(*submissions);
            if (stop_requested()) return exit_stopped();
            const StandingOutcome standing = submissions->run_standing();
            if (const std::optional<std::string> where = standing_report_line(standing))
                std::fprintf(notes, "%s\n", where->c_str());
            if (json_waits) std::printf("%s\n", with_standing(line, standing).c_str());
        }
        std::fflush(stdout);
    }

    if (const std::string error = write_run_image(options, runs); !error.empty()) {
        std::fprintf(stderr, "vornmark-cli: %s\n", error.c_str());
        return exit_run_failed;
    }
    return std::nullopt;
}

void print_summaries(const Options& options, const ScoresByKind& scores) {
    for (const auto& [kind, values] : scores) {
        const ScoreSummary summary = summarize_scores(kind, values.scores);
        std::printf("%s\n", options.json ? summary_json(summary).c_str()
                                         : ("Summary: " + summary_text(summary)).c_str());
        if (const std::string warning = spread_warning(summary, values.runs); !warning.empty())
            std::fprintf(options.json ? stderr : stdout, "%s\n", warning.c_str());
    }
    std::fflush(stdout);
}

// Once a single-core and a multi-core run both have scores: the multi-core median over the
// single-core one, on the multi-core runs' threads.
void print_mp_ratio(const Options& options, const ScoresByKind& scores,
                    const std::vector<FinishedRun>& runs) {
    std::optional<double> single, multi;
    for (const auto& [kind, values] : scores) {
        const double median = summarize_scores(kind, values.scores).median;
        if (kind.rfind("single", 0) == 0) single = median;
        if (kind.rfind("multi", 0) == 0) multi = median;
    }
    std::int32_t threads = 0;
    for (const FinishedRun& run : runs)
        if (run.result.type == RunKind::Multi) threads = run.result.threads;
    if (!single || !multi) return;
    if (const std::optional<MpRatio> ratio = mp_ratio(*single, *multi, threads)) {
        std::fprintf(options.json ? stderr : stdout, "%s\n", mp_ratio_text(*ratio).c_str());
        std::fflush(stdout);
    }
}

// The stability test: the last planned run's configuration (all workers unless --single or
// --threads), nothing recorded.
int run_stability(const Options& options, const PlannedRun& chosen) {
    StabilityTest test(chosen.config, runner_known_images());
    if (const TileHook fault = tile_fault()) test.set_tile_hook(fault, nullptr);
    std::fprintf(stderr, "Stability test, %g minutes: %s\n", *options.minutes,
                 run_description(chosen.config, chosen.custom).c_str());
    return run_stability_test(test, *options.minutes, options.json);
}

}  // namespace

void wait_for_requests(const LeaderboardClient& client) {
    while (client.pending_request_count() > 0 && !stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int run_benchmarks(const Options& options, const LeaderboardSetting& leaderboard) {
    std::vector<PlannedRun> planned = plan_runs(options, multi_core_preset().threads);
    fit_planned_runs(planned);
    if (options.wait_quiet && !wait_for_quiet(*options.wait_quiet, options.json ? stderr : stdout))
        return exit_stopped();
    if (options.minutes) return run_stability(options, planned.back());

    // --runs: each chosen kind that many times in a row.
    std::vector<PlannedRun> runs;
    for (const PlannedRun& run : planned)
        runs.insert(runs.end(), static_cast<std::size_t>(options.runs), run);

    RunRecords records;
    records.enabled = !options.custom();
    if (records.enabled) {
        records.cpu_name = probe_system_info().cpu_name;
        records.history.load();
        if (const std::string problem = history_load_problem(records.history); !problem.empty())
            std::fprintf(stderr, "vornmark-cli: %s\n", problem.c_str());
        // Without a leaderboard the runs are stored all the same; one line says how to set one.
        if (leaderboard.none() && !options.no_submit)
            std::fprintf(stderr, "%s\n", no_leaderboard_line().c_str());
        else if (!options.no_submit)
            records.submissions.emplace(leaderboard);
    }

    RunController controller;
    controller.set_known_images(runner_known_images());
    if (const TileHook fault = tile_fault()) controller.set_tile_hook(fault, nullptr);
    std::vector<BenchmarkConfig> configs;
    for (const PlannedRun& run : runs) configs.push_back(run.config);
    controller.start_sequence(std::move(configs));

    // The runs, one after another, each started once the one before is recorded.
    ProgressLine progress;
    ScoresByKind scores;
    while (controller.busy()) {
        if (stop_requested()) {
            // Between two runs there is nothing to cancel.
            if (!controller.progress().running) return exit_stopped();
            controller.cancel();
        }
        const RunUpdate update = controller.poll();
        const PlannedRun& run = runs[update.index];
        switch (update.event) {
        case RunEvent::Started:
            std::fprintf(stderr, "%s\n", run_heading(run.config, run.custom).c_str());
            [[fallthrough]];
        case RunEvent::None:
            progress.show(std::string(run_kind_text(run_kind_for(run.config.threads))), update.progress);
            break;
        case RunEvent::Finished:
            progress.clear();
            if (stop_requested()) {
                std::fprintf(options.json ? stderr : stdout, "%s\n",
                             cancelled_text(update.progress.tiles_done, update.progress.tiles_total).c_str());
                return exit_stopped();
            }
            if (const std::optional<int> code =
                    finish_run(options, run, update.index + 1, *update.finished, controller, records, scores))
                return *code;
            break;
        case RunEvent::Cancelled:
            progress.clear();
            std::fprintf(options.json ? stderr : stdout, "%s\n",
                         cancelled_text(update.progress.tiles_done, update.progress.tiles_total).c_str());
            return exit_stopped();
        case RunEvent::Failed:
            progress.clear();
            std::fprintf(stderr, "vornmark-cli: %s\n",
                         update.error.empty() ? "the run did not finish" : update.error.c_str());
            return exit_run_failed;
        }
        if (controller.busy()) std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }

    if (options.runs > 1) print_summaries(options, scores);
    print_mp_ratio(options, scores, controller.finished_runs());
    // Clean-up: the controller joins its last run and the client its request threads.
    return records.some_run_unsaved ? exit_run_failed : exit_ok;
}

}  // namespace vornmark::cli
