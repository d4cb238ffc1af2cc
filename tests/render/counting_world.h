#pragma once

#include "engine/render/hittable.h"

namespace vornmark {

// A world that nothing hits and that counts how often it was asked.
struct CountingWorld : Hittable {
    KERNEL_CALL bool hit(const Ray& ray, Interval window, HitRecord& record) const override;
    mutable int queries = 0;
};

}  // namespace vornmark
