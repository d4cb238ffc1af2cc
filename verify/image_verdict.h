#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/benchmark_config.h"
#include "engine/tile_plan.h"
#include "verify/known_image.h"
#include "verify/sha256.h"

namespace vornmark {

enum class ImageStatus {
    Verified,   // a known image, identical to the known-good one
    Mismatch,   // a known image, but different: the run has no valid score
    Unchecked,  // a custom image: nothing to compare it with
};

struct WrongTile {
    std::int32_t index = 0;
    std::int32_t worker = -1;  // the pool worker that rendered it, -1 if unknown
};

struct ImageVerdict {
    ImageStatus status = ImageStatus::Unchecked;
    Sha256Digest sha256{};
    std::vector<WrongTile> wrong_tiles;  // in tile order; only for a mismatch
};

inline constexpr const char* verified_text = "Verified";
inline constexpr const char* mismatch_text = "Image mismatch: this machine computed a wrong image (unstable "
                                             "overclock, faulty memory or a broken build)";

// Checks a finished image (RGBA, config.width x config.height) rendered with the
// tile plan `plan` (each tile naming its worker) against the known image that
// config renders, if any. For a mismatch the wrong tiles are found by their own digests.
ImageVerdict verify_image(const BenchmarkConfig& config, const std::uint8_t* rgba,
                          const std::vector<Tile>& plan,
                          const std::vector<KnownImage>& known = built_in_known_images());

// "tile 17 (worker 1), tile 250 (worker 0)"; at most `limit` tiles, then "and N more".
std::string wrong_tiles_text(const std::vector<WrongTile>& tiles, std::size_t limit = 10);

}  // namespace vornmark
