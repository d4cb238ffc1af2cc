#include "engine/benchmark_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <memory>
#include <optional>

#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"

namespace vornmark {

namespace {

bool idle(const BenchmarkEngine& engine) {
    return !engine.running();
}

}  // namespace

TEST(BenchmarkEngine, StartsIdleWithPresetSizedBlackImage) {
    BenchmarkEngine engine;
    EXPECT_FALSE(engine.running());
    EXPECT_FALSE(engine.take_result());
    EXPECT_EQ(engine.width(), 1920);
    EXPECT_EQ(engine.height(), 1080);
    EXPECT_EQ(engine.tiles_total(), 0);
    EXPECT_EQ(engine.start_time(), 0);
    EXPECT_TRUE(engine.error().empty());
    std::vector<std::uint8_t> image;
    engine.snapshot_pixels(image);
    ASSERT_EQ(image.size(), 1920u * 1080u * 4u);
    EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<std::ptrdiff_t>(image.size()));
}

TEST(BenchmarkEngine, CompletedRunIsReadyWhenRunningFirstSeenFalse) {
    BenchmarkEngine engine;
    engine.start(small_config(2));
    EXPECT_EQ(engine.width(), 64);
    EXPECT_EQ(engine.height(), 36);
    std::optional<BenchmarkResult> taken;
    ASSERT_TRUE(wait_until([&] {
        if (engine.running()) return false;
        taken = engine.take_result();
        return true;
    }));
    ASSERT_TRUE(taken) << "the result is in place when running is first seen false";
    EXPECT_FALSE(engine.take_result()) << "taken once";
    EXPECT_EQ(engine.tiles_total(), 12);
    EXPECT_EQ(engine.tiles_done(), 12);
    EXPECT_GT(engine.start_time(), 0);
    EXPECT_TRUE(engine.error().empty());

    const BenchmarkResult& result = *taken;
    EXPECT_EQ(result.type, RunKind::Multi);
    EXPECT_EQ(result.threads, 2);
    EXPECT_GT(result.time_seconds, 0.0);
    EXPECT_EQ(result.score, score_for_time(result.time_seconds));
    EXPECT_EQ(result.date.size(), 19u);
}

TEST(BenchmarkEngine, ThreadsBelowOneRunOnOneWorkerAsSingle) {
    BenchmarkEngine engine;
    engine.start(small_config(0));
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    const std::optional<BenchmarkResult> result = engine.take_result();
    ASSERT_TRUE(result);
    EXPECT_EQ(engine.tiles_done(), 12);
    EXPECT_EQ(result->threads, 1);
    EXPECT_EQ(result->type, RunKind::Single);
}

TEST(BenchmarkEngine, SecondStartDuringRunChangesNothing) {
    BenchmarkEngine engine;
    engine.start(long_config());
    engine.start(small_config(1));
    EXPECT_EQ(engine.width(), 256);
    EXPECT_EQ(engine.height(), 144);
    ASSERT_TRUE(wait_until([&] { return engine.tiles_total() == 576; }));
    engine.cancel();
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
}

TEST(BenchmarkEngine, CancelDuringRunLeavesNoResult) {
    BenchmarkEngine engine;
    engine.start(small_config(1));
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    ASSERT_TRUE(engine.take_result());

    engine.start(long_config());
    ASSERT_TRUE(wait_until([&] { return engine.tiles_done() >= 1; }));
    engine.cancel();
    EXPECT_TRUE(engine.running()) << "the tile in flight is still being finished";
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_FALSE(engine.take_result());
    EXPECT_EQ(engine.tiles_total(), 576);
    EXPECT_LT(engine.tiles_done(), 576);
    EXPECT_GE(engine.tiles_done(), 1);
    EXPECT_TRUE(engine.error().empty());
}

TEST(BenchmarkEngine, CancelBeforeTilesAreQueuedEndsWithNoTilesDone) {
    BenchmarkEngine engine;
    engine.start(long_config());
    engine.cancel();
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_FALSE(engine.take_result());
    EXPECT_LT(engine.tiles_done(), engine.tiles_total());
}

TEST(BenchmarkEngine, StartAfterCancelIsIgnoredUntilRunningClears) {
    BenchmarkEngine engine;
    BenchmarkConfig slow = long_config();
    slow.tile_size = 16;  // longer tiles in flight keep the cancelled run busy for a while
    engine.start(slow);
    ASSERT_TRUE(wait_until([&] { return engine.tiles_done() >= 1; }));
    engine.cancel();
    engine.start(small_config(1));
    EXPECT_EQ(engine.width(), 256) << "start during the cancelled run must be ignored";
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_FALSE(engine.take_result());

    engine.start(small_config(1));
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_TRUE(engine.take_result()) << "the new start cleared the cancel";
    EXPECT_EQ(engine.tiles_done(), 12);
}

TEST(BenchmarkEngine, CancelWhileIdleDoesNotAffectTheNextRun) {
    BenchmarkEngine engine;
    engine.cancel();
    engine.start(small_config(1));
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_TRUE(engine.take_result());
}

TEST(BenchmarkEngine, DestructionAfterCancelSkipsTheRemainingTiles) {
    // The whole run would take many minutes; only the tiles in flight are finished.
    auto engine = std::make_unique<BenchmarkEngine>();
    BenchmarkConfig preset = preset_config(1);
    preset.tile_size = 16;
    engine->start(preset);
    ASSERT_TRUE(wait_until([&] { return engine->tiles_total() == 8160; }));
    engine->cancel();
    const auto before = std::chrono::steady_clock::now();
    engine.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(60));
}

TEST(BenchmarkEngine, RefusesConfigsItCannotRunAndStaysIdle) {
    struct Case {
        BenchmarkConfig config;
        const char* reason;
    };
    const auto sized = [](std::int32_t tile_size, std::int32_t width, std::int32_t height) {
        BenchmarkConfig config = small_config();
        config.tile_size = tile_size;
        config.width = width;
        config.height = height;
        return config;
    };
    const Case cases[] = {
        {sized(0, 64, 36), "tile size"},        {sized(-3, 64, 36), "tile size"},
        {sized(16, -1, 36), "negative"},        {sized(16, 64, -36), "negative"},
        {sized(16, 32768, 16385), "too large"}, {sized(16, 2147483647, 2147483647), "too large"},
    };
    BenchmarkEngine engine;
    for (const Case& c : cases) {
        engine.start(c.config);
        EXPECT_FALSE(engine.running());
        EXPECT_FALSE(engine.take_result());
        EXPECT_NE(engine.error().find(c.reason), std::string::npos) << engine.error();
        EXPECT_EQ(engine.width(), 1920) << "a refused start leaves the image alone";
    }
    engine.start(small_config(1));
    EXPECT_TRUE(engine.error().empty()) << "an accepted start clears the error";
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_TRUE(engine.take_result());
}

TEST(BenchmarkEngine, EmptyImageCompletesWithNoTiles) {
    BenchmarkEngine engine;
    BenchmarkConfig empty = small_config(2);
    empty.width = 0;
    engine.start(empty);
    ASSERT_TRUE(wait_until([&] { return idle(engine); }));
    EXPECT_TRUE(engine.take_result());
    EXPECT_EQ(engine.tiles_total(), 0);
    EXPECT_EQ(engine.tiles_done(), 0);
    std::vector<std::uint8_t> image(5);
    engine.snapshot_pixels(image);
    EXPECT_TRUE(image.empty());
}

}  // namespace vornmark
