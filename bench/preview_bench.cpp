// Per-frame cost of the preview during a run: the race-free copy of the engine's
// 1920 x 1080 image plus its upload into the real GL texture. Needs a display (run
// it under xvfb-run); target: under 3 ms a frame.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>

#include "app/gl_gpu_backend.h"
#include "app/hidden_gl_context.h"
#include "engine/benchmark_engine.h"

namespace vornmark::app {

namespace {

void snapshot_and_upload(benchmark::State& state) {
    // One context for every run of the benchmark: making and ending contexts is not
    // part of a frame.
    static HiddenGlContext context;
    if (!context.ok()) {
        state.SkipWithError("no OpenGL 3.3 context (run under xvfb-run)");
        return;
    }
    // An idle engine holds the preset's 1920 x 1080 buffer from construction on.
    BenchmarkEngine engine;
    GlGpuBackend gl;
    gl.create_texture(engine.width(), engine.height());
    std::vector<std::uint8_t> snapshot;
    for (auto _ : state) {
        engine.snapshot_pixels(snapshot);
        gl.update_texture(snapshot.data(), engine.width(), engine.height());
        // Wait for the driver to take the data, as the next frame's draw would.
        glFinish();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * engine.width() * engine.height() *
                            4);
    gl.release();
}

void snapshot_only(benchmark::State& state) {
    BenchmarkEngine engine;
    std::vector<std::uint8_t> snapshot;
    for (auto _ : state) {
        engine.snapshot_pixels(snapshot);
        benchmark::DoNotOptimize(snapshot.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * engine.width() * engine.height() *
                            4);
}

}  // namespace

BENCHMARK(snapshot_and_upload)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(snapshot_only)->Unit(benchmark::kMillisecond);

}  // namespace vornmark::app

BENCHMARK_MAIN();
