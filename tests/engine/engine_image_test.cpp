#include "engine/benchmark_engine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/render_image.h"
#include "tests/support/wait_until.h"

namespace {

// Clipped tiles on the right and bottom edges.
BenchmarkConfig image_config(std::int32_t threads) {
    return BenchmarkConfig{2, 5, 16, threads, 70, 38};
}

std::vector<std::uint8_t> finished_image(BenchmarkConfig config) {
    BenchmarkEngine engine;
    engine.start(config);
    EXPECT_TRUE(wait_until([&] { return !engine.running; }));
    EXPECT_TRUE(engine.result_ready);
    const std::size_t size =
        static_cast<std::size_t>(engine.width) * static_cast<std::size_t>(engine.height) * 4;
    return std::vector<std::uint8_t>(engine.pixel_data(), engine.pixel_data() + size);
}

}  // namespace

TEST(EngineImage, OneAndFourWorkersRenderIdenticalBytes) {
    const std::vector<std::uint8_t> one = finished_image(image_config(1));
    const std::vector<std::uint8_t> four = finished_image(image_config(4));
    ASSERT_EQ(one.size(), 70u * 38u * 4u);
    EXPECT_TRUE(one == four);
    EXPECT_TRUE(one == render_image(image_config(1))) << "the same tiles rendered without the engine";
    for (std::size_t i = 3; i < one.size(); i += 4)
        ASSERT_EQ(one[i], 255) << "every pixel rendered, pixel " << i / 4;
}

TEST(EngineImage, SnapshotsDuringRunSeeWholePixelsAndEndAsTheFinalImage) {
    BenchmarkEngine engine;
    engine.start(BenchmarkConfig{2, 5, 8, 2, 64, 36});
    std::vector<std::uint8_t> snapshot;
    std::size_t previous_rendered = 0;
    int snapshots = 0;
    while (engine.running) {
        engine.snapshot_pixels(snapshot);
        ASSERT_EQ(snapshot.size(), 64u * 36u * 4u);
        std::size_t rendered = 0;
        for (std::size_t i = 3; i < snapshot.size(); i += 4) {
            ASSERT_TRUE(snapshot[i] == 0 || snapshot[i] == 255) << "torn pixel";
            rendered += snapshot[i] == 255;
        }
        EXPECT_GE(rendered, previous_rendered);
        previous_rendered = rendered;
        ++snapshots;
    }
    EXPECT_GT(snapshots, 0);
    ASSERT_TRUE(engine.result_ready);
    engine.snapshot_pixels(snapshot);
    EXPECT_EQ(std::memcmp(snapshot.data(), engine.pixel_data(), snapshot.size()), 0);
}

TEST(EngineImage, NextStartClearsThePreviousImage) {
    BenchmarkEngine engine;
    engine.start(image_config(2));
    ASSERT_TRUE(wait_until([&] { return !engine.running; }));
    engine.result_ready.exchange(false);

    // A smaller image reuses the storage; cancelled at once, it renders (almost) nothing.
    engine.start(BenchmarkConfig{2, 5, 16, 1, 35, 19});
    engine.cancel();
    ASSERT_TRUE(wait_until([&] { return !engine.running; }));
    std::vector<std::uint8_t> snapshot;
    engine.snapshot_pixels(snapshot);
    ASSERT_EQ(snapshot.size(), 35u * 19u * 4u);
    std::size_t rendered = 0;
    for (std::size_t i = 3; i < snapshot.size(); i += 4) rendered += snapshot[i] == 255;
    EXPECT_LE(rendered, static_cast<std::size_t>(engine.tiles_done) * 16u * 16u);
}
