#pragma once

#include <gtest/gtest.h>

#include "engine/render/vec3.h"

namespace vornmark {

// Each component of `a` within `tolerance` of the same component of `b`.
inline void expect_vec_near(const Vec3& a, const Vec3& b, double tolerance = 1e-12) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

}  // namespace vornmark
