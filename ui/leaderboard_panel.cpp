#include "ui/leaderboard_panel.h"

#include <string>

#include "ui/app_state.h"
#include "ui/colours.h"
#include "ui/leaderboard_status.h"

namespace {

constexpr float refresh_button_room = 55.0f;

}  // namespace

void draw_leaderboard_panel(AppState& app) {
    LeaderboardClient& client = app.leaderboard_client;

    const std::string submit_status = client.submit_status_text();
    const std::int32_t pending = client.pending_request_count();
    // The fetch error is looked at only when nothing else takes the line.
    const std::string fetch_error =
        pending <= 0 && submit_status.empty() ? client.fetch_error_text() : std::string();

    const LeaderboardStatusLine status = leaderboard_status_line(pending, submit_status, fetch_error);
    if (status.shown) ImGui::TextColored(status.colour, "%s", status.text.c_str());

    ImGui::SameLine(ImGui::GetContentRegionAvail().x - refresh_button_room);
    if (ImGui::SmallButton("Refresh")) {
        client.fetch_standings("single");
        client.fetch_standings("multi");
    }
    draw_leaderboard_setting(client.setting());
    ImGui::Spacing();

    if (ImGui::BeginTabBar("##lb_type")) {
        if (ImGui::BeginTabItem("Single-Core")) {
            draw_standings_table(client.standings("single"), app, "##lb_single");
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Multi-Core")) {
            draw_standings_table(client.standings("multi"), app, "##lb_multi");
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
}

void draw_leaderboard_setting(const LeaderboardSetting& setting) {
    const bool refused = setting.refused();
    ImGui::PushStyleColor(ImGuiCol_Text, refused ? error_red : label_grey);
    if (refused)
        ImGui::TextWrapped("%s", setting.error.c_str());
    else
        ImGui::TextWrapped("Server: %s", setting.description().c_str());
    ImGui::PopStyleColor();
}

void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const AppState& app,
                          const char* id) {
    if (standings.empty()) {
        ImGui::TextColored(muted_grey, "No data yet");
        return;
    }

    const ImGuiTableFlags flags = ImGuiTableFlags_RowBg | ImGuiTableFlags_BordersInnerH |
                                  ImGuiTableFlags_BordersOuterH | ImGuiTableFlags_BordersInnerV |
                                  ImGuiTableFlags_BordersOuterV | ImGuiTableFlags_ScrollY;
    if (!ImGui::BeginTable(id, 4, flags, ImVec2(0.0f, -1.0f), 0.0f)) return;
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
        if (own) ImGui::TableSetBgColor(ImGuiTableBgTarget_RowBg1, IM_COL32(0, 212, 170, 32));
        ImGui::TableSetColumnIndex(0);
        ImGui::Text("%d", rank);
        ImGui::TableSetColumnIndex(1);
        if (own)
            ImGui::TextColored(teal, "%s", entry.cpu.c_str());
        else
            ImGui::TextWrapped("%s", entry.cpu.c_str());
        ImGui::TableSetColumnIndex(2);
        ImGui::Text("%d", entry.avg_score);
        ImGui::TableSetColumnIndex(3);
        ImGui::TextColored(label_grey, "%d", entry.runs);
        ++rank;
    }
    ImGui::EndTable();
}
