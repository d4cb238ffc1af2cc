#include "engine/render/vec3.h"

#include <gtest/gtest.h>

#include "engine/render/interval.h"
#include "tests/support/vec_near.h"

namespace vornmark {

TEST(Vec3, DivisionIsMultiplicationByReciprocal) {
    const Vec3 v(1.0, 2.0, 3.0);
    const double s = 3.0;  // 1/3 is inexact, so the two forms differ somewhere
    const Vec3 q = v / s;
    EXPECT_EQ(q.x, 1.0 * (1.0 / 3.0));
    EXPECT_EQ(q.y, 2.0 * (1.0 / 3.0));
    EXPECT_EQ(q.z, 3.0 * (1.0 / 3.0));
}

TEST(Vec3, CrossAndDotFollowTheRightHandRule) {
    const Vec3 c = cross(Vec3(1, 0, 0), Vec3(0, 1, 0));
    EXPECT_EQ(c.x, 0.0);
    EXPECT_EQ(c.y, 0.0);
    EXPECT_EQ(c.z, 1.0);
    EXPECT_EQ(dot(Vec3(1, 2, 3), Vec3(4, -5, 6)), 12.0);
    EXPECT_EQ(length(Vec3(3, 4, 12)), 13.0);
    const Vec3 p = Vec3(1, 2, 3) * Vec3(2, 3, 4);
    EXPECT_EQ(p.x, 2.0);
    EXPECT_EQ(p.y, 6.0);
    EXPECT_EQ(p.z, 12.0);
}

TEST(Vec3, IsNearZeroIsStrictlyBelowOneHundredMillionth) {
    EXPECT_FALSE(is_near_zero(Vec3(1e-8, 0, 0)));
    EXPECT_FALSE(is_near_zero(Vec3(0, 0, -1e-8)));
    EXPECT_TRUE(is_near_zero(Vec3(9.9e-9, -9.9e-9, 0)));
    EXPECT_TRUE(is_near_zero(Vec3()));
}

TEST(Vec3, ReflectMirrorsAboutTheNormal) {
    expect_vec_near(reflect(Vec3(1, -1, 0), Vec3(0, 1, 0)), Vec3(1, 1, 0));
}

TEST(Vec3, RefractHeadOnPassesStraightThrough) {
    const Vec3 n = unit(Vec3(1, 2, -2));
    for (double ratio : {1.0 / 1.5, 1.0, 1.5, 3.0}) {
        SCOPED_TRACE(ratio);
        expect_vec_near(refract(-n, n, ratio), -n);
    }
}

TEST(Vec3, RefractBendsTowardsTheNormalEnteringDenserMedium) {
    const Vec3 n(0, 1, 0);
    const Vec3 in = unit(Vec3(1, -1, 0));
    const Vec3 out = refract(in, n, 1.0 / 1.5);
    EXPECT_NEAR(length(out), 1.0, 1e-12);
    // Snell: sin(out) = sin(in) / 1.5
    EXPECT_NEAR(out.x, in.x / 1.5, 1e-12);
    EXPECT_LT(out.y, 0.0);
}

TEST(Interval, SurroundsIsStrictAtBothEnds) {
    const Interval window(0.001, 1e30);
    EXPECT_FALSE(window.surrounds(0.001));
    EXPECT_TRUE(window.surrounds(0.0011));
    EXPECT_FALSE(window.surrounds(1e30));
    EXPECT_FALSE(window.surrounds(0.0));
}

TEST(Interval, ClampKeepsValuesInsideTheClosedRange) {
    const Interval range(0.0, 0.999);
    EXPECT_EQ(range.clamp(-0.5), 0.0);
    EXPECT_EQ(range.clamp(0.5), 0.5);
    EXPECT_EQ(range.clamp(0.999), 0.999);
    EXPECT_EQ(range.clamp(2.0), 0.999);
}

}  // namespace vornmark
