#pragma once

#include <vector>

#include "cli/options.h"
#include "engine/tile_plan.h"
#include "verify/known_image.h"

namespace vornmark::cli {

// What sets the runner users get apart from the one the end-to-end tests run. Each executable
// links one of the two definitions: program_configuration.cpp (`vornmark-cli`) or
// program_configuration_e2e.cpp (`vornmark-cli-e2e`: the preset runs render a tiny image and are
// still recorded and submitted as preset runs). Both read the leaderboard from the flags, the
// environment and the configuration; the tests name their server on loopback in the environment.
// The history stays beside the executable in both.

// The planned runs as this program makes them.
void fit_planned_runs(std::vector<PlannedRun>& runs);

// The images runs are checked against (the end-to-end program: the tiny preset image, rendered
// once at start).
std::vector<KnownImage> runner_known_images();

// Null in the product. The end-to-end program with VORNMARK_TEST_FAULT_TILE=N: a hook that
// corrupts tile N after rendering it, as a faulty core would, so the tests can see a wrong
// image refused.
TileHook tile_fault();

}  // namespace vornmark::cli
