#pragma once

#include <cstdint>

#include "engine/benchmark_config.h"

namespace vornmark {

// How much of the preset image's work each of its 2040 tiles holds. The scene is fixed, so a tile's
// share is the same on every machine: the table counts the rays each tile traces, from one
// instrumented render of the preset (vornmark-preset-work writes verify/preset_work.inc).

// True when `config` renders the preset image (any number of workers): the runs the table is for.
bool renders_preset_image(const BenchmarkConfig& config);

// True when this build has the table; without it every function below answers as if all tiles
// were alike (1.0 each).
bool preset_work_known();

// The work of preset tile `index` relative to the mean tile: the 2040 values add up to 2040. An
// index outside the plan has none (0.0).
double preset_tile_work(std::int32_t index);

// The rays preset tile `index` traces (0 outside the plan, or without the table).
std::uint64_t preset_tile_rays(std::int32_t index);

}  // namespace vornmark
