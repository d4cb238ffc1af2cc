#include "ui/history_panel.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "app/app_state.h"
#include "ui/colours.h"

namespace {

const ImVec4 empty_grey(0.4f, 0.4f, 0.4f, 1.0f);
const ImVec4 delete_face(0.4f, 0.1f, 0.1f, 1.0f);

constexpr float table_height = 200.0f;
constexpr std::size_t date_length = 10;  // "YYYY-MM-DD" of "%Y-%m-%dT%H:%M:%S"

}  // namespace

void draw_history_panel(AppState& app) {
    ImGui::PushStyleColor(ImGuiCol_Text, orange);
    ImGui::Text("RESULTS HISTORY");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    const std::vector<HistoryEntry>& entries = app.history.entries();
    if (entries.empty()) {
        ImGui::TextColored(empty_grey, "No results yet");
        return;
    }

    const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerH |
                                  ImGuiTableFlags_BordersOuterH | ImGuiTableFlags_BordersInnerV |
                                  ImGuiTableFlags_BordersOuterV | ImGuiTableFlags_ScrollY;
    if (!ImGui::BeginTable("##history", 5, flags, ImVec2(0.0f, table_height), 0.0f)) return;
    const float s = app.dpi_scale;
    ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed, 30.0f * s);
    ImGui::TableSetupColumn("Type", ImGuiTableColumnFlags_WidthFixed, 50.0f * s);
    ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, 60.0f * s);
    ImGui::TableSetupColumn("Time", ImGuiTableColumnFlags_WidthFixed, 60.0f * s);
    ImGui::TableSetupColumn("Date", ImGuiTableColumnFlags_WidthStretch, 0.0f);
    ImGui::TableHeadersRow();

    // Deleting waits until the table is finished, so no row vanishes mid-table.
    std::optional<std::size_t> to_delete;
    for (int i = static_cast<int>(entries.size()) - 1; i >= 0; --i) {
        const HistoryEntry& entry = entries[static_cast<std::size_t>(i)];
        ImGui::TableNextRow();
        ImGui::TableSetColumnIndex(0);
        ImGui::Text("%d", i + 1);
        ImGui::TableSetColumnIndex(1);
        if (entry.type == "single")
            ImGui::TextColored(teal, "SC");
        else
            ImGui::TextColored(orange, "MC");
        ImGui::TableSetColumnIndex(2);
        ImGui::Text("%d", entry.score);
        ImGui::TableSetColumnIndex(3);
        ImGui::Text("%.1fs", entry.time_seconds);
        ImGui::TableSetColumnIndex(4);
        // The button leads the cell: in the right column at its normal width the
        // date column is narrower than a date, and a button after the date would be
        // clipped away, leaving no way to delete a run.
        char label[32];
        std::snprintf(label, sizeof label, "X##del%d", i);
        ImGui::PushStyleColor(ImGuiCol_Button, delete_face);
        if (ImGui::SmallButton(label)) to_delete = static_cast<std::size_t>(i);
        ImGui::PopStyleColor();
        ImGui::SameLine();
        const std::string_view date = std::string_view(entry.date).substr(0, date_length);
        ImGui::Text("%.*s", static_cast<int>(date.size()), date.data());
    }
    ImGui::EndTable();

    if (to_delete && *to_delete < app.history.entries().size()) app.history.remove(*to_delete);
}
