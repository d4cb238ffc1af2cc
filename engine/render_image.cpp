#include "engine/render_image.h"

#include "engine/render/render_tile.h"

namespace vornmark {

void render_benchmark_tile(std::uint8_t* pixels, const BenchmarkConfig& config, const BenchmarkScene& scene,
                           const Tile& tile) {
    render_tile(ImageBuffer{pixels, config.width, config.height}, tile.area(), config.samples,
                config.max_depth, scene.camera, scene.world, tile_seed(tile.index));
}

std::vector<std::uint8_t> render_image(const BenchmarkConfig& config) {
    const BenchmarkScene scene = prepare_scene(config.width, config.height);
    // Whole 32-bit words: render_tile stores each pixel as one aligned word.
    std::vector<std::uint32_t> words(static_cast<std::size_t>(config.width) *
                                     static_cast<std::size_t>(config.height));
    auto* pixels = reinterpret_cast<std::uint8_t*>(words.data());
    for (const Tile& tile : plan_tiles(config)) render_benchmark_tile(pixels, config, scene, tile);
    return std::vector<std::uint8_t>(pixels, pixels + words.size() * 4);
}

}  // namespace vornmark
