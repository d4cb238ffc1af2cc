#include "ui/main_layout.h"

#include <gtest/gtest.h>

#include <imgui_internal.h>

#include <algorithm>
#include <memory>
#include <thread>

#include "tests/support/sample_records.h"
#include "tests/ui/gui_test_context.h"
#include "tests/ui/panel_test_app.h"
#include "ui/app_state.h"
#include "vornmark_version.h"

namespace vornmark {

namespace {

TEST(ColumnWidths, SideColumnsAreFixedAndTheCentreTakesTheRest) {
    const ColumnWidths w = column_widths(1576.0f, 1.0f);
    EXPECT_FLOAT_EQ(w.left, 280.0f);
    EXPECT_FLOAT_EQ(w.right, 320.0f);
    EXPECT_FLOAT_EQ(w.center, 952.0f);

    const ColumnWidths scaled = column_widths(1576.0f, 1.5f);
    EXPECT_FLOAT_EQ(scaled.left, 420.0f);
    EXPECT_FLOAT_EQ(scaled.right, 480.0f);
    EXPECT_FLOAT_EQ(scaled.center, 1576.0f - 936.0f);
}

TEST(ColumnWidths, RightColumnWidensWhenTheHistoryNeedsMore) {
    const ColumnWidths w = column_widths(1576.0f, 1.0f, 400.0f);
    EXPECT_FLOAT_EQ(w.right, 400.0f);
    EXPECT_FLOAT_EQ(w.center, 1576.0f - 280.0f - 400.0f - 24.0f);
    EXPECT_FLOAT_EQ(column_widths(1576.0f, 1.0f, 200.0f).right, 320.0f);
}

TEST(ColumnWidths, NarrowWindowGivesTheCentreNothingWithoutClamping) {
    const ColumnWidths w = column_widths(500.0f, 1.0f);
    EXPECT_FLOAT_EQ(w.left, 280.0f);
    EXPECT_FLOAT_EQ(w.right, 320.0f);
    EXPECT_FLOAT_EQ(w.center, -124.0f);
}

class MainLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        make_app(dir);
        // The window's own style sizes, as the shell sets them.
        ImGuiStyle& style = ImGui::GetStyle();
        style.WindowPadding = ImVec2(12.0f, 12.0f);
        style.WindowBorderSize = 0.0f;
        style.ItemSpacing = ImVec2(8.0f, 6.0f);
        // Lines as plain shapes, so that shape_bounds finds the separator.
        style.AntiAliasedLinesUseTex = false;
    }
    void TearDown() override {
        app->runs.cancel();
        app->leaderboard_client.shutdown();
        app.reset();
    }
    void make_app(const TempDir& history_dir) {
        app = make_test_app(history_dir, unreachable_endpoint(), "Test CPU");
        app->gpu = &gpu;
        app->font_ui = gui.ui_font();
        app->font_mono = gui.mono_font();
        app->font_mono_large = gui.large_font();
        app->font_heading = gui.large_font();
    }
    void draw() { gui.frame(window_frame(*app)); }
    // Lowest point of the separator lines drawn by "##main" itself (no border of its
    // own; the columns draw their borders in their own lists).
    float separator_y() {
        const ImU32 separator = ImGui::GetColorU32(ImGuiCol_Separator);
        const auto box = gui.shape_bounds(separator, "##main");
        return box ? box->min.y : -1.0f;
    }

    GuiTestContext gui;
    TempDir dir;
    FakeGpuBackend gpu;
    std::unique_ptr<AppState> app;
};

