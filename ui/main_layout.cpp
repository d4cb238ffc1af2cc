#include "ui/main_layout.h"

#include <algorithm>
#include <cmath>

#include <imgui.h>

#include "ui/app_state.h"
#include "ui/benchmark_panel.h"
#include "ui/colours.h"
#include "ui/column_background.h"
#include "ui/cpu_panel.h"
#include "ui/gpu_backend.h"
#include "ui/history_panel.h"
#include "ui/leaderboard_panel.h"
#include "ui/preview_panel.h"
#include "ui/score_panel.h"
#include "ui/system_info_panel.h"
#include "vornmark_version.h"

namespace vornmark {

namespace {

// From the window's right edge, in pixels at any scale.
constexpr float running_label_inset = 200.0f;

// A column: a bordered child window of `width` down to the window's bottom padding,
// whose background the parent window draws first, so that the graphics layer fills it
// the cheap way (see draw_column_background). ImGui draws a child's border into the
// parent's list as the child begins, and a transparent background colour keeps it.
void begin_column(const char* id, float width, IGpuBackend* gpu, ImGuiWindowFlags flags = 0) {
    // The size BeginChild gives (width, -1): a size of 0 or less counts from the space left.
    const ImVec2 space = ImGui::GetContentRegionAvail();
    const float floored = std::floor(width);
    const ImVec2 size(floored > 0.0f ? floored : std::max(space.x + floored, 4.0f),
                      std::max(space.y - 1.0f, 4.0f));
    const ImVec2 min = ImGui::GetCursorScreenPos();
    draw_column_background(*ImGui::GetWindowDrawList(), gpu, min, ImVec2(min.x + size.x, min.y + size.y),
                           ImGui::GetColorU32(ImGuiCol_ChildBg), ImGui::GetStyle().ChildRounding);
    ImGui::PushStyleColor(ImGuiCol_ChildBg, transparent);
    ImGui::BeginChild(id, size, true, flags);
    ImGui::PopStyleColor();
}

}  // namespace

ColumnWidths column_widths(float available, float scale, float right_needed) {
    ColumnWidths widths;
    widths.left = 280.0f * scale;
    widths.right = std::max(320.0f * scale, right_needed);
    widths.center = available - widths.left - widths.right - 24.0f * scale;
    return widths;
}

void draw_main_layout(AppState& app) {
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(viewport->WorkSize, ImGuiCond_Always);
    // The shells clear the window to the style's window colour, so the window paints no
    // background of its own: with a software renderer that second full-window pass is a
    // third of a frame's cost.
    ImGui::Begin("##main", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoBackground);

    // Header.
    if (app.font_heading != nullptr) {
        ImGui::PushFont(app.font_heading);
    }
    ImGui::TextColored(teal, "VORNMARK");
    ImGui::SameLine();
    ImGui::TextColored(muted_grey, "v" VORNMARK_VERSION);
    if (app.font_heading != nullptr) {
        ImGui::PopFont();
    }
    // Only joined to the header line when something is drawn there: a SameLine
    // without an item would pull the separator below up onto the header.
    const bool running = app.runs.busy();
    if (running) {
        ImGui::SameLine(ImGui::GetWindowWidth() - running_label_inset);
        ImGui::TextColored(teal, "RUNNING...");
    }
    ImGui::Separator();
    ImGui::Spacing();

    const ImGuiStyle& style = ImGui::GetStyle();
    // A column's content lies inside its padding and border on both sides.
    const float column_frame = 2.0f * (style.WindowPadding.x + style.ChildBorderSize);
    const float available = ImGui::GetContentRegionAvail().x;
    const ColumnWidths widths =
        column_widths(available, app.dpi_scale, history_panel_width(app.dpi_scale) + column_frame);
    const float columns_top = ImGui::GetCursorPosY();

    begin_column("##left", widths.left, app.gpu);
    draw_system_info_panel(app, app.font_mono);
    draw_benchmark_panel(app);
    // The smallest window keeps the machine and the start buttons whole, with room for Cancel when
    // no run shows it; the scores and what follows them scroll inside the column when they must.
    const float left_needed_height =
        ImGui::GetCursorPosY() + style.WindowPadding.y + (running ? 0.0f : cancel_button_room());
    draw_score_panel(app, app.font_mono_large);
    ImGui::EndChild();
    ImGui::SameLine();

    // A progress line wider than a narrow centre scrolls sideways rather than widening the window.
    begin_column("##center", widths.center, app.gpu, ImGuiWindowFlags_HorizontalScrollbar);
    draw_preview_panel(app);
    draw_progress_panel(app, app.font_mono);
    draw_cpu_panel(app, app.font_mono);
    ImGui::EndChild();
    ImGui::SameLine();

    begin_column("##right", widths.right, app.gpu);
    if (ImGui::BeginTabBar("##right_tabs")) {
        if (ImGui::BeginTabItem("History")) {
            draw_history_panel(app);
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Leaderboard")) {
            draw_leaderboard_panel(app);
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
    ImGui::EndChild();

    // The smallest window: the side columns whole, the centre as wide as its CPU line, and the left
    // column down to its start buttons. Small enough for a 1024 x 768 screen with a taskbar and a
    // window frame; the columns scroll inside where the window is smaller than their content. It
    // only grows, so that a window at its minimum does not change size with every message that
    // comes and goes.
    const float center_needed = cpu_panel_width(app.font_mono) + column_frame;
    const float main_frame_x = ImGui::GetWindowWidth() - available;
    const ImVec2 needed(
        std::ceil(main_frame_x + widths.left + widths.right + 24.0f * app.dpi_scale + center_needed),
        std::ceil(columns_top + left_needed_height + style.WindowPadding.y + 1.0f));
    app.minimum_window_size =
        ImVec2(std::max(app.minimum_window_size.x, needed.x), std::max(app.minimum_window_size.y, needed.y));
    ImGui::End();
}

}  // namespace vornmark
