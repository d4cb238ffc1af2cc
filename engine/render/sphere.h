#pragma once

#include <memory>

#include "engine/render/hittable.h"

class Sphere : public Hittable {
public:
    Sphere(const Vec3& center, double radius, std::shared_ptr<Material> material);

    bool hit(const Ray& ray, Interval window, HitRecord& record) const override;

    const Vec3 center;
    const double radius;  // stored as given: no clamping, no absolute value
    const std::shared_ptr<Material> material;

private:
    // The rest of the test once the ray is known to meet the sphere's surface: the roots, the
    // window and the record. Most rays miss most spheres, so hit() only rejects misses, in a short
    // leaf that needs few registers; on Windows, whose calling convention makes a function that
    // uses more than six vector registers save and restore the rest, most of that saving then
    // happens on hits only. The window comes as two numbers: on Windows an Interval passed on is
    // a copy in memory, which the compiler would make on the miss path too.
    [[gnu::noinline]] bool finish_hit(const Ray& ray, HitRecord& record, double window_min,
                                      double window_max, double a, double h, double discriminant) const;
};
