// vornmark-preset-work: the tools behind the preset's work table.
//   --count WORKERS OUTPUT   renders the preset once with every ray counted and writes
//                            verify/preset_work.inc, each tile's rays. The kernel is not touched:
//                            it renders into a CountingWorld.
//                            The image must match the built-in digests tile for tile, or nothing is
//                            written. It also prints each tile row's rays and processor time
//                            against the mean tile, to see how well rays stand for time.
//   --record WORKERS OUTPUT  runs the preset on the engine, as the programs do, and writes when
//                            each tile finished: the recording that tests of the time-left
//                            estimate replay.
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/render/render_tile.h"
#include "engine/steady_clock.h"
#include "verify/counting_world.h"
#include "verify/image_digest.h"
#include "verify/preset_digests.h"

namespace vornmark {

namespace {

constexpr const char* usage =
    "Usage: vornmark-preset-work (--count | --record) WORKERS OUTPUT\n"
    "  --count   writes each preset tile's ray count to OUTPUT (C++ source)\n"
    "  --record  writes each preset tile's finish time in a run on the engine to OUTPUT\n";

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct TileCost {
    std::uint64_t rays = 0;
    double cpu_seconds = 0.0;
};

// The preset rendered on `workers` threads taking tiles in order, each tile's rays counted.
std::vector<TileCost> count_rays(std::int32_t workers, std::vector<std::uint32_t>& words) {
    const BenchmarkConfig config = preset_config(workers);
    const BenchmarkScene scene = prepare_scene(config.width, config.height);
    const std::vector<Tile> plan = plan_tiles(config);
    std::vector<TileCost> costs(plan.size());
    words.assign(static_cast<std::size_t>(config.width) * static_cast<std::size_t>(config.height), 0);
    const ImageBuffer image{reinterpret_cast<std::uint8_t*>(words.data()), config.width, config.height};

    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    auto work = [&] {
        for (std::size_t i = next++; i < plan.size(); i = next++) {
            const Tile& tile = plan[i];
            CountingWorld world(scene.world);
            const double cpu_before = thread_cpu_seconds();
            render_tile(image, tile.area(), config.samples, config.max_depth, scene.camera, world,
                        tile_seed(tile.index));
            costs[i] = {world.rays, thread_cpu_seconds() - cpu_before};
            ++done;
        }
    };
    std::vector<std::jthread> threads;
    for (std::int32_t w = 0; w < workers; ++w) threads.emplace_back(work);
    while (done.load() < plan.size()) {
        std::fprintf(stderr, "\r%zu / %zu tiles", done.load(), plan.size());
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    std::fputs("\n", stderr);
    return costs;
}

// Empty, or which tiles differ from the built-in digests.
std::string check_against_digests(const std::vector<std::uint32_t>& words) {
    if (built_in_known_images().empty()) return "this build has no preset digests to check the image against";
    const KnownImage& preset = preset_known_image();
    const KnownImage rendered =
        known_image_of(preset.config, reinterpret_cast<const std::uint8_t*>(words.data()));
    if (rendered.image == preset.image) return {};
    std::string wrong;
    for (std::size_t i = 0; i < rendered.tiles.size(); ++i)
        if (rendered.tiles[i] != preset.tiles[i]) wrong += " " + std::to_string(i);
    return "the counted render differs from the preset image in tiles" + wrong;
}

// Per tile row: the mean tile's rays and processor time against the whole image's mean tile.
void print_rows(const std::vector<TileCost>& costs) {
    const std::vector<Tile> plan = plan_tiles(preset_config(1));
    double all_rays = 0.0;
    double all_cpu = 0.0;
    for (const TileCost& cost : costs) {
        all_rays += static_cast<double>(cost.rays);
        all_cpu += cost.cpu_seconds;
    }
    const double tiles = static_cast<double>(costs.size());
    std::printf("row  rays/mean  cpu/mean  (max tile: rays/mean  cpu/mean)\n");
    for (std::size_t start = 0; start < plan.size();) {
        std::size_t end = start;
        double rays = 0.0;
        double cpu = 0.0;
        double max_rays = 0.0;
        double max_cpu = 0.0;
        while (end < plan.size() && plan[end].y == plan[start].y) {
            rays += static_cast<double>(costs[end].rays);
            cpu += costs[end].cpu_seconds;
            max_rays = std::max(max_rays, static_cast<double>(costs[end].rays));
            max_cpu = std::max(max_cpu, costs[end].cpu_seconds);
            ++end;
        }
        const double n = static_cast<double>(end - start);
        std::printf("%3d  %9.3f  %8.3f  (%.3f  %.3f)\n", plan[start].y / preset_tile_size,
                    rays / n / (all_rays / tiles), cpu / n / (all_cpu / tiles), max_rays / (all_rays / tiles),
                    max_cpu / (all_cpu / tiles));
        start = end;
    }
    std::printf("all: %.0f rays, %.1f s of processor time\n", all_rays, all_cpu);
}

std::string table_source(const std::vector<TileCost>& costs) {
    std::string text =
        "// Generated by vornmark-preset-work from one render of the preset image with every ray\n"
        "// counted: the rays each tile traces, in tile order; regenerate, never edit by hand.\n"
        "constexpr std::uint64_t preset_tile_ray_counts[] = {\n";
    for (std::size_t i = 0; i < costs.size(); ++i)
        text += (i % 8 == 0 ? "    " : " ") + std::to_string(costs[i].rays) + "u," +
                (i % 8 == 7 || i + 1 == costs.size() ? "\n" : "");
    text += "};\n";
    return text;
}

// When each tile finished, noted on its worker right after it was rendered.
struct FinishTimes {
    std::vector<std::int64_t> steady_ns;
    std::vector<double> worker_cpu_seconds;

    static void note(void* context, const Tile& tile, std::uint8_t*, std::int32_t) {
        auto* self = static_cast<FinishTimes*>(context);
        self->steady_ns[static_cast<std::size_t>(tile.index)] = steady_now_ns();
        self->worker_cpu_seconds[static_cast<std::size_t>(tile.index)] = thread_cpu_seconds();
    }
};

std::string record_run(std::int32_t workers, std::string& text) {
    const BenchmarkConfig config = preset_config(workers);
    const std::size_t tiles = plan_tiles(config).size();
    FinishTimes times{std::vector<std::int64_t>(tiles, 0), std::vector<double>(tiles, 0.0)};
    BenchmarkEngine engine;
    engine.set_tile_hook(&FinishTimes::note, &times);
    engine.start(config);
    while (engine.running()) {
        std::fprintf(stderr, "\r%d / %d tiles", engine.tiles_done(), engine.tiles_total());
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    std::fputs("\n", stderr);
    const std::optional<BenchmarkResult> result = engine.take_result();
    if (!result) return "the run did not finish: " + engine.error();
    const std::vector<Tile> plan = engine.tile_plan();
    char line[160];
    std::snprintf(line, sizeof line, "# The preset on %d worker(s), timed by the engine at %.3f s.\n",
                  workers, result->time_seconds);
    text = line;
    text += "# Per tile: index, worker, seconds from the start of the timed span to its finish,\n"
            "# its worker's processor seconds at its finish.\n";
    for (std::size_t i = 0; i < tiles; ++i) {
        std::snprintf(line, sizeof line, "%zu %d %.4f %.4f\n", i, plan[i].worker,
                      static_cast<double>(times.steady_ns[i] - engine.start_time()) * 1e-9,
                      times.worker_cpu_seconds[i]);
        text += line;
    }
    return {};
}

}  // namespace

}  // namespace vornmark

using namespace vornmark;

int main(int argc, char** argv) {
    const bool count = argc == 4 && std::strcmp(argv[1], "--count") == 0;
    const bool record = argc == 4 && std::strcmp(argv[1], "--record") == 0;
    const int workers = argc == 4 ? std::atoi(argv[2]) : 0;
    if ((!count && !record) || workers < 1 || workers > 4096) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::string text;
    std::string error;
    if (count) {
        std::vector<std::uint32_t> words;
        const std::vector<TileCost> costs = count_rays(workers, words);
        error = check_against_digests(words);
        if (error.empty()) {
            print_rows(costs);
            text = table_source(costs);
        }
    } else {
        error = record_run(workers, text);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "vornmark-preset-work: %s\n", error.c_str());
        return 1;
    }
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "vornmark-preset-work: cannot write %s\n", argv[3]);
        return 1;
    }
    std::printf("written to %s\n", argv[3]);
    return 0;
}
