#include "ui/benchmark_panel.h"

#include <cstdio>
#include <string>
#include <thread>

#include "base/run_kind.h"
#include "session/run_controller.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

// Pixels, deliberately not scaled with the DPI.
constexpr float start_button_height = 35.0f;
constexpr float cancel_button_height = 30.0f;

std::int32_t hardware_threads() {
    return static_cast<std::int32_t>(std::thread::hardware_concurrency());
}

void push_button_colours(const ImVec4& normal, const ImVec4& hovered, const ImVec4& active) {
    ImGui::PushStyleColor(ImGuiCol_Button, normal);
    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, hovered);
    ImGui::PushStyleColor(ImGuiCol_ButtonActive, active);
}

}  // namespace

float cancel_button_room() {
    return cancel_button_height + 2.0f * ImGui::GetStyle().ItemSpacing.y;
}

void draw_benchmark_panel(AppState& app) {
    RunController& runs = app.runs;

    ImGui::Spacing();
    ImGui::PushStyleColor(ImGuiCol_Text, orange);
    ImGui::Text("BENCHMARK");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    // Read once: it decides the disabled buttons and Cancel in this frame. A start while a run is
    // going or queued is ignored by the controller.
    const bool busy = runs.busy();

    ImGui::BeginDisabled(busy);
    const float w = ImGui::GetContentRegionAvail().x;

    push_button_colours(core_button, core_button_hovered, core_button_active);
    if (ImGui::Button("  Single-Core  ", ImVec2(w, start_button_height))) runs.start(RunKind::Single);
    char multi_label[64];
    std::snprintf(multi_label, sizeof multi_label, "  Multi-Core (%dT)  ", hardware_threads());
    if (ImGui::Button(multi_label, ImVec2(w, start_button_height))) runs.start(RunKind::Multi);
    ImGui::PopStyleColor(3);

    push_button_colours(both_button, both_button_hovered, both_button_active);
    if (ImGui::Button("  Run Both  ", ImVec2(w, start_button_height))) runs.start_both();
    ImGui::PopStyleColor(3);
    ImGui::EndDisabled();

    if (busy) {
        ImGui::Spacing();
        if (ImGui::Button("  Cancel  ", ImVec2(w, cancel_button_height))) runs.cancel();
    }

    // Why the last start was refused or the run could not take place; cleared by the next start.
    const std::string& error = runs.error();
    if (!error.empty()) {
        ImGui::Spacing();
        ImGui::PushStyleColor(ImGuiCol_Text, error_red);
        text_wrapped_at_blanks(error);
        ImGui::PopStyleColor();
    }
}

}  // namespace vornmark
