#include "ui/history_panel.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "base/run_kind.h"
#include "history/history_report.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

constexpr float table_height = 200.0f;
constexpr std::size_t date_length = 10;  // "YYYY-MM-DD" of "%Y-%m-%dT%H:%M:%S"
constexpr const char* delete_label = "X";
constexpr const char* delete_tooltip = "Delete this run";

// The fixed columns at their set widths, or wider where the font needs it for their headers and
// for the widest values a history holds (four-digit row numbers, six-digit scores, hours of time).
struct FixedColumns {
    float widths[4];
};

float widest(std::initializer_list<const char*> texts) {
    float width = 0.0f;
    for (const char* text : texts) width = std::max(width, ImGui::CalcTextSize(text).x);
    return width;
}

FixedColumns fixed_columns(float s) {
    return {{std::max(30.0f * s, widest({"#", "9999"})), std::max(50.0f * s, widest({"Type", "SC", "MC"})),
             std::max(60.0f * s, widest({"Score", "999999"})),
             std::max(60.0f * s, widest({"Time", "99999.9s"}))}};
}

// The date cell: a whole calendar date, then the delete button on the same line.
float date_cell_width() {
    const ImGuiStyle& style = ImGui::GetStyle();
    return ImGui::CalcTextSize("0000-00-00").x + style.ItemSpacing.x + ImGui::CalcTextSize(delete_label).x +
           style.FramePadding.x * 2.0f;
}

}  // namespace

float history_panel_width(float dpi_scale) {
    const ImGuiStyle& style = ImGui::GetStyle();
    float width = date_cell_width() + style.ScrollbarSize;
    for (const float fixed : fixed_columns(dpi_scale).widths) width += fixed;
    // Each column's padding on both sides and its border, and the table's outer borders.
    return width + 5.0f * (style.CellPadding.x * 2.0f + 1.0f) + 2.0f;
}

void draw_history_panel(AppState& app) {
    ImGui::PushStyleColor(ImGuiCol_Text, orange);
    ImGui::Text("RESULTS HISTORY");
    ImGui::PopStyleColor();
    ImGui::Separator();
    ImGui::Spacing();

    // What went wrong with the file last, in the runner's words, until a change works.
    if (const std::string notice = history_notice(app.history); !notice.empty()) {
        ImGui::PushStyleColor(ImGuiCol_Text, error_red);
        text_wrapped_at_blanks(notice);
        ImGui::PopStyleColor();
        ImGui::Spacing();
    }

    const std::vector<HistoryEntry>& entries = app.history.entries();
    if (entries.empty()) {
        ImGui::TextColored(muted_grey, "No results yet");
        return;
    }

    // The main layout makes the column wide enough for history_panel_width, so the date and its
    // delete button fit without sideways scrolling.
    const FixedColumns fixed = fixed_columns(app.dpi_scale);
    const float* fixed_widths = fixed.widths;
    const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerH |
                                  ImGuiTableFlags_BordersOuterH | ImGuiTableFlags_BordersInnerV |
                                  ImGuiTableFlags_BordersOuterV | ImGuiTableFlags_ScrollY;
    if (!ImGui::BeginTable("##history", 5, flags, ImVec2(0.0f, table_height), 0.0f)) return;
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
        if (parse_run_kind(entry.type) == RunKind::Single)
            ImGui::TextColored(teal, "SC");
        else
            ImGui::TextColored(orange, "MC");
        ImGui::TableSetColumnIndex(2);
        ImGui::Text("%d", entry.score);
        ImGui::TableSetColumnIndex(3);
        ImGui::Text("%.1fs", entry.time_seconds);
        ImGui::TableSetColumnIndex(4);
        const std::string_view date = std::string_view(entry.date).substr(0, date_length);
        ImGui::Text("%.*s", static_cast<int>(date.size()), date.data());
        ImGui::SameLine();
        char label[32];
        std::snprintf(label, sizeof label, "%s##del%d", delete_label, i);
        ImGui::PushStyleColor(ImGuiCol_Button, delete_button);
        if (ImGui::SmallButton(label)) to_delete = static_cast<std::size_t>(i);
        ImGui::PopStyleColor();
        // One click deletes, so the button says what it does before it is clicked.
        if (ImGui::IsItemHovered()) ImGui::SetTooltip("%s", delete_tooltip);
    }
    ImGui::EndTable();

    if (to_delete && *to_delete < app.history.entries().size()) app.history.remove(*to_delete);
}

}  // namespace vornmark
