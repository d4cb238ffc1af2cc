#include "ui/leaderboard_panel.h"

#include <mutex>
#include <string>

#include "app/app_state.h"
#include "ui/colours.h"
#include "ui/leaderboard_status.h"

namespace {

const ImVec4 no_data_grey(0.4f, 0.4f, 0.4f, 1.0f);
const ImVec4 runs_grey(0.5f, 0.5f, 0.5f, 1.0f);

constexpr float refresh_button_room = 55.0f;

std::vector<LeaderboardEntry> copy_standings(const LeaderboardClient& client,
                                             const std::vector<LeaderboardEntry>& list) {
    std::lock_guard lock(client.standings_lock);
    return list;
}

}  // namespace

void draw_leaderboard_panel(AppState& app) {
    LeaderboardClient& client = app.leaderboard_client;

    std::string submit_status;
    {
        std::lock_guard lock(client.status_lock);
        submit_status = client.submit_status;
    }
    const std::int32_t pending = client.pending_requests.load();

    // The fetch error is looked at only when nothing else takes the line.
    std::string fetch_error;
    if (pending <= 0 && submit_status.empty()) {
        bool has_fetch_error = false;
        {
            std::lock_guard lock(client.status_lock);
            has_fetch_error = !client.fetch_error.empty();
        }
        if (has_fetch_error) {
            std::lock_guard lock(client.status_lock);
            fetch_error = client.fetch_error;
        }
    }

    const LeaderboardStatusLine status = leaderboard_status_line(pending, submit_status, fetch_error);
    if (status.shown) ImGui::TextColored(status.colour, "%s", status.text.c_str());

    ImGui::SameLine(ImGui::GetContentRegionAvail().x - refresh_button_room);
    if (ImGui::SmallButton("Refresh")) {
        client.fetch_standings("single");
        client.fetch_standings("multi");
    }
    ImGui::Spacing();

    if (ImGui::BeginTabBar("##lb_type")) {
        if (ImGui::BeginTabItem("Single-Core")) {
            draw_standings_table(copy_standings(client, client.single_standings), app, "##lb_single");
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Multi-Core")) {
            draw_standings_table(copy_standings(client, client.multi_standings), app, "##lb_multi");
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }
}

void draw_standings_table(const std::vector<LeaderboardEntry>& standings, const AppState& app,
                          const char* id) {
    if (standings.empty()) {
        ImGui::TextColored(no_data_grey, "No data yet");
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
        ImGui::TextColored(runs_grey, "%d", entry.runs);
        ++rank;
    }
    ImGui::EndTable();
}
