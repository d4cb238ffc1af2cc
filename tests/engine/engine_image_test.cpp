#include "engine/benchmark_engine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/render_image.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"

namespace vornmark {

namespace {

std::vector<std::uint8_t> finished_image(BenchmarkConfig config) {
    BenchmarkEngine engine;
    engine.start(config);
    EXPECT_TRUE(wait_until([&] { return !engine.running(); }));
    EXPECT_TRUE(engine.take_result());
    const std::size_t size =
        static_cast<std::size_t>(engine.width()) * static_cast<std::size_t>(engine.height()) * 4;
    return std::vector<std::uint8_t>(engine.pixel_data(), engine.pixel_data() + size);
}

}  // namespace

TEST(EngineImage, OneAndFourWorkersRenderIdenticalBytes) {
    const std::vector<std::uint8_t> one = finished_image(clipped_config(1));
    const std::vector<std::uint8_t> four = finished_image(clipped_config(4));
    ASSERT_EQ(one.size(), 70u * 38u * 4u);
    EXPECT_TRUE(one == four);
    EXPECT_TRUE(one == render_image(clipped_config(1))) << "the same tiles rendered without the engine";
    for (std::size_t i = 3; i < one.size(); i += 4)
        ASSERT_EQ(one[i], 255) << "every pixel rendered, pixel " << i / 4;
}

TEST(EngineImage, SnapshotsDuringRunSeeWholePixelsAndEndAsTheFinalImage) {
    BenchmarkEngine engine;
    BenchmarkConfig config = small_config(2);
    config.tile_size = 8;
    engine.start(config);
    std::vector<std::uint8_t> snapshot;
    std::size_t previous_rendered = 0;
    int snapshots = 0;
    while (engine.running()) {
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
    ASSERT_TRUE(engine.take_result());
    engine.snapshot_pixels(snapshot);
    EXPECT_EQ(std::memcmp(snapshot.data(), engine.pixel_data(), snapshot.size()), 0);
}

TEST(EngineImage, NextStartClearsThePreviousImage) {
    BenchmarkEngine engine;
    engine.start(clipped_config(2));
    ASSERT_TRUE(wait_until([&] { return !engine.running(); }));

    // A smaller image reuses the storage; cancelled at once, it renders (almost) nothing.
    BenchmarkConfig smaller = clipped_config(1);
    smaller.width = 35;
    smaller.height = 19;
    engine.start(smaller);
    engine.cancel();
    ASSERT_TRUE(wait_until([&] { return !engine.running(); }));
    std::vector<std::uint8_t> snapshot;
    engine.snapshot_pixels(snapshot);
    ASSERT_EQ(snapshot.size(), 35u * 19u * 4u);
    std::size_t rendered = 0;
    for (std::size_t i = 3; i < snapshot.size(); i += 4) rendered += snapshot[i] == 255;
    EXPECT_LE(rendered, static_cast<std::size_t>(engine.tiles_done()) * 16u * 16u);
}

}  // namespace vornmark
