#pragma once

#include <cstdint>
#include <vector>

#include "engine/benchmark_config.h"
#include "engine/render/benchmark_scene.h"
#include "engine/tile_plan.h"

namespace vornmark {

// How a benchmark image is rendered, in one place for every renderer of it (the engine's runs,
// the stability test, the end-to-end programs, the benchmarks and the tests), so that they all
// compute the same bytes.

// Renders `tile` of config's plan into `pixels`, a config.width x config.height RGBA image (see
// ImageBuffer): the tile's rectangle with the config's samples and depth and the tile's seed.
// `scene` is prepare_scene(config.width, config.height).
void render_benchmark_tile(std::uint8_t* pixels, const BenchmarkConfig& config, const BenchmarkScene& scene,
                           const Tile& tile);

// The whole image of `config` rendered on the calling thread, every tile of its plan in order: byte
// for byte the image a run of `config` leaves, on any number of workers. RGBA, rows top to bottom.
std::vector<std::uint8_t> render_image(const BenchmarkConfig& config);

}  // namespace vornmark
