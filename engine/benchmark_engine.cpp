#include "engine/benchmark_engine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include "base/check.h"
#include "engine/render_image.h"
#include "engine/steady_clock.h"
#include "engine/worker_pool.h"

namespace vornmark {

namespace {

// Empty when the engine can run the config, otherwise the reason it cannot.
std::string config_problem(const BenchmarkConfig& config) {
    if (config.tile_size < 1) return "Invalid benchmark settings: tile size must be at least 1";
    if (config.width < 0 || config.height < 0)
        return "Invalid benchmark settings: width and height must not be negative";
    // width * height fits in 62 bits; multiplying that by 4 could overflow even 64 bits.
    const std::int64_t pixel_count = std::int64_t{config.width} * config.height;
    if (pixel_count > std::numeric_limits<std::int32_t>::max() / 4)
        return "Invalid benchmark settings: image too large (width x height x 4 must fit in 31 bits)";
    return {};
}

}  // namespace

BenchmarkEngine::BenchmarkEngine()
    : pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0u) {}

BenchmarkEngine::~BenchmarkEngine() {
    // Join before any member goes: start_time_ and the error text are declared after
    // run_thread and would otherwise be destroyed while the run can still use them.
    if (run_thread.joinable()) {
        run_thread.request_stop();
        run_thread.join();
    }
}

void BenchmarkEngine::start(BenchmarkConfig config) {
    if (running_) return;

    if (std::string problem = config_problem(config); !problem.empty()) {
        set_error(std::move(problem));
        return;
    }
    // The standard library may report 0 hardware threads; such a run uses one worker
    // and is recorded as the one-worker run it is.
    config.threads = std::max<std::int32_t>(config.threads, 1);
    set_error({});

    width_ = config.width;
    height_ = config.height;
    // No run is active, so no worker touches the buffer; resize keeps the storage
    // when it is large enough.
    pixels.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    std::fill(pixels.begin(), pixels.end(), 0u);
    reset_finish_log(config);

    tiles_done_ = 0;
    cancel_requested_ = false;
    result_ready_ = false;
    ++run_serial_;
    running_ = true;

    try {
        // Move-assigning a jthread joins the previous run thread, which has
        // already cleared running_ and is at most returning.
        run_thread = std::jthread([this, config] { run_thread_main(config); });
    } catch (const std::system_error& failure) {
        set_error(std::string("Could not start the benchmark thread: ") + failure.what());
        running_ = false;
    }
}

void BenchmarkEngine::cancel() {
    cancel_requested_.exchange(true);
}

std::optional<BenchmarkResult> BenchmarkEngine::take_result() {
    // running before result_ready: a run sets result_ready before it clears running, so once
    // running reads false the outcome of the run is in place.
    if (running_.load() || !result_ready_.load()) return std::nullopt;
    BenchmarkResult result = result_;
    result_ready_.exchange(false);
    return result;
}

void BenchmarkEngine::snapshot_pixels(std::vector<std::uint8_t>& out) const {
    const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    out.resize(count * 4);
    // The loads do not modify the pixels; atomic_ref needs a non-const object.
    auto* source = const_cast<std::uint32_t*>(pixels.data());
    std::uint8_t* target = out.data();
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t word = std::atomic_ref<std::uint32_t>(source[i]).load(std::memory_order_relaxed);
        std::memcpy(target + i * 4, &word, sizeof word);
    }
}

void BenchmarkEngine::snapshot_region(const Tile& area, std::vector<std::uint8_t>& out) const {
    DCHECK(area.x >= 0 && area.y >= 0 && area.width >= 0 && area.height >= 0);
    DCHECK(area.x + area.width <= width_ && area.y + area.height <= height_);
    const auto columns = static_cast<std::size_t>(area.width);
    out.resize(columns * static_cast<std::size_t>(area.height) * 4);
    auto* source = const_cast<std::uint32_t*>(pixels.data());
    std::uint8_t* target = out.data();
    for (std::int32_t y = area.y; y < area.y + area.height; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        for (std::size_t x = 0; x < columns; ++x) {
            const std::uint32_t word =
                std::atomic_ref<std::uint32_t>(source[row + static_cast<std::size_t>(area.x) + x])
                    .load(std::memory_order_relaxed);
            std::memcpy(target, &word, sizeof word);
            target += 4;
        }
    }
}

const std::uint8_t* BenchmarkEngine::pixel_data() const {
    DCHECK(!running());
    return reinterpret_cast<const std::uint8_t*>(pixels.data());
}

std::vector<Tile> BenchmarkEngine::tile_plan() const {
    std::lock_guard lock(tile_mutex);
    return tiles;
}

