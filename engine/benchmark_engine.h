#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/preset.h"
#include "engine/benchmark_config.h"
#include "engine/benchmark_result.h"
#include "engine/render/benchmark_scene.h"
#include "engine/tile_plan.h"

// Runs one benchmark at a time on a background thread. Only one thread (the
// GUI or the command-line runner) calls its operations; the flags, counters
// and the result are read directly, see the comments below.
class BenchmarkEngine {
public:
    BenchmarkEngine();
    // Joins the run thread; set cancel_requested first to end a run early.
    ~BenchmarkEngine();

    BenchmarkEngine(const BenchmarkEngine&) = delete;
    BenchmarkEngine& operator=(const BenchmarkEngine&) = delete;
    BenchmarkEngine(BenchmarkEngine&&) = delete;
    BenchmarkEngine& operator=(BenchmarkEngine&&) = delete;

    // Begins a run in the background and returns at once. Ignored while a run
    // is in progress. A config the engine cannot run is refused: the engine
    // stays idle and error() says why. threads below 1 runs on one worker.
    void start(BenchmarkConfig config);

    void cancel();

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

    // Test seam: called on the worker right after a tile has been rendered, before
    // it counts as finished; pixels is the engine's whole image. Set only while
    // no run is active; null (the program's case) costs one comparison per tile.
    using TileHook = void (*)(void* context, const Tile& tile, std::uint8_t* pixels,
                              std::int32_t image_width);
    void set_tile_hook(TileHook hook, void* context);

    // Collecting a result: see running false and result_ready true, copy
    // result, then result_ready.exchange(false).
    std::atomic<bool> running{false};
    std::atomic<bool> cancel_requested{false};
    std::atomic<bool> result_ready{false};
    std::atomic<std::int32_t> tiles_done{0};
    std::atomic<std::int32_t> tiles_total{0};
    // Increased by every accepted start, so readers can tell one run from the next.
    std::atomic<std::uint32_t> run_serial{0};
    std::int32_t width = preset_width;
    std::int32_t height = preset_height;

private:
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

public:
    BenchmarkResult result;

private:
    BenchmarkScene scene;
    std::jthread run_thread;

public:
    // Steady-clock nanoseconds at which the current run's timed span began.
    std::atomic<std::int64_t> start_time{0};

private:
    void run_thread_main(BenchmarkConfig config);
    void run_tile(std::int32_t index, const BenchmarkConfig& config);
    void set_error(std::string text);
    void reset_finish_log(const BenchmarkConfig& config);

    // Guards only the error text; never taken on the workers' path.
    mutable std::mutex error_mutex;
    std::string error_text;
};
