#include "verify/image_verdict.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "engine/benchmark_engine.h"
#include "engine/render_image.h"
#include "engine/worker_pool.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"
#include "verify/image_digest.h"

namespace vornmark {

namespace {

// 5 x 3 tiles, the edge ones clipped.
const BenchmarkConfig small_run = clipped_config(2);

// Flips one bit of one tile's first pixel, as a faulty core would, and notes the worker.
struct CorruptOneTile {
    std::int32_t tile_index = -1;
    std::atomic<std::int32_t> worker{-2};

    static void hook(void* context, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
        auto* self = static_cast<CorruptOneTile*>(context);
        if (tile.index != self->tile_index) return;
        pixels[(static_cast<std::size_t>(tile.y) * static_cast<std::size_t>(image_width) + tile.x) * 4 + 1] ^=
            0x10;
        self->worker = WorkerPool::current_worker();
    }
};

struct CheckedRun {
    std::vector<Tile> plan;
    ImageVerdict verdict;
};

CheckedRun run_and_verify(const BenchmarkConfig& config, const std::vector<KnownImage>& known,
                          CorruptOneTile* fault) {
    BenchmarkEngine engine;
    if (fault != nullptr) engine.set_tile_hook(&CorruptOneTile::hook, fault);
    engine.start(config);
    EXPECT_TRUE(wait_until([&] { return !engine.running(); }));
    EXPECT_TRUE(engine.take_result());
    CheckedRun run;
    run.plan = engine.tile_plan();
    run.verdict = verify_image(config, engine.pixel_data(), run.plan, known);
    return run;
}

KnownImage clean_reference(const BenchmarkConfig& config) {
    return known_image_of(config, render_image(config).data());
}

}  // namespace

TEST(ImageVerdict, KnownImageRenderedRightIsVerifiedForAnyWorkerCount) {
    const std::vector<KnownImage> known{clean_reference(small_run)};
    for (const std::int32_t workers : {1, 3}) {
        BenchmarkConfig config = small_run;
        config.threads = workers;
        const CheckedRun run = run_and_verify(config, known, nullptr);
        EXPECT_EQ(run.verdict.status, ImageStatus::Verified) << workers << " workers";
        EXPECT_EQ(run.verdict.sha256, known[0].image);
        EXPECT_TRUE(run.verdict.wrong_tiles.empty());
    }
}

TEST(ImageVerdict, OneCorruptedTileIsCaughtAndNamedWithItsWorker) {
    const std::vector<KnownImage> known{clean_reference(small_run)};
    CorruptOneTile fault;
    fault.tile_index = 7;
    const CheckedRun run = run_and_verify(small_run, known, &fault);
    EXPECT_EQ(run.verdict.status, ImageStatus::Mismatch);
    EXPECT_NE(run.verdict.sha256, known[0].image);
    ASSERT_EQ(run.verdict.wrong_tiles.size(), 1u);
    EXPECT_EQ(run.verdict.wrong_tiles[0].index, 7);
    EXPECT_EQ(run.verdict.wrong_tiles[0].worker, fault.worker.load());
    EXPECT_EQ(run.plan[7].worker, fault.worker.load());
    EXPECT_EQ(wrong_tiles_text(run.verdict.wrong_tiles),
              "tile 7 (worker " + std::to_string(fault.worker.load()) + ")");
}

TEST(ImageVerdict, CustomImageIsUncheckedButDigested) {
    const CheckedRun run = run_and_verify(small_run, built_in_known_images(), nullptr);
    EXPECT_EQ(run.verdict.status, ImageStatus::Unchecked);
    EXPECT_EQ(run.verdict.sha256, clean_reference(small_run).image);
}

TEST(ImageVerdict, WrongTilesTextStopsAtItsLimit) {
    const std::vector<WrongTile> tiles{{1, 0}, {2, -1}, {3, 1}};
    EXPECT_EQ(wrong_tiles_text(tiles, 2), "tile 1 (worker 0), tile 2 (worker unknown) and 1 more");
}

}  // namespace vornmark
