#pragma once

#include "engine/render/material.h"

namespace vornmark {

// Diffuse, with square columns parallel to the y axis in two colours.
class CheckerBoard : public Material {
public:
    CheckerBoard(const Vec3& even_albedo, const Vec3& odd_albedo, double scale);

    bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                 Rng& rng) const override;

    const Vec3 even_albedo;
    const Vec3 odd_albedo;
    const double scale;  // cells per scene unit
};

}  // namespace vornmark