TEST_F(MainLayoutTest, FillsTheDisplayWithThreeColumnsOfTheirWidths) {
    draw();
    draw();
    EXPECT_EQ(GuiTestContext::window_size("##main").x, 1600.0f);
    EXPECT_EQ(GuiTestContext::window_size("##main").y, 900.0f);
    // 1600 less 2 x 12 padding: 1576 for the columns.
    const ImVec2 left = GuiTestContext::window_size("##main/##left_");
    const ImVec2 center = GuiTestContext::window_size("##main/##center_");
    const ImVec2 right = GuiTestContext::window_size("##main/##right_");
    EXPECT_FLOAT_EQ(left.x, 280.0f);
    EXPECT_GE(right.x, 320.0f);
    EXPECT_FLOAT_EQ(center.x, 1576.0f - 280.0f - 24.0f - right.x);
    // All reach down to the window's bottom padding, less one pixel.
    ImGuiWindow* left_window = GuiTestContext::find_window("##main/##left_");
    ASSERT_NE(left_window, nullptr);
    EXPECT_FLOAT_EQ(left_window->Pos.y + left.y, 900.0f - 12.0f - 1.0f);
    EXPECT_EQ(left.y, center.y);
    EXPECT_EQ(left.y, right.y);
    // Side by side, one item spacing apart.
    ImGuiWindow* center_window = GuiTestContext::find_window("##main/##center_");
    ASSERT_NE(center_window, nullptr);
    EXPECT_FLOAT_EQ(center_window->Pos.x, 12.0f + 280.0f + 8.0f);
    EXPECT_EQ(center_window->Pos.y, left_window->Pos.y);
}

TEST_F(MainLayoutTest, WidthsFollowTheScaleExceptTheCentreWhichTakesTheRest) {
    app->dpi_scale = 1.25f;
    draw();
    draw();
    const float right = GuiTestContext::window_size("##main/##right_").x;
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##left_").x, 350.0f);
    EXPECT_GE(right, 400.0f);
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##center_").x, 1576.0f - 350.0f - 30.0f - right);
}

TEST_F(MainLayoutTest, HeaderNamesTheProgramAndEveryPanelIsDrawnInItsColumn) {
    draw();
    draw();
    const auto title = gui.find_text("VORNMARK");
    const auto version = gui.find_text("v" VORNMARK_VERSION);
    ASSERT_TRUE(title) << gui.all_text();
    ASSERT_TRUE(version);
    EXPECT_EQ(title->color, IM_COL32(0, 212, 170, 255));
    EXPECT_EQ(version->color, IM_COL32(102, 102, 102, 255));
    // The heading font (28 px here) is larger than the body font (13 px).
    EXPECT_GT(title->max.y - title->min.y, 15.0f);
    EXPECT_FALSE(gui.has_text("RUNNING..."));

    ImGuiWindow* left = GuiTestContext::find_window("##main/##left_");
    ImGuiWindow* center = GuiTestContext::find_window("##main/##center_");
    ImGuiWindow* right = GuiTestContext::find_window("##main/##right_");
    ASSERT_TRUE(left && center && right);
    const auto inside = [](const std::optional<TextHit>& hit, ImGuiWindow* w) {
        return hit && hit->min.x >= w->Pos.x && hit->max.x <= w->Pos.x + w->Size.x;
    };
    EXPECT_TRUE(inside(gui.find_text("SYSTEM INFO"), left)) << gui.all_text();
    EXPECT_TRUE(inside(gui.find_text("BENCHMARK"), left));
    EXPECT_TRUE(inside(gui.find_text("SCORE"), left));
    EXPECT_TRUE(inside(gui.find_text("RENDER PREVIEW"), center));
    EXPECT_TRUE(inside(gui.find_text("History"), right));
    EXPECT_TRUE(inside(gui.find_text("Leaderboard"), right));
    // Top to bottom within the columns, in drawing order.
    EXPECT_LT(gui.find_text("SYSTEM INFO")->min.y, gui.find_text("BENCHMARK")->min.y);
    EXPECT_LT(gui.find_text("BENCHMARK")->min.y, gui.find_text("SCORE")->min.y);
    // The separator lies under the header.
    EXPECT_GT(separator_y(), title->max.y);
}

TEST_F(MainLayoutTest, OnlyTheSelectedTabIsDrawnStartingWithHistory) {
    const auto draw_fn = window_frame(*app);
    draw();
    draw();
    EXPECT_TRUE(gui.has_text("RESULTS HISTORY")) << gui.all_text();
    EXPECT_FALSE(gui.has_text("Refresh"));

    ASSERT_TRUE(gui.click_text("Leaderboard", draw_fn));
    draw();
    EXPECT_FALSE(gui.has_text("RESULTS HISTORY")) << gui.all_text();
    EXPECT_TRUE(gui.has_text("Refresh"));

    ASSERT_TRUE(gui.click_text("History", draw_fn));
    draw();
    EXPECT_TRUE(gui.has_text("RESULTS HISTORY"));
}

