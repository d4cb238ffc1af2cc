#include "engine/tile_plan.h"

#include <algorithm>

namespace vornmark {

std::vector<Tile> plan_tiles(const BenchmarkConfig& config) {
    std::vector<Tile> tiles;
    const std::int32_t size = config.tile_size;
    if (size < 1) return tiles;

    // Stepping in 64 bits keeps y + size from overflowing near INT32_MAX.
    std::int32_t next_index = 0;
    for (std::int64_t y = 0; y < config.height; y += size) {
        for (std::int64_t x = 0; x < config.width; x += size) {
            const auto tx = static_cast<std::int32_t>(x);
            const auto ty = static_cast<std::int32_t>(y);
            tiles.push_back(Tile{tx, ty, std::min(config.width - tx, size),
                                 std::min(config.height - ty, size), next_index, TileState::Pending});
            ++next_index;
        }
    }
    return tiles;
}

}  // namespace vornmark
