#include "ui/main_layout.h"

#include <gtest/gtest.h>

#include <imgui_internal.h>

#include <memory>
#include <thread>

#include "tests/ui/gui_test_context.h"
#include "tests/ui/panel_test_app.h"
#include "ui/app_state.h"
#include "vornmark_version.h"

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

TEST(ColumnWidths, NarrowWindowGivesTheCentreNothingWithoutClamping) {
    const ColumnWidths w = column_widths(500.0f, 1.0f);
    EXPECT_FLOAT_EQ(w.left, 280.0f);
    EXPECT_FLOAT_EQ(w.right, 320.0f);
    EXPECT_FLOAT_EQ(w.center, -124.0f);
}

class MainLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = make_test_app(dir, unreachable_endpoint(), "Test CPU");
        app->gpu = &gpu;
        app->font_ui = gui.ui_font();
        app->font_mono = gui.mono_font();
        app->font_mono_large = gui.large_font();
        app->font_heading = gui.large_font();
        // The window's own style sizes, as the shell sets them.
        ImGuiStyle& style = ImGui::GetStyle();
        style.WindowPadding = ImVec2(12.0f, 12.0f);
        style.WindowBorderSize = 0.0f;
        style.ItemSpacing = ImVec2(8.0f, 6.0f);
        // Lines as plain shapes, so that shape_bounds finds the separator.
        style.AntiAliasedLinesUseTex = false;
    }
    void TearDown() override {
        app->engine.cancel();
        app->leaderboard_client.shutdown();
        app.reset();
    }
    void draw() {
        gui.frame([&] { draw_main_layout(*app); });
    }
    bool wait_until_stopped() {
        for (int i = 0; i < 6000 && app->engine.running.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return !app->engine.running.load();
    }
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
    EXPECT_FLOAT_EQ(center.x, 952.0f);
    EXPECT_FLOAT_EQ(right.x, 320.0f);
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
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##left_").x, 350.0f);
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##right_").x, 400.0f);
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##center_").x, 1576.0f - 780.0f);
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
    const auto draw_fn = [&] { draw_main_layout(*app); };
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

TEST_F(MainLayoutTest, RunningLabelOnlyWhileTheEngineRunsAt200FromTheRightEdge) {
    draw();
    const float separator_idle = separator_y();

    app->engine.start(long_run_settings());
    ASSERT_TRUE(app->engine.error().empty());
    draw();
    const auto label = gui.find_text("RUNNING...");
    ASSERT_TRUE(label) << gui.all_text();
    EXPECT_EQ(label->color, IM_COL32(0, 212, 170, 255));
    EXPECT_NEAR(label->min.x, 1600.0f - 200.0f, 2.0f);
    EXPECT_FLOAT_EQ(separator_y(), separator_idle);

    app->engine.cancel();
    ASSERT_TRUE(wait_until_stopped());
    draw();
    EXPECT_FALSE(gui.has_text("RUNNING..."));
}

TEST_F(MainLayoutTest, RunningLabelStays200PixelsInAtAnyScale) {
    app->dpi_scale = 2.0f;
    app->engine.start(long_run_settings());
    draw();
    const auto label = gui.find_text("RUNNING...");
    ASSERT_TRUE(label);
    EXPECT_NEAR(label->min.x, 1400.0f, 2.0f);
}

TEST_F(MainLayoutTest, NarrowWindowStillDrawsWithoutFailing) {
    gui.set_display_size(ImVec2(500.0f, 400.0f));
    draw();
    draw();
    EXPECT_TRUE(gui.has_text("VORNMARK"));
    EXPECT_FLOAT_EQ(GuiTestContext::window_size("##main/##left_").x, 280.0f);
}

}  // namespace
