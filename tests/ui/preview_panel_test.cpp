#include "ui/preview_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "session/run_texts.h"
#include "tests/support/sample_records.h"
#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/panel_test_app.h"
#include "ui/app_state.h"
#include "ui/run_updates.h"

namespace vornmark {

namespace {

constexpr ImU32 fill_running = IM_COL32(0, 212, 170, 255);
constexpr ImU32 fill_idle = IM_COL32(0, 160, 128, 255);
constexpr ImU32 bar_background = IM_COL32(21, 21, 21, 255);

TEST(FitPreview, WideTextureInTallColumnIsLimitedByWidth) {
    const PreviewRect r = fit_preview(800.0f, 900.0f, 1920, 1080);
    EXPECT_FLOAT_EQ(r.width, 784.0f);
    EXPECT_NEAR(r.height, 441.0f, 1e-3);
    EXPECT_NEAR(r.x_offset, 8.0f, 1e-3);
}

TEST(FitPreview, WideTextureInShortColumnIsLimitedByHeightAndCentred) {
    const PreviewRect r = fit_preview(1200.0f, 600.0f, 1920, 1080);
    EXPECT_NEAR(r.height, 350.0f, 1e-3);
    EXPECT_NEAR(r.width, 622.22f, 0.01);
    EXPECT_NEAR(r.x_offset, 288.89f, 0.01);
}

TEST(FitPreview, TextureWithoutAreaGetsNoSize) {
    const PreviewRect r = fit_preview(800.0f, 900.0f, 1920, 0);
    EXPECT_EQ(r.width, 0.0f);
    EXPECT_EQ(r.height, 0.0f);
}

TEST(IdleDescription, SaysWhatARunDoesAndHowLongThisMachinesLastRunsTook) {
    const BenchmarkConfig preset = preset_config(1);
    const std::string what =
        "A run renders one fixed scene, 1920 x 1080 pixels at 128 samples each, and scores its time.";
    const std::vector<std::string> none = idle_description(preset, {}, "Test CPU");
    ASSERT_EQ(none.size(), 3u);
    EXPECT_EQ(none[0], what);
    EXPECT_EQ(none[2],
              "It takes minutes on most machines; this one's time will show here after its first run.");

    HistoryEntry elsewhere = sample_run("single", 50, 2400.0);
    elsewhere.cpu = "Other CPU";
    const std::vector<HistoryEntry> history = {sample_run("single", 70, 1500.0),
                                               sample_run("multi", 140, 840.0),
                                               sample_run("single", 71, 1680.0), elsewhere};
    EXPECT_EQ(idle_description(preset, history, "Test CPU")[2],
              "On this machine: Single-Core about 28 min, Multi-Core about 14 min (from the history).");
    EXPECT_EQ(idle_description(preset, {elsewhere}, "Other CPU")[2],
              "On this machine: Single-Core about 40 min (from the history).");

    const struct {
        double seconds;
        const char* text;
    } durations[] = {{0.2, "about 1 s"},
                     {45.0, "about 45 s"},
                     {1680.0, "about 28 min"},
                     {3900.0, "about 65 min"},
                     {6300.0, "about 1 h 45 min"}};
    for (const auto& d : durations) EXPECT_EQ(rough_duration(d.seconds), d.text);
}

TEST(HighlightAlpha, BrightestMidSweepInvisibleAtTheEnds) {
    EXPECT_EQ(highlight_alpha(0.5f), 40);
    EXPECT_EQ(highlight_alpha(0.0f), 0);
    EXPECT_EQ(highlight_alpha(0.25f), 20);
    EXPECT_GE(highlight_alpha(0.999f), 0);
}

class PreviewPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = make_test_app(dir, unreachable_endpoint(), "Test CPU");
        app->gpu = &gpu;
    }
    void TearDown() override {
        app->runs.cancel();
        app.reset();
    }

    // The centre column: preview above progress, as the main layout draws them after the runs
    // were polled.
    void draw() {
        gui.window_frame(ImVec2(800.0f, 900.0f), [&] {
            poll_runs(*app);
            draw_preview_panel(*app);
            draw_progress_panel(*app, gui.mono_font());
        });
    }
    // Starts a run and takes its start as the frame loop would.
    void start(BenchmarkConfig config) {
        app->runs.start_sequence({config});
        poll_runs(*app);
        ASSERT_TRUE(app->runs.progress().running) << app->runs.error();
    }

