#include "session/stability_test.h"

#include <algorithm>
#include <cmath>

#include "engine/render_image.h"
#include "verify/image_digest.h"
#include "verify/preset_work.h"

namespace vornmark {

namespace {

constexpr std::size_t wrong_tiles_kept = 100;

}  // namespace

StabilityTest::StabilityTest(BenchmarkConfig run_config, const std::vector<KnownImage>& known)
    : config(run_config) {
    if (const KnownImage* image = find_known_image(known, run_config)) known_image = *image;
    config.threads = std::max<std::int32_t>(config.threads, 1);
    scene = prepare_scene(config.width, config.height);
    plan = plan_tiles(config);
    weighted = renders_preset_image(config) && preset_work_known();
    // A known image whose tile list does not fit the plan cannot be compared tile by tile.
    if (known_image && known_image->tiles.size() != plan.size()) known_image.reset();

    const auto workers_count = static_cast<std::size_t>(config.threads);
    first_digest.resize(plan.size());
    first_worker.assign(plan.size(), -1);
    seen_by_two.assign(plan.size(), false);
    tiles_per_worker.assign(workers_count, 0);
    errors_per_worker.assign(workers_count, 0);
}

StabilityTest::~StabilityTest() {
    stop();
    workers.clear();  // joins
}

void StabilityTest::set_tile_hook(TileHook hook, void* context) {
    tile_hook = hook;
    tile_hook_context = context;
}

void StabilityTest::start() {
    if (!workers.empty() || plan.empty()) return;
    try {
        for (std::int32_t w = 0; w < config.threads; ++w) workers.emplace_back([this, w] { worker_loop(w); });
    } catch (...) {
        stop();
        workers.clear();
        throw;
    }
}

void StabilityTest::stop() {
    stop_requested = true;
}

StabilityReport StabilityTest::finish(double elapsed) {
    stop();
    workers.clear();
    StabilityReport report;
    report.seconds = elapsed;
    report.tiles_checked = tiles_checked;
    report.work_checked = counts().work_checked;
    report.work_weighted = weighted;
    report.errors = errors;
    report.tiles_in_plan = static_cast<std::int32_t>(plan.size());
    report.compared_with_known_image = known_image.has_value();
    std::lock_guard lock(record_mutex);
    report.tiles_per_worker = tiles_per_worker;
    report.errors_per_worker = errors_per_worker;
    report.wrong_tiles = wrong_tiles;
    report.tiles_seen_by_two_workers =
        static_cast<std::int32_t>(std::count(seen_by_two.begin(), seen_by_two.end(), true));
    return report;
}

void StabilityTest::worker_loop(std::int32_t worker) {
    // A buffer of the whole image per worker: render_tile addresses the image, and
    // two workers may be rendering the same tile at once.
    std::vector<std::uint32_t> image(static_cast<std::size_t>(config.width) *
                                     static_cast<std::size_t>(config.height));
    auto* pixels = reinterpret_cast<std::uint8_t*>(image.data());
    const std::size_t count = plan.size();
    std::size_t next = count * static_cast<std::size_t>(worker) / static_cast<std::size_t>(config.threads);
    while (!stop_requested) {
        const Tile& tile = plan[next];
        render_benchmark_tile(pixels, config, scene, tile);
        if (tile_hook != nullptr) tile_hook(tile_hook_context, tile, pixels, config.width);
        check(worker, tile, tile_sha256(pixels, config.width, tile));
        next = (next + 1) % count;
    }
}

void StabilityTest::check(std::int32_t worker, const Tile& tile, const Sha256Digest& digest) {
    const auto index = static_cast<std::size_t>(tile.index);
    const auto w = static_cast<std::size_t>(worker);
    bool wrong = false;
    {
        std::lock_guard lock(record_mutex);
        if (first_worker[index] < 0) {
            first_worker[index] = worker;
            if (!known_image) first_digest[index] = digest;
        } else if (first_worker[index] != worker) {
            seen_by_two[index] = true;
        }
        if (known_image)
            wrong = digest != known_image->tiles[index];
        else
            wrong = first_digest[index] && digest != *first_digest[index];
        ++tiles_per_worker[w];
        if (wrong) {
            ++errors_per_worker[w];
            if (wrong_tiles.size() < wrong_tiles_kept) wrong_tiles.push_back(WrongTile{tile.index, worker});
        }
    }
    if (wrong) ++errors;
    const double work = weighted ? preset_tile_work(tile.index) : 1.0;
    work_micro += static_cast<std::int64_t>(std::llround(work * 1e6));
    ++tiles_checked;
}

double stability_report_interval(double total_seconds) {
    return std::max(0.1, std::min(60.0, total_seconds / 10.0));
}

namespace {

double tiles_of(const ThroughputSample& sample) {
    return static_cast<double>(sample.tiles);
}

double work_of(const ThroughputSample& sample) {
    return sample.work;
}

// The count `of` by time t, interpolated between the samples around it.
double count_at(const std::vector<ThroughputSample>& samples, double t,
                double (*of)(const ThroughputSample&)) {
    if (samples.empty()) return 0.0;
    if (t <= samples.front().seconds) return of(samples.front());
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (t <= samples[i].seconds) {
            const ThroughputSample& a = samples[i - 1];
            const ThroughputSample& b = samples[i];
            const double span = b.seconds - a.seconds;
            const double share = span > 0.0 ? (t - a.seconds) / span : 1.0;
            return of(a) + share * (of(b) - of(a));
        }
    }
    return of(samples.back());
}

}  // namespace

double throughput_between(const std::vector<ThroughputSample>& samples, double from, double to) {
    if (to <= from) return 0.0;
    return (count_at(samples, to, tiles_of) - count_at(samples, from, tiles_of)) / (to - from);
}

double work_rate_between(const std::vector<ThroughputSample>& samples, double from, double to) {
    if (to <= from) return 0.0;
    return (count_at(samples, to, work_of) - count_at(samples, from, work_of)) / (to - from);
}

}  // namespace vornmark
