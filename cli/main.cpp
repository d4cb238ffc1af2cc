// vornmark-cli: the benchmark without a window.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/run_kind.h"
#include "cli/console.h"
#include "cli/image_writer.h"
#include "cli/listings.h"
#include "cli/options.h"
#include "cli/program_configuration.h"
#include "cli/progress_line.h"
#include "cli/run_report.h"
#include "cli/run_summary.h"
#include "cli/stability_run.h"
#include "engine/benchmark_engine.h"
#include "engine/steady_clock.h"
#include "history/history_report.h"
#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "net/leaderboard_setting.h"
#include "session/run_record.h"
#include "session/run_sequence.h"
#include "session/stop_signal.h"
#include "session/verified_run.h"
#include "sysinfo/system_info.h"

namespace {

constexpr int exit_ok = 0;
constexpr int exit_run_failed = 1;
constexpr int exit_bad_argument = 2;
constexpr int exit_wrong_image = 3;

// A run stopped by a signal ends like a program killed by it would: 128 + the signal (Ctrl-C: 130).
int exit_stopped() {
    return 128 + stop_signal();
}

// Polls the engine until the run has ended, cancelling it on Ctrl-C and, when
// stderr is a terminal, keeping one progress line up to date.
void follow_run(BenchmarkEngine& engine, const std::string& label, std::int64_t launched_ns) {
    const bool show_progress = isatty(STDERR_FILENO) == 1;
    auto last_draw = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    while (engine.running) {
        if (stop_requested()) engine.cancel();
        const auto now = std::chrono::steady_clock::now();
        if (show_progress && now - last_draw >= std::chrono::milliseconds(250)) {
            last_draw = now;
            // Until the run thread has planned and started the clock, the counters
            // still describe the previous run.
            const std::int64_t started = engine.start_time;
            std::string text = "preparing...";
            if (started >= launched_ns)
                text = progress_text(engine.tiles_done, engine.tiles_total,
                                     elapsed_seconds(steady_now_ns() - started));
            std::fprintf(stderr, "\r[%s] %s\033[K", label.c_str(), text.c_str());
            std::fflush(stderr);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
    }
    if (show_progress) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

// Waits for the leaderboard client's requests to end, so that none of them runs
// while the next benchmark is being measured. Ctrl-C stops waiting.
void wait_for_requests(const LeaderboardClient& client) {
    while (client.pending_request_count() > 0 && !stop_requested())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int show_info(const LeaderboardSetting& leaderboard) {
    SystemInfo info = probe_system_info();
    probe_graphics_adapter(info);
    std::fputs(info_listing(info).c_str(), stdout);
    std::fputs(leaderboard_listing(leaderboard).c_str(), stdout);
    return leaderboard.refused() ? exit_bad_argument : exit_ok;
}

int show_history() {
    HistoryStore history;
    history.load();
    std::fprintf(stdout, "History file: %s\n\n%s", history.path().c_str(), history_listing(history).c_str());
    return history.last_load().failed ? exit_run_failed : exit_ok;
}

int show_leaderboard(const LeaderboardSetting& leaderboard) {
    LeaderboardClient client(leaderboard);
    client.fetch_standings(RunKind::Single);
    client.fetch_standings(RunKind::Multi);
    wait_for_requests(client);
    if (stop_requested()) return exit_stopped();

    const std::string own_cpu = probe_system_info().cpu_name;
    const FetchOutcome single = client.fetch_outcome(RunKind::Single);
    const FetchOutcome multi = client.fetch_outcome(RunKind::Multi);
    std::fputs(standings_listing("Single-Core", client.standings(RunKind::Single), single, own_cpu).c_str(),
               stdout);
    std::fputs("\n", stdout);
    std::fputs(standings_listing("Multi-Core", client.standings(RunKind::Multi), multi, own_cpu).c_str(),
               stdout);
    return single.error.empty() && multi.error.empty() ? exit_ok : exit_run_failed;
}

}  // namespace

int main(int argc, char** argv) {
    const Utf8Console console;
    // Arguments: nothing runs unless all of them are understood.
    const ParsedOptions parsed = parse_options(command_line_arguments(argc, argv));
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "vornmark-cli: %s\n", parsed.error.c_str());
        return exit_bad_argument;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::fputs(usage_text().c_str(), stdout);
        return exit_ok;
    }
    install_stop_signals();
    // The leaderboard, for the commands that show or use it: refused before anything runs.
    const bool submits = options.command == Command::Run && !options.custom() && !options.no_submit;
    LeaderboardSetting leaderboard;
    if (options.command != Command::History && (options.command != Command::Run || submits)) {
        leaderboard = leaderboard_setting(options.leaderboard);
        if (leaderboard.refused() && options.command != Command::Info) {
            std::fprintf(stderr, "vornmark-cli: %s\n", leaderboard.error.c_str());
            return exit_bad_argument;
        }
    }
    switch (options.command) {
    case Command::Info:
        return show_info(leaderboard);
    case Command::History:
        return show_history();
    case Command::Leaderboard:
        return show_leaderboard(leaderboard);
    case Command::Run:
        break;
    }
    std::vector<PlannedRun> runs = plan_runs(options, multi_core_preset().threads);
    fit_planned_runs(runs);
    const std::vector<KnownImage> known_images = runner_known_images();

    // The stability test: the last planned run's configuration (all workers unless
    // --single or --threads), nothing recorded.
    if (options.minutes) {
        const PlannedRun& chosen = runs.back();
        StabilityTest test(chosen.config, known_images);
        if (const BenchmarkEngine::TileHook fault = tile_fault()) test.set_tile_hook(fault, nullptr);
        std::fprintf(stderr, "Stability test, %g minutes: %s\n", *options.minutes,
                     run_heading(chosen.config, chosen.custom).substr(8).c_str());
        return run_stability_test(test, *options.minutes, options.json);
    }

    // --runs: each chosen kind that many times in a row.
    if (options.runs > 1) {
        std::vector<PlannedRun> repeated;
        for (const PlannedRun& run : runs)
            repeated.insert(repeated.end(), static_cast<std::size_t>(options.runs), run);
        runs = std::move(repeated);
    }
    std::vector<std::pair<std::string, std::vector<std::int32_t>>> scores_by_kind;

    // Set-up: Ctrl-C cancels through the engine from here on. Preset runs are
    // recorded like the window records them: history first, then the leaderboard.
    const bool records_runs = !options.custom();
    std::string cpu_name;
    HistoryStore history;
    if (records_runs) {
        cpu_name = probe_system_info().cpu_name;
        history.load();
        if (const std::string problem = history_load_problem(history); !problem.empty())
            std::fprintf(stderr, "vornmark-cli: %s\n", problem.c_str());
    }
    std::optional<LeaderboardClient> submissions;
    if (submits) submissions.emplace(leaderboard);
    bool some_run_unsaved = false;
    BenchmarkEngine engine;
    if (const BenchmarkEngine::TileHook fault = tile_fault()) engine.set_tile_hook(fault, nullptr);

    // The runs, one after another, each started once the previous one is recorded.
    RunSequence sequence;
    sequence.begin(runs.size());
    while (sequence.active()) {
        if (stop_requested()) return exit_stopped();
        const PlannedRun& run = runs[sequence.current()];
        std::fprintf(stderr, "%s\n", run_heading(run.config, run.custom).c_str());
        const std::int64_t launched_ns = steady_now_ns();
        engine.start(run.config);
        follow_run(engine, std::string(run_kind_text(run_kind_for(run.config.threads))), launched_ns);

        if (stop_requested()) {
            std::fprintf(options.json ? stderr : stdout, "%s\n",
                         cancelled_text(engine.tiles_done, engine.tiles_total).c_str());
            return exit_stopped();
        }
        const SequenceStep step = sequence.next_step(engine_state(engine));
        const std::optional<FinishedRun> finished = take_verified_run(engine, run.config, known_images);
        if (step == SequenceStep::Abandon || !finished) {
            const std::string error = engine.error();
            std::fprintf(stderr, "vornmark-cli: %s\n",
                         error.empty() ? "the run did not finish" : error.c_str());
            return exit_run_failed;
        }

        // Report: custom runs are labelled as such and never saved or submitted.
        const BenchmarkResult& result = finished->result;
        const std::string line = options.json ? result_json(result, run.config, run.custom, finished->verdict)
                                              : result_text(result, run.custom, finished->verdict);
        std::printf("%s\n", line.c_str());
        // In JSON mode stdout carries only the run objects.
        std::fputs(verdict_report(finished->verdict).c_str(), options.json ? stderr : stdout);
        std::fflush(stdout);

        // A wrong image has no valid score: not recorded, and the runs end here.
        if (!finished->has_valid_score()) {
            if (!options.image_path.empty()) {
                const std::string error =
                    write_image(options.image_path, engine.pixel_data(), engine.width, engine.height);
                if (!error.empty()) std::fprintf(stderr, "vornmark-cli: %s\n", error.c_str());
            }
            std::fputs("Not saved and not submitted: the run has no valid score.\n",
                       options.json ? stderr : stdout);
            return exit_wrong_image;
        }

        {
            const std::string kind =
                std::string(run_kind_text(result.type)) + (run.custom ? " (custom)" : "");
            auto entry = std::find_if(scores_by_kind.begin(), scores_by_kind.end(),
                                      [&](const auto& item) { return item.first == kind; });
            if (entry == scores_by_kind.end())
                entry = scores_by_kind.insert(scores_by_kind.end(), {kind, {}});
            entry->second.push_back(result.score);
        }

        if (records_runs) {
            record_verified_run(*finished, cpu_name, history, submissions ? &*submissions : nullptr);
            some_run_unsaved = some_run_unsaved || !history.last_save().saved;
            // No request runs while the next benchmark is being measured.
            if (submissions) wait_for_requests(*submissions);
            if (stop_requested()) return exit_stopped();
            const std::string submitted =
                submissions ? submissions->submit_status_text() : "not submitted (--no-submit)";
            // In JSON mode stdout carries only the run objects.
            std::fprintf(options.json ? stderr : stdout, "%s\nLeaderboard: %s\n",
                         history_save_line(history).c_str(), submitted.c_str());
            std::fflush(stdout);
        }

        if (!options.image_path.empty()) {
            const std::string error =
                write_image(options.image_path, engine.pixel_data(), engine.width, engine.height);
            if (!error.empty()) {
                std::fprintf(stderr, "vornmark-cli: %s\n", error.c_str());
                return exit_run_failed;
            }
        }
        sequence.advance(step);
    }

    if (options.runs > 1) {
        for (const auto& [kind, scores] : scores_by_kind) {
            const ScoreSummary summary = summarize_scores(kind, scores);
            std::printf("%s\n", options.json ? summary_json(summary).c_str()
                                             : ("Summary: " + summary_text(summary)).c_str());
        }
        std::fflush(stdout);
    }

    // Clean-up: the engine joins its last run thread and the client its request
    // threads when they go out of scope.
    return some_run_unsaved ? exit_run_failed : exit_ok;
}
