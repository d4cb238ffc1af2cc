#include "ui/score_panel.h"

#include <gtest/gtest.h>

#include "tests/support/sample_records.h"
#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/palette.h"
#include "tests/ui/panel_test_app.h"
#include "ui/run_updates.h"

namespace vornmark {

namespace {

class ScorePanelTest : public ::testing::Test {
protected:
    void frame() {
        gui.window_frame(ImVec2(280.0f, 400.0f), [this] { draw_score_panel(*app, gui.large_font()); });
    }
    TempDir dir;
    GuiTestContext gui;
    std::unique_ptr<AppState> app = make_test_app(dir, unreachable_endpoint(), "Score CPU");
};

TEST_F(ScorePanelTest, EmptyHistoryShowsPlaceholdersAndNoBestLine) {
    frame();
    ASSERT_TRUE(gui.has_text("SCORE"));
    int placeholders = 0;
    for (const TextRun& text : gui.texts()) {
        const std::size_t at = text.text.find("---");
        if (at != std::string::npos) {
            ++placeholders;
            EXPECT_EQ(text.char_color[at], packed(palette::placeholder_grey));
        }
    }
    EXPECT_EQ(placeholders, 2) << gui.all_text();
    EXPECT_FALSE(gui.has_text("Best:"));
}

TEST_F(ScorePanelTest, ShownScoresInTheirColoursAndBestLinesFromTheHistory) {
    app->history.append(sample_run("single", 900));
    app->history.append(sample_run("single", 1200));
    app->history.append(sample_run("Single", 5000));  // not a "single" run
    app->shown_single_score = 700;                    // a newer, slower run still replaces the large score
    app->shown_multi_score = 2400;
    frame();

    const auto single = gui.find_text("700");
    ASSERT_TRUE(single) << gui.all_text();
    EXPECT_EQ(single->color, packed(palette::teal));
    const auto multi = gui.find_text("2400");
    ASSERT_TRUE(multi);
    EXPECT_EQ(multi->color, packed(palette::orange));
    EXPECT_GT(multi->min.y, single->max.y - 1.0f);

    const auto best = gui.find_text("Best:");
    ASSERT_TRUE(best);
    EXPECT_EQ(best->color, packed(palette::muted_grey));
    EXPECT_TRUE(gui.has_text("SC: 1200"));
    int mc_lines = 0;
    for (const TextRun& text : gui.texts()) mc_lines += text.text.find("MC:") != std::string::npos;
    EXPECT_EQ(mc_lines, 1) << "only the large score: no multi-core run in the history";
}

TEST_F(ScorePanelTest, HistoryWithoutPositiveScoresDrawsNoBestLine) {
    app->history.append(sample_run("single", 0));
    app->history.append(sample_run("multi", -5));
    frame();
    EXPECT_FALSE(gui.has_text("Best:"));
}

TEST_F(ScorePanelTest, MpRatioFromTheBestRunsOfThisProcessorInTheHistory) {
    app->history.append(sample_run("single", 100));
    app->history.append(sample_run("multi", 700));
    frame();
    EXPECT_FALSE(gui.has_text("MP ratio")) << "the history's runs are of another processor";

    app->sysinfo.cpu_name = "Test CPU";
    app->history.append(sample_run("multi", 750));
    frame();
    const auto ratio = gui.find_text("MP ratio 7.50\xC3\x97 on 8 threads");
    ASSERT_TRUE(ratio) << gui.all_text();
    EXPECT_EQ(ratio->color, packed(palette::label_grey));
}

TEST_F(ScorePanelTest, RunBothShowsEachRunsConditionsAndTheirMpRatio) {
    app->runs.start_both();
    ASSERT_TRUE(wait_until([&] {
        poll_runs(*app);
        return !app->runs.busy();
    }));
    frame();
    // Busy or not depends on the machine the suite shares; the colour follows the word.
    const ImVec4 amber(1.0f, 0.75f, 0.2f, 1.0f);
    for (const std::string label : {"SC: ", "MC: "}) {
        int lines = 0;
        for (const TextRun& text : gui.texts()) {
            const bool quiet = text.text.rfind(label + "quiet", 0) == 0;
            if (!quiet && text.text.rfind(label + "busy: ", 0) != 0 &&
                text.text.rfind(label + "throttled: ", 0) != 0)
                continue;
            ++lines;
            EXPECT_EQ(text.color, packed(quiet ? palette::label_grey : amber)) << text.text;
        }
        EXPECT_EQ(lines, 1) << gui.all_text();
    }
    EXPECT_TRUE(gui.has_text("MP ratio ")) << gui.all_text();
}

}  // namespace

}  // namespace vornmark
