#include "engine/tile_plan.h"

#include <gtest/gtest.h>

namespace vornmark {

namespace {

BenchmarkConfig sized(std::int32_t width, std::int32_t height, std::int32_t tile_size) {
    return {
        .samples = 1, .max_depth = 1, .tile_size = tile_size, .threads = 1, .width = width, .height = height};
}

void expect_tile(const Tile& tile, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    EXPECT_EQ(tile.x, x);
    EXPECT_EQ(tile.y, y);
    EXPECT_EQ(tile.width, w);
    EXPECT_EQ(tile.height, h);
}

}  // namespace

TEST(TilePlan, PresetImageGives2040TilesClippedAtTheBottomRow) {
    const std::vector<Tile> tiles = plan_tiles(preset_config(1));
    ASSERT_EQ(tiles.size(), 2040u);
    expect_tile(tiles[59], 1888, 0, 32, 32);
    expect_tile(tiles[1980], 0, 1056, 32, 24);
    expect_tile(tiles[2039], 1888, 1056, 32, 24);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        EXPECT_EQ(tiles[i].index, static_cast<std::int32_t>(i));
        EXPECT_EQ(tiles[i].state, TileState::Pending);
    }
}

TEST(TilePlan, TilesCoverEveryPixelExactlyOnce) {
    const BenchmarkConfig config = sized(70, 38, 16);
    std::vector<int> covered(70 * 38, 0);
    for (const Tile& tile : plan_tiles(config)) {
        for (std::int32_t y = tile.y; y < tile.y + tile.height; ++y)
            for (std::int32_t x = tile.x; x < tile.x + tile.width; ++x)
                ++covered.at(static_cast<std::size_t>(y * 70 + x));
    }
    for (int count : covered) ASSERT_EQ(count, 1);
}

TEST(TilePlan, ExactMultipleIsRowMajorWithoutClipping) {
    const std::vector<Tile> tiles = plan_tiles(sized(64, 64, 32));
    ASSERT_EQ(tiles.size(), 4u);
    expect_tile(tiles[0], 0, 0, 32, 32);
    expect_tile(tiles[1], 32, 0, 32, 32);
    expect_tile(tiles[2], 0, 32, 32, 32);
    expect_tile(tiles[3], 32, 32, 32, 32);
}

TEST(TilePlan, TileLargerThanImageGivesOneImageSizedTile) {
    const std::vector<Tile> tiles = plan_tiles(sized(10, 7, 32));
    ASSERT_EQ(tiles.size(), 1u);
    expect_tile(tiles[0], 0, 0, 10, 7);
}

TEST(TilePlan, ZeroWidthOrHeightGivesEmptyPlan) {
    EXPECT_TRUE(plan_tiles(sized(0, 1080, 32)).empty());
    EXPECT_TRUE(plan_tiles(sized(1920, 0, 32)).empty());
}

TEST(TilePlan, HugeTileSizeNearIntLimitDoesNotOverflow) {
    const std::vector<Tile> tiles = plan_tiles(sized(3, 2, 2147483647));
    ASSERT_EQ(tiles.size(), 1u);
    expect_tile(tiles[0], 0, 0, 3, 2);
}

}  // namespace vornmark
