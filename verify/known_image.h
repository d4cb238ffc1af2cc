#pragma once

#include <vector>

#include "engine/benchmark_config.h"
#include "verify/sha256.h"

namespace vornmark {

// The known-good digests of one image: the whole image's and each tile's, in tile order.
struct KnownImage {
    BenchmarkConfig config{};  // threads is ignored: the image does not depend on the workers
    Sha256Digest image{};
    std::vector<Sha256Digest> tiles;

    // True when config renders this image (every setting but threads equal).
    bool rendered_by(const BenchmarkConfig& other) const {
        return other.samples == config.samples && other.max_depth == config.max_depth &&
               other.tile_size == config.tile_size && other.width == config.width &&
               other.height == config.height;
    }
};

// The images this program knows: the preset's.
const std::vector<KnownImage>& built_in_known_images();

// The entry of `known` that config renders, or null.
const KnownImage* find_known_image(const std::vector<KnownImage>& known, const BenchmarkConfig& config);

}  // namespace vornmark
