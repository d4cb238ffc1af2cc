#include "cli/program_configuration.h"

namespace vornmark::cli {

void fit_planned_runs(std::vector<PlannedRun>&) {}

std::vector<KnownImage> runner_known_images() {
    return built_in_known_images();
}

TileHook tile_fault() {
    return nullptr;
}

}  // namespace vornmark::cli
