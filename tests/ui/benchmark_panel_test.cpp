#include "ui/benchmark_panel.h"

#include <thread>

#include <gtest/gtest.h>

#include "engine/render_image.h"
#include "history/history_store.h"
#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/run_updates.h"
#include "ui/score_panel.h"
#include "verify/image_digest.h"

namespace vornmark {

namespace {

// The left column's two lower panels, as the main layout draws them.
class BenchmarkPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const HttpEndpoint* server = test_leaderboard_endpoint();
        endpoint = server ? *server : unreachable_endpoint();
        have_server = server != nullptr;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        cpu_name = std::string("Panel Test CPU ") + info->name();
        app = make_test_app(dir, endpoint, cpu_name);
        app->gpu = &gpu;
    }

    void TearDown() override {
        // A run still going ends at its tiles in flight instead of running to the end.
        app->runs.cancel();
    }

    // A frame as the window draws it: the runs polled, then the panels.
    void draw() {
        if (poll_runs(*app).event == RunEvent::Started) ++runs_started;
        draw_benchmark_panel(*app);
        draw_score_panel(*app, gui.large_font());
    }
    std::function<void()> panel() {
        return in_window(ImVec2(280.0f, 700.0f), [this] { draw(); });
    }
    void frame() { gui.frame(panel()); }
    bool click(std::string_view label) { return gui.click_text(label, panel()); }
    bool frames_until(const std::function<bool()>& done) {
        return vornmark::frames_until(gui, panel(), done);
    }
    bool idle() const { return !app->runs.busy(); }

    // The submission of the last run reached the server (or, without one, failed in transport).
    void expect_submitted(const std::string& type, std::int32_t score) {
        ASSERT_TRUE(wait_for_leaderboard(app->leaderboard_client));
        const std::string status = app->leaderboard_client.submit_status_text();
        if (!have_server) {
            EXPECT_EQ(status.rfind("Submit error: ", 0), 0u) << status;
            return;
        }
        EXPECT_EQ(status, "Submitted OK (" + type + " " + std::to_string(score) + ")");
        int runs = 0;
        for (const ServerRow& row : server_standings(endpoint, type))
            if (row.cpu == cpu_name) runs += row.runs;
        EXPECT_EQ(runs, 1) << "exactly one submission of this run";
    }

    TempDir dir;
    HttpEndpoint endpoint;
    bool have_server = false;
    std::string cpu_name;
    GuiTestContext gui;
    FakeGpuBackend gpu;
    std::unique_ptr<AppState> app;
    int runs_started = 0;  // runs the frames saw start
};

TEST_F(BenchmarkPanelTest, SingleCoreClickStartsARunAndShowsCancelFromTheNextFrame) {
    app->runs.set_settings(long_run_settings());
    frame();
    ASSERT_TRUE(gui.has_text("Single-Core")) << gui.all_text();
    EXPECT_FALSE(gui.has_text("Cancel"));

    ASSERT_TRUE(click("Single-Core"));
    EXPECT_TRUE(app->runs.busy());
    EXPECT_FALSE(gui.has_text("Cancel")) << "the click frame decided from the state read before the click";

    frame();
    EXPECT_TRUE(gui.has_text("Cancel"));
    EXPECT_EQ(runs_started, 1);
    EXPECT_TRUE(app->runs.progress().running);

    // The start buttons are disabled while the run goes on.
    ASSERT_TRUE(click("Run Both"));
    EXPECT_EQ(runs_started, 1);

    ASSERT_TRUE(click("Cancel"));
    ASSERT_TRUE(frames_until([&] { return idle(); }));
    frame();
    EXPECT_FALSE(gui.has_text("Cancel"));
    EXPECT_EQ(app->runs.progress().ended, RunEvent::Cancelled);
    EXPECT_TRUE(app->history.entries().empty());
    EXPECT_EQ(app->shown_single_score, 0);
    EXPECT_TRUE(gui.has_text("---"));
}

