#include "engine/render/benchmark_scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <utility>

#include "engine/render/checker_board.h"
#include "engine/render/dielectric.h"
#include "engine/render/emissive.h"
#include "engine/render/lambertian.h"
#include "engine/render/metal.h"
#include "engine/render/sphere.h"

namespace vornmark {

namespace {

const Sphere& sphere_at(const BenchmarkScene& scene, std::size_t index) {
    return dynamic_cast<const Sphere&>(*scene.world.objects.at(index));
}

template <typename M>
const M* material_as(const Sphere& sphere) {
    return dynamic_cast<const M*>(sphere.material.get());
}

constexpr std::size_t small_begin = 1;
constexpr std::size_t small_end = 478;

}  // namespace

TEST(BenchmarkScene, HoldsGroundSmallSpheresAndFourFixedSpheres) {
    const BenchmarkScene scene = build_benchmark_scene();
    ASSERT_EQ(scene.world.objects.size(), 482u);

    const Sphere& ground = sphere_at(scene, 0);
    EXPECT_EQ(ground.center.y, -1000.0);
    EXPECT_EQ(ground.radius, 1000.0);
    const auto* checker = material_as<CheckerBoard>(ground);
    ASSERT_NE(checker, nullptr);
    EXPECT_EQ(checker->even_albedo.x, 0.9);
    EXPECT_EQ(checker->odd_albedo.x, 0.2);
    EXPECT_EQ(checker->scale, 1.0);

    int diffuse = 0, metal = 0, glass = 0;
    for (std::size_t i = small_begin; i < small_end; ++i) {
        const Sphere& sphere = sphere_at(scene, i);
        EXPECT_EQ(sphere.radius, 0.2);
        EXPECT_EQ(sphere.center.y, 0.2);
        diffuse += material_as<Lambertian>(sphere) != nullptr;
        metal += material_as<Metal>(sphere) != nullptr;
        glass += material_as<Dielectric>(sphere) != nullptr;
    }
    EXPECT_EQ(diffuse, 303);
    EXPECT_EQ(metal, 102);
    EXPECT_EQ(glass, 72);

    const Sphere& big_glass = sphere_at(scene, 478);
    EXPECT_EQ(big_glass.center.y, 1.0);
    ASSERT_NE(material_as<Dielectric>(big_glass), nullptr);
    EXPECT_EQ(material_as<Dielectric>(big_glass)->refraction_index, 1.5);
    const Sphere& big_diffuse = sphere_at(scene, 479);
    EXPECT_EQ(big_diffuse.center.x, -4.0);
    ASSERT_NE(material_as<Lambertian>(big_diffuse), nullptr);
    EXPECT_EQ(material_as<Lambertian>(big_diffuse)->albedo.y, 0.2);
    const Sphere& mirror = sphere_at(scene, 480);
    EXPECT_EQ(mirror.center.x, 4.0);
    ASSERT_NE(material_as<Metal>(mirror), nullptr);
    EXPECT_EQ(material_as<Metal>(mirror)->fuzz, 0.0);
    const Sphere& light = sphere_at(scene, 481);
    EXPECT_EQ(light.radius, 0.5);
    EXPECT_EQ(light.center.y, 3.5);
    ASSERT_NE(material_as<Emissive>(light), nullptr);
    EXPECT_EQ(material_as<Emissive>(light)->emission.x, 4.0);
}

TEST(BenchmarkScene, FirstSmallSphereIsTheKnownMetalAndLastIsGlass) {
    const BenchmarkScene scene = build_benchmark_scene();
    const Sphere& first = sphere_at(scene, small_begin);
    EXPECT_NEAR(first.center.x, -10.2982781021486, 1e-12);
    EXPECT_NEAR(first.center.z, -10.8349086908960, 1e-12);
    const auto* metal = material_as<Metal>(first);
    ASSERT_NE(metal, nullptr);
    EXPECT_NEAR(metal->albedo.x, 0.549987460271920, 1e-12);
    EXPECT_NEAR(metal->albedo.y, 0.722916378774217, 1e-12);
    EXPECT_NEAR(metal->albedo.z, 0.798425080790028, 1e-12);
    EXPECT_NEAR(metal->fuzz, 0.229624443927091, 1e-12);

    const Sphere& last = sphere_at(scene, small_end - 1);
    EXPECT_EQ(std::floor(last.center.x), 10.0);
    EXPECT_EQ(std::floor(last.center.z), 10.0);
    EXPECT_NE(material_as<Dielectric>(last), nullptr);
}

TEST(BenchmarkScene, SkipsTheSevenCandidatesNearTheLargeSpheres) {
    const BenchmarkScene scene = build_benchmark_scene();
    // A candidate (a, b) lies in [a, a + 0.9) x [b, b + 0.9), so its cell names it.
    std::set<std::pair<int, int>> present;
    for (std::size_t i = small_begin; i < small_end; ++i) {
        const Sphere& sphere = sphere_at(scene, i);
        present.emplace(static_cast<int>(std::floor(sphere.center.x)),
                        static_cast<int>(std::floor(sphere.center.z)));
        for (double large_x : {-4.0, 0.0, 4.0})
            EXPECT_GT(std::hypot(sphere.center.x - large_x, sphere.center.z), 0.9);
    }
    std::set<std::pair<int, int>> skipped;
    for (int a = -11; a < 11; ++a)
        for (int b = -11; b < 11; ++b)
            if (!present.contains({a, b})) skipped.emplace(a, b);
    const std::set<std::pair<int, int>> expected = {{-5, 0}, {-4, 0}, {-1, -1}, {-1, 0},
                                                    {3, -1}, {3, 0},  {4, 0}};
    EXPECT_EQ(skipped, expected);
}

TEST(BenchmarkScene, EverySphereOwnsItsMaterial) {
    const BenchmarkScene scene = build_benchmark_scene();
    for (const auto& object : scene.world.objects) {
        EXPECT_EQ(object.use_count(), 1);
        EXPECT_EQ(dynamic_cast<const Sphere&>(*object).material.use_count(), 1);
    }
}

TEST(BenchmarkScene, TwoBuildsAreIdentical) {
    const BenchmarkScene a = build_benchmark_scene();
    const BenchmarkScene b = build_benchmark_scene();
    ASSERT_EQ(a.world.objects.size(), b.world.objects.size());
    for (std::size_t i = 0; i < a.world.objects.size(); ++i) {
        const Sphere& sa = sphere_at(a, i);
        const Sphere& sb = sphere_at(b, i);
        EXPECT_EQ(sa.center.x, sb.center.x);
        EXPECT_EQ(sa.center.z, sb.center.z);
        EXPECT_EQ(sa.radius, sb.radius);
        if (const auto* la = material_as<Lambertian>(sa)) {
            ASSERT_NE(material_as<Lambertian>(sb), nullptr);
            EXPECT_EQ(la->albedo.x, material_as<Lambertian>(sb)->albedo.x);
            EXPECT_EQ(la->albedo.z, material_as<Lambertian>(sb)->albedo.z);
        } else if (const auto* ma = material_as<Metal>(sa)) {
            ASSERT_NE(material_as<Metal>(sb), nullptr);
            EXPECT_EQ(ma->albedo.y, material_as<Metal>(sb)->albedo.y);
            EXPECT_EQ(ma->fuzz, material_as<Metal>(sb)->fuzz);
        }
    }
    EXPECT_EQ(a.camera.first_pixel.x, b.camera.first_pixel.x);
}

TEST(BenchmarkScene, CameraIsPreparedForTheFullImage) {
    const BenchmarkScene scene = build_benchmark_scene();
    EXPECT_EQ(scene.camera.image_width, 1920);
    EXPECT_EQ(scene.camera.image_height, 1080);
    // Centre of the image looks at the target.
    const Ray centre = scene.camera.ray_through(959.5, 539.5);
    const Vec3 towards_target = unit(Vec3(-13, -2, -3));
    const Vec3 direction = unit(centre.direction);
    EXPECT_NEAR(direction.x, towards_target.x, 1e-12);
    EXPECT_NEAR(direction.y, towards_target.y, 1e-12);
    EXPECT_NEAR(direction.z, towards_target.z, 1e-12);
}

}  // namespace vornmark
