#include "ui/preview_upload.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "session/run_controller.h"
#include "tests/support/test_configs.h"
#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/panel_test_app.h"

namespace vornmark {

TEST(PreviewUpload, FreshTextureWithTheWholeImageOnceThenOnlyNewTilesAtMostThirtyTimesASecond) {
    RunController runs;
    FakeGpuBackend gpu;
    PreviewUploads uploads;
    TileGate gate(0);  // no tile finishes before the whole image goes up
    gate.install(runs);
    const BenchmarkConfig config = clipped_config();
    double now = 100.0;
    EXPECT_EQ(upload_preview(uploads, runs, gpu, now), 0) << "no texture before the first run";
    EXPECT_TRUE(gpu.created.empty());

    runs.start_sequence({config});
    EXPECT_EQ(upload_preview(uploads, runs, gpu, now), 1);
    EXPECT_EQ(gpu.created, (std::vector<FakeGpuBackend::Size>{{config.width, config.height}}));
    EXPECT_EQ(gpu.uploads, 1) << "the run begins with the whole (empty) image";

    gate.let_through(2);  // two tiles, then the run waits mid-way
    ASSERT_TRUE(wait_until([&] { return runs.poll().progress.tiles_done >= 2; }));
    // Within a thirtieth of a second of the last upload nothing is copied.
    EXPECT_EQ(upload_preview(uploads, runs, gpu, now + 0.02), 0);
    now += 0.04;
    EXPECT_EQ(upload_preview(uploads, runs, gpu, now), 2);
    EXPECT_EQ(gpu.uploads, 1) << "tiles, never the whole image again";

    gate.open();
    ASSERT_TRUE(wait_until([&] {
        runs.poll();
        return !runs.busy();
    }));
    // Right after the run the rest goes up without waiting, and the texture is the image.
    upload_preview(uploads, runs, gpu, now + 0.001);
    const std::size_t bytes = static_cast<std::size_t>(config.width * config.height * 4);
    ASSERT_EQ(gpu.content.size(), bytes);
    EXPECT_TRUE(std::equal(gpu.content.begin(), gpu.content.end(), runs.pixel_data()));
    EXPECT_EQ(uploads.cursor, 15);
    EXPECT_EQ(gpu.region_uploads, 15);
    EXPECT_EQ(upload_preview(uploads, runs, gpu, now + 1.0), 0);

    // The next run starts over in a fresh texture with the whole image.
    runs.start_sequence({config});
    runs.cancel();
    EXPECT_EQ(upload_preview(uploads, runs, gpu, now + 2.0), 1);
    EXPECT_EQ(gpu.created.size(), 2u);
    EXPECT_EQ(gpu.uploads, 2);
}

TEST(PreviewUpload, TextureThatCannotBeMadeGetsNothingAndIsNotTriedAgain) {
    RunController runs;
    FakeGpuBackend gpu;
    PreviewUploads uploads;
    BenchmarkConfig empty = small_config();
    empty.width = 0;
    runs.start_sequence({empty});
    ASSERT_TRUE(wait_until([&] {
        runs.poll();
        return !runs.busy();
    }));
    EXPECT_EQ(upload_preview(uploads, runs, gpu, 1.0), 0);
    EXPECT_EQ(upload_preview(uploads, runs, gpu, 2.0), 0);
    EXPECT_EQ(gpu.created.size(), 1u);
    EXPECT_EQ(gpu.update_calls + gpu.region_uploads, 0);
}

}  // namespace vornmark
