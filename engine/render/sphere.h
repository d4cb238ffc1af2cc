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
    // The part of hit() after the ray has been found to meet the sphere's surface: the roots, the
    // window and the record. Most rays miss most spheres, so hit() itself stays a short leaf that
    // needs few registers; on Windows, whose calling convention makes a function that uses many
    // vector registers save and restore them, that saving then happens on hits only.
    [[gnu::noinline]] bool finish_hit(const Ray& ray, Interval window, HitRecord& record, double a, double h,
                                      double discriminant) const;
};
