// Whole benchmark runs at a reduced size, the engine against a bare loop over the same tiles, and
// the preview's snapshot copy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/benchmark_result.h"
#include "engine/render/benchmark_scene.h"
#include "engine/render_image.h"
#include "engine/steady_clock.h"
#include "engine/tile_plan.h"

namespace vornmark {

namespace {

// 384 x 216, 16 samples: 1/64 of the preset's pixel-samples, the same scene and depth.
BenchmarkConfig reduced_config(std::int32_t threads) {
    return BenchmarkConfig{
        .samples = 16, .max_depth = 50, .tile_size = 32, .threads = threads, .width = 384, .height = 216};
}

// Seconds of the engine's own timed span for one completed run.
double timed_run(BenchmarkEngine& engine, std::int32_t threads) {
    engine.start(reduced_config(threads));
    while (engine.running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return engine.take_result().value_or(BenchmarkResult{}).time_seconds;
}

std::int32_t hardware_threads() {
    return static_cast<std::int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

double one_worker_seconds = 0.0;

void BM_ReducedRun(benchmark::State& state) {
    const auto threads = static_cast<std::int32_t>(state.range(0));
    BenchmarkEngine engine;
    double total = 0.0;
    for (auto _ : state) {
        const double seconds = timed_run(engine, threads);
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["threads"] = threads;
    state.counters["seconds"] = mean;
    if (threads == 1)
        one_worker_seconds = mean;
    else if (one_worker_seconds > 0.0) {
        // The target is a speed-up of at least 0.9 x threads.
        state.counters["speedup"] = one_worker_seconds / mean;
        state.counters["speedup_target"] = 0.9 * threads;
    }
}

// Seconds for every tile of the one-worker run, rendered one after another on this thread with
// nothing around them: the work the engine's timed span should measure.
double bare_loop_seconds(const BenchmarkConfig& config, const BenchmarkScene& scene,
                         std::vector<std::uint32_t>& pixels) {
    const std::vector<Tile> plan = plan_tiles(config);
    const std::int64_t start = steady_now_ns();
    for (const Tile& tile : plan)
        render_benchmark_tile(reinterpret_cast<std::uint8_t*>(pixels.data()), config, scene, tile);
    return elapsed_seconds(steady_now_ns() - start);
}

// The engine's one-worker run and the bare loop, in turn: engine_over_bare near 1.0 says the
// engine measures the render, not how often its threads wake and sleep.
void BM_EngineAgainstBareLoop(benchmark::State& state) {
    const BenchmarkConfig config = reduced_config(1);
    const BenchmarkScene scene = prepare_scene(config.width, config.height);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(config.width) * config.height);
    BenchmarkEngine engine;
    double engine_total = 0.0;
    double bare_total = 0.0;
    for (auto _ : state) {
        engine_total += timed_run(engine, 1);
        const double bare = bare_loop_seconds(config, scene, pixels);
        bare_total += bare;
        state.SetIterationTime(bare);
    }
    state.counters["engine_seconds"] = engine_total / static_cast<double>(state.iterations());
    state.counters["bare_seconds"] = bare_total / static_cast<double>(state.iterations());
    state.counters["engine_over_bare"] = engine_total / bare_total;
}

void BM_SnapshotPixels1920x1080(benchmark::State& state) {
    BenchmarkEngine engine;  // its idle buffer has the preset size
    std::vector<std::uint8_t> snapshot;
    for (auto _ : state) {
        engine.snapshot_pixels(snapshot);
        benchmark::DoNotOptimize(snapshot.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(snapshot.size()));
}

}  // namespace

BENCHMARK(BM_ReducedRun)
    ->Arg(1)
    ->Arg(hardware_threads())
    ->Iterations(2)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_EngineAgainstBareLoop)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_SnapshotPixels1920x1080)->Unit(benchmark::kMillisecond);

}  // namespace vornmark

BENCHMARK_MAIN();
