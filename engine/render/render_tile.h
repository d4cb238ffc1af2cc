#pragma once

#include <cstdint>

#include "engine/render/camera.h"
#include "engine/render/hittable.h"
#include "engine/render/ray.h"
#include "engine/render/rng.h"
#include "engine/render/vec3.h"

// Linear radiance arriving along ray, following at most depth bounces.
Vec3 trace_ray(const Ray& ray, const Hittable& world, std::int32_t depth, Rng& rng);

// Renders the pixels x0 <= x < min(width, x0 + tile_width),
// y0 <= y < min(height, y0 + tile_height) of the RGBA buffer `pixels` (rows of
// 4 * width bytes, at least 4-byte aligned) and writes nothing else. Each pixel
// is one relaxed 32-bit atomic store, so readers may snapshot the buffer while
// tiles are rendered. Allocates nothing.
void render_tile(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t x0,
                 std::int32_t y0, std::int32_t tile_width, std::int32_t tile_height, std::int32_t samples,
                 std::int32_t max_depth, const Camera& camera, const Hittable& world, std::uint32_t seed);
