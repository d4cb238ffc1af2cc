#include "ui/leaderboard_panel.h"

#include <string>

#include "base/run_kind.h"
#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/leaderboard_page_link.h"
#include "ui/leaderboard_status.h"
#include "ui/standing_view.h"
#include "ui/wrapped_text.h"

namespace vornmark {

namespace {

constexpr const char* refresh_label = "Refresh";

void draw_wrapped(const ImVec4& colour, const std::string& text, float width = -1.0f) {
    ImGui::PushStyleColor(ImGuiCol_Text, colour);
    text_wrapped_at_blanks(text, width);
    ImGui::PopStyleColor();
}

}  // namespace

void draw_leaderboard_panel(AppState& app) {
    LeaderboardClient& client = app.leaderboard_client;
    // Without a leaderboard there is nothing to load or show: the setting's lines say why and how.
    if (!client.setting().in_use()) {
        draw_leaderboard_setting(client.setting());
        return;
    }
    const LeaderboardStatusLine status =
        leaderboard_status_line(client.pending_request_count(), client.latest_outcome());

    // Refresh at the right end of the first line; the status wraps in the room left of it.
    const ImGuiStyle& style = ImGui::GetStyle();
    const float refresh_width = ImGui::CalcTextSize(refresh_label).x + style.FramePadding.x * 2.0f;
    const float line_start = ImGui::GetCursorPosX();
    const float refresh_x = line_start + ImGui::GetContentRegionAvail().x - refresh_width;
    if (status.shown) {
        draw_wrapped(status.colour, status.text, refresh_x - style.ItemSpacing.x - line_start);
        ImGui::SameLine(refresh_x);
    } else {
        ImGui::SetCursorPosX(refresh_x);
    }
    if (ImGui::SmallButton(refresh_label)) {
        client.fetch_standings(RunKind::Single);
        client.fetch_standings(RunKind::Multi);
    }
    draw_leaderboard_setting(client.setting());
    ImGui::Spacing();

    // A tab repeats no error that the status line already shows.
    const std::string shown_above = status.shown ? status.text : std::string();
    if (ImGui::BeginTabBar("##lb_type")) {
        if (ImGui::BeginTabItem("Single-Core")) {
            draw_leaderboard_page_link(app, RunKind::Single);
            draw_standings_table(client.standings(RunKind::Single), client.fetch_outcome(RunKind::Single),
                                 app, RunKind::Single, "##lb_single", shown_above);
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Multi-Core")) {
            draw_leaderboard_page_link(app, RunKind::Multi);
            draw_standings_table(client.standings(RunKind::Multi), client.fetch_outcome(RunKind::Multi), app,
                                 RunKind::Multi, "##lb_multi", shown_above);
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
}

void draw_leaderboard_setting(const LeaderboardSetting& setting) {
    if (setting.refused()) {
        draw_wrapped(error_red, setting.error);
    } else if (setting.none()) {
        draw_wrapped(label_grey, no_leaderboard_text);
        draw_wrapped(label_grey, how_to_set_a_leaderboard());
    } else {
        draw_wrapped(label_grey, "Server: " + setting.description());
    }
}

void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const FetchOutcome& outcome,
                          AppState& app, RunKind kind, const char* id, const std::string& shown_above) {
    // "Submit error: " + the same failure counts as said already.
    const bool error_here = !outcome.error.empty() && shown_above.find(outcome.error) == std::string::npos;
    if (error_here) draw_wrapped(dim_error_red, outcome.error);
    if (standings.empty()) {
        if (!error_here) ImGui::TextColored(muted_grey, outcome.received ? "No runs yet" : "No data yet");
        return;
    }

    const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerH |
                                  ImGuiTableFlags_BordersOuterH | ImGuiTableFlags_BordersInnerV |
                                  ImGuiTableFlags_BordersOuterV | ImGuiTableFlags_ScrollY;
    // The chosen row's spread takes the bottom of the tab.
    const float below = chosen_processor_height(app, kind);
    if (!ImGui::BeginTable(id, 4, flags, ImVec2(0.0f, below > 0.0f ? -below : -1.0f), 0.0f)) return;
    const float s = app.dpi_scale;
    ImGui::TableSetupColumn("#", ImGuiTableColumnFlags_WidthFixed, 30.0f * s);
    ImGui::TableSetupColumn("CPU", ImGuiTableColumnFlags_WidthStretch, 0.0f);
    ImGui::TableSetupColumn("Score", ImGuiTableColumnFlags_WidthFixed, 60.0f * s);
    ImGui::TableSetupColumn("Runs", ImGuiTableColumnFlags_WidthFixed, 40.0f * s);
    ImGui::TableHeadersRow();

    int rank = 1;
    for (const LeaderboardEntry& entry : standings) {
        const bool own = entry.cpu == app.sysinfo.cpu_name;
        ImGui::TableNextRow();
        if (own) ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg1, own_row_fill);
        ImGui::TableSetColumnIndex(0);
        const bool chosen = app.chosen_processor && app.chosen_processor->kind == kind &&
                            app.chosen_processor->cpu == entry.cpu;
        ImGui::PushID(rank);
        if (ImGui::Selectable("##row", chosen,
                              ImGuiSelectableFlags_SpanAllColumns | ImGuiSelectableFlags_AllowItemOverlap))
            choose_processor(app, kind, entry.cpu);
        ImGui::PopID();
        ImGui::SameLine(0.0f, 0.0f);
        ImGui::Text("%d", rank);
        ImGui::TableSetColumnIndex(1);
        if (own)
            ImGui::TextColored(teal, "%s", entry.cpu.c_str());
        else
            text_wrapped_at_blanks(entry.cpu);
        ImGui::TableSetColumnIndex(2);
        ImGui::Text("%d", entry.avg_score);
        ImGui::TableSetColumnIndex(3);
        ImGui::TextColored(label_grey, "%d", entry.runs);
        ++rank;
    }
    ImGui::EndTable();
    draw_chosen_processor(app, kind);
}

}  // namespace vornmark
