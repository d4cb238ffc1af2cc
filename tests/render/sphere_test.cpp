#include "engine/render/sphere.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/render/lambertian.h"
#include "tests/support/vec_near.h"

namespace vornmark {

namespace {

std::shared_ptr<Material> grey() {
    return std::make_shared<Lambertian>(Vec3(0.5, 0.5, 0.5));
}

const Interval render_window(0.001, 1e30);

}  // namespace

TEST(Sphere, HitFromOutsideReportsEntryPoint) {
    const auto material = grey();
    const Sphere sphere(Vec3(0, 0, 5), 1.0, material);
    HitRecord record;
    ASSERT_TRUE(sphere.hit(Ray(Vec3(0, 0, 0), Vec3(0, 0, 1)), render_window, record));
    EXPECT_DOUBLE_EQ(record.t, 4.0);
    expect_vec_near(record.point, Vec3(0, 0, 4));
    expect_vec_near(record.normal, Vec3(0, 0, -1));
    EXPECT_TRUE(record.front_face);
    EXPECT_EQ(record.material, material);
}

TEST(Sphere, HitFromInsideReportsExitWithInwardNormal) {
    const Sphere sphere(Vec3(0, 0, 5), 1.0, grey());
    HitRecord record;
    ASSERT_TRUE(sphere.hit(Ray(Vec3(0, 0, 5), Vec3(0, 0, 1)), render_window, record));
    EXPECT_DOUBLE_EQ(record.t, 1.0);
    expect_vec_near(record.point, Vec3(0, 0, 6));
    expect_vec_near(record.normal, Vec3(0, 0, -1));
    EXPECT_FALSE(record.front_face);
}

TEST(Sphere, IntersectionAtOrBeforeWindowStartFallsBackToFarRoot) {
    const Sphere sphere(Vec3(0, 0, 5), 1.0, grey());
    HitRecord record;
    // Starts exactly on the surface: near root t = 0 is outside the window.
    ASSERT_TRUE(sphere.hit(Ray(Vec3(0, 0, 4), Vec3(0, 0, 1)), render_window, record));
    EXPECT_DOUBLE_EQ(record.t, 2.0);
    EXPECT_FALSE(record.front_face);
    // Near root at exactly 0.001.
    ASSERT_TRUE(sphere.hit(Ray(Vec3(0, 0, 3.999), Vec3(0, 0, 1)), render_window, record));
    EXPECT_NEAR(record.t, 2.001, 1e-12);
    // Both roots outside the window: a miss.
    EXPECT_FALSE(sphere.hit(Ray(Vec3(0, 0, 0), Vec3(0, 0, 1)), Interval(0.001, 3.5), record));
}

TEST(Sphere, TangentRayHitsAtTheSingleRoot) {
    const Sphere sphere(Vec3(0, 1, 5), 1.0, grey());
    HitRecord record;
    ASSERT_TRUE(sphere.hit(Ray(Vec3(0, 0, 0), Vec3(0, 0, 1)), render_window, record));
    EXPECT_DOUBLE_EQ(record.t, 5.0);
    expect_vec_near(record.point, Vec3(0, 0, 5));
}

TEST(Sphere, MissLeavesRecordUntouched) {
    const Sphere sphere(Vec3(0, 0, 5), 1.0, grey());
    const auto previous = grey();
    HitRecord record;
    record.point = Vec3(1, 2, 3);
    record.normal = Vec3(0, 1, 0);
    record.material = previous;
    record.t = 7.0;
    record.front_face = true;
    EXPECT_FALSE(sphere.hit(Ray(Vec3(0, 3, 0), Vec3(0, 0, 1)), render_window, record));
    EXPECT_FALSE(sphere.hit(Ray(Vec3(0, 0, 0), Vec3(0, 0, -1)), render_window, record));
    EXPECT_EQ(record.point.x, 1.0);
    EXPECT_EQ(record.normal.y, 1.0);
    EXPECT_EQ(record.material, previous);
    EXPECT_EQ(record.t, 7.0);
    EXPECT_TRUE(record.front_face);
}

TEST(Sphere, UnnormalisedDirectionScalesOnlyT) {
    const Sphere sphere(Vec3(1, 2, 9), 2.0, grey());
    const Vec3 direction(0.1, 0.25, 1.0);
    HitRecord unit_record;
    HitRecord long_record;
    ASSERT_TRUE(sphere.hit(Ray(Vec3(), unit(direction)), render_window, unit_record));
    ASSERT_TRUE(sphere.hit(Ray(Vec3(), direction * 3.0), render_window, long_record));
    expect_vec_near(long_record.point, unit_record.point, 1e-9);
    expect_vec_near(long_record.normal, unit_record.normal, 1e-9);
    EXPECT_NEAR(long_record.t * 3.0 * length(direction), unit_record.t, 1e-9);
}

TEST(Sphere, HitTakesAShareOfTheMaterialAndReleasesThePrevious) {
    const auto material = grey();
    const auto previous = grey();
    const Sphere sphere(Vec3(0, 0, 5), 1.0, material);
    EXPECT_EQ(material.use_count(), 2);
    {
        HitRecord record;
        record.material = previous;
        ASSERT_TRUE(sphere.hit(Ray(Vec3(), Vec3(0, 0, 1)), render_window, record));
        EXPECT_EQ(material.use_count(), 3);
        EXPECT_EQ(previous.use_count(), 1);
    }
    EXPECT_EQ(material.use_count(), 2);
}

}  // namespace vornmark
