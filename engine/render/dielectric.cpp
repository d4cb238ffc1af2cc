#include "engine/render/dielectric.h"

#include <algorithm>
#include <cmath>

namespace vornmark {

Dielectric::Dielectric(double refraction_index_) : refraction_index(refraction_index_) {}

double schlick_reflectance(double cos_theta, double ri) {
    double r0 = (1.0 - ri) / (1.0 + ri);
    r0 = r0 * r0;
    // The fifth power by multiplication: glibc's pow picks a different code path on
    // processors with and without FMA, and its last bit may differ between them.
    const double q = 1.0 - cos_theta;
    const double q2 = q * q;
    return r0 + (1.0 - r0) * (q2 * q2 * q);
}

bool Dielectric::scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                         Rng& rng) const {
    attenuation = Vec3(1.0, 1.0, 1.0);
    const double ri = record.front_face ? 1.0 / refraction_index : refraction_index;

    const Vec3 u = unit(ray_in.direction);
    const double cos_theta = std::min(dot(-u, record.normal), 1.0);
    const double sin_theta = std::sqrt(1.0 - cos_theta * cos_theta);

    Vec3 direction;
    if (ri * sin_theta > 1.0) {
        // Total internal reflection: nothing is drawn.
        direction = reflect(u, record.normal);
    } else {
        const double reflectance = schlick_reflectance(cos_theta, ri);
        const double p = rng.next_unit();
        direction = reflectance > p ? reflect(u, record.normal) : refract(u, record.normal, ri);
    }
    scattered = Ray(record.point, direction);
    return true;
}

}  // namespace vornmark
