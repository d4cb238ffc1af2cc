#include "engine/benchmark_config.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <thread>

BenchmarkConfig preset_config(std::int32_t threads) {
    return BenchmarkConfig{128, 50, 32, threads, 1920, 1080};
}

BenchmarkConfig single_core_preset() {
    return preset_config(1);
}

BenchmarkConfig multi_core_preset() {
    const unsigned reported = std::thread::hardware_concurrency();
    const unsigned limit = static_cast<unsigned>(std::numeric_limits<std::int32_t>::max());
    return preset_config(static_cast<std::int32_t>(std::min(reported, limit)));
}