TEST_F(BenchmarkPanelTest, FinishedRunIsCollectedOnceIntoScoreHistoryFileAndLeaderboard) {
    frame();
    ASSERT_TRUE(click("Single-Core"));
    ASSERT_TRUE(frames_until([&] { return !app->history.entries().empty(); }));
    gui.frames(5, panel());

    ASSERT_EQ(app->history.entries().size(), 1u);
    const HistoryEntry entry = app->history.entries()[0];
    EXPECT_EQ(entry.type, "single");
    EXPECT_EQ(entry.threads, 1);
    EXPECT_EQ(entry.cpu, cpu_name);
    EXPECT_GT(entry.score, 0);
    EXPECT_EQ(entry.date.size(), 19u);
    // Recorded as the preset run, whatever the test settings were.
    EXPECT_EQ(entry.resolution_w, 1920);
    EXPECT_EQ(entry.resolution_h, 1080);
    EXPECT_EQ(entry.samples, 128);
    EXPECT_TRUE(idle());

    EXPECT_EQ(app->shown_single_score, entry.score);
    EXPECT_EQ(app->shown_multi_score, 0);
    const auto digits = gui.find_text(std::to_string(entry.score));
    ASSERT_TRUE(digits) << gui.all_text();
    EXPECT_EQ(digits->color, packed(palette::teal));
    EXPECT_TRUE(gui.has_text("Best:"));

    HistoryStore saved(app->history.path());
    saved.load();
    ASSERT_EQ(saved.entries().size(), 1u);
    EXPECT_EQ(saved.entries()[0], entry);

    expect_submitted("single", entry.score);
}

TEST_F(BenchmarkPanelTest, RunBothRecordsTheSingleRunThenStartsTheMultiRunAndEndsIdle) {
    const std::int32_t hardware = static_cast<std::int32_t>(std::thread::hardware_concurrency());
    frame();
    ASSERT_TRUE(click("Run Both"));

    // The frame in which the single-core run is recorded shows its score, and the sequence goes on.
    ASSERT_TRUE(frames_until([&] { return !app->history.entries().empty(); }));
    EXPECT_EQ(app->shown_single_score, app->history.entries()[0].score);
    EXPECT_EQ(app->shown_multi_score, 0);
    EXPECT_TRUE(app->runs.busy());
    EXPECT_TRUE(gui.has_text("Cancel"));

    ASSERT_TRUE(frames_until([&] { return idle(); }));
    gui.frames(3, panel());

    ASSERT_EQ(app->history.entries().size(), 2u);
    const HistoryEntry first = app->history.entries()[0];
    const HistoryEntry second = app->history.entries()[1];
    EXPECT_EQ(first.type, "single");
    EXPECT_EQ(second.threads, std::max(hardware, 1));
    EXPECT_EQ(second.type, run_kind_text(run_kind_for(std::max(hardware, 1))));
    EXPECT_EQ(app->shown_single_score, first.score);
    EXPECT_EQ(app->shown_multi_score, second.score);
    EXPECT_TRUE(idle());
    EXPECT_FALSE(gui.has_text("Cancel"));
    EXPECT_EQ(runs_started, 2);

    const auto multi_digits = gui.find_text(std::to_string(second.score));
    ASSERT_TRUE(multi_digits);
    EXPECT_EQ(multi_digits->color, packed(palette::orange));

    HistoryStore saved(app->history.path());
    saved.load();
    EXPECT_EQ(saved.entries().size(), 2u);
    expect_submitted(second.type, second.score);
}

TEST_F(BenchmarkPanelTest, CancelDuringTheFirstHalfEndsRunBothWithNothingCollected) {
    app->runs.set_settings(long_run_settings());
    frame();
    ASSERT_TRUE(click("Run Both"));
    frame();
    ASSERT_TRUE(click("Cancel"));
    ASSERT_TRUE(frames_until([&] { return idle(); }));
    gui.frames(3, panel());

    EXPECT_TRUE(app->history.entries().empty());
    EXPECT_EQ(runs_started, 1) << "no second half was started";
    EXPECT_EQ(app->shown_single_score, 0);
    EXPECT_EQ(app->leaderboard_client.pending_request_count(), 0);
    EXPECT_EQ(app->leaderboard_client.submit_status_text(), "");
}

TEST_F(BenchmarkPanelTest, CancelDuringTheSecondHalfKeepsOnlyTheFirstResult) {
    // The second run's tiles wait until the test lets them go (the first run has 4): it is surely
    // still going when Cancel is clicked.
    TileGate gate(4);
    gate.install(app->runs);
    frame();
    ASSERT_TRUE(click("Run Both"));
    ASSERT_TRUE(frames_until([&] { return runs_started == 2; })) << "the second half started";
    ASSERT_EQ(app->history.entries().size(), 1u);
    ASSERT_TRUE(click("Cancel"));
    gate.open();
    ASSERT_TRUE(frames_until([&] { return idle(); }));
    gui.frames(3, panel());

    ASSERT_EQ(app->history.entries().size(), 1u);
    EXPECT_EQ(app->history.entries()[0].type, "single");
    EXPECT_EQ(app->shown_multi_score, 0);
    expect_submitted("single", app->history.entries()[0].score);

    // A later single run is collected as an ordinary run again.
    ASSERT_TRUE(click("Single-Core"));
    ASSERT_TRUE(frames_until([&] { return app->history.entries().size() == 2; }));
    EXPECT_EQ(app->shown_single_score, app->history.entries()[1].score);
    EXPECT_EQ(app->shown_multi_score, 0);
}

