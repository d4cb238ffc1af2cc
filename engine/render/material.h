#pragma once

#include "engine/render/hittable.h"
#include "engine/render/ray.h"
#include "engine/render/rng.h"
#include "engine/render/vec3.h"

// Immutable after construction; shared by many spheres and threads.
class Material {
public:
    virtual ~Material() = default;

    // True: light arriving along scattered, times attenuation, reaches ray_in.
    // False: absorbed here.
    virtual bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                         Rng& rng) const = 0;

    virtual Vec3 emitted() const { return Vec3(0.0, 0.0, 0.0); }
};
