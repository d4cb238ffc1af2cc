#include "tests/ui/panel_test_app.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include <nlohmann/json.hpp>

#include "tests/support/endpoints.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/wait_until.h"
#include "tests/ui/gui_test_context.h"
#include "ui/main_layout.h"
#include "ui/run_updates.h"

namespace vornmark {

const HttpEndpoint* test_leaderboard_endpoint() {
    static std::unique_ptr<LeaderboardServerProcess> server;
    static HttpEndpoint endpoint;
    static bool tried = false;
    if (!tried) {
        tried = true;
        try {
            server = std::make_unique<LeaderboardServerProcess>();
            endpoint = endpoint_of(*server);
        } catch (const std::exception&) {
            server.reset();
        }
    }
    return server ? &endpoint : nullptr;
}

BenchmarkConfig tiny_run_settings() {
    BenchmarkConfig config = preset_config(1);
    config.width = 32;
    config.height = 18;
    config.samples = 8;
    config.max_depth = 50;
    config.tile_size = 16;
    return config;
}

BenchmarkConfig long_run_settings() {
    BenchmarkConfig config = preset_config(1);
    config.width = 640;
    config.height = 360;
    config.samples = 64;
    config.tile_size = 16;
    return config;
}

std::unique_ptr<AppState> make_test_app(const TempDir& dir, const HttpEndpoint& endpoint,
                                        const std::string& cpu_name) {
    auto app = std::make_unique<AppState>(LeaderboardSetting{endpoint, "set by the test", "", ""},
                                          dir.file("history.json"));
    app->sysinfo.cpu_name = cpu_name;
    app->runs.set_settings(tiny_run_settings());
    return app;
}

std::function<void()> in_window(ImVec2 size, std::function<void()> draw) {
    return [size, draw = std::move(draw)] {
        ImGui::SetNextWindowPos(ImVec2(0.0f, 0.0f), ImGuiCond_Always);
        ImGui::SetNextWindowSize(size, ImGuiCond_Always);
        ImGui::Begin("##panel_under_test", nullptr,
                     ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                         ImGuiWindowFlags_NoSavedSettings);
        draw();
        ImGui::End();
    };
}

bool frames_until(GuiTestContext& gui, const std::function<void()>& draw, const std::function<bool()>& done,
                  std::chrono::milliseconds timeout) {
    return wait_until(
        [&] {
            if (done()) return true;
            gui.frame(draw);
            return false;
        },
        timeout);
}

void TileGate::hold(void* context, const Tile&, std::uint8_t*, std::int32_t) {
    auto* gate = static_cast<TileGate*>(context);
    const int number = ++gate->tiles_;
    wait_until([gate, number] { return gate->open_ || number <= gate->free_tiles_; });
}

std::function<void()> window_frame(AppState& app) {
    return [&app] {
        poll_runs(app);
        draw_main_layout(app);
    };
}

bool wait_for_runs_to_end(AppState& app) {
    return wait_until([&app] {
        poll_runs(app);
        return !app.runs.busy();
    });
}

ImU32 packed(const ImVec4& colour) {
    return ImGui::ColorConvertFloat4ToU32(colour);
}

bool wait_for_leaderboard(const LeaderboardClient& client, std::chrono::milliseconds timeout) {
    return wait_until(
        [&client] {
            return client.pending_request_count() == 0 && client.submit_status_text() != "Submitting...";
        },
        timeout);
}

std::vector<ServerRow> server_standings(const HttpEndpoint& endpoint, const std::string& type) {
    const nlohmann::json reply = nlohmann::json::parse(http_get(endpoint, "/api.php?type=" + type));
    std::vector<ServerRow> rows;
    for (const auto& row : reply.at("leaderboard"))
        rows.push_back(
            {row.at("cpu").get<std::string>(), row.at("avg_score").get<int>(), row.at("runs").get<int>()});
    return rows;
}

}  // namespace vornmark
