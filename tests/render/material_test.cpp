#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/render/checker_board.h"
#include "engine/render/dielectric.h"
#include "engine/render/emissive.h"
#include "engine/render/lambertian.h"
#include "engine/render/metal.h"
#include "tests/support/vec_near.h"

namespace vornmark {

namespace {

void expect_vec_eq(const Vec3& a, const Vec3& b) {
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);
    EXPECT_EQ(a.z, b.z);
}

HitRecord record_at(const Vec3& point, const Vec3& normal, bool front_face = true) {
    HitRecord record;
    record.point = point;
    record.normal = normal;
    record.t = 1.0;
    record.front_face = front_face;
    return record;
}

// True when both generators will give the same next output.
bool in_step(Rng a, Rng b) {
    return a.next_u32() == b.next_u32() && a.next_u32() == b.next_u32();
}

}  // namespace

TEST(Lambertian, ScattersAroundTheNormalWithItsAlbedo) {
    const Lambertian material(Vec3(0.1, 0.2, 0.3));
    const HitRecord record = record_at(Vec3(1, 2, 3), Vec3(0, 1, 0));
    Rng rng(8);
    Rng twin(8);
    Vec3 attenuation;
    Ray scattered;
    ASSERT_TRUE(material.scatter(Ray(), record, attenuation, scattered, rng));
    expect_vec_eq(attenuation, Vec3(0.1, 0.2, 0.3));
    expect_vec_eq(scattered.origin, Vec3(1, 2, 3));
    expect_vec_eq(scattered.direction, Vec3(0, 1, 0) + twin.random_unit_direction());
    EXPECT_TRUE(in_step(rng, twin));
}

TEST(Lambertian, DirectionCancellingTheNormalFallsBackToTheNormal) {
    Rng rng(21);
    Rng twin = rng;
    const Vec3 normal = -twin.random_unit_direction();
    const Lambertian material(Vec3(0.5, 0.5, 0.5));
    Vec3 attenuation;
    Ray scattered;
    ASSERT_TRUE(material.scatter(Ray(), record_at(Vec3(), normal), attenuation, scattered, rng));
    expect_vec_eq(scattered.direction, normal);
}

TEST(CheckerBoard, ColourFollowsCellParityInXAndZOnly) {
    const Vec3 even(0.9, 0.9, 0.9);
    const Vec3 odd(0.2, 0.2, 0.2);
    const CheckerBoard material(even, odd, 1.0);
    Rng rng(3);
    Vec3 attenuation;
    Ray scattered;
    const auto colour_at = [&](const Vec3& point) {
        EXPECT_TRUE(material.scatter(Ray(), record_at(point, Vec3(0, 1, 0)), attenuation, scattered, rng));
        return attenuation;
    };
    for (double y : {-1000.0, 0.0, 0.3, 57.0}) {
        SCOPED_TRACE(y);
        expect_vec_eq(colour_at(Vec3(0.5, y, 0.5)), even);
        expect_vec_eq(colour_at(Vec3(1.5, y, 0.5)), odd);
        expect_vec_eq(colour_at(Vec3(-0.5, y, 0.5)), odd);
        expect_vec_eq(colour_at(Vec3(-0.5, y, -0.5)), even);
        expect_vec_eq(colour_at(Vec3(0.5, y, 2.5)), even);
    }
    const CheckerBoard fine(even, odd, 4.0);
    Vec3 fine_attenuation;
    fine.scatter(Ray(), record_at(Vec3(0.3, 0, 0.1), Vec3(0, 1, 0)), fine_attenuation, scattered, rng);
    expect_vec_eq(fine_attenuation, odd);  // cells (1, 0)
}

TEST(CheckerBoard, HugeCoordinatesAreHandledWithoutOverflow) {
    const CheckerBoard material(Vec3(1, 1, 1), Vec3(0, 0, 0), 1.0);
    Rng rng(3);
    Vec3 attenuation;
    Ray scattered;
    EXPECT_TRUE(material.scatter(Ray(), record_at(Vec3(1e300, 0, -1e300), Vec3(0, 1, 0)), attenuation,
                                 scattered, rng));
    EXPECT_TRUE(material.scatter(Ray(), record_at(Vec3(NAN, 0, 2147483647.5), Vec3(0, 1, 0)), attenuation,
                                 scattered, rng));
}

TEST(CheckerBoard, DrawsLikeLambertian) {
    const CheckerBoard checker(Vec3(1, 1, 1), Vec3(0, 0, 0), 1.0);
    const Lambertian diffuse(Vec3(1, 1, 1));
    const HitRecord record = record_at(Vec3(0.5, 0, 0.5), unit(Vec3(0.2, 1, 0)));
    Rng rng(17);
    Rng twin(17);
    Vec3 attenuation;
    Ray a;
    Ray b;
    checker.scatter(Ray(), record, attenuation, a, rng);
    diffuse.scatter(Ray(), record, attenuation, b, twin);
    expect_vec_eq(a.direction, b.direction);
    EXPECT_TRUE(in_step(rng, twin));
}

TEST(Metal, FuzzIsClampedToOne) {
    EXPECT_EQ(Metal(Vec3(1, 1, 1), 2.0).fuzz, 1.0);
    EXPECT_EQ(Metal(Vec3(1, 1, 1), 0.3).fuzz, 0.3);
}

