#pragma once

#include "engine/render/hittable.h"
#include "engine/render/ray.h"
#include "engine/render/rng.h"
#include "engine/render/vec3.h"

namespace vornmark {

// Immutable after construction; shared by many spheres and threads.
// Every hit changes a material's reference count from whichever thread made it.
// A cache line of its own keeps the material's read-only fields apart from that
// count (which make_shared places just in front of the object), so that the
// workers do not evict each other's copies of them on every hit.
class alignas(64) Material {
public:
    virtual ~Material() = default;

    // True: light arriving along scattered, times attenuation, reaches ray_in.
    // False: absorbed here.
    virtual bool scatter(const Ray& ray_in, const HitRecord& record, Vec3& attenuation, Ray& scattered,
                         Rng& rng) const = 0;

    virtual Vec3 emitted() const { return Vec3(0.0, 0.0, 0.0); }
};

}  // namespace vornmark
