#include "verify/image_verdict.h"

#include "verify/image_digest.h"

namespace vornmark {

ImageVerdict verify_image(const BenchmarkConfig& config, const std::uint8_t* rgba,
                          const std::vector<Tile>& plan, const std::vector<KnownImage>& known_images) {
    ImageVerdict verdict;
    verdict.sha256 = image_sha256(rgba, config.width, config.height);
    const KnownImage* reference = find_known_image(known_images, config);
    if (reference == nullptr) return verdict;
    if (verdict.sha256 == reference->image) {
        verdict.status = ImageStatus::Verified;
        return verdict;
    }
    verdict.status = ImageStatus::Mismatch;
    const std::vector<Sha256Digest>& known = reference->tiles;
    for (const Tile& tile : plan) {
        const auto index = static_cast<std::size_t>(tile.index);
        if (index >= known.size() || tile_sha256(rgba, config.width, tile) != known[index])
            verdict.wrong_tiles.push_back(WrongTile{tile.index, tile.worker});
    }
    return verdict;
}

std::string wrong_tiles_text(const std::vector<WrongTile>& tiles, std::size_t limit) {
    std::string text;
    for (std::size_t i = 0; i < tiles.size() && i < limit; ++i) {
        if (!text.empty()) text += ", ";
        text += "tile " + std::to_string(tiles[i].index);
        text +=
            tiles[i].worker >= 0 ? " (worker " + std::to_string(tiles[i].worker) + ")" : " (worker unknown)";
    }
    if (tiles.size() > limit) text += " and " + std::to_string(tiles.size() - limit) + " more";
    return text;
}

}  // namespace vornmark
