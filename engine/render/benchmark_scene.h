#pragma once

#include <cstdint>

#include "engine/render/camera.h"
#include "engine/render/hittable_list.h"

namespace vornmark {

struct BenchmarkScene {
    HittableList world;
    Camera camera;  // defaults, not prepared, until built
};

// The fixed scene of the benchmark, identical on every machine: a checkered
// ground, 477 small spheres from a generator seeded with 42, three large
// spheres and one light; the camera is set to 1920 x 1080 and prepared.
BenchmarkScene build_benchmark_scene();

// The benchmark scene with its camera set to a width x height image and prepared: the scene every
// render of a benchmark image uses.
BenchmarkScene prepare_scene(std::int32_t width, std::int32_t height);

}  // namespace vornmark
