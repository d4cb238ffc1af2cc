#include "verify/preset_digests.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/render/render_tile.h"
#include "engine/render_image.h"
#include "engine/tile_plan.h"
#include "verify/counting_world.h"
#include "verify/image_digest.h"
#include "verify/preset_work.h"

namespace vornmark {

// The built-in digests and ray counts were generated from full renders. A few preset tiles rendered
// here one by one by the kernel, through a world that counts their rays, must match both: the
// first, one from the middle and the clipped last one. The count leaves the image as it is.
TEST(PresetDigests, SampleTilesRenderedByTheKernelMatchTheBuiltInDigestsAndRayCounts) {
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
        CountingWorld world(scene.world);
        render_tile(ImageBuffer{bytes, config.width, config.height}, tile.area(), config.samples,
                    config.max_depth, scene.camera, world, tile_seed(tile.index));
        EXPECT_EQ(digest_hex(tile_sha256(bytes, config.width, tile)), digest_hex(preset.tiles[index]))
            << "tile " << index;
        if (preset_work_known()) {
            EXPECT_EQ(world.rays, preset_tile_rays(tile.index)) << "tile " << index;
        }
    }
}

TEST(PresetWork, TilesWeighTheirShareOfTheRaysAndAddUpToTheTileCount) {
    if (!preset_work_known()) GTEST_SKIP() << "this build has no generated work table";
    double sum = 0.0;
    std::uint64_t rays = 0;
    for (std::int32_t i = 0; i < 2040; ++i) {
        ASSERT_GT(preset_tile_rays(i), 0u) << "tile " << i;
        sum += preset_tile_work(i);
        rays += preset_tile_rays(i);
    }
    EXPECT_NEAR(sum, 2040.0, 1e-6);
    EXPECT_DOUBLE_EQ(preset_tile_work(7),
                     static_cast<double>(preset_tile_rays(7)) * 2040.0 / static_cast<double>(rays));
    EXPECT_TRUE(renders_preset_image(preset_config(7)));
    BenchmarkConfig other = preset_config(1);
    other.samples = 64;
    EXPECT_FALSE(renders_preset_image(other));
    for (const std::int32_t outside : {-1, 2040}) {
        EXPECT_EQ(preset_tile_work(outside), 0.0);
        EXPECT_EQ(preset_tile_rays(outside), 0u);
    }
}

}  // namespace vornmark
