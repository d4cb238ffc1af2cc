#include "engine/render/metal.h"

#include <algorithm>

namespace vornmark {

Metal::Metal(const Vec3& albedo_, double fuzz_) : albedo(albedo_), fuzz(std::min(fuzz_, 1.0)) {}

bool Metal::scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                    Rng& rng) const {
    const Vec3 reflected = reflect(unit(ray_in.direction), record.normal);
    // Drawn on every call, also at fuzz 0, so the random sequence does not
    // depend on the material's parameters.
    const Vec3 jitter = rng.random_unit_direction();
    const Vec3 direction = unit(reflected) + fuzz * jitter;
    scattered = Ray(record.point, direction);
    attenuation = albedo;
    return dot(direction, record.normal) > 0.0;
}

}  // namespace vornmark
