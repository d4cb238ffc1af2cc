#include "ui/main_layout.h"

#include <imgui.h>

#include "ui/app_state.h"
#include "ui/benchmark_panel.h"
#include "ui/colours.h"
#include "ui/cpu_panel.h"
#include "ui/history_panel.h"
#include "ui/leaderboard_panel.h"
#include "ui/preview_panel.h"
#include "ui/score_panel.h"
#include "ui/system_info_panel.h"
#include "vornmark_version.h"

namespace {

// From the window's right edge, in pixels at any scale.
constexpr float running_label_inset = 200.0f;

}  // namespace

ColumnWidths column_widths(float available, float scale) {
    ColumnWidths widths;
    widths.left = 280.0f * scale;
    widths.right = 320.0f * scale;
    widths.center = available - 280.0f * scale - 320.0f * scale - 24.0f * scale;
    return widths;
}

void draw_main_layout(AppState& app) {
    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    ImGui::SetNextWindowPos(viewport->WorkPos, ImGuiCond_Always, ImVec2(0.0f, 0.0f));
    ImGui::SetNextWindowSize(viewport->WorkSize, ImGuiCond_Always);
    ImGui::Begin("##main", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                     ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);

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
    if (app.engine.running.load()) {
        ImGui::SameLine(ImGui::GetWindowWidth() - running_label_inset);
        ImGui::TextColored(teal, "RUNNING...");
    }
    ImGui::Separator();
    ImGui::Spacing();

    const ColumnWidths widths = column_widths(ImGui::GetContentRegionAvail().x, app.dpi_scale);

    ImGui::BeginChild("##left", ImVec2(widths.left, -1.0f), true);
    draw_system_info_panel(app, app.font_mono);
    draw_benchmark_panel(app);
    draw_score_panel(app, app.font_mono_large);
    ImGui::EndChild();
    ImGui::SameLine();

    ImGui::BeginChild("##center", ImVec2(widths.center, -1.0f), true);
    draw_preview_panel(app);
    draw_progress_panel(app, app.font_mono);
    draw_cpu_panel(app, app.font_mono);
    ImGui::EndChild();
    ImGui::SameLine();

    ImGui::BeginChild("##right", ImVec2(widths.right, -1.0f), true);
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
    ImGui::End();
}
