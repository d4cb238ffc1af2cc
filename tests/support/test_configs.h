#pragma once

#include <cstdint>

#include "engine/benchmark_config.h"

namespace vornmark {

// Benchmark settings the tests share; each finishes in well under a second, also under a sanitizer,
// except long_config.

// 12 whole tiles of 16 pixels on 64 x 36, 2 samples.
inline BenchmarkConfig small_config(std::int32_t threads = 1) {
    return {.samples = 2, .max_depth = 5, .tile_size = 16, .threads = threads, .width = 64, .height = 36};
}

// 15 tiles of 16 pixels on 70 x 38: the right column and the bottom row are clipped.
inline BenchmarkConfig clipped_config(std::int32_t threads = 1) {
    return {.samples = 2, .max_depth = 5, .tile_size = 16, .threads = threads, .width = 70, .height = 38};
}

// 576 small, slow tiles: long enough to cancel in the middle.
inline BenchmarkConfig long_config(std::int32_t threads = 1) {
    return {.samples = 64, .max_depth = 10, .tile_size = 8, .threads = threads, .width = 256, .height = 144};
}

}  // namespace vornmark
