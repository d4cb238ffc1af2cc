// The start-up steps that fill the state before the first frame, against real files
// and the real leaderboard server.

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "app/start_up.h"
#include "net/http.h"
#include "tests/support/endpoints.h"
#include "tests/support/leaderboard_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"
#include "ui/app_state.h"

namespace vornmark::app {

namespace {

TEST(StartUp, SeedsTheShownScoresFromTheHistoryAndFetchesBothStandings) {
    LeaderboardServerProcess server;
    const HttpEndpoint endpoint = endpoint_of(server);
    http_post_json(endpoint, "/api.php",
                   R"({"cpu_name":"Seed CPU","score":1500,"threads":1,"type":"single"})");
    http_post_json(endpoint, "/api.php",
                   R"({"cpu_name":"Seed CPU","score":6100,"threads":8,"type":"multi"})");

    TempDir dir;
    const std::string history_path = (dir.path() / "history.json").string();
    std::ofstream(history_path) << R"({"runs": [
        {"date": "2026-01-01T10:00:00", "cpu": "Seed CPU", "type": "single", "score": 900, "time_seconds": 133.3, "threads": 1},
        {"date": "2026-01-02T10:00:00", "cpu": "Seed CPU", "type": "single", "score": 1200, "time_seconds": 100.0, "threads": 1},
        {"date": "2026-01-03T10:00:00", "cpu": "Seed CPU", "type": "Multi", "score": 5000, "time_seconds": 24.0, "threads": 8}
    ]})";

    AppState app(LeaderboardSetting{endpoint, "set by the test", "", ""}, history_path);
    prepare_app_state(app, {GraphicsAdapter{"Test GL Adapter", std::uint64_t{2} << 30}});

    EXPECT_FALSE(app.sysinfo.cpu_name.empty());
    EXPECT_GE(app.sysinfo.vram_mb, 2048u) << "the GL context's adapter is considered";
    EXPECT_EQ(app.history.entries().size(), 3u);
    EXPECT_EQ(app.shown_single_score, 1200);
    EXPECT_EQ(app.shown_multi_score, 0) << "\"Multi\" is not \"multi\"";

    ASSERT_TRUE(wait_until([&] { return app.leaderboard_client.pending_request_count() == 0; }));
    EXPECT_EQ(app.leaderboard_client.fetch_outcome(RunKind::Single).error +
                  app.leaderboard_client.fetch_outcome(RunKind::Multi).error,
              "");
    const auto single = app.leaderboard_client.standings(RunKind::Single);
    const auto multi = app.leaderboard_client.standings(RunKind::Multi);
    ASSERT_EQ(single.size(), 1u);
    ASSERT_EQ(multi.size(), 1u);
    EXPECT_EQ(single[0].avg_score, 1500);
    EXPECT_EQ(multi[0].avg_score, 6100);

    // Both requests reached the server (they run in parallel, so their order is free).
    const std::string log = server.log_text();
    const std::size_t single_get = log.find("type=single");
    const std::size_t multi_get = log.find("type=multi");
    ASSERT_NE(single_get, std::string::npos) << log;
    ASSERT_NE(multi_get, std::string::npos) << log;
}

}  // namespace

}  // namespace vornmark::app
