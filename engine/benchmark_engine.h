#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/preset.h"
#include "engine/benchmark_config.h"
#include "engine/benchmark_result.h"
#include "engine/render/benchmark_scene.h"
#include "engine/tile_plan.h"

namespace vornmark {

// Runs one benchmark at a time on a background thread. Only one thread (the
// controller's: the GUI thread or the runner's main thread) calls its operations;
// the others only read what the run publishes through the accessors.
class BenchmarkEngine {
public:
    BenchmarkEngine();
    // Joins the run thread; cancel() first to end a run early.
    ~BenchmarkEngine();

    BenchmarkEngine(const BenchmarkEngine&) = delete;
    BenchmarkEngine& operator=(const BenchmarkEngine&) = delete;
    BenchmarkEngine(BenchmarkEngine&&) = delete;
    BenchmarkEngine& operator=(BenchmarkEngine&&) = delete;

    // Begins a run in the background and returns at once. Ignored while a run
    // is in progress. A config the engine cannot run is refused: the engine
    // stays idle and error() says why. threads below 1 runs on one worker.
    void start(BenchmarkConfig config);

    // The current run ends early: tiles in flight are finished, the rest skipped,
    // and the run leaves no result. Without effect when no run is going.
    void cancel();

    // A run is in progress; cleared by the run as its very last act.
    bool running() const { return running_.load(); }
    // The finished run's result, exactly once: nothing while a run is going, after
    // a cancelled or failed run, or when it was taken already.
    std::optional<BenchmarkResult> take_result();

    // The current run's counters. Right after start, tiles_total and start_time
    // still hold the previous run's values until the run has planned its tiles
    // and begun its timed span.
    std::int32_t tiles_done() const { return tiles_done_.load(); }
    std::int32_t tiles_total() const { return tiles_total_.load(); }
    // Steady-clock nanoseconds at which the current run's timed span began.
    std::int64_t start_time() const { return start_time_.load(); }
    // Increased by every accepted start, so readers can tell one run from the next.
    std::uint32_t run_serial() const { return run_serial_.load(); }

    // Size of the image of the current or last run.
    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // Copies the image (width * height * 4 bytes) race-free while workers write it.
    void snapshot_pixels(std::vector<std::uint8_t>& out) const;

    // Copies one rectangle of the image (rows top to bottom, width * 4 bytes each)
    // race-free, for example a tile reported by tiles_finished_since. The
    // rectangle must lie inside the image.
    void snapshot_region(const Tile& area, std::vector<std::uint8_t>& out) const;

    // The image itself; read it only while no run is active.
    const std::uint8_t* pixel_data() const;

    // Empty, or why the last start was refused or its run could not take place.
    std::string error() const;

    // The current or last run's tile plan, with each tile's state and the worker
    // (0 to threads - 1) that rendered it. Safe at any time.
    std::vector<Tile> tile_plan() const;

    // Appends the indices of the tiles finished since cursor, in the order they
    // finished, and advances cursor past them. Safe while a run is in progress;
    // each run starts over at cursor 0 (see run_serial). A finished tile's pixels
    // are complete when it is reported.
    void tiles_finished_since(std::int32_t& cursor, std::vector<std::int32_t>& out) const;

    // Test seam (see TileHook): set only while no run is active; null (the
    // program's case) costs one comparison per tile.
    void set_tile_hook(TileHook hook, void* context);

    // Called at both ends of every timed span (see SpanHook); set only while no run is active.
    void set_span_hook(SpanHook hook, void* context);

private:
    void run_thread_main(BenchmarkConfig config);
    void run_tile(std::int32_t index, const BenchmarkConfig& config);
    void set_error(std::string text);
    void reset_finish_log(const BenchmarkConfig& config);

    // Published by the run, read without locks (sequentially consistent): the run
    // sets result_ready_ before it clears running_, so whoever sees running_ false
    // finds the outcome in place.
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_requested_{false};
    std::atomic<bool> result_ready_{false};
    std::atomic<std::int32_t> tiles_done_{0};
    std::atomic<std::int32_t> tiles_total_{0};
    std::atomic<std::uint32_t> run_serial_{0};
    // Written by start only, on the controlling thread.
    std::int32_t width_ = preset_width;
    std::int32_t height_ = preset_height;

    // Whole pixels (R | G << 8 | B << 16 | A << 24), so that every pixel can be
    // written and read as one relaxed 32-bit atomic access.
    std::vector<std::uint32_t> pixels;
    std::vector<Tile> tiles;
    mutable std::mutex tile_mutex;

    // Tile indices in the order their renders finished; -1 marks a slot not yet
    // written. Sized by start while no run is active; workers claim slots through
    // finish_next and publish each index with a release store.
    std::unique_ptr<std::atomic<std::int32_t>[]> finish_log;
    std::size_t finish_log_size = 0;
    std::atomic<std::int32_t> finish_next{0};

    TileHook tile_hook = nullptr;
    void* tile_hook_context = nullptr;
    SpanHook span_hook = nullptr;
    void* span_hook_context = nullptr;

    // Written by the run before it sets result_ready_.
    BenchmarkResult result_;
    BenchmarkScene scene;
    std::jthread run_thread;
    std::atomic<std::int64_t> start_time_{0};

    // Guards only the error text; never taken on the workers' path.
    mutable std::mutex error_mutex;
    std::string error_text;
};

}  // namespace vornmark
