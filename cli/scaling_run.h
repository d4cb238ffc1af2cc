#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cli/options.h"

namespace vornmark::cli {

// The thread-scaling table: the preset's image at a fixed, smaller number of samples (the same
// work on every machine, so tables compare), rendered on 1, 2, 4, ... and all hardware threads.
// Analysis only: nothing is stored or submitted.
inline constexpr std::int32_t scaling_samples = 2;

// 1, 2, 4, ... below `hardware_threads`, then `hardware_threads` itself (at least 1).
std::vector<std::int32_t> scaling_steps(std::int32_t hardware_threads);

struct ScalingStep {
    std::int32_t threads = 0;
    double seconds = 0.0;
    double speedup = 0.0;     // the one-thread time over this one
    double efficiency = 0.0;  // speedup / threads
    std::optional<double> tail_percent;
    std::string verdict;  // the run's conditions, "" when not sampled
};

// One row of the text table, and its heading.
std::string scaling_heading();
std::string scaling_row(const ScalingStep& step);

// Runs the steps one after another, printing each row as it finishes (or the whole table as one
// JSON object at the end with --json). Ctrl-C cancels; returns the exit code.
int run_scaling(const Options& options);

}  // namespace vornmark::cli
