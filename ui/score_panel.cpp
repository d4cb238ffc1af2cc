#include "ui/score_panel.h"

#include "base/run_kind.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/run_conditions_lines.h"
#include "ui/standing_view.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

constexpr const char* not_saved_text = "not saved: see History";

// "SC:" or "MC:" in the large font, then the score; for a run whose image was wrong, the mismatch
// in the score's place, in the body font and wrapped beside the label. A run the history could not
// store says so under its score, in the History tab's red.
void draw_score_line(const char* label, std::int32_t score, bool wrong_image, bool unsaved,
                     const ImVec4& digits, ImFont* large) {
    if (large) ImGui::PushFont(large);
    ImGui::TextColored(label_grey, "%s", label);
    ImGui::SameLine();
    if (wrong_image) {
        if (large) ImGui::PopFont();
        ImGui::PushStyleColor(ImGuiCol_Text, error_red);
        text_wrapped_at_blanks(mismatch_text);
        ImGui::PopStyleColor();
        return;
    }
    if (score < 1)
        ImGui::TextColored(placeholder_grey, "---");
    else
        ImGui::TextColored(digits, "%d", score);
    if (large) ImGui::PopFont();
    if (unsaved) ImGui::TextColored(error_red, "%s", not_saved_text);
}

// Under the scores: whether the last run's image was the known-good one, or which tiles were
// wrong (the mismatch itself stands in the score's place). Nothing for an image nothing is known
// about.
void draw_image_verdict(const ImageVerdict& verdict) {
    if (verdict.status == ImageStatus::Verified) {
        ImGui::TextColored(teal, "%s", verified_text);
    } else if (verdict.status == ImageStatus::Mismatch && !verdict.wrong_tiles.empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, muted_grey);
        text_wrapped_at_blanks("Wrong tiles: " + wrong_tiles_text(verdict.wrong_tiles));
        ImGui::PopStyleColor();
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

    draw_score_line("SC:", app.shown_single_score, app.shown_single_wrong, app.shown_single_unsaved, teal,
                    large);
    draw_score_line("MC:", app.shown_multi_score, app.shown_multi_wrong, app.shown_multi_unsaved, orange,
                    large);
    draw_image_verdict(app.shown_verdict);
    draw_run_conditions_lines(app);
    draw_run_standing(app);

    if (app.history.entries().empty()) return;
    const std::int32_t best_single = app.history.best_score(RunKind::Single);
    const std::int32_t best_multi = app.history.best_score(RunKind::Multi);
    if (best_single < 1 && best_multi < 1) return;

    ImGui::Spacing();
    ImGui::TextColored(muted_grey, "Best:");
    if (best_single > 0) ImGui::Text("  SC: %d", best_single);
    if (best_multi > 0) ImGui::Text("  MC: %d", best_multi);
}

}  // namespace vornmark
