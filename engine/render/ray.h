#pragma once

#include "engine/render/vec3.h"

namespace vornmark {

// The direction is never normalised by the ray itself.
struct Ray {
    Vec3 origin;
    Vec3 direction;

    constexpr Ray() = default;
    constexpr Ray(const Vec3& origin_, const Vec3& direction_) : origin(origin_), direction(direction_) {}

    Vec3 at(double t) const { return origin + t * direction; }
};

}  // namespace vornmark
