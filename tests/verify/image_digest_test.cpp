#include "verify/image_digest.h"

#include <gtest/gtest.h>

#include <vector>

namespace vornmark {

namespace {

// A 5 x 3 RGBA image whose bytes all differ, alpha included.
std::vector<std::uint8_t> test_image() {
    std::vector<std::uint8_t> rgba(5 * 3 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return rgba;
}

std::vector<std::uint8_t> rgb_of(const std::vector<std::uint8_t>& rgba, std::int32_t width,
                                 const Tile& tile) {
    std::vector<std::uint8_t> rgb;
    for (std::int32_t y = tile.y; y < tile.y + tile.height; ++y)
        for (std::int32_t x = tile.x; x < tile.x + tile.width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb.push_back(rgba[static_cast<std::size_t>((y * width + x) * 4 + c)]);
    return rgb;
}

}  // namespace

TEST(ImageDigest, CoversRgbBytesRowsFromTheTopAndIgnoresAlpha) {
    std::vector<std::uint8_t> rgba = test_image();
    const std::vector<std::uint8_t> rgb = rgb_of(rgba, 5, Tile{0, 0, 5, 3, 0, TileState::Done});
    const Sha256Digest digest = image_sha256(rgba.data(), 5, 3);
    EXPECT_EQ(digest, sha256_of(rgb.data(), rgb.size()));
    for (std::size_t i = 3; i < rgba.size(); i += 4) rgba[i] = 0;
    EXPECT_EQ(image_sha256(rgba.data(), 5, 3), digest);
    rgba[4 * 7 + 1] ^= 1;
    EXPECT_NE(image_sha256(rgba.data(), 5, 3), digest);
}

TEST(ImageDigest, TilesCoverTheirOwnRectangleOnly) {
    const std::vector<std::uint8_t> rgba = test_image();
    const Tile tile{2, 2, 2, 1, 4, TileState::Done};  // tile 4 of a 2-pixel plan
    const std::vector<std::uint8_t> rgb = rgb_of(rgba, 5, tile);
    EXPECT_EQ(tile_sha256(rgba.data(), 5, tile), sha256_of(rgb.data(), rgb.size()));

    const BenchmarkConfig config{
        .samples = 1, .max_depth = 1, .tile_size = 2, .threads = 1, .width = 5, .height = 3};
    const KnownImage known = known_image_of(config, rgba.data());
    ASSERT_EQ(known.tiles.size(), 6u);
    EXPECT_EQ(known.tiles[4], tile_sha256(rgba.data(), 5, tile));
    EXPECT_EQ(known.image, image_sha256(rgba.data(), 5, 3));
}

}  // namespace vornmark
