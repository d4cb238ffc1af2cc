#pragma once

#include <cstdint>

#include "engine/render/hittable.h"

namespace vornmark {

// A world as the kernel sees it that counts the rays traced into it and answers as `world` does:
// trace_ray asks the world for the nearest hit exactly once per ray. Rendering through it leaves
// the image as it is. One per thread: the count is a plain integer.
class CountingWorld : public Hittable {
public:
    explicit CountingWorld(const Hittable& world) : world_(world) {}

    KERNEL_CALL bool hit(const Ray& ray, Interval window, HitRecord& record) const override;

    mutable std::uint64_t rays = 0;

private:
    const Hittable& world_;
};

}  // namespace vornmark
