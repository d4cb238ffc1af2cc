#pragma once

#include "engine/render/material.h"

namespace vornmark {

class Metal : public Material {
public:
    // Stores min(fuzz, 1).
    Metal(const Vec3& albedo, double fuzz);

    bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                 Rng& rng) const override;

    const Vec3 albedo;
    const double fuzz;
};

}  // namespace vornmark
