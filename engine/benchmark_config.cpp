#include "engine/benchmark_config.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <thread>

#include "base/preset.h"

namespace vornmark {

BenchmarkConfig preset_config(std::int32_t threads) {
    return BenchmarkConfig{.samples = preset_samples,
                           .max_depth = preset_max_depth,
                           .tile_size = preset_tile_size,
                           .threads = threads,
                           .width = preset_width,
                           .height = preset_height};
}

BenchmarkConfig single_core_preset() {
    return preset_config(1);
}

BenchmarkConfig multi_core_preset() {
    const unsigned reported = std::thread::hardware_concurrency();
    const unsigned limit = static_cast<unsigned>(std::numeric_limits<std::int32_t>::max());
    return preset_config(static_cast<std::int32_t>(std::min(reported, limit)));
}

}  // namespace vornmark
