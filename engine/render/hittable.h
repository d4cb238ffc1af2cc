#pragma once

#include <memory>

#include "engine/render/interval.h"
#include "engine/render/kernel_call.h"
#include "engine/render/ray.h"
#include "engine/render/vec3.h"

namespace vornmark {

class Material;

struct HitRecord {
    Vec3 point;
    Vec3 normal;  // unit, always against the incoming ray
    std::shared_ptr<Material> material;
    double t = 0.0;
    bool front_face = false;
};

// Anything a ray can hit.
class Hittable {
public:
    virtual ~Hittable() = default;

    // True when hit at some t with window.surrounds(t); record then holds the
    // nearest such hit. On false, record is left exactly as it was.
    KERNEL_CALL virtual bool hit(const Ray& ray, Interval window, HitRecord& record) const = 0;
};

}  // namespace vornmark