TEST_F(MainLayoutTest, RunningLabelOnlyWhileARunGoesOnAt200FromTheRightEdge) {
    draw();
    const float separator_idle = separator_y();

    app->runs.set_settings(long_run_settings());
    app->runs.start(RunKind::Single);
    draw();
    const auto label = gui.find_text("RUNNING...");
    ASSERT_TRUE(label) << gui.all_text();
    EXPECT_EQ(label->color, IM_COL32(0, 212, 170, 255));
    EXPECT_NEAR(label->min.x, 1600.0f - 200.0f, 2.0f);
    EXPECT_FLOAT_EQ(separator_y(), separator_idle);

    app->runs.cancel();
    ASSERT_TRUE(wait_for_runs_to_end(*app));
    draw();
    EXPECT_FALSE(gui.has_text("RUNNING..."));
}

TEST_F(MainLayoutTest, RunningLabelStays200PixelsInAtAnyScale) {
    app->dpi_scale = 2.0f;
    app->runs.set_settings(long_run_settings());
    app->runs.start(RunKind::Single);
    draw();
    const auto label = gui.find_text("RUNNING...");
    ASSERT_TRUE(label);
    EXPECT_NEAR(label->min.x, 1400.0f, 2.0f);
}

// The window at its default size, at 1.5 x scale with a much larger font, on the screens of small
// laptops (1024 x 768, 1280 x 720), and asked for 800 x 600, each at least as large as the layout's
// minimum (the shells keep it so): after a run, the history's whole date with its delete button and
// the CPU title show, the table does not scroll sideways, the three start buttons show whole, and
// what does not fit (the scores in a short window, the progress line in a narrow one) is reached by
// scrolling its column.
TEST_F(MainLayoutTest, EveryColumnKeepsItsContentOrScrollsToItAtAnySize) {
    struct Case {
        const char* name;
        ImVec2 asked;
        float scale;
        ImFont* font;
    };
    const Case cases[] = {
        {"default", {1600.0f, 900.0f}, 1.0f, gui.ui_font()},
        {"144 dpi", {1600.0f, 900.0f}, 1.5f, gui.large_font()},
        {"1024 x 768", {1024.0f, 768.0f}, 1.0f, gui.mono_font()},
        {"1280 x 720", {1280.0f, 720.0f}, 1.0f, gui.mono_font()},
        {"800 x 600", {800.0f, 600.0f}, 1.0f, gui.ui_font()},
    };
    const ImGuiStyle unscaled = ImGui::GetStyle();
    const auto layout = [&] { window_frame (*app)(); };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir case_dir;
        make_app(case_dir);
        app->font_mono = c.font;
        app->dpi_scale = c.scale;
        ImGui::GetStyle() = unscaled;
        ImGui::GetStyle().ScaleAllSizes(c.scale);
        gui.io().FontDefault = c.font;
        gui.set_display_size(c.asked);
        gui.frames(2, layout);
        const ImVec2 minimum = app->minimum_window_size;
        const ImVec2 display(std::max(c.asked.x, minimum.x), std::max(c.asked.y, minimum.y));
        gui.set_display_size(display);
        gui.frames(2, layout);
        ASSERT_TRUE(gui.click_text("Single-Core", layout)) << gui.all_text();
        ASSERT_TRUE(frames_until(gui, layout, [&] { return app->history.entries().size() == 1; }));
        app->cpu_monitor.count = 2;
        gui.frames(3, layout);

        ImGuiWindow* left = GuiTestContext::find_window("##main/##left_");
        ImGuiWindow* center = GuiTestContext::find_window("##main/##center_");
        ImGuiWindow* right = GuiTestContext::find_window("##main/##right_");
        ImGuiWindow* table = GuiTestContext::find_window("##history");
        ASSERT_TRUE(left && center && right && table);
        const auto fits = [](const std::optional<TextHit>& hit, ImGuiWindow* column) {
            return hit && hit->min.x >= column->Pos.x && hit->max.x <= column->Pos.x + column->Size.x &&
                   hit->min.y >= column->Pos.y && hit->max.y <= column->Pos.y + column->Size.y;
        };
        for (ImGuiWindow* column : {left, center, right})
            EXPECT_LE(column->Pos.y + column->Size.y, display.y) << "every column ends inside the window";
        const std::string date = app->history.entries().back().date.substr(0, 10);
        const auto date_hit = gui.find_text(date);
        EXPECT_TRUE(fits(date_hit, right)) << gui.all_text();
        std::optional<TextHit> delete_hit;
        for (const TextRun& run : gui.texts())
            if (date_hit && run.text == "X" && std::abs(run.min.y - date_hit->min.y) < 3.0f &&
                run.min.x > date_hit->max.x)
                delete_hit = TextHit{run.text, run.min, run.max, run.color};
        EXPECT_TRUE(fits(delete_hit, right)) << "the delete button follows the date";
        EXPECT_EQ(table->ScrollMax.x, 0.0f);
        EXPECT_TRUE(fits(gui.find_text("CPU UTILIZATION avg"), center)) << gui.all_text();
        for (const char* button : {"Single-Core", "Multi-Core", "Run Both"})
            EXPECT_TRUE(fits(gui.find_text(button), left)) << button << "\n" << gui.all_text();
        EXPECT_EQ(left->Scroll.y, 0.0f) << "the buttons show without scrolling";

        // The progress line shows, or the centre scrolls sideways to it.
        if (!fits(gui.find_text("tiles  |"), center)) {
            EXPECT_GT(center->ScrollMax.x, 0.0f) << gui.all_text();
            ImGui::SetScrollX(center, center->ScrollMax.x);
            gui.frames(2, layout);
            const auto line = gui.find_text("tiles  |");
            ASSERT_TRUE(line) << gui.all_text();
            EXPECT_LE(line->max.x, center->Pos.x + center->Size.x);
            ImGui::SetScrollX(center, 0.0f);
        }
        // The scores show, or the left column scrolls down to them.
        if (!fits(gui.find_text("MC:"), left)) {
            EXPECT_GT(left->ScrollMax.y, 0.0f);
            ImGui::SetScrollY(left, left->ScrollMax.y);
            gui.frames(2, layout);
        }
        EXPECT_TRUE(fits(gui.find_text("SC:"), left)) << gui.all_text();
        EXPECT_TRUE(fits(gui.find_text("MC:"), left));
        ImGui::SetScrollY(left, 0.0f);
    }
    ImGui::GetStyle() = unscaled;
    gui.io().FontDefault = nullptr;
}

