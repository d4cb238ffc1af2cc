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
};