    GuiTestContext gui;
    TempDir dir;
    FakeGpuBackend gpu;
    std::unique_ptr<AppState> app;
};

TEST_F(PreviewPanelTest, BeforeTheFirstRunShowsPlaceholderAndEmptyBarWithoutUploading) {
    draw();
    EXPECT_TRUE(gui.has_text("RENDER PREVIEW"));
    const auto hint = gui.find_text("Start a benchmark to render");
    ASSERT_TRUE(hint) << gui.all_text();
    EXPECT_EQ(hint->color, IM_COL32(64, 64, 64, 255));
    EXPECT_EQ(gui.texture_draw_count(FakeGpuBackend::fake_id()), 0);
    EXPECT_EQ(gpu.update_calls, 0);
    // Under the hint: what a run does, and that this machine has no time yet.
    for (const std::string& line : idle_description(app->runs.settings(), {}, "Test CPU")) {
        const auto detail = gui.find_text(line);
        ASSERT_TRUE(detail) << line << "\n" << gui.all_text();
        EXPECT_GT(detail->min.y, hint->max.y);
    }
    // No progress line before any run, but the empty bar is there and says what it is for.
    EXPECT_FALSE(gui.has_text(" tiles  |  ")) << gui.all_text();
    EXPECT_TRUE(gui.has_text("Ready: the bar fills as the tiles are rendered")) << gui.all_text();
    EXPECT_TRUE(gui.shape_bounds(bar_background));
    EXPECT_FALSE(gui.shape_bounds(fill_running, "##test_panel"));
    EXPECT_FALSE(gui.shape_bounds(fill_idle));
}

TEST_F(PreviewPanelTest, WhileRunningUploadsTheWholeImageOnceThenTilesAndDrawsTheImage) {
    start(long_run_settings());
    draw();
    draw();
    EXPECT_EQ(gpu.created, (std::vector<FakeGpuBackend::Size>{{640, 360}})) << "a fresh texture for the run";
    EXPECT_EQ(gpu.update_calls, 1);
    EXPECT_EQ(gpu.last_update_size, (FakeGpuBackend::Size{640, 360}));
    EXPECT_EQ(gpu.last_upload.size(), 640u * 360u * 4u);

    EXPECT_FALSE(gui.has_text("Start a benchmark to render"));
    EXPECT_EQ(gui.texture_draw_count(FakeGpuBackend::fake_id()), 1);
    // 800-wide window with 8 px padding each side: 784 free, image 768 x 432 centred.
    const auto image = gui.texture_rect(FakeGpuBackend::fake_id());
    ASSERT_TRUE(image);
    EXPECT_NEAR(image->max.x - image->min.x, 768.0f, 0.5f);
    EXPECT_NEAR(image->max.y - image->min.y, 432.0f, 0.5f);
    EXPECT_NEAR(image->min.x, 8.0f + 8.0f, 0.5f);

    EXPECT_TRUE(gui.has_text("RENDER PREVIEW"));
    EXPECT_TRUE(gui.has_text(" tiles  |  ")) << gui.all_text();

    app->runs.cancel();
    ASSERT_TRUE(wait_for_runs_to_end(*app));
    // The frame after the run ends uploads the tiles the run still finished; the
    // texture then holds the image as the run left it, and nothing more is uploaded.
    draw();
    const std::uint8_t* final_pixels = app->runs.pixel_data();
    // The engine's race-free copy, never its live buffer.
    EXPECT_NE(gpu.last_pixels, final_pixels);
    EXPECT_TRUE(std::equal(gpu.content.begin(), gpu.content.end(), final_pixels));
    const int region_uploads = gpu.region_uploads;
    draw();
    EXPECT_EQ(gpu.region_uploads, region_uploads);
    EXPECT_EQ(gpu.update_calls, 1);
    // The last image stays on screen after the run.
    EXPECT_EQ(gui.texture_draw_count(FakeGpuBackend::fake_id()), 1);
}