// The smallest window fits a 1024 x 768 screen less a taskbar (48) and a window's frame (8 on each
// side, a 31 pixel title bar), in a font as large as the window's (15 px here, 16 there); and it does
// not grow with the lines under the scores, which scroll inside the left column instead.
TEST_F(MainLayoutTest, MinimumFitsA1024By768ScreenAndIgnoresTheLinesUnderTheScores) {
    gui.io().FontDefault = gui.mono_font();
    const auto layout = [&] { window_frame (*app)(); };
    gui.set_display_size(ImVec2(1024.0f - 16.0f, 768.0f - 48.0f - 39.0f));
    gui.frames(2, layout);
    const ImVec2 empty = app->minimum_window_size;
    EXPECT_LE(empty.x, 1024.0f - 16.0f);
    EXPECT_LE(empty.y, 768.0f - 48.0f - 39.0f);
    const float empty_content = GuiTestContext::find_window("##main/##left_")->ContentSize.y;

    TempDir full_dir;
    make_app(full_dir);
    app->history.append(sample_run("single", 1200, 100.0, "2024-05-01T10:00:00"));
    app->history.append(sample_run("multi", 2400, 50.0, "2024-05-01T10:05:00"));
    app->shown_single_score = 1200;
    app->shown_multi_score = 2400;
    app->shown_single_unsaved = true;
    app->shown_multi_unsaved = true;
    gui.frames(2, layout);
    EXPECT_GT(GuiTestContext::find_window("##main/##left_")->ContentSize.y, empty_content + 60.0f)
        << "the best scores and the marks add lines";
    EXPECT_EQ(app->minimum_window_size.y, empty.y);
    EXPECT_EQ(app->minimum_window_size.x, empty.x);
    gui.io().FontDefault = nullptr;
}

TEST_F(MainLayoutTest, NarrowWindowStillDrawsWithoutFailing) {
    gui.set_display_size(ImVec2(500.0f, 400.0f));
    draw();
    draw();
    EXPECT_TRUE(gui.has_text("VORNMARK"));
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##left_").x, 280.0f);
}

}  // namespace

}  // namespace vornmark
