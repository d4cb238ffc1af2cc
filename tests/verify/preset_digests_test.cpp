#include "verify/preset_digests.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/render_image.h"
#include "engine/tile_plan.h"
#include "verify/image_digest.h"

// The built-in digests were generated from one full render by the engine. A few
// preset tiles rendered here one by one, without the engine,
// must match them: the first, one from the middle and the clipped last one.
TEST(PresetDigests, SampleTilesRenderedByTheKernelMatchTheBuiltInDigests) {
    if (built_in_known_images().empty()) GTEST_SKIP() << "this build has no generated preset digests";
    const KnownImage& preset = preset_known_image();
    const BenchmarkConfig config = preset_config(1);
    const std::vector<Tile> plan = plan_tiles(config);
    ASSERT_EQ(preset.tiles.size(), 2040u);
    ASSERT_EQ(plan.size(), preset.tiles.size());
    EXPECT_EQ(preset.config.width, 1920);
    EXPECT_TRUE(preset.rendered_by(preset_config(16)));

    const BenchmarkScene scene = prepare_scene(config.width, config.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(config.width) *
                                      static_cast<std::size_t>(config.height));
    auto* bytes = reinterpret_cast<std::uint8_t*>(pixels.data());
    for (const std::size_t index : {std::size_t{0}, std::size_t{1017}, std::size_t{2039}}) {
        const Tile& tile = plan[index];
        render_benchmark_tile(bytes, config, scene, tile);
        EXPECT_EQ(digest_hex(tile_sha256(bytes, config.width, tile)), digest_hex(preset.tiles[index]))
            << "tile " << index;
    }
}
