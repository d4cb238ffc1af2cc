#pragma once

#include "engine/render/material.h"

namespace vornmark {

class Lambertian : public Material {
public:
    explicit Lambertian(const Vec3& albedo);

    bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                 Rng& rng) const override;

    const Vec3 albedo;
};

// The diffuse bounce shared by the diffuse materials: normal plus a random unit
// direction, falling back to the normal when the two nearly cancel.
Ray diffuse_scatter_ray(const HitRecord& record, Rng& rng);

}  // namespace vornmark
