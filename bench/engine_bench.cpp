// Whole benchmark runs at a reduced size, and the preview's snapshot copy.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>
#include <vector>

#include "engine/benchmark_engine.h"

namespace {

// 384 x 216, 16 samples: 1/64 of the preset's pixel-samples, the same scene and depth.
BenchmarkConfig reduced_config(std::int32_t threads) {
    return BenchmarkConfig{16, 50, 32, threads, 384, 216};
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
BENCHMARK(BM_SnapshotPixels1920x1080)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
