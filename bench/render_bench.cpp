// Speed of the measured work: one tile of the benchmark scene, and the
// nearest-hit query that dominates it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/render/benchmark_scene.h"
#include "engine/render/render_tile.h"
#include "tests/support/counting_allocator.h"

namespace vornmark {

namespace {

constexpr std::int32_t image_width = 1920;
constexpr std::int32_t image_height = 1080;

const BenchmarkScene& scene() {
    static const BenchmarkScene built = prepare_scene(image_width, image_height);
    return built;
}

// One 32 x 32 tile of the full-size image near its centre, where the large
// spheres are: the same work as one tile job of the benchmark, with fewer samples.
void BM_RenderTile(benchmark::State& state) {
    const auto samples = static_cast<std::int32_t>(state.range(0));
    constexpr std::int32_t tile = 32;
    constexpr std::int32_t x0 = 960;
    constexpr std::int32_t y0 = 512;
    constexpr std::int32_t tile_index = (y0 / tile) * (image_width / tile) + x0 / tile;
    const BenchmarkScene& s = scene();
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(image_width) * image_height);

    std::size_t allocations = 0;
    for (auto _ : state) {
        const std::size_t before = heap_allocations();
        render_tile(ImageBuffer{reinterpret_cast<std::uint8_t*>(pixels.data()), image_width, image_height},
                    PixelRect{x0, y0, tile, tile}, samples, 50, s.camera, s.world, tile_seed(tile_index));
        allocations += heap_allocations() - before;
        benchmark::DoNotOptimize(pixels.data());
    }
    const double samples_per_call = double(tile) * tile * samples;
    state.counters["allocations_per_call"] =
        benchmark::Counter(static_cast<double>(allocations) / static_cast<double>(state.iterations()));
    state.counters["samples_per_second"] = benchmark::Counter(
        samples_per_call * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RenderTile)->Arg(16)->Unit(benchmark::kMillisecond);

// The nearest-hit query on a fixed grid of 64 x 36 camera rays through the
// full image (primary rays: the ground, the small spheres and the sky).
void BM_NearestHit(benchmark::State& state) {
    const BenchmarkScene& s = scene();
    std::vector<Ray> rays;
    for (std::int32_t y = 0; y < 36; ++y)
        for (std::int32_t x = 0; x < 64; ++x)
            rays.push_back(s.camera.ray_through(x * 30.0 + 15.0, y * 30.0 + 15.0));

    std::int64_t hits = 0;
    for (auto _ : state) {
        for (const Ray& ray : rays) {
            HitRecord record;
            hits += s.world.hit(ray, Interval(0.001, 1e30), record);
        }
    }
    benchmark::DoNotOptimize(hits);
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(rays.size()));
    state.counters["hit_fraction"] =
        benchmark::Counter(static_cast<double>(hits) / static_cast<double>(state.iterations() * rays.size()));
}
BENCHMARK(BM_NearestHit)->Unit(benchmark::kMicrosecond);

}  // namespace

}  // namespace vornmark

BENCHMARK_MAIN();
