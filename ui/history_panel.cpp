#include "ui/history_panel.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "ui/app_state.h"
#include "ui/colours.h"

namespace {

constexpr float table_height = 200.0f;
constexpr std::size_t date_length = 10;  // "YYYY-MM-DD" of "%Y-%m-%dT%H:%M:%S"

// Width the table needs to show every fixed column and, in the date column, the delete button and
// a whole date in the current font, with the cell padding, the borders and the vertical scrollbar.
float table_width_needed(const float (&fixed_widths)[4]) {
    const ImGuiStyle& style = ImGui::GetStyle();
    const float date_cell = ImGui::CalcTextSize("X").x + style.FramePadding.x * 2.0f + style.ItemSpacing.x +
                            ImGui::CalcTextSize("0000-00-00").x;
    float width = date_cell + style.ScrollbarSize + 2.0f;
    for (const float fixed : fixed_widths) width += fixed;
    return width + 5.0f * (style.CellPadding.x * 2.0f + 1.0f);
}

}  // namespace

void draw_history_panel(AppState& app) {
    ImGui::PushStyleColor(ImGuiCol_Text, orange);
    ImGui::Text("RESULTS HISTORY");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    const std::vector<HistoryEntry>& entries = app.history.entries();
    if (entries.empty()) {
        ImGui::TextColored(muted_grey, "No results yet");
        return;
    }

    // The right column is narrower than the four fixed columns plus a whole date and its delete
    // button, so the table scrolls sideways rather than clip the date: its inner width is what the
    // columns need, or the panel's width when that is more (the date column stretches into it).
    const float s = app.dpi_scale;
    const float fixed_widths[] = {30.0f * s, 50.0f * s, 60.0f * s, 60.0f * s};
    const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerH |
                                  ImGuiTableFlags_BordersOuterH | ImGuiTableFlags_BordersInnerV |
                                  ImGuiTableFlags_BordersOuterV | ImGuiTableFlags_ScrollY |
                                  ImGuiTableFlags_ScrollX;
    const float inner_width = std::max(ImGui::GetContentRegionAvail().x, table_width_needed(fixed_widths));
    if (!ImGui::BeginTable("##history", 5, flags, ImVec2(0.0f, table_height), inner_width)) return;
    ImGui::TableSetupScrollFreeze(0, 1);  // the header stays while the rows scroll
    ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed, fixed_widths[0]);
    ImGui::TableSetupColumn("Type", ImGuiTableColumnFlags_WidthFixed, fixed_widths[1]);
    ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, fixed_widths[2]);
    ImGui::TableSetupColumn("Time", ImGuiTableColumnFlags_WidthFixed, fixed_widths[3]);
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
        ImGui::PushStyleColor(ImGuiCol_Button, delete_button);
        if (ImGui::SmallButton(label)) to_delete = static_cast<std::size_t>(i);
        ImGui::PopStyleColor();
        ImGui::SameLine();
        const std::string_view date = std::string_view(entry.date).substr(0, date_length);
        ImGui::Text("%.*s", static_cast<int>(date.size()), date.data());
    }
    ImGui::EndTable();

    if (to_delete && *to_delete < app.history.entries().size()) app.history.remove(*to_delete);
}
