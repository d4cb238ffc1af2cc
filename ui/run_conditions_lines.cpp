#include "ui/run_conditions_lines.h"

#include <string>

#include "base/run_kind.h"
#include "session/mp_ratio.h"
#include "session/run_conditions.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

void draw_conditions(const char* label, const RunConditions& conditions) {
    ImGui::PushStyleColor(ImGuiCol_Text, conditions.verdict == ConditionsVerdict::Quiet ? label_grey : amber);
    text_wrapped_at_blanks(std::string(label) + " " + conditions_summary(conditions));
    ImGui::PopStyleColor();
}

}  // namespace

void draw_run_conditions_lines(const AppState& app) {
    const RunConditions* single = nullptr;
    const RunConditions* multi = nullptr;
    for (const FinishedRun& run : app.runs.finished_runs()) {
        if (!run.conditions) continue;
        (run.result.type == RunKind::Single ? single : multi) = &*run.conditions;
    }
    std::optional<MpRatio> ratio = mp_ratio_of_runs(app.runs.finished_runs());
    if (!ratio) ratio = mp_ratio_of_history(app.history.entries(), app.sysinfo.cpu_name);
    if (!single && !multi && !ratio) return;

    ImGui::Spacing();
    if (single) draw_conditions("SC:", *single);
    if (multi) draw_conditions("MC:", *multi);
    if (ratio) ImGui::TextColored(label_grey, "%s", mp_ratio_text(*ratio).c_str());
}

}  // namespace vornmark
