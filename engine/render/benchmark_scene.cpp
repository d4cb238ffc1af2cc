#include "engine/render/benchmark_scene.h"

#include <memory>

#include "base/preset.h"
#include "engine/render/checker_board.h"
#include "engine/render/dielectric.h"
#include "engine/render/emissive.h"
#include "engine/render/lambertian.h"
#include "engine/render/metal.h"
#include "engine/render/rng.h"
#include "engine/render/sphere.h"

namespace vornmark {

namespace {

// Small spheres keep this far, horizontally, from the three large ones.
bool too_close_to_large_spheres(const Vec3& center) {
    const Vec3 large_centers[] = {Vec3(4.0, 0.2, 0.0), Vec3(0.0, 0.2, 0.0), Vec3(-4.0, 0.2, 0.0)};
    for (const Vec3& large : large_centers)
        if (length(center - large) <= 0.9) return true;
    return false;
}

std::shared_ptr<Material> small_sphere_material(double choose, Rng& rng) {
    if (choose < 0.65) {
        const double u1 = rng.next_unit();
        const double u2 = rng.next_unit();
        const double u3 = rng.next_unit();
        const double u4 = rng.next_unit();
        const double u5 = rng.next_unit();
        const double u6 = rng.next_unit();
        return std::make_shared<Lambertian>(Vec3(u3 * u6, u2 * u5, u1 * u4));
    }
    if (choose < 0.85) {
        const double m1 = rng.next_in_range(0.5, 1.0);
        const double m2 = rng.next_in_range(0.5, 1.0);
        const double m3 = rng.next_in_range(0.5, 1.0);
        const double f = rng.next_in_range(0.0, 0.5);
        return std::make_shared<Metal>(Vec3(m3, m2, m1), f);
    }
    return std::make_shared<Dielectric>(1.5);
}

}  // namespace

BenchmarkScene build_benchmark_scene() {
    BenchmarkScene scene;

    auto ground = std::make_shared<CheckerBoard>(Vec3(0.9, 0.9, 0.9), Vec3(0.2, 0.2, 0.2), 1.0);
    scene.world.add(std::make_shared<Sphere>(Vec3(0.0, -1000.0, 0.0), 1000.0, ground));

    Rng rng(42);
    for (int a = -11; a < 11; ++a) {
        for (int b = -11; b < 11; ++b) {
            const double choose = rng.next_unit();
            const double cz = b + 0.9 * rng.next_unit();
            const double cx = a + 0.9 * rng.next_unit();
            const Vec3 center(cx, 0.2, cz);
            if (too_close_to_large_spheres(center)) continue;
            scene.world.add(std::make_shared<Sphere>(center, 0.2, small_sphere_material(choose, rng)));
        }
    }

    scene.world.add(std::make_shared<Sphere>(Vec3(0.0, 1.0, 0.0), 1.0, std::make_shared<Dielectric>(1.5)));
    scene.world.add(std::make_shared<Sphere>(Vec3(-4.0, 1.0, 0.0), 1.0,
                                             std::make_shared<Lambertian>(Vec3(0.4, 0.2, 0.1))));
    scene.world.add(std::make_shared<Sphere>(Vec3(4.0, 1.0, 0.0), 1.0,
                                             std::make_shared<Metal>(Vec3(0.7, 0.6, 0.5), 0.0)));
    scene.world.add(
        std::make_shared<Sphere>(Vec3(0.0, 3.5, -2.0), 0.5, std::make_shared<Emissive>(Vec3(4.0, 2.0, 0.5))));

    scene.camera.image_width = preset_width;
    scene.camera.image_height = preset_height;
    scene.camera.vertical_fov = 20.0;
    scene.camera.position = Vec3(13.0, 2.0, 3.0);
    scene.camera.target = Vec3(0.0, 0.0, 0.0);
    scene.camera.up = Vec3(0.0, 1.0, 0.0);
    scene.camera.prepare();
    return scene;
}

BenchmarkScene prepare_scene(std::int32_t width, std::int32_t height) {
    BenchmarkScene scene = build_benchmark_scene();
    scene.camera.image_width = width;
    scene.camera.image_height = height;
    scene.camera.prepare();
    return scene;
}

}  // namespace vornmark
