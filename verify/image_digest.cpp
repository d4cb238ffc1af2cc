#include "verify/image_digest.h"

#include <cstddef>
#include <vector>

#include "base/check.h"

namespace vornmark {

namespace {

// Feeds rows of one rectangle to the hash, dropping alpha.
Sha256Digest rectangle_sha256(const std::uint8_t* rgba, std::int32_t image_width, std::int32_t x0,
                              std::int32_t y0, std::int32_t width, std::int32_t height) {
    Sha256 hash;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width > 0 ? width : 0) * 3);
    for (std::int32_t y = y0; y < y0 + height; ++y) {
        const std::uint8_t* source =
            rgba + (static_cast<std::size_t>(y) * static_cast<std::size_t>(image_width) +
                    static_cast<std::size_t>(x0)) *
                       4;
        for (std::size_t x = 0; x < row.size() / 3; ++x) {
            row[x * 3] = source[x * 4];
            row[x * 3 + 1] = source[x * 4 + 1];
            row[x * 3 + 2] = source[x * 4 + 2];
        }
        hash.update(row.data(), row.size());
    }
    return hash.finish();
}

}  // namespace

Sha256Digest image_sha256(const std::uint8_t* rgba, std::int32_t width, std::int32_t height) {
    return rectangle_sha256(rgba, width, 0, 0, width, height);
}

Sha256Digest tile_sha256(const std::uint8_t* rgba, std::int32_t image_width, const Tile& tile) {
    DCHECK(tile.x >= 0 && tile.y >= 0 && tile.width >= 0 && tile.height >= 0);
    DCHECK(tile.x + tile.width <= image_width);
    return rectangle_sha256(rgba, image_width, tile.x, tile.y, tile.width, tile.height);
}

KnownImage known_image_of(const BenchmarkConfig& config, const std::uint8_t* rgba) {
    KnownImage known;
    known.config = config;
    known.image = image_sha256(rgba, config.width, config.height);
    for (const Tile& tile : plan_tiles(config)) known.tiles.push_back(tile_sha256(rgba, config.width, tile));
    return known;
}

}  // namespace vornmark
