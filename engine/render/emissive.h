#pragma once

#include "engine/render/material.h"

namespace vornmark {

// A light: scatters nothing, emits a constant radiance.
class Emissive : public Material {
public:
    explicit Emissive(const Vec3& emission);

    bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                 Rng& rng) const override;
    Vec3 emitted() const override;

    const Vec3 emission;
};

}  // namespace vornmark
