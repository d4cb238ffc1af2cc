#include "engine/render/render_tile.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "base/check.h"
#include "engine/render/interval.h"
#include "engine/render/material.h"
#include "engine/render/vector_state.h"

namespace vornmark {

static_assert(std::endian::native == std::endian::little,
              "the packed pixel word must have the bytes R, G, B, A in memory order");

namespace {

Vec3 sky(const Ray& ray) {
    const double a = 0.5 * (unit(ray.direction).y + 1.0);
    return (1.0 - a) * Vec3(1.0, 1.0, 1.0) + a * Vec3(0.5, 0.7, 1.0);
}

// Gamma 2, clamped; NaN and non-positive values give 0.
std::uint32_t channel_byte(double channel, double scale) {
    static constexpr Interval intensity(0.0, 0.999);
    double v = channel * scale;
    v = v > 0.0 ? std::sqrt(v) : 0.0;
    v = intensity.clamp(v);
    return static_cast<std::uint32_t>(256.0 * v);
}

}  // namespace

Vec3 trace_ray(const Ray& ray, const Hittable& world, std::int32_t depth, Rng& rng) {
    if (depth <= 0) return Vec3(0.0, 0.0, 0.0);

    HitRecord record;
    if (!world.hit(ray, Interval(0.001, 1e30), record)) return sky(ray);

    const Material& material = *record.material;
    const Vec3 emitted = material.emitted();
    Vec3 attenuation(0.0, 0.0, 0.0);
    Ray scattered;
    if (material.scatter(ray, record, attenuation, scattered, rng))
        return emitted + attenuation * trace_ray(scattered, world, depth - 1, rng);
    return emitted;
}

void render_tile(ImageBuffer image, PixelRect area, std::int32_t samples, std::int32_t max_depth,
                 const Camera& camera, const Hittable& world, std::uint32_t seed) {
    // Each pixel is stored as one aligned 32-bit word.
    DCHECK(reinterpret_cast<std::uintptr_t>(image.pixels) % alignof(std::uint32_t) == 0);
    Rng rng(seed);
    std::uint8_t* const pixels = image.pixels;
    const std::int32_t width = image.width;

    // The rectangle is also cut to the image on the left and top, and its end
    // is computed without 32-bit overflow, so no call can write outside the
    // buffer.
    const std::int64_t x_end = std::min<std::int64_t>(width, std::int64_t{area.x} + area.width);
    const std::int64_t y_end = std::min<std::int64_t>(image.height, std::int64_t{area.y} + area.height);
    const std::int64_t x_begin = std::max<std::int64_t>(area.x, 0);
    const std::int64_t y_begin = std::max<std::int64_t>(area.y, 0);
    const double scale = samples > 0 ? 1.0 / static_cast<double>(samples) : 0.0;

    for (std::int64_t y = y_begin; y < y_end; ++y) {
        for (std::int64_t x = x_begin; x < x_end; ++x) {
            settle_vector_state();
            Vec3 sum(0.0, 0.0, 0.0);
            for (std::int32_t s = 0; s < samples; ++s) {
                const double oy = rng.next_unit() - 0.5;
                const double ox = rng.next_unit() - 0.5;
                const Ray ray = camera.ray_through(static_cast<double>(x) + ox, static_cast<double>(y) + oy);
                sum += trace_ray(ray, world, max_depth, rng);
            }

            const std::uint32_t word = channel_byte(sum.x, scale) | channel_byte(sum.y, scale) << 8 |
                                       channel_byte(sum.z, scale) << 16 | 255u << 24;
            const std::ptrdiff_t offset = 4 * (static_cast<std::ptrdiff_t>(y) * width + x);
            std::atomic_ref<std::uint32_t>(*reinterpret_cast<std::uint32_t*>(pixels + offset))
                .store(word, std::memory_order_relaxed);
        }
    }
}

}  // namespace vornmark
