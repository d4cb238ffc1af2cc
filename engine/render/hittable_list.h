#pragma once

#include <memory>
#include <vector>

#include "engine/render/hittable.h"

namespace vornmark {

// Ordered list of shared objects; the nearest-hit query tests every one, in
// order, so ties go to the object added first.
class HittableList : public Hittable {
public:
    void add(std::shared_ptr<Hittable> object);

    KERNEL_CALL bool hit(const Ray& ray, Interval window, HitRecord& record) const override;

    std::vector<std::shared_ptr<Hittable>> objects;
};

}  // namespace vornmark