TEST_F(BenchmarkPanelTest, RefusedStartShowsTheEngineErrorInRedUntilTheNextStart) {
    BenchmarkConfig refused = tiny_run_settings();
    refused.tile_size = 0;
    app->runs.set_settings(refused);
    frame();
    ASSERT_TRUE(click("Single-Core"));
    frame();
    EXPECT_TRUE(idle());
    const auto message = gui.find_text("Invalid benchmark settings");
    ASSERT_TRUE(message) << gui.all_text();
    EXPECT_EQ(message->color, packed(palette::error_red));
    const auto button = gui.find_text("Run Both");
    ASSERT_TRUE(button);
    EXPECT_GT(message->min.y, button->max.y) << "the message sits under the buttons";

    // "Run Both" refused: the sequence does not wait for a run that never comes.
    ASSERT_TRUE(click("Run Both"));
    frame();
    EXPECT_TRUE(idle());

    app->runs.set_settings(tiny_run_settings());
    ASSERT_TRUE(click("Single-Core"));
    frame();
    EXPECT_FALSE(gui.has_text("Invalid benchmark settings"));
    ASSERT_TRUE(frames_until([&] { return app->history.entries().size() == 1; }));
}

TEST_F(BenchmarkPanelTest, MultiCoreButtonNamesAndUsesTheHardwareThreads) {
    const std::int32_t hardware = static_cast<std::int32_t>(std::thread::hardware_concurrency());
    frame();
    const std::string label = "Multi-Core (" + std::to_string(hardware) + "T)";
    ASSERT_TRUE(gui.has_text(label)) << gui.all_text();
    ASSERT_TRUE(click(label));
    ASSERT_TRUE(frames_until([&] { return app->history.entries().size() == 1; }));
    EXPECT_EQ(app->history.entries()[0].threads, std::max(hardware, 1));
}

}  // namespace

namespace {

// Flips one bit of tile 0 after it is rendered, as a faulty core would.
void corrupt_first_tile(void*, const Tile& tile, std::uint8_t* pixels, std::int32_t image_width) {
    if (tile.index == 0) pixels[static_cast<std::size_t>(image_width) * 4 + 1] ^= 0x08;
}

}  // namespace

TEST_F(BenchmarkPanelTest, KnownImageShowsVerifiedInTealAndAWrongOneIsRefusedInRed) {
    // The tiny run's image, known as the preset's is in the program.
    const BenchmarkConfig config = app->runs.settings();
    app->runs.set_known_images({known_image_of(config, render_image(config).data())});

    frame();
    ASSERT_TRUE(click("Single-Core"));
    ASSERT_TRUE(frames_until([&] { return !app->history.entries().empty(); }));
    frame();
    const auto verified = gui.find_text("Verified");
    ASSERT_TRUE(verified) << gui.all_text();
    EXPECT_EQ(verified->color, packed(palette::teal));

    app->runs.set_tile_hook(&corrupt_first_tile, nullptr);
    ASSERT_TRUE(click("Single-Core"));
    frame();
    EXPECT_FALSE(gui.has_text("Verified")) << "a new run clears the last verdict";
    ASSERT_TRUE(frames_until([&] { return idle(); }));
    frame();
    EXPECT_FALSE(gui.has_text("Verified"));
    // No score for it: the mismatch stands in the single-core score's place, beside "SC:".
    const auto mismatch = gui.find_text("Image mismatch:");  // wrapped: the first line
    const auto label = gui.find_text("SC:");
    ASSERT_TRUE(mismatch && label) << gui.all_text();
    EXPECT_EQ(mismatch->color, packed(palette::error_red));
    EXPECT_GT(mismatch->min.x, label->max.x);
    EXPECT_LT(mismatch->min.y, label->max.y);
    EXPECT_TRUE(gui.has_text("tile 0 (worker 0)")) << gui.all_text();
    // Neither stored nor submitted: the server holds the first run only.
    EXPECT_EQ(app->history.entries().size(), 1u);
    expect_submitted("single", app->history.entries()[0].score);
}

}  // namespace vornmark
