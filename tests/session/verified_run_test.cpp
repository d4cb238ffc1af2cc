#include "session/verified_run.h"

#include <gtest/gtest.h>

#include <atomic>

#include "engine/worker_pool.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "verify/image_digest.h"

namespace {

// 5 x 3 tiles, the edge ones clipped; known to these tests as if it were a preset.
constexpr BenchmarkConfig small_run{2, 5, 16, 2, 70, 38};
const std::string cpu = "Test CPU";

// Changes one colour byte of one tile after it is rendered, as a faulty core would.
struct TileFault {
    std::int32_t tile_index = -1;
    std::atomic<std::int32_t> worker{-2};

    static void inject(void* context, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
        auto* fault = static_cast<TileFault*>(context);
        if (tile.index != fault->tile_index) return;
        const std::size_t pixel =
            static_cast<std::size_t>(tile.y + tile.height - 1) * static_cast<std::size_t>(image_width) +
            static_cast<std::size_t>(tile.x + tile.width - 1);
        pixels[pixel * 4 + 2] ^= 0x01;
        fault->worker = WorkerPool::current_worker();
    }
};

class VerifiedRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        BenchmarkEngine engine;
        engine.start(small_run);
        ASSERT_TRUE(wait_until([&] { return !engine.running.load(); }));
        known.push_back(known_image_of(small_run, engine.pixel_data()));
    }

    std::optional<FinishedRun> run(TileFault* fault) {
        if (fault != nullptr) engine.set_tile_hook(&TileFault::inject, fault);
        engine.start(small_run);
        EXPECT_TRUE(wait_until([&] { return !engine.running.load(); }));
        return take_verified_run(engine, small_run, known);
    }

    std::vector<KnownImage> known;
    BenchmarkEngine engine;
    TempDir dir;
    HistoryStore history{dir.file("history.json")};
};

}  // namespace

TEST_F(VerifiedRunTest, RightImageIsVerifiedAndRecorded) {
    const std::optional<FinishedRun> finished = run(nullptr);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->verdict.status, ImageStatus::Verified);
    EXPECT_EQ(verdict_text(finished->verdict), "Verified");
    EXPECT_FALSE(take_verified_run(engine, small_run, known)) << "taken once";
    EXPECT_TRUE(record_verified_run(*finished, cpu, history, nullptr));
    EXPECT_EQ(history.entries().size(), 1u);
}

TEST_F(VerifiedRunTest, OneCorruptedTileIsCaughtNamedAndTheRunRefused) {
    TileFault fault;
    fault.tile_index = 14;  // the clipped bottom-right tile
    const std::optional<FinishedRun> finished = run(&fault);
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->verdict.status, ImageStatus::Mismatch);
    EXPECT_FALSE(finished->has_valid_score());
    EXPECT_EQ(
        verdict_text(finished->verdict),
        "Image mismatch: this machine computed a wrong image (unstable overclock, faulty memory or a broken "
        "build)");
    ASSERT_EQ(finished->verdict.wrong_tiles.size(), 1u);
    EXPECT_EQ(finished->verdict.wrong_tiles[0].index, 14);
    EXPECT_EQ(finished->verdict.wrong_tiles[0].worker, fault.worker.load());

    // Neither stored nor submitted: nothing listens on port 1, so a submission would show as a task.
    LeaderboardClient leaderboard(HttpEndpoint{"127.0.0.1", 1, ""});
    EXPECT_FALSE(record_verified_run(*finished, cpu, history, &leaderboard));
    EXPECT_TRUE(history.entries().empty());
    EXPECT_EQ(leaderboard.task_count(), 0u);
    HistoryStore saved(history.path());
    saved.load();
    EXPECT_TRUE(saved.entries().empty());
}

TEST_F(VerifiedRunTest, UnknownImageIsUncheckedAndStillRecorded) {
    const std::optional<FinishedRun> finished = [&] {
        engine.start(small_run);
        EXPECT_TRUE(wait_until([&] { return !engine.running.load(); }));
        return take_verified_run(engine, small_run, {});
    }();
    ASSERT_TRUE(finished);
    EXPECT_EQ(finished->verdict.status, ImageStatus::Unchecked);
    EXPECT_EQ(finished->verdict.sha256, known[0].image);
    EXPECT_EQ(verdict_text(finished->verdict), "");
    EXPECT_TRUE(finished->has_valid_score());
}
