#include <cstdlib>
#include <string>

#include "cli/program_configuration.h"
#include "engine/render_image.h"
#include "engine/tile_plan.h"
#include "verify/image_digest.h"

namespace vornmark::cli {

namespace {

std::string environment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : fallback;
}

BenchmarkConfig test_preset() {
    BenchmarkConfig config = preset_config(1);
    config.width = 64;
    config.height = 36;
    config.samples = 4;
    return config;
}

std::int32_t fault_tile = -1;

void corrupt_tile(void*, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
    if (tile.index != fault_tile) return;
    pixels[(static_cast<std::size_t>(tile.y) * static_cast<std::size_t>(image_width) +
            static_cast<std::size_t>(tile.x)) *
           4] ^= 0x04;
}

}  // namespace

void fit_planned_runs(std::vector<PlannedRun>& runs) {
    for (PlannedRun& run : runs) {
        if (run.custom) continue;
        const std::int32_t threads = run.config.threads;
        run.config = test_preset();
        run.config.threads = threads;
    }
}

std::vector<KnownImage> runner_known_images() {
    const BenchmarkConfig config = test_preset();
    return {known_image_of(config, render_image(config).data())};
}

TileHook tile_fault() {
    const std::string tile = environment("VORNMARK_TEST_FAULT_TILE", "");
    if (tile.empty()) return nullptr;
    fault_tile = std::atoi(tile.c_str());
    return &corrupt_tile;
}

}  // namespace vornmark::cli
