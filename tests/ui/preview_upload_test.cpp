#include "ui/preview_upload.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "tests/ui/gui_test_context.h"

namespace {

// 4 x 3 tiles of 16 pixels, slow enough to be seen mid-run.
constexpr BenchmarkConfig run_settings{24, 6, 16, 1, 64, 48};

bool wait_for(const std::function<bool()>& condition) {
    for (int i = 0; i < 12000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condition();
}

}  // namespace

TEST(PreviewUpload, WholeImageOnceThenOnlyNewTilesAtMostThirtyTimesASecond) {
    BenchmarkEngine engine;
    FakeGpuBackend gpu;
    PreviewUploads uploads;
    gpu.create_texture(run_settings.width, run_settings.height);
    engine.start(run_settings);

    double now = 100.0;
    EXPECT_EQ(upload_preview(uploads, engine, gpu, now), 1);
    EXPECT_EQ(gpu.uploads, 1) << "the run begins with the whole (empty) image";

    ASSERT_TRUE(wait_for([&] { return engine.tiles_done >= 2 || !engine.running; }));
    if (engine.running) {
        // Within a thirtieth of a second of the last upload nothing is copied.
        EXPECT_EQ(upload_preview(uploads, engine, gpu, now + 0.02), 0);
        now += 0.04;
        EXPECT_GE(upload_preview(uploads, engine, gpu, now), 1);
        EXPECT_EQ(gpu.uploads, 1) << "tiles, never the whole image again";
    }

    ASSERT_TRUE(wait_for([&] { return !engine.running; }));
    // Right after the run the rest goes up without waiting, and the texture is the image.
    upload_preview(uploads, engine, gpu, now + 0.001);
    const std::size_t bytes = static_cast<std::size_t>(run_settings.width * run_settings.height * 4);
    ASSERT_EQ(gpu.content.size(), bytes);
    EXPECT_TRUE(std::equal(gpu.content.begin(), gpu.content.end(), engine.pixel_data()));
    EXPECT_EQ(uploads.cursor, 12);
    EXPECT_LE(gpu.region_uploads, 12);
    EXPECT_EQ(upload_preview(uploads, engine, gpu, now + 1.0), 0);

    // The next run starts over with the whole image, clearing the last one.
    engine.result_ready.exchange(false);
    engine.start(run_settings);
    engine.cancel();
    EXPECT_EQ(upload_preview(uploads, engine, gpu, now + 2.0), 1);
    EXPECT_EQ(gpu.uploads, 2);
    ASSERT_TRUE(wait_for([&] { return !engine.running; }));
}

TEST(PreviewUpload, NothingWithoutATexture) {
    BenchmarkEngine engine;
    FakeGpuBackend gpu;
    PreviewUploads uploads;
    engine.start(BenchmarkConfig{1, 2, 8, 1, 16, 8});
    ASSERT_TRUE(wait_for([&] { return !engine.running; }));
    EXPECT_EQ(upload_preview(uploads, engine, gpu, 1.0), 0);
    EXPECT_EQ(gpu.update_calls + gpu.region_uploads, 0);
}
