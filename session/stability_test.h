#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "engine/benchmark_config.h"
#include "engine/render/benchmark_scene.h"
#include "engine/tile_plan.h"
#include "verify/image_verdict.h"
#include "verify/known_image.h"

namespace vornmark {

// What a stability test has seen so far.
struct StabilityCounts {
    std::int64_t tiles_checked = 0;
    std::int64_t errors = 0;
    // The work of the tiles checked, in mean tiles: each preset tile weighed by its share of the
    // preset's work (preset_tile_work), any other image's tiles 1 each.
    double work_checked = 0.0;
};

struct StabilityReport {
    double seconds = 0.0;
    std::int64_t tiles_checked = 0;
    double work_checked = 0.0;   // as in StabilityCounts
    bool work_weighted = false;  // the tiles were weighed by the preset's work table
    std::int64_t errors = 0;
    std::vector<std::int64_t> tiles_per_worker;
    std::vector<std::int64_t> errors_per_worker;
    std::vector<WrongTile> wrong_tiles;  // the first ones found, at most 100
    std::int32_t tiles_in_plan = 0;
    // Tiles that at least two different workers rendered (and so could be compared).
    std::int32_t tiles_seen_by_two_workers = 0;
    bool compared_with_known_image = false;
};

// Renders one configuration's tiles round and round on all its workers and checks
// every tile as it finishes: against the known-good digest when the image is
// known, otherwise against the first rendering of the same tile. Worker w starts
// its round at tile w * tiles / workers, so every tile is rendered by different
// workers as early as possible. Operations are called from one thread.
class StabilityTest {
public:
    StabilityTest(BenchmarkConfig config, const std::vector<KnownImage>& known = built_in_known_images());
    ~StabilityTest();
    StabilityTest(const StabilityTest&) = delete;
    StabilityTest& operator=(const StabilityTest&) = delete;

    // Starts the workers; each stops after the tile it is rendering once stop() is called.
    // Throws std::system_error when a worker thread cannot be created.
    void start();
    void stop();
    // Stops, joins the workers and reports; elapsed is the test's duration in seconds.
    StabilityReport finish(double elapsed);

    StabilityCounts counts() const {
        return {tiles_checked.load(), errors.load(), static_cast<double>(work_micro.load()) * 1e-6};
    }
    // Tiles count by the preset's work table (the preset image and the table is in this build).
    bool work_weighted() const { return weighted; }

    // Test seam (see TileHook).
    void set_tile_hook(TileHook hook, void* context);

private:
    void worker_loop(std::int32_t worker);
    void check(std::int32_t worker, const Tile& tile, const Sha256Digest& digest);

    BenchmarkConfig config;
    std::optional<KnownImage> known_image;  // a copy: the caller's list may go
    BenchmarkScene scene;
    std::vector<Tile> plan;
    TileHook tile_hook = nullptr;
    void* tile_hook_context = nullptr;

    std::atomic<bool> stop_requested{false};
    std::atomic<std::int64_t> tiles_checked{0};
    std::atomic<std::int64_t> errors{0};
    // The work checked in millionths of a mean tile, so that it adds up exactly in an integer.
    std::atomic<std::int64_t> work_micro{0};
    bool weighted = false;

    // Guards everything below; held only to compare and record one tile's digest.
    std::mutex record_mutex;
    std::vector<std::optional<Sha256Digest>> first_digest;  // for an unknown image
    std::vector<std::int32_t> first_worker;
    std::vector<bool> seen_by_two;
    std::vector<std::int64_t> tiles_per_worker;
    std::vector<std::int64_t> errors_per_worker;
    std::vector<WrongTile> wrong_tiles;

    std::vector<std::jthread> workers;
};

// The progress lines' interval: a minute, or a tenth of the test if that is shorter.
double stability_report_interval(double total_seconds);

// Tiles per second over the first and over the last `window` seconds of a test,
// from samples (seconds, tiles checked so far) taken in time order from 0.
struct ThroughputSample {
    double seconds;
    std::int64_t tiles;
    double work = 0.0;  // work checked so far, in mean tiles
};
double throughput_between(const std::vector<ThroughputSample>& samples, double from, double to);
// The same for the work: mean tiles per second, which follows the speed rather than which tiles
// fell in the span.
double work_rate_between(const std::vector<ThroughputSample>& samples, double from, double to);

}  // namespace vornmark
