#pragma once

#include <cstdint>

#include "engine/benchmark_config.h"
#include "engine/tile_plan.h"
#include "verify/known_image.h"
#include "verify/sha256.h"

namespace vornmark {

// Digests of the engine's RGBA image (rows top to bottom) taken over its RGB
// bytes only, 3 a pixel, row by row from the top: for the whole image exactly
// the bytes of a binary PPM after its header.
Sha256Digest image_sha256(const std::uint8_t* rgba, std::int32_t width, std::int32_t height);

// The same over one tile's rectangle of an image image_width pixels wide.
Sha256Digest tile_sha256(const std::uint8_t* rgba, std::int32_t image_width, const Tile& tile);

// The digests of an image rendered with config: the whole image's and, with
// config's tile plan, each tile's.
KnownImage known_image_of(const BenchmarkConfig& config, const std::uint8_t* rgba);

}  // namespace vornmark
