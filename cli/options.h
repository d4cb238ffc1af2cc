#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/benchmark_config.h"
#include "net/leaderboard_setting.h"

namespace vornmark::cli {

enum class RunSelection { Both, Single, Multi };

// What the runner does: benchmark, or one of the commands that only show stored or remote data.
enum class Command { Run, Info, History, Leaderboard, Scaling };

// What the command line asks for.
struct Options {
    bool help = false;
    Command command = Command::Run;
    RunSelection selection = RunSelection::Both;
    bool json = false;
    bool no_submit = false;            // preset runs go to the history only
    std::string image_path;            // empty: no image
    std::int32_t runs = 1;             // --runs: runs of each chosen kind
    std::optional<double> minutes;     // --minutes: a stability test of this length instead of runs
    LeaderboardFlags leaderboard;      // --leaderboard-url, --leaderboard-ca
    std::optional<double> wait_quiet;  // --wait-quiet: seconds to wait at most for a quiet machine

    // Development settings; any of them makes every run a custom one.
    std::optional<std::int32_t> width;
    std::optional<std::int32_t> height;
    std::optional<std::int32_t> samples;
    std::optional<std::int32_t> depth;
    std::optional<std::int32_t> tile;
    std::optional<std::int32_t> threads;

    bool custom() const;
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the arguments were accepted; otherwise one line
};

// args excludes the program name. Accepts "--name value" and "--name=value".
ParsedOptions parse_options(const std::vector<std::string>& args);

// One planned run: its settings and whether it is a custom (development) run.
struct PlannedRun {
    BenchmarkConfig config;
    bool custom = false;
};

// The runs the options ask for, in order: --threads gives exactly one run with
// that many workers; otherwise --single, --multi, or both presets.
std::vector<PlannedRun> plan_runs(const Options& options, std::int32_t hardware_threads);

// The usage text; it lists the options from the same table that reads them.
std::string usage_text();

}  // namespace vornmark::cli
