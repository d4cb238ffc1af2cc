#include "engine/render/lambertian.h"

namespace vornmark {

Lambertian::Lambertian(const Vec3& albedo_) : albedo(albedo_) {}

Ray diffuse_scatter_ray(const HitRecord& record, Rng& rng) {
    Vec3 direction = record.normal + rng.random_unit_direction();
    if (is_near_zero(direction)) direction = record.normal;
    return Ray(record.point, direction);
}

bool Lambertian::scatter(const Ray&, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                         Rng& rng) const {
    scattered = diffuse_scatter_ray(record, rng);
    attenuation = albedo;
    return true;
}

}  // namespace vornmark