TEST(Metal, ZeroFuzzReflectsExactlyButStillDrawsADirection) {
    const Metal mirror(Vec3(0.7, 0.6, 0.5), 0.0);
    Rng rng(11);
    Rng twin(11);
    Vec3 attenuation;
    Ray scattered;
    const Ray in(Vec3(-1, 1, 0), Vec3(2, -2, 0));
    ASSERT_TRUE(mirror.scatter(in, record_at(Vec3(0, 0, 0), Vec3(0, 1, 0)), attenuation, scattered, rng));
    expect_vec_near(scattered.direction, unit(Vec3(1, 1, 0)));
    expect_vec_eq(attenuation, Vec3(0.7, 0.6, 0.5));
    twin.random_unit_direction();
    EXPECT_TRUE(in_step(rng, twin));
}

TEST(Metal, PerturbationIntoTheSurfaceIsAbsorbed) {
    // A grazing ray: the mirror direction lies in the surface, so the jitter's
    // sign alone decides.
    const Metal rough(Vec3(0.8, 0.8, 0.8), 1.0);
    const Vec3 normal(0, 1, 0);
    int absorbed = 0;
    int scattered_count = 0;
    for (std::uint32_t seed = 0; seed < 32; ++seed) {
        Rng rng(seed);
        Rng twin(seed);
        const Vec3 jitter = twin.random_unit_direction();
        Vec3 attenuation;
        Ray scattered;
        const bool result =
            rough.scatter(Ray(Vec3(), Vec3(1, 0, 0)), record_at(Vec3(), normal), attenuation, scattered, rng);
        EXPECT_EQ(result, jitter.y > 0.0);
        expect_vec_eq(attenuation, Vec3(0.8, 0.8, 0.8));  // filled either way
        expect_vec_near(scattered.direction, Vec3(1, 0, 0) + jitter);
        (result ? scattered_count : absorbed)++;
    }
    EXPECT_GT(absorbed, 0);
    EXPECT_GT(scattered_count, 0);
}

TEST(Dielectric, NormalIncidenceReflectsFourPercentFromEitherSide) {
    EXPECT_NEAR(schlick_reflectance(1.0, 1.0 / 1.5), 0.04, 1e-15);
    EXPECT_NEAR(schlick_reflectance(1.0, 1.5), 0.04, 1e-15);
}

TEST(Dielectric, ReflectsWhenReflectanceExceedsTheDraw) {
    const Dielectric glass(1.5);
    const Vec3 normal(0, 1, 0);
    int reflected = 0;
    for (std::uint32_t seed = 0; seed < 200; ++seed) {
        Rng rng(seed);
        Rng twin(seed);
        const double p = twin.next_unit();
        Vec3 attenuation;
        Ray scattered;
        ASSERT_TRUE(glass.scatter(Ray(Vec3(0, 1, 0), Vec3(0, -1, 0)), record_at(Vec3(), normal), attenuation,
                                  scattered, rng));
        expect_vec_eq(attenuation, Vec3(1, 1, 1));
        const bool reflects = schlick_reflectance(1.0, 1.0 / 1.5) > p;
        expect_vec_near(scattered.direction, reflects ? Vec3(0, 1, 0) : Vec3(0, -1, 0));
        EXPECT_TRUE(in_step(rng, twin));
        reflected += reflects;
    }
    EXPECT_GT(reflected, 0);
}

TEST(Dielectric, TotalInternalReflectionDrawsNothing) {
    const Dielectric glass(1.5);
    // Leaving the glass at 60 degrees from the normal: sin = 0.866 > 1 / 1.5.
    const Vec3 normal(0, -1, 0);  // against the ray, inside the glass
    const Vec3 in = Vec3(std::sin(std::numbers::pi / 3), std::cos(std::numbers::pi / 3), 0);
    Rng rng(4);
    const Rng before = rng;
    Vec3 attenuation;
    Ray scattered;
    ASSERT_TRUE(
        glass.scatter(Ray(Vec3(), in), record_at(Vec3(), normal, false), attenuation, scattered, rng));
    expect_vec_near(scattered.direction, reflect(in, normal));
    EXPECT_TRUE(in_step(rng, before));
}

TEST(Emissive, AbsorbsDrawsNothingAndLeavesOutputsUntouched) {
    const Emissive light(Vec3(4, 2, 0.5));
    Rng rng(1);
    const Rng before = rng;
    Vec3 attenuation(7, 7, 7);
    Ray scattered(Vec3(1, 1, 1), Vec3(2, 2, 2));
    EXPECT_FALSE(light.scatter(Ray(), record_at(Vec3(), Vec3(0, 1, 0)), attenuation, scattered, rng));
    expect_vec_eq(attenuation, Vec3(7, 7, 7));
    expect_vec_eq(scattered.origin, Vec3(1, 1, 1));
    expect_vec_eq(scattered.direction, Vec3(2, 2, 2));
    EXPECT_TRUE(in_step(rng, before));
    expect_vec_eq(light.emitted(), Vec3(4, 2, 0.5));
}

TEST(Material, OnlyEmissiveEmits) {
    expect_vec_eq(Lambertian(Vec3(1, 1, 1)).emitted(), Vec3());
    expect_vec_eq(CheckerBoard(Vec3(1, 1, 1), Vec3(1, 1, 1), 1).emitted(), Vec3());
    expect_vec_eq(Metal(Vec3(1, 1, 1), 0).emitted(), Vec3());
    expect_vec_eq(Dielectric(1.5).emitted(), Vec3());
}

}  // namespace vornmark
