#pragma once

#include "engine/render/material.h"

namespace vornmark {

// Glass: absorbs nothing, reflects or refracts.
class Dielectric : public Material {
public:
    explicit Dielectric(double refraction_index);

    bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                 Rng& rng) const override;

    const double refraction_index;
};

// Schlick's approximation of the reflectance at cos_theta for the index ratio ri.
double schlick_reflectance(double cos_theta, double ri);

}  // namespace vornmark
