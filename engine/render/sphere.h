#pragma once

#include <memory>

#include "engine/render/hittable.h"

namespace vornmark {

class Sphere : public Hittable {
public:
    Sphere(const Vec3& center, double radius, std::shared_ptr<Material> material);

    KERNEL_CALL bool hit(const Ray& ray, Interval window, HitRecord& record) const override;

    const Vec3 center;
    const double radius;  // stored as given: no clamping, no absolute value
    const std::shared_ptr<Material> material;

private:
    // The rest of the test once the ray is known to meet the sphere's surface: the roots, the
    // window and the record. Most rays miss most spheres, so hit() only rejects misses, in a short
    // leaf that needs few registers and saves none.
    [[gnu::noinline]] KERNEL_CALL bool finish_hit(const Ray& ray, Interval window, HitRecord& record, double a,
                                                  double h, double discriminant) const;
};

}  // namespace vornmark
