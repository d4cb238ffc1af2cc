// vornmark-cli: the benchmark without a window.
#include <cstdio>
#include <string>
#include <vector>

#include "base/run_kind.h"
#include "cli/benchmark_runs.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/listings.h"
#include "cli/options.h"
#include "cli/scaling_run.h"
#include "history/history_store.h"
#include "net/leaderboard_client.h"
#include "net/leaderboard_setting.h"
#include "session/stop_signal.h"
#include "sysinfo/system_info.h"

namespace vornmark::cli {

namespace {

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
    if (leaderboard.none()) {
        std::fprintf(stderr, "%s\n", no_leaderboard_line().c_str());
        return exit_run_failed;
    }
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
    std::fputs(web_page_listing(leaderboard).c_str(), stdout);
    return single.error.empty() && multi.error.empty() ? exit_ok : exit_run_failed;
}

}  // namespace

}  // namespace vornmark::cli

using namespace vornmark;
using namespace vornmark::cli;

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
    if (options.command != Command::History && options.command != Command::Scaling &&
        (options.command != Command::Run || submits)) {
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
    case Command::Scaling:
        return run_scaling(options);
    case Command::Run:
        break;
    }
    return run_benchmarks(options, leaderboard);
}
