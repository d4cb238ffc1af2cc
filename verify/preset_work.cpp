#include "verify/preset_work.h"

#include <array>
#include <iterator>

namespace vornmark {

namespace {

// preset_tile_ray_counts, written by vornmark-preset-work; empty in a build without it.
#include "verify/preset_work.inc"

constexpr std::int32_t preset_tiles = 2040;

bool in_plan(std::int32_t index) {
    return index >= 0 && index < preset_tiles;
}

// Each tile's rays over the mean tile's, worked out once.
const std::array<double, preset_tiles>& relative_work() {
    static const std::array<double, preset_tiles> work = [] {
        std::array<double, preset_tiles> values{};
        values.fill(1.0);
        if (!preset_work_known()) return values;
        double total = 0.0;
        for (const std::uint64_t rays : preset_tile_ray_counts) total += static_cast<double>(rays);
        const double mean = total / preset_tiles;
        for (std::int32_t i = 0; i < preset_tiles; ++i)
            values[static_cast<std::size_t>(i)] = static_cast<double>(preset_tile_ray_counts[i]) / mean;
        return values;
    }();
    return work;
}

}  // namespace

bool renders_preset_image(const BenchmarkConfig& config) {
    const BenchmarkConfig preset = preset_config(config.threads);
    return config.samples == preset.samples && config.max_depth == preset.max_depth &&
           config.tile_size == preset.tile_size && config.width == preset.width &&
           config.height == preset.height;
}

bool preset_work_known() {
    return std::size(preset_tile_ray_counts) == preset_tiles;
}

double preset_tile_work(std::int32_t index) {
    return in_plan(index) ? relative_work()[static_cast<std::size_t>(index)] : 0.0;
}

std::uint64_t preset_tile_rays(std::int32_t index) {
    return in_plan(index) && preset_work_known() ? preset_tile_ray_counts[index] : 0;
}

}  // namespace vornmark
