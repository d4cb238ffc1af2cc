#include "ui/standing_view.h"

#include <gtest/gtest.h>

#include "tests/support/sample_records.h"
#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/app_state.h"
#include "ui/leaderboard_panel.h"
#include "ui/score_panel.h"

namespace vornmark {

namespace {

const ImVec4 bar_colour(0.0f, 0.5f, 0.4f, 1.0f);  // the histogram's bars: the teal buttons' face

Standing known_standing() {
    Standing s;
    s.cpu = "Own Test CPU";
    s.runs = 41;
    s.avg_score = 138;
    s.faster_than = 63;
    s.rank = 12;
    s.rows = 230;
    s.edges = {100, 120, 140, 160};
    s.counts = {5, 30, 6};
    s.median = 139;
    s.p10 = 120;
    s.p90 = 150;
    return s;
}

StandingOutcome outcome(StandingOutcome::State state, RunKind kind, std::optional<std::int32_t> score,
                        Standing standing = {}, std::string error = {}) {
    return {state, kind, "Own Test CPU", score, std::move(standing), std::move(error)};
}

class StandingViewTest : public ::testing::Test {
protected:
    std::function<void()> score_panel() {
        return in_window(ImVec2(280.0f, 500.0f), [this] { draw_score_panel(*app, gui.large_font()); });
    }
    std::function<void()> leaderboard_panel() {
        return in_window(ImVec2(320.0f, 500.0f), [this] { draw_leaderboard_panel(*app); });
    }
    TempDir dir;
    GuiTestContext gui;
    std::unique_ptr<AppState> app = make_test_app(dir, unreachable_endpoint(), "Own Test CPU");
};

// Under the score: the line and a histogram with a marker at the run's score; nothing before the
// answer or for a score no longer shown; in grey why there is none when it failed.
TEST_F(StandingViewTest, TheRunsStandingShowsUnderItsScoreOnlyWhenThereIsOne) {
    const std::string line = "Faster than 63 % of 41 runs of this processor \u00B7 #12 of 230 processors";
    app->shown_multi_score = 145;
    struct Case {
        const char* name;
        StandingOutcome outcome;
        bool line_shown;
        const char* grey;  // a grey line instead, or null
    };
    const std::vector<Case> cases = {
        {"answered", outcome(StandingOutcome::State::Ready, RunKind::Multi, 145, known_standing()), true,
         nullptr},
        {"before the answer", outcome(StandingOutcome::State::Waiting, RunKind::Multi, 145), false, nullptr},
        {"another score is shown",
         outcome(StandingOutcome::State::Ready, RunKind::Multi, 99, known_standing()), false, nullptr},
        {"failed", outcome(StandingOutcome::State::Failed, RunKind::Multi, 145, {}, "HTTP 429 (localhost:1)"),
         false, "standing not available: HTTP 429 (localhost:1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app->leaderboard_client.set_results_for_testing({.run_standing = c.outcome});
        gui.frame(score_panel());
        EXPECT_EQ(gui.has_text("Faster than 63 %"), c.line_shown) << gui.all_text();
        const auto marker = gui.shape_bounds(packed(palette::orange));
        const auto bars = gui.shape_bounds(packed(bar_colour));
        EXPECT_EQ(marker.has_value(), c.line_shown);
        EXPECT_EQ(bars.has_value(), c.line_shown);
        if (c.line_shown && marker && bars) {
            // 145 lies in the middle bar, left of the middle of the whole range.
            const float at = (marker->center().x - bars->min.x) / (bars->max.x - bars->min.x);
            EXPECT_NEAR(at, (145.5 - 100) / 60, 0.05);
            EXPECT_TRUE(gui.has_text(line.substr(0, 20)));
        }
        if (c.grey) {
            const auto grey = gui.find_text("standing not available");
            ASSERT_TRUE(grey) << gui.all_text();
            EXPECT_EQ(grey->color, packed(palette::label_grey));
        }
    }
}

// A chosen row of the standings shows its processor's spread; the user's own processor has the
// best score of that type from the history marked.
TEST_F(StandingViewTest, AChosenRowShowsItsSpreadWithTheOwnBestMarked) {
    app->history.append(sample_run("single", 150));
    app->leaderboard_client.set_results_for_testing(
        {.single_standings = {{"Other CPU", 500, 3}, {"Own Test CPU", 140, 41}}});
    gui.frames(2, leaderboard_panel());
    ASSERT_TRUE(gui.click_text("Own Test CPU", leaderboard_panel()));
    ASSERT_TRUE(app->chosen_processor);
    EXPECT_EQ(app->chosen_processor->cpu, "Own Test CPU");
    // The unreachable server's answer first, then the one this test gives.
    ASSERT_TRUE(wait_until([&] { return app->leaderboard_client.standing_request_count() == 0; }));
    gui.frame(leaderboard_panel());
    EXPECT_TRUE(gui.has_text("standing not available")) << gui.all_text();

    app->leaderboard_client.set_results_for_testing(
        {.single_standings = {{"Other CPU", 500, 3}, {"Own Test CPU", 140, 41}},
         .processor_standing =
             outcome(StandingOutcome::State::Ready, RunKind::Single, std::nullopt, known_standing())});
    gui.frames(2, leaderboard_panel());
    EXPECT_TRUE(gui.has_text("median 139")) << gui.all_text();
    EXPECT_TRUE(gui.shape_bounds(packed(bar_colour)).has_value());
    EXPECT_TRUE(gui.shape_bounds(packed(palette::orange)).has_value()) << "the own best, 150";

    // Another processor: no marker.
    ASSERT_TRUE(gui.click_text("Other CPU", leaderboard_panel()));
    ASSERT_TRUE(wait_until([&] { return app->leaderboard_client.standing_request_count() == 0; }));
    StandingOutcome other =
        outcome(StandingOutcome::State::Ready, RunKind::Single, std::nullopt, known_standing());
    other.cpu = "Other CPU";
    app->leaderboard_client.set_results_for_testing(
        {.single_standings = {{"Other CPU", 500, 3}, {"Own Test CPU", 140, 41}},
         .processor_standing = other});
    gui.frames(2, leaderboard_panel());
    EXPECT_TRUE(gui.shape_bounds(packed(bar_colour)).has_value());
    EXPECT_FALSE(gui.shape_bounds(packed(palette::orange)).has_value());
}

}  // namespace

}  // namespace vornmark
