#include "ui/system_info_panel.h"

#include <vector>

#include "sysinfo/system_info_rows.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

void draw_system_info_panel(AppState& app, ImFont* mono) {
    ImGui::PushStyleColor(ImGuiCol_Text, teal);
    ImGui::Text("SYSTEM INFO");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    // All values start at one x, six body-font heights from the column's left edge.
    const float value_x = ImGui::GetFontSize() * 6.0f;
    for (const SystemInfoRow& row : system_info_rows(app.sysinfo)) {
        if (row.label.empty()) {
            ImGui::Spacing();
            continue;
        }
        ImGui::TextColored(label_grey, "%s", row.label.c_str());
        ImGui::SameLine(value_x);
        if (mono != nullptr) {
            ImGui::PushFont(mono);
        }
        text_wrapped_at_blanks(row.value);
        if (mono != nullptr) {
            ImGui::PopFont();
        }
    }
}

}  // namespace vornmark