TEST_F(PreviewPanelTest, FinishedImageIsUploadedWholeAfterTheLastTile) {
    start(tiny_run_settings());
    draw();
    ASSERT_TRUE(wait_for_runs_to_end(*app));
    draw();
    const std::size_t bytes =
        static_cast<std::size_t>(app->runs.image_width()) * app->runs.image_height() * 4;
    ASSERT_EQ(gpu.content.size(), bytes);
    EXPECT_TRUE(std::equal(gpu.content.begin(), gpu.content.end(), app->runs.pixel_data()));
    for (std::size_t alpha = 3; alpha < bytes; alpha += 4)
        ASSERT_EQ(gpu.content[alpha], 255) << "every pixel of the finished image is rendered";
}

TEST_F(PreviewPanelTest, ProgressLineAndFillFollowTheTilesDone) {
    start(long_run_settings());
    ASSERT_TRUE(wait_until([&] {
        draw();
        return app->runs.progress().tiles_done >= 3;
    }));
    // What the frame drew, as the poll before it left it.
    const int done = app->runs.progress().tiles_done;
    const int total = app->runs.progress().tiles_total;
    ASSERT_GT(total, 0);
    const auto line = gui.find_text(" / " + std::to_string(total) + " tiles");
    ASSERT_TRUE(line) << gui.all_text();
    EXPECT_EQ(line->color, IM_COL32(179, 179, 179, 255));

    const auto bar = gui.shape_bounds(bar_background);
    const auto fill = gui.shape_bounds(fill_running, "##test_panel");
    ASSERT_TRUE(bar);
    ASSERT_TRUE(fill);
    const float bar_width = bar->max.x - bar->min.x;
    const float expected = bar_width * static_cast<float>(done) / static_cast<float>(total);
    EXPECT_NEAR(fill->max.x - fill->min.x, expected, 1.0f);
    EXPECT_NEAR(bar->max.y - bar->min.y, 20.0f, 1.5f);
}

TEST_F(PreviewPanelTest, FinishedRunShowsItsOwnTimeUntilTheNextStart) {
    start(tiny_run_settings());
    ASSERT_TRUE(wait_for_runs_to_end(*app));
    const RunProgress finished = app->runs.progress();
    ASSERT_EQ(finished.ended, RunEvent::Finished);
    const std::string expected =
        progress_text(ProgressLayout::Window, finished.tiles_total, finished.tiles_total, finished.seconds);
    for (int frame = 0; frame < 3; ++frame) {
        draw();
        EXPECT_TRUE(gui.has_text(expected)) << "frame " << frame << "\n"
                                            << expected << "\n"
                                            << gui.all_text();
        EXPECT_TRUE(gui.shape_bounds(fill_idle));
    }

    // The next run counts its own tiles and time.
    start(long_run_settings());
    draw();
    EXPECT_FALSE(gui.has_text(expected)) << gui.all_text();
}

// While running the line estimates the time left (from the first finished tile on; a small image's
// tiles' work is not known, so it is a rough guess); a cancelled run says so, with the tiles it got
// done, until the next run starts.
TEST_F(PreviewPanelTest, RunningLineSaysTheTimeLeftAndACancelledOneSaysSo) {
    start(long_run_settings());
    EXPECT_TRUE(wait_until([&] {
        draw();
        return gui.has_text(" left") && gui.has_text("|  about ");
    })) << gui.all_text();
    app->runs.cancel();
    ASSERT_TRUE(wait_for_runs_to_end(*app));
    for (int frame = 0; frame < 2; ++frame) {
        draw();
        const RunProgress& progress = app->runs.progress();
        const std::string expected = "Cancelled after " + std::to_string(progress.tiles_done) + " of " +
                                     std::to_string(progress.tiles_total) + " tiles; nothing stored";
        EXPECT_TRUE(gui.has_text(expected)) << expected << "\n" << gui.all_text();
        EXPECT_FALSE(gui.has_text(" left"));
    }

    start(long_run_settings());
    draw();
    EXPECT_FALSE(gui.has_text("Cancelled")) << gui.all_text();
}

TEST_F(PreviewPanelTest, WithoutABackendDrawsThePlaceholderEvenWhileRunning) {
    app->gpu = nullptr;
    start(long_run_settings());
    draw();
    EXPECT_TRUE(gui.has_text("Start a benchmark to render"));
    EXPECT_TRUE(gui.has_text(" tiles  |  ")) << gui.all_text();
}

}  // namespace

}  // namespace vornmark
