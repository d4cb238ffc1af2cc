#include "session/stability_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/render_image.h"
#include "tests/support/wait_until.h"
#include "verify/image_digest.h"

namespace vornmark {

namespace {

// 4 x 3 tiles of 8 pixels.
constexpr BenchmarkConfig small_run{
    .samples = 1, .max_depth = 3, .tile_size = 8, .threads = 2, .width = 32, .height = 24};

KnownImage reference_of(const BenchmarkConfig& config) {
    return known_image_of(config, render_image(config).data());
}

// Runs until every tile has been rendered by both workers.
StabilityReport run_until_covered(StabilityTest& test) {
    test.start();
    EXPECT_TRUE(wait_until([&] { return test.counts().tiles_checked >= 4 * 12; }));
    return test.finish(1.0);
}

// Corrupts one tile every time it is rendered, as a faulty core would.
struct FaultyTile {
    std::int32_t tile_index = 5;
    static void inject(void* context, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
        const auto* fault = static_cast<const FaultyTile*>(context);
        if (tile.index != fault->tile_index) return;
        pixels[(static_cast<std::size_t>(tile.y) * static_cast<std::size_t>(image_width) + tile.x) * 4] ^=
            0x20;
    }
};

}  // namespace

TEST(StabilityTest, HealthyWorkersFindNoErrorsAgainstTheKnownImageOrEachOther) {
    for (const bool known : {true, false}) {
        std::vector<KnownImage> images;
        if (known) images.push_back(reference_of(small_run));
        StabilityTest test(small_run, images);
        const StabilityReport report = run_until_covered(test);
        EXPECT_EQ(report.errors, 0) << (known ? "known" : "custom");
        EXPECT_EQ(report.compared_with_known_image, known);
        EXPECT_GE(report.tiles_checked, 48);
        ASSERT_EQ(report.tiles_per_worker.size(), 2u);
        EXPECT_EQ(report.tiles_per_worker[0] + report.tiles_per_worker[1], report.tiles_checked);
        EXPECT_EQ(report.tiles_in_plan, 12);
        // Worker 1 starts half-way round: once each has done a full round, both saw every tile.
        if (std::min(report.tiles_per_worker[0], report.tiles_per_worker[1]) >= 12) {
            EXPECT_EQ(report.tiles_seen_by_two_workers, 12);
        }
    }
}

TEST(StabilityTest, CorruptedTileIsCountedAndNamedWithItsWorker) {
    StabilityTest test(small_run, {reference_of(small_run)});
    FaultyTile fault;
    test.set_tile_hook(&FaultyTile::inject, &fault);
    const StabilityReport report = run_until_covered(test);
    EXPECT_GE(report.errors, 2) << "tile 5 wrong each time, and both workers rendered it";
    ASSERT_FALSE(report.wrong_tiles.empty());
    for (const WrongTile& wrong : report.wrong_tiles) {
        EXPECT_EQ(wrong.index, 5);
        EXPECT_TRUE(wrong.worker == 0 || wrong.worker == 1);
    }
    EXPECT_EQ(report.errors_per_worker[0] + report.errors_per_worker[1], report.errors);
}

TEST(StabilityTest, WithoutAKnownImageADisagreementWithTheFirstRenderingCounts) {
    struct SecondRenderingWrong {
        std::atomic<int> renders{0};
        static void inject(void* context, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
            auto* self = static_cast<SecondRenderingWrong*>(context);
            if (tile.index != 7) return;
            if (++self->renders == 2)
                pixels[(static_cast<std::size_t>(tile.y) * static_cast<std::size_t>(image_width) + tile.x) *
                           4 +
                       2] ^= 1;
        }
    } fault;
    StabilityTest test(small_run, {});
    test.set_tile_hook(&SecondRenderingWrong::inject, &fault);
    const StabilityReport report = run_until_covered(test);
    EXPECT_EQ(report.errors, 1);
    ASSERT_EQ(report.wrong_tiles.size(), 1u);
    EXPECT_EQ(report.wrong_tiles[0].index, 7);
}

TEST(StabilityReportInterval, AMinuteOrATenthOfTheTest) {
    EXPECT_DOUBLE_EQ(stability_report_interval(3600.0), 60.0);
    EXPECT_DOUBLE_EQ(stability_report_interval(120.0), 12.0);
    EXPECT_DOUBLE_EQ(stability_report_interval(0.5), 0.1);
}

TEST(ThroughputBetween, InterpolatesBetweenSamples) {
    const std::vector<ThroughputSample> samples{{0.0, 0}, {10.0, 100}, {20.0, 150}};
    EXPECT_DOUBLE_EQ(throughput_between(samples, 0.0, 10.0), 10.0);
    EXPECT_DOUBLE_EQ(throughput_between(samples, 10.0, 20.0), 5.0);
    EXPECT_DOUBLE_EQ(throughput_between(samples, 5.0, 15.0), 7.5);
    EXPECT_DOUBLE_EQ(throughput_between(samples, 5.0, 5.0), 0.0);
    // The same tiles, weighed by their work: costly tiles in the second span.
    const std::vector<ThroughputSample> weighed{{0.0, 0, 0.0}, {10.0, 100, 50.0}, {20.0, 150, 250.0}};
    EXPECT_DOUBLE_EQ(work_rate_between(weighed, 0.0, 10.0), 5.0);
    EXPECT_DOUBLE_EQ(work_rate_between(weighed, 10.0, 20.0), 20.0);
}

}  // namespace vornmark
