#include "engine/render/checker_board.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "engine/render/lambertian.h"

namespace vornmark {

namespace {

// Cell index of one coordinate. Values beyond the 32-bit range (and NaN) map to
// the lowest index instead of an undefined conversion.
std::int32_t cell_index(double scaled) {
    const double cell = std::floor(scaled);
    if (cell >= -2147483648.0 && cell < 2147483648.0) return static_cast<std::int32_t>(cell);
    return std::numeric_limits<std::int32_t>::min();
}

}  // namespace

CheckerBoard::CheckerBoard(const Vec3& even_albedo_, const Vec3& odd_albedo_, double scale_)
    : even_albedo(even_albedo_), odd_albedo(odd_albedo_), scale(scale_) {}

bool CheckerBoard::scatter(const Ray&, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                           Rng& rng) const {
    const std::int32_t ix = cell_index(scale * record.point.x);
    const std::int32_t iz = cell_index(scale * record.point.z);
    // Parity of the two's-complement sum, without signed overflow.
    const bool odd = ((static_cast<std::uint32_t>(ix) + static_cast<std::uint32_t>(iz)) & 1u) != 0;
    attenuation = odd ? odd_albedo : even_albedo;
    scattered = diffuse_scatter_ray(record, rng);
    return true;
}

}  // namespace vornmark
