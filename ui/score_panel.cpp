#include "ui/score_panel.h"

#include "base/run_kind.h"
#include "ui/app_state.h"
#include "ui/colours.h"

namespace {

void draw_score_line(const char* label, std::int32_t score, const ImVec4& digits) {
    ImGui::TextColored(label_grey, "%s", label);
    ImGui::SameLine();
    if (score < 1)
        ImGui::TextColored(placeholder_grey, "---");
    else
        ImGui::TextColored(digits, "%d", score);
}

// Under the scores: whether the last run's image was the known-good one. Nothing
// for an image nothing is known about.
void draw_image_verdict(const ImageVerdict& verdict) {
    if (verdict.status == ImageStatus::Verified) {
        ImGui::TextColored(teal, "%s", verified_text);
    } else if (verdict.status == ImageStatus::Mismatch) {
        ImGui::PushStyleColor(ImGuiCol_Text, error_red);
        ImGui::TextWrapped("%s", mismatch_text);
        ImGui::PopStyleColor();
        if (!verdict.wrong_tiles.empty()) {
            ImGui::PushStyleColor(ImGuiCol_Text, muted_grey);
            ImGui::TextWrapped("Wrong tiles: %s", wrong_tiles_text(verdict.wrong_tiles).c_str());
            ImGui::PopStyleColor();
        }
    }
}

}  // namespace

void draw_score_panel(AppState& app, ImFont* large) {
    ImGui::Spacing();
    ImGui::Spacing();
    ImGui::PushStyleColor(ImGuiCol_Text, teal);
    ImGui::Text("SCORE");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    if (large) ImGui::PushFont(large);
    draw_score_line("SC:", app.shown_single_score, teal);
    draw_score_line("MC:", app.shown_multi_score, orange);
    if (large) ImGui::PopFont();
    draw_image_verdict(app.shown_verdict);

    if (app.history.entries().empty()) return;
    const std::int32_t best_single = app.history.best_score(RunKind::Single);
    const std::int32_t best_multi = app.history.best_score(RunKind::Multi);
    if (best_single < 1 && best_multi < 1) return;

    ImGui::Spacing();
    ImGui::TextColored(muted_grey, "Best:");
    if (best_single > 0) ImGui::Text("  SC: %d", best_single);
    if (best_multi > 0) ImGui::Text("  MC: %d", best_multi);
}
