#pragma once

#include <cstdint>

#include "engine/render/camera.h"
#include "engine/render/hittable.h"
#include "engine/render/ray.h"
#include "engine/render/rng.h"
#include "engine/render/vec3.h"

namespace vornmark {

// Linear radiance arriving along ray, following at most depth bounces.
Vec3 trace_ray(const Ray& ray, const Hittable& world, std::int32_t depth, Rng& rng);

// An RGBA image in memory: width x height pixels of 4 bytes (red, green, blue, alpha), rows of
// 4 * width bytes top to bottom, at least 4-byte aligned.
struct ImageBuffer {
    std::uint8_t* pixels;
    std::int32_t width;
    std::int32_t height;
};

// Columns x to x + width - 1 and rows y to y + height - 1 of an image.
struct PixelRect {
    std::int32_t x;
    std::int32_t y;
    std::int32_t width;
    std::int32_t height;
};

// The generator seed of the tile at `index` of a plan: index * 7919 + 42 in 32-bit unsigned
// arithmetic. Seeded by its index alone, a tile's pixels are the same whichever worker renders it,
// and whenever.
constexpr std::uint32_t tile_seed(std::int32_t index) {
    return static_cast<std::uint32_t>(index) * 7919u + 42u;
}

// Renders the pixels of `area` that lie inside `image` with `samples` samples per pixel, each
// path at most `max_depth` bounces, from a generator seeded with `seed`, and writes nothing else.
// Each pixel is one relaxed 32-bit atomic store, so readers may snapshot the buffer while tiles
// are rendered. Allocates nothing.
void render_tile(ImageBuffer image, PixelRect area, std::int32_t samples, std::int32_t max_depth,
                 const Camera& camera, const Hittable& world, std::uint32_t seed);

}  // namespace vornmark
