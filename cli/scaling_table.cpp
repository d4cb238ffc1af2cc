#include <algorithm>
#include <cstdio>

#include "cli/scaling_run.h"

namespace vornmark::cli {

// The pure parts of the scaling table, apart from the run itself so the tests can use them.
std::vector<std::int32_t> scaling_steps(std::int32_t hardware_threads) {
    const std::int32_t all = std::max<std::int32_t>(hardware_threads, 1);
    std::vector<std::int32_t> steps;
    for (std::int32_t threads = 1; threads < all; threads *= 2) steps.push_back(threads);
    steps.push_back(all);
    return steps;
}

std::string scaling_heading() {
    return "threads      time  speed-up  efficiency   tail  conditions";
}

std::string scaling_row(const ScalingStep& step) {
    char tail[16] = "     -";
    if (step.tail_percent) std::snprintf(tail, sizeof tail, "%5.1f%%", *step.tail_percent);
    char text[160];
    std::snprintf(text, sizeof text, "%7d  %7.2f s  %8.2f  %9.0f%%  %s  %s", step.threads, step.seconds,
                  step.speedup, step.efficiency * 100.0, tail,
                  step.verdict.empty() ? "-" : step.verdict.c_str());
    return text;
}

}  // namespace vornmark::cli
