#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/worker_pool.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"

namespace vornmark {

namespace {

// 5 x 3 tiles with clipped edges.
const BenchmarkConfig small_run = clipped_config(2);

}  // namespace

TEST(TileRecord, FinishedTilesAreReportedOnceEachWithCompletePixels) {
    BenchmarkEngine engine;
    engine.start(small_run);
    std::int32_t cursor = 0;
    std::vector<std::int32_t> finished;
    std::vector<std::uint8_t> region;
    std::vector<std::pair<Tile, std::vector<std::uint8_t>>> regions;
    while (engine.running()) {
        const std::size_t before = finished.size();
        engine.tiles_finished_since(cursor, finished);
        if (finished.size() == before) continue;
        // Every reported tile is already whole, and stays as it is read now.
        const std::vector<Tile> plan = engine.tile_plan();
        for (std::size_t k = before; k < finished.size(); ++k) {
            const Tile& tile = plan[static_cast<std::size_t>(finished[k])];
            engine.snapshot_region(tile, region);
            ASSERT_EQ(region.size(), static_cast<std::size_t>(tile.width * tile.height * 4));
            for (std::size_t i = 3; i < region.size(); i += 4)
                ASSERT_EQ(region[i], 255) << "tile " << tile.index << " reported before its pixels";
            regions.emplace_back(tile, region);
        }
    }
    ASSERT_TRUE(engine.take_result());
    engine.tiles_finished_since(cursor, finished);
    EXPECT_EQ(cursor, 15);
    for (const auto& [tile, pixels] : regions) {
        for (std::int32_t y = 0; y < tile.height; ++y) {
            const std::uint8_t* row = engine.pixel_data() + ((tile.y + y) * 70 + tile.x) * 4;
            ASSERT_EQ(std::memcmp(row, pixels.data() + y * tile.width * 4,
                                  static_cast<std::size_t>(tile.width) * 4),
                      0)
                << "tile " << tile.index << " row " << y;
        }
    }
    std::sort(finished.begin(), finished.end());
    std::vector<std::int32_t> all(15);
    for (std::int32_t i = 0; i < 15; ++i) all[static_cast<std::size_t>(i)] = i;
    EXPECT_EQ(finished, all);

    // Nothing more once the run is over; a new run starts its log over.
    engine.tiles_finished_since(cursor, finished);
    EXPECT_EQ(finished.size(), 15u);
    const std::uint32_t serial = engine.run_serial();
    engine.start(small_run);
    EXPECT_EQ(engine.run_serial(), serial + 1);
    ASSERT_TRUE(wait_until([&] { return !engine.running(); }));
    std::int32_t fresh = 0;
    std::vector<std::int32_t> again;
    engine.tiles_finished_since(fresh, again);
    EXPECT_EQ(again.size(), 15u);
}

TEST(TileRecord, EveryTileNamesTheWorkerThatRenderedIt) {
    BenchmarkEngine engine;
    engine.start(small_run);
    ASSERT_TRUE(wait_until([&] { return !engine.running(); }));
    const std::vector<Tile> plan = engine.tile_plan();
    ASSERT_EQ(plan.size(), 15u);
    for (const Tile& tile : plan) {
        EXPECT_EQ(tile.state, TileState::Done);
        EXPECT_TRUE(tile.worker == 0 || tile.worker == 1) << "tile " << tile.index << ": " << tile.worker;
    }
    EXPECT_EQ(WorkerPool::current_worker(), -1);
}

TEST(TileRecord, TileHookSeesEachTileOnItsWorkerBeforeItCounts) {
    struct Seen {
        std::atomic<int> calls{0};
        std::atomic<bool> on_worker{true};
    } seen;
    BenchmarkEngine engine;
    engine.set_tile_hook(
        [](void* context, const Tile&, std::uint8_t*, std::int32_t) {
            auto* s = static_cast<Seen*>(context);
            ++s->calls;
            if (WorkerPool::current_worker() < 0) s->on_worker = false;
        },
        &seen);
    engine.start(small_run);
    ASSERT_TRUE(wait_until([&] { return !engine.running(); }));
    EXPECT_EQ(seen.calls, 15);
    EXPECT_TRUE(seen.on_worker);
}

}  // namespace vornmark
