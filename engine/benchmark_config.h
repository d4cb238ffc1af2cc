#pragma once

#include <cstdint>

namespace vornmark {

// Settings of one benchmark run. Passed by value; a run keeps its own copy.
struct BenchmarkConfig {
    std::int32_t samples;
    std::int32_t max_depth;
    std::int32_t tile_size;
    std::int32_t threads;
    std::int32_t width;
    std::int32_t height;
};

// The preset (base/preset.h: 128 samples, depth 50, tile 32, 1920 x 1080) on `threads` workers.
BenchmarkConfig preset_config(std::int32_t threads);

BenchmarkConfig single_core_preset();

// One worker per hardware thread as the standard library reports them (may be 0).
BenchmarkConfig multi_core_preset();

}  // namespace vornmark