void BenchmarkEngine::tiles_finished_since(std::int32_t& cursor, std::vector<std::int32_t>& out) const {
    // Stops at the first slot still unwritten: a later finisher may already have
    // published its own, but the order of the log is kept for the next call.
    while (cursor >= 0 && static_cast<std::size_t>(cursor) < finish_log_size) {
        const std::int32_t index =
            finish_log[static_cast<std::size_t>(cursor)].load(std::memory_order_acquire);
        if (index < 0) break;
        out.push_back(index);
        ++cursor;
    }
}

void BenchmarkEngine::set_tile_hook(TileHook hook, void* context) {
    DCHECK(!running());
    if (running_) return;
    tile_hook = hook;
    tile_hook_context = context;
}

void BenchmarkEngine::set_span_hook(SpanHook hook, void* context) {
    DCHECK(!running());
    if (running_) return;
    span_hook = hook;
    span_hook_context = context;
}

void BenchmarkEngine::reset_finish_log(const BenchmarkConfig& config) {
    // Same count as plan_tiles, without building the plan on this thread.
    const std::int64_t size = config.tile_size;
    const std::int64_t count = ((config.width + size - 1) / size) * ((config.height + size - 1) / size);
    const auto needed = static_cast<std::size_t>(count);
    if (needed > finish_log_size) {
        finish_log = std::make_unique<std::atomic<std::int32_t>[]>(needed);
        finish_log_size = needed;
    }
    for (std::size_t i = 0; i < finish_log_size; ++i) finish_log[i].store(-1, std::memory_order_relaxed);
    finish_next.store(0);
}

std::string BenchmarkEngine::error() const {
    std::lock_guard lock(error_mutex);
    return error_text;
}

void BenchmarkEngine::set_error(std::string text) {
    std::lock_guard lock(error_mutex);
    error_text = std::move(text);
}

void BenchmarkEngine::run_thread_main(BenchmarkConfig config) {
    // Releases the previous run's scene.
    scene = prepare_scene(config.width, config.height);

    {
        std::lock_guard lock(tile_mutex);
        tiles = plan_tiles(config);
        tiles_total_ = static_cast<std::int32_t>(tiles.size());
    }
    tiles_done_ = 0;

    if (span_hook != nullptr) span_hook(span_hook_context, true, steady_now_ns());
    start_time_ = steady_now_ns();
    try {
        WorkerPool pool(config.threads);
        const std::int32_t total = tiles_total_;
        for (std::int32_t i = 0; i < total; ++i) {
            if (cancel_requested_) break;
            // 24 bytes: fits PoolJob's inline storage, so no allocation per tile.
            pool.enqueue([this, i, &config] { run_tile(i, config); });
        }
        pool.wait_idle();
    } catch (const std::system_error& failure) {
        // The pool has already stopped and joined the workers it had started.
        set_error(std::string("Could not start the benchmark's worker threads: ") + failure.what());
        running_ = false;
        return;
    } catch (const std::exception& failure) {
        // Out of memory while queueing: the pool drained and joined on the way out.
        set_error(std::string("The benchmark run failed: ") + failure.what());
        running_ = false;
        return;
    }
    const std::int64_t end_time = steady_now_ns();
    if (span_hook != nullptr) span_hook(span_hook_context, false, end_time);

    if (cancel_requested_) {
        running_ = false;
        return;
    }

    const double seconds = elapsed_seconds(end_time - start_time_);
    result_.type = run_kind_for(config.threads);
    result_.score = score_for_time(seconds);
    result_.time_seconds = seconds;
    result_.threads = config.threads;
    result_.date = format_local_date(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));

    result_ready_ = true;
    running_ = false;
}

void BenchmarkEngine::run_tile(std::int32_t index, const BenchmarkConfig& config) {
    if (cancel_requested_) return;

    const auto position = static_cast<std::size_t>(index);
    DCHECK(position < tiles.size());
    {
        std::lock_guard lock(tile_mutex);
        tiles[position].state = TileState::Rendering;
        tiles[position].worker = WorkerPool::current_worker();
    }
    // The plan does not change while jobs exist, so the rectangle is read unlocked.
    const Tile& tile = tiles[position];
    render_benchmark_tile(reinterpret_cast<std::uint8_t*>(pixels.data()), config, scene, tile);
    if (tile_hook != nullptr)
        tile_hook(tile_hook_context, tile, reinterpret_cast<std::uint8_t*>(pixels.data()), config.width);
    const std::int64_t finished = steady_now_ns();
    {
        std::lock_guard lock(tile_mutex);
        tiles[position].state = TileState::Done;
        tiles[position].finished_ns = finished;
    }
    const std::int32_t slot = finish_next.fetch_add(1);
    DCHECK(static_cast<std::size_t>(slot) < finish_log_size);
    finish_log[static_cast<std::size_t>(slot)].store(index, std::memory_order_release);
    ++tiles_done_;
}

}  // namespace vornmark
